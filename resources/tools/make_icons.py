#!/usr/bin/env python3
"""Draws Corvane's icons from vector shapes and writes them as .ico files.

Usage:  python3 resources/tools/make_icons.py [--sheet contact.png]

Writes resources/icons/*.ico (16, 24, 32 and 48 pixel images, 32-bit with an
AND mask so every Windows version and Wine load them) and, with --sheet, a PNG
contact sheet of every icon at every size on a light and a dark background.
Only the standard library is used. The .ico files are committed, so the build
never runs this script; run it again after changing a drawing.

Every drawing works in a 48 x 48 unit square; shapes are signed-distance
functions, which gives anti-aliased edges at any size without supersampling.
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48)

# Palette shared by all icons so the toolbars read as one set.
INK = (38, 50, 56)
BLUE = (33, 110, 214)
BLUE_DARK = (18, 64, 140)
BLUE_LIGHT = (120, 175, 240)
SILVER = (214, 222, 232)
SILVER_DARK = (140, 152, 168)
GREEN = (46, 160, 67)
GREEN_DARK = (24, 100, 40)
ORANGE = (240, 140, 30)
ORANGE_DARK = (170, 80, 10)
RED = (214, 48, 49)
YELLOW = (250, 200, 40)
PAPER = (252, 252, 250)
WHITE = (255, 255, 255)
PURPLE = (130, 70, 190)

# ---------------------------------------------------------------- shapes
# Each shape is a function (x, y) -> signed distance in units (negative inside).


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return f


def segment(ax, ay, bx, by, w):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy

    def f(x, y):
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - w / 2

    return f


def polygon(*pts):
    n = len(pts)

    def f(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = pts[i]
            bx, by = pts[(i + 1) % n]
            dx, dy = bx - ax, by - ay
            ll = dx * dx + dy * dy
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
            d = min(d, math.hypot(x - ax - t * dx, y - ay - t * dy))
            if (ay > y) != (by > y) and x < ax + (y - ay) * dx / dy:
                inside = not inside
        return -d if inside else d

    return f


def arc(cx, cy, r, w, a0, a1):
    """Ring of radius r and width w between angles a0..a1 (degrees, counter-clockwise
    from east, y pointing down on screen so the angle is measured clockwise there)."""
    a0, a1 = math.radians(a0), math.radians(a1)

    def f(x, y):
        a = math.atan2(-(y - cy), x - cx) % (2 * math.pi)
        lo, hi = a0 % (2 * math.pi), a1 % (2 * math.pi)
        within = lo <= a <= hi if lo <= hi else (a >= lo or a <= hi)
        if within:
            return abs(math.hypot(x - cx, y - cy) - r) - w / 2
        ends = [(cx + r * math.cos(t), cy - r * math.sin(t)) for t in (a0, a1)]
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - w / 2

    return f


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def cut(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def shell(s, w):
    return lambda x, y: abs(s(x, y)) - w / 2


def gear(cx, cy, r_out, r_in, teeth, hole):
    def f(x, y):
        dx, dy = x - cx, y - cy
        a = math.atan2(dy, dx)
        rr = math.hypot(dx, dy)
        # Square-ish teeth: the rim radius switches with the angle sector.
        t = (a * teeth / (2 * math.pi)) % 1.0
        rim = r_out if 0.25 < t < 0.75 else r_in
        body = rr - rim
        return max(body, hole - rr)

    return f


# ---------------------------------------------------------------- pixel font
# 5 x 7 glyphs for the format labels; drawn on the pixel grid so they stay crisp.
FONT = {
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "11011", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "G": ["01111", "10000", "10000", "10011", "10001", "10001", "01111"],
}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.k = 48.0 / size  # units per pixel
        self.px = [[(0.0, 0.0, 0.0, 0.0) for _ in range(size)] for _ in range(size)]

    def fill(self, shape, color, alpha=1.0):
        k = self.k
        for j in range(self.size):
            y = (j + 0.5) * k
            row = self.px[j]
            for i in range(self.size):
                d = shape((i + 0.5) * k, y) / k  # distance in pixels
                cov = 0.5 - d
                if cov <= 0.0:
                    continue
                a = min(cov, 1.0) * alpha
                self._over(row, i, color, a)

    def stroke(self, shape, color, w):
        """Outline of a filled shape, at least one pixel wide whatever the size."""
        self.fill(shell(shape, max(w, self.k * 1.0)), color)

    def text(self, s, cx, cy, color):
        """Pixel-font text centred on (cx, cy) units; skipped below 24 pixels."""
        if self.size < 24:
            return
        scale = 2 if self.size >= 44 else 1
        w = (len(s) * 6 - 1) * scale
        h = 7 * scale
        x0 = int(round(cx / self.k - w / 2))
        y0 = int(round(cy / self.k - h / 2))
        for n, ch in enumerate(s):
            for r, bits in enumerate(FONT[ch]):
                for c, b in enumerate(bits):
                    if b != "1":
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            x = x0 + (n * 6 + c) * scale + dx
                            y = y0 + r * scale + dy
                            if 0 <= x < self.size and 0 <= y < self.size:
                                self._over(self.px[y], x, color, 1.0)

    @staticmethod
    def _over(row, i, color, a):
        r, g, b, da = row[i]
        out = a + da * (1 - a)
        if out <= 0:
            return
        f = lambda s, d: (s * a + d * da * (1 - a)) / out
        row[i] = (f(color[0], r), f(color[1], g), f(color[2], b), out)

    def rgba(self):
        return [[tuple(int(round(v)) for v in p[:3]) + (int(round(p[3] * 255)),) for p in row]
                for row in self.px]


# ---------------------------------------------------------------- drawings


def disc(c, cx, cy, r):
    c.fill(circle(cx, cy, r), SILVER)
    c.fill(arc(cx, cy, r * 0.62, r * 0.16, 100, 170), WHITE, 0.9)
    c.fill(arc(cx, cy, r * 0.62, r * 0.16, 280, 350), BLUE_LIGHT, 0.8)
    c.fill(circle(cx, cy, r * 0.34), SILVER_DARK)
    c.fill(circle(cx, cy, r * 0.16), PAPER)
    c.stroke(circle(cx, cy, r), INK, 2.0)
    c.stroke(circle(cx, cy, r * 0.16), INK, 1.2)


def note(c, x, y, s, color):
    """Beamed eighth-note pair, (x, y) top left, s the height in units."""
    head = s * 0.2
    c.fill(segment(x + s * 0.36, y + s * 0.15, x + s * 0.36, y + s * 0.82, s * 0.11), color)
    c.fill(segment(x + s * 0.9, y + s * 0.02, x + s * 0.9, y + s * 0.7, s * 0.11), color)
    c.fill(polygon((x + s * 0.31, y + s * 0.1), (x + s * 0.95, y - s * 0.06),
                   (x + s * 0.95, y + s * 0.16), (x + s * 0.31, y + s * 0.32)), color)
    c.fill(circle(x + s * 0.22, y + s * 0.82, head), color)
    c.fill(circle(x + s * 0.76, y + s * 0.7, head), color)


def arrow(ax, ay, bx, by, w, head):
    """Arrow from (ax, ay) to the tip (bx, by): shaft width w, head length and width head."""
    ln = math.hypot(bx - ax, by - ay)
    ux, uy = (bx - ax) / ln, (by - ay) / ln
    nx, ny = -uy, ux
    hx, hy = bx - ux * head * 0.9, by - uy * head * 0.9
    return polygon((ax + nx * w / 2, ay + ny * w / 2), (hx + nx * w / 2, hy + ny * w / 2),
                   (hx + nx * head / 2, hy + ny * head / 2), (bx, by),
                   (hx - nx * head / 2, hy - ny * head / 2), (hx - nx * w / 2, hy - ny * w / 2),
                   (ax - nx * w / 2, ay - ny * w / 2))


def arrow_down(c, cx, top, bottom, w, color, outline=INK):
    head = w * 1.9
    shape = union(
        box(cx - w / 2, top, cx + w / 2, bottom - head * 0.8, w * 0.15),
        polygon((cx - head, bottom - head), (cx + head, bottom - head), (cx, bottom)))
    c.fill(shape, color)
    c.stroke(shape, outline, 1.6)


def icon_app(c):
    disc(c, 22, 24, 20)
    c.fill(circle(35, 35, 12), BLUE)
    c.stroke(circle(35, 35, 12), BLUE_DARK, 1.6)
    note(c, 28, 27, 14, WHITE)


def icon_refresh(c):
    disc(c, 24, 24, 11)
    ring = arc(24, 24, 17, 5, 20, 160)
    ring2 = arc(24, 24, 17, 5, 200, 340)
    heads = union(polygon((32, 4), (42, 15), (29, 17)), polygon((16, 44), (6, 33), (19, 31)))
    c.fill(union(ring, ring2, heads), GREEN)
    c.stroke(union(ring, ring2, heads), GREEN_DARK, 1.4)


def icon_log(c):
    page = box(8, 3, 40, 45, 3)
    c.fill(page, PAPER)
    c.stroke(page, INK, 2.0)
    for n, col in enumerate((GREEN, GREEN, YELLOW, RED, GREEN)):
        y = 10 + n * 7.2
        c.fill(box(12, y, 17, y + 4.2, 1), col)
        c.fill(box(20, y + 0.6, 36 - (n % 2) * 5, y + 3.6, 1), SILVER_DARK)


def icon_edit(c):
    disc(c, 20, 20, 17)
    body = polygon((44, 14), (48, 18), (24, 42), (20, 38))
    tip = polygon((20, 38), (24, 42), (16, 46))
    c.fill(body, ORANGE)
    c.fill(polygon((44, 14), (48, 18), (45, 21), (41, 17)), RED)
    c.fill(tip, PAPER)
    c.fill(polygon((16.5, 45.5), (18.5, 42.2), (19.8, 43.6)), INK)
    c.stroke(union(body, tip), INK, 1.6)


def format_tile(c, label, color, dark):
    tile = box(4, 4, 44, 44, 7)
    c.fill(tile, color)
    c.stroke(tile, dark, 2.0)
    if c.size < 24:
        note(c, 12, 14, 22, WHITE)
        return
    note(c, 15, 9, 17, WHITE)
    c.text(label, 24, 35, WHITE)


def icon_mp3(c):
    format_tile(c, "MP3", BLUE, BLUE_DARK)


def icon_wav(c):
    format_tile(c, "WAV", GREEN, GREEN_DARK)


def icon_ogg(c):
    format_tile(c, "OGG", PURPLE, (70, 30, 110))


def icon_rip(c):
    disc(c, 17, 17, 15)
    page = box(24, 22, 45, 46, 2.5)
    c.fill(page, PAPER)
    c.stroke(page, INK, 1.8)
    note(c, 31, 30, 12, BLUE)
    a = arrow(14, 14, 31, 31, 5.5, 12)
    c.fill(a, RED)
    c.stroke(a, (120, 20, 20), 1.4)


def icon_options(c):
    g = gear(24, 24, 20, 15, 8, 6.5)
    c.fill(g, SILVER_DARK)
    c.stroke(g, INK, 2.0)
    c.fill(circle(24, 24, 10), SILVER)
    c.stroke(circle(24, 24, 6.5), INK, 1.6)


def icon_download(c):
    tray = polygon((5, 30), (12, 30), (12, 37), (36, 37), (36, 30), (43, 30), (43, 44), (5, 44))
    c.fill(tray, SILVER_DARK)
    c.stroke(tray, INK, 1.8)
    arrow_down(c, 24, 3, 35, 9, GREEN, GREEN_DARK)


def round_badge(c, color, dark):
    c.fill(circle(24, 24, 21), color)
    c.stroke(circle(24, 24, 21), dark, 2.0)


def icon_help(c):
    round_badge(c, BLUE, BLUE_DARK)
    c.fill(arc(24, 18, 7.5, 5, -60, 180), WHITE)
    c.fill(segment(27.8, 24.4, 24, 28, 5), WHITE)
    c.fill(segment(24, 28, 24, 30, 5), WHITE)
    c.fill(circle(24, 37, 3.1), WHITE)


def icon_about(c):
    round_badge(c, BLUE, BLUE_DARK)
    c.fill(circle(24, 13.5, 3.4), WHITE)
    c.fill(box(20.5, 20, 27.5, 37, 1.5), WHITE)
    c.fill(box(18, 34, 30, 38, 1.2), WHITE)


def icon_tip(c):
    bulb = union(circle(24, 18, 14), polygon((15, 26), (33, 26), (29, 36), (19, 36)))
    c.fill(bulb, YELLOW)
    c.fill(circle(19, 13, 4.5), WHITE, 0.7)
    c.stroke(bulb, ORANGE_DARK, 1.8)
    c.fill(box(18, 36, 30, 40.5, 1.2), SILVER_DARK)
    c.fill(box(19.5, 41, 28.5, 45, 1.5), SILVER_DARK)
    c.stroke(union(box(18, 36, 30, 40.5, 1.2), box(19.5, 41, 28.5, 45, 1.5)), INK, 1.4)


def player_button(c):
    c.fill(circle(24, 24, 22), BLUE)
    c.fill(circle(24, 21, 17), BLUE_LIGHT, 0.35)
    c.stroke(circle(24, 24, 22), BLUE_DARK, 2.0)


def icon_previous(c):
    player_button(c)
    c.fill(union(box(13, 14, 17.5, 34), polygon((35, 14), (35, 34), (18, 24))), WHITE)


def icon_play(c):
    player_button(c)
    c.fill(polygon((18, 12.5), (18, 35.5), (37, 24)), WHITE)


def icon_pause(c):
    player_button(c)
    c.fill(union(box(15, 14, 21, 34, 1), box(27, 14, 33, 34, 1)), WHITE)


def icon_stop(c):
    player_button(c)
    c.fill(box(15, 15, 33, 33, 1.5), WHITE)


def icon_next(c):
    player_button(c)
    c.fill(union(box(30.5, 14, 35, 34), polygon((13, 14), (13, 34), (30, 24))), WHITE)


def icon_eject(c):
    player_button(c)
    c.fill(union(polygon((24, 11), (36, 25), (12, 25)), box(12, 29, 36, 34, 1)), WHITE)


# File name stem -> drawing. The resource script maps the stems to resource ids.
ICONS = [
    ("app", icon_app),
    ("refresh", icon_refresh),
    ("viewlog", icon_log),
    ("editcd", icon_edit),
    ("format_mp3", icon_mp3),
    ("rip", icon_rip),
    ("options", icon_options),
    ("download", icon_download),
    ("help", icon_help),
    ("about", icon_about),
    ("tip", icon_tip),
    ("format_wav", icon_wav),
    ("format_ogg", icon_ogg),
    ("previous", icon_previous),
    ("play", icon_play),
    ("pause", icon_pause),
    ("stop", icon_stop),
    ("next", icon_next),
    ("eject", icon_eject),
]

# ---------------------------------------------------------------- file writers


def ico_bytes(images):
    """images: list of (size, rgba rows). Writes BMP-style entries with an AND mask."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for size, rows in images:
        bih = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
        stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(rows):
            bits = bytearray(stride)
            for i, p in enumerate(row):
                if p[3] == 0:
                    bits[i // 8] |= 0x80 >> (i % 8)
            mask += bytes(bits)
        blob = bih + xor + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return header + entries + blobs


def png_bytes(width, height, rows):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(
            ">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def contact_sheet(rendered, path):
    """Every icon at every size, drawn twice as large, on light and dark backgrounds."""
    zoom, cell = 2, 52
    cols = len(rendered)
    width = cols * cell * zoom
    height = 2 * len(SIZES) * cell * zoom
    sheet = [[(236, 236, 236, 255)] * width for _ in range(height)]
    for band, bg in enumerate(((236, 236, 236), (48, 48, 52))):
        for si, size in enumerate(SIZES):
            top = (band * len(SIZES) + si) * cell * zoom
            for y in range(cell * zoom):
                sheet[top + y] = [bg + (255,)] * width if True else None
            for n, (_, images) in enumerate(rendered):
                rows = images[size]
                for y in range(size * zoom):
                    for x in range(size * zoom):
                        p = rows[y // zoom][x // zoom]
                        a = p[3] / 255
                        px = tuple(int(p[k] * a + bg[k] * (1 - a)) for k in range(3)) + (255,)
                        sheet[top + y + 4][n * cell * zoom + x + 4] = px
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, sheet))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(os.path.dirname(here), "icons")
    os.makedirs(out, exist_ok=True)
    rendered = []
    for stem, draw in ICONS:
        images = {}
        for size in SIZES:
            c = Canvas(size)
            draw(c)
            images[size] = c.rgba()
        with open(os.path.join(out, stem + ".ico"), "wb") as f:
            f.write(ico_bytes([(s, images[s]) for s in SIZES]))
        rendered.append((stem, images))
    if "--sheet" in sys.argv:
        contact_sheet(rendered, sys.argv[sys.argv.index("--sheet") + 1])


if __name__ == "__main__":
    main()
