#include "brush/BrushConvert.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <numeric>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "brush/DrawnAdjoins.h"
#include "brush/FaceRoles.h"
#include "brush/LightFit.h"
#include "brush/Seal.h"
#include "brush/WaterVolumes.h"
#include "rtl/SysUtils.h"

namespace {

// A face's plane as an editor of the Radiant family computes it from the three points it is
// handed (HandOffPoints: the first two corners and the centre), every step in Singles.
struct TEditorPlane {
  float N[3] = {0, 0, 0};
  float Dist = 0;
  bool Valid = false;
};

TEditorPlane SidePlane(const TVertex* b0, const TVertex* b1, const TVertex* f1, const TVertex* f0) {
  // The centre as GetCentre makes it: running sums in Singles, divided by the count.
  float sum[3] = {0, 0, 0};
  for (const TVertex* v : {b0, b1, f1, f0}) {
    sum[0] = sum[0] + v->X;
    sum[1] = sum[1] + v->Y;
    sum[2] = sum[2] + v->Z;
  }
  const float c[3] = {static_cast<float>(sum[0] / 4.0), static_cast<float>(sum[1] / 4.0),
                      static_cast<float>(sum[2] / 4.0)};
  const float a[3] = {b0->X - b1->X, b0->Y - b1->Y, b0->Z - b1->Z};
  const float d[3] = {c[0] - b1->X, c[1] - b1->Y, c[2] - b1->Z};
  const float n[3] = {a[1] * d[2] - a[2] * d[1], a[2] * d[0] - a[0] * d[2],
                      a[0] * d[1] - a[1] * d[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  TEditorPlane p;
  if (!(len > 0) || !std::isfinite(len)) return p;
  for (int i = 0; i < 3; ++i) p.N[i] = n[i] / len;
  p.Dist = b0->X * p.N[0] + b0->Y * p.N[1] + b0->Z * p.N[2];
  p.Valid = true;
  return p;
}

// The rule by which such an editor discards a face as a duplicate of an earlier one: normals
// within 0.001 of each other's direction (as a dot product) and distances within 0.01 unit.
bool EditorTakesAsOne(const TEditorPlane& p, const TEditorPlane& q) {
  return p.Valid && q.Valid &&
         double(p.N[0]) * q.N[0] + double(p.N[1]) * q.N[1] + double(p.N[2]) * q.N[2] > 1 - 0.001 &&
         std::fabs(double(p.Dist) - q.Dist) < 0.01;
}

// The sides of a slab, from corner k to corner k + 1 (the last back to the first), in the order
// they are written. An editor of the Radiant family discards a face whose plane it takes for that
// of another face of the brush: where cleaning keeps corners a hair off the line of their
// neighbours (another surface shares them), two sides of a slab can lie on one plane by that rule.
// The later of two is left out, as the editor would leave it out (the brush changes by no more
// than the rule allows), so that the editor has nothing to discard.
std::vector<std::pair<size_t, size_t>> SidesOnDistinctPlanes(const std::vector<TVertex*>& f,
                                                             const std::vector<TVertex*>& b) {
  const size_t n = f.size();
  std::vector<std::pair<size_t, size_t>> sides;
  std::vector<TEditorPlane> planes;
  for (size_t k = n; k-- > 0;) {
    const size_t k1 = (k + 1) % n;
    const TEditorPlane plane = SidePlane(b[k], b[k1], f[k1], f[k]);
    bool same = false;
    for (const TEditorPlane& other : planes) same = same || EditorTakesAsOne(plane, other);
    if (same) continue;
    planes.push_back(plane);
    sides.emplace_back(k, k1);
  }
  return sides;
}

}  // namespace

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
  // Sky surfaces (horizon and ceiling) become sky faces in the editor.
  const int flags = (Surface.Flags & SkySurfaceFlags) ? 4 : 0;

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

  // One side from each corner to the next; with cleaning, none on the plane of another.
  std::vector<std::pair<size_t, size_t>> sides;
  if (Options.CleanSlabs) {
    sides = SidesOnDistinctPlanes(f, b);
  } else {
    for (size_t k = static_cast<size_t>(n); k-- > 0;)
      sides.emplace_back(k, (k + 1) % static_cast<size_t>(n));
  }
  for (const auto& [k0, k1] : sides) {
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

struct TDrawnAdjoinCount {
  int Surfaces = 0;  // drawn adjoin surfaces that a brush stands for
  int Brushes = 0;
  std::unordered_set<const TSurface*> Made;  // surfaces whose brush exists
};

// The role of a face made from Source, and the face flags its shader reads.
void SetFaceRole(TSurface& Face, const TSurface& Source, const TFaceRoles& Roles) {
  Face.Role = static_cast<unsigned char>(Roles.Of(Source));
  Face.FaceFlags = Source.FaceFlags;
}

// The brush of one drawn adjoin surface, unless its mirror, met earlier, already made the
// brush that carries both sides.
void AddDrawnAdjoin(const TJKLevel& Level, const TSurface& Surface,
                    const std::unordered_map<const TSurface*, const TSurface*>& Mirrors,
                    double Scale, TBrushLevel& BrushLevel, const TImportOptions& Options,
                    const TFaceRoles* Roles, TDrawnAdjoinCount& Count, int& LeftOut) {
  const auto it = Mirrors.find(&Surface);
  const TSurface* mirror = it == Mirrors.end() ? nullptr : it->second;
  const bool pair = mirror && IsDrawnAdjoin(*mirror);
  // The side of a pair met first makes the brush.
  if (pair && Count.Made.count(mirror)) return;
  if (!AddDrawnAdjoinBrush(Surface, mirror, Scale, BrushLevel.Brushes, Options)) {
    ++LeftOut;
    return;
  }
  T3DMesh* brush = BrushLevel.Brushes.Items(BrushLevel.Brushes.Count() - 1);
  CheckBrushIsFinite(*brush, Surface, Level, Scale, DrawnAdjoinDepth);
  if (Roles) {
    SetFaceRole(*brush->Surfaces.Items(0), Surface, *Roles);
    if (pair && brush->Surfaces.Count() > 1)
      SetFaceRole(*brush->Surfaces.Items(1), *mirror, *Roles);
  }
  Count.Made.insert(&Surface);
  Count.Surfaces += pair ? 2 : 1;
  ++Count.Brushes;
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

namespace {

// The largest size a finite point's coordinates take; nothing for a point at no finite place (a
// thing there is left out or refused where entities are written: it is no part of the map).
void Reach(double& reach, double x, double y, double z) {
  if (std::isfinite(x) && std::isfinite(y) && std::isfinite(z))
    reach = std::max({reach, std::fabs(x), std::fabs(y), std::fabs(z)});
}

// How far the map of this import reaches, in level units: the corners of the surfaces that
// become brushes (drawn adjoins too, when they do), and the things and lights when the map holds
// them.
double ImportReach(const TJKLevel& Level, const TImportOptions& Options) {
  double reach = 0;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      if (s->Adjoin != -1 && !(Options.ImportAdjoins && IsDrawnAdjoin(*s))) continue;
      for (int j = 0; j < s->Vertices.Count(); ++j) {
        const TVector3 p = s->Vertices.Items(j)->Position();
        Reach(reach, p.X, p.Y, p.Z);
      }
    }
  }
  if (!Options.WritesEntities) return reach;
  for (int i = 0; i < Level.Things.Count(); ++i) {
    const TVector3& p = Level.Things.Objects(i)->Origin;
    Reach(reach, p.X, p.Y, p.Z);
  }
  for (const auto& light : Level.Lights)
    Reach(reach, light->Position.X, light->Position.Y, light->Position.Z);
  return reach;
}

}  // namespace

double WrittenReach(const TBrushLevel& BrushLevel, bool Entities) {
  double reach = 0;
  for (int i = 0; i < BrushLevel.Brushes.Count(); ++i) {
    const T3DMesh* brush = BrushLevel.Brushes.Items(i);
    for (int k = 0; k < brush->Vertices.Count(); ++k) {
      const TVertex* v = brush->Vertices.Items(k);
      Reach(reach, v->X, v->Y, v->Z);
    }
  }
  if (!Entities) return reach;
  for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
    const TVector3& p = BrushLevel.Entities.Objects(i)->Origin;
    Reach(reach, p.X, p.Y, p.Z);
  }
  for (const auto& light : BrushLevel.Lights)
    Reach(reach, light->Position.X, light->Position.Y, light->Position.Z);
  return reach;
}

TConversion ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel,
                                    TProgressProc Progress, const TImportOptions& Options,
                                    TSlabSettings* Slab, const TConsoleProc& Console) {
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
  int slabs = 0;
  // The Scale for this import: the setting's, or with FitWorld the largest that keeps the map
  // within the world's edge; 0 leaves every step to ask for the number itself.
  double fitted = 0;
  std::unique_ptr<TSharedCorners> shared;
  if (Options.FitWorld || Options.SealLevel || Options.CleanSlabs) {
    fitted = ScaleValue();
    double depth = DepthValue();
    // Drawn adjoins, whose brushes reach as far as the slabs, are 1 unit deep.
    const double reach = ImportReach(Level, Options);
    if (Options.ImportAdjoins) depth = std::max(depth, 1.0);
    if (reach * fitted + depth > WorldEdge && (Options.FitWorld || Options.SealLevel) && Console) {
      const double fits = LargestFittingScale(reach, depth);
      // The smallest Scale tried may not fit either: then none is said to.
      const std::string which = reach * fits + depth > WorldEdge
                                    ? "no Scale down to " + rtl::FloatToStr(fits) + " fits"
                                    : "the largest Scale that fits is " + rtl::FloatToStr(fits);
      Console(rtl::Format(
          "The level reaches %s units from the centre at Scale %s, beyond the world's edge at "
          "%s; %s%s",
          rtl::FloatToStr(reach * fitted).c_str(), rtl::FloatToStr(fitted).c_str(),
          rtl::FloatToStr(WorldEdge).c_str(), which.c_str(),
          Options.FitWorld ? ", used for this import" : ""));
    }
    if (reach * fitted + depth > WorldEdge && Options.FitWorld)
      fitted = LargestFittingScale(reach, depth);
    if (Options.CleanSlabs) shared = std::make_unique<TSharedCorners>(SharedCorners(Level, fitted));
  }
  auto scaleNow = [&] { return fitted > 0 ? fitted : ScaleValue(); };
  TDrawnAdjoinCount drawn;
  std::unordered_map<const TSurface*, const TSurface*> mirrors;
  if (Options.ImportAdjoins) mirrors = MirrorSurfaces(Level);
  // What each face is for, where a shader or the water needs to know.
  std::unique_ptr<TFaceRoles> roles;
  if (Options.Shaders || Options.WaterVolumes)
    roles = std::make_unique<TFaceRoles>(Level, Options.WaterVolumes);
  const int sectors = Level.Sectors.Count();
  for (int i = 0; i < sectors; ++i) {
    if (Progress) Progress(i, sectors);
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* surface = sector->Surfaces.Items(k);
      // Surfaces that open into another sector are not walls; those the game draws may become
      // brushes of their own.
      if (surface->Adjoin != -1) {
        if (Options.ImportAdjoins && IsDrawnAdjoin(*surface))
          AddDrawnAdjoin(Level, *surface, mirrors, scaleNow(), BrushLevel, Options, roles.get(),
                         drawn, leftOut);
        continue;
      }
      // The scale is asked for first: it is the first setting a brush needs, and a missing
      // setting's console line comes in that order.
      const double scale = scaleNow();
      const double depth = DepthValue();
      if (!AddSlabBrush(*surface, scale, depth, BrushLevel.Brushes, Options, shared.get())) {
        ++leftOut;
        continue;
      }
      T3DMesh& brush = *BrushLevel.Brushes.Items(BrushLevel.Brushes.Count() - 1);
      brush.Brush.Source = surface;
      ++slabs;
      CheckBrushIsFinite(brush, *surface, Level, scale, depth);
      if (roles && brush.Surfaces.Count() > 0)
        SetFaceRole(*brush.Surfaces.Items(0), *surface, *roles);
    }
  }
  if (Options.WaterVolumes) {
    const TWaterVolumeCount water = AddWaterVolumes(Level, *roles, scaleNow(), BrushLevel.Brushes);
    if (Console) {
      Console(rtl::Format("%d underwater sectors became %d water volumes", water.Sectors,
                          water.Brushes));
      if (water.NotConvex > 0)
        Console(rtl::Format("%d underwater sectors are not convex and were left without water",
                            water.NotConvex));
    }
  }
  if (roles) NameFaceRoles(BrushLevel);
  if (Options.GameLights && Options.WritesEntities) {
    BrushLevel.GameLights = std::make_unique<TLightFit>(FitGameLights(Level, scaleNow()));
    if (BrushLevel.GameLights->DroppedNegative > 0 && Console)
      Console(rtl::Format("%d negative lights left out: the compiler cannot take light away",
                          BrushLevel.GameLights->DroppedNegative));
    const TLightFit& fit = *BrushLevel.GameLights;
    if (fit.DroppedNoRange > 0 && Console)
      Console(
          rtl::Format("%d lights without a positive range or intensity left out: they light "
                      "nothing",
                      fit.DroppedNoRange));
    for (int light : fit.DroppedTooNarrow)
      if (Console)
        Console(rtl::Format(
            "Light %d left out: its range %g is too small for the map to hold its "
            "fade",
            light, static_cast<double>(Level.Lights[static_cast<size_t>(light)]->Value2)));
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
    BrushLevel.Lights.push_back(std::move(copy));
  }
  if (leftOut > 0 && Console)
    Console(rtl::Format("%d surfaces without area left out of the slabs", leftOut));
  if (Options.ImportAdjoins && Console)
    Console(
        rtl::Format("%d drawn adjoin surfaces became %d brushes", drawn.Surfaces, drawn.Brushes));
  if (WrittenReach(BrushLevel, Options.WritesEntities) > WorldEdge) {
    const double reach = ImportReach(Level, Options);
    const double depth = std::max(numbers.Depth.Value, Options.ImportAdjoins ? 1.0 : 0.0);
    BrushLevel.FittingScale = LargestFittingScale(reach, depth);
    BrushLevel.NoScaleFits = reach * BrushLevel.FittingScale + depth > WorldEdge;
  }
  const int beforeShell = BrushLevel.Brushes.Count();
  TConversion ran;
  if (Options.SealLevel || Options.WritesEntities)
    ran.BlockSize = SealBrushLevel(Level, BrushLevel, scaleNow(), Options.SealLevel,
                                   Options.WritesEntities, Console);
  // Read without asking: a number no step needed says no note.
  ran.Scale = fitted > 0 ? fitted : numbers.Scale.Value;
  ran.Depth = numbers.Depth.Value;
  ran.Slabs = slabs;
  ran.DrawnAdjoinSurfaces = drawn.Surfaces;
  ran.DrawnAdjoinBrushes = drawn.Brushes;
  ran.LeftOut = leftOut;
  ran.ShellBoxes = BrushLevel.Brushes.Count() - beforeShell;
  return ran;
}
