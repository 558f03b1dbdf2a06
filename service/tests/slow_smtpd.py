"""An SMTP server on loopback that takes its time over every message.

    slow_smtpd.py OUTDIR SECONDS

Each message is saved as OUTDIR/slow-<n>.eml after the server has waited SECONDS
before answering its DATA; OUTDIR/slow-<n>.busy marks a message being received. The
port goes to OUTDIR/port once the server listens. Runs until terminated, at most 15
minutes.
"""
import asyncio
import os
import signal
import socket
import sys
import threading

from aiosmtpd.controller import Controller


class Slow:
    def __init__(self, outdir, seconds):
        self.outdir, self.seconds, self.count = outdir, seconds, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.outdir, "slow-%d" % self.count)
        open(base + ".busy", "w").close()
        await asyncio.sleep(self.seconds)
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 Message accepted for delivery"


def main():
    outdir, seconds = sys.argv[1], float(sys.argv[2])
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    c = Controller(Slow(outdir, seconds), hostname="127.0.0.1", port=port)
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
