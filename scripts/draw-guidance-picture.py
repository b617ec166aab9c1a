#!/usr/bin/env python3
"""Draws the guidance picture: the PC, the Wi-Fi access point and the Kavelo on one network.

Writes resources/guidance/Kavelo_Info_Image.bmp (536 x 295 pixels, 24 bits per pixel,
uncompressed, BITMAPINFOHEADER without colour table), or the path given as the argument.
Only the standard library is used: shapes are filled as polygons on a canvas three times the
size, which is then averaged down, so edges come out smooth.
"""

import math
import os
import struct
import sys

WIDTH, HEIGHT = 536, 295
SS = 3  # supersampling factor
W, H = WIDTH * SS, HEIGHT * SS

canvas = bytearray(W * H * 3)


def rgb(hex_colour):
    v = int(hex_colour.lstrip("#"), 16)
    return bytes(((v >> 16) & 255, (v >> 8) & 255, v & 255))


def span(y, x0, x1, colour):
    x0 = max(0, int(x0))
    x1 = min(W, int(x1))
    if 0 <= y < H and x1 > x0:
        start = (y * W + x0) * 3
        canvas[start:start + (x1 - x0) * 3] = colour * (x1 - x0)


def polygon(points, colour):
    """Fills a polygon given in picture pixels (even-odd rule, pixel centres)."""
    pts = [(x * SS, y * SS) for x, y in points]
    ys = [p[1] for p in pts]
    c = rgb(colour)
    for y in range(max(0, int(min(ys))), min(H, int(math.ceil(max(ys))) + 1)):
        cy = y + 0.5
        xs = []
        for (x0, y0), (x1, y1) in zip(pts, pts[1:] + pts[:1]):
            if (y0 <= cy < y1) or (y1 <= cy < y0):
                xs.append(x0 + (cy - y0) * (x1 - x0) / (y1 - y0))
        xs.sort()
        for a, b in zip(xs[0::2], xs[1::2]):
            span(y, math.ceil(a - 0.5), math.ceil(b - 0.5), c)


def arc_points(cx, cy, r, a0, a1, steps=24):
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


def circle(cx, cy, r, colour):
    polygon(arc_points(cx, cy, r, 0, 360, 72)[:-1], colour)


def rounded_rect(x0, y0, x1, y1, r, colour):
    pts = (arc_points(x1 - r, y0 + r, r, 270, 360, 8) + arc_points(x1 - r, y1 - r, r, 0, 90, 8) +
           arc_points(x0 + r, y1 - r, r, 90, 180, 8) + arc_points(x0 + r, y0 + r, r, 180, 270, 8))
    polygon(pts, colour)


def line(x0, y0, x1, y1, width, colour, caps=True):
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy) or 1.0
    nx, ny = -dy / length * width / 2, dx / length * width / 2
    polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], colour)
    if caps:
        circle(x0, y0, width / 2, colour)
        circle(x1, y1, width / 2, colour)


def dashed(x0, y0, x1, y1, width, dash, gap, colour):
    length = math.hypot(x1 - x0, y1 - y0)
    t = 0.0
    while t < length:
        e = min(t + dash, length)
        line(x0 + (x1 - x0) * t / length, y0 + (y1 - y0) * t / length,
             x0 + (x1 - x0) * e / length, y0 + (y1 - y0) * e / length, width, colour)
        t += dash + gap


def band(cx, cy, r_in, r_out, a0, a1, colour):
    """A ring sector, the stroke of a Wi-Fi wave."""
    outer = arc_points(cx, cy, r_out, a0, a1)
    inner = arc_points(cx, cy, r_in, a0, a1)[::-1]
    polygon(outer + inner, colour)
    mid = (r_in + r_out) / 2
    for a in (a0, a1):
        circle(cx + mid * math.cos(math.radians(a)), cy + mid * math.sin(math.radians(a)),
               (r_out - r_in) / 2, colour)


def wifi(cx, cy, size, direction, colour):
    """The Wi-Fi sign: a dot and three waves opening towards direction (degrees)."""
    circle(cx, cy, size * 0.12, colour)
    for k in (1, 2, 3):
        r = size * 0.3 * k
        band(cx, cy, r - size * 0.07, r + size * 0.07, direction - 45, direction + 45, colour)


# A 5 x 7 pixel font for the few words the picture needs.
GLYPHS = {
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    "v": ["00000", "00000", "10001", "10001", "10001", "01010", "00100"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110"],
    "o": ["00000", "00000", "01110", "10001", "10001", "10001", "01110"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11100", "10010", "10001", "10001", "10001", "10010", "11100"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    " ": ["00000"] * 7,
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
}


def text(cx, y, words, dot, colour):
    """Writes words centred on cx, top at y, each font pixel dot picture pixels wide."""
    advance = 6 * dot
    x = cx - (len(words) * advance - dot) / 2
    for ch in words:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    px, py = x + col * dot, y + row * dot
                    polygon([(px, py), (px + dot, py), (px + dot, py + dot), (px, py + dot)], colour)
        x += advance


def draw():
    top, bottom = (0xF6, 0xF9, 0xFC), (0xD9, 0xE6, 0xF2)
    for y in range(H):
        t = y / (H - 1)
        span(y, 0, W, bytes(round(a + (b - a) * t) for a, b in zip(top, bottom)))

    # The one network all three share.
    rounded_rect(10, 10, 526, 285, 20, "#9DBEDD")
    rounded_rect(12, 12, 524, 283, 18, "#EEF4FA")
    text(268, 24, "UDP 21105", 4 / 3, "#5B7FA6")

    # Radio links from the access point to both devices.
    dashed(226, 150, 186, 122, 3, 7, 6, "#64A6E8")
    dashed(310, 150, 386, 122, 3, 7, 6, "#64A6E8")
    wifi(202, 112, 22, 200, "#1E88E5")
    wifi(369, 112, 22, 340, "#1E88E5")

    # PC: monitor with the update tool on screen, stand and keyboard.
    rounded_rect(28, 62, 178, 168, 9, "#37474F")
    rounded_rect(37, 71, 169, 157, 3, "#1565C0")
    rounded_rect(46, 80, 160, 150, 3, "#FFFFFF")
    polygon([(46, 80), (160, 80), (160, 90), (46, 90)], "#90CAF9")
    for i in range(4):  # the tool's buttons
        rounded_rect(52 + i * 26, 97, 74 + i * 26, 107, 2, "#B0BEC5")
    rounded_rect(52, 114, 126, 120, 2, "#CFD8DC")
    rounded_rect(52, 128, 154, 138, 2, "#C8E6C9")
    rounded_rect(52, 128, 118, 138, 2, "#43A047")
    polygon([(92, 168), (114, 168), (121, 190), (85, 190)], "#546E7A")
    rounded_rect(66, 189, 140, 197, 3, "#455A64")
    polygon([(44, 206), (162, 206), (172, 222), (34, 222)], "#607D8B")
    for row in range(3):
        for k in range(11):
            x = 48 + k * 10.4 - row * 3
            polygon([(x, 208.5 + row * 4.3), (x + 8, 208.5 + row * 4.3),
                     (x + 7.5, 211.5 + row * 4.3), (x - 0.5, 211.5 + row * 4.3)], "#CFD8DC")
    text(103, 232, "PC", 2, "#263238")
    text(103, 252, "192.168.0.10", 4 / 3, "#455A64")

    # Access point: body, two antennas, status lights and its Wi-Fi sign.
    line(238, 180, 230, 124, 6, "#37474F")
    line(298, 180, 306, 124, 6, "#37474F")
    rounded_rect(214, 174, 322, 206, 8, "#546E7A")
    rounded_rect(217, 177, 319, 203, 6, "#ECEFF1")
    for i, colour in enumerate(("#43A047", "#43A047", "#FFB300", "#1E88E5")):
        circle(246 + i * 15, 190, 3.2, colour)
    wifi(268, 158, 46, 270, "#1E88E5")
    text(268, 222, "Wi-Fi", 2, "#263238")

    # Kavelo: handheld with display, control knob and keys.
    rounded_rect(392, 50, 488, 228, 24, "#263238")
    rounded_rect(396, 54, 484, 224, 21, "#455A64")
    rounded_rect(407, 68, 473, 118, 5, "#1B2B33")
    rounded_rect(410, 71, 470, 115, 3, "#A7E0D0")
    wifi(440, 104, 18, 270, "#00695C")
    polygon([(414, 76), (466, 76), (466, 79), (414, 79)], "#5FA897")
    circle(440, 160, 25, "#1B2B33")
    circle(440, 160, 22, "#90A4AE")
    circle(440, 160, 16, "#B0BEC5")
    line(440, 160, 440, 145, 3, "#37474F")
    rounded_rect(406, 199, 426, 210, 4, "#E53935")
    rounded_rect(430, 199, 450, 210, 4, "#B0BEC5")
    rounded_rect(454, 199, 474, 210, 4, "#43A047")
    text(440, 236, "Kavelo", 2, "#263238")
    text(440, 256, "192.168.0.20", 4 / 3, "#455A64")


def downsample():
    out = bytearray(WIDTH * HEIGHT * 3)
    n = SS * SS
    for y in range(HEIGHT):
        rows = [(y * SS + k) * W * 3 for k in range(SS)]
        for x in range(WIDTH):
            for ch in range(3):
                total = 0
                for r in rows:
                    base = r + x * SS * 3 + ch
                    total += canvas[base] + canvas[base + 3] + canvas[base + 6]
                out[(y * WIDTH + x) * 3 + ch] = (total + n // 2) // n
    return out


def write_bmp(path, pixels):
    stride = (WIDTH * 3 + 3) // 4 * 4
    image_size = stride * HEIGHT
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, image_size, 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + image_size, 0, 0, 14 + len(info))
    rows = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom row first
        row = pixels[y * WIDTH * 3:(y + 1) * WIDTH * 3]
        for x in range(WIDTH):
            r, g, b = row[x * 3:x * 3 + 3]
            rows += bytes((b, g, r))
        rows += bytes(stride - WIDTH * 3)
    with open(path, "wb") as f:
        f.write(head + info + rows)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "resources", "guidance", "Kavelo_Info_Image.bmp")
    draw()
    write_bmp(target, downsample())
