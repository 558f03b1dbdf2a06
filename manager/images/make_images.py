#!/usr/bin/env python3
"""Draws the manager's toolbar pictures and the programs' icons as our own resources.

    make_images.py

Writes, beside itself, toolbar.bmp (six 16x16 pictures side by side, magenta = transparent,
in the order of the toolbar: start, stop, add, delete, setup, about) and tallisk.ico, and
service/quenloc.ico; the icons hold 32x32 and 16x16 pictures, 32-bit with alpha. Plain geometry, no fonts, so the result is the same everywhere.
"""
import os
import struct

MAGENTA = (255, 0, 255, 0)


def canvas(size, fill=(0, 0, 0, 0)):
    return [[fill for _ in range(size)] for _ in range(size)]


def put(img, x, y, c):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = c


def rect(img, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            put(img, x, y, c)


def disc(img, cx, cy, r, c):
    for y in range(len(img)):
        for x in range(len(img[0])):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                put(img, x, y, c)


def line(img, x0, y0, x1, y1, c, width=1.0):
    steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
    for i in range(steps + 1):
        t = i / steps
        disc(img, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, c)


GREEN, DARK_GREEN = (40, 160, 60, 255), (20, 100, 35, 255)
RED, DARK_RED = (210, 40, 40, 255), (140, 20, 20, 255)
BLUE, DARK_BLUE = (40, 90, 200, 255), (20, 50, 130, 255)
YELLOW, WHITE, GREY = (240, 200, 40, 255), (255, 255, 255, 255), (90, 90, 90, 255)


def start():  # a play triangle: start the service
    img = canvas(16, MAGENTA)
    for y in range(2, 14):
        half = (y - 2) if y < 8 else (13 - y)
        rect(img, 4, y, 4 + 2 * half, y, GREEN)
    line(img, 4, 2, 4, 13, DARK_GREEN)
    return img


def stop():  # a square: stop the service
    img = canvas(16, MAGENTA)
    rect(img, 3, 3, 12, 12, DARK_RED)
    rect(img, 4, 4, 11, 11, RED)
    return img


def add():  # a plus: add an entry
    img = canvas(16, MAGENTA)
    rect(img, 6, 2, 9, 13, DARK_GREEN)
    rect(img, 2, 6, 13, 9, DARK_GREEN)
    rect(img, 7, 3, 8, 12, GREEN)
    rect(img, 3, 7, 12, 8, GREEN)
    return img


def delete():  # a cross: delete the selected entry
    img = canvas(16, MAGENTA)
    line(img, 3, 3, 12.5, 12.5, RED, 2.6)
    line(img, 12.5, 3, 3, 12.5, RED, 2.6)
    return img


def setup():  # an envelope: the mail and syslog setup
    img = canvas(16, MAGENTA)
    rect(img, 1, 3, 14, 12, GREY)
    rect(img, 2, 4, 13, 11, WHITE)
    line(img, 2, 4, 7.5, 8.5, GREY)
    line(img, 13, 4, 7.5, 8.5, GREY)
    return img


def about():  # an "i" in a blue disc: about the program
    img = canvas(16, MAGENTA)
    disc(img, 8, 8, 7.2, DARK_BLUE)
    disc(img, 8, 8, 6.2, BLUE)
    rect(img, 7, 4, 8, 5, WHITE)
    rect(img, 7, 7, 8, 12, WHITE)
    rect(img, 6, 12, 9, 12, WHITE)
    return img


def program_icon(size, body, mark):
    """A log page with lines; `mark` in the corner: the bell dot of the manager, the eye of the service."""
    s = size / 32.0
    img = canvas(size)
    rect(img, int(4 * s), int(2 * s), int(25 * s), int(29 * s), GREY)
    rect(img, int(5 * s), int(3 * s), int(24 * s), int(28 * s), WHITE)
    for row in range(4):
        y = int((8 + row * 5) * s)
        rect(img, int(8 * s), y, int(21 * s), y + max(1, int(1.5 * s)) - 1, body)
    disc(img, 24 * s, 24 * s, 7 * s, mark)
    disc(img, 24 * s, 24 * s, 3 * s, WHITE)
    return img


def bmp_strip(pictures):
    height, width = 16, 16 * len(pictures)
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for p in pictures:
            for x in range(16):
                r, g, b, _ = p[y][x]
                row += bytes((b, g, r))
        pixels += row + b"\0" * (row_bytes - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def ico(images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for img in images:
        size = len(img)
        xor = bytearray()
        for y in reversed(range(size)):
            for x in range(size):
                r, g, b, a = img[y][x]
                xor += bytes((b, g, r, a))
        mask_row = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in reversed(range(size)):
            bits = bytearray(mask_row)
            for x in range(size):
                if img[y][x][3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blob = header + xor + mask
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    service = os.path.join(here, "..", "..", "service")
    with open(os.path.join(here, "toolbar.bmp"), "wb") as f:
        f.write(bmp_strip([start(), stop(), add(), delete(), setup(), about()]))
    with open(os.path.join(here, "tallisk.ico"), "wb") as f:
        f.write(ico([program_icon(32, BLUE, YELLOW), program_icon(16, BLUE, YELLOW)]))
    with open(os.path.join(service, "quenloc.ico"), "wb") as f:
        f.write(ico([program_icon(32, DARK_GREEN, BLUE), program_icon(16, DARK_GREEN, BLUE)]))


if __name__ == "__main__":
    main()
