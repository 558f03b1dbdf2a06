"""SMTP servers on loopback for the mail control's tests (aiosmtpd).

    smtp_peer.py OUTDIR [TRUSTED_CERT TRUSTED_KEY UNTRUSTED_CERT UNTRUSTED_KEY]

Servers: "plain" (no AUTH; refuses recipients that begin with "nobody"), "auth" (AUTH
over plain text allowed, no STARTTLS), "hang" (accepts connections and never answers),
"drip" (answers one byte every half second, a reply that never ends), "tls" (STARTTLS
required before AUTH, trusted certificate), "tls2" (the same on 127.0.0.2, an address the
certificate does not name), "badtls" (STARTTLS with a certificate nobody trusts); the TLS
servers only when certificates are given. "late" refuses connections until the file
OUTDIR/late.go appears, then takes mail like "plain". "flaky" answers 421 to its first two
MAIL commands and 451 to its first two DATA, then takes mail; DATA to a recipient that
begins with "refuse" gets 554; each of these answers adds a line to OUTDIR/flaky.log. Each accepted message is saved as
OUTDIR/<server>-<n>.eml (the content as received) and <server>-<n>.env (sender,
recipients, login, TLS); every AUTH attempt adds a line to OUTDIR/<server>.auth. The
ports go to OUTDIR/ports as "name port" lines once all servers listen. Runs until
terminated, at most 15 minutes.
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


def free_port(host="127.0.0.1"):
    s = socket.socket()
    s.bind((host, 0))
    port = s.getsockname()[1]
    s.close()
    return port


def authenticator_for(name, outdir):
    def authenticate(server, session, envelope, mechanism, auth_data):
        with open(os.path.join(outdir, name + ".auth"), "a") as f:
            f.write("%s tls:%d\n" % (mechanism, 1 if session.ssl else 0))
        ok = isinstance(auth_data, LoginPassword) and auth_data.login == USER and auth_data.password == PASSWORD
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)
    return authenticate


def silent_server(port, drip, done):
    """Accepts on 127.0.0.1:port; says nothing, or one byte of an endless reply at a time."""
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    listener.settimeout(0.2)
    held = []

    def talk(conn):
        text = b"220-still greeting you\r\n"
        i = 0
        while not done.wait(0.5):
            try:
                conn.sendall(text[i % len(text):i % len(text) + 1])
            except OSError:
                return
            i += 1

    def serve():
        while not done.is_set():
            try:
                conn, _ = listener.accept()
            except socket.timeout:
                continue
            held.append(conn)
            if drip:
                threading.Thread(target=talk, args=(conn,), daemon=True).start()
        for c in held:
            c.close()
        listener.close()

    threading.Thread(target=serve, daemon=True).start()


class Saver:
    def __init__(self, name, outdir):
        self.name, self.outdir, self.count, self.lock = name, outdir, 0, threading.Lock()
        self.flaky = {"MAIL": 2, "DATA": 2} if name == "flaky" else {}

    def refuse(self, step, code):
        with open(os.path.join(self.outdir, self.name + ".log"), "a") as f:
            f.write("%s %s\n" % (step, code.split()[0]))
        return code

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.flaky.get("MAIL"):
            self.flaky["MAIL"] -= 1
            return self.refuse("MAIL", "421 4.3.2 Service not available, closing channel")
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("nobody"):
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.flaky and any(r.lower().startswith("refuse") for r in envelope.rcpt_tos):
            return self.refuse("DATA", "554 5.7.1 Message refused")
        if self.flaky.get("DATA"):
            self.flaky["DATA"] -= 1
            return self.refuse("DATA", "451 4.3.0 Try again later")
        if self.flaky:
            self.refuse("DATA", "250")
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
        "auth": dict(authenticator=authenticator_for("auth", outdir), auth_require_tls=False),
        "flaky": dict(),
    }
    if len(sys.argv) >= 6:
        cert, key, bad_cert, bad_key = sys.argv[2:6]
        for name, pair, host in (("tls", (cert, key), "127.0.0.1"), ("tls2", (cert, key), "127.0.0.2"),
                                 ("badtls", (bad_cert, bad_key), "127.0.0.1")):
            servers[name] = dict(authenticator=authenticator_for(name, outdir), tls_context=tls_context(*pair),
                                 require_starttls=True, hostname=host)
    controllers = []
    lines = []
    for name, options in servers.items():
        host = options.pop("hostname", "127.0.0.1")
        port = free_port(host)
        c = Controller(Saver(name, outdir), hostname=host, port=port, **options)
        c.start()
        controllers.append(c)
        lines.append("%s %d\n" % (name, port))
    done = threading.Event()
    late_port = free_port()
    lines.append("late %d\n" % late_port)

    def open_late():
        while not done.wait(0.1):
            if os.path.exists(os.path.join(outdir, "late.go")):
                c = Controller(Saver("late", outdir), hostname="127.0.0.1", port=late_port)
                c.start()
                controllers.append(c)
                return

    threading.Thread(target=open_late, daemon=True).start()
    for name, drip in (("hang", False), ("drip", True)):
        port = free_port()
        silent_server(port, drip, done)
        lines.append("%s %d\n" % (name, port))
    with open(os.path.join(outdir, "ports.tmp"), "w") as f:
        f.writelines(lines)
    os.rename(os.path.join(outdir, "ports.tmp"), os.path.join(outdir, "ports"))

    signal.signal(signal.SIGTERM, lambda *a: done.set())
    # Never outlives a test run, even when the wrapper that started it was killed.
    done.wait(timeout=900)
    for c in controllers:
        c.stop()
    done.set()


if __name__ == "__main__":
    main()
