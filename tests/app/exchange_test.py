#!/usr/bin/env python3
"""The command-line conversions, checked with independent readers: mido for MIDI files,
fluidsynth for playing them, numpy for the rendered audio. Runs without a display."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

import mido
import numpy

KESV = sys.argv.pop(1)
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}

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


def kesv(*args):
    return subprocess.run([KESV, *args], env=ENV, capture_output=True, text=True, timeout=120)


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


class Conversions(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.song = self.path("song.kes")
        with open(self.song, "wb") as f:
            f.write(SONG)

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

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
        self.assertGreater(numpy.abs(mono).max(), 1000)
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
        self.assertEqual(run.stderr, "")
        back = self.path("back.mid")
        run = kesv("--export-midi", back, song)
        self.assertEqual(run.returncode, 0, run.stderr)
        notes, exported = notes_of(back)
        # At 480 ticks per quarter: the low G starts after an eighth rest, the high C takes
        # over while both sound, and the G sounds again once the C has ended.
        self.assertEqual(notes, [(0, 475, 60), (480, 955, 64), (960, 1915, 67), (2400, 2635, 55),
                                 (2640, 2875, 72), (2880, 3355, 55)])
        metas = {m.type: m for m in exported.tracks[0] if m.is_meta}
        self.assertEqual(round(mido.tempo2bpm(metas["set_tempo"].tempo)), 100)
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
        for extra, expected in (({"LANG": "en_US.UTF-8"}, "kesv: cannot open a display"),
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


if __name__ == "__main__":
    unittest.main()
