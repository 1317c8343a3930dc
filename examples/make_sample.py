#!/usr/bin/env python3
"""Builds the sample level that the README's first command imports: a small room whose level,
textures and palette sit in one container, sample/sample.gob. Everything in it is made here.

    python3 examples/make_sample.py        # rewrites examples/sample/sample.gob
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

LEVEL = """# Morvane sample level: one room, 2 x 2 x 1 level units, with a sky for a ceiling.
SECTION: HEADER
Version 1
World Gravity\t4.00

SECTION: MATERIALS
World materials 16
0:\tfloor.mat\t1.000000\t1.000000
1:\twall.mat\t1.000000\t1.000000
2:\tsky.mat\t1.000000\t1.000000
end

SECTION: GEORESOURCE
World Colormaps 1
0:\tsample.cmp

World vertices 8
#num:\tvertex:
0:\t0.0\t0.0\t0.0
1:\t2.0\t0.0\t0.0
2:\t2.0\t2.0\t0.0
3:\t0.0\t2.0\t0.0
4:\t0.0\t0.0\t1.0
5:\t2.0\t0.0\t1.0
6:\t2.0\t2.0\t1.0
7:\t0.0\t2.0\t1.0

World texture vertices 4
#num:\tu:\tv:
0:\t0.0\t0.0
1:\t64.0\t0.0
2:\t64.0\t64.0
3:\t0.0\t64.0

World adjoins 0

World surfaces 6
#num: mat surfflags faceflags geo light tex adjoin extralight nverts verts intensities
0:\t0\t0x4\t0x0\t4\t3\t0\t-1\t0.0\t4\t0,0\t1,1\t2,2\t3,3\t1.0\t1.0\t1.0\t1.0
1:\t2\t0x200\t0x0\t4\t0\t0\t-1\t0.0\t4\t4,0\t7,1\t6,2\t5,3\t1.0\t1.0\t1.0\t1.0
2:\t1\t0x4\t0x0\t4\t3\t0\t-1\t0.0\t4\t0,0\t3,1\t7,2\t4,3\t1.0\t1.0\t1.0\t1.0
3:\t1\t0x4\t0x0\t4\t3\t0\t-1\t0.0\t4\t1,0\t5,1\t6,2\t2,3\t1.0\t1.0\t1.0\t1.0
4:\t1\t0x4\t0x0\t4\t3\t0\t-1\t0.0\t4\t0,0\t4,1\t5,2\t1,3\t1.0\t1.0\t1.0\t1.0
5:\t1\t0x4\t0x0\t4\t3\t0\t-1\t0.0\t4\t3,0\t2,1\t6,2\t7,3\t1.0\t1.0\t1.0\t1.0

#--- Surface normals ---
0:\t0.0\t0.0\t1.0
1:\t0.0\t0.0\t-1.0
2:\t1.0\t0.0\t0.0
3:\t-1.0\t0.0\t0.0
4:\t0.0\t1.0\t0.0
5:\t0.0\t-1.0\t0.0

SECTION: SECTORS
World sectors 1
SECTOR\t0
FLAGS\t0x0
AMBIENT LIGHT\t0.50
EXTRA LIGHT\t0.00
COLORMAP\t0
CENTER\t1.0\t1.0\t0.5
RADIUS\t1.5
VERTICES\t8
0:\t0
1:\t1
2:\t2
3:\t3
4:\t4
5:\t5
6:\t6
7:\t7
SURFACES\t0\t6

SECTION: THINGS
World things 32
#num template:       name:     X:   Y:   Z:    Pitch: Yaw:   Roll:  Sector:
0:\twalkplayer\twalkplayer\t1.0\t1.0\t0.1\t0.0\t90.0\t0.0\t0
1:\tghost\tghost\t1.5\t1.5\t0.5\t0.0\t0.0\t0.0\t0
end

SECTION: LIGHTS
Editor lights 4
0:\t1\t1.0\t1.0\t0.9\t2.0\t0.8
end
"""


VERTICES = [(0, 0, 0), (2, 0, 0), (2, 2, 0), (0, 2, 0), (0, 0, 1), (2, 0, 1), (2, 2, 1), (0, 2, 1)]
LAMP = (0.4, 1.6, 0.8)


def intensity(v):
    """A corner's light: bright near the lamp in the north-west corner, dim far from it."""
    d = math.dist(VERTICES[v], LAMP)
    return max(0.3, min(1.0, 1.6 - 0.6 * d))


def light_level():
    """The level text with each surface's corner intensities computed from the lamp."""
    lines = []
    for line in LEVEL.split("\n"):
        words = line.split("\t")
        if len(words) == 18 and words[0][:-1].isdigit() and words[0].endswith(":") and "," in words[10]:
            corners = [int(w.split(",")[0]) for w in words[10:14]]
            words[14:18] = ["%.2f" % intensity(v) for v in corners]
            line = "\t".join(words)
        lines.append(line)
    return "\n".join(lines)


def palette():
    """A palette of grey, brick and grass ramps, and a sky blue."""
    pal = []
    for i in range(256):
        if i < 64:  # grey
            v = i * 4
            pal.append((v, v, v))
        elif i < 128:  # brick red
            t = (i - 64) / 63
            pal.append((int(90 + 150 * t), int(30 + 60 * t), int(20 + 40 * t)))
        elif i < 192:  # green
            t = (i - 128) / 63
            pal.append((int(20 + 60 * t), int(60 + 150 * t), int(20 + 50 * t)))
        else:  # blue
            t = (i - 192) / 63
            pal.append((int(40 + 100 * t), int(80 + 120 * t), int(160 + 95 * t)))
    return bytes(c for rgb in pal for c in rgb)


def nearest(colours, rgb):
    return min(range(256), key=lambda i: sum((colours[i][c] - rgb[c]) ** 2 for c in range(3)))


def light_tables(pal):
    """64 light levels, level 63 full light: each entry's colour darkened to level / 63, then the
    palette entry nearest to it."""
    colours = [tuple(pal[3 * i:3 * i + 3]) for i in range(256)]
    out = bytearray()
    for level in range(64):
        for i in range(256):
            out.append(i if level == 63 else nearest(colours, [v * level / 63 for v in colours[i]]))
    return bytes(out)


def transparency_table(pal):
    """Row f, column b: the palette entry nearest to the even mix of f over b."""
    colours = [tuple(pal[3 * i:3 * i + 3]) for i in range(256)]
    out = bytearray()
    for f in range(256):
        for b in range(256):
            out.append(nearest(colours, [(colours[f][c] + colours[b][c]) / 2 for c in range(3)]))
    return bytes(out)


def cmp_file():
    header = b"CMP " + struct.pack("<ii", 0x1E, 1) + bytes(52)
    pal = palette()
    return header + pal + light_tables(pal) + transparency_table(pal)


def mat_header(kind, records, bits):
    # "MAT ", version, type (2 texture), records, textures, colour mode, bits per pixel, the rest 0.
    mode = 1 if bits == 16 else 0
    head = b"MAT " + struct.pack("<iiiiii", 0x32, kind, records, records, mode, bits)
    return head + bytes(76 - len(head))


def texture_mat(width, height, pixel, bits=8):
    out = bytearray(mat_header(2, 1, bits))
    out += struct.pack("<i", 8) + bytes(36)  # one texture record
    out += struct.pack("<iiiiii", width, height, 0, 0, 0, 1)  # cel header, one mip level
    for y in range(height):
        for x in range(width):
            v = pixel(x, y)
            out += struct.pack("<H", v) if bits == 16 else bytes([v])
    return bytes(out)


def floor_pixel(x, y):
    tile = ((x // 16) + (y // 16)) % 2
    return 128 + (20 if tile else 40) + ((x * 7 + y * 3) % 9)


def wall_pixel(x, y):
    row = y // 8
    mortar = y % 8 == 7 or (x + (row % 2) * 8) % 16 == 15
    return 40 if mortar else 64 + 30 + ((x * 5 + y * 11) % 13)


def sky_pixel(x, y):
    # RGB565: a vertical gradient from deep to pale blue.
    t = y / 63
    r, g, b = int(40 + 120 * t), int(90 + 130 * t), int(200 + 55 * t)
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)


def gob(entries):
    count = len(entries)
    out = bytearray(b"GOB " + struct.pack("<ii", 0x14, 0x0C) + struct.pack("<i", count))
    offset = 16 + 136 * count
    directory, data = bytearray(), bytearray()
    for name, payload in entries:
        directory += struct.pack("<ii", offset + len(data), len(payload))
        directory += name.encode("ascii").ljust(128, b"\0")
        data += payload
    return bytes(out + directory + data)


def main():
    entries = [
        ("jkl\\sample.jkl", light_level().replace("\n", "\r\n").encode("ascii")),
        ("mat\\floor.mat", texture_mat(64, 64, floor_pixel)),
        ("mat\\wall.mat", texture_mat(64, 64, wall_pixel)),
        ("mat\\sky.mat", texture_mat(64, 64, sky_pixel, bits=16)),
        ("misc\\cmp\\sample.cmp", cmp_file()),
    ]
    path = os.path.join(HERE, "sample", "sample.gob")
    with open(path, "wb") as f:
        f.write(gob(entries))
    print("wrote", path)


if __name__ == "__main__":
    main()
