#!/usr/bin/python3
"""Checks the pictures scripts/make-art draws, as they are committed under
resources/art: every seat picture carries its seat's shape, the shapes differ
from seat to seat even in grey, and the four seat colours stay apart for eyes
that lack one kind of cone.

Colour blindness is simulated with the matrices of Machado, Oliveira and
Fernandes (2009) at full severity, applied in linear RGB. Two seats' colours
must differ by a CIEDE2000 distance of at least 12 under each simulation: on
the usual reading of that scale, 2 to 10 is a difference seen only side by
side, and above about 11 two colours read as different colours at a glance,
which a player glancing at a small chip needs.

Run by CTest; needs Python 3 with PIL (scripts/setup installs it).
"""

import itertools
import math
import os
import statistics
import sys
import unittest

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ART = os.path.join(ROOT, "resources", "art")
SEATS = (1, 2, 3, 4)
MIN_DELTA_E = 12.0

SIMULATIONS = {
    "protanopia": ((0.152286, 1.052583, -0.204868),
                   (0.114503, 0.786281, 0.099216),
                   (-0.003882, -0.048116, 1.051998)),
    "deuteranopia": ((0.367322, 0.860646, -0.227968),
                     (0.280085, 0.672501, 0.047413),
                     (-0.011820, 0.042940, 0.968881)),
    "tritanopia": ((1.255528, -0.076749, -0.178779),
                   (-0.078411, 0.930809, 0.147602),
                   (0.004733, 0.691367, 0.303900)),
}


# ---------------------------------------------------------------- colour


def linear(v):
    v /= 255.0
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def simulate(rgb, matrix):
    """The linear RGB that an eye with the given deficiency sees for rgb."""
    lin = [linear(v) for v in rgb]
    return tuple(min(1.0, max(0.0, sum(matrix[i][j] * lin[j] for j in range(3))))
                 for i in range(3))


def lab(lin):
    r, g, b = lin
    x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047
    y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b
    z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883

    def f(t):
        return t ** (1 / 3) if t > 216 / 24389 else (24389 / 27 * t + 16) / 116

    fx, fy, fz = f(x), f(y), f(z)
    return 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)


def delta_e2000(lab1, lab2):
    l1, a1, b1 = lab1
    l2, a2, b2 = lab2
    c_mean = (math.hypot(a1, b1) + math.hypot(a2, b2)) / 2
    g = 0.5 * (1 - math.sqrt(c_mean ** 7 / (c_mean ** 7 + 25 ** 7)))
    a1p, a2p = (1 + g) * a1, (1 + g) * a2
    c1p, c2p = math.hypot(a1p, b1), math.hypot(a2p, b2)
    h1p = math.degrees(math.atan2(b1, a1p)) % 360 if c1p else 0.0
    h2p = math.degrees(math.atan2(b2, a2p)) % 360 if c2p else 0.0
    dl, dc = l2 - l1, c2p - c1p
    if c1p * c2p == 0:
        dh = 0.0
    elif abs(h2p - h1p) <= 180:
        dh = h2p - h1p
    else:
        dh = h2p - h1p - 360 if h2p > h1p else h2p - h1p + 360
    dhh = 2 * math.sqrt(c1p * c2p) * math.sin(math.radians(dh / 2))
    l_mean, cp_mean = (l1 + l2) / 2, (c1p + c2p) / 2
    if c1p * c2p == 0:
        h_mean = h1p + h2p
    elif abs(h1p - h2p) <= 180:
        h_mean = (h1p + h2p) / 2
    else:
        h_mean = (h1p + h2p + 360) / 2 if h1p + h2p < 360 else (h1p + h2p - 360) / 2
    t = (1 - 0.17 * math.cos(math.radians(h_mean - 30)) + 0.24 * math.cos(math.radians(2 * h_mean))
         + 0.32 * math.cos(math.radians(3 * h_mean + 6))
         - 0.20 * math.cos(math.radians(4 * h_mean - 63)))
    d_theta = 30 * math.exp(-((h_mean - 275) / 25) ** 2)
    rc = 2 * math.sqrt(cp_mean ** 7 / (cp_mean ** 7 + 25 ** 7))
    sl = 1 + 0.015 * (l_mean - 50) ** 2 / math.sqrt(20 + (l_mean - 50) ** 2)
    sc = 1 + 0.045 * cp_mean
    sh = 1 + 0.015 * cp_mean * t
    rt = -math.sin(math.radians(2 * d_theta)) * rc
    return math.sqrt((dl / sl) ** 2 + (dc / sc) ** 2 + (dhh / sh) ** 2
                     + rt * (dc / sc) * (dhh / sh))


def seen_distance(rgb1, rgb2, matrix):
    return delta_e2000(lab(simulate(rgb1, matrix)), lab(simulate(rgb2, matrix)))


# ---------------------------------------------------------------- pictures


def picture(name, scale):
    suffix = "@2x" if scale == 2 else ""
    return Image.open(os.path.join(ART, name + suffix + ".png")).convert("RGBA")


def grey(p):
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]


def drawn_colour(seat):
    """The chip's colour as drawn: the mean of its opaque face around the
    shape, leaving out the shape and the rim."""
    img = picture("chip%d" % seat, 1)
    px = img.load()
    face = [px[x, y][:3] for y in range(3, 25) for x in range(3, 24)
            if px[x, y][3] == 255 and not (5 <= x < 22 and 5 <= y < 23)]
    return tuple(sum(p[i] for p in face) / len(face) for i in range(3))


def mark_mask(img, box, scale):
    """The pixels of the box (in logical pixels) that stand out in grey from
    the surface around the shape, as a set of (x, y)."""
    x0, y0, x1, y1 = (v * scale for v in box)
    px = img.load()
    ring = [grey(px[x, y]) for x in range(x0, x1) for y in (y0, y1 - 1)]
    ring += [grey(px[x, y]) for y in range(y0, y1) for x in (x0, x1 - 1)]
    surface = statistics.median(ring)
    limit = max(12.0, 0.3 * surface)
    return {(x - x0, y - y0) for y in range(y0, y1) for x in range(x0, x1)
            if abs(grey(px[x, y]) - surface) > limit}


def column_tops():
    return sorted({12 - 2 * abs(column - 7) for column in range(2, 13)})


def seat_pictures():
    """(family, name of seat's picture, boxes where its shape lies)."""
    families = [
        ("chip", lambda s: "chip%d" % s, [(5, 5, 22, 23)]),
        ("won box", lambda s: "chip%d" % (s + 4), [(5, 5, 22, 23)]),
        ("own colour", lambda s: "mycolor%d" % s, [(8, t + 5, 25, t + 24) for t in (4, 37, 69)]),
        ("swatch", lambda s: "swatch%d" % s, [(2, 2, 12, 12)]),
    ]
    for top in column_tops():
        boxes = [(8, 2 + 31 * p + 5, 24, 2 + 31 * p + 24) for p in range(top + 1)]
        families.append(("won column %d" % top, lambda s, t=top: "claim%d_%d" % (s, t), boxes))
    return families


class ColourMaths(unittest.TestCase):
    def test_delta_e2000_matches_published_pairs_and_tells_the_old_colours_apart_too_little(self):
        # Pairs from Sharma, Wu and Dalal's CIEDE2000 test data.
        for lab1, lab2, expected in (
                ((50.0, 2.6772, -79.7751), (50.0, 0.0, -82.7485), 2.0425),
                ((50.0, 0.0, 0.0), (50.0, -1.0, 2.0), 2.3669),
                ((50.0, 2.5, 0.0), (73.0, 25.0, -18.0), 27.1492),
                ((60.2574, -34.0099, 36.2677), (60.4626, -34.1751, 39.4387), 1.2644)):
            self.assertAlmostEqual(delta_e2000(lab1, lab2), expected, places=3)
        # The seats' former blue and violet ran together for red-green blindness.
        blue, violet = (46, 112, 224), (146, 72, 200)
        self.assertLess(seen_distance(blue, violet, SIMULATIONS["deuteranopia"]), MIN_DELTA_E)


class SeatColours(unittest.TestCase):
    def test_every_two_seats_stay_apart_under_each_colour_blindness(self):
        colours = {seat: drawn_colour(seat) for seat in SEATS}
        for name, matrix in SIMULATIONS.items():
            for a, b in itertools.combinations(SEATS, 2):
                distance = seen_distance(colours[a], colours[b], matrix)
                with self.subTest(simulation=name, seats=(a, b)):
                    self.assertGreaterEqual(distance, MIN_DELTA_E)


class ShapeMarks(unittest.TestCase):
    def test_every_seat_picture_carries_a_shape_that_differs_from_the_other_seats(self):
        for family, name, boxes in seat_pictures():
            for scale in (1, 2):
                pictures = {seat: picture(name(seat), scale) for seat in SEATS}
                if family == "chip":  # the marker, seat 0, must look like no seat
                    pictures[0] = picture("chip0", scale)
                for box in boxes:
                    area = (box[2] - box[0]) * (box[3] - box[1]) * scale * scale
                    masks = {seat: mark_mask(img, box, scale) for seat, img in pictures.items()}
                    for seat in SEATS:
                        with self.subTest(picture=name(seat), scale=scale, box=box):
                            self.assertGreater(len(masks[seat]), 0.15 * area, "no shape found")
                    for a, b in itertools.combinations(masks, 2):
                        overlap = len(masks[a] & masks[b]) / len(masks[a] | masks[b])
                        with self.subTest(family=family, scale=scale, box=box, seats=(a, b)):
                            self.assertLess(overlap, 0.75, "the two shapes look alike in grey")


if __name__ == "__main__":
    sys.exit(0 if unittest.main(exit=False, verbosity=1).result.wasSuccessful() else 1)
