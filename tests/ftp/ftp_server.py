#!/usr/bin/python3
"""FTP server for the upload tests: pyftpdlib on a loopback address, or a broken server.

Prints "PORT <n>" on stdout once it listens (followed by the SHA-256 fingerprint of the
certificate it made when it speaks TLS), then serves until it is killed.
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
            elif mode == "silent":
                # Accepts and never says a word.
                conn.recv(4096)
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


def make_certificate():
    """A self-signed certificate made for this run: the key, the certificate and its SHA-256
    fingerprint as clients show it."""
    from OpenSSL import crypto
    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.get_subject().CN = "serveur de test"
    cert.set_serial_number(int.from_bytes(os.urandom(8), "big"))
    cert.gmtime_adj_notBefore(-3600)
    cert.gmtime_adj_notAfter(3600 * 24)
    cert.set_issuer(cert.get_subject())
    cert.set_pubkey(key)
    cert.sign(key, "sha256")
    return key, cert, cert.digest("sha256").decode()


def main():
    die_with_parent()
    ap = argparse.ArgumentParser()
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--root")
    ap.add_argument("--user", default="lignado")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--mode", choices=["ftp", "garbage", "close", "wait", "silent"],
                    default="ftp")
    ap.add_argument("--refuse", action="append", default=[],
                    help="name of a folder the server refuses to create")
    ap.add_argument("--refuse-delete", action="append", default=[],
                    help="name of a file the server refuses to delete")
    ap.add_argument("--no-rename", action="store_true", help="refuse RNFR")
    ap.add_argument("--no-mlsd", action="store_true",
                    help="reject MLSD so that clients fall back to LIST")
    ap.add_argument("--no-extended", action="store_true",
                    help="reject EPRT and EPSV so that clients fall back to PORT and PASV")
    ap.add_argument("--banner", help="greeting text; long ones are sent on several lines")
    ap.add_argument("--full", action="append", default=[],
                    help="name of a file the server refuses to store (disk full)")
    ap.add_argument("--tls", choices=["off", "offer", "require"], default="off",
                    help="offer explicit TLS, or require it on the control and data connections")
    ap.add_argument("--read-limit", type=int, default=0,
                    help="bytes per second a plain data connection is read at (0: no limit)")
    ap.add_argument("--require-reuse", action="store_true",
                    help="refuse a TLS data connection that does not reuse the control session")
    ap.add_argument("--tls13-only", action="store_true",
                    help="refuse TLS 1.2: only TLS 1.3 handshakes succeed")
    ap.add_argument("--log", help="file that receives every command the server understood")
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
    from pyftpdlib.handlers import (FTPHandler, ThrottledDTPHandler, TLS_DTPHandler,
                                    TLS_FTPHandler)
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    refused = set(args.refuse)
    full = set(args.full)
    refuse_delete = set(args.refuse_delete)
    no_rename = args.no_rename
    no_mlsd = args.no_mlsd
    no_extended = args.no_extended
    fingerprint = ""
    base = FTPHandler
    if args.tls != "off":
        from OpenSSL import SSL
        from OpenSSL._util import lib as ssl_lib
        key, cert, fingerprint = make_certificate()
        context = SSL.Context(SSL.TLS_SERVER_METHOD)
        context.use_privatekey(key)
        context.use_certificate(cert)
        context.set_session_id(b"lignado-test")
        if args.tls13_only:
            context.set_min_proto_version(SSL.TLS1_3_VERSION)
        base = TLS_FTPHandler
        require_reuse = args.require_reuse

        class DataHandler(TLS_DTPHandler):
            def handle_ssl_established(self):
                if require_reuse and not ssl_lib.SSL_session_reused(self.socket._ssl):
                    self.cmd_channel.respond("522 TLS session reuse required.")
                    self.close()

    log = open(args.log, "a", encoding="utf-8", errors="replace") if args.log else None

    class Handler(base):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
                log.flush()
            return base.pre_process_command(self, line, cmd, arg)

        def ftp_MKD(self, path):
            if os.path.basename(path.rstrip("/")) in refused:
                self.respond("550 Permission denied.")
                return None
            return base.ftp_MKD(self, path)

        def ftp_STOR(self, file, mode="w"):
            if os.path.basename(file) in full:
                self.respond("452 Espace disque insuffisant.")
                return None
            return base.ftp_STOR(self, file, mode)

        def ftp_DELE(self, path):
            if os.path.basename(path) in refuse_delete:
                self.respond("550 Permission denied.")
                return None
            return base.ftp_DELE(self, path)

        def ftp_RNFR(self, path):
            if no_rename:
                self.respond("502 Command not implemented.")
                return None
            return base.ftp_RNFR(self, path)

        def ftp_MLSD(self, path):
            if no_mlsd:
                self.respond("500 Command not understood.")
                return None
            return base.ftp_MLSD(self, path)

        def ftp_EPRT(self, line):
            if no_extended:
                self.respond("502 Command not implemented.")
                return
            return base.ftp_EPRT(self, line)

        def ftp_EPSV(self, line):
            if no_extended:
                self.respond("502 Command not implemented.")
                return
            return base.ftp_EPSV(self, line)

    Handler.authorizer = authorizer
    if args.read_limit:
        ThrottledDTPHandler.read_limit = args.read_limit
        Handler.dtp_handler = ThrottledDTPHandler
    if args.tls != "off":
        Handler.ssl_context = context
        Handler.dtp_handler = DataHandler
        Handler.tls_control_required = args.tls == "require"
        Handler.tls_data_required = args.tls == "require"
    Handler.auth_failed_timeout = 0  # a wrong password is answered at once
    if args.banner:
        Handler.banner = args.banner
    server = FTPServer((args.host, args.port), Handler)
    print(("PORT %d %s" % (server.address[1], fingerprint)).strip(), flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
