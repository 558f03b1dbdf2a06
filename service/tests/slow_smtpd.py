"""An SMTP server on loopback that takes its time over every message, or refuses it.

    slow_smtpd.py OUTDIR SECONDS [MODE]

MODE "late" (the default): each message is saved as OUTDIR/slow-<n>.eml after the
server has waited SECONDS before answering its DATA; OUTDIR/slow-<n>.busy marks a
message being received. MODE "store-first": each message is saved at once, and its end
is answered SECONDS later (as a server does that stores before it replies); the answer
adds OUTDIR/slow-<n>.answered. MODE "refuse": every recipient is refused with a text
that differs each time ("550 5.7.1 rejected id=<n>"), and each refusal adds
OUTDIR/refused-<n>. The port goes to OUTDIR/port once the server listens. Runs until
terminated, at most 15 minutes.
"""
import asyncio
import os
import signal
import socket
import sys
import threading

from aiosmtpd.controller import Controller


def mark(path):
    open(path, "w").close()


class Slow:
    def __init__(self, outdir, seconds, mode):
        self.outdir, self.seconds, self.mode, self.count, self.refused = outdir, seconds, mode, 0, 0

    def save(self, base, envelope):
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.tmp", base + ".eml")

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.mode != "refuse":
            envelope.rcpt_tos.append(address)
            return "250 OK"
        self.refused += 1
        mark(os.path.join(self.outdir, "refused-%d" % self.refused))
        return "550 5.7.1 rejected id=%d" % self.refused

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.outdir, "slow-%d" % self.count)
        mark(base + ".busy")
        if self.mode == "store-first":
            self.save(base, envelope)
            await asyncio.sleep(self.seconds)
            mark(base + ".answered")
        else:
            await asyncio.sleep(self.seconds)
            self.save(base, envelope)
        return "250 Message accepted for delivery"


def main():
    outdir, seconds = sys.argv[1], float(sys.argv[2])
    mode = sys.argv[3] if len(sys.argv) > 3 else "late"
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    c = Controller(Slow(outdir, seconds, mode), hostname="127.0.0.1", port=port)
    c.start()
    with open(os.path.join(outdir, "port.tmp"), "w") as f:
        f.write("%d\n" % port)
    os.rename(os.path.join(outdir, "port.tmp"), os.path.join(outdir, "port"))
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: done.set())
    done.wait(timeout=900)
    c.stop()


if __name__ == "__main__":
    main()
