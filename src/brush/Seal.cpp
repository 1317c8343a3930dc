#include "brush/Seal.h"

#include <algorithm>
#include <cmath>

#include "rtl/SysUtils.h"

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

std::vector<shell::TRegion> SectorRegions(const TJKLevel& Level, double Scale) {
  std::vector<shell::TRegion> regions;
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
    regions.push_back(std::move(r));
  }
  return regions;
}

bool InAnyRegion(const std::vector<shell::TRegion>& Regions, const TPoint& P) {
  for (const shell::TRegion& r : Regions)
    if (shell::RegionHolds(r, P)) return true;
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

int BrushHolding(const T3DMeshList& Brushes, int Count, const TPoint& P) {
  std::vector<TFacePlane> planes;
  for (int i = 0; i < Count; ++i) {
    const T3DMesh* brush = Brushes.Items(i);
    bool inBounds = brush->Vertices.Count() > 0;
    TPoint lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int k = 0; k < brush->Vertices.Count(); ++k) {
      const TPoint p = At(brush->Vertices.Items(k));
      for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
    }
    for (int a = 0; a < 3; ++a) inBounds = inBounds && P[a] > lo[a] && P[a] < hi[a];
    if (!inBounds) continue;
    bool inside = true;
    for (int f = 0; f < brush->Surfaces.Count() && inside; ++f) {
      const TSurface* face = brush->Surfaces.Items(f);
      if (face->Vertices.Count() < 3) continue;
      TVector3 c;
      face->GetCentre(c);
      const TPoint a = At(face->Vertices.Items(0)), b = At(face->Vertices.Items(1));
      const TPoint n = Cross(Sub(a, b), Sub(TPoint{c.X, c.Y, c.Z}, b));
      const double length = std::sqrt(Dot(n, n));
      if (!(length > 0)) continue;
      inside = Dot(n, Sub(P, b)) / length < -0.01;
    }
    if (inside) return i;
  }
  return -1;
}

double LevelReach(const TJKLevel& Level) {
  double reach = 0;
  auto take = [&](const TVector3& p) {
    reach =
        std::max({reach, std::fabs(double(p.X)), std::fabs(double(p.Y)), std::fabs(double(p.Z))});
  };
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      if (s->Adjoin != -1) continue;
      for (int j = 0; j < s->Vertices.Count(); ++j) take(s->Vertices.Items(j)->Position());
    }
  }
  for (int i = 0; i < Level.Things.Count(); ++i) take(Level.Things.Objects(i)->Origin);
  for (const auto& light : Level.Lights) take(light->Position);
  return reach;
}

double MapReach(const TBrushLevel& BrushLevel) {
  double reach = 0;
  auto take = [&](double x, double y, double z) {
    reach = std::max({reach, std::fabs(x), std::fabs(y), std::fabs(z)});
  };
  for (int i = 0; i < BrushLevel.Brushes.Count(); ++i) {
    const T3DMesh* brush = BrushLevel.Brushes.Items(i);
    for (int k = 0; k < brush->Vertices.Count(); ++k) {
      const TVertex* v = brush->Vertices.Items(k);
      take(v->X, v->Y, v->Z);
    }
  }
  for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
    const TVector3& p = BrushLevel.Entities.Objects(i)->Origin;
    take(p.X, p.Y, p.Z);
  }
  for (const auto& light : BrushLevel.Lights)
    take(light->Position.X, light->Position.Y, light->Position.Z);
  return reach;
}

double LargestFittingScale(double Reach, double Depth) {
  double scale = 1048576;  // 2^20
  while (scale > 1.0 / 1048576 && Reach * scale + Depth > WorldEdge) scale /= 2;
  return scale;
}

void SealBrushLevel(const TJKLevel& Level, TBrushLevel& BrushLevel, double Scale, bool Seal,
                    bool Entities, const TConsoleProc& Console) {
  if (!Seal && !Entities) return;
  auto say = [&Console](const std::string& Text) {
    if (Console) Console(Text);
  };
  const std::vector<shell::TRegion> regions = SectorRegions(Level, Scale);
  const int slabs = BrushLevel.Brushes.Count();
  std::vector<TPoint> points;
  // Where an entity ends up in the map, and what a line names it by.
  auto place = [&](const TVector3& origin, const std::string& what, bool& stray) {
    const TPoint p{origin.X, origin.Y, origin.Z};
    stray = !InAnyRegion(regions, p);
    if (stray) {
      say(rtl::Format("%s at (%s) lies in no sector: left out of the map", what.c_str(),
                      Coordinates(origin).c_str()));
      return;
    }
    points.push_back(p);
    if (!Seal) return;
    // The compiler looks from one unit above the origin; a detail slab there buries it unseen.
    const int holder = BrushHolding(BrushLevel.Brushes, slabs, {p[0], p[1], p[2] + 1});
    if (holder >= 0)
      say(rtl::Format("%s at (%s) lies inside slab brush %d", what.c_str(),
                      Coordinates(origin).c_str(), holder));
  };
  if (Entities) {
    for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
      const std::string what = rtl::Format(
          "Thing %d (%s)", i, i < Level.Things.Count() ? Level.Things.Strings(i).c_str() : "");
      bool stray = false;
      place(BrushLevel.Entities.Objects(i)->Origin, what, stray);
      if (stray) BrushLevel.StrayThings.push_back(i);
    }
    for (size_t i = 0; i < BrushLevel.Lights.size(); ++i) {
      bool stray = false;
      place(BrushLevel.Lights[i]->Position, rtl::Format("Light %d", static_cast<int>(i)), stray);
      if (stray) BrushLevel.StrayLights.push_back(static_cast<int>(i));
    }
  }
  if (!Seal) return;
  for (int i = 0; i < slabs; ++i) BrushLevel.Brushes.Items(i)->Brush.Detail = true;
  shell::TShellOptions options;
  options.Limit = WorldEdge;
  const std::vector<shell::TBox> boxes = shell::BuildShell(regions, points, options);
  AddShellBrushes(boxes, BrushLevel.Brushes);
  say(rtl::Format("%d slabs made detail, sealed by %d shell boxes on a %s-unit grid", slabs,
                  static_cast<int>(boxes.size()), rtl::FloatToStr(options.Cell).c_str()));
}
