#!/usr/bin/env python3
"""Draws the program's pictures (PNG with alpha) and its icon, reproducibly, with nothing but
the standard library: shapes are signed-distance functions, anti-aliased by their distance.

Usage: make-art.py [DATA_FOLDER [ART_FOLDER]]
  writes DATA_FOLDER/res/*.png and DATA_FOLDER/res/images/*.png (installed beside the program),
  and ART_FOLDER/Quillmoor.ico and ART_FOLDER/splash-small.png (built into the executables).
  Defaults: data and art.
"""
import math
import os
import struct
import sys
import zlib


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


class Canvas:
    """Premultiplied RGBA floats, composited with 'over'."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def paint(self, sdf, color, bbox=None, soft=1.0, opacity=1.0):
        """Fills where sdf(x, y) < 0; `soft` widens the edge (pixels) for glows and shadows."""
        x0, y0, x1, y1 = bbox or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            row = y * self.w
            for x in range(x0, x1):
                d = sdf(x + 0.5, y + 0.5)
                cov = clamp(0.5 - d / soft) * opacity
                if cov <= 0.0:
                    continue
                c = color(x + 0.5, y + 0.5) if callable(color) else color
                a = c[3] * cov
                p = self.px[row + x]
                k = 1.0 - a
                p[0] = c[0] * a + p[0] * k
                p[1] = c[1] * a + p[1] * k
                p[2] = c[2] * a + p[2] * k
                p[3] = a + p[3] * k

    def png(self):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                raw += bytes(int(round(clamp(v) * 255)) for v in (r, g, b, a))
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))

    def bgra_rows_bottom_up(self):
        out = bytearray()
        for y in reversed(range(self.h)):
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                out += bytes(int(round(clamp(v) * 255)) for v in (b, g, r, a))
        return bytes(out)


# --- shapes ---------------------------------------------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def rounded_rect(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return f


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def hexcolor(h, alpha=1.0):
    return (int(h[0:2], 16) / 255, int(h[2:4], 16) / 255, int(h[4:6], 16) / 255, alpha)


def vgradient(top, bottom, y0, y1):
    def f(x, y):
        t = clamp((y - y0) / max(1e-6, y1 - y0))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(4))
    return f


def radial(inner, outer, cx, cy, r):
    def f(x, y):
        t = clamp(math.hypot(x - cx, y - cy) / r)
        return tuple(inner[i] + (outer[i] - inner[i]) * t for i in range(4))
    return f


# --- motifs ---------------------------------------------------------------------------------

def cookie(cv, cx, cy, r, shadow=True):
    """A round biscuit with chocolate chips and a bite taken out at the upper right."""
    bite = union(circle(cx + r * 0.78, cy - r * 0.62, r * 0.34), circle(cx + r * 0.98, cy - r * 0.18, r * 0.26))
    body = minus(circle(cx, cy, r), bite)
    box = (cx - r - 4, cy - r - 4, cx + r + 6, cy + r + 8)
    if shadow:
        cv.paint(lambda x, y: body(x - r * 0.06, y - r * 0.1), (0.15, 0.08, 0.02, 0.45), box, soft=max(1.5, r * 0.12))
    cv.paint(body, radial(hexcolor("f2c27a"), hexcolor("c98a3e"), cx - r * 0.3, cy - r * 0.35, r * 1.5), box)
    cv.paint(minus(ring(cx, cy, r * 0.93, max(1.0, r * 0.08)), bite), hexcolor("a86a2a", 0.55), box)
    chips = [(-0.42, -0.2, 0.14), (0.05, -0.45, 0.11), (0.35, 0.2, 0.15), (-0.15, 0.38, 0.12),
             (-0.5, 0.32, 0.09), (0.02, 0.02, 0.1), (0.48, -0.05, 0.08)]
    for dx, dy, s in chips:
        chip = intersect(circle(cx + dx * r, cy + dy * r, s * r), body)
        cv.paint(chip, hexcolor("5a3015"), box)
        cv.paint(intersect(circle(cx + dx * r - s * r * 0.3, cy + dy * r - s * r * 0.35, s * r * 0.35), chip),
                 hexcolor("8a5a35", 0.8), box)


def sparkle(cv, cx, cy, r, color):
    def star(x, y):
        dx, dy = abs(x - cx), abs(y - cy)
        # a four-pointed star: thin where both offsets are large
        return min(dx * 0.22 + dy, dy * 0.22 + dx) - r * 0.22
    cv.paint(star, color, (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2))


def globe(cv, cx, cy, r, light, dark, swirl):
    box = (cx - r - 3, cy - r - 3, cx + r + 4, cy + r + 5)
    ball = circle(cx, cy, r)
    cv.paint(lambda x, y: ball(x - 0.8, y - 1.2), (0, 0, 0, 0.35), box, soft=1.8)
    cv.paint(ball, radial(light, dark, cx - r * 0.35, cy - r * 0.4, r * 1.6), box)
    # meridians and parallels
    for k in (-0.5, 0.0, 0.5):
        cv.paint(intersect(lambda x, y, k=k: abs(y - (cy + k * r)) - 0.6, ball), (1, 1, 1, 0.35), box)
    cv.paint(intersect(lambda x, y: abs(math.hypot((x - cx) / 0.45, y - cy) - r) * 0.45 - 0.6, ball), (1, 1, 1, 0.35), box)
    cv.paint(intersect(lambda x, y: abs(x - cx) - 0.6, ball), (1, 1, 1, 0.35), box)
    # an orbit swoosh that marks the browser
    orbit = lambda x, y: abs(math.hypot((x - cx) * 0.55 + (y - cy) * 0.35, (y - cy) * 1.2 - (x - cx) * 0.25) - r * 0.62) - r * 0.09
    cv.paint(orbit, swirl, box)
    cv.paint(minus(ring(cx, cy, r - 0.5, 1.0), circle(cx - r, cy - r, r * 1.2)), (0, 0, 0, 0.25), box)


def banner(cv, title_shift=0):
    w, h = cv.w, cv.h
    cv.paint(lambda x, y: -1, vgradient(hexcolor("2f5d8a"), hexcolor("17324f"), 0, h))
    # soft light bands
    for i, (k, a) in enumerate(((0.55, 0.10), (0.85, 0.07), (1.2, 0.05))):
        cv.paint(lambda x, y, k=k: y - (h * 0.15 + math.sin(x / w * math.pi * 1.4 + i) * h * 0.25 + k * h * 0.3),
                 (1, 1, 1, a), soft=6)
    cv.paint(lambda x, y: (h - 1.5) - y, (1, 1, 1, 0.25))
    cookie(cv, 42 + title_shift, h / 2 + 1, 24)
    for sx, sy, sr in ((78, 14, 6), (88, 30, 3.5), (w - 40, 18, 5), (w - 70, 44, 3), (w - 24, 40, 3.5)):
        sparkle(cv, sx + (0 if sx > w / 2 else title_shift), sy, sr, (1, 1, 0.9, 0.9))


def splash(w, h):
    cv = Canvas(w, h)
    m = 14
    card = rounded_rect(m, m, w - m, h - m, 22)
    cv.paint(lambda x, y: card(x - 3, y - 6), (0, 0, 0, 0.5), soft=12)
    cv.paint(card, vgradient(hexcolor("3b6f9f"), hexcolor("132a42"), m, h - m))
    glow = circle(w * 0.5, h * 0.42, min(w, h) * 0.34)
    cv.paint(intersect(glow, card), (1, 0.95, 0.8, 0.18), soft=min(w, h) * 0.18)
    cv.paint(minus(ring(w / 2, h / 2, 0, 0), card), (0, 0, 0, 0))
    cv.paint(intersect(lambda x, y: abs(card(x, y) + 1.5) - 0.8, card), (1, 1, 1, 0.35))
    cookie(cv, w * 0.5, h * 0.44, min(w, h) * 0.24)
    for sx, sy, sr in ((0.27, 0.25, 0.05), (0.74, 0.3, 0.04), (0.7, 0.66, 0.06), (0.3, 0.7, 0.035), (0.82, 0.5, 0.025)):
        sparkle(cv, w * sx, h * sy, min(w, h) * sr, (1, 1, 0.92, 0.95))
    # a broom-like sweep under the cookie
    sweep = lambda x, y: abs(y - (h * 0.8 - math.sin((x - w * 0.25) / (w * 0.5) * math.pi) * h * 0.05)) - h * 0.012
    cv.paint(intersect(sweep, lambda x, y: max(w * 0.25 - x, x - w * 0.75)), (1, 1, 1, 0.55), soft=2)
    return cv


def title(size):
    cv = Canvas(size, size)
    cookie(cv, size * 0.46, size * 0.54, size * 0.4)
    sparkle(cv, size * 0.84, size * 0.17, size * 0.13, hexcolor("ffd34d"))
    sparkle(cv, size * 0.7, size * 0.05 + 2, size * 0.06, hexcolor("ffe79a"))
    return cv


def ico(canvases):
    header = struct.pack("<HHH", 0, 1, len(canvases))
    entries, images = b"", b""
    offset = 6 + 16 * len(canvases)
    for cv in canvases:
        xor = cv.bgra_rows_bottom_up()
        mask_row = ((cv.w + 31) // 32) * 4
        mask = bytearray(mask_row * cv.h)
        for y in range(cv.h):  # opaque where alpha is zero in the AND mask: 1 = transparent
            for x in range(cv.w):
                if cv.px[(cv.h - 1 - y) * cv.w + x][3] < 0.5 / 255:
                    mask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
        bih = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        data = bih + xor + bytes(mask)
        entries += struct.pack("<BBBBHHII", cv.w % 256, cv.h % 256, 0, 0, 1, 32, len(data), offset)
        images += data
        offset += len(data)
    return header + entries + images


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "data"
    os.makedirs(os.path.join(out, "res", "images"), exist_ok=True)
    def save(rel, cv):
        with open(os.path.join(out, rel), "wb") as f:
            f.write(cv.png())
    save("res/title.png", title(64))
    ie = Canvas(36, 36)
    globe(ie, 17.5, 17.5, 15, hexcolor("8fd0ff"), hexcolor("1f5fb8"), hexcolor("ffd34d"))
    save("res/ie.png", ie)
    ff = Canvas(36, 36)
    globe(ff, 17.5, 17.5, 15, hexcolor("ffcf7a"), hexcolor("d2531c"), hexcolor("7a2da8"))
    save("res/ff.png", ff)
    chromium = Canvas(36, 36)
    globe(chromium, 17.5, 17.5, 15, hexcolor("9be59b"), hexcolor("1e8e3e"), hexcolor("e8453c"))
    save("res/chrome.png", chromium)
    about = Canvas(373, 65)
    banner(about)
    save("res/images/about.png", about)
    update = Canvas(373, 65)
    banner(update, title_shift=4)
    # a download arrow over a tray
    shaft = lambda x, y: max(abs(x - 330) - 4, abs(y - 22) - 10)
    head = lambda x, y: max(abs(x - 330) - (46 - y) * 0.75, 30 - y, y - 46)
    tray = lambda x, y: max(abs(x - 330) - 16, abs(y - 52) - 2)
    update.paint(union(shaft, head, tray), (1, 1, 1, 0.85), (305, 8, 355, 58))
    save("res/images/update.png", update)
    save("res/images/splash.png", splash(400, 300))
    art = sys.argv[2] if len(sys.argv) > 2 else "art"
    os.makedirs(art, exist_ok=True)
    with open(os.path.join(art, "splash-small.png"), "wb") as f:  # stored with the splash window
        f.write(splash(240, 180).png())
    with open(os.path.join(art, "Quillmoor.ico"), "wb") as f:
        f.write(ico([title(s) for s in (16, 32, 48)]))


if __name__ == "__main__":
    main()
