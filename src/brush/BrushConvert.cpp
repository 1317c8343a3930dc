#include "brush/BrushConvert.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <unordered_set>
#include <vector>

#include "brush/Seal.h"
#include "level/Vec3.h"
#include "rtl/SysUtils.h"

namespace {

using vec::Cross;
using vec::Dot;
using vec::Minus;
using vec::TVec3d;

// Twice the area of the polygon of the corners keep, as a vector along its normal (the sum of
// the cross products of the edges from the first corner), and the square of its longest edge.
TVec3d AreaVector(const std::vector<TVec3d>& at, const std::vector<int>& keep, double& longest) {
  TVec3d area{0, 0, 0};
  longest = 0;
  const TVec3d& o = at[static_cast<size_t>(keep[0])];
  for (size_t i = 0; i < keep.size(); ++i) {
    const TVec3d& p = at[static_cast<size_t>(keep[i])];
    const TVec3d& q = at[static_cast<size_t>(keep[(i + 1) % keep.size()])];
    const TVec3d c = Cross(Minus(p, o), Minus(q, o));
    area = {area.X + c.X, area.Y + c.Y, area.Z + c.Z};
    const TVec3d e = Minus(q, p);
    longest = std::max(longest, Dot(e, e));
  }
  return area;
}

// No more area than the rounding of Singles makes of a straight line, against the longest edge.
bool EnclosesArea(const TVec3d& area, double longest) {
  return Dot(area, area) > 1e-12 * longest * longest;
}

std::array<uint32_t, 3> PositionKey(const TVec3d& p) {
  std::array<uint32_t, 3> key;
  const float f[3] = {static_cast<float>(p.X), static_cast<float>(p.Y), static_cast<float>(p.Z)};
  for (int a = 0; a < 3; ++a) std::memcpy(&key[static_cast<size_t>(a)], &f[a], sizeof(float));
  return key;
}

TVec3d Scaled(const TVertex* v, double Scale) {
  return {static_cast<float>(Scale * v->X), static_cast<float>(Scale * v->Y),
          static_cast<float>(Scale * v->Z)};
}

}  // namespace

TSharedCorners SharedCorners(const TJKLevel& Level, double Scale) {
  std::unordered_set<std::array<uint32_t, 3>, TSharedCorners::THash> once;
  TSharedCorners shared;
  // A surface listed by two sectors is still one surface.
  std::unordered_set<const TSurface*> seen;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      if (s->Adjoin != -1 || s->Vertices.Count() < 3 || !seen.insert(s).second) continue;
      std::vector<TVec3d> at;
      std::vector<int> all;
      for (int j = 0; j < s->Vertices.Count(); ++j) {
        at.push_back(Scaled(s->Vertices.Items(j), Scale));
        all.push_back(j);
      }
      double longest = 0;
      if (!EnclosesArea(AreaVector(at, all, longest), longest)) continue;
      std::unordered_set<std::array<uint32_t, 3>, TSharedCorners::THash> own;
      for (const TVec3d& p : at) own.insert(PositionKey(p));
      for (const auto& key : own)
        if (!once.insert(key).second) shared.Positions.insert(key);
    }
  }
  return shared;
}

bool FitFrontPlane(TSurface& Front, const TVector3& LevelNormal) {
  const int n = Front.Vertices.Count();
  if (n < 3) return false;
  std::vector<TVec3d> at(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) at[static_cast<size_t>(k)] = Scaled(Front.Vertices.Items(k), 1);
  TVector3 c;
  Front.GetCentre(c);
  const TVec3d centre{c.X, c.Y, c.Z};
  const TVec3d planeNormal = Cross(Minus(at[0], at[1]), Minus(centre, at[1]));
  const double planeLength = std::sqrt(Dot(planeNormal, planeNormal));
  bool flat = planeLength > 0;
  for (const TVec3d& p : at)
    flat = flat && std::fabs(Dot(planeNormal, Minus(p, at[1]))) <= FlatTolerance * planeLength;
  if (flat) return false;

  // The corners run backwards on the front face: their area turns against the surface's normal.
  std::vector<int> all(static_cast<size_t>(n));
  std::iota(all.begin(), all.end(), 0);
  double longest = 0;
  const TVec3d area = AreaVector(at, all, longest);
  TVec3d normal{-area.X, -area.Y, -area.Z};
  const TVec3d level{LevelNormal.X, LevelNormal.Y, LevelNormal.Z};
  if (Dot(level, level) > 0 && Dot(level, normal) > 0) normal = level;
  const double length = std::sqrt(Dot(normal, normal));
  if (!(length > 0)) return false;
  normal = {normal.X / length, normal.Y / length, normal.Z / length};
  TVec3d mean{0, 0, 0};
  for (const TVec3d& p : at) mean = {mean.X + p.X / n, mean.Y + p.Y / n, mean.Z + p.Z / n};
  for (int k = 0; k < n; ++k) {
    TVertex* v = Front.Vertices.Items(k);
    const TVec3d& p = at[static_cast<size_t>(k)];
    const double off = Dot(normal, Minus(p, mean));
    v->X = static_cast<float>(p.X - off * normal.X);
    v->Y = static_cast<float>(p.Y - off * normal.Y);
    v->Z = static_cast<float>(p.Z - off * normal.Z);
  }
  Front.Normal = MakeVector(static_cast<float>(normal.X), static_cast<float>(normal.Y),
                            static_cast<float>(normal.Z));
  return true;
}

std::vector<int> CleanSlabCorners(const TSurface& Surface, double Scale,
                                  const TSharedCorners* Shared) {
  const int n = Surface.Vertices.Count();
  if (n < 3) return {};
  std::vector<int> keep(static_cast<size_t>(n));
  std::iota(keep.begin(), keep.end(), 0);
  // Compared where the front face will hold them: scaled and rounded to Singles. Coordinates
  // beyond the range of Singles (or so near its top that a face's centre may overflow) have no
  // line or area to judge: the slab is built from every corner, and the conversion's own check
  // names the vertex.
  std::vector<TVec3d> at(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const TVertex* s = Surface.Vertices.Items(k);
    const double p[3] = {Scale * s->X, Scale * s->Y, Scale * s->Z};
    for (double c : p)
      if (!(std::fabs(c) * std::max(n, 4) * 1.01 < static_cast<double>(FLT_MAX))) return keep;
    at[static_cast<size_t>(k)] = {static_cast<float>(p[0]), static_cast<float>(p[1]),
                                  static_cast<float>(p[2])};
  }

  // The corners are compared as seen along the surface's normal, the direction in which the
  // slab's side faces run: real surfaces are not quite flat, and a corner that lies off the
  // surface only along that direction makes a side face on its neighbour's plane all the same.
  double longest = 0;
  TVec3d normal = AreaVector(at, keep, longest);
  if (!EnclosesArea(normal, longest)) return {};
  const double length = std::sqrt(Dot(normal, normal));
  normal = {normal.X / length, normal.Y / length, normal.Z / length};

  auto same = [&](int a, int b) {
    const TVec3d &p = at[static_cast<size_t>(a)], &q = at[static_cast<size_t>(b)];
    return p.X == q.X && p.Y == q.Y && p.Z == q.Z;
  };
  // How far b lies off the line through a and c, both seen along the normal: in line within
  // FlatTolerance, however long the edges (a share of a long edge could be far more than the
  // neighbouring surface, which keeps its corner, leaves open). A spike that turns back on
  // itself lies on the line too, and so does a corner that only lies behind its neighbour.
  auto inLine = [&](int a, int b, int c) {
    const TVec3d ab = Minus(at[static_cast<size_t>(b)], at[static_cast<size_t>(a)]);
    const TVec3d ac = Minus(at[static_cast<size_t>(c)], at[static_cast<size_t>(a)]);
    const double acAlong = Dot(normal, ac);
    const double ac2 = std::max(0.0, Dot(ac, ac) - acAlong * acAlong);
    const double off = Dot(normal, Cross(ac, ab));
    if (ac2 > 0 && off * off > FlatTolerance * FlatTolerance * ac2) return false;
    // Where another surface has a corner, its slab meets this one there: a corner off the line
    // by more than the rounding of Singles stays, or a sliver would open beside that slab.
    const bool straight =
        !(ac2 > 0) || off * off <= SharedCornerTolerance * SharedCornerTolerance * ac2;
    return straight || !Shared || !Shared->Positions.count(PositionKey(at[static_cast<size_t>(b)]));
  };

  // A repeat of the corner before it goes first; the last corner repeats the first.
  keep.erase(std::unique(keep.begin(), keep.end(), same), keep.end());
  while (keep.size() > 1 && same(keep.back(), keep.front())) keep.pop_back();
  // Dropping a corner changes what its neighbours lie between, so sweep until nothing goes.
  for (bool dropped = true; dropped && keep.size() >= 3;) {
    dropped = false;
    for (size_t i = 0; i < keep.size() && keep.size() >= 3;) {
      const size_t m = keep.size();
      if (inLine(keep[(i + m - 1) % m], keep[i], keep[(i + 1) % m])) {
        keep.erase(keep.begin() + static_cast<std::ptrdiff_t>(i));
        dropped = true;
      } else {
        ++i;
      }
    }
  }
  if (keep.size() < 3) return {};
  // What is left may still fold onto itself (a figure that doubles back).
  if (!EnclosesArea(AreaVector(at, keep, longest), longest)) return {};
  // Nor is a sliver narrower than a map compiler's plane tolerance a surface: its slab would be
  // chopped away to nothing.
  const TVec3d area = AreaVector(at, keep, longest);
  if (Dot(area, area) < MinSlabWidth * MinSlabWidth * longest) return {};
  return keep;
}

bool AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TImportOptions& Options, const TSharedCorners* Shared) {
  // The surface's corners that make the slab, in order: all of them, or what cleaning keeps.
  std::vector<int> corners;
  if (Options.CleanSlabs) {
    corners = CleanSlabCorners(Surface, Scale, Shared);
    if (corners.empty()) return false;
  } else {
    corners.resize(static_cast<size_t>(Surface.Vertices.Count()));
    std::iota(corners.begin(), corners.end(), 0);
  }
  T3DMesh* brush = Brushes.AddNew();
  const int n = static_cast<int>(corners.size());
  // Sky surfaces (horizon 0x200, ceiling 0x400) become sky faces in the editor.
  const int flags = (Surface.Flags & (0x200 | 0x400)) ? 4 : 0;

  // Corners: n on the front, n on the back, four on each of the n sides; texture vertices for
  // the corners of the front and of the back.
  brush->Reserve(2 * static_cast<size_t>(n), static_cast<size_t>(n) + 2, 6 * static_cast<size_t>(n),
                 2 * static_cast<size_t>(n), 2);

  TSurface* front = brush->AddNewSurface();
  front->MaterialName = Surface.MaterialName;
  front->Flags = flags;
  brush->ReserveCorners(*front, static_cast<size_t>(n), true);
  // A surface whose texture vertices are fewer than its corners has none worth keeping.
  const bool texels =
      CarriesTexels(Options) && Surface.TXVertices.Count() == Surface.Vertices.Count();
  if (texels) front->TXVertexMissing = Surface.TXVertexMissing;
  std::vector<TVertex*> f;  // f[j]: the front face's corner j
  f.reserve(static_cast<size_t>(n));
  for (int k = n - 1; k >= 0; --k) {
    // Source corner c; the texels of corners that cleaning dropped are not used.
    const int c = corners[static_cast<size_t>(k)];
    const TVertex* s = Surface.Vertices.Items(c);
    TVertex* v = brush->AddNewVertex(Scale * s->X, Scale * s->Y, Scale * s->Z);
    // The corner and its texel stay paired through the reversal.
    front->AddVertex(v, texels ? Surface.TXVertices.Items(c) : nullptr);
    f.push_back(v);
  }

  // The corners run backwards, so this is the source surface's own right-hand normal and the
  // slab lies on the side from which the source corners appear clockwise.
  // A surface without corners makes an empty brush (the hand-off passes over its faces); one
  // with a single corner stops here with the vertex list's error for index 1.
  TVector3 normal;
  if ((Options.CleanSlabs || Options.SealLevel) && n >= 3) FitFrontPlane(*front, Surface.Normal);
  if (n > 0) front->GetNormal(normal);

  TSurface* back = brush->AddNewSurface();
  back->MaterialName = Surface.MaterialName;
  back->Flags = flags;
  brush->ReserveCorners(*back, static_cast<size_t>(n), true);
  std::vector<TVertex*> b(static_cast<size_t>(n));  // b[k]: the back corner behind f[k]
  for (int j = n - 1; j >= 0; --j) {
    const TVertex* v = f[static_cast<size_t>(j)];
    TVertex* w = brush->AddNewVertex(v->X - Depth * normal.X, v->Y - Depth * normal.Y,
                                     v->Z - Depth * normal.Z);
    back->AddVertex(w, nullptr);
    b[static_cast<size_t>(j)] = w;
  }

  for (int k = n - 1; k >= 0; --k) {
    const size_t k0 = static_cast<size_t>(k), k1 = static_cast<size_t>((k + 1) % n);
    TSurface* side = brush->AddNewSurface();
    side->MaterialName = Surface.MaterialName;
    side->Flags = flags;
    brush->ReserveCorners(*side, 4, false);
    side->Vertices.Add(b[k0]);
    side->Vertices.Add(b[k1]);
    side->Vertices.Add(f[k1]);
    side->Vertices.Add(f[k0]);
  }
  return true;
}

namespace {

// A vertex of a huge level, or a huge Scale or BrushDepth, can give coordinates beyond the
// Single range: inf and nan in the map would still read as an import that succeeded. Raised
// before anything reaches the editor, naming the level's vertex; Brush was made from Surface.
void CheckBrushIsFinite(const T3DMesh& Brush, const TSurface& Surface, const TJKLevel& Level,
                        double Scale, double Depth) {
  const int n = Surface.Vertices.Count();
  auto fail = [&](int brushVertex) {
    // The front corners come first, in reverse order; the back corners in the surface's order.
    const int k = brushVertex < n ? n - 1 - brushVertex : brushVertex - n;
    const TVertex* source = Surface.Vertices.Items(k);
    int index = -1;
    for (int j = 0; j < Level.Vertices.Count() && index < 0; ++j)
      if (Level.Vertices.Items(j) == source) index = j;
    throw rtl::Exception(rtl::Format(
        "Vertex %d (%s %s %s) of level '%s' gives a coordinate beyond the range of a map once "
        "scaled by %s with brush depth %s",
        index, rtl::FloatToStr(source->X).c_str(), rtl::FloatToStr(source->Y).c_str(),
        rtl::FloatToStr(source->Z).c_str(), Level.Name.c_str(), rtl::FloatToStr(Scale).c_str(),
        rtl::FloatToStr(Depth).c_str()));
  };
  double largest = 0;
  for (int i = 0; i < Brush.Vertices.Count(); ++i) {
    const TVertex* v = Brush.Vertices.Items(i);
    if (!std::isfinite(v->X) || !std::isfinite(v->Y) || !std::isfinite(v->Z)) fail(i);
    largest = std::max(
        {largest, std::fabs(double(v->X)), std::fabs(double(v->Y)), std::fabs(double(v->Z))});
  }
  // The hand-off gives the editor each face's centre, summed in Singles, as its third point:
  // those sums can overflow where no corner does. Only near the top of the range is it possible.
  if (largest * std::max(n, 4) * 1.01 < static_cast<double>(FLT_MAX)) return;
  for (int f = 0; f < Brush.Surfaces.Count(); ++f) {
    const TSurface* face = Brush.Surfaces.Items(f);
    if (face->Vertices.Count() < 3) continue;
    TVector3 c;
    face->GetCentre(c);
    if (std::isfinite(c.X) && std::isfinite(c.Y) && std::isfinite(c.Z)) continue;
    // Name the corner that reaches furthest.
    int worst = 0;
    double worstSize = -1;
    for (int i = 0; i < Brush.Vertices.Count(); ++i) {
      const TVertex* v = Brush.Vertices.Items(i);
      bool onFace = false;
      for (int j = 0; j < face->Vertices.Count() && !onFace; ++j)
        onFace = face->Vertices.Items(j) == v;
      const double size =
          std::max({std::fabs(double(v->X)), std::fabs(double(v->Y)), std::fabs(double(v->Z))});
      if (onFace && size > worstSize) worst = i, worstSize = size;
    }
    fail(worst);
  }
}

// Template names compare with the letters A to Z lower-cased, nothing else folded.
bool IsPlayerTemplate(const std::string& Name) {
  static const char Player[] = "walkplayer";
  if (Name.size() != sizeof Player - 1) return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    char c = Name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != Player[i]) return false;
  }
  return true;
}

}  // namespace

void ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                             const TImportOptions& Options, TSlabSettings* Slab,
                             const TConsoleProc& Console) {
  TSlabSettings defaults;
  TSlabSettings& numbers = Slab ? *Slab : defaults;
  auto use = [&Console](TSlabNumber& number) {
    if (!number.Used && !number.Note.empty() && Console) Console(number.Note);
    number.Used = true;
    return number.Value;
  };
  auto ScaleValue = [&] { return use(numbers.Scale); };
  auto DepthValue = [&] { return use(numbers.Depth); };
  int leftOut = 0;  // surfaces that cleaning found without area
  // The Scale for this import: the setting's, or with FitWorld the largest that keeps the map
  // within the world's edge; 0 leaves every step to ask for the number itself.
  double fitted = 0;
  std::unique_ptr<TSharedCorners> shared;
  if (Options.FitWorld || Options.SealLevel || Options.CleanSlabs) {
    fitted = ScaleValue();
    const double depth = DepthValue();
    const double reach = LevelReach(Level);
    if (reach * fitted + depth > WorldEdge && (Options.FitWorld || Options.SealLevel) && Console) {
      const double fits = LargestFittingScale(reach, depth);
      Console(rtl::Format(
          "The level reaches %s units from the centre at Scale %s, beyond the world's edge at "
          "%s; the largest Scale that fits is %s%s",
          rtl::FloatToStr(reach * fitted).c_str(), rtl::FloatToStr(fitted).c_str(),
          rtl::FloatToStr(WorldEdge).c_str(), rtl::FloatToStr(fits).c_str(),
          Options.FitWorld ? ", used for this import" : ""));
    }
    if (reach * fitted + depth > WorldEdge && Options.FitWorld)
      fitted = LargestFittingScale(reach, depth);
    if (Options.CleanSlabs) shared = std::make_unique<TSharedCorners>(SharedCorners(Level, fitted));
  }
  auto scaleNow = [&] { return fitted > 0 ? fitted : ScaleValue(); };
  const int sectors = Level.Sectors.Count();
  for (int i = 0; i < sectors; ++i) {
    if (Progress) Progress(i, sectors);
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* surface = sector->Surfaces.Items(k);
      // Surfaces that open into another sector are not walls.
      if (surface->Adjoin != -1) continue;
      // The scale is asked for first: it is the first setting a brush needs, and a missing
      // setting's console line comes in that order.
      const double scale = scaleNow();
      const double depth = DepthValue();
      if (!AddSlabBrush(*surface, scale, depth, BrushLevel.Brushes, Options, shared.get())) {
        ++leftOut;
        continue;
      }
      BrushLevel.Sources.push_back(surface);
      CheckBrushIsFinite(*BrushLevel.Brushes.Items(BrushLevel.Brushes.Count() - 1), *surface, Level,
                         scale, depth);
    }
  }

  for (int i = 0; i < Level.Things.Count(); ++i) {
    const TEntityRec* thing = Level.Things.Objects(i);
    const float s = static_cast<float>(scaleNow());
    auto entity = std::make_unique<TEntityRec>();
    entity->Name = IsPlayerTemplate(thing->Name) ? "info_player_deathmatch" : "info_null";
    VectorMultiply(thing->Origin, MakeVector(s, s, s), entity->Origin);
    entity->Pitch = thing->Pitch;
    entity->Yaw = thing->Yaw;
    entity->Roll = thing->Roll;
    std::string name = entity->Name;
    BrushLevel.Entities.AddObject(std::move(name), std::move(entity));
  }

  for (const auto& light : Level.Lights) {
    const double scale = scaleNow();
    const float s = static_cast<float>(scale);
    auto copy = std::make_unique<TLightRec>();
    copy->Tag = light->Tag;
    VectorMultiply(light->Position, MakeVector(s, s, s), copy->Position);
    copy->Value1 = static_cast<float>(scale * light->Value1);
    copy->Value2 = static_cast<float>(static_cast<double>(light->Value2) * 100);
    BrushLevel.Lights.push_back(std::move(copy));
  }
  if (leftOut > 0 && Console)
    Console(rtl::Format("%d surfaces without area left out of the slabs", leftOut));
  if (MapReach(BrushLevel) > WorldEdge)
    BrushLevel.FittingScale = LargestFittingScale(LevelReach(Level), numbers.Depth.Value);
  if (Options.SealLevel || Options.WritesEntities)
    SealBrushLevel(Level, BrushLevel, scaleNow(), Options.SealLevel, Options.WritesEntities,
                   Console);
}
