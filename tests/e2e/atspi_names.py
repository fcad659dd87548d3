#!/usr/bin/python3
# The real reader seen the way a screen reader sees it: over the desktop's
# accessibility bus. Every push button, slider, check box, combo box and text
# control must have a name, the scales must be named after their captions and
# report the number shown below them, and moving a scale through the bus must
# move the number too. The windows that no menu opens yet (the clock settings)
# are opened at start in runs of their own and read the same way: every control
# named, the expected names present. The quick menu and the about window are
# read the same way.
#
# Run inside a session bus and an X server of its own:
#   dbus-run-session -- tests/e2e/on-screen.sh 1280x1024x24 /usr/bin/python3 atspi_names.py BIN_DIR

import os
import shutil
import stat
import subprocess
import sys
import tempfile

from waiting import wait_for

NAMED_ROLES = ("push button", "slider", "check box", "combo box", "text", "entry")




def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def check_slides(nodes, failures):
    """The slide reader, opened at start: its controls are there under their names
    (that every control has a name is checked for the whole program)."""
    frame = next((n for n in nodes
                  if n.name == "Slide read aloud words"
                  and n.getRoleName() in ("frame", "filler")), None)
    if frame is None:
        failures.append("no slide reader window")
        return
    seen = {(n.getRoleName(), n.name) for n in walk(frame)}
    wanted = [("text", "Word file"), ("slider", "Delay"), ("check box", "Full window"),
              ("check box", "Random")]
    wanted += [("push button", b) for b in ("Select word file", "Edit", "Begin", "Stop",
                                            "Pause", "Previous", "Next", "Font", "Color",
                                            "Close")]
    for role, name in wanted:
        if (role, name) not in seen and ("entry", name) not in seen:
            failures.append("the slide reader has no %s named %s" % (role, name))
    print("slide reader controls seen:", len(seen))


# The windows opened one at a time by a reader of their own (SONOREL_OPEN), with
# the controls each must show under its name.
OTHER_WINDOWS = [
    ("clocksettings", "Set Alarm Clock - Sonorel",
     [(None, n) for n in (
         "Hour", "Half", "Quarter", "Sound sentence", "Hour word", "Minute word",
         "Bell sound", "Bell file", "Alarm at intervals of", "Alarm interval in minutes",
         "Alarm at", "Alarm minute every hour", "Alarm hour every day",
         "Alarm minute every day", "Save all settings", "Test bell and alarm sentence",
         "Close")]),
    ("batch", "Batch Convert Text Files to Sound Files  - Sonorel",
     [("label", "Drive"), ("list", "Source folders"), ("list", "Text files"),
      ("text", "Source folder"), ("check box", "Select all text files above"),
      ("text", "Target folder"), ("push button", "Select"),
      ("push button", "Begin convert to mp3 files"), ("push button", "Begin convert to wav files"),
      ("push button", "Stop"), ("push button", "Close")]),
    ("howto", "How does this application work?   - Sonorel",
     [("push button", "click here, add the speaker to LibreOffice Writer"),
      ("push button", "click here, add the speaker to WordPerfect"),
      ("push button", "FAQ"), ("push button", "FAQ Online"), ("push button", "Close")]),
    ("quickmenu", "Sonorel menu",
     [("push button", n) for n in (
         "Speak", "Stop", "Watch clipboard", "Slide read aloud words",
         "Text files to sound files", "Convert wav to mp3", "Sound time", "Update", "Help",
         "About", "sonorel.org", "Get more voices", "Eject CD", "Close CD", "Exit all")]
     + [("check box", "Watch clipboard"), (None, "Close menu"),
        (None, "Download French Voice")]),
    ("about", "About Sonorel",
     [("label", "Sonorel"), ("label", "Version 1.68"), ("push button", "Web site sonorel.org"),
      ("push button", "Mail support@sonorel.org"), ("push button", "Close")]),
    ("converter", "Convert wav to mp3 by Sonorel",
     [("text", "Source wav file"), ("text", "Target mp3 file"),
      ("push button", "Browse for the source wav file"),
      ("push button", "Browse for the target mp3 file"), ("push button", "Convert"),
      ("push button", "Close")]),
    ("update", "Update Online----Sonorel",
     [(None, "Click\"Check\" button"), ("push button", "Check"), ("push button", "Close"),
      (None, "Download progress")]),
]


def stop(process):
    if process is not None and process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(10)


def check_window(pyatspi, program, env, name, title, wanted, failures):
    """Starts a reader that opens window `name`: every control of it has a name,
    and the wanted ones are there under theirs."""
    env = dict(env, SONOREL_OPEN=name)
    reader = subprocess.Popen([program], cwd=os.path.dirname(program), env=env)
    try:
        desktop = pyatspi.Registry.getDesktop(0)

        def frame():
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is None or app.name != "Sonorel":
                    continue
                for n in walk(app):
                    if n.name == title and n.getRoleName() in ("frame", "filler", "window"):
                        if any(c.getRoleName() == "push button" for c in walk(n)):
                            return n
            return None

        found = wait_for(frame, 60)
        if found is None:
            failures.append("the %s window never showed on the accessibility bus" % name)
            return
        seen = set()
        for node in walk(found):
            role = node.getRoleName()
            seen.add((role, node.name))
            # A combo box's own popup list is told as the combo box.
            in_combo = node.parent is not None and node.parent.getRoleName() == "combo box"
            # In the quick menu and the about window pictures and texts are
            # named too: there a picture is something to press.
            roles = NAMED_ROLES + ("list",)
            if name in ("quickmenu", "about"):
                roles += ("label", "image")
            if role in roles and not node.name.strip() and not in_combo:
                failures.append("the %s window has a %s without a name" % (name, role))
        for role, control in wanted:
            if role is None:
                if not any(n == control for _, n in seen):
                    failures.append("the %s window has no control named %s" % (name, control))
                continue
            if (role, control) not in seen and not (role == "text"
                                                    and ("entry", control) in seen):
                failures.append("the %s window has no %s named %s" % (name, role, control))
        print("%s window controls seen: %d" % (name, len(seen)))
        if reader.poll() is not None:
            failures.append("the reader with the %s window ended with %r"
                            % (name, reader.returncode))
    finally:
        stop(reader)


def main():
    bin_dir = sys.argv[1]
    top = tempfile.mkdtemp(prefix="sonorel-atspi-")
    # A program folder, a home and a runtime folder of the test's own: the
    # reader writes its settings beside itself.
    for name in ("sorel", "Vocelle", "speak.bmp", "pause.bmp", "bell.wav", "sonorel.png",
                 "speak.dot", "open0.bmp", "open1.bmp", "Image0.bmp") + tuple(
                     "Picture%d.bmp" % n for n in range(1, 14)):
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

        def sonorel_with_scales():
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is None or app.name != "Sonorel":
                    continue
                sliders = [n for n in walk(app) if n.getRoleName() == "slider"]
                if len(sliders) >= 4:
                    return app
            return None

        app = wait_for(sonorel_with_scales, 60)
        if app is None:
            print("FAIL: the reader never showed its window on the accessibility bus")
            return 1
        nodes = list(walk(app))
        counts = {}
        for node in nodes:
            role = node.getRoleName()
            if role not in NAMED_ROLES:
                continue
            counts[role] = counts.get(role, 0) + 1
            if not node.name.strip():
                failures.append("a %s has no name (description %r)" % (role, node.description))
        print("named controls seen:", counts)
        if counts.get("push button", 0) < 9:
            failures.append("fewer than nine push buttons: %r" % counts)
        if counts.get("check box", 0) < 1:
            failures.append("no check box")
        if counts.get("text", 0) + counts.get("entry", 0) < 1:
            failures.append("no text control")

        # Each scale and the number below it: the next sibling in the panel.
        scales = {}
        for node in nodes:
            if node.getRoleName() == "slider" and node.name in ("Volume", "Rate", "Pitch"):
                parent = node.parent
                shown = parent.getChildAtIndex(node.getIndexInParent() + 1)
                scales[node.name] = (node, shown)
        for name in ("Volume", "Rate", "Pitch"):
            if name not in scales:
                failures.append("no slider named %s" % name)
                continue
            node, shown = scales[name]
            value = node.queryValue()
            current = int(round(value.currentValue))
            print("%s: value %d of %d..%d, shown %r" % (name, current, value.minimumValue,
                                                       value.maximumValue, shown.name))
            if (value.minimumValue, value.maximumValue) != (0, 100):
                failures.append("%s runs %r..%r, not 0..100" % (name, value.minimumValue,
                                                                 value.maximumValue))
            if shown.name != str(current):
                failures.append("%s reports %d but %r is shown" % (name, current, shown.name))
        if "Volume" in scales and int(round(scales["Volume"][0].queryValue().currentValue)) != 100:
            failures.append("a fresh Volume is not at 100")
        if "Rate" in scales:
            node, shown = scales["Rate"]
            node.queryValue().currentValue = 42
            if not wait_for(lambda: shown.name == "42", 10):
                failures.append("Rate moved to 42 over the bus shows %r" % shown.name)
        check_slides(nodes, failures)
        if reader.poll() is not None:
            failures.append("the reader ended with %r" % reader.returncode)

        # The voice chooser: its list is named, every voice in it is named, and
        # the list takes the keyboard focus.
        chooser = subprocess.Popen([os.path.join(top, "Vocelle")], cwd=top, env=env)
        try:
            def vocelle_list():
                for i in range(desktop.childCount):
                    app = desktop.getChildAtIndex(i)
                    if app is None or app.name != "Vocelle":
                        continue
                    lists = [n for n in walk(app) if n.getRoleName() == "list"]
                    if lists and lists[0].childCount > 0:
                        return lists[0]
                return None
            listing = wait_for(vocelle_list, 60)
            if listing is None:
                failures.append("Vocelle never showed its list on the accessibility bus")
            else:
                print("Vocelle's list %r with %d voices" % (listing.name, listing.childCount))
                if not listing.name.strip():
                    failures.append("Vocelle's list has no name")
                if not listing.getState().contains(pyatspi.STATE_FOCUSABLE):
                    failures.append("Vocelle's list cannot take the keyboard focus")
                for i in range(listing.childCount):
                    if not listing.getChildAtIndex(i).name.strip():
                        failures.append("a voice in Vocelle's list has no name")
        finally:
            chooser.terminate()
            chooser.wait(10)
        # One reader per user: the next one starts when this one has ended.
        stop(reader)
        reader = None
        for name, title, wanted in OTHER_WINDOWS:
            check_window(pyatspi, os.path.join(top, "sorel"), env, name, title, wanted,
                         failures)
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
