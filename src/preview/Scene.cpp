#include "preview/Scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "align/TexFit.h"
#include "brush/O_brush.h"
#include "level/Vec3.h"
#include "model/ModelPose.h"
#include "rtl/SysUtils.h"

namespace preview {

const TColour Background{40, 44, 52};

float CornerLight(int LightMode, float Intensity, float SurfaceExtra, float SectorExtra) {
  if (LightMode == 0) return 1;
  const float light = Intensity + SurfaceExtra + SectorExtra;
  return light > 0 ? (light < 1 ? light : 1) : 0;  // NaN gives 0
}

namespace {

// The source corner that front corner j of a brush was made from: the front face lists the
// surface's corners backwards, scaled, perhaps with repeated or in-line corners left out.
int SourceCorner(const TSurface& Source, const std::vector<TVector3>& Front, size_t j,
                 double Scale) {
  const int n = Source.Vertices.Count();
  if (static_cast<size_t>(n) == Front.size()) return n - 1 - static_cast<int>(j);
  int best = -1;
  double bestDistance = 0;
  for (int k = 0; k < n; ++k) {
    const TVertex* v = Source.Vertices.Items(k);
    const double dx = v->X * Scale - Front[j].X, dy = v->Y * Scale - Front[j].Y,
                 dz = v->Z * Scale - Front[j].Z;
    const double d = dx * dx + dy * dy + dz * dz;
    if (best < 0 || d < bestDistance) best = k, bestDistance = d;
  }
  return best;
}

// The game's light and flags of the face made from Source.
void LightFace(const TJKLevel& Level, const TSurface& Source, int Index, int Sector, double Scale,
               TFace& Face) {
  if (Index < 0 || static_cast<size_t>(Index) >= Level.SurfaceLights.size()) return;
  const TJKLevel::TSurfaceLight& light = Level.SurfaceLights[static_cast<size_t>(Index)];
  Face.DoubleSided = (light.FaceFlags & 1) != 0;
  Face.Translucent = (light.FaceFlags & 2) != 0;
  const float sectorExtra =
      Sector >= 0 && static_cast<size_t>(Sector) < Level.SectorExtraLight.size()
          ? Level.SectorExtraLight[static_cast<size_t>(Sector)]
          : 0;
  for (size_t j = 0; j < Face.Corners.size(); ++j) {
    const int k = SourceCorner(Source, Face.Corners, j, Scale);
    const size_t at = static_cast<size_t>(light.First) + static_cast<size_t>(k < 0 ? 0 : k);
    const float intensity = k >= 0 && at < Level.Intensities.size() ? Level.Intensities[at] : 0;
    Face.Light.push_back(CornerLight(light.LightMode, intensity, light.ExtraLight, sectorExtra));
  }
}

}  // namespace

TScene BuildScene(const TImportContext& Context, double Scale) {
  TScene scene;
  const TLevelTextures& textures = Context.Textures;
  for (const auto& material : textures.Materials) {
    const TMaterialImage& image = material.second;
    const std::string name = rtl::LowerCase(material.first);
    auto source = textures.Sources.find(image.Source);
    if (!image.Source.empty() && source != textures.Sources.end()) {
      scene.SourceOf[name] = image.Source;
      scene.Sources.emplace(*source);
    } else if (image.Width > 0 && image.Height > 0 &&
               image.Bitmap.size() / 4 / static_cast<size_t>(image.Width) >=
                   static_cast<size_t>(image.Height)) {
      scene.Textures[name] = image;
    }
  }
  scene.Palette = textures.Palette;
  scene.Tables = textures.Tables;

  // Where each level surface stands: its index, and the first sector that lists it.
  const TJKLevel& level = Context.Level;
  std::unordered_map<const TSurface*, std::pair<int, int>> where;
  for (int i = 0; i < level.Surfaces.Count(); ++i) where[level.Surfaces.Items(i)] = {i, -1};
  for (int s = level.Sectors.Count() - 1; s >= 0; --s) {
    const T3DMesh* sector = level.Sectors.Items(s);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) where[sector->Surfaces.Items(k)].second = s;
  }

  const TBrushLevel& brushLevel = Context.BrushLevel;
  const T3DMeshList& brushes = brushLevel.Brushes;
  scene.FaceOfBrush.assign(static_cast<size_t>(brushes.Count()), -1);
  scene.Faces.reserve(static_cast<size_t>(brushes.Count()));
  for (int i = 0; i < brushes.Count(); ++i) {
    const T3DMesh* brush = brushes.Items(i);
    // A sealed level's shell boxes and the water's volumes are no surface of the level, and
    // drawn they would hide it.
    if (brush->Brush.Kind == TBrushKind::ShellBox || brush->Brush.Kind == TBrushKind::WaterVolume ||
        brush->Surfaces.Count() == 0)
      continue;
    const TSurface* front = brush->Surfaces.Items(0);
    const int n = front->Vertices.Count();
    if (n < 3) continue;
    TFace face;
    face.Brush = i;
    face.Material = front->MaterialName;
    face.Normal = front->Normal;
    face.Corners.reserve(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) face.Corners.push_back(front->Vertices.Items(j)->Position());
    // The level's texture vertices, kept by the brush conversion with each front corner.
    if (front->TXVertices.Count() == n)
      for (int j = 0; j < n; ++j) {
        const TTXVertex* texel = front->TXVertices.Items(j);
        face.U.push_back(texel->U);
        face.V.push_back(texel->V);
      }
    const TSurface* source = brush->Brush.Source;
    auto it = where.find(source);
    if (source && it != where.end())
      LightFace(level, *source, it->second.first, it->second.second, Scale, face);
    scene.FaceOfBrush[static_cast<size_t>(i)] = static_cast<int>(scene.Faces.size());
    scene.Faces.push_back(std::move(face));
  }
  return scene;
}

void AddModelFaces(TScene& Scene, const TImportContext& Context, const TLevelModels& Models) {
  const TBrushLevel& brushLevel = Context.BrushLevel;
  const TJKLevel& level = Context.Level;
  auto sizeOf = [&Scene](const std::string& Material, double& W, double& H) {
    W = H = 64;
    const std::string name = rtl::LowerCase(Material);
    auto source = Scene.SourceOf.find(name);
    if (source != Scene.SourceOf.end()) {
      auto pixels = Scene.Sources.find(source->second);
      if (pixels != Scene.Sources.end() && pixels->second.Width > 0)
        W = pixels->second.Width, H = pixels->second.Height;
      return;
    }
    auto image = Scene.Textures.find(name);
    if (image != Scene.Textures.end() && image->second.Width > 0)
      W = image->second.Width, H = image->second.Height;
  };
  const size_t things = std::min({Models.Things.size(), static_cast<size_t>(level.Things.Count()),
                                  static_cast<size_t>(brushLevel.Entities.Count())});
  for (size_t i = 0; i < things; ++i) {
    const TThingModelPlacement& place = Models.Things[i];
    if (place.State != TThingModelState::Placed) continue;
    const std::vector<int>& stray = brushLevel.StrayThings;
    if (std::find(stray.begin(), stray.end(), static_cast<int>(i)) != stray.end()) continue;
    const TLevelModel& model = Models.Models[static_cast<size_t>(place.Model)];
    const TEntityRec& thing = *level.Things.Objects(static_cast<int>(i));
    const TVector3& origin = brushLevel.Entities.Objects(static_cast<int>(i))->Origin;
    double r[3][3];
    GameRotation(thing.Pitch, thing.Yaw, thing.Roll, r);
    for (const TPosedSurface& s : model.Posed.Surfaces) {
      const std::string material =
          s.Material >= 0 ? model.Model->Materials[static_cast<size_t>(s.Material)] : std::string();
      double w, h;
      sizeOf(material, w, h);
      auto corner = [&](uint32_t v) {
        const float* p = &s.XYZ[3 * static_cast<size_t>(v)];
        TVector3 out;
        out.X = static_cast<float>(origin.X + r[0][0] * p[0] + r[0][1] * p[1] + r[0][2] * p[2]);
        out.Y = static_cast<float>(origin.Y + r[1][0] * p[0] + r[1][1] * p[1] + r[1][2] * p[2]);
        out.Z = static_cast<float>(origin.Z + r[2][0] * p[0] + r[2][1] * p[1] + r[2][2] * p[2]);
        return out;
      };
      for (size_t k = 0; k + 2 < s.Triangles.size(); k += 3) {
        TFace face;
        face.Material = material;
        for (size_t c = 0; c < 3; ++c) {
          const uint32_t v = s.Triangles[k + c];
          face.Corners.push_back(corner(v));
          face.U.push_back(static_cast<float>(s.ST[2 * static_cast<size_t>(v)] * w));
          face.V.push_back(static_cast<float>(s.ST[2 * static_cast<size_t>(v) + 1] * h));
        }
        // The triangles run clockwise seen from their front.
        const TVector3& a = face.Corners[0];
        const TVector3& b = face.Corners[1];
        const TVector3& c = face.Corners[2];
        const vec::TVec3d n = vec::Cross(vec::TVec3d{c.X - a.X, c.Y - a.Y, c.Z - a.Z},
                                         vec::TVec3d{b.X - a.X, b.Y - a.Y, b.Z - a.Z});
        const double length = std::sqrt(vec::Dot(n, n));
        if (length > 0)
          face.Normal =
              MakeVector(static_cast<float>(n.X / length), static_cast<float>(n.Y / length),
                         static_cast<float>(n.Z / length));
        Scene.Faces.push_back(std::move(face));
      }
    }
  }
}

void EditorTexel(const TEditorFace& Face, const TVector3& P, float& S, float& T) {
  texfit::TClassicProjection projection;
  projection.ShiftS = Face.ShiftS;
  projection.ShiftT = Face.ShiftT;
  projection.Rotation = Face.Rotate;
  projection.ScaleS = Face.ScaleS;
  projection.ScaleT = Face.ScaleT;
  const float point[3] = {P.X, P.Y, P.Z};
  double s = 0, t = 0;
  texfit::ClassicTexel(texfit::EditorNormal(Face.P1, Face.P2, Face.P3), projection, point, s, t);
  S = static_cast<float>(s);
  T = static_cast<float>(t);
}

void ApplyEditorProjection(TScene& Scene, int Index, const TEditorBrush& Brush) {
  if (Index < 0 || static_cast<size_t>(Index) >= Scene.FaceOfBrush.size()) return;
  const int f = Scene.FaceOfBrush[static_cast<size_t>(Index)];
  if (f < 0 || Brush.Faces.empty()) return;
  TFace& face = Scene.Faces[static_cast<size_t>(f)];
  const TEditorFace& record = Brush.Faces.back();
  face.U.resize(face.Corners.size());
  face.V.resize(face.Corners.size());
  for (size_t j = 0; j < face.Corners.size(); ++j)
    EditorTexel(record, face.Corners[j], face.U[j], face.V[j]);
}

TColour MaterialColour(const std::string& Name) {
  uint32_t h = 2166136261u;
  for (char c : rtl::LowerCase(Name)) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  // A hue from the name, at a middling saturation and brightness so that shading still shows.
  const double hue = (h % 360u) / 60.0, s = 0.5, v = 0.85;
  const double c = v * s, x = c * (1 - std::fabs(std::fmod(hue, 2.0) - 1)), m = v - c;
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(hue)) {
    case 0:
      r = c, g = x;
      break;
    case 1:
      r = x, g = c;
      break;
    case 2:
      g = c, b = x;
      break;
    case 3:
      g = x, b = c;
      break;
    case 4:
      r = x, b = c;
      break;
    default:
      r = c, b = x;
      break;
  }
  auto byte = [m](double t) { return static_cast<uint8_t>(std::lround((t + m) * 255)); };
  return TColour{byte(r), byte(g), byte(b)};
}

float FaceShade(const TVector3& Normal) {
  // Light from above, a little from the south-west: floors brightest, the walls facing X and
  // those facing Y at two different levels, so corners read.
  static const vec::TVec3d L{-0.3, -0.5, 0.8};
  static const double length = std::sqrt(vec::Dot(L, L));
  const double d = vec::Dot(vec::TVec3d{Normal.X, Normal.Y, Normal.Z}, L) / length;
  return static_cast<float>(0.45 + 0.55 * std::fabs(d));
}

}  // namespace preview
