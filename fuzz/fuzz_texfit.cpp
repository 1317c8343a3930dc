// Random faces and texels for the texture fits: whatever the bytes, a fitted projection has
// finite values, integer shifts and rotation, and scales that are not 0; a brushDef matrix is
// finite; nothing crashes. Bytes become Singles directly, so NaN, infinities, huge values and
// repeated corners all occur.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "align/TexFit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + data[0] % 128, height = 1 + data[1] % 128;
  const bool small = data[2] & 1;  // small integer coordinates find ties and degenerate faces
  data += 4, size -= 4;
  std::vector<texfit::TTexCorner> corners;
  const size_t per = small ? 5 : 20;
  for (size_t at = 0; at + per <= size && corners.size() < 64; at += per) {
    texfit::TTexCorner c;
    if (small) {
      c.X = static_cast<float>(static_cast<int8_t>(data[at])) * 8;
      c.Y = static_cast<float>(static_cast<int8_t>(data[at + 1])) * 8;
      c.Z = static_cast<float>(static_cast<int8_t>(data[at + 2])) * 8;
      c.S = static_cast<float>(static_cast<int8_t>(data[at + 3])) * 4;
      c.T = static_cast<float>(static_cast<int8_t>(data[at + 4])) * 4;
    } else {
      float v[5];
      std::memcpy(v, data + at, sizeof v);
      c.X = v[0], c.Y = v[1], c.Z = v[2], c.S = v[3], c.T = v[4];
    }
    corners.push_back(c);
  }
  if (corners.size() < 3) return 0;
  float p1[3] = {corners[0].X, corners[0].Y, corners[0].Z};
  float p2[3] = {corners[1].X, corners[1].Y, corners[1].Z};
  float p3[3] = {corners[2].X, corners[2].Y, corners[2].Z};
  const TVector3 n = texfit::EditorNormal(p1, p2, p3);

  const texfit::TClassicFit fit = texfit::FitClassic(n, corners.data(), corners.size());
  const texfit::TClassicProjection& p = fit.Projection;
  for (float v : {p.ShiftS, p.ShiftT, p.Rotation, p.ScaleS, p.ScaleT})
    if (!std::isfinite(v)) std::abort();
  if (p.ScaleS == 0 || p.ScaleT == 0) std::abort();
  if (p.ShiftS != std::floor(p.ShiftS) || p.ShiftT != std::floor(p.ShiftT)) std::abort();
  if (p.Rotation != std::floor(p.Rotation) || p.Rotation < 0 || p.Rotation >= 360) std::abort();
  if (fit.Fitted && std::isnan(fit.Error.Worst)) std::abort();

  const texfit::TBrushDefFit def =
      texfit::FitBrushDef(n, corners.data(), corners.size(), width, height);
  if (def.Fitted)
    for (const auto& row : def.Matrix.M)
      for (float v : row)
        if (!std::isfinite(v)) std::abort();
  const texfit::TBrushDefMatrix m = texfit::BrushDefFromClassic(n, p1, p, width, height);
  (void)m;
  return 0;
}
