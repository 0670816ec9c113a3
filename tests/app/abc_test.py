#!/usr/bin/env python3
"""ABC notation from the command line: export and import, the tune list and the failures; with
--tools, the standard ABC tools read our export: abc2midi plays it as KesV plays the song (note-ons
compared with mido) and abcm2ps typesets it. Runs without a display."""
import os
import shutil
import subprocess
import sys
import unittest

import mido

from kesvcli import ENV, SongCase, kesv

TOOLS = "--tools" in sys.argv
if TOOLS:
    sys.argv.remove("--tools")
    missing = [tool for tool in ("abc2midi", "abcm2ps") if not shutil.which(tool)]
    if missing:
        print(f"{' and '.join(missing)} not installed (packages abcmidi, abcm2ps): skipped")
        sys.exit(77)
ENGLISH = {**{k: v for k, v in ENV.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")},
           "LANG": "en_US.UTF-8"}


def event(code, key=None):
    """A song-file event: a length code and a MIDI key (0: a rest); a tie has none."""
    return bytes([code]) if key is None else bytes([code, key - 9 if key else 0])


# Every length code, sharps and naturals in one bar, rests, KesV ties, triplets and a sextuplet
# on a beat, quintuplets, notes across bar lines, and a song that ends inside a bar.
EVENTS = (event(0xC4, 60) + event(0xC6, 0) + event(0xC7, 62) + event(0xC7, 63) + event(0xC7, 64)
          + event(0xC9, 66) + event(0xC5, 65) + event(0xC3, 69)
          + b"".join(event(0xC8, k) for k in (71, 72, 73, 74, 75, 76))
          + b"".join(event(0xCA, k) for k in (60, 62, 64, 65, 67))
          + event(0xCB, 68) + event(0xCB, 70) + event(0xCC, 72) + event(0xCC, 72) + event(0xCD, 71)
          + event(0xCD, 70) + event(0xCD, 69) + event(0xCD, 68) + event(0xC9, 0)
          + event(0xC2) + event(0xC4, 65)
          + event(0xCE, 64) + event(0xD0, 0) + event(0xCF, 62) + event(0xD1, 61) + event(0xC0, 0)
          + event(0xC1, 60) + event(0xC2, 67))
TITLE = "ABC のテスト"
SONG = b"\xe1\xf0" + TITLE.encode("cp932") + b"\xfd\xf1\x87" + EVENTS + b"\xff"  # 138 bpm

TUNES = """%abc-2.1
X:1
T:First
M:3/4
L:1/4
K:G
D | G2 A | B3 |]

X:2
T:Second
M:6/8
L:1/8
Q:3/8=60
K:Dm
|: A | "Dm"d2 f {g}e>dc | [1 d3- d2 :|2 d3 z2 |]

X:3
T:Broken
K:C
cde]
"""


def note_ons(path):
    """(tick at 480 a quarter, key) of every note-on of a MIDI file, from its first note."""
    midi = mido.MidiFile(path)
    out, tick = [], 0
    for message in mido.merge_tracks(midi.tracks):
        tick += message.time
        if message.type == "note_on" and message.velocity > 0:
            out.append((tick * 480 // midi.ticks_per_beat, message.note))
    return [(t - out[0][0], key) for t, key in out]


class Abc(SongCase):
    SONG = SONG

    def setUp(self):
        super().setUp()
        self.tunes = self.path("tunes.abc")
        with open(self.tunes, "w", encoding="utf-8") as f:
            f.write(TUNES)

    def test_export_reads_back_as_the_same_song(self):
        out = self.path("song.abc")
        run = kesv("--export-abc", out, self.song)
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(out, encoding="utf-8") as f:
            text = f.read()
        self.assertTrue(text.startswith(f"X:1\nT:{TITLE}\nM:4/4\n"), text)
        self.assertIn("\nQ:1/4=138\nK:C\n", text)
        back = self.path("back.kes")
        run = kesv("--import-abc", back, out)
        self.assertEqual((run.returncode, run.stderr), (0, ""))
        # The same song, which now holds the key and the metre its tune names (C major, 4/4)
        # after the end byte.
        with open(back, "rb") as f:
            self.assertEqual(f.read(), SONG + b"KesV\x01\x01\x02\x07\x00\x02\x02\x04\x04\xff")

    def test_tunes_are_listed_and_one_is_imported(self):
        run = kesv("--list-tunes", self.tunes)
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = [line.split() for line in run.stdout.splitlines()[1:]]
        self.assertEqual(rows, [["1", "G", "3/4", "4", "First"], ["2", "Dm", "6/8", "15", "Second"],
                                ["3", "C", "-", "-", "Broken"]])
        song = self.path("second.kes")
        run = kesv("--import-abc", song, self.tunes, "--tune", "2", env=ENGLISH)
        self.assertEqual(run.returncode, 0, run.stderr)
        # What was left out or played out is said in one line.
        self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
        for said in ("grace note", "guitar chord", "repeat"):
            self.assertIn(said, run.stderr)
        # The 6/8 became the song's own, so it needs no remark.
        self.assertNotIn("6/8", run.stderr)
        self.assertEqual(kesv("--export-midi", self.path("second.mid"), song).returncode, 0)
        # The pickup, the first ending, the repeat from |: and the second ending, at 3/8 = 60.
        a, d, f, e, c, dd = 69, 74, 77, 76, 72, 74
        self.assertEqual(note_ons(self.path("second.mid")),
                         [(0, a), (240, d), (720, f), (960, e), (1320, dd), (1440, c), (1680, d),
                          (2880, a), (3120, d), (3600, f), (3840, e), (4200, dd), (4320, c),
                          (4560, d)])
        metas = {m.type: m for m in mido.MidiFile(self.path("second.mid")).tracks[0] if m.is_meta}
        self.assertAlmostEqual(mido.tempo2bpm(metas["set_tempo"].tempo), 90, places=3)

    def test_failures_name_the_place_and_write_nothing(self):
        out = self.path("x.kes")
        for args, status, said in (
                (["--import-abc", out, self.tunes, "--tune", "3"], 1, "line 20, column 4: unexpected ']'"),
                (["--import-abc", out, self.tunes, "--tune", "9"], 1, "no tune X:9"),
                (["--import-abc", out, self.path("missing.abc")], 1, "does not exist"),
                (["--import-abc", self.path("x.mid"), self.tunes], 2, ".kes"),
                (["--export-abc", self.path("x.txt"), self.song], 2, ".abc"),
                (["--export-midi", self.path("x.mid"), self.song, "--tune", "1"], 2, "--tune"),
                (["--list-tunes", self.song], 1, "no ABC tune")):
            run = kesv(*args, env=ENGLISH)
            self.assertEqual(run.returncode, status, (args, run.stderr))
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
            self.assertIn(said, run.stderr.lower() if said.islower() else run.stderr)
            if args[0] != "--list-tunes":
                self.assertFalse(os.path.exists(args[1]), args)


@unittest.skipUnless(TOOLS, "needs --tools")
class AbcTools(SongCase):
    SONG = SONG

    def test_abc2midi_plays_and_abcm2ps_prints_our_export(self):
        # The song of every length code, and a tune read from ABC with a key and a pickup.
        song = self.song
        tunes = self.path("tunes.abc")
        with open(tunes, "w", encoding="utf-8") as f:
            f.write(TUNES)
        second = self.path("second.kes")
        self.assertEqual(kesv("--import-abc", second, tunes, "--tune", "2").returncode, 0)
        for source in (song, second):
            abc, ours, theirs = self.path("out.abc"), self.path("ours.mid"), self.path("theirs.mid")
            self.assertEqual(kesv("--export-abc", abc, source).returncode, 0)
            self.assertEqual(kesv("--export-midi", ours, source).returncode, 0)
            run = subprocess.run(["abc2midi", abc, "-o", theirs], capture_output=True, text=True,
                                 timeout=60)
            said = run.stdout + run.stderr
            self.assertEqual(run.returncode, 0, said)
            self.assertNotIn("Warning", said)
            self.assertNotIn("Error", said)
            self.assertEqual(note_ons(theirs), note_ons(ours), source)
            run = subprocess.run(["abcm2ps", abc, "-O", self.path("out.ps")], capture_output=True,
                                 text=True, timeout=60)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertNotIn("error", (run.stdout + run.stderr).lower())
            self.assertGreater(os.path.getsize(self.path("out.ps")), 1000)


if __name__ == "__main__":
    unittest.main()
