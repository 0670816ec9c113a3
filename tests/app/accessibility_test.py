#!/usr/bin/env python3
"""KesV as a screen reader meets it: a private D-Bus session with the AT-SPI bus, KesV under
Xvfb with Qt's accessibility on, and pyatspi reading the tree and recording the events while
xdotool types. Exits 77 (skipped) where the AT-SPI bus or a display cannot start."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

KESV = os.path.abspath(sys.argv.pop(1))
SKIPPED = 77


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIPPED)


def find_bus_launcher():
    for folder in ("/usr/libexec", "/usr/lib/at-spi2-core", "/usr/lib/at-spi2"):
        path = os.path.join(folder, "at-spi-bus-launcher")
        if os.access(path, os.X_OK):
            return path
    return None


if "KESV_A11Y_SESSION" not in os.environ:
    # Everything runs on a session bus of its own, ended with the test.
    for tool in ("dbus-run-session", "Xvfb", "xdotool", "dbus-send"):
        if not shutil.which(tool):
            skip(f"{tool} is not installed")
    if not find_bus_launcher():
        skip("at-spi2-core (at-spi-bus-launcher) is not installed")
    env = dict(os.environ, KESV_A11Y_SESSION="1")
    os.execvpe("dbus-run-session",
               ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), KESV, *sys.argv[1:]],
               env)

PROCESSES = []


def start(args, **kwargs):
    process = subprocess.Popen(args, **kwargs)
    PROCESSES.append(process)
    return process


def stop_all():
    for process in reversed(PROCESSES):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def start_display():
    read, write = os.pipe()
    start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
          pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    if not number:
        return False
    os.environ["DISPLAY"] = f":{number}"
    return True


def start_atspi():
    start([find_bus_launcher(), "--launch-immediately"], stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline:
        reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                               capture_output=True, text=True)
        if reply.returncode == 0 and "unix:" in reply.stdout:
            return True
        time.sleep(0.2)
    return False


if not start_display():
    stop_all()
    skip("Xvfb did not start")
if not start_atspi():
    stop_all()
    skip("the AT-SPI bus did not start")
try:
    import pyatspi
    from gi.repository import GLib
except ImportError as error:
    stop_all()
    skip(f"pyatspi is not installed ({error})")


def pump(seconds):
    """Lets the AT-SPI events of `seconds` arrive."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_for(condition, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        pump(0.1)
        value = condition()
        if value:
            return value
    return None


def descendants(node, role, limit=4000):
    """Nodes of `role` under `node`, breadth first; the event list's cells are not walked."""
    found, queue = [], [node]
    while queue and limit > 0:
        current = queue.pop(0)
        limit -= 1
        try:
            if current.getRole() == role:
                found.append(current)
            if current.getRole() == pyatspi.ROLE_TABLE:
                continue
            queue.extend(current.getChildAtIndex(i) for i in range(current.childCount))
        except Exception:  # an object that went away while walking
            continue
    return found


class ScreenReader(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.home = tempfile.TemporaryDirectory()
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   LANGUAGE="en", LANG="en_US.UTF-8", HOME=cls.home.name,
                   XDG_CONFIG_HOME=os.path.join(cls.home.name, "config"),
                   XDG_DATA_HOME=os.path.join(cls.home.name, "data"),
                   XDG_STATE_HOME=os.path.join(cls.home.name, "state"))
        env.pop("LC_ALL", None)
        env.pop("WAYLAND_DISPLAY", None)
        cls.kesv = start([KESV], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.events = []
        pyatspi.Registry.registerEventListener(
            cls.events.append, "object:state-changed:focused", "object:text-changed",
            "object:state-changed:showing")
        cls.app = wait_for(cls.find_app)
        if not cls.app:
            stop_all()
            skip("KesV did not appear on the AT-SPI bus")
        cls.table = wait_for(lambda: next(iter(descendants(cls.app, pyatspi.ROLE_TABLE)), None))
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                 str(cls.kesv.pid)], capture_output=True, text=True, timeout=30)
        cls.window = window.stdout.split()[-1]
        subprocess.run(["xdotool", "windowfocus", "--sync", cls.window], check=True, timeout=30)
        pump(1)

    @classmethod
    def tearDownClass(cls):
        stop_all()
        cls.home.cleanup()

    @staticmethod
    def find_app():
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app and app.name and app.name.lower() == "kesv":
                return app
        return None

    def keys(self, *keys):
        self.events.clear()
        subprocess.run(["xdotool", "key", "--delay", "60", *keys], check=True, timeout=30)
        pump(0.8)

    def focused_cell(self):
        table = self.table.queryTable()
        for row in range(table.nRows):
            for column in range(table.nColumns):
                cell = table.getAccessibleAt(row, column)
                if cell.getState().contains(pyatspi.STATE_FOCUSED):
                    return row, column, cell
        return None

    def focus_events(self):
        return [e for e in self.events if e.type == "object:state-changed:focused" and e.detail1]

    def test_a_song_is_written_and_read_back_cell_by_cell(self):
        table = self.table.queryTable()
        self.assertEqual((table.nRows, table.nColumns), (1, 6))  # an empty song: the end row
        self.assertIn("end", table.getAccessibleAt(0, 0).name)

        self.keys("F5", "F5", "ctrl+Up", "Right", "Right", "C", "4", "Return")
        table = self.table.queryTable()
        self.assertEqual(table.nRows, 3)
        row, column, cell = self.focused_cell()
        self.assertEqual((row, column), (0, 4))
        self.assertIn("C4", cell.name)
        self.assertIn("quarter note", cell.name)
        self.assertIn("C4", self.focus_events()[-1].source.name)
        self.assertEqual(table.getAccessibleAt(0, 3).name, "bar 0 beat 1")

        self.keys("Down")
        focused = self.focus_events()
        self.assertEqual(len(focused), 1, [e.source.name for e in focused])
        self.assertEqual(divmod(focused[0].source.getIndexInParent(), 6), (1, 4))
        self.assertIn("tie", focused[0].source.name)

    def test_b_typing_and_a_refused_character_are_heard(self):
        self.keys("ctrl+Up", "Home")  # row 0; Home is bound to nothing
        self.keys("Left", "Left")     # the code column
        self.keys("C")
        inserted = [e for e in self.events if e.type.startswith("object:text-changed:insert")]
        self.assertEqual([e.any_data for e in inserted], ["C"])
        self.keys("Escape", "g")
        shown = [e for e in self.events
                 if e.type == "object:state-changed:showing" and e.detail1
                 and e.source.getRole() == pyatspi.ROLE_NOTIFICATION]
        self.assertEqual(len(shown), 1)
        self.assertIn("“g”", shown[0].source.name)

    def test_c_insert_has_a_key_a_screen_reader_leaves_alone(self):
        rows = self.table.queryTable().nRows
        self.keys("ctrl+shift+i")
        self.assertEqual(self.table.queryTable().nRows, rows + 1)
        self.assertEqual(len(self.focus_events()), 1)

    def test_d_the_header_and_the_tempo_dialog_have_names(self):
        pane = self.table.parent
        names = [pane.getChildAtIndex(i).name for i in range(pane.childCount)]
        self.assertIn("Tempo 120", names)
        self.assertTrue(any(n.startswith("Staff") for n in names), names)
        self.assertTrue(any("[F5]" in n for n in names), names)
        self.keys("ctrl+t")
        dialog = wait_for(lambda: next(iter(descendants(self.app, pyatspi.ROLE_DIALOG)), None))
        self.assertIsNotNone(dialog)
        fields = (descendants(dialog, pyatspi.ROLE_COMBO_BOX)
                  + descendants(dialog, pyatspi.ROLE_SPIN_BUTTON))
        self.assertEqual(len(fields), 2)
        for field in fields:
            self.assertTrue(field.name, field)
        self.keys("Escape")


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    stop_all()
    sys.exit(0 if result.wasSuccessful() else 1)
