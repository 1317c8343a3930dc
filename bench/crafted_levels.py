#!/usr/bin/env python3
"""Writes the crafted levels that once made a stage grow faster than the level, into a folder:

    bench/crafted_levels.py DIR

lit2000/4000/8000 (one room whose floor is that many lit tiles, 20 lights), lights3000 (one room,
3,000 editor lights), chain10000 (a 10,000-deep template chain, 100 things), prism400 and
prism400water (one 600-sided prism listed by 400 sectors, the second under water), slanted200
and slanted1000 (one slanted room listed by that many sectors). Time each with
`morvane import LEVEL --game-ready` (bench/crafted.sh does)."""
import math
import os
import sys


def inward(corners, verts, inside):
    """The corners in the order whose right-hand normal points towards inside, and that normal."""
    n = [0.0, 0.0, 0.0]
    c = [0.0, 0.0, 0.0]
    for k, a in enumerate(corners):
        p, q = verts[a], verts[corners[(k + 1) % len(corners)]]
        n[0] += p[1] * q[2] - p[2] * q[1]
        n[1] += p[2] * q[0] - p[0] * q[2]
        n[2] += p[0] * q[1] - p[1] * q[0]
        for i in range(3):
            c[i] += p[i] / len(corners)
    if sum(n[i] * (inside[i] - c[i]) for i in range(3)) < 0:
        corners = corners[::-1]
        n = [-v for v in n]
    length = math.sqrt(sum(v * v for v in n)) or 1
    return corners, [v / length for v in n]


class Level:
    def __init__(self):
        self.verts, self.surfs, self.sectors, self.things, self.lights = [], [], [], [], []
        self.templates = ["walkplayer none type=player"]

    def vertex(self, x, y, z):
        self.verts.append((x, y, z))
        return len(self.verts) - 1

    def surface(self, corners, inside, light=0.5):
        corners, normal = inward(corners, self.verts, inside)
        self.surfs.append((corners, normal, light))
        return len(self.surfs) - 1

    def text(self):
        out = ["SECTION: MATERIALS", "World materials 1", "0:\twall.mat\t1.0\t1.0", "end",
               "SECTION: GEORESOURCE", "World vertices %d" % len(self.verts)]
        out += ["%d:\t%.6f %.6f %.6f" % ((i,) + v) for i, v in enumerate(self.verts)]
        out += ["World texture vertices 1", "0: 0 0", "World adjoins 0",
                "World surfaces %d" % len(self.surfs)]
        for i, (corners, _, light) in enumerate(self.surfs):
            out.append("%d:\t0\t0x4\t0\t4\t3\t0\t-1\t0\t%d %s %s" % (
                i, len(corners), " ".join("%d,0" % c for c in corners),
                " ".join("%.3f" % light for _ in corners)))
        out += ["%d:\t%.6f %.6f %.6f" % ((i,) + tuple(n)) for i, (_, n, _) in enumerate(self.surfs)]
        out += ["SECTION: SECTORS", "World sectors %d" % len(self.sectors)]
        for k, (first, count, flags) in enumerate(self.sectors):
            out += ["SECTOR %d" % k, "FLAGS 0x%x" % flags, "EXTRA LIGHT 0",
                    "SURFACES %d %d" % (first, count)]
        out += ["SECTION: TEMPLATES", "World templates %d" % len(self.templates)]
        out += self.templates + ["end", "SECTION: THINGS", "World things %d" % len(self.things)]
        out += ["%d: %s thing%d %.3f %.3f %.3f 0 0 0 0" % ((i, t, i) + p)
                for i, (t, p) in enumerate(self.things)]
        out += ["end", "SECTION: LIGHTS", "Editor lights %d" % len(self.lights)]
        out += ["%d: %d %.3f %.3f %.3f %.3f %.3f" % ((i, i) + l) for i, l in enumerate(self.lights)]
        # The reader bounds the sectors' surface references by the level's lines: room for the
        # shared ones.
        references = sum(count for _, count, _ in self.sectors)
        padding = "\n" * max(0, references - len(self.surfs) - len(out))
        return "\n".join(out + ["end", ""]) + padding


def room(level, tiles, size=20.0, height=4.0):
    """A box room whose floor is tiles x tiles lit quads; returns its inside point."""
    inside = (size / 2, size / 2, height / 2)
    step = size / tiles
    grid = [[level.vertex(i * step, j * step, 0) for j in range(tiles + 1)]
            for i in range(tiles + 1)]
    first = len(level.surfs)
    for i in range(tiles):
        for j in range(tiles):
            level.surface([grid[i][j], grid[i + 1][j], grid[i + 1][j + 1], grid[i][j + 1]],
                          inside, 0.2 + 0.6 * ((i * 7 + j * 3) % 11) / 10)
    top = [level.vertex(x, y, height) for x, y in ((0, 0), (size, 0), (size, size), (0, size))]
    low = [grid[0][0], grid[tiles][0], grid[tiles][tiles], grid[0][tiles]]
    level.surface(top, inside)
    for k in range(4):
        level.surface([low[k], low[(k + 1) % 4], top[(k + 1) % 4], top[k]], inside)
    level.sectors.append((first, len(level.surfs) - first, 0))
    level.things.append(("walkplayer", (size / 2, size / 2, 0.2)))
    return inside


def lit(n):
    level = Level()
    room(level, int(math.sqrt(n)))
    level.lights = [(1 + (k % 5) * 4, 1 + (k // 5) * 4, 2, 1.0, 6) for k in range(20)]
    return level


def lights(n):
    level = Level()
    room(level, 10)
    level.lights = [(0.5 + (k % 60) / 3.2, 0.5 + (k // 60) / 2.7, 1 + (k % 3), 0.5, 3)
                    for k in range(n)]
    return level


def chain(depth, things):
    level = Level()
    room(level, 2)
    level.templates = ["_base none type=cog model3d=none"] + [
        "t%d %s" % (i, "_base" if i == 1 else "t%d" % (i - 1)) for i in range(1, depth + 1)]
    level.things = [("t%d" % depth, (10, 10, 1))] * things
    return level


def shared_prism(sides, sectors, flags):
    level = Level()
    r, h = 20.0, 6.0
    inside = (0, 0, h / 2)
    low = [level.vertex(r * math.cos(2 * math.pi * k / sides), r * math.sin(2 * math.pi * k / sides), 0)
           for k in range(sides)]
    top = [level.vertex(level.verts[v][0], level.verts[v][1], h) for v in low]
    level.surface(low, inside)
    level.surface(top, inside)
    for k in range(sides):
        level.surface([low[k], low[(k + 1) % sides], top[(k + 1) % sides], top[k]], inside)
    level.sectors = [(0, len(level.surfs), flags)] * sectors
    level.things.append(("walkplayer", (0, 0, 0.2)))
    level.lights = [(0, 0, 3, 1, 25)]
    return level


def shared_slanted(sectors):
    level = Level()
    s, o = 30.0, -15.0
    a, b, c, d = (level.vertex(o, o, o), level.vertex(o + s, o, o), level.vertex(o, o + s, o),
                  level.vertex(o, o, o + s))
    inside = (o + s / 8,) * 3
    for face in ([a, b, c], [a, b, d], [a, c, d], [b, c, d]):
        level.surface(face, inside)
    level.sectors = [(0, 4, 0)] * sectors
    level.things.append(("walkplayer", inside))
    return level


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    levels = {"lit2000": lit(2000), "lit4000": lit(4000), "lit8000": lit(8000),
              "lights3000": lights(3000), "chain10000": chain(10000, 100),
              "prism400": shared_prism(600, 400, 0), "prism400water": shared_prism(600, 400, 2),
              "slanted200": shared_slanted(200), "slanted1000": shared_slanted(1000)}
    for name, level in levels.items():
        with open(os.path.join(out, name + ".jkl"), "w") as f:
            f.write(level.text())


if __name__ == "__main__":
    main()
