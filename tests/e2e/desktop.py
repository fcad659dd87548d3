#!/usr/bin/python3
# The real reader and the real voice chooser on a real X desktop: text copied by
# another program (xclip) is read aloud; the icon in a real notification area
# (trayer) hides, shows and opens the quick menu when xdotool clicks it, and the
# menu's " Exit all" ends the program and takes the icon away; a click
# in Vocelle's list switches the running reader's voice. Readings are seen on the
# sound server as playback streams; the reading box is read over the
# accessibility bus, as a screen reader reads it.
#
# Run inside a session bus and an X server of its own:
#   dbus-run-session -- tests/e2e/on-screen.sh 1024x768x24 \
#       /usr/bin/python3 desktop.py BIN_DIR [SCREENSHOT_DIR]

import os
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time

from waiting import wait_for
import unittest

BIN_DIR = None
TOKEN = "7D0A94E3B2C5F16850E7A3D9C4B1F062"




def run(*args, stdin=None):
    done = subprocess.run(args, input=stdin, capture_output=True, text=True, timeout=30)
    return done.stdout.strip() if done.returncode == 0 else None


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def selected(listing):
    """The names of a list's selected entries (Qt offers no selection interface)."""
    return [listing.getChildAtIndex(i).name for i in range(listing.childCount)
            if listing.getChildAtIndex(i).getState().contains(pyatspi.STATE_SELECTED)]


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def record(*texts):
    """A record file of text fields: each a 16-bit little-endian byte count and UTF-8."""
    out = b""
    for t in texts:
        data = t.encode("utf-8")
        out += struct.pack("<H", len(data)) + data
    return out


# swin.ini's fields up to WatchClipboard: i = 32-bit integer, b = 16-bit boolean,
# s = counted text.
SWIN_BEFORE_WATCH = "ibiiiissssbissbsbbiii"


def set_watch_clipboard(path, on):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    at = 0
    for kind in SWIN_BEFORE_WATCH:
        if kind == "i":
            at += 4
        elif kind == "b":
            at += 2
        else:
            at += 2 + struct.unpack_from("<H", data, at)[0]
    struct.pack_into("<h", data, at, -1 if on else 0)
    with open(path, "wb") as f:
        f.write(bytes(data))


class Desktop(unittest.TestCase):
    """A program folder, home and runtime folder of the test's own."""

    def setUp(self):
        self.top = tempfile.mkdtemp(prefix="sonorel-desktop-")
        shipped = ["sorel", "Vocelle", "speak.bmp", "pause.bmp", "bell.wav", "sonorel.png",
                   "Image0.bmp"] + ["Picture%d.bmp" % n for n in range(1, 14)]
        for name in shipped:
            source = os.path.join(BIN_DIR, name)
            if os.path.exists(source):
                shutil.copy2(source, os.path.join(self.top, name))
        run_dir = os.path.join(self.top, "run")
        os.mkdir(run_dir)
        os.chmod(run_dir, stat.S_IRWXU)
        os.mkdir(os.path.join(self.top, "home"))
        self.mark = "%d-%s" % (os.getpid(), os.path.basename(self.top))
        self.env = dict(os.environ)
        self.env.update({
            "HOME": os.path.join(self.top, "home"),
            "XDG_RUNTIME_DIR": run_dir,
            "XDG_CONFIG_HOME": os.path.join(self.top, "config"),
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "SONOREL_AUDIO": "pulse",
            "PULSE_SERVER": PULSE_SERVER,
            # Marks this run's streams, whatever else plays on the server.
            "PULSE_PROP": "sonorel.run=" + self.mark,
        })
        self.processes = []

    def tearDown(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(self.top, ignore_errors=True)

    def start(self, *args, program="sorel"):
        p = subprocess.Popen([os.path.join(self.top, program)] + list(args), cwd=self.top,
                             env=self.env)
        self.processes.append(p)
        return p

    def streams(self):
        out = run("pactl", "list", "sink-inputs") or ""
        return out.count('sonorel.run = "%s"' % self.mark)

    def app_on_bus(self, name, pid):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name and app.get_process_id() == pid:
                return app
        return None

    def reader_box(self, reader):
        """The reading box of the running reader, over the accessibility bus."""
        def box():
            app = self.app_on_bus("Sonorel", reader.pid)
            if app is None:
                return None
            for node in walk(app):
                if node.getRoleName() in ("text", "entry") and node.name == "Text to read":
                    return node
            return None
        found = wait_for(box, 60)
        self.assertIsNotNone(found, "the reader's text box never appeared on the bus")
        return found

    @staticmethod
    def text_of(node):
        t = node.queryText()
        return t.getText(0, t.characterCount)

    def copy(self, text):
        """Another program copies `text` to the clipboard (and keeps serving it)."""
        xclip = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"],
                                 stdin=subprocess.PIPE, env=self.env, text=True)
        self.processes.append(xclip)
        xclip.stdin.write(text)
        xclip.stdin.close()

        def on_clipboard():
            out = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env,
                                 capture_output=True, text=True, timeout=30)
            return out.returncode == 0 and out.stdout == text
        self.assertTrue(wait_for(on_clipboard, 10), "xclip did not take the clipboard")

    def window_viewable(self, wid):
        info = run("xwininfo", "-id", wid) or ""
        return "IsViewable" in info

    def windows_named(self, pattern, pid=None):
        args = ["xdotool", "search", "--name", pattern]
        out = run(*args) or ""
        ids = out.split()
        if pid is not None:
            ids = [w for w in ids if run("xdotool", "getwindowpid", w) == str(pid)]
        return ids


class Clipboard(Desktop):
    def test_copied_text_is_read_and_spaces_are_not(self):
        reader = self.start()
        box = self.reader_box(reader)
        self.assertEqual(self.streams(), 0)

        text = "Copied by another program, read by Sonorel."
        self.copy(text)
        self.assertTrue(wait_for(lambda: self.text_of(box) == text),
                        "the box holds %r" % self.text_of(box))
        self.assertTrue(wait_for(lambda: self.streams() > 0), "no reading started")

        # Only spaces: once the copy is on the clipboard, the box keeps its text.
        self.copy("     ")
        time.sleep(1)  # the change reaches the reader within milliseconds
        self.assertEqual(self.text_of(box), text)
        self.assertIsNone(reader.poll())

    def test_nothing_happens_with_the_watch_off(self):
        # A copy that runs alone and is told to end writes its settings first.
        ender = self.start(TOKEN + "-")
        self.assertEqual(ender.wait(60), 0)
        swin = os.path.join(self.top, "swin.ini")
        self.assertTrue(os.path.exists(swin))
        set_watch_clipboard(swin, False)

        reader = self.start()
        box = self.reader_box(reader)
        self.copy("Not to be read while the watch is off.")
        time.sleep(1)
        self.assertEqual(self.text_of(box), "")
        self.assertEqual(self.streams(), 0)


class NotificationArea(Desktop):
    def setUp(self):
        super().setUp()
        self.trayer = subprocess.Popen(
            ["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
             "100", "--height", "24"], env=self.env)
        self.processes.append(self.trayer)
        self.assertTrue(wait_for(lambda: run("xdotool", "search", "--classname", "trayer"), 10),
                        "trayer did not start")

    def icon_of(self, pid):
        for w in (run("xdotool", "search", "--classname", ".") or "").split():
            if run("xdotool", "getwindowpid", w) != str(pid):
                continue
            geometry = run("xdotool", "getwindowgeometry", w) or ""
            if "22x22" in geometry:
                return w
        return None

    def test_left_clicks_hide_and_show_right_click_opens_the_menu(self):
        reader = self.start()
        icon = wait_for(lambda: self.icon_of(reader.pid), 30)
        self.assertTrue(icon, "the reader's icon was not embedded in the notification area")
        main = wait_for(lambda: [w for w in self.windows_named(r"\(TTS[45]\.0\)", reader.pid)
                                 if self.window_viewable(w)], 30)
        self.assertTrue(main, "the reader's window is not shown")
        main = main[0]

        run("xdotool", "mousemove", "--window", icon, "5", "5", "click", "1")
        self.assertTrue(wait_for(lambda: not self.window_viewable(main), 10),
                        "a left click did not hide the window")
        run("xdotool", "mousemove", "--window", icon, "5", "5", "click", "1")
        self.assertTrue(wait_for(lambda: self.window_viewable(main), 10),
                        "a second left click did not show the window")

        run("xdotool", "mousemove", "--window", icon, "7", "9", "click", "3")
        menu = wait_for(lambda: [w for w in self.windows_named("^Sonorel menu$", reader.pid)
                                 if self.window_viewable(w)], 10)
        self.assertTrue(menu, "a right click did not open the quick menu")
        pointer = run("xdotool", "getmouselocation", "--shell")
        px = int(pointer.split("X=")[1].split()[0])
        py = int(pointer.split("Y=")[1].split()[0])
        geometry = run("xdotool", "getwindowgeometry", "--shell", menu[0])
        mx = int(geometry.split("X=")[1].split()[0])
        my = int(geometry.split("Y=")[1].split()[0])
        mw = int(geometry.split("WIDTH=")[1].split()[0])
        # The icon is at the top right: the menu's top-right corner at the pointer
        # (its bottom would be above the screen).
        self.assertEqual((mx + mw, my), (px, py))
        # The menu has a name for screen readers.
        app = wait_for(lambda: self.app_on_bus("Sonorel", reader.pid), 10)
        self.assertTrue(wait_for(lambda: any(n.name == "Sonorel menu" for n in walk(app)), 10),
                        "the quick menu has no name on the bus")

        # A left click closes the menu first, then hides the window.
        run("xdotool", "mousemove", "--window", icon, "5", "5", "click", "1")
        self.assertTrue(wait_for(lambda: not [w for w in self.windows_named("^Sonorel menu$",
                                                                            reader.pid)
                                              if self.window_viewable(w)], 10))
        self.assertTrue(wait_for(lambda: not self.window_viewable(main), 10))
        self.assertIsNone(reader.poll())


    def menu_item(self, app, name):
        """The quick menu's item `name` on the bus, once it shows."""
        def find():
            for node in walk(app):
                if node.getRoleName() == "push button" and node.name == name:
                    x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                    if w > 0 and h > 0:
                        return (x, y, w, h)
            return None
        return wait_for(find, 15)

    def test_exit_all_in_the_menu_ends_the_program_and_takes_the_icon_away(self):
        reader = self.start()
        icon = wait_for(lambda: self.icon_of(reader.pid), 30)
        self.assertTrue(icon, "the reader's icon was not embedded in the notification area")
        self.assertTrue(self.window_viewable(icon))
        run("xdotool", "mousemove", "--window", icon, "7", "9", "click", "3")
        menu = wait_for(lambda: [w for w in self.windows_named("^Sonorel menu$", reader.pid)
                                 if self.window_viewable(w)], 10)
        self.assertTrue(menu, "a right click did not open the quick menu")
        app = wait_for(lambda: self.app_on_bus("Sonorel", reader.pid), 10)
        extents = self.menu_item(app, "Exit all")
        self.assertTrue(extents, "the menu shows no Exit all item")
        x, y, w, h = extents
        # The pointer over an item lights it; the picture is for the note.
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
        time.sleep(0.5)
        if SCREENSHOT_DIR:
            subprocess.run(["import", "-window", "root",
                            os.path.join(SCREENSHOT_DIR, "menu_screen.png")], env=self.env,
                           timeout=30)
        swin = os.path.join(self.top, "swin.ini")
        if os.path.exists(swin):
            os.remove(swin)
        run("xdotool", "click", "1")
        self.assertEqual(reader.wait(30), 0)
        # The settings were written on the way out, and the icon's window is gone.
        self.assertTrue(os.path.exists(swin))
        self.assertIsNone(run("xwininfo", "-id", icon))
        self.assertFalse(self.icon_of(reader.pid))


class Chooser(Desktop):
    def test_a_click_in_vocelle_switches_the_reader(self):
        reader = self.start()
        self.assertTrue(wait_for(lambda: self.windows_named(r"^Mary \(TTS4\.0\)$", reader.pid),
                                 60), "the reader did not start on its default voice")
        voice_file = os.path.join(self.top, "IEVoiceName.ini")
        self.assertFalse(os.path.exists(voice_file))

        run("xdotool", "mousemove", "700", "600")
        chooser = self.start(program="Vocelle")
        # The default record is written, every voice listed, Mary marked.
        listing = None

        def built():
            nonlocal listing
            app = self.app_on_bus("Vocelle", chooser.pid)
            if app is None:
                return False
            lists = [n for n in walk(app) if n.getRoleName() == "list"]
            if not lists or lists[0].childCount < 3:
                return False
            listing = lists[0]
            return len(selected(listing)) == 1
        self.assertTrue(wait_for(built, 60), "Vocelle's list was not built")
        self.assertEqual(read_file(voice_file), record("Mary (TTS4.0)", "4"))
        self.assertEqual(listing.name, "Voices")
        self.assertEqual(selected(listing), ["Mary (TTS4.0)"])
        frame = run("xdotool", "getwindowgeometry", "--shell",
                    self.windows_named("^Change SOREL's Voice$", chooser.pid)[0])
        right = int(frame.split("X=")[1].split()[0]) + int(frame.split("WIDTH=")[1].split()[0])
        bottom = int(frame.split("Y=")[1].split()[0]) + int(frame.split("HEIGHT=")[1].split()[0])
        self.assertEqual((right, bottom), (700, 600))

        items = [listing.getChildAtIndex(i) for i in range(listing.childCount)]
        target = next(i for i in items if i.name.startswith("AWB"))
        name = target.name
        x, y, w, h = target.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1")

        self.assertEqual(chooser.wait(30), 0)
        caption = "^" + name.replace("(", r"\(").replace(")", r"\)").replace(".", r"\.") + "$"
        self.assertTrue(wait_for(lambda: self.windows_named(caption, reader.pid), 30),
                        "the reader's caption did not become %s" % name)
        self.assertTrue(wait_for(lambda: read_file(voice_file) == record(name, "4"), 10),
                        "IEVoiceName.ini holds %r" % read_file(voice_file))
        self.assertIsNone(reader.poll())


def pulse_server():
    info = run("pactl", "info") or ""
    for line in info.splitlines():
        if line.startswith("Server String: "):
            return line[len("Server String: "):].strip()
    return None


SCREENSHOT_DIR = None

if __name__ == "__main__":
    BIN_DIR = sys.argv.pop(1)
    if len(sys.argv) > 1 and os.path.isdir(sys.argv[1]):
        SCREENSHOT_DIR = sys.argv.pop(1)
    PULSE_SERVER = pulse_server()
    if not PULSE_SERVER:
        print("FAIL: no PulseAudio server answers")
        sys.exit(1)
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    try:
        import pyatspi
        result = unittest.main(exit=False, verbosity=2).result
    finally:
        launcher.terminate()
        launcher.wait(10)
    sys.exit(0 if result.wasSuccessful() else 1)
