#include "brush/Shell.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace shell {
namespace {

// Cells from Low to High along z, both included.
struct TRun {
  int Low, High;
};
using TColumns = std::unordered_map<uint64_t, std::vector<TRun>>;

uint64_t ColumnKey(int I, int J) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(I)) << 32) | static_cast<uint32_t>(J);
}
int KeyI(uint64_t Key) { return static_cast<int32_t>(static_cast<uint32_t>(Key >> 32)); }
int KeyJ(uint64_t Key) { return static_cast<int32_t>(static_cast<uint32_t>(Key)); }

// The cell index holding coordinate V, kept a little beyond the world's edge: cells further out
// are never shell, and huge coordinates must not overflow an index.
int CellIndex(double V, const TShellOptions& O) {
  const double reach = std::floor(O.Limit / O.Cell) + 2;
  return static_cast<int>(std::clamp(std::floor(V / O.Cell), -reach, reach));
}

// The run of cells of column (I, J) that may overlap R: for each plane, the cells whose lowest
// corner (towards the back of the plane) is not in front of it form a half-line of z.
bool ColumnRun(const TRegion& R, int I, int J, double C, TRun& Run) {
  const double x0 = I * C, x1 = x0 + C, y0 = J * C, y1 = y0 + C;
  const double t = OverlapTolerance;
  if (x0 > R.Max[0] + t || x1 < R.Min[0] - t || y0 > R.Max[1] + t || y1 < R.Min[1] - t)
    return false;
  double low = std::floor((R.Min[2] - t) / C), high = std::floor((R.Max[2] + t) / C);
  // A cell [z0, z0 + C) overlaps the bounds when z0 + C > Min - t: the cell ending right there
  // is left out by floor already.
  for (const TPlane& p : R.Planes) {
    const double nx = p.Normal[0], ny = p.Normal[1], nz = p.Normal[2];
    const double room = p.Offset + t - std::min(nx * x0, nx * x1) - std::min(ny * y0, ny * y1);
    if (nz > 0) {
      high = std::min(high, std::floor(room / nz / C));  // z0 <= room / nz
    } else if (nz < 0) {
      low = std::max(low, std::ceil(room / nz / C - 1));  // z0 + C >= room / nz
    } else if (room < 0) {
      return false;
    }
    if (low > high) return false;
  }
  Run = {static_cast<int>(low), static_cast<int>(high)};
  return true;
}

// Sorts runs and joins those that overlap or meet.
void Normalise(std::vector<TRun>& Runs) {
  std::sort(Runs.begin(), Runs.end(), [](const TRun& a, const TRun& b) { return a.Low < b.Low; });
  size_t out = 0;
  for (const TRun& r : Runs) {
    if (out > 0 && r.Low <= Runs[out - 1].High + 1)
      Runs[out - 1].High = std::max(Runs[out - 1].High, r.High);
    else
      Runs[out++] = r;
  }
  Runs.resize(out);
}

// The cells of A that are not in B; both normalised.
std::vector<TRun> Subtract(const std::vector<TRun>& A, const std::vector<TRun>& B) {
  std::vector<TRun> out;
  size_t b = 0;
  for (TRun r : A) {
    while (b < B.size() && B[b].High < r.Low) ++b;
    for (size_t k = b; k < B.size() && B[k].Low <= r.High; ++k) {
      if (B[k].Low > r.Low) out.push_back({r.Low, B[k].Low - 1});
      r.Low = B[k].High + 1;
    }
    if (r.Low <= r.High) out.push_back(r);
  }
  return out;
}

struct TShellRun {
  int I, J, Low, High;
  bool operator==(const TShellRun& o) const {
    return I == o.I && J == o.J && Low == o.Low && High == o.High;
  }
};
struct TShellRunHash {
  size_t operator()(const TShellRun& r) const {
    uint64_t h = ColumnKey(r.I, r.J) * 0x9E3779B97F4A7C15ull;
    h ^= (static_cast<uint64_t>(static_cast<uint32_t>(r.Low)) << 32 |
          static_cast<uint32_t>(r.High)) +
         0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
  }
};

}  // namespace

bool CellMayOverlap(const TRegion& Region, int I, int J, int K, double Cell) {
  TRun run;
  return ColumnRun(Region, I, J, Cell, run) && run.Low <= K && K <= run.High;
}

bool RegionHolds(const TRegion& Region, const TPoint& Point) {
  const double t = OverlapTolerance;
  for (int a = 0; a < 3; ++a)
    if (Point[a] < Region.Min[a] - t || Point[a] > Region.Max[a] + t) return false;
  for (const TPlane& p : Region.Planes)
    if (p.Normal[0] * Point[0] + p.Normal[1] * Point[1] + p.Normal[2] * Point[2] > p.Offset + t)
      return false;
  return true;
}

std::vector<TBox> BuildShell(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points,
                             const TShellOptions& Options) {
  const double c = Options.Cell;
  const double t = OverlapTolerance;
  TColumns open;
  for (const TRegion& r : Regions) {
    const int i0 = CellIndex(r.Min[0] - t, Options), i1 = CellIndex(r.Max[0] + t, Options);
    const int j0 = CellIndex(r.Min[1] - t, Options), j1 = CellIndex(r.Max[1] + t, Options);
    for (int i = i0; i <= i1; ++i)
      for (int j = j0; j <= j1; ++j) {
        TRun run;
        if (ColumnRun(r, i, j, c, run)) {
          // Beyond the edge nothing is built; the run only needs to reach past it.
          run.Low = std::max(run.Low, CellIndex(-Options.Limit, Options) - 1);
          run.High = std::min(run.High, CellIndex(Options.Limit, Options) + 1);
          if (run.Low <= run.High) open[ColumnKey(i, j)].push_back(run);
        }
      }
  }
  for (const TPoint& p : Points) {
    // The compiler lifts an entity's origin one unit before it looks for a leak from it.
    for (double lift : {0.0, 1.0}) {
      const int k = CellIndex(p[2] + lift, Options);
      open[ColumnKey(CellIndex(p[0], Options), CellIndex(p[1], Options))].push_back({k, k});
    }
  }
  for (auto& column : open) Normalise(column.second);

  // Shell runs per column: the open runs of the nine columns around it, one cell longer at
  // either end, less its own open cells.
  TColumns shell;
  for (const auto& column : open)
    for (int di = -1; di <= 1; ++di)
      for (int dj = -1; dj <= 1; ++dj)
        shell[ColumnKey(KeyI(column.first) + di, KeyJ(column.first) + dj)];
  std::vector<TShellRun> runs;
  for (auto& column : shell) {
    const int i = KeyI(column.first), j = KeyJ(column.first);
    std::vector<TRun> near;
    for (int di = -1; di <= 1; ++di)
      for (int dj = -1; dj <= 1; ++dj) {
        const auto it = open.find(ColumnKey(i + di, j + dj));
        if (it == open.end()) continue;
        for (const TRun& r : it->second) near.push_back({r.Low - 1, r.High + 1});
      }
    Normalise(near);
    const auto own = open.find(column.first);
    for (const TRun& r : own == open.end() ? near : Subtract(near, own->second))
      runs.push_back({i, j, r.Low, r.High});
  }

  // Greedy merge: a run grows into a row along x over columns holding the very same run, and
  // the row grows along y while the next row holds it whole.
  std::sort(runs.begin(), runs.end(), [](const TShellRun& a, const TShellRun& b) {
    return a.J != b.J ? a.J < b.J : a.I != b.I ? a.I < b.I : a.Low < b.Low;
  });
  std::unordered_map<TShellRun, size_t, TShellRunHash> index;
  index.reserve(runs.size());
  for (size_t k = 0; k < runs.size(); ++k) index.emplace(runs[k], k);
  std::vector<bool> used(runs.size(), false);
  auto take = [&](int i, int j, int low, int high) {
    const auto it = index.find({i, j, low, high});
    return it != index.end() && !used[it->second] ? static_cast<long>(it->second) : -1L;
  };

  std::vector<TBox> boxes;
  for (size_t k = 0; k < runs.size(); ++k) {
    if (used[k]) continue;
    const TShellRun& r = runs[k];
    used[k] = true;
    int w = 1, h = 1;
    for (long n; (n = take(r.I + w, r.J, r.Low, r.High)) >= 0; ++w)
      used[static_cast<size_t>(n)] = true;
    for (;; ++h) {
      std::vector<size_t> row;
      for (int x = 0; x < w; ++x) {
        const long n = take(r.I + x, r.J + h, r.Low, r.High);
        if (n < 0) break;
        row.push_back(static_cast<size_t>(n));
      }
      if (row.size() != static_cast<size_t>(w)) break;
      for (size_t n : row) used[n] = true;
    }
    TBox box{{r.I * c, r.J * c, r.Low * c}, {(r.I + w) * c, (r.J + h) * c, (r.High + 1.0) * c}};
    bool empty = false;
    for (int a = 0; a < 3; ++a) {
      box.Min[a] = std::max(box.Min[a], -Options.Limit);
      box.Max[a] = std::min(box.Max[a], Options.Limit);
      empty = empty || box.Min[a] >= box.Max[a];
    }
    if (!empty) boxes.push_back(box);
  }
  return boxes;
}

}  // namespace shell
