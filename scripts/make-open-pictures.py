#!/usr/bin/env python3
"""Draws the converter's two picture buttons, an opening folder, as 32x32 BMP files:
open1.bmp (at rest) and open0.bmp (under the mouse pointer, lit). Run from the
repository's top folder: scripts/make-open-pictures.py assets"""
import sys

from bmpfile import write_bmp

W = H = 32


def draw(lit):
    bg = (236, 233, 216) if not lit else (255, 244, 196)
    back = (214, 160, 40) if not lit else (240, 180, 50)
    front = (250, 206, 90) if not lit else (255, 226, 120)
    edge = (120, 80, 10)
    paper = (255, 255, 255)
    px = [[bg for _ in range(W)] for _ in range(H)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = c

    # Back of the folder with its tab.
    rect(3, 8, 12, 10, back)
    rect(3, 10, 26, 26, back)
    # A sheet of paper sticking out.
    rect(8, 6, 24, 18, paper)
    # The front flap, slanted: each row starts further right as it goes up.
    for y in range(14, 27):
        shift = (26 - y) // 2
        rect(3 + shift, y, 29 - (12 - (26 - y)) // 3, y, front)
    # Outline of the folder's body.
    for x in range(3, 27):
        px[26][x] = edge
    for y in range(8, 27):
        px[y][3] = edge
    return px



folder = sys.argv[1] if len(sys.argv) > 1 else "assets"
write_bmp(folder + "/open1.bmp", draw(False))
write_bmp(folder + "/open0.bmp", draw(True))
