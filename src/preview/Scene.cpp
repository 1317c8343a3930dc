#include "preview/Scene.h"

#include <cmath>
#include <cstdint>

#include "brush/O_brush.h"
#include "level/O_jkl.h"
#include "plugin/RecordingHost.h"
#include "rtl/SysUtils.h"

namespace preview {

const TColour Background{40, 44, 52};

namespace {

double Dot(const float A[3], const TVector3& B) {
  return static_cast<double>(A[0]) * B.X + static_cast<double>(A[1]) * B.Y +
         static_cast<double>(A[2]) * B.Z;
}

}  // namespace

TScene BuildScene(const TImportContext& Context) {
  TScene scene;
  for (const auto& material : Context.Textures.Materials) {
    const TMaterialImage& image = material.second;
    if (image.Width > 0 && image.Height > 0 &&
        image.Bitmap.size() / 4 / static_cast<size_t>(image.Width) >=
            static_cast<size_t>(image.Height))
      scene.Textures[rtl::LowerCase(material.first)] = image;
  }

  // The solid surfaces in the order the brush conversion makes one brush of each; their texture
  // vertices are the game's mapping of the brushes' front faces.
  std::vector<const TSurface*> sources;
  for (int i = 0; i < Context.Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Context.Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k)
      if (sector->Surfaces.Items(k)->Adjoin == -1) sources.push_back(sector->Surfaces.Items(k));
  }
  const T3DMeshList& brushes = Context.BrushLevel.Brushes;
  // Brush i comes from solid surface i as long as every solid surface made one brush.
  const bool paired = sources.size() == static_cast<size_t>(brushes.Count());

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
    const TSurface* source = paired ? sources[static_cast<size_t>(i)] : nullptr;
    if (source && source->Vertices.Count() == n && source->TXVertices.Count() == n) {
      // The front face lists the surface's corners backwards.
      for (int j = 0; j < n; ++j) {
        const TTXVertex* texel = source->TXVertices.Items(n - 1 - j);
        face.U.push_back(texel->U);
        face.V.push_back(texel->V);
      }
    }
    scene.FaceOfBrush[static_cast<size_t>(i)] = static_cast<int>(scene.Faces.size());
    scene.Faces.push_back(std::move(face));
  }
  return scene;
}

void EditorTexel(const recording_host::TRecordedFace& Face, const TVector3& P, float& S, float& T) {
  // The plane's normal from the three points, in Singles as the editor computes it.
  const float a[3] = {Face.P1[0] - Face.P2[0], Face.P1[1] - Face.P2[1], Face.P1[2] - Face.P2[2]};
  const float b[3] = {Face.P3[0] - Face.P2[0], Face.P3[1] - Face.P2[1], Face.P3[2] - Face.P2[2]};
  float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length > 0)
    for (float& c : n) c /= length;

  // The axis pair: the first of floor, ceiling, west, east, south, north whose direction lies
  // strictly closer to the normal than every one before.
  static const float Base[6][3] = {{0, 0, 1},  {0, 0, -1}, {1, 0, 0},
                                   {-1, 0, 0}, {0, 1, 0},  {0, -1, 0}};
  static const float Axes[3][2][3] = {{{1, 0, 0}, {0, -1, 0}},   // floor and ceiling
                                      {{0, 1, 0}, {0, 0, -1}},   // west and east
                                      {{1, 0, 0}, {0, 0, -1}}};  // south and north
  float best = 0;
  int pick = 0;
  for (int i = 0; i < 6; ++i) {
    const float d = n[0] * Base[i][0] + n[1] * Base[i][1] + n[2] * Base[i][2];
    if (d > best) {
      best = d;
      pick = i;
    }
  }
  float vecs[2][3];
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 3; ++k) vecs[i][k] = Axes[pick / 2][i][k];

  // Rotation in the axis pair's own plane; the four right angles exactly.
  float sinv, cosv;
  const float r = Face.Rotate;
  if (r == 0) {
    sinv = 0;
    cosv = 1;
  } else if (r == 90) {
    sinv = 1;
    cosv = 0;
  } else if (r == 180) {
    sinv = 0;
    cosv = -1;
  } else if (r == 270) {
    sinv = -1;
    cosv = 0;
  } else {
    const double angle = r / 180.0 * 3.14159265358979323846;
    sinv = static_cast<float>(std::sin(angle));
    cosv = static_cast<float>(std::cos(angle));
  }
  const int sv = vecs[0][0] != 0 ? 0 : vecs[0][1] != 0 ? 1 : 2;
  const int tv = vecs[1][0] != 0 ? 0 : vecs[1][1] != 0 ? 1 : 2;
  for (auto& vec : vecs) {
    const float ns = cosv * vec[sv] - sinv * vec[tv];
    const float nt = sinv * vec[sv] + cosv * vec[tv];
    vec[sv] = ns;
    vec[tv] = nt;
  }
  // A scale of 0 is the default.
  const float scaleS = Face.ScaleS == 0 ? 0.5f : Face.ScaleS;
  const float scaleT = Face.ScaleT == 0 ? 0.5f : Face.ScaleT;
  S = static_cast<float>(Dot(vecs[0], P) / scaleS + Face.ShiftS);
  T = static_cast<float>(Dot(vecs[1], P) / scaleT + Face.ShiftT);
}

void ApplyEditorProjection(TScene& Scene, int Index, const recording_host::TRecordedBrush& Brush) {
  if (Index < 0 || static_cast<size_t>(Index) >= Scene.FaceOfBrush.size()) return;
  const int f = Scene.FaceOfBrush[static_cast<size_t>(Index)];
  if (f < 0 || Brush.Faces.empty()) return;
  TFace& face = Scene.Faces[static_cast<size_t>(f)];
  const recording_host::TRecordedFace& record = Brush.Faces.back();
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
