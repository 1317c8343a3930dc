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
#include "brush/Seal.h"
#include "rtl/SysUtils.h"

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

struct TDrawnAdjoinCount {
  int Surfaces = 0;  // drawn adjoin surfaces that a brush stands for
  int Brushes = 0;
  std::unordered_set<const TSurface*> Made;  // surfaces whose brush exists
};

// The brush of one drawn adjoin surface, unless its mirror, met earlier, already made the
// brush that carries both sides.
void AddDrawnAdjoin(const TJKLevel& Level, const TSurface& Surface,
                    const std::unordered_map<const TSurface*, const TSurface*>& Mirrors,
                    double Scale, TBrushLevel& BrushLevel, const TImportOptions& Options,
                    TDrawnAdjoinCount& Count, int& LeftOut) {
  const auto it = Mirrors.find(&Surface);
  const TSurface* mirror = it == Mirrors.end() ? nullptr : it->second;
  const bool pair = mirror && IsDrawnAdjoin(*mirror);
  // The side of a pair met first makes the brush.
  if (pair && Count.Made.count(mirror)) return;
  if (!AddDrawnAdjoinBrush(Surface, mirror, Scale, BrushLevel.Brushes, Options)) {
    ++LeftOut;
    return;
  }
  CheckBrushIsFinite(*BrushLevel.Brushes.Items(BrushLevel.Brushes.Count() - 1), Surface, Level,
                     Scale, DrawnAdjoinDepth);
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
  TDrawnAdjoinCount drawn;
  std::unordered_map<const TSurface*, const TSurface*> mirrors;
  if (Options.ImportAdjoins) mirrors = MirrorSurfaces(Level);
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
          AddDrawnAdjoin(Level, *surface, mirrors, scaleNow(), BrushLevel, Options, drawn, leftOut);
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
    BrushLevel.Lights.push_back(std::move(copy));
  }
  if (leftOut > 0 && Console)
    Console(rtl::Format("%d surfaces without area left out of the slabs", leftOut));
  if (Options.ImportAdjoins && Console)
    Console(
        rtl::Format("%d drawn adjoin surfaces became %d brushes", drawn.Surfaces, drawn.Brushes));
  if (MapReach(BrushLevel) > WorldEdge)
    BrushLevel.FittingScale = LargestFittingScale(LevelReach(Level), numbers.Depth.Value);
  const int beforeShell = BrushLevel.Brushes.Count();
  if (Options.SealLevel || Options.WritesEntities)
    SealBrushLevel(Level, BrushLevel, scaleNow(), Options.SealLevel, Options.WritesEntities,
                   Console);
  TConversion ran;
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
