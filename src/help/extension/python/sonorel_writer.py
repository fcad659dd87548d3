# Sonorel's three Writer toolbar buttons: read the selection (or the whole
# document), Speak/Pause, Stop. Each hands one execute string to the running
# reader over its command link: a local socket of this user, one frame per
# connection (4-byte big-endian length, UTF-8 text), answered with one byte 1.
# The text never goes on a command line: a book is longer than one argument may be.

import os
import pwd
import shutil
import socket
import struct
import subprocess
import tempfile
import time

TOKEN = "7D0A94E3B2C5F16850E7A3D9C4B1F062"
READ, SPEAK_PAUSE, STOP = TOKEN + "_1", TOKEN + "_2", TOKEN + "_3"

ACK = b"\x01"
MAX_FRAME = 64 * 1024 * 1024  # the reader drops anything longer
SEND_TIMEOUT = 5.0  # seconds from connecting to holding the acknowledgement
START_WAIT = 10.0  # seconds a freshly started reader has to open its link
POLL = 0.1

# Where a reader is looked for when none answers: the program on PATH (the
# package's /usr/bin/sorel), then the install folders a package or a local
# install use.
INSTALL_FOLDERS = ("/usr/lib/sonorel", "/usr/local/lib/sonorel")


def _qt_runtime_folder():
    """The folder Qt's runtime location gives the reader, as it chooses it."""
    uid = os.geteuid()
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    if not runtime:
        return None
    try:
        st = os.stat(runtime)
        if (os.path.isdir(runtime) and st.st_uid == uid and (st.st_mode & 0o777) == 0o700):
            return runtime
    except OSError:
        pass
    try:
        user = pwd.getpwuid(uid).pw_name
    except KeyError:
        user = str(uid)
    return os.path.join(tempfile.gettempdir(), "runtime-" + user)


def socket_paths(service="sorel", topic="FormDDE"):
    """Candidate socket paths of the link, most likely first."""
    name = "sonorel-%d-%s-%s" % (os.geteuid(), service, topic)
    folders = []
    runtime = _qt_runtime_folder()
    if runtime and os.path.isdir(runtime):
        folders.append(runtime)
    folders.append(tempfile.gettempdir())
    paths = []
    for folder in folders:
        path = os.path.join(folder, name)
        if path not in paths:
            paths.append(path)
    return paths


def _served_by_us(sock):
    creds = sock.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, struct.calcsize("3i"))
    _pid, uid, _gid = struct.unpack("3i", creds)
    return uid == os.geteuid()


def send(message, timeout=SEND_TIMEOUT):
    """Hands `message` to the reader; True once it acknowledged it."""
    body = message.encode("utf-8")
    if len(body) > MAX_FRAME:
        return False
    for path in socket_paths():
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.settimeout(timeout)
        try:
            sock.connect(path)
            # Another user's socket at our name gets nothing of the document.
            if not _served_by_us(sock):
                continue
            sock.sendall(struct.pack(">I", len(body)) + body)
            return sock.recv(1) == ACK
        except OSError:
            continue
        finally:
            sock.close()
    return False


def find_reader():
    found = shutil.which("sorel")
    if found:
        return found
    for folder in INSTALL_FOLDERS:
        candidate = os.path.join(folder, "sorel")
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return None


def start_reader():
    """Starts a reader without text, in a session of its own; True if it ran."""
    program = find_reader()
    if not program:
        return False
    try:
        subprocess.Popen([program], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True, close_fds=True)
    except OSError:
        return False
    return True


def send_or_start(message):
    """Sends; when no reader answers, starts one and sends once its link is up."""
    if send(message):
        return True
    if not start_reader():
        return False
    deadline = time.monotonic() + START_WAIT
    while time.monotonic() < deadline:
        if send(message):
            return True
        time.sleep(POLL)
    return False


def document_text(document):
    """The selected text, or the whole text when nothing is selected."""
    parts = []
    try:
        selection = document.getCurrentController().getSelection()
        if selection is not None and hasattr(selection, "getCount"):
            for i in range(selection.getCount()):
                text = selection.getByIndex(i).getString()
                if text:
                    parts.append(text)
    except Exception:
        parts = []  # not a text selection (a picture, a frame): read the document
    if parts:
        return "\n".join(parts)
    return document.getText().getString()


def _document():
    return XSCRIPTCONTEXT.getDocument()  # noqa: F821 (given by the script provider)


def read_text(*_args):
    document = _document()
    if document is None or not hasattr(document, "getText"):
        return
    send_or_start(READ + document_text(document))


# With no reader running there is nothing to pause or stop, so these two do
# not start one.
def speak_pause(*_args):
    send(SPEAK_PAUSE)


def stop(*_args):
    send(STOP)


g_exportedScripts = (read_text, speak_pause, stop)
