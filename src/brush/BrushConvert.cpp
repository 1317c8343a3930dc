#include "brush/BrushConvert.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "plugin/main.h"
#include "rtl/SysUtils.h"

void AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TImportOptions& Options) {
  T3DMesh* brush = Brushes.AddNew();
  const int n = Surface.Vertices.Count();
  // Sky surfaces (horizon 0x200, ceiling 0x400) become sky faces in the editor.
  const int flags = (Surface.Flags & (0x200 | 0x400)) ? 4 : 0;

  brush->Reserve(2 * static_cast<size_t>(n), static_cast<size_t>(n) + 2);

  TSurface* front = brush->AddNewSurface();
  front->MaterialName = Surface.MaterialName;
  front->Flags = flags;
  front->Reserve(static_cast<size_t>(n));
  // A surface whose texture vertices are fewer than its corners has none worth keeping.
  const bool texels = CarriesTexels(Options) && Surface.TXVertices.Count() == n;
  if (texels) front->TXVertexMissing = Surface.TXVertexMissing;
  std::vector<TVertex*> f;  // f[j]: the front face's corner j
  f.reserve(static_cast<size_t>(n));
  for (int k = n - 1; k >= 0; --k) {
    const TVertex* s = Surface.Vertices.Items(k);
    TVertex* v = brush->AddNewVertex(Scale * s->X, Scale * s->Y, Scale * s->Z);
    // The corner and its texel stay paired through the reversal.
    front->AddVertex(v, texels ? Surface.TXVertices.Items(k) : nullptr);
    f.push_back(v);
  }

  // The corners run backwards, so this is the source surface's own right-hand normal and the
  // slab lies on the side from which the source corners appear clockwise.
  // A surface without corners makes an empty brush (the hand-off passes over its faces); one
  // with a single corner stops here with the vertex list's error for index 1.
  TVector3 normal;
  if (n > 0) front->GetNormal(normal);

  TSurface* back = brush->AddNewSurface();
  back->MaterialName = Surface.MaterialName;
  back->Flags = flags;
  back->Reserve(static_cast<size_t>(n));
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
    side->Vertices.Reserve(4);
    side->Vertices.Add(b[k0]);
    side->Vertices.Add(b[k1]);
    side->Vertices.Add(f[k1]);
    side->Vertices.Add(f[k0]);
  }
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

bool ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                             const TImportOptions& Options) {
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
      const double scale = GetScale();
      const double depth = GetBrushDepth();
      AddSlabBrush(*surface, scale, depth, BrushLevel.Brushes, Options);
      CheckBrushIsFinite(*BrushLevel.Brushes.Items(BrushLevel.Brushes.Count() - 1), *surface, Level,
                         scale, depth);
    }
  }

  for (int i = 0; i < Level.Things.Count(); ++i) {
    const TEntityRec* thing = Level.Things.Objects(i);
    const float s = static_cast<float>(GetScale());
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
    const double scale = GetScale();
    const float s = static_cast<float>(scale);
    auto copy = std::make_unique<TLightRec>();
    copy->Tag = light->Tag;
    VectorMultiply(light->Position, MakeVector(s, s, s), copy->Position);
    copy->Value1 = static_cast<float>(scale * light->Value1);
    copy->Value2 = static_cast<float>(static_cast<double>(light->Value2) * 100);
    BrushLevel.Lights.push_back(std::move(copy));
  }
  return true;
}
