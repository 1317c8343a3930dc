#include "seal/Seal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>

#include "rtl/SysUtils.h"

// The shell's boxes at most: a shell of more is built on a coarser grid. The corpus's largest
// shells hold about 1,300 boxes; a shell of a few thousand leaves the compiler's vis a few
// thousand clusters at most.
constexpr size_t ShellBoxBudget = 4096;

namespace {

using shell::TPoint;

TPoint Sub(const TPoint& a, const TPoint& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
TPoint Cross(const TPoint& a, const TPoint& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const TPoint& a, const TPoint& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
TPoint At(const TVertex* v, double s = 1) { return {s * v->X, s * v->Y, s * v->Z}; }

// The sum of the edges' cross products (Newell): twice the area along the right-hand normal of
// the corners' order.
TPoint AreaVector(const std::vector<TPoint>& p) {
  TPoint n{0, 0, 0};
  for (size_t k = 0; k < p.size(); ++k) {
    const TPoint c = Cross(p[k], p[(k + 1) % p.size()]);
    n = {n[0] + c[0], n[1] + c[1], n[2] + c[2]};
  }
  return n;
}

// Face planes of a brush as the hand-off gives them: through the first two corners and the
// centre, the normal pointing out.
struct TFacePlane {
  TPoint Normal;
  double Offset;
};

std::string Coordinates(const TVector3& p) {
  return rtl::FloatToStr(p.X) + " " + rtl::FloatToStr(p.Y) + " " + rtl::FloatToStr(p.Z);
}

}  // namespace

std::vector<shell::TRegion> SectorRegions(const TJKLevel& Level, double Scale,
                                          std::vector<int>* RegionOf) {
  std::vector<shell::TRegion> regions;
  if (RegionOf) RegionOf->assign(static_cast<size_t>(std::max(Level.Sectors.Count(), 0)), -1);
  const double t = shell::OverlapTolerance;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    shell::TRegion r;
    r.Min = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    r.Max = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    std::vector<TPoint> all;
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      for (int j = 0; j < s->Vertices.Count(); ++j) all.push_back(At(s->Vertices.Items(j), Scale));
    }
    if (all.empty()) continue;
    for (const TPoint& p : all)
      for (int a = 0; a < 3; ++a)
        r.Min[a] = std::min(r.Min[a], p[a]), r.Max[a] = std::max(r.Max[a], p[a]);

    bool convex = true;
    for (int k = 0; k < sector->Surfaces.Count() && convex; ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      std::vector<TPoint> corners;
      for (int j = 0; j < s->Vertices.Count(); ++j)
        corners.push_back(At(s->Vertices.Items(j), Scale));
      // The surface's normal points into its sector: the plane's front is the other way.
      const TPoint n = AreaVector(corners);
      const double length = std::sqrt(Dot(n, n));
      if (corners.size() < 3 || !(length > 1e-9)) {
        convex = false;
        break;
      }
      const TPoint out{-n[0] / length, -n[1] / length, -n[2] / length};
      double offset = -HUGE_VAL;
      for (const TPoint& p : corners) offset = std::max(offset, Dot(out, p));
      double reach = offset;
      for (const TPoint& p : all) reach = std::max(reach, Dot(out, p));
      if (reach > offset + t) convex = false;
      r.Planes.push_back({out, reach});
    }
    if (!convex) r.Planes.clear();
    if (RegionOf) (*RegionOf)[static_cast<size_t>(i)] = static_cast<int>(regions.size());
    regions.push_back(std::move(r));
  }
  return regions;
}

bool InAnyRegion(const std::vector<shell::TRegion>& Regions, const TPoint& P) {
  for (const shell::TRegion& r : Regions)
    if (shell::RegionHolds(r, P)) return true;
  return false;
}

namespace {

// The largest side of each box, for the grid's cubes.
double CellOf(const std::vector<shell::TBox>& Boxes) {
  std::vector<double> sizes;
  sizes.reserve(Boxes.size());
  for (const shell::TBox& b : Boxes)
    sizes.push_back(std::max({b.Max[0] - b.Min[0], b.Max[1] - b.Min[1], b.Max[2] - b.Min[2]}));
  return TSpatialGrid::CellFor(std::move(sizes));
}

std::vector<shell::TBox> RegionBounds(const std::vector<shell::TRegion>& Regions) {
  const double t = shell::OverlapTolerance;
  std::vector<shell::TBox> bounds;
  bounds.reserve(Regions.size());
  for (const shell::TRegion& r : Regions)
    bounds.push_back(
        {{r.Min[0] - t, r.Min[1] - t, r.Min[2] - t}, {r.Max[0] + t, r.Max[1] + t, r.Max[2] + t}});
  return bounds;
}

}  // namespace

TRegionIndex::TRegionIndex(const std::vector<shell::TRegion>& Regions)
    : regions_(Regions), grid_(0) {
  const std::vector<shell::TBox> bounds = RegionBounds(Regions);
  grid_ = TSpatialGrid(CellOf(bounds));
  for (size_t i = 0; i < bounds.size(); ++i)
    grid_.Add(static_cast<int>(i), bounds[i].Min.data(), bounds[i].Max.data());
}

bool TRegionIndex::Holds(const TPoint& P, int Hint) const {
  if (Hint >= 0 && static_cast<size_t>(Hint) < regions_.size() &&
      shell::RegionHolds(regions_[static_cast<size_t>(Hint)], P))
    return true;
  grid_.Query(P.data(), P.data(), near_);
  for (int i : near_)
    if (shell::RegionHolds(regions_[static_cast<size_t>(i)], P)) return true;
  return false;
}

void AddShellBrushes(const std::vector<shell::TBox>& Boxes, T3DMeshList& Brushes) {
  for (const shell::TBox& b : Boxes) {
    T3DMesh* brush = Brushes.AddNew();
    brush->Brush.Kind = TBrushKind::ShellBox;
    brush->Reserve(8, 6, 24);
    TVertex* v[8];
    for (int c = 0; c < 8; ++c)
      v[c] = brush->AddNewVertex(c & 1 ? b.Max[0] : b.Min[0], c & 2 ? b.Max[1] : b.Min[1],
                                 c & 4 ? b.Max[2] : b.Min[2]);
    // Per axis and side: the four corners of that face, around it.
    for (int axis = 0; axis < 3; ++axis)
      for (int side = 0; side < 2; ++side) {
        const int bit = 1 << axis, u = 1 << ((axis + 1) % 3), w = 1 << ((axis + 2) % 3);
        const int base = side ? bit : 0;
        int corner[4] = {base, base | u, base | u | w, base | w};
        // (c0 - c1) x (centre - c1) must point out of the box: towards +axis on side 1.
        const TPoint p0 = At(v[corner[0]]), p1 = At(v[corner[1]]), p2 = At(v[corner[2]]);
        const TPoint centre{(p0[0] + p2[0]) / 2, (p0[1] + p2[1]) / 2, (p0[2] + p2[2]) / 2};
        const double along = Cross(Sub(p0, p1), Sub(centre, p1))[static_cast<size_t>(axis)];
        if ((along > 0) != (side == 1)) std::swap(corner[1], corner[3]);
        TSurface* face = brush->AddNewSurface();
        brush->ReserveCorners(*face, 4, false);
        for (int c : corner) face->Vertices.Add(v[c]);
      }
  }
}

namespace {

// Whether P lies more than 0.01 unit inside every face plane of Brush (its faces through the
// first two corners and the centre, as the hand-off gives them).
bool HoldsPoint(const T3DMesh& Brush, const TPoint& P) {
  for (int f = 0; f < Brush.Surfaces.Count(); ++f) {
    const TSurface* face = Brush.Surfaces.Items(f);
    if (face->Vertices.Count() < 3) continue;
    TVector3 c;
    face->GetCentre(c);
    const TPoint a = At(face->Vertices.Items(0)), b = At(face->Vertices.Items(1));
    const TPoint n = Cross(Sub(a, b), Sub(TPoint{c.X, c.Y, c.Z}, b));
    const double length = std::sqrt(Dot(n, n));
    if (!(length > 0)) continue;
    if (!(Dot(n, Sub(P, b)) / length < -0.01)) return false;
  }
  return true;
}

bool StrictlyWithin(const shell::TBox& B, const TPoint& P) {
  for (int a = 0; a < 3; ++a)
    if (!(P[a] > B.Min[a] && P[a] < B.Max[a])) return false;
  return true;
}

}  // namespace

TBrushBounds::TBrushBounds(const T3DMeshList& Brushes, int Count) : grid_(0) {
  Bounds.reserve(static_cast<size_t>(std::max(Count, 0)));
  for (int i = 0; i < Count; ++i) {
    const T3DMesh* brush = Brushes.Items(i);
    // A brush without corners holds nothing: its bounds are empty. Water buries nothing either:
    // a thing in it swims.
    shell::TBox b{{HUGE_VAL, HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
    if (brush->Brush.Kind == TBrushKind::WaterVolume) {
      Bounds.push_back(b);
      continue;
    }
    for (int k = 0; k < brush->Vertices.Count(); ++k) {
      const TPoint p = At(brush->Vertices.Items(k));
      for (int a = 0; a < 3; ++a)
        b.Min[a] = std::min(b.Min[a], p[a]), b.Max[a] = std::max(b.Max[a], p[a]);
    }
    Bounds.push_back(b);
  }
  grid_ = TSpatialGrid(CellOf(Bounds));
  for (size_t i = 0; i < Bounds.size(); ++i)
    if (Bounds[i].Min[0] <= Bounds[i].Max[0])  // empty bounds hold nothing
      grid_.Add(static_cast<int>(i), Bounds[i].Min.data(), Bounds[i].Max.data());
}

int TBrushBounds::Holding(const T3DMeshList& Brushes, const TPoint& P) const {
  // The first brush that holds P: the grid answers in the brushes' order.
  grid_.Query(P.data(), P.data(), near_);
  for (int i : near_)
    if (StrictlyWithin(Bounds[static_cast<size_t>(i)], P) && HoldsPoint(*Brushes.Items(i), P))
      return i;
  return -1;
}

std::array<int, 3> ChooseBlockSize(const TPoint& Min, const TPoint& Max) {
  std::array<int, 3> size{1024, 1024, 1024};
  auto blocks = [&](int a) {
    const double span = Max[a] - Min[a];
    return span > 0 ? std::ceil(span / size[static_cast<size_t>(a)]) : 1.0;
  };
  // The world is 131072 units across: blocks of 65536 split it once on each axis at most.
  while (blocks(0) * blocks(1) * blocks(2) > 512) {
    int most = 0;
    for (int a = 1; a < 3; ++a)
      if (blocks(a) > blocks(most)) most = a;
    if (size[static_cast<size_t>(most)] >= 65536) break;
    size[static_cast<size_t>(most)] *= 2;
  }
  return size;
}

TPoint StartPoint(const shell::TRegion& Region) {
  const double x = (Region.Min[0] + Region.Max[0]) / 2, y = (Region.Min[1] + Region.Max[1]) / 2;
  double floor = Region.Min[2], ceiling = Region.Max[2];
  // Across the vertical through (x, y): a plane facing down bounds the floor, one facing up the
  // ceiling.
  for (const shell::TPlane& p : Region.Planes) {
    const double nz = p.Normal[2];
    if (std::fabs(nz) < 1e-9) continue;
    const double z = (p.Offset - p.Normal[0] * x - p.Normal[1] * y) / nz;
    if (nz < 0)
      floor = std::max(floor, z);
    else
      ceiling = std::min(ceiling, z);
  }
  return {x, y, floor + std::min(25.0, std::max(0.0, (ceiling - floor) / 2))};
}

std::string CompileLimitsLine(const TBrushLevel& BrushLevel, const TCompileLimits& Limits) {
  const int brushes = BrushLevel.Brushes.Count();
  long long sides = 0;
  // A plane as the compiler keeps it: its normal to 1e-5 and its distance to 0.01, the sign
  // chosen so that a plane and its reverse give one key (the compiler stores both).
  struct TKeyHash {
    size_t operator()(const std::array<long long, 4>& k) const {
      uint64_t h = 1469598103934665603ull;
      for (long long v : k) h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ull;
      return static_cast<size_t>(h);
    }
  };
  std::unordered_set<std::array<long long, 4>, TKeyHash> planes;
  for (int i = 0; i < brushes; ++i) {
    const T3DMesh* brush = BrushLevel.Brushes.Items(i);
    for (int f = 0; f < brush->Surfaces.Count(); ++f) {
      const TSurface* face = brush->Surfaces.Items(f);
      if (face->Vertices.Count() < 3) continue;
      ++sides;
      TVector3 c;
      face->GetCentre(c);
      const TPoint a = At(face->Vertices.Items(0)), b = At(face->Vertices.Items(1));
      TPoint n = Cross(Sub(a, b), Sub(TPoint{c.X, c.Y, c.Z}, b));
      const double length = std::sqrt(Dot(n, n));
      if (!(length > 0) || !std::isfinite(length)) continue;
      n = {n[0] / length, n[1] / length, n[2] / length};
      double d = Dot(n, b);
      const int lead = std::fabs(n[0]) > 1e-6 ? 0 : std::fabs(n[1]) > 1e-6 ? 1 : 2;
      if (n[static_cast<size_t>(lead)] < 0) n = {-n[0], -n[1], -n[2]}, d = -d;
      if (!std::isfinite(d) || std::fabs(d) > 1e15) continue;
      planes.insert({std::llround(n[0] * 1e5), std::llround(n[1] * 1e5), std::llround(n[2] * 1e5),
                     std::llround(d * 100)});
    }
  }
  std::vector<std::string> passed;
  if (brushes > Limits.Brushes)
    passed.push_back(rtl::Format("%d brushes (the limit is %d)", brushes, Limits.Brushes));
  if (sides > Limits.BrushSides)
    passed.push_back(rtl::Format("%lld brush sides (the limit is %d)", sides, Limits.BrushSides));
  const long long planeCount = 2 * static_cast<long long>(planes.size());
  if (planeCount > Limits.Planes)
    passed.push_back(rtl::Format("%lld planes (the limit is %d)", planeCount, Limits.Planes));
  const bool tooMany = !passed.empty();
  const double reach = MapReach(BrushLevel);
  const bool edge = reach > WorldEdge;
  if (edge)
    passed.push_back(rtl::Format("coordinates up to %s (the world's edge is %s)",
                                 rtl::FloatToStr(reach).c_str(),
                                 rtl::FloatToStr(WorldEdge).c_str()));
  if (passed.empty()) return std::string();
  std::string line = "The compile will struggle: the map holds ";
  for (size_t k = 0; k < passed.size(); ++k)
    line += (k == 0 ? "" : k + 1 == passed.size() ? " and " : ", ") + passed[k];
  line += "; ";
  if (tooMany) line += "split the level into parts, or import it without its drawn adjoins";
  if (tooMany && edge) line += ", and ";
  if (edge) line += "import it with --fit-world (the setting FitWorld=1)";
  return line;
}

namespace {

// The player starts a sealed level needs: one in its largest sector when its sectors hold none,
// and an "info_player_start" beside a single one. The points of the new entities join Points.
void AddPlayerStarts(const std::vector<shell::TRegion>& Regions, const std::vector<int>& Starts,
                     TBrushLevel& BrushLevel, std::vector<TPoint>& Points,
                     const std::function<void(const std::string&)>& Say) {
  auto add = [&](const char* Class, const TEntityRec& Like) {
    auto entity = std::make_unique<TEntityRec>(Like);
    entity->Name = Class;
    Points.push_back({entity->Origin.X, entity->Origin.Y, entity->Origin.Z});
    BrushLevel.Entities.AddObject(Class, std::move(entity));
  };
  if (Starts.size() > 1) return;
  TEntityRec start;
  if (Starts.empty()) {
    const shell::TRegion* largest = nullptr;
    double most = -1;
    for (const shell::TRegion& r : Regions) {
      const double volume = (r.Max[0] - r.Min[0]) * (r.Max[1] - r.Min[1]) * (r.Max[2] - r.Min[2]);
      if (volume > most) most = volume, largest = &r;
    }
    if (!largest) return;
    const TPoint p = StartPoint(*largest);
    start.Origin =
        MakeVector(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    if (!std::isfinite(start.Origin.X) || !std::isfinite(start.Origin.Y) ||
        !std::isfinite(start.Origin.Z))
      return;
    add("info_player_deathmatch", start);
    Say(rtl::Format("No player start lies in a sector: one added at (%s), in the largest sector",
                    Coordinates(start.Origin).c_str()));
  } else {
    start = *BrushLevel.Entities.Objects(Starts[0]);
  }
  add("info_player_start", start);
}

}  // namespace

std::array<int, 3> SealBrushLevel(const TJKLevel& Level, TBrushLevel& BrushLevel, double Scale,
                                  bool Seal, bool Entities, const TConsoleProc& Console,
                                  TSealFill* Fill) {
  if (!Seal && !Entities) return {0, 0, 0};
  auto say = [&Console](const std::string& Text) {
    if (Console) Console(Text);
  };
  std::vector<int> regionOf;
  const std::vector<shell::TRegion> regions = SectorRegions(Level, Scale, &regionOf);
  const TRegionIndex regionIndex(regions);
  const int slabs = BrushLevel.Brushes.Count();
  std::vector<TPoint> points;
  std::unique_ptr<TBrushBounds> slabBounds;
  if (Seal && Entities) slabBounds = std::make_unique<TBrushBounds>(BrushLevel.Brushes, slabs);
  // Where an entity ends up in the map, and what a line names it by.
  auto place = [&](const TVector3& origin, const std::string& what, bool& stray) {
    const TPoint p{origin.X, origin.Y, origin.Z};
    stray = !regionIndex.Holds(p);
    if (stray) {
      say(rtl::Format("%s at (%s) lies in no sector: left out of the map", what.c_str(),
                      Coordinates(origin).c_str()));
      return;
    }
    points.push_back(p);
    if (!Seal) return;
    // The compiler looks from one unit above the origin; a detail slab there buries it unseen.
    const int holder = slabBounds->Holding(BrushLevel.Brushes, {p[0], p[1], p[2] + 1});
    if (holder >= 0)
      say(rtl::Format("%s at (%s) lies inside slab brush %d", what.c_str(),
                      Coordinates(origin).c_str(), holder));
  };
  std::vector<int> starts;  // the player starts the map keeps
  if (Entities) {
    for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
      const std::string what = rtl::Format(
          "Thing %d (%s)", i, i < Level.Things.Count() ? Level.Things.Strings(i).c_str() : "");
      bool stray = false;
      place(BrushLevel.Entities.Objects(i)->Origin, what, stray);
      if (stray) BrushLevel.StrayThings.push_back(i);
      if (!stray && BrushLevel.Entities.Strings(i) == "info_player_deathmatch") starts.push_back(i);
    }
    for (size_t i = 0; i < BrushLevel.Lights.size(); ++i) {
      bool stray = false;
      place(BrushLevel.Lights[i]->Position, rtl::Format("Light %d", static_cast<int>(i)), stray);
      if (stray) BrushLevel.StrayLights.push_back(static_cast<int>(i));
    }
    // The lights fitted for a compiler are many: those in no sector are left out with one line
    // for all (a light in the void would leak the map). A fill or surface light was made inside
    // its sector: that sector's region is asked first.
    if (Fill) {
      int outside = 0;
      Fill->Inside.assign(Fill->Points.size(), false);
      for (size_t i = 0; i < Fill->Points.size(); ++i) {
        const int sector = i < Fill->Sectors.size() ? Fill->Sectors[i] : -1;
        const int hint = sector >= 0 && static_cast<size_t>(sector) < regionOf.size()
                             ? regionOf[static_cast<size_t>(sector)]
                             : -1;
        Fill->Inside[i] = regionIndex.Holds(Fill->Points[i], hint);
        if (Fill->Inside[i])
          points.push_back(Fill->Points[i]);
        else
          ++outside;
      }
      if (outside > 0)
        say(rtl::Format("%d fill lights lie in no sector: left out of the map", outside));
    }
  }
  if (!Seal) return {0, 0, 0};
  if (Entities) AddPlayerStarts(regions, starts, BrushLevel, points, say);
  for (int i = 0; i < slabs; ++i) BrushLevel.Brushes.Items(i)->Brush.Detail = true;
  shell::TShellOptions options;
  options.Limit = WorldEdge;
  options.BoxBudget = ShellBoxBudget;
  const shell::TShell shell = shell::BuildShellOf(regions, points, options);
  AddShellBrushes(shell.Boxes, BrushLevel.Brushes);
  say(rtl::Format("%d slabs made detail, sealed by %d shell boxes on a %s-unit grid", slabs,
                  static_cast<int>(shell.Boxes.size()), rtl::FloatToStr(shell.Cell).c_str()));
  const std::string limits = CompileLimitsLine(BrushLevel);
  if (!limits.empty()) say(limits);
  // The shell encloses everything the compiler keeps: its bounds are the level's.
  TPoint lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const shell::TBox& b : shell.Boxes)
    for (int a = 0; a < 3; ++a)
      lo[a] = std::min(lo[a], b.Min[a]), hi[a] = std::max(hi[a], b.Max[a]);
  const std::array<int, 3> block = ChooseBlockSize(lo, hi);
  // A map file carries it; in the editor, whose interface sets no worldspawn key, the user does.
  if (block != std::array<int, 3>{1024, 1024, 1024})
    say(
        rtl::Format("The level is large: its worldspawn takes \"_blocksize\" \"%d %d %d\" for the "
                    "compiler",
                    block[0], block[1], block[2]));
  return block;
}
