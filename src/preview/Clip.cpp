#include "preview/Clip.h"

#include <cstddef>

namespace preview {

namespace {

float Mix(float A, float B, float T) { return A + (B - A) * T; }

TClipVertex OnPlane(const TClipVertex& A, const TClipVertex& B, float Near) {
  // A and B lie on either side of the plane, so their Z differ.
  const float t = (Near - A.View.Z) / (B.View.Z - A.View.Z);
  TClipVertex p;
  p.View = TVector3{Mix(A.View.X, B.View.X, t), Mix(A.View.Y, B.View.Y, t), Near};
  p.U = Mix(A.U, B.U, t);
  p.V = Mix(A.V, B.V, t);
  p.Light = Mix(A.Light, B.Light, t);
  return p;
}

}  // namespace

void ClipNear(const std::vector<TClipVertex>& In, float Near, std::vector<TClipVertex>& Out) {
  Out.clear();
  const size_t n = In.size();
  for (size_t i = 0; i < n; ++i) {
    const TClipVertex& a = In[i];
    const TClipVertex& b = In[(i + 1) % n];
    const bool aIn = a.View.Z >= Near, bIn = b.View.Z >= Near;
    if (aIn) Out.push_back(a);
    if (aIn != bIn) Out.push_back(OnPlane(a, b, Near));
  }
}

}  // namespace preview
