#!/usr/bin/env python3
"""Draws the installer's pictures and writes them as PNG files.

Usage: make_skins.py RESOURCES_DIR

Writes RESOURCES_DIR/pictures/<name>.png, the program's own picture for every entry of
RESOURCES_DIR/pictures.json (each of the table's size, stored as compactly as the PNG format allows:
a palette where the picture has few colours, the row filters that compress best), and
RESOURCES_DIR/product/<name>.png, the shipped product's skin pictures (8-bit RGBA, as the product
format asks).

Every picture is computed from shapes given by signed distance functions (anti-aliased edges
from the distance to the outline), so running the script again gives the same bytes.
"""
import json
import math
import os
import struct
import sys
import zlib


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def rgb(hexcolour):
    return ((hexcolour >> 16) & 255, (hexcolour >> 8) & 255, hexcolour & 255)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0:
            return
        p = self.px[y * self.w + x]
        out_a = alpha + p[3] * (1 - alpha)
        for i in range(3):
            p[i] = (colour[i] * alpha + p[i] * p[3] * (1 - alpha)) / out_a if out_a else 0
        p[3] = out_a

    def shape(self, sdf, paint, box=None):
        """Fills the area where sdf(x, y) < 0; paint(x, y) gives the colour at a pixel centre."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                cx, cy = x + 0.5, y + 0.5
                cover = clamp(0.5 - sdf(cx, cy))
                if cover > 0:
                    colour = paint(cx, cy)
                    a = colour[3] / 255 if len(colour) == 4 else 1.0
                    self.blend(x, y, colour[:3], cover * a)

    def rgba(self):
        """The pixels as (r, g, b, a) bytes; fully transparent ones all alike."""
        out = []
        for r, g, b, a in self.px:
            a = round(clamp(a) * 255)
            out.append((round(r), round(g), round(b), a) if a else (0, 0, 0, 0))
        return out

    def png(self):
        """8-bit RGBA, no row filter."""
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                raw += bytes((round(r), round(g), round(b), round(clamp(a) * 255)))
        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return png_file(header, b"", zlib.compress(bytes(raw), 9))

    def compact_png(self):
        """The smallest of: 8-bit RGBA, or a palette (with a transparency chunk when needed) for a
        picture of at most 256 colours; each with the row filter choice that compresses best."""
        pixels = self.rgba()
        rows = [b"".join(bytes(p) for p in pixels[y * self.w:(y + 1) * self.w]) for y in range(self.h)]
        candidates = [png_file(struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0), b"", best_idat(rows, 4))]
        colours = sorted(set(pixels), key=lambda p: (p[3] == 255, p))  # translucent entries first
        if len(colours) <= 256:
            index = {p: i for i, p in enumerate(colours)}
            rows = [bytes(index[p] for p in pixels[y * self.w:(y + 1) * self.w]) for y in range(self.h)]
            alphas = bytes(p[3] for p in colours if p[3] != 255)
            extra = chunk(b"PLTE", b"".join(bytes(p[:3]) for p in colours)) + (chunk(b"tRNS", alphas) if alphas else b"")
            candidates.append(png_file(struct.pack(">IIBBBBB", self.w, self.h, 8, 3, 0, 0, 0), extra, best_idat(rows, 1)))
        return min(candidates, key=len)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_file(header, extra, idat):
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(row, prev, bpp):
    """The row under each of the five PNG filters."""
    left = bytes(bpp) + row[:-bpp]
    upleft = bytes(bpp) + prev[:-bpp]
    return [row,
            bytes((x - l) & 255 for x, l in zip(row, left)),
            bytes((x - u) & 255 for x, u in zip(row, prev)),
            bytes((x - ((l + u) >> 1)) & 255 for x, l, u in zip(row, left, prev)),
            bytes((x - paeth(l, u, c)) & 255 for x, l, u, c in zip(row, left, prev, upleft))]


def best_idat(rows, bpp):
    """The compressed image data: one filter for every row, or per row the filter with the
    smallest sum of absolute differences, whichever compresses smallest."""
    prev = bytes(len(rows[0]))
    options = []
    for row in rows:
        options.append(filtered(row, prev, bpp))
        prev = row
    def cost(data):
        return sum(v if v < 128 else 256 - v for v in data)
    strategies = [[k] * len(rows) for k in range(5)]
    strategies.append([min(range(5), key=lambda k: cost(o[k])) for o in options])
    streams = (b"".join(bytes([k]) + o[k] for k, o in zip(ks, options)) for ks in strategies)
    return min((zlib.compress(raw, 9) for raw in streams), key=len)


# ---- distance functions (negative inside)

def rounded_box(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - r
    return sdf


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def capsule(ax, ay, bx, by, r):
    def sdf(x, y):
        px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
        t = clamp((px * dx + py * dy) / (dx * dx + dy * dy))
        return math.hypot(px - dx * t, py - dy * t) - r
    return sdf


def union(*sdfs):
    return lambda x, y: min(f(x, y) for f in sdfs)


def ring_arc(cx, cy, radius, width, start_deg, end_deg):
    """A ring of the given width between two angles (degrees, clockwise from 12 o'clock)."""
    a0, a1 = math.radians(start_deg), math.radians(end_deg)
    ends = [(cx + radius * math.sin(a), cy - radius * math.cos(a)) for a in (a0, a1)]
    def sdf(x, y):
        ang = (math.atan2(x - cx, -(y - cy)) - a0) % (2 * math.pi)
        if ang <= a1 - a0:
            return abs(math.hypot(x - cx, y - cy) - radius) - width / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2
    return sdf


def solid(colour, alpha=255):
    c = rgb(colour) + (alpha,)
    return lambda x, y: c


def vertical(top, bottom, y0, y1):
    a, b = rgb(top), rgb(bottom)
    return lambda x, y: mix(a, b, clamp((y - y0) / max(1, y1 - y0))) + (255,)


# ---- pictures

BLUE = 0x0F87FF


def background(glow_strength):
    c = Canvas(620, 420)
    top, bottom = rgb(0x0B5FD0), rgb(0x2E96FA)
    for y in range(420):
        colour = mix(top, bottom, y / 259) if y < 260 else (255, 255, 255)
        for x in range(620):
            # A soft light from the upper right keeps the flat gradient from looking dull.
            glow = glow_strength * clamp(1 - math.hypot(x - 560, y + 40) / 420) if y < 260 else 0
            p = c.px[y * 620 + x]
            p[0:4] = [colour[0] + (255 - colour[0]) * glow, colour[1] + (255 - colour[1]) * glow,
                      colour[2] + (255 - colour[2]) * glow, 1.0]
    return c


def logo(size):
    c = Canvas(size, size)
    s = size / 96
    c.shape(rounded_box(2 * s, 2 * s, 94 * s, 94 * s, 22 * s), vertical(0xFFFFFF, 0xE4F0FF, 0, size))
    arrow = union(capsule(48 * s, 22 * s, 48 * s, 56 * s, 6 * s), capsule(48 * s, 60 * s, 33 * s, 45 * s, 6 * s),
                  capsule(48 * s, 60 * s, 63 * s, 45 * s, 6 * s))
    tray = union(capsule(24 * s, 62 * s, 24 * s, 72 * s, 5 * s), capsule(24 * s, 72 * s, 72 * s, 72 * s, 5 * s),
                 capsule(72 * s, 72 * s, 72 * s, 62 * s, 5 * s))
    c.shape(union(arrow, tray), vertical(0x2E96FA, 0x0B5FD0, 20 * s, 78 * s))
    return c


def rounded_button(w, h, r, fill, border=None, alpha=255):
    c = Canvas(w, h)
    c.shape(rounded_box(0, 0, w, h, r), fill)
    if border is not None:
        outer, inner = rounded_box(0, 0, w, h, r), rounded_box(1, 1, w - 1, h - 1, max(0, r - 1))
        c.shape(lambda x, y: max(outer(x, y), -inner(x, y)), solid(border, alpha))
    return c


def cross(c, x0, colour, background=None):
    if background is not None:
        c.shape(lambda x, y: -1, solid(background), (x0, 0, x0 + 40, 28))
    cx, cy, d = x0 + 20, 14, 5.5
    c.shape(union(capsule(cx - d, cy - d, cx + d, cy + d, 0.9), capsule(cx - d, cy + d, cx + d, cy - d, 0.9)),
            solid(colour), (x0, 0, x0 + 40, 28))


def close_strip():
    c = Canvas(160, 28)
    cross(c, 0, 0x8A8A8A)
    cross(c, 40, 0xFFFFFF, 0xE81123)
    cross(c, 80, 0xFFFFFF, 0xB40E1B)
    cross(c, 120, 0x333333)
    return c


def close_button():
    c = Canvas(40, 28)
    cross(c, 0, 0x8A8A8A)
    return c


def round_icon(draw_glyph):
    c = Canvas(40, 40)
    c.shape(circle(20, 20, 19), vertical(0x3AA0FF, 0x0F7AE8, 1, 39))
    draw_glyph(c)
    return c


def warn_glyph(c):
    c.shape(union(capsule(20, 10, 20, 23, 2.6), circle(20, 30, 2.8)), solid(0xFFFFFF))


def question_glyph(c):
    c.shape(union(ring_arc(20, 15.5, 6, 4.4, 285, 360 + 165), capsule(21.3, 21.6, 20, 24, 2.2),
                  circle(20, 30.5, 2.8)), solid(0xFFFFFF))


def success_icon():
    c = Canvas(36, 36)
    c.shape(circle(18, 18, 17), vertical(0x3CCB6B, 0x1FA653, 1, 35))
    c.shape(union(capsule(10, 18.5, 15.5, 24, 2.2), capsule(15.5, 24, 26, 12.5, 2.2)), solid(0xFFFFFF))
    return c


def chevron(up):
    c = Canvas(18, 18)
    y0, y1 = (11, 6.5) if up else (6.5, 11)
    c.shape(union(capsule(4.5, y0, 9, y1, 1.1), capsule(9, y1, 13.5, y0, 1.1)), solid(0x444444))
    return c


def filled(w, h, colour):
    c = Canvas(w, h)
    c.shape(lambda x, y: -1, solid(colour))
    return c


def dialog_background():
    c = Canvas(442, 194)
    c.shape(lambda x, y: -1, solid(0xFFFFFF))
    c.shape(lambda x, y: -1, solid(0xF2F3F5), (0, 0, 442, 28))
    c.shape(lambda x, y: -1, solid(0xE1E3E6), (0, 28, 442, 29))
    border = rounded_box(0, 0, 442, 194, 0)
    c.shape(lambda x, y: max(border(x, y), -rounded_box(1, 1, 441, 193, 0)(x, y)), solid(0xC4C7CC))
    return c


def pictures(product):
    """Every picture of the windows. The product's background has a soft light; the program's own
    is the plain gradient, which stores in a fraction of the bytes."""
    blue = vertical(0x2C95FF, 0x0F78EE, 0, 48)
    yield "bgpic", background(0.10 if product else 0)
    yield "logo", logo(96)
    yield "minilogo", logo(20)
    yield "btninst01", rounded_button(200, 48, 6, blue)
    yield "btninst02", rounded_button(200, 48, 6, vertical(0x4CA8FF, 0x2A8CF6, 0, 48))
    yield "btninst03", rounded_button(200, 48, 6, vertical(0x0E6DDA, 0x0A5CC0, 0, 48))
    yield "msgbox", dialog_background()
    yield "icon_warn", round_icon(warn_glyph)
    yield "icon_ques", round_icon(question_glyph)
    yield "btn_msg_normal", rounded_button(100, 30, 3, solid(BLUE))
    yield "btn_msg_over", rounded_button(200, 48, 4, solid(0x45A2FF), BLUE)
    yield "btn_msg_down", rounded_button(100, 30, 3, solid(0x0A6BD0))
    yield "btn_empty_normal", rounded_button(100, 30, 3, solid(0xFFFFFF), BLUE)
    yield "btn_empty_over", rounded_button(100, 30, 3, solid(0xDDEEFF), BLUE)
    yield "btn_empty_down", rounded_button(100, 30, 3, solid(BLUE))
    if product:
        return
    yield "closebtn", close_button()
    yield "closestrip", close_strip()
    yield "edgeline", filled(9, 9, 0xD5D8DC)
    yield "bottomline", filled(90, 27, 0xD5D8DC)
    yield "sepline", filled(800, 8, 0xE8EAED)
    yield "arrowdown", chevron(False)
    yield "arrowup", chevron(True)
    yield "success", success_icon()
    yield "btnchange01", rounded_button(77, 26, 4, solid(0xFFFFFF), 0xC9CDD2)
    yield "btnchange02", rounded_button(77, 26, 4, solid(0xF3F9FF), BLUE)
    yield "btnchange03", rounded_button(77, 26, 4, solid(0xE1EFFF), 0x0A6BD0)


def picture_table(path):
    """{name: (width, height)} of the table of pictures."""
    with open(path, encoding="utf-8") as f:
        return {p["name"]: (p["width"], p["height"]) for p in json.load(f)["pictures"]}


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_skins.py RESOURCES_DIR")
    resources = sys.argv[1]
    table = picture_table(os.path.join(resources, "pictures.json"))
    for folder, product in (("pictures", False), ("product", True)):
        os.makedirs(os.path.join(resources, folder), exist_ok=True)
        for name, canvas in pictures(product):
            if table.get(name) != (canvas.w, canvas.h):
                sys.exit(f"{name} is {canvas.w} x {canvas.h}, the table of pictures says {table.get(name)}")
            with open(os.path.join(resources, folder, name + ".png"), "wb") as f:
                f.write(canvas.png() if product else canvas.compact_png())
    missing = set(table) - {name for name, _ in pictures(False)}
    if missing:
        sys.exit(f"no drawing for {sorted(missing)}")


if __name__ == "__main__":
    main()
