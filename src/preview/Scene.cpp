#include "preview/Scene.h"

#include <cmath>
#include <cstdint>

#include "brush/O_brush.h"
#include "brush/TexFit.h"
#include "rtl/SysUtils.h"

namespace preview {

const TColour Background{40, 44, 52};

TScene BuildScene(const TImportContext& Context) {
  TScene scene;
  for (const auto& material : Context.Textures.Materials) {
    const TMaterialImage& image = material.second;
    if (image.Width > 0 && image.Height > 0 &&
        image.Bitmap.size() / 4 / static_cast<size_t>(image.Width) >=
            static_cast<size_t>(image.Height))
      scene.Textures[rtl::LowerCase(material.first)] = image;
  }

  const T3DMeshList& brushes = Context.BrushLevel.Brushes;
  scene.FaceOfBrush.assign(static_cast<size_t>(brushes.Count()), -1);
  scene.Faces.reserve(static_cast<size_t>(brushes.Count()));
  for (int i = 0; i < brushes.Count(); ++i) {
    const T3DMesh* brush = brushes.Items(i);
    if (brush->Surfaces.Count() == 0) continue;
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
    scene.FaceOfBrush[static_cast<size_t>(i)] = static_cast<int>(scene.Faces.size());
    scene.Faces.push_back(std::move(face));
  }
  return scene;
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
  static const double L[3] = {-0.3, -0.5, 0.8};
  static const double length = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
  const double d = (Normal.X * L[0] + Normal.Y * L[1] + Normal.Z * L[2]) / length;
  return static_cast<float>(0.45 + 0.55 * std::fabs(d));
}

TImage Render(const TScene& Scene, const TRenderOptions& Options) {
  std::vector<TVector3> points;
  for (const TFace& face : Scene.Faces)
    points.insert(points.end(), face.Corners.begin(), face.Corners.end());
  const TCamera camera(Options.View, points, Options.Width, Options.Height);
  TRaster raster(Options.Width, Options.Height, Background);

  // Each decoded texture with its halvings, made once.
  std::map<std::string, TTexture> textures;
  for (const auto& material : Scene.Textures)
    textures.emplace(material.first, TTexture(material.second.Width, material.second.Height,
                                              material.second.Bitmap.data()));

  std::vector<TScreenVertex> screen;
  for (const TFace& face : Scene.Faces) {
    const TTexture* texture = nullptr;
    if (!face.U.empty()) {
      auto it = textures.find(rtl::LowerCase(face.Material));
      if (it != textures.end()) texture = &it->second;
    }
    const TColour flat = texture ? TColour{} : MaterialColour(face.Material);
    const float shade = FaceShade(face.Normal);
    screen.resize(face.Corners.size());
    for (size_t j = 0; j < face.Corners.size(); ++j) {
      const TCamera::TProjected p = camera.Project(face.Corners[j]);
      screen[j].X = p.X;
      screen[j].Y = p.Y;
      screen[j].Depth = p.Depth;
      screen[j].U = texture ? face.U[j] : 0;
      screen[j].V = texture ? face.V[j] : 0;
    }
    // Level surfaces are convex polygons: a fan from the first corner covers them.
    for (size_t j = 1; j + 1 < screen.size(); ++j)
      raster.DrawTriangle(screen[0], screen[j], screen[j + 1], texture, flat, shade);
  }
  return raster.TakeImage();
}

}  // namespace preview
