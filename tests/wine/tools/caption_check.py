#!/usr/bin/env python3
"""Checks from a screenshot that the About page's OK caption shows real
glyphs: the white ink inside the red OK button must match the same text
drawn in the labels' face far better than the same text drawn as boxes.

    caption_check.py SHOT.png GLYPHS.pgm BOXES.pgm [CROP.png]

Prints the overlap with each reference; exit 0 when the caption matches the
glyphs."""
import subprocess
import sys

BUTTON = (0xE2, 0x3B, 0x3B)


def read_pgm(path):
    data = open(path, "rb").read()
    parts = data.split(b"\n", 3)
    w, h = map(int, parts[1].split())
    pixels = parts[3]
    return w, h, [[pixels[y * w + x] >= 128 for x in range(w)] for y in range(h)]


def button_ink(shot):
    w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", shot]).split())
    raw = subprocess.check_output(["convert", shot, "-depth", "8", "rgb:-"])
    # The button: rows that hold a long run of its colour (an icon elsewhere may share it).
    xs, ys = [], []
    colour = bytes(BUTTON)
    for y in range(h):
        row = raw[3 * y * w:3 * (y + 1) * w]
        x = 0
        while x < w:
            if row[3 * x:3 * x + 3] != colour:
                x += 1
                continue
            start = x
            while x < w and row[3 * x:3 * x + 3] == colour:
                x += 1
            if x - start >= 40:
                xs += [start, x - 1]
                ys.append(y)
    if not xs:
        sys.exit("no OK button in the screenshot")
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    ink = [[min(raw[3 * (y * w + x)], raw[3 * (y * w + x) + 1], raw[3 * (y * w + x) + 2]) >= 128
            for x in range(x0, x1 + 1)] for y in range(y0, y1 + 1)]
    return (x0, y0, x1 - x0 + 1, y1 - y0 + 1), ink


def overlap(a, b, shift=4):
    """Best intersection over union of two masks, b moved by up to `shift` pixels."""
    best = 0.0
    for dy in range(-shift, shift + 1):
        for dx in range(-shift, shift + 1):
            both = either = 0
            for y in range(len(a)):
                for x in range(len(a[0])):
                    u = a[y][x]
                    by, bx = y + dy, x + dx
                    v = 0 <= by < len(b) and 0 <= bx < len(b[0]) and b[by][bx]
                    both += u and v
                    either += u or v
            if either:
                best = max(best, both / either)
    return best


def main():
    shot, glyphs, boxes = sys.argv[1:4]
    (x, y, w, h), ink = button_ink(shot)
    if len(sys.argv) > 4:
        subprocess.check_call(["convert", shot, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", sys.argv[4]])
    gw, gh, g = read_pgm(glyphs)
    bw, bh, b = read_pgm(boxes)
    if (gw, gh) != (w, h) or (bw, bh) != (w, h):
        sys.exit("button is %dx%d, references %dx%d and %dx%d" % (w, h, gw, gh, bw, bh))
    if not any(any(row) for row in ink):
        sys.exit("the OK button has no caption")
    to_glyphs, to_boxes = overlap(ink, g), overlap(ink, b)
    print("caption overlap: %.2f with the glyphs, %.2f with boxes" % (to_glyphs, to_boxes))
    sys.exit(0 if to_glyphs >= 0.6 and to_glyphs > to_boxes + 0.2 else 1)


if __name__ == "__main__":
    main()
