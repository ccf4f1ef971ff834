#!/usr/bin/env python3
"""Draws Pellton's icons and its hand cursor and writes them as .ico/.cur files.

Every picture is described in a 32 x 32 design space as signed distance
functions (negative inside); each pixel's coverage comes from the distance at
its centre, which gives antialiased edges at any size. Icons are written with
32-bit BGRA images plus the 1-bit mask that older readers want.

    make_icons.py <output folder> [--preview <png file>]
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- palette

BLUE = (0x2B, 0x7C, 0xD3)
BLUE_LIGHT = (0x5C, 0xA8, 0xF0)
BLUE_DARK = (0x1B, 0x4F, 0x8C)
GREEN = (0x3A, 0xA8, 0x5C)
GREEN_LIGHT = (0x6C, 0xD0, 0x86)
GREEN_DARK = (0x23, 0x6E, 0x3B)
INDIGO = (0x4B, 0x4A, 0xA8)
INDIGO_DARK = (0x2E, 0x2D, 0x70)
GOLD = (0xF5, 0xC3, 0x42)
GOLD_DARK = (0xB0, 0x80, 0x14)
ORANGE = (0xF0, 0x7B, 0x22)
ORANGE_DARK = (0xB0, 0x4A, 0x0C)
RED = (0xD9, 0x3F, 0x3F)
RED_DARK = (0x9A, 0x23, 0x23)
GREY = (0x5F, 0x6B, 0x7A)
GREY_DARK = (0x33, 0x3B, 0x45)
GREY_LIGHT = (0xC9, 0xD1, 0xDA)
PAPER = (0xFB, 0xFC, 0xFE)
WHITE = (0xFF, 0xFF, 0xFF)
BLACK = (0x10, 0x10, 0x10)

# --------------------------------------------------------- distance shapes


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry, angle=0.0):
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def d(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        k = math.hypot(u / rx, v / ry)
        return (k - 1.0) * min(rx, ry)
    return d


def box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return d


def _segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def line(ax, ay, bx, by, width):
    return lambda x, y: _segment_distance(x, y, ax, ay, bx, by) - width / 2.0


def polyline(points, width):
    segments = list(zip(points, points[1:]))
    return lambda x, y: min(_segment_distance(x, y, a[0], a[1], b[0], b[1])
                            for a, b in segments) - width / 2.0


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def d(x, y):
        inside = False
        best = 1e9
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
            best = min(best, _segment_distance(x, y, ax, ay, bx, by))
        return -best if inside else best
    return d


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2.0


def arc(cx, cy, r, width, start, end):
    """A round-capped arc from angle start to end (degrees, clockwise on screen)."""
    a0, a1 = math.radians(start), math.radians(end)
    p0 = (cx + r * math.cos(a0), cy + r * math.sin(a0))
    p1 = (cx + r * math.cos(a1), cy + r * math.sin(a1))

    def d(x, y):
        a = math.atan2(y - cy, x - cx)
        while a < a0:
            a += 2 * math.pi
        if a <= a1:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2.0
        return min(math.hypot(x - p0[0], y - p0[1]), math.hypot(x - p1[0], y - p1[1])) - width / 2.0
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def grow(shape, amount):
    return lambda x, y: shape(x, y) - amount


def rotated(shape, cx, cy, angle):
    c, s = math.cos(math.radians(-angle)), math.sin(math.radians(-angle))

    def d(x, y):
        dx, dy = x - cx, y - cy
        return shape(cx + dx * c - dy * s, cy + dx * s + dy * c)
    return d


# ------------------------------------------------------------------ canvas


def vertical(top, bottom, y0, y1):
    """A paint that runs from colour top at y0 to bottom at y1 (design units)."""
    def paint(x, y):
        t = max(0.0, min(1.0, (y - y0) / float(y1 - y0)))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3))
    return paint


class Canvas:
    """Premultiplied RGBA pixels of one square picture."""

    def __init__(self, size):
        self.size = size
        self.scale = size / 32.0
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def fill(self, shape, paint, opacity=1.0):
        scale = self.scale
        for py in range(self.size):
            y = (py + 0.5) / scale
            row = py * self.size
            for px in range(self.size):
                x = (px + 0.5) / scale
                d = shape(x, y) * scale
                if d >= 0.5:
                    continue
                cover = 1.0 if d <= -0.5 else 0.5 - d
                alpha = cover * opacity
                colour = paint(x, y) if callable(paint) else paint
                p = self.pixels[row + px]
                keep = 1.0 - alpha
                p[0] = colour[0] * alpha + p[0] * keep
                p[1] = colour[1] * alpha + p[1] * keep
                p[2] = colour[2] * alpha + p[2] * keep
                p[3] = alpha + p[3] * keep

    def outlined(self, shape, paint, outline, width=1.0):
        """The shape with a border of width pixels (at least) in the outline colour."""
        self.fill(grow(shape, 0.0), outline)
        self.fill(grow(shape, -max(width / self.scale, 0.9)), paint)

    def bgra_rows(self):
        """Rows top to bottom of straight-alpha (b, g, r, a) bytes."""
        rows = []
        for py in range(self.size):
            row = bytearray()
            for px in range(self.size):
                r, g, b, a = self.pixels[py * self.size + px]
                if a <= 0.0:
                    row += b"\0\0\0\0"
                    continue
                row += bytes((_byte(b / a), _byte(g / a), _byte(r / a), _byte(a * 255)))
            rows.append(bytes(row))
        return rows


def _byte(v):
    return max(0, min(255, int(round(v))))


# ------------------------------------------------------------- the pictures


def draw_app(c):
    """Program icon: a tracker face on a blue tile showing a rising step graph."""
    tile = box(1.5, 1.5, 30.5, 30.5, 6.5)
    c.fill(tile, BLUE_DARK)
    c.fill(grow(tile, -1.0 / c.scale), vertical(BLUE_LIGHT, BLUE, 2, 30))
    c.fill(box(3, 3, 29, 12, 5), WHITE, 0.18)
    for i, h in enumerate((7, 11, 16)):
        x0 = 8 + i * 6
        c.fill(box(x0, 25 - h, x0 + 4.2, 25, 1.2), WHITE)
    c.fill(line(6.5, 27.0, 25.5, 27.0, 1.6), WHITE, 0.85)
    c.fill(circle(24.5, 8.5, 3.2), GREEN_DARK)
    c.fill(circle(24.5, 8.5, 2.4), GREEN_LIGHT)


def draw_refresh(c):
    """Search again: a circular arrow."""
    c.fill(arc(16, 16.5, 9.5, 5.2, -50, 215), BLUE_DARK)
    c.fill(arc(16, 16.5, 9.5, 3.0, -50, 215), vertical(BLUE_LIGHT, BLUE, 6, 27))
    head = polygon([(17.5, 1.5), (28.5, 6.0), (20.0, 13.5)])
    c.fill(grow(head, 0.9), BLUE_DARK)
    c.fill(head, BLUE_LIGHT)


def draw_about(c):
    """About: a blue disc with a white letter i."""
    c.fill(circle(16, 16, 14.5), BLUE_DARK)
    c.fill(circle(16, 16, 13.3), vertical(BLUE_LIGHT, BLUE, 3, 29))
    c.fill(circle(16, 9.2, 2.4), WHITE)
    c.fill(line(16, 14.5, 16, 23.5, 4.2), WHITE)


def draw_tracker(c):
    """The tracker: a wrist band with its display."""
    strap = box(10.5, 0.5, 21.5, 31.5, 3)
    c.outlined(strap, GREY, GREY_DARK)
    face = box(7, 7, 25, 25, 4.5)
    c.outlined(face, vertical((0x4A, 0x55, 0x63), GREY_DARK, 7, 25), BLACK)
    c.fill(box(10, 10, 22, 22, 2.5), (0x12, 0x22, 0x30))
    for i, h in enumerate((3.5, 6.5, 9.0)):
        x0 = 11.6 + i * 3.4
        c.fill(box(x0, 20.5 - h, x0 + 2.2, 20.5, 0.6), GREEN_LIGHT)


def draw_clock(c):
    """Time: a clock face."""
    c.fill(circle(16, 16, 14.5), GREY_DARK)
    c.fill(circle(16, 16, 12.8), vertical(WHITE, (0xE3, 0xEA, 0xF2), 3, 29))
    for k in range(12):
        a = math.radians(k * 30)
        r0 = 9.8 if k % 3 else 8.6
        c.fill(line(16 + r0 * math.cos(a), 16 + r0 * math.sin(a),
                    16 + 11.2 * math.cos(a), 16 + 11.2 * math.sin(a), 1.4 if k % 3 else 2.0), GREY)
    c.fill(line(16, 16, 16, 7.5, 2.6), GREY_DARK)
    c.fill(line(16, 16, 22, 19.5, 2.6), BLUE_DARK)
    c.fill(circle(16, 16, 2.0), RED)


def draw_info(c):
    """Device information: a sheet with a heading and lines."""
    sheet = polygon([(5, 2), (21, 2), (27, 8), (27, 30), (5, 30)])
    c.outlined(grow(sheet, -0.5), PAPER, GREY)
    c.fill(polygon([(20.5, 2.5), (26.5, 8.5), (20.5, 8.5)]), GREY_LIGHT)
    c.fill(box(9, 9, 17, 12.5, 1.2), BLUE)
    for i in range(4):
        y = 16.5 + i * 3.8
        c.fill(line(9.5, y, 22.5 - (5 if i == 3 else 0), y, 1.8), GREY)


def draw_moon(c):
    """Sleeping: a crescent moon with two stars."""
    moon = subtract(circle(14, 17, 12.5), circle(20.5, 11.5, 10.5))
    c.fill(moon, INDIGO_DARK)
    c.fill(grow(moon, -1.0 / c.scale), vertical((0xA9, 0xA4, 0xF5), INDIGO, 6, 30))

    def star(cx, cy, r):
        pts = []
        for k in range(8):
            a = math.radians(k * 45 - 90)
            rr = r if k % 2 == 0 else r * 0.32
            pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
        return polygon(pts)
    c.fill(grow(star(24.5, 7.5, 5.5), 0.6), GOLD_DARK)
    c.fill(star(24.5, 7.5, 5.5), GOLD)
    c.fill(star(28, 18.5, 3.4), GOLD)


def _footprint(cx, cy, angle):
    sole = ellipse(cx, cy - 3.0, 3.9, 6.0)
    heel = ellipse(cx + 0.4, cy + 6.2, 3.0, 3.1)
    return rotated(union(sole, heel), cx, cy, angle)


def draw_walking(c):
    """Walking: two footprints."""
    for cx, cy in ((10.5, 19.0), (21.5, 12.0)):
        foot = _footprint(cx, cy, 12)
        c.fill(grow(foot, 0.9), GREEN_DARK)
        c.fill(foot, vertical(GREEN_LIGHT, GREEN, cy - 9, cy + 9))


def draw_chart(c):
    """A bar chart on an axis."""
    c.fill(polyline([(4, 3), (4, 28), (29, 28)], 2.0), GREY_DARK)
    bars = ((8, 15, BLUE, BLUE_DARK), (14.5, 9, GREEN, GREEN_DARK), (21, 19, ORANGE, ORANGE_DARK))
    for x0, top, colour, dark in bars:
        b = box(x0, top, x0 + 5, 26.5, 1)
        c.outlined(b, colour, dark)


def draw_bluetooth(c):
    """Bluetooth: the rune on a blue lozenge."""
    badge = box(6, 1.5, 26, 30.5, 9.5)
    c.fill(badge, BLUE_DARK)
    c.fill(grow(badge, -1.0 / c.scale), vertical(BLUE_LIGHT, BLUE, 2, 30))
    rune = polyline([(10.5, 10.5), (21.5, 20.8), (16, 26.2), (16, 5.8), (21.5, 11.2), (10.5, 21.5)], 2.4)
    c.fill(rune, WHITE)


def draw_calendar(c):
    """Date: a calendar sheet with a red heading and rings."""
    page = box(3, 5, 29, 30, 3)
    c.outlined(page, PAPER, GREY)
    c.fill(intersect(page, box(3, 5, 29, 12.5)), vertical(RED, RED_DARK, 5, 12.5))
    for x in (9.5, 22.5):
        c.fill(line(x, 2.5, x, 8, 3.0), GREY_DARK)
    for row in range(3):
        for col in range(4):
            cx, cy = 8.5 + col * 5, 16.5 + row * 4.6
            colour = BLUE if (row, col) == (1, 2) else GREY_LIGHT
            c.fill(box(cx - 1.7, cy - 1.5, cx + 1.7, cy + 1.5, 0.5), colour)


def draw_flame(c):
    """Calories: a flame."""
    outer = union(circle(16, 21, 8.5), polygon([(8.4, 18.5), (15.5, 1.5), (23.6, 18.5)]))
    c.fill(grow(outer, 0.8), ORANGE_DARK)
    c.fill(outer, vertical(GOLD, ORANGE, 4, 30))
    inner = union(circle(16, 23.5, 4.6), polygon([(11.6, 22.5), (16, 12), (20.4, 22.5)]))
    c.fill(inner, vertical((0xFF, 0xF3, 0xB0), GOLD, 12, 28))


def _gear(cx, cy, r):
    teeth = [rotated(box(cx - 1.5, cy - r - 1.8, cx + 1.5, cy - r + 1.2, 0.5), cx, cy, k * 45)
             for k in range(8)]
    return subtract(union(circle(cx, cy, r), *teeth), circle(cx, cy, r * 0.4))


def draw_device_manager(c):
    """Device Manager: a monitor with a gear."""
    c.fill(polygon([(12, 24), (20, 24), (22, 28.5), (10, 28.5)]), GREY)
    c.fill(line(8.5, 29, 23.5, 29, 2.0), GREY_DARK)
    monitor = box(2, 4, 30, 24.5, 2.5)
    c.outlined(monitor, (0x4A, 0x55, 0x63), BLACK)
    c.fill(box(4.5, 6.5, 27.5, 21.5, 1), vertical(BLUE_LIGHT, BLUE, 6, 22))
    gear = _gear(21.5, 19.5, 6.2)
    c.fill(grow(gear, 1.0), GREY_DARK)
    c.fill(gear, vertical(WHITE, GREY_LIGHT, 12, 27))


def draw_export(c):
    """Export and backup: a sheet of rows with an arrow leaving it."""
    sheet = box(3, 2.5, 21, 29.5, 2)
    c.outlined(sheet, vertical(WHITE, GREY_LIGHT, 2, 30), GREY_DARK)
    for y in (8, 12.5, 17, 21.5, 26):
        c.fill(line(6.5, y, 17.5, y, 1.6), BLUE if y < 9 else GREY)
    arrow = union(line(14, 17, 24, 17, 4.2), polygon([(22, 9.5), (31, 17), (22, 24.5)]))
    c.fill(grow(arrow, 1.0), (0x1B, 0x5E, 0x20))
    c.fill(arrow, vertical(GREEN_LIGHT, (0x2E, 0x7D, 0x32), 9, 25))


def draw_hand(c):
    """The link cursor: a white pointing hand with a black outline."""
    finger = line(11.5, 3.0, 11.5, 17.0, 4.6)
    knuckles = [line(15.3, 13.5, 15.3, 18, 4.2), line(19.1, 14.5, 19.1, 19, 4.2),
                line(22.7, 16.0, 22.7, 20, 3.8)]
    thumb = line(5.6, 18.4, 9.6, 23.8, 4.4)
    palm = polygon([(9.2, 14.5), (24.6, 16.5), (24.6, 24), (21.5, 29.5), (12.5, 29.5), (8.4, 24.5)])
    hand = union(finger, thumb, palm, *knuckles)
    c.fill(grow(hand, 1.1), BLACK)
    c.fill(hand, WHITE)
    for x, y0, y1 in ((13.4, 15.5, 19.5), (17.2, 16.5, 20.5), (20.9, 17.5, 21.5)):
        c.fill(line(x, y0, x, y1, 0.7), (0x80, 0x80, 0x80))


# ---------------------------------------------------------------- writers

ICONS = {
    101: (draw_app, (16, 20, 24, 32, 40, 48)),
    109: (draw_refresh, (16, 20, 24, 32)),
    110: (draw_about, (16, 20, 24, 32)),
    111: (draw_tracker, (16, 20, 24, 32)),
    112: (draw_clock, (16, 20, 24, 32)),
    113: (draw_info, (16, 20, 24, 32)),
    114: (draw_moon, (16, 20, 24, 32)),
    115: (draw_walking, (16, 20, 24, 32)),
    116: (draw_chart, (16, 20, 24, 32)),
    117: (draw_bluetooth, (16, 20, 24, 32)),
    118: (draw_calendar, (16, 20, 24, 32)),
    119: (draw_flame, (16, 20, 24, 32)),
    120: (draw_device_manager, (16, 20, 24, 32)),
    121: (draw_export, (16, 20, 24, 32)),
}
CURSOR = (108, draw_hand, 32, (11, 1))


def dib_image(canvas):
    """BITMAPINFOHEADER, bottom-up BGRA rows and the AND mask of one picture."""
    size = canvas.size
    rows = canvas.bgra_rows()
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for px in range(size):
            if row[px * 4 + 3] == 0:
                bits[px // 8] |= 0x80 >> (px % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         size * size * 4 + len(mask), 0, 0, 0, 0)
    return header + b"".join(reversed(rows)) + bytes(mask)


def icon_file(canvases, hotspot=None):
    """An .ico file of the pictures, or a .cur file when a hotspot is given."""
    kind = 1 if hotspot is None else 2
    images = [dib_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        side = canvas.size if canvas.size < 256 else 0
        if hotspot is None:
            planes, bits = 1, 32
        else:
            planes, bits = hotspot
        out += struct.pack("<BBBBHHII", side, side, 0, 0, planes, bits, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def png_file(width, height, rgba_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(row) for row in rgba_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def preview(path, pictures):
    """Every picture at every size on a light and a dark strip, for checking by eye."""
    width = 8 + sum(c.size + 8 for c in pictures)
    height = 2 * (48 + 16)
    rows = []
    for y in range(height):
        band = (0xF0, 0xF0, 0xF0) if y < height // 2 else (0x30, 0x30, 0x30)
        rows.append(bytearray(band * width))
    x = 8
    for canvas in pictures:
        src = canvas.bgra_rows()
        for top in (8, height // 2 + 8):
            for py in range(canvas.size):
                row = rows[top + py]
                for px in range(canvas.size):
                    b, g, r, a = src[py][px * 4:px * 4 + 4]
                    o = (x + px) * 3
                    for i, v in enumerate((r, g, b)):
                        row[o + i] = (v * a + row[o + i] * (255 - a)) // 255
        x += canvas.size + 8
    rgba = [bytes(b for i in range(width) for b in (row[i * 3], row[i * 3 + 1], row[i * 3 + 2], 255))
            for row in rows]
    with open(path, "wb") as f:
        f.write(png_file(width, height, rgba))


def render(draw, size):
    canvas = Canvas(size)
    draw(canvas)
    return canvas


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    shown = []
    for number, (draw, sizes) in sorted(ICONS.items()):
        canvases = [render(draw, s) for s in sizes]
        shown += [c for c in canvases if c.size in (16, 32, 48)]
        with open(os.path.join(out, "icon%d.ico" % number), "wb") as f:
            f.write(icon_file(canvases))
    number, draw, size, hotspot = CURSOR
    hand = render(draw, size)
    shown.append(hand)
    with open(os.path.join(out, "cursor%d.cur" % number), "wb") as f:
        f.write(icon_file([hand], hotspot))
    if len(argv) >= 4 and argv[2] == "--preview":
        preview(argv[3], shown)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
