#!/usr/bin/python3
# A stand-in for the reader's end of the command link: listens on SOCKET, takes
# one frame per connection (4-byte big-endian length, UTF-8 text), acknowledges
# it with one byte 1 and appends it to OUT_FOLDER as message-<n>.txt (written to
# a temporary name and renamed, so a reader of the folder sees whole messages).
# Usage: link_recorder.py SOCKET OUT_FOLDER
import os
import socket
import struct
import sys

path, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
if os.path.exists(path):
    os.unlink(path)
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(path)
os.chmod(path, 0o700)
server.listen(8)
count = 0


def read_exactly(conn, n):
    data = bytearray()
    while len(data) < n:
        chunk = conn.recv(min(n - len(data), 1 << 20))
        if not chunk:
            raise EOFError
        data += chunk
    return bytes(data)


while True:
    conn, _ = server.accept()
    conn.settimeout(10)
    try:
        (length,) = struct.unpack(">I", read_exactly(conn, 4))
        body = read_exactly(conn, length)
    except (EOFError, OSError):
        conn.close()  # a probe that only connects, or a broken client
        continue
    count += 1
    name = os.path.join(out, "message-%d.txt" % count)
    with open(name + ".part", "wb") as f:
        f.write(body)
    os.rename(name + ".part", name)
    conn.sendall(b"\x01")
    conn.close()
