#!/usr/bin/env python3
"""Draws the quick menu's pictures as 20x20 BMP files on the menu's grey:
Picture1.bmp to Picture13.bmp (none numbered 11), each beside the item of the
same number, and Image0.bmp, the menu's close box. Shapes are sampled 4x4 per
pixel, so their edges are smooth. Run from the repository's top folder:
scripts/make-menu-pictures.py assets"""
import math
import sys

from bmpfile import write_bmp

W = H = 20
SUB = 4
GREY = (224, 224, 224)  # the menu's own background


# --- shapes: each answers whether a point (in pixels, 0..20) lies inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(*points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit
    return inside


def line(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
    return inside


def arc(cx, cy, r, width, start, end):
    """A ring from angle `start` to `end` (degrees, counter-clockwise from east)."""
    def inside(x, y):
        if not ring(cx, cy, r, width)(x, y):
            return False
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return start <= a <= end if start <= end else a >= start or a <= end
    return inside


def glyph(rows, x0, y0, scale=1):
    """Pixels of a small bitmap: '#' is ink."""
    def inside(x, y):
        cx, cy = int((x - x0) // scale), int((y - y0) // scale)
        return 0 <= cy < len(rows) and 0 <= cx < len(rows[cy]) and x >= x0 and y >= y0 \
            and rows[cy][cx] == "#"
    return inside


# --- the pictures: shapes painted in order, the last on top

RED, DARK_RED = (210, 50, 40), (130, 20, 20)
BLUE, DARK_BLUE = (40, 100, 200), (20, 50, 120)
GREEN, DARK_GREEN = (40, 150, 60), (20, 80, 30)
WHITE, BLACK = (255, 255, 255), (30, 30, 30)
ORANGE, BROWN = (240, 150, 30), (120, 70, 20)
SILVER, DISC_EDGE = (200, 205, 215), (110, 115, 130)
PAPER, INK = (250, 250, 245), (90, 90, 100)


def disc():
    return [(circle(10, 10, 8.5), DISC_EDGE), (circle(10, 10, 7.7), SILVER),
            (arc(10, 10, 6.5, 1.2, 20, 80), WHITE), (circle(10, 10, 2.2), DISC_EDGE),
            (circle(10, 10, 1.3), GREY)]


PICTURES = {
    # " Exit all": a red power button.
    "Picture1": [(circle(10, 10, 9), RED), (arc(10, 10.5, 6, 2, 120, 60), WHITE),
                 (line(10, 3, 10, 10, 2.2), WHITE)],
    # " About": an "i" in a blue circle.
    "Picture2": [(circle(10, 10, 9), BLUE), (circle(10, 5.5, 1.6), WHITE),
                 (rect(8.8, 8.5, 11.2, 15.5), WHITE), (rect(7.5, 14, 12.5, 15.5), WHITE)],
    # " Help": a question mark in a green circle.
    "Picture3": [(circle(10, 10, 9), GREEN), (arc(10, 7.5, 4, 2.2, 300, 200), WHITE),
                 (line(11.5, 10.8, 10, 12.2, 2.2), WHITE), (circle(10, 15.3, 1.4), WHITE)],
    # " Update": a globe with a downward arrow.
    "Picture4": [(circle(10, 10, 9), BLUE), (ring(10, 10, 9, 1), DARK_BLUE),
                 (polygon((4, 10), (16, 10), (10, 17)), WHITE), (rect(7.8, 3, 12.2, 10.5), WHITE)],
    # " Sound time": a clock face.
    "Picture5": [(circle(10, 10, 9), DARK_BLUE), (circle(10, 10, 7.6), WHITE),
                 (line(10, 10, 10, 4.5, 1.6), BLACK), (line(10, 10, 14, 12, 1.6), BLACK),
                 (circle(10, 10, 1.2), RED)],
    # "Close CD": a disc with an upward tray arrow.
    "Picture6": disc() + [(polygon((10, 13), (17, 19.5), (3, 19.5)), DARK_GREEN)],
    # " Eject CD": the eject sign.
    "Picture7": [(polygon((10, 2), (18, 11), (2, 11)), BLACK), (rect(2, 13.5, 18, 17), BLACK)],
    # The home page: a house.
    "Picture8": [(polygon((10, 1.5), (19, 10), (1, 10)), RED),
                 (rect(3.5, 9.5, 16.5, 18.5), ORANGE), (rect(8, 12.5, 12, 18.5), BROWN),
                 (rect(13.5, 3, 15.5, 7), RED)],
    # " Get more voices": a loudspeaker with a plus.
    "Picture9": [(rect(1.5, 7, 5.5, 13), BLACK), (polygon((5, 7), (10, 2.5), (10, 17.5), (5, 13)),
                                                   BLACK),
                 (line(15, 5, 15, 15, 2.4), GREEN), (line(10.5, 10, 19.5, 10, 2.4), GREEN)],
    # " Convert wav to mp3": a sound wave and an arrow.
    "Picture10": [(line(1.5, 7, 3.5, 2.5, 1.6), BLUE), (line(3.5, 2.5, 5.5, 11, 1.6), BLUE),
                  (line(5.5, 11, 7.5, 4, 1.6), BLUE), (line(7.5, 4, 9.5, 7, 1.6), BLUE),
                  (line(3, 15, 13, 15, 2.2), DARK_GREEN),
                  (polygon((12, 11), (18.5, 15), (12, 19)), DARK_GREEN)],
    # " Text files to sound files": a page with a note.
    "Picture12": [(rect(3, 1.5, 15, 18.5), INK), (rect(4, 2.5, 14, 17.5), PAPER),
                  (rect(5.5, 4.5, 12.5, 5.3), INK), (rect(5.5, 7, 12.5, 7.8), INK),
                  (circle(12, 15.5, 2.3), DARK_BLUE), (rect(13.2, 8.5, 14.4, 15.5), DARK_BLUE),
                  (line(14, 9, 17.5, 11, 1.4), DARK_BLUE)],
    # " Slide read aloud words": a board showing a word.
    "Picture13": [(rect(1.5, 2.5, 18.5, 14.5), DARK_BLUE), (rect(2.5, 3.5, 17.5, 13.5), WHITE),
                  (glyph([".#..##.", "#.#.#.#", "###.##.", "#.#.#.#", "#.#.##."], 4, 5.5, 1.6),
                   RED),
                  (line(10, 14.5, 6, 19, 1.4), BROWN), (line(10, 14.5, 14, 19, 1.4), BROWN)],
    # The close box.
    "Image0": [(rect(2, 2, 18, 18), DISC_EDGE), (rect(3, 3, 17, 17), (245, 245, 245)),
               (line(6, 6, 14, 14, 2.2), DARK_RED), (line(14, 6, 6, 14, 2.2), DARK_RED)],
}


def render(shapes):
    px = []
    for y in range(H):
        row = []
        for x in range(W):
            total = [0, 0, 0]
            for sy in range(SUB):
                for sx in range(SUB):
                    fx, fy = x + (sx + 0.5) / SUB, y + (sy + 0.5) / SUB
                    colour = GREY
                    for inside, c in shapes:
                        if inside(fx, fy):
                            colour = c
                    for i in range(3):
                        total[i] += colour[i]
            row.append(tuple(round(t / (SUB * SUB)) for t in total))
        px.append(row)
    return px



folder = sys.argv[1] if len(sys.argv) > 1 else "assets"
for name, shapes in PICTURES.items():
    write_bmp("%s/%s.bmp" % (folder, name), render(shapes))
