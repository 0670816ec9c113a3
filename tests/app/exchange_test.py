#!/usr/bin/env python3
"""The command-line conversions, checked with independent readers: mido for MIDI files,
fluidsynth for playing them, numpy for the rendered audio. Runs without a display."""
import errno
import os
import resource
import signal
import stat
import subprocess
import time
import unittest
import wave

import mido
import numpy

from kesvcli import ENV, KESV, SongCase, kesv

# テスト, tempo byte 0x87 (138 bpm): C quarter; a half tied to a D quarter; an eighth rest;
# three triplet eighths E F G.
SONG = (b"\xe1\xf0" + "テスト".encode("cp932") + b"\xfd\xf1\x87"
        + b"\xc4\x33" + b"\xc2" + b"\xc4\x35" + b"\xc6\x00" + b"\xc8\x37\xc8\x38\xc8\x3a\xff")
BPM = 138
# (start tick, end tick, key) as playback sends them: released 5 ticks before the next unit.
NOTES = [(0, 475, 60), (480, 1915, 62), (2160, 2235, 64), (2240, 2315, 65), (2320, 2395, 67)]
SONG_TICKS = 2400


def seconds(tick):
    return tick * 60.0 / BPM / 480


def notes_of(path):
    """(start, end, key) of every note of a MIDI file, in ticks, and the file."""
    midi = mido.MidiFile(path)
    notes, held, tick = [], {}, 0
    for message in mido.merge_tracks(midi.tracks):
        tick += message.time
        if message.type == "note_on" and message.velocity > 0:
            held[message.note] = tick
        elif message.type in ("note_on", "note_off") and message.note in held:
            notes.append((held.pop(message.note), tick, message.note))
    return sorted(notes), midi


class Conversions(SongCase):
    SONG = SONG

    def test_export_midi_reads_back_in_mido_and_plays_in_fluidsynth(self):
        out = self.path("song.mid")
        run = kesv("--export-midi", out, self.song)
        self.assertEqual(run.returncode, 0, run.stderr)
        notes, midi = notes_of(out)
        self.assertEqual((midi.type, midi.ticks_per_beat, len(midi.tracks)), (0, 480, 1))
        self.assertEqual(notes, NOTES)
        metas = {m.type: m for m in midi.tracks[0] if m.is_meta}
        self.assertEqual(metas["track_name"].name.encode("latin-1").decode("utf-8"), "テスト")
        self.assertAlmostEqual(mido.tempo2bpm(metas["set_tempo"].tempo), BPM, places=3)
        self.assertEqual((metas["time_signature"].numerator, metas["time_signature"].denominator), (4, 4))
        # Times in seconds at the song's tempo, as mido plays the file.
        starts, t = [], 0.0
        for message in midi:
            t += message.time
            if message.type == "note_on" and message.velocity > 0:
                starts.append(t)
        for got, (start, _, _) in zip(starts, NOTES):
            self.assertAlmostEqual(got, seconds(start), places=4)
        self.assertAlmostEqual(midi.length, seconds(SONG_TICKS), places=3)
        fluid = subprocess.run(["fluidsynth", "-n", "-i", "-F", self.path("fs.wav"), "-r", "44100",
                                "/usr/share/sounds/sf2/TimGM6mb.sf2", out],
                               capture_output=True, text=True, timeout=120)
        self.assertEqual(fluid.returncode, 0, fluid.stderr)
        self.assertGreater(os.path.getsize(self.path("fs.wav")), 44100)

    def test_the_time_signature_is_the_settings_files_unless_given(self):
        config = self.path("config")
        os.makedirs(os.path.join(config, "KesV"))
        # The record's first 85 bytes: flags (beat unit index 2: eighths) and 6 beats a bar.
        with open(os.path.join(config, "KesV", "KesV.env"), "wb") as f:
            f.write(bytes(80) + (2 << 6).to_bytes(4, "little") + bytes([6]))
        out = self.path("song.mid")
        for args, expected in (([], (6, 8)), (["--time", "3/4"], (3, 4)), (["--time=2/2"], (2, 2))):
            run = subprocess.run([KESV, "--export-midi", out, self.song, *args],
                                 env={**ENV, "XDG_CONFIG_HOME": config}, capture_output=True,
                                 text=True, timeout=120)
            self.assertEqual(run.returncode, 0, run.stderr)
            meter = [m for m in mido.MidiFile(out).tracks[0] if m.type == "time_signature"][0]
            self.assertEqual((meter.numerator, meter.denominator), expected, args)
        for bad in ("3/5", "0/4", "3", "x/4", "256/4"):
            run = kesv("--export-midi", self.path("bad.mid"), self.song, "--time", bad)
            self.assertEqual((run.returncode, run.stderr.count("\n")), (2, 1), (bad, run.stderr))
            self.assertFalse(os.path.exists(self.path("bad.mid")), bad)
        self.assertIn("--time", kesv("--help").stdout)

    def test_export_audio_lasts_the_song_and_sounds_at_the_notes(self):
        expected = seconds(SONG_TICKS) + 0.5
        out = self.path("song.wav")
        run = kesv("--export-audio", out, self.song)
        self.assertEqual(run.returncode, 0, run.stderr)
        with wave.open(out) as w:
            self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate()), (2, 2, 44100))
            self.assertAlmostEqual(w.getnframes() / 44100, expected, delta=0.010)
            samples = numpy.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, 2)
        mono = samples.astype(float).mean(axis=1)
        # Normalised: the loudest sample at -1 dBFS (within the 16-bit rounding and dither).
        self.assertAlmostEqual(20 * numpy.log10(numpy.abs(samples).max() / 32768), -1.0, delta=0.2)
        quiet = self.path("quiet.wav")
        self.assertEqual(kesv("--export-audio", quiet, "--no-normalize", self.song).returncode, 0)
        with wave.open(quiet) as w:
            raw = numpy.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
        self.assertLess(numpy.abs(raw).max(), numpy.abs(samples).max() / 2)
        # Onsets: the 5 ms log-energy envelope rises at each note start; the rest is quiet.
        frame = 220
        level = numpy.log10(numpy.array(
            [numpy.sum(mono[i:i + frame] ** 2) for i in range(0, len(mono) - frame, frame)]) + 1.0)
        onset = numpy.maximum(0.0, level[3:] - level[:-3])  # onset[i]: rise from i to i + 3
        for start, _, _ in NOTES:
            at = int(seconds(start) * 200)
            self.assertGreater(onset[max(0, at - 2):at + 4].max(), 0.1, f"no onset at tick {start}")
        rest = int(seconds(2100) * 200)
        self.assertLess(level[rest], level.max() - 2.0)

        flac = self.path("song.flac")
        run = kesv("--export-audio", flac, self.song)
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(flac, "rb") as f:
            head = f.read(42)
        self.assertEqual(head[:4], b"fLaC")
        info = int.from_bytes(head[18:26], "big")  # rate 20 bits, channels-1 3, bits-1 5, samples 36
        self.assertEqual((info >> 44, (info >> 41 & 7) + 1, (info >> 36 & 31) + 1), (44100, 2, 16))
        self.assertAlmostEqual((info & (2**36 - 1)) / 44100, expected, delta=0.010)

    def test_import_of_a_format_one_file_from_mido(self):
        # Several tracks, running status (mido writes it), the melody on channel 5 with an
        # overlap, a busier-looking drum track with fewer notes, a tempo change.
        midi = mido.MidiFile(type=1, ticks_per_beat=240)
        conductor = mido.MidiTrack([mido.MetaMessage("track_name", name="Import"),
                                    mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(100)),
                                    mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(60), time=480)])
        melody = mido.MidiTrack()
        for key, length in [(60, 240), (64, 240), (67, 480)]:
            melody.append(mido.Message("note_on", channel=4, note=key, velocity=90))
            melody.append(mido.Message("note_on", channel=4, note=key, velocity=0, time=length))
        melody.append(mido.Message("note_on", channel=4, note=55, velocity=90, time=240))
        melody.append(mido.Message("note_on", channel=4, note=72, velocity=90, time=120))
        melody.append(mido.Message("note_off", channel=4, note=72, time=120))
        melody.append(mido.Message("note_off", channel=4, note=55, time=240))
        melody.append(mido.Message("control_change", channel=4, control=64, value=0))
        drums = mido.MidiTrack([mido.Message("note_on", channel=9, note=36, velocity=99),
                                mido.Message("note_off", channel=9, note=36, time=240)])
        midi.tracks += [conductor, drums, melody]
        source = self.path("in.mid")
        midi.save(source)
        song = self.path("in.kes")
        run = kesv("--import-midi", song, source)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr.count("\n"), 1, run.stderr)  # one tempo change folded
        self.assertIn(" 1 ", run.stderr)
        back = self.path("back.mid")
        run = kesv("--export-midi", back, song)
        self.assertEqual(run.returncode, 0, run.stderr)
        notes, exported = notes_of(back)
        # At 480 ticks per quarter: the low G starts after an eighth rest, the high C takes
        # over while both sound, and the G sounds again once the C has ended.
        self.assertEqual(notes, [(0, 475, 60), (480, 955, 64), (960, 1915, 67), (2400, 2635, 55),
                                 (2640, 2875, 72), (2880, 3355, 55)])
        metas = {m.type: m for m in exported.tracks[0] if m.is_meta}
        # 100 a minute for 480 of 1680 ticks, then 60: 67.7 keeps the length, 68 the nearest.
        self.assertEqual(round(mido.tempo2bpm(metas["set_tempo"].tempo)), 68)
        self.assertEqual(metas["track_name"].name, "Import")

    def test_failures_exit_non_zero_with_one_line_and_write_nothing(self):
        bad = self.path("bad.mid")
        with open(bad, "wb") as f:
            f.write(b"MThd\x00\x00\x00\x06\x00\x01\x00\x02\x01\xe0MTrk\x7f\xff\xff\xff")
        for args in (["--import-midi", self.path("x.kes"), bad],
                     ["--export-midi", self.path("x.mid"), self.path("missing.kes")],
                     ["--export-audio", self.path("x.mp3"), self.song]):
            run = kesv(*args)
            self.assertNotEqual(run.returncode, 0, args)
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
            self.assertFalse(os.path.exists(args[1]), args)
        self.assertEqual(kesv("--version").returncode, 0)

    def test_without_a_display_one_line_and_exit_1(self):
        env = {k: v for k, v in ENV.items() if k not in ("LANG", "LANGUAGE", "LC_ALL")}
        for extra, expected in (({"LANG": "en_US.UTF-8"},
                                 "kesv: cannot open a display (neither DISPLAY nor WAYLAND_DISPLAY is set)"),
                                ({"LANG": "en_US.UTF-8", "DISPLAY": ":97"}, "kesv: cannot open a display (DISPLAY=:97)"),
                                ({"LANG": "C.UTF-8"}, "kesv: ディスプレイを開けません")):
            run = subprocess.run([KESV, self.song], env={**env, **extra}, capture_output=True,
                                 text=True, timeout=60)
            self.assertEqual(run.returncode, 1, run.stderr)
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
            self.assertTrue(run.stderr.startswith(expected), run.stderr)

    def test_the_command_line_speaks_the_locale_language(self):
        def run_in(env_extra, *args):
            env = {k: v for k, v in ENV.items() if k not in ("LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES")}
            env.update(env_extra)
            return subprocess.run([KESV, *args], env=env, capture_output=True, text=True, timeout=60)
        missing = self.path("missing.kes")
        for env_extra, help_text, error_text in (
                ({"LANG": "en_US.UTF-8"}, "The song to open.", "Cannot open the file"),
                ({"LANG": "de_DE.UTF-8"}, "The song to open.", "Cannot open the file"),
                ({"LANG": "ja_JP.UTF-8", "LANGUAGE": "en"}, "The song to open.", "Cannot open the file"),
                ({"LANG": "ja_JP.UTF-8"}, "開く曲ファイル。", "ファイルを開けません"),
                ({"LANG": "C.UTF-8"}, "開く曲ファイル。", "ファイルを開けません"),
                ({"LANG": "en_US.UTF-8", "LANGUAGE": "ja"}, "開く曲ファイル。", "ファイルを開けません")):
            self.assertIn(help_text, run_in(env_extra, "--help").stdout, env_extra)
            self.assertIn(error_text, run_in(env_extra, "--export-midi", self.path("x.mid"), missing).stderr,
                          env_extra)


    def general_midi_file(self):
        """Drums on channel 10 with the most notes, a low bass, the tune on channel 1."""
        midi = mido.MidiFile(type=1, ticks_per_beat=480)
        for channel, keys, step, name in ((9, [36, 42] * 64, 120, "Drums"), (1, [36, 43] * 32, 240, "Bass"),
                                          (0, [72, 74, 76, 77] * 4, 480, "")):
            track = mido.MidiTrack([mido.MetaMessage("track_name", name=name)] if name else [])
            for key in keys:
                track.append(mido.Message("note_on", channel=channel, note=key, velocity=90))
                track.append(mido.Message("note_off", channel=channel, note=key, time=step))
            midi.tracks.append(track)
        source = self.path("gm.mid")
        midi.save(source)
        return source

    def test_tracks_are_listed_scored_and_chosen(self):
        source = self.general_midi_file()
        run = kesv("--list-tracks", source)
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = [line.split() for line in run.stdout.splitlines()[1:]]
        self.assertEqual([(row[0], row[1]) for row in rows], [("3", "1"), ("2", "2")])  # no drums
        self.assertGreater(float(rows[0][4]), float(rows[1][4]))
        for track, first in ((None, 72), ("2", 36), ("2:2", 36)):
            out = self.path("t.kes")
            run = kesv("--import-midi", out, source, *(["--track", track] if track else []))
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertEqual(kesv("--export-midi", self.path("t.mid"), out).returncode, 0)
            self.assertEqual(notes_of(self.path("t.mid"))[0][0][2], first, track)
        for args in (["--track", "1"], ["--track", "x"]):
            run = kesv("--import-midi", self.path("u.kes"), source, *args)
            self.assertEqual((run.returncode, run.stderr.count("\n")), (1 if args[1] == "1" else 2, 1), run.stderr)
            self.assertTrue(run.stderr.startswith("kesv: "))
            self.assertFalse(os.path.exists(self.path("u.kes")))

    def test_track_names_are_listed_whole_and_failures_name_their_cause(self):
        # A NUL and a terminal's escape in a name: every row is listed, the characters shown.
        midi = mido.MidiFile(type=1, ticks_per_beat=480)
        for channel, name, keys in ((0, "Mel\x00ody\x1b[2J", [72, 74, 76, 77] * 8), (1, "Bass", [36, 43] * 8)):
            track = mido.MidiTrack([mido.MetaMessage("track_name", name=name)])
            for key in keys:
                track.append(mido.Message("note_on", channel=channel, note=key, velocity=90))
                track.append(mido.Message("note_off", channel=channel, note=key, time=240))
            midi.tracks.append(track)
        named = self.path("named.mid")
        midi.save(named)
        run = kesv("--list-tracks", named)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(len(run.stdout.splitlines()), 3, run.stdout)
        self.assertIn("Mel\\x00ody\\x1b[2J", run.stdout)
        self.assertNotIn("\x1b", run.stdout)

        # A first note 2^28 quarters in: beyond any song, not "no notes".
        env = {k: v for k, v in ENV.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")}
        late = self.path("late.mid")
        track = b"\xff\xff\xff\x7f\xff\x01\x00\x01\x90\x3c\x40\x01\x80\x3c\x00\x00\xff\x2f\x00"
        with open(late, "wb") as f:
            f.write(b"MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x01MTrk"
                    + len(track).to_bytes(4, "big") + track)
        run = subprocess.run([KESV, "--import-midi", self.path("late.kes"), late], env={**env, "LANG": "C.UTF-8"},
                             capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertIn("最初の音符", run.stderr)

    def test_outputs_are_written_never_destroyed(self):
        mid = self.path("song.mid")
        # The output is the input, also through a link: refused, the song untouched.
        os.symlink(self.song, self.path("link.kes"))
        for args in (["--export-midi", self.song, self.song], ["--import-midi", self.path("link.kes"), self.song]):
            run = kesv(*args)
            self.assertEqual(run.returncode, 2, run.stderr)
            with open(self.song, "rb") as f:
                self.assertEqual(f.read(), SONG)
        # The extension must fit the kind; standard output and FIFOs need none.
        run = kesv("--export-midi", self.path("x.wav"), self.song)
        self.assertEqual((run.returncode, os.path.exists(self.path("x.wav"))), (2, False))
        run = subprocess.run([KESV, "--export-midi", "-", self.song], env=ENV, capture_output=True, timeout=60)
        self.assertEqual(run.stdout[:4], b"MThd")
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        with open(self.path("from-fifo"), "wb") as sink:
            reader = subprocess.Popen(["cat", fifo], stdout=sink)
            self.assertEqual(kesv("--export-audio", fifo, self.song).returncode, 0)
            reader.wait(timeout=60)
        with open(self.path("from-fifo"), "rb") as f:
            self.assertEqual(f.read(4), b"RIFF")
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
        # A link to a private file: written through, the link and the mode kept.
        for name, kind in (("private.mid", "--export-midi"), ("private.wav", "--export-audio")):
            target, link = self.path(name), self.path("to-" + name)
            with open(target, "wb"):
                pass
            os.chmod(target, 0o600)
            os.symlink(target, link)
            run = kesv(kind, link, self.song)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertTrue(os.path.islink(link))
            self.assertEqual(stat.S_IMODE(os.stat(target).st_mode), 0o600)
            self.assertGreater(os.path.getsize(target), 40)
        # A character device stays one (root only: mknod).
        if os.geteuid() == 0:
            device = self.path("null")
            os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            self.assertEqual(kesv("--export-midi", mid, self.song).returncode, 0)
            for kind, source in (("--export-midi", self.song), ("--export-audio", self.song), ("--import-midi", mid)):
                run = kesv(kind, device, source)
                self.assertEqual(run.returncode, 0, (kind, run.stderr))
                self.assertTrue(stat.S_ISCHR(os.lstat(device).st_mode), kind)

    def test_a_full_disk_keeps_the_old_file_and_says_why(self):
        """Each writer at a file-size limit, as on a full disk: nothing or half of the file fits."""
        midi, score = self.path("in.mid"), self.path("in.musicxml")
        self.assertEqual(kesv("--export-midi", midi, self.song).returncode, 0)
        self.assertEqual(kesv("--export-musicxml", score, self.song).returncode, 0)
        env = {**ENV, "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}  # the system's reason in English
        for option, name, source in (("--import-midi", "a.kes", midi), ("--import-musicxml", "b.kes", score),
                                     ("--export-midi", "c.mid", self.song),
                                     ("--export-musicxml", "d.musicxml", self.song),
                                     ("--export-musicxml", "e.mxl", self.song),
                                     ("--export-audio", "f.wav", self.song)):
            out = self.path(name)
            self.assertEqual(kesv(option, out, source).returncode, 0, option)
            for limit in (0, os.path.getsize(out) // 2):
                with open(out, "wb") as f:
                    f.write(b"the old file")
                names = sorted(os.listdir(self.dir.name))
                hard = resource.getrlimit(resource.RLIMIT_FSIZE)[1]
                run = subprocess.run([KESV, option, out, source], env=env, capture_output=True, text=True,
                                     timeout=120,
                                     preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, hard)))
                self.assertEqual(run.returncode, 1, (option, limit, run.stderr))
                self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
                self.assertTrue(run.stderr.startswith("kesv: " + out + ": "), run.stderr)
                self.assertIn(os.strerror(errno.EFBIG), run.stderr)
                with open(out, "rb") as f:
                    self.assertEqual(f.read(), b"the old file", (option, limit))
                self.assertEqual(sorted(os.listdir(self.dir.name)), names, (option, limit))

    def test_interrupted_audio_export_leaves_no_temporary_file(self):
        long_song = self.path("long.kes")
        # 999 whole notes at tempo 60: over an hour of audio, far longer than the test waits.
        with open(long_song, "wb") as f:
            f.write(b"\xe1\xf0" + b"\xfd\xf1\x60" + b"\xc0\x33" * 999 + b"\xff")
        for signal_number in (signal.SIGINT, signal.SIGTERM):
            process = subprocess.Popen([KESV, "--export-audio", self.path("long.wav"), long_song], env=ENV)
            # Only a render that has begun tests anything: wait for its temporary file however
            # long the machine takes, and fail when the program ends or never gets there.
            deadline = time.monotonic() + 120
            while not any(n.startswith("long.wav.") for n in os.listdir(self.dir.name)):
                if process.poll() is not None or time.monotonic() > deadline:
                    process.kill()
                    process.wait()
                    self.fail(f"the render never began (exit status {process.returncode})")
                time.sleep(0.01)
            process.send_signal(signal_number)
            self.assertEqual(process.wait(timeout=60), -signal_number)
            self.assertEqual([n for n in os.listdir(self.dir.name) if n.startswith("long.wav")], [])

    def test_usage_errors_without_a_display(self):
        run = kesv("--no-such-option", self.song)
        self.assertEqual(run.returncode, 2, run.stderr)
        self.assertTrue(run.stderr.startswith("kesv: "))
        self.assertIn("--export-midi", run.stderr)  # the usage follows


if __name__ == "__main__":
    unittest.main()
