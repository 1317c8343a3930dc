// Random scenes for the preview's drawing: faces anywhere (NaN, huge, behind the eye, crossing
// the near plane), texture coordinates of any size, textures of many sizes under a small texel
// budget, palette indices with light and transparency tables, every view and light. Whatever the
// bytes, drawing ends with a whole picture and nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "preview/Scene.h"

namespace {

float Single(const uint8_t* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  preview::TScene scene;
  for (int t = 0; t < 3; ++t) {
    // Sizes 1 to 2048 each way, paletted or in colour.
    TSourcePixels pixels;
    pixels.Width = 1 << (data[t] % 12);
    pixels.Height = 1 + data[t + 3] % 300;
    const size_t texels = static_cast<size_t>(pixels.Width) * static_cast<size_t>(pixels.Height);
    if (data[6] & (1 << t))
      pixels.BGRA.assign(texels * 4, static_cast<uint8_t>(t * 70));
    else
      pixels.Indices.assign(texels, static_cast<uint8_t>(t * 70));
    scene.Sources["s" + std::to_string(t)] = pixels;
    scene.SourceOf["m" + std::to_string(t)] = "s" + std::to_string(t);
  }
  if (data[7] & 1) {
    scene.Tables.Light.assign(64 * 256, data[8]);
    if (data[7] & 2) scene.Tables.Transparency.assign(256 * 256, data[9]);
  }
  preview::TRenderOptions options;
  options.Width = 1 + data[10] % 96;
  options.Height = 1 + data[11] % 72;
  options.View = static_cast<preview::TView>(data[12] % 3);
  options.Light = static_cast<preview::TLightMode>(data[13] % 3);
  options.BothSides = data[14] & 1;
  options.TexelBudget = static_cast<size_t>(data[15]) * 64;
  options.WorkBudget = static_cast<uint64_t>(data[14] >> 1) << 10;
  data += 16, size -= 16;
  if (size >= 20) {
    options.Eye.Position = {Single(data), Single(data + 4), Single(data + 8)};
    options.Eye.Yaw = Single(data + 12);
    options.Eye.Pitch = Single(data + 16);
    data += 20, size -= 20;
  }
  // Each face: a byte of corner count and flags, then per corner position, texel and light.
  while (size > 0 && scene.Faces.size() < 32) {
    const int corners = 3 + data[0] % 4;
    const size_t need = 1 + static_cast<size_t>(corners) * 24;
    if (size < need) break;
    preview::TFace face;
    face.Material = "m" + std::to_string(data[0] / 4 % 4);
    face.Translucent = data[0] & 0x40;
    face.DoubleSided = data[0] & 0x80;
    for (int c = 0; c < corners; ++c) {
      const uint8_t* p = data + 1 + 24 * c;
      face.Corners.push_back({Single(p), Single(p + 4), Single(p + 8)});
      face.U.push_back(Single(p + 12));
      face.V.push_back(Single(p + 16));
      face.Light.push_back(Single(p + 20));
    }
    face.Normal = {Single(data + 1), Single(data + 5), Single(data + 9)};
    scene.Faces.push_back(std::move(face));
    data += need, size -= need;
  }
  preview::TRenderReport report;
  const preview::TImage image = preview::Render(scene, options, &report);
  if (image.RGB.size() != static_cast<size_t>(options.Width) * options.Height * 3) __builtin_trap();
  if (report.Drawn + report.Left + report.Duplicates > scene.Faces.size()) __builtin_trap();
  return 0;
}
