#!/usr/bin/env python3
# Draws the shipped host type pictures (100 x 85, 24-bit BMP) and writes the type list
# t_config.cnfg (UTF-16LE after FF FE, "," between cells, CR LF) into the folder given.
import math
import os
import struct
import sys

W, H = 100, 85
WHITE = (255, 255, 255)


class Picture:
    def __init__(self):
        self.px = [[WHITE] * W for _ in range(H)]

    def dot(self, x, y, c):
        if 0 <= x < W and 0 <= y < H:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(H, y1 + 1)):
            for x in range(max(0, x0), min(W, x1 + 1)):
                self.px[y][x] = c

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0, c)
        self.rect(x0, y1, x1, y1, c)
        self.rect(x0, y0, x0, y1, c)
        self.rect(x1, y0, x1, y1, c)

    def box(self, x0, y0, x1, y1, fill, edge=(40, 40, 48)):
        self.rect(x0, y0, x1, y1, fill)
        self.frame(x0, y0, x1, y1, edge)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r), int(cy + r) + 1):
            for x in range(int(cx - r), int(cx + r) + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.dot(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            self.disc(x, y, (width - 1) / 2, c) if width > 1 else self.dot(round(x), round(y), c)

    def shade(self, x0, y0, x1, y1, top, bottom):
        for y in range(y0, y1 + 1):
            t = (y - y0) / max(1, y1 - y0)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
            self.rect(x0, y, x1, y, c)

    def bmp(self):
        row_bytes = W * 3
        pad = (4 - row_bytes % 4) % 4
        data = bytearray()
        for y in range(H - 1, -1, -1):
            for r, g, b in self.px[y]:
                data += bytes((b, g, r))
            data += b"\0" * pad
        header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        return header + info + bytes(data)


def server():
    p = Picture()
    p.shade(30, 6, 70, 80, (120, 128, 140), (70, 76, 88))
    p.frame(30, 6, 70, 80, (30, 30, 36))
    for i in range(4):
        y = 14 + i * 12
        p.box(35, y, 65, y + 8, (190, 196, 204))
        p.rect(38, y + 3, 54, y + 5, (90, 96, 106))
        p.disc(61, y + 4, 1.6, (40, 200, 70) if i < 3 else (240, 170, 30))
    p.rect(35, 66, 65, 67, (50, 54, 62))
    p.rect(35, 70, 65, 71, (50, 54, 62))
    p.disc(50, 76, 2, (60, 150, 230))
    return p


def router():
    p = Picture()
    p.line(30, 44, 22, 10, (50, 50, 56), 3)
    p.line(70, 44, 78, 10, (50, 50, 56), 3)
    p.disc(22, 10, 2.5, (50, 50, 56))
    p.disc(78, 10, 2.5, (50, 50, 56))
    p.shade(10, 42, 90, 64, (70, 120, 200), (35, 70, 140))
    p.frame(10, 42, 90, 64, (20, 30, 60))
    for i in range(6):
        p.disc(20 + i * 8, 53, 2, (90, 230, 110) if i % 3 != 2 else (250, 200, 60))
    p.box(70, 48, 84, 58, (30, 40, 70), (15, 20, 40))
    p.rect(16, 65, 22, 70, (40, 40, 46))
    p.rect(78, 65, 84, 70, (40, 40, 46))
    return p


def switch():
    p = Picture()
    p.shade(4, 30, 95, 56, (200, 206, 214), (140, 146, 156))
    p.frame(4, 30, 95, 56, (40, 44, 52))
    for row in range(2):
        for i in range(8):
            x = 10 + i * 10
            y = 35 + row * 10
            p.box(x, y, x + 7, y + 6, (30, 32, 38), (20, 20, 24))
            p.rect(x + 2, y + 1, x + 5, y + 2, (90, 220, 110) if (i + row) % 3 else (250, 190, 50))
    p.rect(8, 57, 14, 60, (60, 60, 66))
    p.rect(85, 57, 91, 60, (60, 60, 66))
    return p


def printer():
    p = Picture()
    p.box(28, 6, 72, 34, (250, 250, 250), (120, 120, 130))
    for y in (14, 19, 24):
        p.rect(34, y, 66, y, (150, 150, 160))
    p.shade(12, 30, 88, 62, (110, 116, 126), (60, 64, 72))
    p.frame(12, 30, 88, 62, (30, 30, 36))
    p.rect(20, 38, 80, 40, (40, 42, 48))
    p.disc(78, 50, 2.5, (60, 210, 90))
    p.box(24, 58, 76, 78, (250, 250, 250), (120, 120, 130))
    for y in (64, 69):
        p.rect(30, y, 70, y, (150, 150, 160))
    return p


def workstation():
    p = Picture()
    p.box(14, 4, 86, 54, (40, 42, 50), (20, 20, 24))
    p.shade(18, 8, 82, 50, (90, 160, 230), (30, 80, 170))
    p.rect(22, 14, 50, 16, (230, 240, 255))
    p.rect(22, 21, 62, 23, (200, 220, 250))
    p.rect(22, 28, 44, 30, (200, 220, 250))
    p.rect(45, 55, 55, 64, (70, 72, 80))
    p.rect(32, 64, 68, 67, (60, 62, 70))
    p.box(10, 71, 90, 82, (210, 212, 218), (90, 92, 100))
    for row in range(2):
        for i in range(12):
            x = 14 + i * 6
            y = 73 + row * 4
            p.rect(x, y, x + 4, y + 2, (120, 122, 130))
    return p


TYPES = [("Server", server), ("Router", router), ("Switch", switch), ("Printer", printer),
         ("Workstation", workstation)]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..",
                                                                "Data", "Types")
    os.makedirs(folder, exist_ok=True)
    lines = []
    for index, (name, draw) in enumerate(TYPES):
        with open(os.path.join(folder, name + ".bmp"), "wb") as f:
            f.write(draw().bmp())
        lines.append("%d,%s,%d,Data\\Types\\%s.bmp\r\n" % (index + 1, name, index, name))
    with open(os.path.join(folder, "t_config.cnfg"), "wb") as f:
        f.write(b"\xff\xfe" + "".join(lines).encode("utf-16-le"))


if __name__ == "__main__":
    main()
