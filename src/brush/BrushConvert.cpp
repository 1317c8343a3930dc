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
#include "brush/Reach.h"
#include "brush/Slabs.h"
#include "level/Adjoins.h"
#include "rtl/SysUtils.h"

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
                    double Scale, TBrushLevel& BrushLevel, const TConversionOptions& Options,
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

TConversionNumbers::TConversionNumbers(const TJKLevel& Level, const TConversionOptions& Options,
                                       TSlabSettings* Slab, TConsoleProc Console)
    : numbers_(Slab ? *Slab : defaults_), console_(std::move(Console)) {
  // The Scale for this import: the setting's, or with FitWorld the largest that keeps the map
  // within the world's edge; 0 leaves every step to ask for the number itself.
  if (!(Options.FitWorld || Options.SealLevel || Options.CleanSlabs)) return;
  fitted_ = Use(numbers_.Scale);
  double depth = Depth();
  // Drawn adjoins, whose brushes reach as far as the slabs, are 1 unit deep.
  const double reach = ImportReach(Level, Options);
  if (Options.ImportAdjoins) depth = std::max(depth, 1.0);
  const bool beyond = reach * fitted_ + depth > WorldEdge;
  if (beyond && (Options.FitWorld || Options.SealLevel) && console_) {
    const double fits = LargestFittingScale(reach, depth);
    // The smallest Scale tried may not fit either: then none is said to.
    const std::string which = reach * fits + depth > WorldEdge
                                  ? "no Scale down to " + rtl::FloatToStr(fits) + " fits"
                                  : "the largest Scale that fits is " + rtl::FloatToStr(fits);
    console_(rtl::Format(
        "The level reaches %s units from the centre at Scale %s, beyond the world's edge at "
        "%s; %s%s",
        rtl::FloatToStr(reach * fitted_).c_str(), rtl::FloatToStr(fitted_).c_str(),
        rtl::FloatToStr(WorldEdge).c_str(), which.c_str(),
        Options.FitWorld ? ", used for this import" : ""));
  }
  if (beyond && Options.FitWorld) fitted_ = LargestFittingScale(reach, depth);
  if (Options.CleanSlabs) shared_ = std::make_unique<TSharedCorners>(SharedCorners(Level, fitted_));
}

TConversionNumbers::~TConversionNumbers() = default;

double TConversionNumbers::Use(TSlabNumber& Number) {
  if (!Number.Used && !Number.Note.empty() && console_) console_(Number.Note);
  Number.Used = true;
  return Number.Value;
}

double TConversionNumbers::Scale() { return fitted_ > 0 ? fitted_ : Use(numbers_.Scale); }

double TConversionNumbers::Depth() { return Use(numbers_.Depth); }

void ConvertSurfaces(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                     const TConversionOptions& Options, TConversionNumbers& Numbers,
                     const TFaceRoles* Roles, TConversion& Ran) {
  TDrawnAdjoinCount drawn;
  std::unordered_map<const TSurface*, const TSurface*> mirrors;
  if (Options.ImportAdjoins) mirrors = MirrorSurfaces(Level);
  const int sectors = Level.Sectors.Count();
  // A surface that several sectors list is one wall: one slab.
  std::unordered_set<const TSurface*> converted;
  for (int i = 0; i < sectors; ++i) {
    if (Progress) Progress(i, sectors);
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* surface = sector->Surfaces.Items(k);
      if (Level.SurfacesShared && !converted.insert(surface).second) continue;
      // Surfaces that open into another sector are not walls; those the game draws may become
      // brushes of their own.
      if (surface->Adjoin != -1) {
        if (Options.ImportAdjoins && IsDrawnAdjoin(*surface))
          AddDrawnAdjoin(Level, *surface, mirrors, Numbers.Scale(), BrushLevel, Options, Roles,
                         drawn, Ran.LeftOut);
        continue;
      }
      // The scale is asked for first: it is the first setting a brush needs, and a missing
      // setting's console line comes in that order.
      const double scale = Numbers.Scale();
      const double depth = Numbers.Depth();
      if (!AddSlabBrush(*surface, scale, depth, BrushLevel.Brushes, Options, Numbers.Shared())) {
        ++Ran.LeftOut;
        continue;
      }
      T3DMesh& brush = *BrushLevel.Brushes.Items(BrushLevel.Brushes.Count() - 1);
      brush.Brush.Source = surface;
      ++Ran.Slabs;
      CheckBrushIsFinite(brush, *surface, Level, scale, depth);
      if (Roles && brush.Surfaces.Count() > 0)
        SetFaceRole(*brush.Surfaces.Items(0), *surface, *Roles);
    }
  }
  Ran.DrawnAdjoinSurfaces = drawn.Surfaces;
  Ran.DrawnAdjoinBrushes = drawn.Brushes;
}

void ConvertThings(const TJKLevel& Level, TBrushLevel& BrushLevel, TConversionNumbers& Numbers) {
  for (int i = 0; i < Level.Things.Count(); ++i) {
    const TEntityRec* thing = Level.Things.Objects(i);
    const float s = static_cast<float>(Numbers.Scale());
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
    const float s = static_cast<float>(Numbers.Scale());
    auto copy = std::make_unique<TLightRec>();
    copy->Tag = light->Tag;
    VectorMultiply(light->Position, MakeVector(s, s, s), copy->Position);
    BrushLevel.Lights.push_back(std::move(copy));
  }
}

void EndConversion(const TJKLevel& Level, TBrushLevel& BrushLevel,
                   const TConversionOptions& Options, const TConversionNumbers& Numbers,
                   TConversion& Ran, const TConsoleProc& Console) {
  if (Ran.LeftOut > 0 && Console)
    Console(rtl::Format("%d surfaces without area left out of the slabs", Ran.LeftOut));
  if (Options.ImportAdjoins && Console)
    Console(rtl::Format("%d drawn adjoin surfaces became %d brushes", Ran.DrawnAdjoinSurfaces,
                        Ran.DrawnAdjoinBrushes));
  if (WrittenReach(BrushLevel, Options.WritesEntities) > WorldEdge) {
    const double reach = ImportReach(Level, Options);
    const double depth =
        std::max(Numbers.Settings().Depth.Value, Options.ImportAdjoins ? 1.0 : 0.0);
    BrushLevel.FittingScale = LargestFittingScale(reach, depth);
    BrushLevel.NoScaleFits = reach * BrushLevel.FittingScale + depth > WorldEdge;
  }
  // Read without asking: a number no step needed says no note.
  Ran.Scale = Numbers.ScaleRan();
  Ran.Depth = Numbers.Settings().Depth.Value;
}
