"""What the command-line tests share: the program under test (their first argument), an
environment without a display, one run of the program, and a test case with a folder of its own
that holds the case's song."""
import os
import subprocess
import sys
import tempfile
import unittest

KESV = sys.argv.pop(1)
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


def kesv(*args, env=ENV, timeout=120):
    return subprocess.run([KESV, *args], env=env, capture_output=True, text=True, timeout=timeout)


class SongCase(unittest.TestCase):
    """A case with a scratch folder and the bytes of SONG written to song.kes in it."""
    SONG = b""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.song = self.path("song.kes")
        with open(self.song, "wb") as f:
            f.write(self.SONG)

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)
