#!/usr/bin/env python3
"""How close a compiled level comes to the game: water, passability and light.

    bench/light_bench.py MORVANE [LEVEL...]        (run by hand: minutes of both cores)

Each level (default: lagoon murkyfate fallenone jmmcjk vanilla, found under ../shared/corpus) is
imported with `--game-ready` (plus EXTRA_FLAGS from the environment) and compiled with
../shared/tools/q3map2/compile.sh --light, one after another. The compiled BSP is then read back
and compared with the level's own text:

  water   underwater sectors (sector flag 0x2) whose centre lies in a brush with water contents,
          of all underwater sectors; and the BSP's water brushes
  pass    drawn adjoins (adjoin, material and geometry mode set) whose brush in the BSP is solid
          exactly when the game blocks the player (the adjoin's flag 0x2 clear), of all drawn
          adjoins that made a brush
  trans   solid surfaces whose slab carries the compiler's translucent contents (casts no shadow)
  corr, mae  the game's light at every corner of every lit surface (solid, drawn, not sky, light
          mode other than 0: corner intensity + surface extra light + sector extra light, clamped
          to 0..1) against the lightmap's luminance / 255 at that corner (moved a twentieth of the
          way towards the surface's centre, off the edge), one global scale fitted by least
          squares; the Pearson correlation and the mean absolute error after that scale.

  lights, light s  the map's light entities and the light compile's own time (its log's "light ok Ts")

With OWN=1 the map is compiled a second time with only the light entities that stand for the
level's own lights (those at a light of the level's LIGHTS section), for the light compile's
time of the level's own lights ("own s").

With BAKE=1 the compiled level is read once as compiled (the fitted lights alone) and once more
after `morvane bake`, and both figures are given (corr/mae, then bcorr/bmae for the baked one).
A fan triangle of a surface whose corners lie in line claims no point of the light metric.

WORK (default /tmp/light_bench) keeps every map, log and BSP; CORPUS overrides the corpus.
"""
import math
import os
import re
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The shared folder beside the clone (or beside the folder of worktrees).
SHARED = next((p for p in (os.path.join(HERE, "..", "..", "shared"),
                           os.path.join(HERE, "..", "..", "..", "shared")) if os.path.isdir(p)),
              os.path.join(HERE, "..", "..", "shared"))
CORPUS = os.environ.get("CORPUS", os.path.join(SHARED, "corpus"))
COMPILE = os.path.join(SHARED, "tools", "q3map2", "compile.sh")
LEVELS = ["lagoon", "murkyfate", "fallenone", "jmmcjk", "vanilla"]

CONT_SOLID, CONT_WATER, CONT_TRANS = 0x1, 0x4, 0x80000000


def find_level(name):
    for p in (os.path.join(CORPUS, "jkl", name + ".jkl"),
              os.path.join(CORPUS, "more", "levels", name, "jkl", name + ".jkl")):
        if os.path.isfile(p):
            return p
    return None


def num(w):
    try:
        return int(w, 0) if re.match(r"^-?(0x)?[0-9a-fA-F]+$", w) and "." not in w else float(w)
    except ValueError:
        return float(w)


class Level:
    """The parts of a JKL text this benchmark needs, read plainly."""

    def __init__(self, path):
        lines = [l.split("#")[0].split() for l in open(path, encoding="latin-1")]
        self.verts, self.adjoins, self.surfaces, self.sectors = [], [], [], []
        i, n = 0, len(lines)

        def table(keyword, i):
            words = len(keyword.split())
            while i < n and " ".join(lines[i][:words]).lower() != keyword:
                i += 1
            count = int(re.sub(r"\D", "", lines[i][words]))
            rows, k = [], i + 1
            while len(rows) < count and k < n:
                if lines[k] and lines[k][0] == "%d:" % len(rows):
                    rows.append(lines[k])
                k += 1
            return rows, k

        rows, i = table("world vertices", i)
        self.verts = [tuple(float(x) for x in r[1:4]) for r in rows]
        _, i = table("world texture vertices", i)
        rows, i = table("world adjoins", i)
        self.adjoins = [(int(r[1], 0), int(r[2])) for r in rows]
        rows, i = table("world surfaces", i)
        for r in rows:
            nv = int(r[9])
            self.surfaces.append({
                "mat": int(r[1]), "flags": int(r[2], 0), "face": int(r[3], 0), "geo": int(r[4]),
                "light": int(r[5]), "adjoin": int(r[7]), "extra": float(r[8]),
                "verts": [int(p.split(",")[0]) for p in r[10:10 + nv]],
                "int": [float(x) for x in r[10 + nv:10 + 2 * nv]]})
        k = 0
        while k < len(self.surfaces) and i < n:
            if lines[i] and lines[i][0] == "%d:" % k:
                self.surfaces[k]["normal"] = tuple(float(x) for x in lines[i][1:4])
                k += 1
            i += 1
        sector = None
        while i < n:
            w = lines[i]
            i += 1
            if not w:
                continue
            key = w[0].upper()
            if key == "SECTOR" and len(w) == 2:
                sector = {"flags": 0, "extra": 0.0, "center": (0, 0, 0), "radius": 0.0}
                self.sectors.append(sector)
            elif sector is None:
                continue
            elif key == "FLAGS":
                sector["flags"] = int(w[1], 0)
            elif key == "EXTRA":
                sector["extra"] = float(w[2])
            elif key == "CENTER":
                sector["center"] = tuple(float(x) for x in w[1:4])
            elif key == "SURFACES":
                first, count = int(w[1]), int(w[2])
                for s in range(first, first + count):
                    self.surfaces[s]["sector"] = len(self.sectors) - 1
                sector = None
            elif w[0].lower() == "section:" and len(w) > 1 and w[1].lower() == "things":
                break
        self.lights = []
        at = next((k for k in range(n) if [x.lower() for x in lines[k][:2]] == ["section:", "lights"]), n)
        for w in lines[at + 1:]:
            if w and w[0].lower() in ("end", "section:"):
                break
            if len(w) >= 7 and re.match(r"^\d+:$", w[0]):
                self.lights.append(tuple(float(x) for x in w[2:5]))

    def drawn(self, s):
        return s["adjoin"] != -1 and s["mat"] != -1 and s["geo"] != 0


class Bsp:
    def __init__(self, path):
        d = open(path, "rb").read()
        self.d = d

        def lump(i):
            o, n = struct.unpack_from("<ii", d, 8 + 8 * i)
            return d[o:o + n]
        sh = lump(1)
        self.contents = [struct.unpack_from("<i", sh, k + 68)[0] & 0xffffffff
                         for k in range(0, len(sh), 72)]
        pl = lump(2)
        self.planes = [struct.unpack_from("<4f", pl, k) for k in range(0, len(pl), 16)]
        br, bs = lump(8), lump(9)
        sides = [struct.unpack_from("<i", bs, k)[0] for k in range(0, len(bs), 12)]
        self.brushes = []
        for k in range(0, len(br), 12):
            first, count, shader = struct.unpack_from("<3i", br, k)
            self.brushes.append(([self.planes[p] for p in sides[first:first + count]],
                                 self.contents[shader]))
        self.grid = Grid(64)
        for b, (planes, _) in enumerate(self.brushes):
            lo, hi = box_of(planes)
            if lo is not None:
                self.grid.add(lo, hi, b)
        verts = lump(10)
        vsize = 80  # position, st, four lightmap st, normal, four colours
        self.vpos = [struct.unpack_from("<3f", verts, k) for k in range(0, len(verts), vsize)]
        self.vlm = [struct.unpack_from("<2f", verts, k + 20) for k in range(0, len(verts), vsize)]
        idx = lump(11)
        self.indexes = struct.unpack_from("<%di" % (len(idx) // 4), idx)
        self.lightmaps = lump(14)
        su = lump(13)
        self.tris = Grid(64)
        self.trilist = []
        for k in range(0, len(su), 148):
            shader, fog, kind, fv, nv, fi, ni = struct.unpack_from("<7i", su, k)
            lmnum = struct.unpack_from("<i", su, k + 36)[0]
            if lmnum < 0 or kind not in (1, 3):
                continue
            for t in range(fi, fi + ni - 2, 3):
                tri = [fv + self.indexes[t + j] for j in range(3)]
                ps = [self.vpos[v] for v in tri]
                lo = [min(p[a] for p in ps) for a in range(3)]
                hi = [max(p[a] for p in ps) for a in range(3)]
                self.tris.add(lo, hi, len(self.trilist))
                self.trilist.append((tri, lmnum))

    def brushes_at(self, p):
        out = []
        for b in self.grid.at(p):
            planes, contents = self.brushes[b]
            if all(n[0] * p[0] + n[1] * p[1] + n[2] * p[2] - n[3] <= 0.01 for n in planes):
                out.append(contents)
        return out

    def light_at(self, p, normal):
        best = None
        for t in self.tris.at(p):
            tri, lmnum = self.trilist[t]
            a, b, c = (self.vpos[v] for v in tri)
            n = cross(sub(b, a), sub(c, a))
            ln = math.sqrt(dot(n, n))
            if ln == 0:
                continue
            n = tuple(x / ln for x in n)
            if abs(dot(n, normal)) < 0.9 or abs(dot(sub(p, a), n)) > 1.0:
                continue
            w = barycentric(p, a, b, c, n)
            if w is None or min(w) < -0.02:
                continue
            if best is None or min(w) > best[0]:
                best = (min(w), tri, w, lmnum)
        if best is None:
            return None
        _, tri, w, lmnum = best
        s = sum(w[j] * self.vlm[tri[j]][0] for j in range(3))
        t = sum(w[j] * self.vlm[tri[j]][1] for j in range(3))
        return self.sample(lmnum, s, t)

    def sample(self, lmnum, s, t):
        size = 128
        base = lmnum * size * size * 3
        if base + size * size * 3 > len(self.lightmaps):
            return None
        x = min(size - 1, max(0, int(s * size)))
        y = min(size - 1, max(0, int(t * size)))
        o = base + (y * size + x) * 3
        r, g, b = self.lightmaps[o:o + 3]
        return (0.299 * r + 0.587 * g + 0.114 * b) / 255.0


class Grid:
    def __init__(self, cell):
        self.cell, self.cells = cell, {}

    def add(self, lo, hi, item):
        c = self.cell
        for x in range(int(math.floor(lo[0] / c)), int(math.floor(hi[0] / c)) + 1):
            for y in range(int(math.floor(lo[1] / c)), int(math.floor(hi[1] / c)) + 1):
                for z in range(int(math.floor(lo[2] / c)), int(math.floor(hi[2] / c)) + 1):
                    self.cells.setdefault((x, y, z), []).append(item)

    def at(self, p):
        c = self.cell
        return self.cells.get(tuple(int(math.floor(v / c)) for v in p), [])


def box_of(planes):
    lo, hi = [-1e9] * 3, [1e9] * 3
    for n in planes:
        for a in range(3):
            if abs(n[a]) > 0.9999:
                if n[a] > 0:
                    hi[a] = min(hi[a], n[3] / n[a])
                else:
                    lo[a] = max(lo[a], n[3] / n[a])
    if any(hi[a] - lo[a] > 1e6 for a in range(3)):
        return None, None
    return lo, hi


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def barycentric(p, a, b, c, n):
    area = dot(cross(sub(b, a), sub(c, a)), n)
    if area == 0:
        return None
    wa = dot(cross(sub(b, p), sub(c, p)), n) / area
    wb = dot(cross(sub(c, p), sub(a, p)), n) / area
    return (wa, wb, 1 - wa - wb)


def fan_light(ps, light, q, n):
    """The game's corner light at q, interpolated over the fan the game draws from the first
    corner; fan triangles whose corners lie in line are passed over. None when no triangle of
    the fan holds q."""
    best = None
    for k in range(1, len(ps) - 1):
        a, b, c = ps[0], ps[k], ps[k + 1]
        cr = cross(sub(b, a), sub(c, a))
        longest = max(math.sqrt(dot(sub(y, x), sub(y, x))) for x, y in ((a, b), (b, c), (c, a)))
        if math.sqrt(dot(cr, cr)) <= 1e-6 * longest * longest:
            continue
        w = barycentric(q, a, b, c, n)
        if w is not None and (best is None or min(w) > min(best[0])):
            best = (w, (light[0], light[k], light[k + 1]))
    if best is None:
        return None
    w, ls = best
    w = [max(0.0, x) for x in w]
    total = sum(w) or 1.0
    return sum(x / total * l for x, l in zip(w, ls))


def measure(level, bsp, scale):
    """The figures of one compiled level."""
    S = lambda v: (v[0] * scale, v[1] * scale, v[2] * scale)
    under = [s for s in level.sectors if s["flags"] & 0x2]
    wet = sum(1 for s in under if any(c & CONT_WATER for c in bsp.brushes_at(S(s["center"]))))
    water_brushes = sum(1 for _, c in bsp.brushes if c & CONT_WATER)

    pass_ok = pass_all = pass_missing = walls_trans = 0
    game, compiled = [], []
    for s in level.surfaces:
        if len(s["verts"]) < 3 or "sector" not in s:
            continue
        ps = [S(level.verts[v]) for v in s["verts"]]
        centre = tuple(sum(p[a] for p in ps) / len(ps) for a in range(3))
        n = s["normal"]
        if level.drawn(s):
            found = bsp.brushes_at(tuple(centre[a] - 0.5 * n[a] for a in range(3))) + \
                bsp.brushes_at(tuple(centre[a] + 0.5 * n[a] for a in range(3)))
            found = [c for c in found if not (c & CONT_WATER and not c & CONT_SOLID and
                                              not c & 0x08000000)] or found
            if not found:
                pass_missing += 1
            else:
                pass_all += 1
                game_solid = not (level.adjoins[s["adjoin"]][0] & 0x2)
                if any(c & CONT_SOLID for c in found) == game_solid:
                    pass_ok += 1
        elif s["adjoin"] == -1 and s["mat"] != -1 and s["geo"] != 0 and not s["flags"] & 0x600:
            inside = bsp.brushes_at(tuple(centre[a] - 2 * n[a] for a in range(3)))
            if any(c & CONT_TRANS for c in inside if c & CONT_SOLID):
                walls_trans += 1
        lit = (s["mat"] != -1 and s["geo"] != 0 and s["light"] != 0 and not s["flags"] & 0x600
               and (s["adjoin"] == -1 or level.drawn(s)))
        if not lit:
            continue
        extra = s["extra"] + level.sectors[s["sector"]]["extra"]
        for p in ps:
            q = tuple(p[a] + 0.05 * (centre[a] - p[a]) for a in range(3))
            i = fan_light(ps, s["int"], q, n)
            c = bsp.light_at(q, n) if i is not None else None
            if c is None:
                continue
            game.append(min(1.0, max(0.0, i + extra)))
            compiled.append(c)
    corr = mae = float("nan")
    if len(game) > 2:
        mg, mc = sum(game) / len(game), sum(compiled) / len(compiled)
        cov = sum((g - mg) * (c - mc) for g, c in zip(game, compiled))
        vg = sum((g - mg) ** 2 for g in game)
        vc = sum((c - mc) ** 2 for c in compiled)
        corr = cov / math.sqrt(vg * vc) if vg > 0 and vc > 0 else float("nan")
        cc = sum(c * c for c in compiled)
        k = sum(g * c for g, c in zip(game, compiled)) / cc if cc > 0 else 0
        mae = sum(abs(k * c - g) for g, c in zip(game, compiled)) / len(game)
    return {"water": "%d/%d" % (wet, len(under)), "wbrush": water_brushes,
            "pass": "%d/%d" % (pass_ok, pass_all), "nobrush": pass_missing,
            "trans": walls_trans, "corners": len(game), "corr": corr, "mae": mae}


def own_lights_map(mapfile, level, scale, out):
    """The map with only the light entities at the level's own lights."""
    own = {tuple(round(c * scale) for c in p) for p in level.lights}
    text = open(mapfile, encoding="latin-1").read()
    blocks = re.split(r"(?m)^(?=\{\n)", text)
    kept = []
    for b in blocks:
        if '"classname" "light"' in b:
            m = re.search(r'"origin" "([^"]+)"', b)
            if not m or tuple(round(float(x)) for x in m.group(1).split()) not in own:
                continue
        kept.append(b)
    open(out, "w", encoding="latin-1").write("".join(kept))
    return sum(1 for b in kept if '"classname" "light"' in b)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    morvane = os.path.abspath(sys.argv[1])
    names = sys.argv[2:] or LEVELS
    work = os.environ.get("WORK", "/tmp/light_bench")
    extra = os.environ.get("EXTRA_FLAGS", "").split()
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
    bake = os.environ.get("BAKE") == "1"
    print("%-10s %7s %6s %9s %7s %6s %8s %6s %6s %6s %7s %s" %
          ("level", "water", "wbrush", "pass", "nobrush", "trans", "corners", "corr", "mae",
           "lights", "light s", " bcorr   bmae" if bake else ""))
    corrs, maes, bcorrs, bmaes = [], [], [], []
    for name in names:
        path = find_level(name)
        if not path:
            print("%s: not in the corpus" % name)
            continue
        game = os.path.join(work, name)
        maps = os.path.join(game, "GameData", "base", "maps")
        subprocess.run(["rm", "-rf", game])
        os.makedirs(maps)
        ini = os.path.join(work, name + ".ini")
        open(ini, "w").close()
        mapfile = os.path.join(maps, name + ".map")
        with open(os.path.join(work, name + ".console.txt"), "w") as out:
            subprocess.run([morvane, "import", path, "--game-dir", game, "--settings", ini,
                            "--map", mapfile, "--game-ready"] + extra,
                           stdout=out, stderr=subprocess.STDOUT, env=env)
        console = open(os.path.join(work, name + ".console.txt")).read()
        m = re.search(r"imports? (?:it )?at Scale ([0-9.]+)", console)
        scale = float(m.group(1)) if m else 256.0
        r = subprocess.run([COMPILE, "--light", mapfile], capture_output=True, text=True)
        bspfile = os.path.join(maps, name + ".bsp")
        if not os.path.isfile(bspfile):
            print("%s: no BSP (%s)" % (name, r.stdout.strip()))
            continue
        lights = sum(1 for l in open(mapfile, encoding="latin-1") if l.strip() == '"classname" "light"')
        m = re.search(r"light \w+ ([0-9.]+)s", r.stdout)
        secs = float(m.group(1)) if m else float("nan")
        level = Level(path)
        f = measure(level, Bsp(bspfile), scale)
        own = ""
        if os.environ.get("OWN") == "1":
            ownmap = os.path.join(maps, name + "_own.map")
            kept = own_lights_map(mapfile, level, scale, ownmap)
            o = subprocess.run([COMPILE, "--light", ownmap], capture_output=True, text=True)
            m = re.search(r"light \w+ ([0-9.]+)s", o.stdout)
            own = "own %d lights %ss" % (kept, m.group(1) if m else "?")
        corrs.append(f["corr"])
        maes.append(f["mae"])
        baked = ""
        if bake:
            b = subprocess.run([morvane, "bake", bspfile], capture_output=True, text=True, env=env)
            if b.returncode != 0:
                baked = "bake failed: " + b.stderr.strip()
            else:
                g = measure(level, Bsp(bspfile), scale)
                bcorrs.append(g["corr"])
                bmaes.append(g["mae"])
                baked = "%6.3f %6.3f" % (g["corr"], g["mae"])
        print("%-10s %7s %6d %9s %7d %6d %8d %6.3f %6.3f %6d %7.1f %s  %s" %
              (name, f["water"], f["wbrush"], f["pass"], f["nobrush"], f["trans"], f["corners"],
               f["corr"], f["mae"], lights, secs, baked,
               ("leaked " if "leaked yes" in r.stdout else "") + own), flush=True)
    med = lambda v: sorted(v)[len(v) // 2]
    if corrs:
        print("median     corr %.3f  mae %.3f  lowest corr %.3f" % (med(corrs), med(maes), min(corrs)))
    if bcorrs:
        print("baked      corr %.3f  mae %.3f  lowest corr %.3f  highest mae %.3f" %
              (med(bcorrs), med(bmaes), min(bcorrs), max(bmaes)))


if __name__ == "__main__":
    main()
