#!/usr/bin/python3
"""A pyftpdlib server for the tests, on 127.0.0.1 and a free port (printed as the first line).

Usage: ftpd.py ROOT [--user U --password P] [--idle SECONDS] [--log FILE] [--tls CERTFILE]
Files whose name starts with "stall" are never sent: RETR answers 150 and then waits.
With --watch-stdin the server ends when its standard input closes (its parent went away).
With --tls CERTFILE the server offers explicit TLS (AUTH TLS) with that certificate and key
(one PEM file).
With --log every command line received (the password too) is appended to FILE, one a line, in
the order of arrival, before it is answered.
"""
import argparse
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def make_handler(base):
    class Handler(base):
        command_log = None

        def pre_process_command(self, line, cmd, arg):
            if self.command_log is not None:
                self.command_log.write(line + "\n")
                self.command_log.flush()
            return base.pre_process_command(self, line, cmd, arg)

        def ftp_RETR(self, file):
            if os.path.basename(file).startswith("stall"):
                self.respond("150 File status okay. About to open data connection.")
                return
            return base.ftp_RETR(self, file)

    return Handler


def watch_parent():
    def watch():
        while sys.stdin.buffer.read(4096):
            pass
        os._exit(0)
    threading.Thread(target=watch, daemon=True).start()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("--user", default="qmzvb")
    ap.add_argument("--password", default="qmz7719")
    ap.add_argument("--idle", type=float, default=300)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--watch-stdin", action="store_true")
    ap.add_argument("--log")
    ap.add_argument("--tls")
    a = ap.parse_args()
    if a.tls:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

        class DataHandler(TLS_DTPHandler):
            # pyftpdlib closes a data connection that becomes readable before its transfer
            # command; a client that does the TLS handshake first (as libcurl does) then gets a
            # reset. Stay open until the transfer starts, and wait for the client's handshake
            # from the start.
            def __init__(self, sock, cmd_channel):
                super().__init__(sock, cmd_channel)
                if self._ssl_accepting:
                    self.modify_ioloop_events(self.ioloop.READ)

            def readable(self):
                if self._ssl_accepting or self._ssl_want_read:
                    return True
                return self.receive

        Handler = make_handler(TLS_FTPHandler)
        Handler.dtp_handler = DataHandler
        Handler.certfile = a.tls
        # Clients resume the control connection's TLS session on the data connections; that
        # needs a session id context, which pyftpdlib leaves unset.
        Handler.get_ssl_context().set_session_id(b"tidewell-tests")
    else:
        Handler = make_handler(FTPHandler)
    if a.log:
        Handler.command_log = open(a.log, "a", encoding="utf-8", newline="\n")
    if a.watch_stdin:
        watch_parent()
    auth = DummyAuthorizer()
    auth.add_user(a.user, a.password, a.root, perm="elradfmw")
    auth.add_anonymous(a.root)
    Handler.authorizer = auth
    Handler.timeout = a.idle
    Handler.banner = "test server ready."
    Handler.permit_foreign_addresses = False
    import logging
    logging.basicConfig(level=logging.ERROR)
    server = FTPServer(("127.0.0.1", a.port), Handler)
    server.max_cons = 32
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
