#!/usr/bin/python3
# The slide reader of the real program on a real X screen: a word file is typed
# into the path box and Begin pressed over the accessibility bus, as a user of a
# screen reader would; then the screen is photographed and the first word must
# stand on it in large type, inside the word display.
#
# Run inside a session bus and an X server of its own:
#   dbus-run-session -- tests/e2e/on-screen.sh 1280x1024x24 \
#       /usr/bin/python3 slides_screen.py BIN_DIR [SHOT.png]

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time

from waiting import wait_for

WORD = "Harbour"
MIN_INK_HEIGHT = 30  # pixels: a default label font is about 12




def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def read_ppm(path):
    """Width, height and RGB bytes of a binary PPM (P6) file."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError("not an 8-bit P6 file")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def ink_box(width, pixels, x0, y0, x1, y1):
    """Bounding box of the pixels inside the box that differ from its corner."""
    def rgb(x, y):
        i = 3 * (y * width + x)
        return pixels[i:i + 3]
    back = rgb(x0 + 1, y0 + 1)
    box = None
    for y in range(y0, y1):
        for x in range(x0, x1):
            if rgb(x, y) != back:
                box = (x, y, x, y) if box is None else (
                    min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
    return box


def main():
    bin_dir = sys.argv[1]
    shot = sys.argv[2] if len(sys.argv) > 2 else None
    top = tempfile.mkdtemp(prefix="sonorel-slides-")
    for name in ("sorel", "speak.bmp", "pause.bmp", "bell.wav", "sonorel.png"):
        source = os.path.join(bin_dir, name)
        if os.path.exists(source):
            shutil.copy2(source, os.path.join(top, name))
    run = os.path.join(top, "run")
    os.mkdir(run)
    os.chmod(run, stat.S_IRWXU)
    os.environ["HOME"] = os.path.join(top, "home")
    os.environ["XDG_RUNTIME_DIR"] = run
    os.environ["XDG_CONFIG_HOME"] = os.path.join(top, "config")
    os.mkdir(os.environ["HOME"])
    words = os.path.join(top, "words.txt")
    with open(words, "w") as f:
        f.write(WORD + "\nLantern\n")

    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    reader = None
    failures = []
    try:
        import pyatspi

        env = dict(os.environ)
        env.update({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_QPA_PLATFORM": "xcb",
                    "SONOREL_AUDIO": "silent", "SONOREL_OPEN": "slides"})
        reader = subprocess.Popen([os.path.join(top, "sorel")], cwd=top, env=env)
        desktop = pyatspi.Registry.getDesktop(0)

        def slides_window():
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is None or app.name != "Sonorel":
                    continue
                for node in walk(app):
                    if node.name == "Slide read aloud words" and node.getRoleName() in ("frame", "filler"):
                        return node
            return None

        window = wait_for(slides_window, 60)
        if window is None:
            print("FAIL: the slide reader never showed on the accessibility bus")
            return 1
        nodes = list(walk(window))
        path_box = next((n for n in nodes if n.name == "Word file"), None)
        begin = next((n for n in nodes
                      if n.getRoleName() == "push button" and n.name == "Begin"), None)
        if path_box is None or begin is None:
            print("FAIL: no path box or no Begin button:",
                  [(n.getRoleName(), n.name) for n in nodes])
            return 1
        path_box.queryEditableText().setTextContents(words)
        begin.queryAction().doAction(0)

        def display():
            for n in walk(window):
                if n.getRoleName() == "label" and n.name == WORD:
                    return n
            return None

        label = wait_for(display, 20)
        if label is None:
            failures.append("the first word never appeared in the word display")
        else:
            time.sleep(0.5)  # let the paint reach the screen
            ppm = os.path.join(top, "shot.ppm")
            subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:" + ppm], check=True)
            if shot:
                subprocess.run(["import", "-window", "root", shot], check=True)
                print("screenshot:", shot)
            width, height, pixels = read_ppm(ppm)
            x, y, w, h = label.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            x0, y0 = max(0, x), max(0, y)
            x1, y1 = min(width, x + w), min(height, y + h)
            print("word display at %d,%d size %dx%d on a %dx%d screen" % (x, y, w, h,
                                                                          width, height))
            box = ink_box(width, pixels, x0, y0, x1, y1)
            if box is None:
                failures.append("nothing is drawn in the word display")
            else:
                ink_w, ink_h = box[2] - box[0] + 1, box[3] - box[1] + 1
                print("the word's ink: %dx%d pixels at %d,%d" % (ink_w, ink_h, box[0], box[1]))
                if ink_h < MIN_INK_HEIGHT:
                    failures.append("the word is %d pixels high, not large type" % ink_h)
                if box[0] <= x0 or box[2] >= x1 - 1:
                    failures.append("the word touches the display's edge")
        if reader.poll() is not None:
            failures.append("the reader ended with %r" % reader.returncode)
    finally:
        if reader is not None and reader.poll() is None:
            reader.terminate()
            try:
                reader.wait(10)
            except subprocess.TimeoutExpired:
                reader.kill()
        launcher.terminate()
        launcher.wait(10)
        shutil.rmtree(top, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
