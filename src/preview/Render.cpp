#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_set>

#include "level/Vec3.h"
#include "preview/Clip.h"
#include "preview/Scene.h"
#include "rtl/SysUtils.h"

namespace preview {

namespace {

// One texture the picture samples: where its texels come from, and the finest level it needs.
struct TSlot {
  int Width = 0, Height = 0;
  const TSourcePixels* Source = nullptr;  // palette indices or colours of the texture step
  const TMaterialImage* Image = nullptr;  // or colours made by hand
  int Finest = std::numeric_limits<int>::max();
  std::unique_ptr<TTexture> Texture;
};

// A face as drawn: its corners on screen (clipped) and how near and far it comes.
struct TDrawn {
  size_t Face = 0, First = 0, Count = 0;
  int Slot = -1;
  float Near = 0, Far = 0;
  double Plane = 0;  // the eye's distance from the face's plane (for a perspective view)
};

// The texels a texture keeps from level First on.
size_t KeptTexels(int Width, int Height, int First) {
  size_t total = 0;
  for (int level = 0;; ++level) {
    if (level >= First) total += static_cast<size_t>(Width) * static_cast<size_t>(Height);
    if (Width == 1 && Height == 1) return total;
    Width = std::max(1, Width / 2);
    Height = std::max(1, Height / 2);
  }
}

// Within the budget: the texture that keeps the most texels gives up its finest level, until
// all fit (or every texture keeps one texel).
void FitBudget(std::vector<TSlot>& Slots, size_t Budget) {
  for (;;) {
    size_t total = 0, most = 0;
    TSlot* largest = nullptr;
    for (TSlot& slot : Slots) {
      if (slot.Finest == std::numeric_limits<int>::max()) continue;
      const size_t kept = KeptTexels(slot.Width, slot.Height, slot.Finest);
      total += kept;
      if (kept > most && slot.Finest + 1 < TTexture::LevelCount(slot.Width, slot.Height))
        most = kept, largest = &slot;
    }
    if (total <= Budget || !largest) return;
    ++largest->Finest;
  }
}

std::unique_ptr<TTexture> MakeTexture(const TSlot& Slot, const TScene& Scene, bool Paletted) {
  const size_t texels = static_cast<size_t>(Slot.Width) * static_cast<size_t>(Slot.Height);
  if (Slot.Image)
    return std::make_unique<TTexture>(Slot.Width, Slot.Height, Slot.Image->Bitmap.data(),
                                      Slot.Finest);
  const TSourcePixels& source = *Slot.Source;
  if (source.Indices.size() >= texels) {
    if (Paletted)
      return std::make_unique<TTexture>(Slot.Width, Slot.Height, source.Indices.data(),
                                        Scene.Palette, Slot.Finest);
    std::vector<uint8_t> bgra(texels * 4);
    for (size_t i = 0; i < texels; ++i) {
      const TRGBTriple& c = Scene.Palette[source.Indices[i]];
      bgra[i * 4] = c.B;
      bgra[i * 4 + 1] = c.G;
      bgra[i * 4 + 2] = c.R;
    }
    return std::make_unique<TTexture>(Slot.Width, Slot.Height, bgra.data(), Slot.Finest);
  }
  return std::make_unique<TTexture>(Slot.Width, Slot.Height, source.BGRA.data(), Slot.Finest);
}

}  // namespace

TImage Render(const TScene& Scene, const TRenderOptions& Options, TRenderReport* Report) {
  TRenderReport report;
  const bool eye = Options.View == TView::Eye;
  std::vector<TVector3> points;
  if (!eye)
    for (const TFace& face : Scene.Faces)
      points.insert(points.end(), face.Corners.begin(), face.Corners.end());
  const TCamera camera = eye ? TCamera(Options.Eye, Options.Width, Options.Height)
                             : TCamera(Options.View, points, Options.Width, Options.Height);
  const bool hasTables = !Scene.Tables.Light.empty();
  const bool game =
      Options.Light == TLightMode::Game || (Options.Light == TLightMode::Auto && hasTables);
  const bool paletted = game && hasTables;
  TRaster raster(Options.Width, Options.Height, Background);

  // The textures faces name, each once.
  std::vector<TSlot> slots;
  std::map<std::string, int> slotOf;
  auto slotFor = [&](const std::string& material) {
    const std::string name = rtl::LowerCase(material);
    auto source = Scene.SourceOf.find(name);
    const std::string key = source != Scene.SourceOf.end() ? "s" + source->second : "m" + name;
    auto known = slotOf.find(key);
    if (known != slotOf.end()) return known->second;
    TSlot slot;
    if (source != Scene.SourceOf.end()) {
      auto pixels = Scene.Sources.find(source->second);
      if (pixels != Scene.Sources.end() && pixels->second.Width > 0 && pixels->second.Height > 0) {
        slot.Source = &pixels->second;
        slot.Width = pixels->second.Width;
        slot.Height = pixels->second.Height;
        const size_t texels = static_cast<size_t>(slot.Width) * size_t(slot.Height);
        if (pixels->second.Indices.size() < texels && pixels->second.BGRA.size() < texels * 4)
          slot.Source = nullptr;
      }
    } else {
      auto image = Scene.Textures.find(name);
      if (image != Scene.Textures.end()) {
        slot.Image = &image->second;
        slot.Width = image->second.Width;
        slot.Height = image->second.Height;
      }
    }
    const int index = slot.Source || slot.Image ? static_cast<int>(slots.size()) : -1;
    if (index >= 0) slots.push_back(std::move(slot));
    slotOf[key] = index;
    return index;
  };

  // The faces that show, on screen.
  std::vector<TScreenVertex> screen;
  std::vector<TDrawn> drawn;
  std::vector<TClipVertex> clipIn, clipOut;
  // An opaque face exactly like one before it (the same corners on screen, the same paint)
  // can change no pixel: its depth is nowhere smaller than the first one's.
  std::unordered_set<std::string> opaque;
  std::string key;
  for (size_t f = 0; f < Scene.Faces.size(); ++f) {
    const TFace& face = Scene.Faces[f];
    if (face.Corners.size() < 3) continue;
    if (!Options.BothSides && !face.DoubleSided && !camera.Faces(face.Corners[0], face.Normal))
      continue;
    TDrawn d;
    d.Face = f;
    d.First = screen.size();
    d.Slot = face.U.size() == face.Corners.size() && face.V.size() == face.Corners.size()
                 ? slotFor(face.Material)
                 : -1;
    const bool textured = d.Slot >= 0;
    auto light = [&](size_t j) { return game && j < face.Light.size() ? face.Light[j] : 1.0f; };
    if (!eye) {
      for (size_t j = 0; j < face.Corners.size(); ++j) {
        const TCamera::TProjected p = camera.Project(face.Corners[j]);
        TScreenVertex v;
        v.X = p.X;
        v.Y = p.Y;
        v.Depth = p.Depth;
        v.U = textured ? face.U[j] : 0;
        v.V = textured ? face.V[j] : 0;
        v.Light = light(j);
        screen.push_back(v);
      }
    } else {
      clipIn.clear();
      for (size_t j = 0; j < face.Corners.size(); ++j) {
        TClipVertex c;
        c.View = camera.ToView(face.Corners[j]);
        c.U = textured ? face.U[j] : 0;
        c.V = textured ? face.V[j] : 0;
        c.Light = light(j);
        clipIn.push_back(c);
      }
      ClipNear(clipIn, TCamera::Near, clipOut);
      for (const TClipVertex& c : clipOut) {
        const TCamera::TScreen s = camera.ToScreen(c.View);
        TScreenVertex v;
        v.X = s.X;
        v.Y = s.Y;
        v.Q = 1 / s.W;
        v.Depth = -v.Q;  // linear on screen, and smaller for nearer points
        v.U = c.U;
        v.V = c.V;
        v.Light = c.Light;
        screen.push_back(v);
      }
    }
    d.Count = screen.size() - d.First;
    if (d.Count < 3) {
      screen.resize(d.First);
      continue;
    }
    if (!face.Translucent) {
      key.assign(reinterpret_cast<const char*>(&screen[d.First]), d.Count * sizeof(TScreenVertex));
      key.append(reinterpret_cast<const char*>(&d.Slot), sizeof d.Slot);
      key.append(reinterpret_cast<const char*>(&face.Normal), sizeof face.Normal);
      key += face.Material;
      if (!opaque.insert(key).second) {
        ++report.Duplicates;
        screen.resize(d.First);
        continue;
      }
    }
    d.Near = std::numeric_limits<float>::infinity();
    d.Far = -d.Near;
    if (eye)
      d.Plane = std::fabs(vec::Dot(face.Normal, face.Corners[0]) -
                          vec::Dot(face.Normal, Options.Eye.Position));
    for (size_t j = d.First; j < screen.size(); ++j) {
      d.Near = std::min(d.Near, screen[j].Depth);
      d.Far = std::max(d.Far, screen[j].Depth);
    }
    drawn.push_back(d);
  }

  // Each texture keeps only the levels its faces sample, within the budget.
  for (const TDrawn& d : drawn) {
    if (d.Slot < 0) continue;
    TSlot& slot = slots[static_cast<size_t>(d.Slot)];
    const int levels = TTexture::LevelCount(slot.Width, slot.Height);
    for (size_t j = 1; j + 1 < d.Count; ++j) {
      const int k =
          raster.FinestLevel(screen[d.First], screen[d.First + j], screen[d.First + j + 1], levels);
      if (k >= 0) slot.Finest = std::min(slot.Finest, k);
    }
  }
  FitBudget(slots, Options.TexelBudget);
  for (TSlot& slot : slots)
    if (slot.Finest != std::numeric_limits<int>::max())
      slot.Texture = MakeTexture(slot, Scene, paletted);

  // Opaque faces nearest first (what they hide costs little), then the translucent ones
  // farthest first, each blended over what is behind it.
  std::stable_sort(drawn.begin(), drawn.end(), [&](const TDrawn& a, const TDrawn& b) {
    const bool ta = Scene.Faces[a.Face].Translucent, tb = Scene.Faces[b.Face].Translucent;
    if (ta != tb) return tb;
    if (ta) return a.Far > b.Far;
    // Faces cut by the near plane all come as near: of those, the one whose plane passes
    // nearest the eye (of floors stacked below it, the top one), then the least far.
    if (a.Near != b.Near) return a.Near < b.Near;
    return a.Plane != b.Plane ? a.Plane < b.Plane : a.Far < b.Far;
  });
  if (paletted && !Scene.Tables.Transparency.empty()) raster.KeepIndices();
  const uint64_t budget = std::max<uint64_t>(
      Options.WorkBudget, 8 * static_cast<uint64_t>(Options.Width) * uint64_t(Options.Height));
  size_t translucentDrawn = 0;
  for (const TDrawn& d : drawn) {
    if (raster.Work() > budget) {
      report.Left = drawn.size() - report.Drawn;
      for (const TDrawn& left : drawn)
        if (Scene.Faces[left.Face].Translucent) ++report.LeftTranslucent;
      report.LeftTranslucent -= std::min(report.LeftTranslucent, translucentDrawn);
      break;
    }
    if (Scene.Faces[d.Face].Translucent) ++translucentDrawn;
    ++report.Drawn;
    const TFace& face = Scene.Faces[d.Face];
    TPaint paint;
    paint.Texture = d.Slot >= 0 ? slots[static_cast<size_t>(d.Slot)].Texture.get() : nullptr;
    paint.Flat = paint.Texture ? TColour{} : MaterialColour(face.Material);
    paint.Shade = game ? 1 : FaceShade(face.Normal);
    paint.Lit = game;
    paint.Tables = paletted ? &Scene.Tables : nullptr;
    paint.Translucent = face.Translucent;
    // Level surfaces are convex polygons: a fan from the first corner covers them.
    for (size_t j = 1; j + 1 < d.Count; ++j)
      raster.DrawTriangle(screen[d.First], screen[d.First + j], screen[d.First + j + 1], paint);
  }
  if (Report) *Report = report;
  return raster.TakeImage();
}

std::string LeftOutText(const TRenderReport& Report) {
  const size_t opaque = Report.Left - Report.LeftTranslucent;
  std::string text;
  if (opaque > 0) text = std::to_string(opaque) + " faces left out, the farthest";
  if (Report.LeftTranslucent > 0)
    text += (text.empty() ? "" : "; ") + std::to_string(Report.LeftTranslucent) +
            " translucent faces left out, the nearest (they are drawn last)";
  if (!text.empty()) text += ": the faces overlap too much to draw them all in time";
  return text;
}

}  // namespace preview
