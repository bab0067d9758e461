#!/usr/bin/python3
"""FTP server for the upload tests: pyftpdlib on a loopback address, or a broken server.

Prints "PORT <n>" on stdout once it listens, then serves until it is killed.
"""
import argparse
import ctypes
import logging
import os
import signal
import socket
import sys
import time


def serve_broken(sock, mode):
    """A server that is not one: answers garbage, hangs up after its greeting, or never greets."""
    while True:
        conn, _ = sock.accept()
        try:
            if mode == "garbage":
                conn.sendall(b"Welcome to nowhere\r\n")
                conn.settimeout(5)
                while conn.recv(4096):
                    conn.sendall(b"\x00\xff garbage *** \r\n")
            elif mode == "close":
                conn.sendall(b"220 Ready\r\n")
            elif mode == "wait":
                # "Ready in a moment", again and again: never the greeting itself.
                while True:
                    conn.sendall(b"120 Patientez\r\n")
                    time.sleep(0.2)
        except OSError:
            pass
        finally:
            conn.close()


def die_with_parent():
    """A test killed before it could stop its server takes the server with it."""
    parent = os.getppid()
    try:
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        return
    if os.getppid() != parent:
        sys.exit(1)


def main():
    die_with_parent()
    ap = argparse.ArgumentParser()
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--root")
    ap.add_argument("--user", default="lignado")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--mode", choices=["ftp", "garbage", "close", "wait"], default="ftp")
    ap.add_argument("--refuse", action="append", default=[],
                    help="name of a folder the server refuses to create")
    ap.add_argument("--no-extended", action="store_true",
                    help="reject EPRT and EPSV so that clients fall back to PORT and PASV")
    ap.add_argument("--banner", help="greeting text; long ones are sent on several lines")
    args = ap.parse_args()

    if args.mode != "ftp":
        family = socket.AF_INET6 if ":" in args.host else socket.AF_INET
        sock = socket.socket(family, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((args.host, args.port))
        sock.listen(16)
        print("PORT %d" % sock.getsockname()[1], flush=True)
        serve_broken(sock, args.mode)
        return

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    refused = set(args.refuse)
    no_extended = args.no_extended

    class Handler(FTPHandler):
        def ftp_MKD(self, path):
            if os.path.basename(path.rstrip("/")) in refused:
                self.respond("550 Permission denied.")
                return None
            return FTPHandler.ftp_MKD(self, path)

        def ftp_EPRT(self, line):
            if no_extended:
                self.respond("502 Command not implemented.")
                return
            return FTPHandler.ftp_EPRT(self, line)

        def ftp_EPSV(self, line):
            if no_extended:
                self.respond("502 Command not implemented.")
                return
            return FTPHandler.ftp_EPSV(self, line)

    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0  # a wrong password is answered at once
    if args.banner:
        Handler.banner = args.banner
    server = FTPServer((args.host, args.port), Handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
