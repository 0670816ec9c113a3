#!/usr/bin/env python3
"""MusicXML from the command line, read independently: xml.etree for our scores, mido for the
performance KesV plays, and (with --notation) MuseScore 3 as a notation program that reads our
score and writes its own. Runs without a display."""
import os
import shutil
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET
import zipfile
from fractions import Fraction

import mido

from kesvcli import ENV, KESV, SongCase, kesv

NOTATION = "--notation" in sys.argv
if NOTATION:
    sys.argv.remove("--notation")
    if not (shutil.which("musescore3") or shutil.which("mscore3")):
        print("musescore3 is not installed: skipped")
        sys.exit(77)

TYPES = {"whole": Fraction(4), "half": Fraction(2), "quarter": Fraction(1), "eighth": Fraction(1, 2),
         "16th": Fraction(1, 4), "32nd": Fraction(1, 8), "64th": Fraction(1, 16), "128th": Fraction(1, 32)}
STEPS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def event(code, key=None):
    """A song-file event: a length code and a MIDI key (0: a rest); a tie has none."""
    return bytes([code]) if key is None else bytes([code, key - 9 if key else 0])


# Every length code, sharps, rests, a KesV tie, triplets and a sextuplet on a beat, quintuplets,
# notes across bar lines (4/4), and a song that ends inside a bar.
EVENTS = (event(0xC4, 60) + event(0xC6, 0) + event(0xC7, 62) + event(0xC7, 63) + event(0xC7, 64)
          + event(0xC9, 66) + event(0xC5, 67) + event(0xC3, 69)  # the dotted quarter crosses the bar
          + b"".join(event(0xC8, k) for k in (71, 72, 73, 74, 75, 76))
          + b"".join(event(0xCA, k) for k in (60, 62, 64, 65, 67))
          + event(0xCB, 68) + event(0xCB, 70) + event(0xCC, 72) + event(0xCC, 72) + event(0xCD, 71)
          + event(0xCD, 70) + event(0xCD, 69) + event(0xCD, 68) + event(0xC9, 0)
          + event(0xC2) + event(0xC4, 65)  # a half tied to a quarter, over the bar line
          + event(0xCE, 64) + event(0xD0, 0) + event(0xCF, 62) + event(0xD1, 61) + event(0xC0, 0)
          + event(0xC1, 60) + event(0xC2, 67))
TITLE = "楽譜のテスト"
SONG = b"\xe1\xf0" + TITLE.encode("cp932") + b"\xfd\xf1\x87" + EVENTS + b"\xff"  # 138 bpm
BAR = Fraction(4)


def read_score(path):
    """(title, tempo, measures) of a score's first part, voice 1: each measure a list of
    dicts with the note's key (None: a rest), length in quarters, written value and ties."""
    root = ET.parse(path).getroot()
    title = root.findtext("work/work-title") or root.findtext("movement-title")
    tempo = next((float(s.get("tempo")) for s in root.iter("sound") if s.get("tempo")), None)
    part = root.find("part")
    divisions, measures = 1, []
    for measure in part.findall("measure"):
        notes = []
        for element in measure:
            if element.tag == "attributes" and element.findtext("divisions"):
                divisions = int(element.findtext("divisions"))
            if element.tag != "note" or element.find("chord") is not None:
                continue
            if (element.findtext("voice") or "1") != "1":
                continue
            pitch = element.find("pitch")
            key = None
            if pitch is not None:
                key = (12 * (int(pitch.findtext("octave")) + 1) + STEPS[pitch.findtext("step")]
                       + int(float(pitch.findtext("alter") or 0)))
            modification = element.find("time-modification")
            ratio = (Fraction(int(modification.findtext("normal-notes")), int(modification.findtext("actual-notes")))
                     if modification is not None else Fraction(1))
            notes.append({
                "key": key,
                "length": Fraction(int(element.findtext("duration")), divisions),
                "type": element.findtext("type"),
                "dots": len(element.findall("dot")),
                "ratio": ratio,
                "measure_rest": element.find("rest") is not None and element.find("rest").get("measure") == "yes",
                "tie_start": any(t.get("type") == "start" for t in element.findall("tie")),
                "tie_stop": any(t.get("type") == "stop" for t in element.findall("tie")),
                "tuplets": [t.get("type") for t in element.iter("tuplet")],
            })
        measures.append(notes)
    return title, tempo, measures


def sounding(measures):
    """(start, key) of every attack, in quarters: ties merged, rests left out."""
    onsets, now, previous = [], Fraction(0), None
    for notes in measures:
        for note in notes:
            tied = previous is not None and note["tie_stop"] and previous["key"] == note["key"]
            if note["key"] is not None and not tied:
                onsets.append((now, note["key"]))
            now += note["length"]
            previous = note
    return onsets


def performance(path):
    """(start in quarters, key) of every note-on of a MIDI file."""
    midi = mido.MidiFile(path)
    tick, onsets = 0, []
    for message in mido.merge_tracks(midi.tracks):
        tick += message.time
        if message.type == "note_on" and message.velocity > 0:
            onsets.append((Fraction(tick, midi.ticks_per_beat), message.note))
    return onsets


class MusicXml(SongCase):
    SONG = SONG

    def export(self, name="song.musicxml"):
        out = self.path(name)
        run = kesv("--export-musicxml", out, self.song)
        self.assertEqual(run.returncode, 0, run.stderr)
        return out

    def test_bars_add_up_values_are_exact_tuplets_and_ties_pair(self):
        title, tempo, measures = read_score(self.export())
        self.assertEqual((title, tempo), (TITLE, 138))
        open_tie, bracket = None, False
        for notes in measures:
            self.assertEqual(sum(n["length"] for n in notes), BAR)
            for note in notes:
                if not note["measure_rest"]:
                    # The written value alone gives the length: type, dots, time modification.
                    value = TYPES[note["type"]] * (2 - Fraction(1, 2 ** note["dots"])) * note["ratio"]
                    self.assertEqual(value, note["length"], note)
                if note["ratio"] != 1:
                    self.assertTrue(bracket or "start" in note["tuplets"], note)
                bracket = (bracket or "start" in note["tuplets"]) and "stop" not in note["tuplets"]
                self.assertEqual(note["tie_stop"], open_tie is not None, note)
                if open_tie is not None:
                    self.assertEqual(note["key"], open_tie)
                open_tie = note["key"] if note["tie_start"] else None
            self.assertFalse(bracket)
        self.assertIsNone(open_tie)
        ratios = [n["ratio"] for notes in measures for n in notes if n["ratio"] != 1]
        self.assertIn(Fraction(4, 6), ratios)  # the sextuplet
        self.assertIn(Fraction(4, 5), ratios)
        self.assertIn(Fraction(2, 3), ratios)
        # The score and KesV's own performance attack the same keys at the same times.
        midi = self.path("song.mid")
        self.assertEqual(kesv("--export-midi", midi, self.song).returncode, 0)
        self.assertEqual(sounding(measures), performance(midi))

    def test_compressed_scores_come_back_as_the_same_song(self):
        packed = self.export("song.mxl")
        with zipfile.ZipFile(packed) as archive:
            self.assertEqual(archive.namelist()[0], "mimetype")
            container = ET.fromstring(archive.read("META-INF/container.xml"))
            score = container.find("rootfiles/rootfile").get("full-path")
            self.assertEqual(ET.fromstring(archive.read(score)).tag, "score-partwise")
        back = self.path("back.kes")
        run = kesv("--import-musicxml", back, packed)
        self.assertEqual((run.returncode, run.stderr), (0, ""))
        with open(back, "rb") as f:
            self.assertEqual(f.read(), SONG)

    def test_bad_and_hostile_files_are_refused_and_nothing_is_written(self):
        bomb = ("<?xml version='1.0'?><!DOCTYPE score-partwise [<!ENTITY a0 'lol'>"
                + "".join(f"<!ENTITY a{i} '{('&a%d;' % (i - 1)) * 10}'>" for i in range(1, 10))
                + "]><score-partwise><movement-title>&a9;</movement-title></score-partwise>")
        files = {"broken.musicxml": b"<score-partwise><part id='P1'>",
                 "wrong.musicxml": b"<html/>",
                 "bomb.musicxml": bomb.encode(),
                 "empty.musicxml": b"<score-partwise><part id='P1'/></score-partwise>"}
        for name, data in files.items():
            with open(self.path(name), "wb") as f:
                f.write(data)
        with zipfile.ZipFile(self.path("noscore.mxl"), "w") as archive:
            archive.writestr("score.musicxml", "<score-partwise/>")
        with open(self.path("huge.musicxml"), "wb") as f:
            f.truncate(33 << 20)  # sparse: refused by its size before it is read
        for name in list(files) + ["noscore.mxl", "huge.musicxml"]:
            out = self.path("out.kes")
            run = kesv("--import-musicxml", out, self.path(name))
            self.assertEqual(run.returncode, 1, name)
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
            self.assertFalse(os.path.exists(out), name)
        run = kesv("--export-musicxml", self.path("song.mid"), self.song)
        self.assertEqual(run.returncode, 2, run.stderr)

    def test_notes_left_out_are_reported_and_archives_name_what_is_missing(self):
        # The left hand written in voice 1 as well: its four notes lie under the right hand's.
        notes = "".join(f"<note><pitch><step>{step}</step><octave>{octave}</octave></pitch>"
                        f"<duration>1</duration><voice>1</voice></note>"
                        for step, octave in (("E", 5), ("F", 5), ("G", 5), ("A", 5)))
        left = notes.replace(">5<", ">3<")
        piano = self.path("piano.musicxml")
        with open(piano, "w") as f:
            f.write("<score-partwise><part id='P'><measure><attributes><divisions>1</divisions></attributes>"
                    + notes + "<backup><duration>4</duration></backup>" + left
                    + "</measure></part></score-partwise>")
        env = {k: v for k, v in ENV.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")}
        env["LANG"] = "C.UTF-8"
        run = subprocess.run([KESV, "--import-musicxml", self.path("piano.kes"), piano], env=env,
                             capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("前の音符と重なる音符 4 個を除きました", run.stderr)

        # A container naming an empty path: the score is missing, the XML is not broken.
        empty = self.path("empty.mxl")
        with zipfile.ZipFile(empty, "w") as archive:
            archive.writestr("META-INF/container.xml",
                             "<container><rootfiles><rootfile full-path=''/></rootfiles></container>")
            archive.writestr("score.musicxml", "<score-partwise/>")
        run = subprocess.run([KESV, "--import-musicxml", self.path("empty.kes"), empty], env=env,
                             capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertIn("META-INF/container.xml", run.stderr)

    @unittest.skipUnless(NOTATION, "the notation program's check runs under the label notation")
    def test_a_notation_program_reads_our_score_and_its_score_reads_back(self):
        musescore = shutil.which("musescore3") or shutil.which("mscore3")
        ours = self.export()
        theirs = self.path("musescore.musicxml")
        env = {**ENV, "QT_QPA_PLATFORM": "offscreen", "HOME": self.dir.name,
               "XDG_RUNTIME_DIR": self.dir.name}
        run = subprocess.run([musescore, "-o", theirs, ours], env=env, capture_output=True,
                             text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        title, tempo, measures = read_score(ours)
        their_title, their_tempo, their_measures = read_score(theirs)
        self.assertEqual((their_title, their_tempo), (title, tempo))
        self.assertEqual(sounding(their_measures), sounding(measures))

        def written(all_measures):
            return [(n["key"], n["type"], n["dots"], n["ratio"], n["tie_start"], n["tie_stop"])
                    for notes in all_measures for n in notes if n["key"] is not None]

        def brackets(all_measures):
            return [n["tuplets"] for notes in all_measures for n in notes if n["tuplets"]]

        self.assertEqual(written(their_measures), written(measures))
        self.assertEqual(brackets(their_measures), brackets(measures))
        self.assertEqual([sum(n["length"] for n in notes) for notes in their_measures],
                         [BAR] * len(measures))
        # The notation program's own score imports as the same melody: the same attacks.
        back = self.path("back.kes")
        run = kesv("--import-musicxml", back, theirs)
        self.assertEqual(run.returncode, 0, run.stderr)
        ours_midi, back_midi = self.path("ours.mid"), self.path("back.mid")
        self.assertEqual(kesv("--export-midi", ours_midi, self.song).returncode, 0)
        self.assertEqual(kesv("--export-midi", back_midi, back).returncode, 0)
        self.assertEqual(performance(back_midi), performance(ours_midi))


if __name__ == "__main__":
    unittest.main()
