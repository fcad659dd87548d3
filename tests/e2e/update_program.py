#!/usr/bin/python3
# The update window of the real program against an HTTP server of this test on
# this machine (SONOREL_UPDATE_SERVER): Alt+C finds version 1.69, Alt+U
# downloads the installer (a small script), the script runs from the program's
# folder as tempsetup.exe and the reader ends the orderly way, settings written.
# The screen after the check is photographed when a path is given.
#
# Run inside an X server of its own:
#   tests/e2e/on-screen.sh 1024x768x24 /usr/bin/python3 update_program.py BIN_DIR [SHOT.png]

import http.server
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import time

from waiting import wait_for




def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else ""


def main():
    bin_dir = sys.argv[1]
    shot = sys.argv[2] if len(sys.argv) > 2 else None
    top = tempfile.mkdtemp(prefix="sonorel-update-")
    program = os.path.join(top, "program")
    os.mkdir(program)
    for name in ("sorel", "speak.bmp", "pause.bmp", "bell.wav", "sonorel.png"):
        source = os.path.join(bin_dir, name)
        if os.path.exists(source):
            shutil.copy2(source, os.path.join(program, name))
    run = os.path.join(top, "run")
    os.mkdir(run)
    os.chmod(run, stat.S_IRWXU)
    home = os.path.join(top, "home")
    os.mkdir(home)

    marker = os.path.join(top, "installer-ran")
    site = os.path.join(top, "site", "Sonorel", "update")
    os.makedirs(site)
    with open(os.path.join(site, "updateinfo.ini"), "w") as f:
        f.write("1.69\r\n")
    with open(os.path.join(site, "updatec.exe"), "w") as f:
        f.write("#!/bin/sh\necho \"$0\" > '%s'\n" % marker)
        f.write("# padding so that the download takes several pieces\n" + "#" * 5000 + "\n")

    asked = []

    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=os.path.join(top, "site"), **kwargs)

        def log_message(self, format, *args):
            asked.append(self.path)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()

    env = dict(os.environ)
    env.update({"HOME": home, "XDG_RUNTIME_DIR": run,
                "XDG_CONFIG_HOME": os.path.join(top, "config"), "QT_QPA_PLATFORM": "xcb",
                "SONOREL_AUDIO": "silent", "SONOREL_OPEN": "update",
                "SONOREL_UPDATE_SERVER": "http://127.0.0.1:%d" % server.server_port})
    reader = subprocess.Popen([os.path.join(program, "sorel")], cwd=program, env=env)
    failures = []
    try:
        window = wait_for(lambda: xdotool("search", "--name", "^Update Online----Sonorel$"), 60)
        if not window:
            print("FAIL: the update window never showed")
            return 1
        window = window.split()[0]
        xdotool("windowfocus", "--sync", window)
        xdotool("key", "alt+c")
        if not wait_for(lambda: "/Sonorel/update/updateinfo.ini" in asked, 30):
            failures.append("Check never asked the server")
        time.sleep(1)  # the window draws what the check found
        if shot:
            subprocess.run(["import", "-window", "root", shot], check=False)
        xdotool("windowfocus", "--sync", window)
        xdotool("key", "alt+u")
        if not wait_for(lambda: os.path.exists(marker), 30):
            failures.append("the downloaded installer never ran (asked: %r)" % asked)
        else:
            with open(marker) as f:
                ran = f.read().strip()
            if ran != os.path.join(program, "tempsetup.exe"):
                failures.append("the installer ran as %r" % ran)
        try:
            code = reader.wait(30)
            if code != 0:
                failures.append("the reader ended with %r" % code)
        except subprocess.TimeoutExpired:
            failures.append("the reader did not end after starting the installer")
        installer = os.path.join(program, "tempsetup.exe")
        if not os.access(installer, os.X_OK):
            failures.append("tempsetup.exe is not an executable file")
        for gone in ("tempsetup.exe.part", "newversion.ini"):
            if os.path.exists(os.path.join(program, gone)):
                failures.append("%s is left in the program folder" % gone)
        if not os.path.exists(os.path.join(program, "stts.ini")):
            failures.append("the reader ended without writing its settings")
    finally:
        if reader.poll() is None:
            reader.kill()
            reader.wait(10)
        server.shutdown()
        shutil.rmtree(top, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("the update downloaded, started the installer and ended the reader")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
