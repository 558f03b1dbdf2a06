"""SMTP servers on loopback for the mail control's tests (aiosmtpd).

    smtp_peer.py OUTDIR [TRUSTED_CERT TRUSTED_KEY UNTRUSTED_CERT UNTRUSTED_KEY]

Servers: "plain" (no AUTH; refuses recipients that begin with "nobody"), "auth" (AUTH
over plain text allowed), "tls" (STARTTLS required before AUTH, trusted certificate),
"badtls" (STARTTLS with a certificate nobody trusts); the last two only when
certificates are given. Each accepted message is saved as
OUTDIR/<server>-<n>.eml (the content as received) and <server>-<n>.env (sender,
recipients, login, TLS). The ports go to OUTDIR/ports as "name port" lines once all
servers listen. Runs until terminated, at most 15 minutes.
"""
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

USER, PASSWORD = b"alerts", b"s3cret \"pass\""


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == USER and auth_data.password == PASSWORD
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


class Saver:
    def __init__(self, name, outdir):
        self.name, self.outdir, self.count, self.lock = name, outdir, 0, threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("nobody"):
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            base = os.path.join(self.outdir, "%s-%d" % (self.name, self.count))
        login = session.auth_data.login.decode() if session.authenticated else "-"
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".env.tmp", "w") as f:
            f.write("from:%s\nto:%s\nlogin:%s\ntls:%d\n" % (
                envelope.mail_from, ",".join(envelope.rcpt_tos), login, 1 if session.ssl else 0))
        os.rename(base + ".eml.tmp", base + ".eml")
        os.rename(base + ".env.tmp", base + ".env")
        return "250 Message accepted for delivery"


def tls_context(cert, key):
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(cert, key)
    return ctx


def main():
    outdir = sys.argv[1]
    servers = {
        "plain": dict(),
        "auth": dict(authenticator=authenticator, auth_require_tls=False),
    }
    if len(sys.argv) >= 6:
        cert, key, bad_cert, bad_key = sys.argv[2:6]
        servers["tls"] = dict(authenticator=authenticator, tls_context=tls_context(cert, key),
                              require_starttls=True)
        servers["badtls"] = dict(authenticator=authenticator, tls_context=tls_context(bad_cert, bad_key),
                                 require_starttls=True)
    controllers = []
    lines = []
    for name, options in servers.items():
        port = free_port()
        c = Controller(Saver(name, outdir), hostname="127.0.0.1", port=port, **options)
        c.start()
        controllers.append(c)
        lines.append("%s %d\n" % (name, port))
    with open(os.path.join(outdir, "ports.tmp"), "w") as f:
        f.writelines(lines)
    os.rename(os.path.join(outdir, "ports.tmp"), os.path.join(outdir, "ports"))

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: done.set())
    # Never outlives a test run, even when the wrapper that started it was killed.
    done.wait(timeout=900)
    for c in controllers:
        c.stop()


if __name__ == "__main__":
    main()
