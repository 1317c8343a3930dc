#include "seal/Shell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_set>

namespace shell {
namespace {

// A box of whole cells, [Lo, Hi) on each axis.
struct TCellBox {
  int64_t Lo[3], Hi[3];
};

enum class TFit { Apart, Crosses, Holds };

// How a region lies to the box [Lo, Hi]: apart when a bound or one plane has all eight corners
// beyond it (by more than the tolerance), holding it when every corner is within all of them.
TFit Fit(const TRegion& R, const double Lo[3], const double Hi[3]) {
  const double t = OverlapTolerance;
  bool holds = true;
  for (int a = 0; a < 3; ++a) {
    if (Lo[a] > R.Max[a] + t || Hi[a] < R.Min[a] - t) return TFit::Apart;
    holds = holds && Lo[a] >= R.Min[a] - t && Hi[a] <= R.Max[a] + t;
  }
  for (const TPlane& p : R.Planes) {
    double least = 0, most = 0;
    for (int a = 0; a < 3; ++a) {
      const double u = p.Normal[a] * Lo[a], v = p.Normal[a] * Hi[a];
      least += std::min(u, v);
      most += std::max(u, v);
    }
    if (least > p.Offset + t) return TFit::Apart;
    holds = holds && most <= p.Offset + t;
  }
  return holds ? TFit::Holds : TFit::Crosses;
}

bool Finite(const TPoint& P) {
  return std::isfinite(P[0]) && std::isfinite(P[1]) && std::isfinite(P[2]);
}

// The cells of the cube [X, X + S) (per axis) that may overlap R, as one box, when every plane
// of R that crosses the cube lies across an axis (a room's floor, ceiling and upright walls):
// the test of each cell then comes down to a range per axis. False for a slanted plane.
bool AxisPart(const TRegion& R, const int64_t X[3], int64_t S, double C, TCellBox& Part) {
  const double t = OverlapTolerance;
  double lo[3], hi[3];  // the allowed cell indices, inclusive
  for (int a = 0; a < 3; ++a) {
    // A cell k may overlap the bounds when k * C <= Max + t and (k + 1) * C >= Min - t.
    lo[a] = std::ceil((R.Min[a] - t) / C) - 1;
    hi[a] = std::floor((R.Max[a] + t) / C);
  }
  for (const TPlane& p : R.Planes) {
    double least = 0, most = 0;
    for (int a = 0; a < 3; ++a) {
      const double u = p.Normal[a] * (X[a] * C), v = p.Normal[a] * ((X[a] + S) * C);
      least += std::min(u, v);
      most += std::max(u, v);
    }
    if (most <= p.Offset + t) continue;  // holds the whole cube
    int axis = -1;
    for (int a = 0; a < 3; ++a)
      if (p.Normal[a] != 0) axis = axis < 0 && std::fabs(p.Normal[a]) == 1 ? a : 3;
    if (axis < 0 || axis > 2) return false;
    const double room = (p.Offset + t) / C;
    if (p.Normal[axis] > 0)
      hi[axis] = std::min(hi[axis], std::floor(room));  // k * C <= Offset + t
    else
      lo[axis] = std::max(lo[axis], std::ceil(-room) - 1);  // (k + 1) * C >= -(Offset + t)
  }
  for (int a = 0; a < 3; ++a) {
    lo[a] = std::max(lo[a], static_cast<double>(X[a]));
    hi[a] = std::min(hi[a], static_cast<double>(X[a] + S - 1));
    if (lo[a] > hi[a]) return false;
    Part.Lo[a] = static_cast<int64_t>(lo[a]);
    Part.Hi[a] = static_cast<int64_t>(hi[a]) + 1;
  }
  return true;
}

// Joins, along axis A, boxes alike on the two other axes that meet or overlap on A (sorted so
// that such boxes follow each other). True when it joined any.
bool SweepJoin(std::vector<TCellBox>& Boxes, int A) {
  const int b = (A + 1) % 3, c = (A + 2) % 3;
  std::sort(Boxes.begin(), Boxes.end(), [&](const TCellBox& p, const TCellBox& q) {
    if (p.Lo[b] != q.Lo[b]) return p.Lo[b] < q.Lo[b];
    if (p.Hi[b] != q.Hi[b]) return p.Hi[b] < q.Hi[b];
    if (p.Lo[c] != q.Lo[c]) return p.Lo[c] < q.Lo[c];
    if (p.Hi[c] != q.Hi[c]) return p.Hi[c] < q.Hi[c];
    return p.Lo[A] < q.Lo[A];
  });
  size_t out = 0;
  for (const TCellBox& box : Boxes) {
    if (out > 0) {
      TCellBox& last = Boxes[out - 1];
      if (last.Lo[b] == box.Lo[b] && last.Hi[b] == box.Hi[b] && last.Lo[c] == box.Lo[c] &&
          last.Hi[c] == box.Hi[c] && box.Lo[A] <= last.Hi[A]) {
        last.Hi[A] = std::max(last.Hi[A], box.Hi[A]);
        continue;
      }
    }
    Boxes[out++] = box;
  }
  const bool joined = out < Boxes.size();
  Boxes.resize(out);
  return joined;
}

// Whether the boxes' volumes add up to less than their bounds': their union is then no box.
bool SurelyNoBox(const std::vector<TCellBox>& Boxes) {
  TCellBox bounds = Boxes[0];
  double sum = 0;
  for (const TCellBox& box : Boxes) {
    double volume = 1;
    for (int a = 0; a < 3; ++a) {
      bounds.Lo[a] = std::min(bounds.Lo[a], box.Lo[a]);
      bounds.Hi[a] = std::max(bounds.Hi[a], box.Hi[a]);
      volume *= static_cast<double>(box.Hi[a] - box.Lo[a]);
    }
    sum += volume;
  }
  double whole = 1;
  for (int a = 0; a < 3; ++a) whole *= static_cast<double>(bounds.Hi[a] - bounds.Lo[a]);
  return sum < whole * (1 - 1e-9);
}

// Joins Boxes into one box when their union is one (each pair in turn: one holding the other,
// or two alike on two axes that meet or overlap on the third). Sweeps along each axis join the
// rows and layers of many boxes first, so that the pairs left to test are few.
bool UnionIsBox(std::vector<TCellBox>& Boxes) {
  for (bool joined = true; joined && Boxes.size() > 1;) {
    joined = false;
    for (int a : {2, 0, 1}) joined = SweepJoin(Boxes, a) || joined;
  }
  if (Boxes.size() > 1 && SurelyNoBox(Boxes)) return false;
  for (bool joined = true; joined && Boxes.size() > 1;) {
    joined = false;
    for (size_t i = 0; i < Boxes.size() && !joined; ++i)
      for (size_t j = i + 1; j < Boxes.size() && !joined; ++j) {
        TCellBox& p = Boxes[i];
        const TCellBox& q = Boxes[j];
        int differ = 0, axis = 0;
        bool pHolds = true, qHolds = true;
        for (int a = 0; a < 3; ++a) {
          pHolds = pHolds && p.Lo[a] <= q.Lo[a] && q.Hi[a] <= p.Hi[a];
          qHolds = qHolds && q.Lo[a] <= p.Lo[a] && p.Hi[a] <= q.Hi[a];
          if (p.Lo[a] != q.Lo[a] || p.Hi[a] != q.Hi[a]) ++differ, axis = a;
        }
        if (qHolds) p = q;
        const bool meet = differ == 1 && p.Lo[axis] <= q.Hi[axis] && q.Lo[axis] <= p.Hi[axis];
        if (meet) {
          p.Lo[axis] = std::min(p.Lo[axis], q.Lo[axis]);
          p.Hi[axis] = std::max(p.Hi[axis], q.Hi[axis]);
        }
        if (pHolds || qHolds || meet) {
          Boxes.erase(Boxes.begin() + static_cast<std::ptrdiff_t>(j));
          joined = true;
        }
      }
  }
  return Boxes.size() == 1;
}

// A region's numbers as bytes: equal for regions alike to the last bit.
std::string Fingerprint(const TRegion& R) {
  std::string key;
  auto put = [&key](const double* Values, size_t Count) {
    key.append(reinterpret_cast<const char*>(Values), Count * sizeof(double));
  };
  put(R.Min.data(), 3);
  put(R.Max.data(), 3);
  for (const TPlane& p : R.Planes) {
    put(p.Normal.data(), 3);
    put(&p.Offset, 1);
  }
  return key;
}

// The octree of one grid: built top down, each cube told its regions by its parent.
class TOctree {
 public:
  TOctree(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points, double Cell,
          double Limit, size_t CellBudget)
      : regions_(Regions), cell_(Cell), budget_(CellBudget) {
    // Cells further out than the world's edge are never shell; the cube only needs to reach
    // past it, and huge coordinates must not overflow an index.
    const double reach = std::min(std::floor(Limit / Cell) + 2, 268435456.0);
    auto index = [&](double V) {
      return static_cast<int64_t>(std::clamp(std::floor(V / Cell), -reach, reach));
    };
    const double t = OverlapTolerance;
    for (int a = 0; a < 3; ++a) lo_[a] = INT64_MAX, hi_[a] = INT64_MIN;
    auto take = [&](const int64_t L[3], const int64_t H[3]) {
      for (int a = 0; a < 3; ++a) lo_[a] = std::min(lo_[a], L[a]), hi_[a] = std::max(hi_[a], H[a]);
    };
    // Deeper than any tree can grow: 2^31 cells per axis at most.
    candidates_.resize(40);
    points_.resize(40);
    std::vector<int>& all = candidates_[0];
    std::unordered_set<std::string> seen;
    for (size_t r = 0; r < Regions.size(); ++r) {
      if (!Finite(Regions[r].Min) || !Finite(Regions[r].Max)) continue;
      bool finite = true;
      for (const TPlane& p : Regions[r].Planes)
        finite = finite && Finite(p.Normal) && std::isfinite(p.Offset);
      // A region the same as one before opens no other cell (sectors may share one room).
      if (!finite || !seen.insert(Fingerprint(Regions[r])).second) continue;
      int64_t l[3], h[3];
      for (int a = 0; a < 3; ++a)
        l[a] = index(Regions[r].Min[a] - t), h[a] = index(Regions[r].Max[a] + t) + 1;
      take(l, h);
      all.push_back(static_cast<int>(r));
    }
    boxes_.resize(40);
    std::vector<int>& held = points_[0];
    for (const TPoint& p : Points) {
      if (!Finite(p)) continue;
      // The compiler lifts an entity's origin one unit before it looks for a leak from it.
      for (double lift : {0.0, 1.0}) {
        cells_.push_back({index(p[0]), index(p[1]), index(p[2] + lift)});
        const int64_t* c = cells_.back().data();
        const int64_t h[3] = {c[0] + 1, c[1] + 1, c[2] + 1};
        take(c, h);
        held.push_back(static_cast<int>(cells_.size()) - 1);
      }
    }
    if (all.empty() && held.empty()) return;
    // One closed cell around everything open, within the reach.
    int64_t size = 1;
    for (int a = 0; a < 3; ++a) {
      lo_[a] = std::max(lo_[a] - 1, static_cast<int64_t>(-reach));
      hi_[a] = std::min(hi_[a] + 1, static_cast<int64_t>(reach) + 1);
      while (size < hi_[a] - lo_[a]) size *= 2;
    }
    size_ = size;
    nodes_.push_back({});
    Grow(0, lo_[0], lo_[1], lo_[2], size_, 1);
  }

  bool OverBudget() const { return over_; }
  size_t FineCells() const { return fine_; }

  // The closed cubes that touch an open one, cut to the cells around the open ones.
  std::vector<TCellBox> ShellCells() const {
    std::vector<TCellBox> out;
    if (!nodes_.empty()) Collect(0, lo_[0], lo_[1], lo_[2], size_, out);
    return out;
  }

 private:
  struct TNode {
    int32_t Child = -1;  // the first of eight, or -1 for a leaf
    bool Open = false;
    int32_t Part = -1;  // a leaf open only within parts_[Part], closed elsewhere
  };

  void Grow(int32_t Node, int64_t X, int64_t Y, int64_t Z, int64_t S, size_t Depth) {
    if (over_) return;
    std::vector<int>& regions = candidates_[Depth];
    std::vector<int>& points = points_[Depth];
    regions.clear();
    points.clear();
    const int64_t at[3] = {X, Y, Z};
    bool inside = true;
    for (int a = 0; a < 3; ++a) inside = inside && at[a] < hi_[a] && at[a] + S > lo_[a];
    if (!inside) return;  // beyond every open cell: closed
    const double lo[3] = {X * cell_, Y * cell_, Z * cell_};
    const double hi[3] = {(X + S) * cell_, (Y + S) * cell_, (Z + S) * cell_};
    for (int r : candidates_[Depth - 1]) {
      const TFit fit = Fit(regions_[static_cast<size_t>(r)], lo, hi);
      if (fit == TFit::Holds) {
        nodes_[static_cast<size_t>(Node)].Open = true;
        return;
      }
      if (fit == TFit::Crosses) regions.push_back(r);
    }
    for (int p : points_[Depth - 1]) {
      const auto& c = cells_[static_cast<size_t>(p)];
      if (c[0] >= X && c[0] < X + S && c[1] >= Y && c[1] < Y + S && c[2] >= Z && c[2] < Z + S)
        points.push_back(p);
    }
    if (regions.empty() && points.empty()) return;
    if (points.empty() && S > 1) {
      // Where the regions' crossing planes all lie across the axes, the open cells form boxes
      // that are known without splitting the cube; when they join into one, the cube is done.
      std::vector<TCellBox>& parts = boxes_[Depth];
      parts.clear();
      TCellBox part;
      for (int r : regions) {
        if (!AxisPart(regions_[static_cast<size_t>(r)], at, S, cell_, part)) break;
        parts.push_back(part);
      }
      if (parts.size() == regions.size() && UnionIsBox(parts)) {
        nodes_[static_cast<size_t>(Node)].Part = static_cast<int32_t>(parts_.size());
        parts_.push_back(parts[0]);
        return;
      }
    }
    if (S == 1) {
      nodes_[static_cast<size_t>(Node)].Open = true;
      over_ = budget_ > 0 && ++fine_ > budget_;
      return;
    }
    const int32_t first = static_cast<int32_t>(nodes_.size());
    nodes_.resize(nodes_.size() + 8);
    nodes_[static_cast<size_t>(Node)].Child = first;
    const int64_t h = S / 2;
    for (int k = 0; k < 8; ++k)
      Grow(first + k, X + (k & 1) * h, Y + (k >> 1 & 1) * h, Z + (k >> 2 & 1) * h, h, Depth + 1);
  }

  // Whether an open cube meets the cells [Lo, Hi).
  bool MeetsOpen(int32_t Node, int64_t X, int64_t Y, int64_t Z, int64_t S, const int64_t Lo[3],
                 const int64_t Hi[3]) const {
    const int64_t at[3] = {X, Y, Z};
    for (int a = 0; a < 3; ++a)
      if (at[a] >= Hi[a] || at[a] + S <= Lo[a]) return false;
    const TNode& n = nodes_[static_cast<size_t>(Node)];
    if (n.Part >= 0) {
      const TCellBox& p = parts_[static_cast<size_t>(n.Part)];
      for (int a = 0; a < 3; ++a)
        if (p.Lo[a] >= Hi[a] || p.Hi[a] <= Lo[a]) return false;
      return true;
    }
    if (n.Child < 0) return n.Open;
    const int64_t h = S / 2;
    for (int k = 0; k < 8; ++k)
      if (MeetsOpen(n.Child + k, X + (k & 1) * h, Y + (k >> 1 & 1) * h, Z + (k >> 2 & 1) * h, h, Lo,
                    Hi))
        return true;
    return false;
  }

  void Collect(int32_t Node, int64_t X, int64_t Y, int64_t Z, int64_t S,
               std::vector<TCellBox>& Out) const {
    const TNode& n = nodes_[static_cast<size_t>(Node)];
    if (n.Child >= 0) {
      const int64_t h = S / 2;
      for (int k = 0; k < 8; ++k)
        Collect(n.Child + k, X + (k & 1) * h, Y + (k >> 1 & 1) * h, Z + (k >> 2 & 1) * h, h, Out);
      return;
    }
    if (n.Open) return;
    const TCellBox whole{{X, Y, Z}, {X + S, Y + S, Z + S}};
    if (n.Part < 0) return Closed(whole, Out);
    // The cube less its open box: two slabs along x, two along y within it, two along z.
    const TCellBox& open = parts_[static_cast<size_t>(n.Part)];
    TCellBox rest = whole;
    for (int a = 0; a < 3; ++a) {
      TCellBox below = rest, above = rest;
      below.Hi[a] = open.Lo[a];
      above.Lo[a] = open.Hi[a];
      if (below.Lo[a] < below.Hi[a]) Closed(below, Out);
      if (above.Lo[a] < above.Hi[a]) Closed(above, Out);
      rest.Lo[a] = open.Lo[a];
      rest.Hi[a] = open.Hi[a];
    }
  }

  // A closed box, when it touches an open one, cut to the cells around the open ones.
  void Closed(TCellBox box, std::vector<TCellBox>& Out) const {
    for (int a = 0; a < 3; ++a) {
      box.Lo[a] = std::max(box.Lo[a], lo_[a]);
      box.Hi[a] = std::min(box.Hi[a], hi_[a]);
      if (box.Lo[a] >= box.Hi[a]) return;
    }
    const int64_t near[3][2] = {{box.Lo[0] - 1, box.Hi[0] + 1},
                                {box.Lo[1] - 1, box.Hi[1] + 1},
                                {box.Lo[2] - 1, box.Hi[2] + 1}};
    const int64_t qlo[3] = {near[0][0], near[1][0], near[2][0]};
    const int64_t qhi[3] = {near[0][1], near[1][1], near[2][1]};
    if (MeetsOpen(0, lo_[0], lo_[1], lo_[2], size_, qlo, qhi)) Out.push_back(box);
  }

  const std::vector<TRegion>& regions_;
  double cell_;
  size_t budget_;
  size_t fine_ = 0;
  bool over_ = false;
  int64_t lo_[3], hi_[3];  // the cells that matter: the open ones and one around them
  int64_t size_ = 0;       // the root cube's side, in cells, from lo_
  std::vector<TNode> nodes_;
  std::vector<std::array<int64_t, 3>> cells_;  // the points' cells
  std::vector<TCellBox> parts_;                // the open boxes of the leaves open in part
  // Per depth: the regions and points a cube passes to its children, and the open boxes of a
  // cube (reused, so the build allocates only as deep as the tree).
  std::vector<std::vector<int>> candidates_, points_;
  std::vector<std::vector<TCellBox>> boxes_;
};

// Joins boxes that share a whole face, along z, then x, then y, until none do.
void Merge(std::vector<TCellBox>& Boxes) {
  for (bool joined = true; joined;) {
    joined = false;
    for (int a : {2, 0, 1}) {
      const int b = (a + 1) % 3, c = (a + 2) % 3;
      std::sort(Boxes.begin(), Boxes.end(), [&](const TCellBox& p, const TCellBox& q) {
        if (p.Lo[b] != q.Lo[b]) return p.Lo[b] < q.Lo[b];
        if (p.Hi[b] != q.Hi[b]) return p.Hi[b] < q.Hi[b];
        if (p.Lo[c] != q.Lo[c]) return p.Lo[c] < q.Lo[c];
        if (p.Hi[c] != q.Hi[c]) return p.Hi[c] < q.Hi[c];
        return p.Lo[a] < q.Lo[a];
      });
      size_t out = 0;
      for (const TCellBox& box : Boxes) {
        if (out > 0) {
          TCellBox& last = Boxes[out - 1];
          if (last.Lo[b] == box.Lo[b] && last.Hi[b] == box.Hi[b] && last.Lo[c] == box.Lo[c] &&
              last.Hi[c] == box.Hi[c] && last.Hi[a] == box.Lo[a]) {
            last.Hi[a] = box.Hi[a];
            joined = true;
            continue;
          }
        }
        Boxes[out++] = box;
      }
      Boxes.resize(out);
    }
  }
}

}  // namespace

bool CellMayOverlap(const TRegion& Region, int I, int J, int K, double Cell) {
  const double lo[3] = {I * Cell, J * Cell, K * Cell};
  const double hi[3] = {lo[0] + Cell, lo[1] + Cell, lo[2] + Cell};
  return Fit(Region, lo, hi) != TFit::Apart;
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

TShell BuildShellOf(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points,
                    const TShellOptions& Options) {
  TShell shell;
  for (double c = Options.Cell;; c *= 2) {
    // A coarser grid at last fits any budget: a grid as large as the world holds a few cubes.
    const bool last = c >= 2 * Options.Limit || !(c < HUGE_VAL);
    const size_t cellBudget = Options.BoxBudget > 0 && !last ? 16 * Options.BoxBudget : 0;
    TOctree tree(Regions, Points, c, Options.Limit, cellBudget);
    if (tree.OverBudget()) continue;
    std::vector<TCellBox> cells = tree.ShellCells();
    Merge(cells);
    if (Options.BoxBudget > 0 && !last && cells.size() > Options.BoxBudget) continue;
    shell.Cell = c;
    for (const TCellBox& b : cells) {
      TBox box;
      bool empty = false;
      for (int a = 0; a < 3; ++a) {
        box.Min[a] = std::max(static_cast<double>(b.Lo[a]) * c, -Options.Limit);
        box.Max[a] = std::min(static_cast<double>(b.Hi[a]) * c, Options.Limit);
        empty = empty || box.Min[a] >= box.Max[a];
      }
      if (!empty) shell.Boxes.push_back(box);
    }
    return shell;
  }
}

std::vector<TBox> BuildShell(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points,
                             const TShellOptions& Options) {
  return BuildShellOf(Regions, Points, Options).Boxes;
}

}  // namespace shell
