#!/usr/bin/python3
# Drives a headless LibreOffice Writer: opens a new text document holding the
# text of TEXT_FILE and presses one of the Sonorel toolbar's buttons by
# dispatching its command URL on the document's frame, as a click does.
# Usage: writer_driver.py PROFILE_URL TEXT_FILE ACTION [SELECT_FROM SELECT_LENGTH]...
#   ACTION: read_text, speak_pause or stop; with SELECT_* the button is pressed
#   with those characters of the text selected.
import os
import subprocess
import sys
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException

SCRIPT = ("vnd.sun.star.script:Speak.oxt|python|sonorel_writer.py$%s"
          "?language=Python&location=user:uno_packages")


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def main():
    profile, text_file, action = sys.argv[1:4]
    selection = [int(v) for v in sys.argv[4:6]]
    with open(text_file, encoding="utf-8") as f:
        text = f.read()
    pipe = "sonorel_test_%d" % os.getpid()
    office = subprocess.Popen(
        ["soffice", "--headless", "--norestore", "--nologo", "--nodefault",
         "-env:UserInstallation=" + profile, "--accept=pipe,name=%s;urp;" % pipe],
        stdin=subprocess.DEVNULL)
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        ctx = None
        for _ in range(600):  # the bound only keeps a broken office from hanging us
            try:
                ctx = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except NoConnectException:
                if office.poll() is not None:
                    sys.exit("soffice ended with %d" % office.returncode)
                time.sleep(0.1)
        if ctx is None:
            sys.exit("soffice never answered")
        smgr = ctx.ServiceManager
        desktop = smgr.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        doc = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0, ())
        doc.getText().setString(text)
        controller = doc.getCurrentController()
        if selection:
            cursor = doc.getText().createTextCursor()
            cursor.gotoStart(False)
            cursor.goRight(selection[0], False)
            cursor.goRight(selection[1], True)
            controller.select(cursor)
        frame = controller.getFrame()
        frame.activate()
        helper = smgr.createInstanceWithContext("com.sun.star.frame.DispatchHelper", ctx)
        helper.executeDispatch(frame, SCRIPT % action, "", 0, ())
        # What the document holds, for the caller to compare with what arrived.
        sys.stdout.write(doc.getText().getString())
        doc.close(True)
        try:
            desktop.terminate()
        except Exception:
            pass  # the bridge goes down with the office
    finally:
        try:
            office.wait(timeout=30)
        except subprocess.TimeoutExpired:
            office.kill()
            office.wait()


if __name__ == "__main__":
    main()
