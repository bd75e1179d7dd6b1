#!/usr/bin/python3
"""A scripted FTP server that misbehaves on purpose, on 127.0.0.1 and a free port (printed first).

Usage: hostile_ftpd.py MODE [--log FILE]
  pasv-foreign  EPSV refused; PASV names 10.255.255.1 with a port that listens on 127.0.0.1
  long-reply    the greeting and the answer to RETR are lines of 100000 characters
  drop-midway   RETR sends half of 64 KiB, then drops both connections
  bad-listing   LIST mixes garbage lines with two good ones
  stall-greeting accepts and never says anything
  trickle       RETR sends its data in pieces of 1000 bytes, a little apart
  short         RETR sends half of the file, then says 226; SIZE is refused
  short-sized   the same, with SIZE answered with the whole size
  long          RETR sends 5000 bytes more than the file, then says 226; SIZE is refused
  long-sized    the same, with SIZE answered with the file's size
  endless       RETR sends data until the client goes
  big-line      RETR sends one line of 50 MB
  stall-data    RETR sends 1000 bytes, then nothing, the connections kept open
  stall-reply   RETR is never answered
  drip          RETR sends 200 bytes (SIZE answered), 10 at a time, 0.25 s apart
  stall-list    LIST is never answered
  port-late     RETR says 150, waits 1.5 s, then connects to the client's data port
LIST always names file.txt (12 bytes) and pkg.bin (13000 bytes, the size of the data).
Every file holds b"hostile data\\n" * 1000 unless the mode says otherwise.
With --log every command line received is appended to FILE, one a line, before it is answered.
"""
import os
import socket
import sys
import threading
import time

MODE = sys.argv[1]
LOG = open(sys.argv[3], "a", encoding="utf-8", newline="\n") if sys.argv[2:3] == ["--log"] else None
LOG_LOCK = threading.Lock()
DATA = b"hostile data\n" * 1000
FOREIGN = "10,255,255,1"


def endless():
    chunk = b"e" * 65536
    while True:
        yield chunk


def big_line():
    chunk = b"x" * (1 << 20)
    for _ in range(50):
        yield chunk
    yield b"\r\n"


def serve_data(conn, sock_factory, payload, cut=None, piece=None, late=False, pause=0.005):
    if late:
        conn.sendall(b"150 Opening data connection.\r\n")
        time.sleep(1.5)
    d = sock_factory()
    if d is None:
        conn.sendall(b"425 Can't open data connection.\r\n")
        return False
    if not late:
        conn.sendall(b"150 Opening data connection.\r\n")
    if not isinstance(payload, bytes):
        for chunk in payload:
            d.sendall(chunk)
        payload = b""
    if piece is not None:
        d.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for i in range(0, len(payload), piece):
            d.sendall(payload[i:i + piece])
            time.sleep(pause)
        payload = b""
    if cut is not None:
        d.sendall(payload[:cut])
        d.close()
        conn.close()
        return None
    d.sendall(payload)
    d.close()
    conn.sendall(b"226 Transfer complete.\r\n")
    return True


def handle(conn):
    if MODE == "stall-greeting":
        conn.recv(1)  # waits until the client goes
        return
    if MODE == "long-reply":
        conn.sendall(b"220 " + b"x" * 100000 + b"\r\n")
    else:
        conn.sendall(b"220 hostile server\r\n")
    f = conn.makefile("rb")
    pasv = None
    port_addr = None

    def data_socket():
        nonlocal pasv, port_addr
        try:
            if pasv is not None:
                pasv.settimeout(5)
                d, _ = pasv.accept()
                pasv.close()
                pasv = None
                return d
            if port_addr is not None:
                d = socket.create_connection(port_addr, timeout=5)
                port_addr = None
                return d
        except OSError:
            return None
        return None

    while True:
        line = f.readline()
        if not line:
            return
        if LOG is not None:
            with LOG_LOCK:
                LOG.write(line.decode("latin-1").rstrip("\r\n") + "\n")
                LOG.flush()
        cmd, _, arg = line.decode("latin-1").strip().partition(" ")
        cmd = cmd.upper()
        if cmd == "USER":
            conn.sendall(b"331 Password required.\r\n")
        elif cmd == "PASS":
            conn.sendall(b"230 Logged in.\r\n")
        elif cmd == "PWD":
            conn.sendall(b'257 "/" is the current directory.\r\n')
        elif cmd == "CWD":
            conn.sendall(b"250 Okay.\r\n")
        elif cmd == "TYPE":
            conn.sendall(b"200 Type set.\r\n")
        elif cmd == "EPSV":
            if MODE == "pasv-foreign":
                conn.sendall(b"500 EPSV not understood.\r\n")
            else:
                pasv = socket.socket()
                pasv.bind(("127.0.0.1", 0))
                pasv.listen(1)
                conn.sendall(b"229 Entering Extended Passive Mode (|||%d|)\r\n" % pasv.getsockname()[1])
        elif cmd == "PASV":
            pasv = socket.socket()
            pasv.bind(("127.0.0.1", 0))
            pasv.listen(1)
            p = pasv.getsockname()[1]
            host = FOREIGN if MODE == "pasv-foreign" else "127,0,0,1"
            conn.sendall(b"227 Entering Passive Mode (%s,%d,%d).\r\n" % (host.encode(), p // 256, p % 256))
        elif cmd == "EPRT":
            conn.sendall(b"500 EPRT not understood.\r\n")
        elif cmd == "PORT":
            n = [int(x) for x in arg.split(",")]
            port_addr = (".".join(map(str, n[:4])), n[4] * 256 + n[5])
            conn.sendall(b"200 PORT okay.\r\n")
        elif cmd == "SIZE":
            if MODE in ("short-sized", "long-sized"):
                conn.sendall(b"213 %d\r\n" % len(DATA))
            elif MODE == "drip":
                conn.sendall(b"213 200\r\n")
            else:
                conn.sendall(b"502 Not implemented.\r\n")
        elif cmd == "RETR":
            r = True
            if MODE in ("short", "short-sized"):
                r = serve_data(conn, data_socket, DATA[:len(DATA) // 2])
            elif MODE in ("long", "long-sized"):
                r = serve_data(conn, data_socket, DATA + b"!" * 5000)
            elif MODE == "endless":
                r = serve_data(conn, data_socket, endless())
            elif MODE == "big-line":
                r = serve_data(conn, data_socket, big_line())
            elif MODE == "stall-data":
                d = data_socket()
                conn.sendall(b"150 Opening data connection.\r\n")
                d.sendall(DATA[:1000])
                conn.recv(1)  # waits until the client goes
                return
            elif MODE == "stall-reply":
                conn.recv(1)
                return
            elif MODE == "drip":
                r = serve_data(conn, data_socket, b"d" * 200, piece=10, pause=0.25)
            elif MODE == "port-late":
                r = serve_data(conn, data_socket, DATA, late=True)
            elif MODE == "long-reply":
                conn.sendall(b"550 " + b"x" * 100000 + b"\r\n")
            elif MODE == "drop-midway":
                payload = b"z" * 65536
                r = serve_data(conn, data_socket, payload, cut=32768)
            elif MODE == "trickle":
                r = serve_data(conn, data_socket, DATA, piece=1000)
            else:
                r = serve_data(conn, data_socket, DATA)
            if r is None:
                return
        elif cmd in ("LIST", "NLST"):
            if MODE == "stall-list":
                conn.recv(1)
                return
            if MODE == "bad-listing":
                payload = (b"total 3\r\n"
                           b"this is not a listing line\r\n"
                           b"-rw-r--r--   1 o g   12 Jan 05  2021 good1.txt\r\n"
                           b"-rw-r--r--   1 o g   xx Feb 30 99:99 broken.txt\r\n"
                           b"\x00\x01\x02\xff\xfe garbage\r\n"
                           + b"y" * 20000 + b"\r\n"
                           b"01-05-23  12:34PM       <DIR>          good2\r\n")
            else:
                payload = (b"-rw-r--r--   1 o g   12 Jan 05  2021 file.txt\r\n"
                           b"-rw-r--r--   1 o g   13000 Jan 05  2021 pkg.bin\r\n")
            serve_data(conn, data_socket, payload)
        elif cmd == "QUIT":
            conn.sendall(b"221 Bye.\r\n")
            return
        else:
            conn.sendall(b"502 Not implemented.\r\n")


def client(conn):
    try:
        handle(conn)
    except OSError:
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def main():
    # Ends when the test that started it goes away (its standard input closes).
    def watch():
        while sys.stdin.buffer.read(4096):
            pass
        os._exit(0)
    threading.Thread(target=watch, daemon=True).start()
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(8)
    print(s.getsockname()[1], flush=True)
    while True:
        c, _ = s.accept()
        threading.Thread(target=client, args=(c,), daemon=True).start()


if __name__ == "__main__":
    main()
