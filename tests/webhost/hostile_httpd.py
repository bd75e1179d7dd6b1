#!/usr/bin/python3
"""A scripted HTTP server on 127.0.0.1 for hostile answers, one mode per run.

Prints the port it listens on as its first line. /robots.txt and /sitemap.xml answer 404 unless
the mode says otherwise; every other path gets the mode's answer. Logs "open <n>" when a
connection opens (n: connections open now) and "GET <path>" for each request.
"""

import argparse
import socket
import threading
import time
import zlib

LOCK = threading.Lock()
OPEN = [0]


def log(args, line):
    with LOCK:
        with open(args.log, "a", encoding="utf-8") as f:
            f.write(line + "\n")


def head(status, headers):
    lines = ["HTTP/1.1 " + status] + ["%s: %s" % h for h in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


def page(body, extra=()):
    data = body.encode()
    return head("200 OK", [("Content-Type", "text/html"), ("Content-Length", len(data))]
                + list(extra)) + data


def not_found():
    return head("404 Not Found", [("Content-Type", "text/plain"), ("Content-Length", 0)])


def redirect(location):
    return head("302 Found", [("Location", location), ("Content-Length", 0)])


def read_request(conn, buf):
    while b"\r\n\r\n" not in buf:
        chunk = conn.recv(65536)
        if not chunk:
            return None, b""
        buf += chunk
    request, rest = buf.split(b"\r\n\r\n", 1)
    return request.decode("latin-1"), rest


def stream_forever(conn, chunk):
    try:
        while True:
            conn.sendall(chunk)
    except OSError:
        pass


def answer(args, conn, path):
    """Answers one request; False when the connection is to close."""
    mode = args.mode
    other = "http://127.0.0.1:%d" % args.other
    if path == "/robots.txt":
        text = None
        if mode == "other-origin":
            text = "User-agent: *\nAllow: /\nSitemap: %s/sitemap.xml\n" % other
        elif mode == "slow-pages" and args.delay:
            text = "User-agent: *\nCrawl-delay: %s\n" % args.delay
        if text is not None:
            data = text.encode()
            conn.sendall(head("200 OK", [("Content-Type", "text/plain"),
                                         ("Content-Length", len(data))]) + data)
            return True
        conn.sendall(not_found())
        return True
    if path == "/sitemap.xml":
        conn.sendall(not_found())
        return True
    if mode == "record":
        conn.sendall(page("<html><head><title>Elsewhere</title></head></html>"))
        return True
    if mode == "redirect-loop":
        # Every address sends on to a new one, never to a page.
        n = int(path.rsplit("/", 1)[-1]) if path.startswith("/loop/") else 0
        conn.sendall(redirect("/loop/%d" % (n + 1)))
        return True
    if mode == "endless":
        conn.sendall(head("200 OK", [("Content-Type", "text/html"), ("Connection", "close")]))
        stream_forever(conn, b"<p>" + b"x" * 65533)
        return False
    if mode == "huge-length":
        conn.sendall(head("200 OK", [("Content-Type", "text/html"),
                                     ("Content-Length", 2 * 1024 ** 3)]))
        stream_forever(conn, b"<p>" + b"y" * 65533)
        return False
    if mode == "stall-headers":
        conn.sendall(head("200 OK", [("Content-Type", "text/html"), ("Content-Length", 1000)]))
        time.sleep(3600)
        return False
    if mode == "stall-silent":
        time.sleep(3600)
        return False
    if mode == "malformed":
        conn.sendall(b"HTTP/1.1 OK two hundred\r\nContent-Type text/html\r\n\r\n<html></html>")
        return False
    if mode == "gzip-bomb":
        conn.sendall(head("200 OK", [("Content-Type", "text/html"), ("Content-Encoding", "gzip"),
                                     ("Connection", "close")]))
        # Gigabytes of zeros, compressed as they are sent: a few KB on the wire per 10 MB.
        packer = zlib.compressobj(9, zlib.DEFLATED, 31)
        zeros = b"\0" * (1 << 20)
        try:
            conn.sendall(packer.compress(b"<html><body>"))
            for _ in range(8 * 1024):
                data = packer.compress(zeros)
                if data:
                    conn.sendall(data)
            conn.sendall(packer.flush())
        except OSError:
            pass
        return False
    if mode == "many-links":
        # Each page links to 100,000 pages of its own, each another such page.
        name = path.strip("/").replace("/", "-") or "p"
        links = "".join('<a href="/%s-%d">x</a>\n' % (name, i) for i in range(100000))
        conn.sendall(page("<html><head><title>Links</title></head><body>\n%s</body></html>"
                          % links))
        return True
    if mode == "other-origin":
        if path == "/away.htm":
            conn.sendall(redirect(other + "/landing.htm"))
            return True
        conn.sendall(page('<html><head><title>Here</title></head><body>'
                          '<a href="%s/linked.htm">there</a> <a href="/away.htm">away</a>'
                          '<link rel="alternate" href="%s/alt.htm"></body></html>'
                          % (other, other)))
        return True
    if mode == "slow-pages":
        # The start page links to twelve pages; each takes a while, so that transfers overlap.
        time.sleep(0.3)
        if path in ("/", "/index.htm"):
            links = "".join('<a href="/p%d.htm">p</a>' % i for i in range(12))
            conn.sendall(page("<html><head><title>Start</title></head><body>%s</body></html>"
                              % links))
        else:
            conn.sendall(page("<html><head><title>P</title></head><body></body></html>"))
        return True
    conn.sendall(not_found())
    return True


def serve(args, conn):
    with LOCK:
        OPEN[0] += 1
        n = OPEN[0]
    log(args, "open %d" % n)
    buf = b""
    try:
        while True:
            request, buf = read_request(conn, buf)
            if request is None:
                break
            path = request.split("\r\n", 1)[0].split(" ")
            path = path[1] if len(path) > 1 else "/"
            log(args, "GET " + path)
            if not answer(args, conn, path):
                break
    except OSError:
        pass
    finally:
        with LOCK:
            OPEN[0] -= 1
        try:
            conn.close()
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode")
    parser.add_argument("--log", required=True)
    parser.add_argument("--other", type=int, default=9)
    parser.add_argument("--delay", default="")
    args = parser.parse_args()
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(64)
    print(server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(args, conn), daemon=True).start()


if __name__ == "__main__":
    main()
