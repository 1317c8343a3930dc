#include "model/Md3Writer.h"

#include <cmath>
#include <cstring>

#include "rtl/SysUtils.h"

namespace {

constexpr double TwoPi = 6.28318530717958647692;

class TBytes {
 public:
  explicit TBytes(std::string& Out) : out_(Out) {}
  void I32(int32_t V) {
    const uint32_t u = static_cast<uint32_t>(V);
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
  }
  void I16(int16_t V) {
    const uint16_t u = static_cast<uint16_t>(V);
    out_.push_back(static_cast<char>(u & 0xFF));
    out_.push_back(static_cast<char>(u >> 8));
  }
  void F32(float V) {
    uint32_t u;
    std::memcpy(&u, &V, 4);
    I32(static_cast<int32_t>(u));
  }
  void Name(const std::string& S, size_t Size) {
    // The caller checked the length; the rest is zeros, the terminator included.
    out_.append(S);
    out_.append(Size - S.size(), '\0');
  }
  void Text(const char* S) { out_.append(S, 4); }
  size_t Size() const { return out_.size(); }
  // Writes V at At, over what was put there before.
  void PatchI32(size_t At, int32_t V) {
    const uint32_t u = static_cast<uint32_t>(V);
    for (int i = 0; i < 4; ++i)
      out_[At + static_cast<size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
  }

 private:
  std::string& out_;
};

[[noreturn]] void Refuse(const TMD3Model& Model, const std::string& Why) {
  throw rtl::Exception("Model '" + Model.Name + "' cannot be written as an MD3: " + Why);
}

void CheckName(const TMD3Model& Model, const std::string& What, const std::string& Name) {
  if (Name.size() > 63) Refuse(Model, What + " '" + Name + "' is longer than 63 characters");
}

}  // namespace

double MD3StorageScale(double Reach) {
  double scale = 1;
  while (Reach / scale > MD3Reach && scale < 1e30) scale *= 2;
  return scale;
}

uint16_t EncodeMD3Normal(float X, float Y, float Z) {
  int azimuth = 0, polar = 0;
  if (X == 0 && Y == 0) {
    polar = Z >= 0 ? 0 : 128;
  } else {
    const double z = std::fmax(-1.0, std::fmin(1.0, static_cast<double>(Z)));
    azimuth = static_cast<int>(std::lround(std::atan2(static_cast<double>(Y), X) * 256 / TwoPi));
    polar = static_cast<int>(std::lround(std::acos(z) * 256 / TwoPi));
  }
  return static_cast<uint16_t>(((azimuth & 0xFF) << 8) | (polar & 0xFF));
}

std::string EncodeMD3(const TMD3Model& Model, double& ModelScale) {
  CheckName(Model, "its name", Model.Name);
  double reach = 0;
  for (const TMD3Surface& s : Model.Surfaces) {
    CheckName(Model, "the surface", s.Name);
    CheckName(Model, "the shader", s.Shader);
    const size_t n = s.XYZ.size() / 3;
    if (s.XYZ.size() != 3 * n || s.Normals.size() != 3 * n || s.ST.size() != 2 * n ||
        s.Triangles.size() % 3 != 0)
      Refuse(Model, "the arrays of surface '" + s.Name + "' disagree");
    for (uint32_t t : s.Triangles)
      if (t >= n) Refuse(Model, "a triangle of surface '" + s.Name + "' names a missing vertex");
    for (float v : s.XYZ) {
      if (!std::isfinite(v)) Refuse(Model, "a coordinate is no finite number");
      reach = std::fmax(reach, std::fabs(static_cast<double>(v)));
    }
  }
  ModelScale = MD3StorageScale(reach);
  const double factor = 64.0 / ModelScale;

  // The stored coordinates first: the frame's bounds are theirs.
  std::vector<std::vector<int16_t>> stored(Model.Surfaces.size());
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  double radius = 0;
  bool any = false;
  for (size_t i = 0; i < Model.Surfaces.size(); ++i) {
    const std::vector<float>& xyz = Model.Surfaces[i].XYZ;
    stored[i].resize(xyz.size());
    for (size_t k = 0; k < xyz.size(); k += 3) {
      double len = 0;
      for (size_t a = 0; a < 3; ++a) {
        const long q = std::lround(static_cast<double>(xyz[k + a]) * factor);
        const int16_t v = static_cast<int16_t>(q < -32767 ? -32767 : q > 32767 ? 32767 : q);
        stored[i][k + a] = v;
        const float f = static_cast<float>(v / 64.0);
        if (!any || f < lo[a]) lo[a] = f;
        if (!any || f > hi[a]) hi[a] = f;
        len += static_cast<double>(f) * f;
      }
      any = true;
      radius = std::fmax(radius, std::sqrt(len));
    }
  }

  std::string out;
  TBytes b(out);
  const int32_t surfaces = static_cast<int32_t>(Model.Surfaces.size());
  b.Text("IDP3");
  b.I32(15);
  b.Name(Model.Name, 64);
  b.I32(0);  // flags
  b.I32(1);  // frames
  b.I32(0);  // tags
  b.I32(surfaces);
  b.I32(0);         // skins
  b.I32(108);       // the frame follows the header
  b.I32(108 + 56);  // no tags: they would start where the surfaces do
  b.I32(108 + 56);
  const size_t eofAt = b.Size();
  b.I32(0);  // the end, known at the end
  for (int a = 0; a < 3; ++a) b.F32(lo[a]);
  for (int a = 0; a < 3; ++a) b.F32(hi[a]);
  for (int a = 0; a < 3; ++a) b.F32(0);  // local origin
  b.F32(static_cast<float>(radius));
  b.Name("morvane", 16);

  for (size_t i = 0; i < Model.Surfaces.size(); ++i) {
    const TMD3Surface& s = Model.Surfaces[i];
    const int32_t verts = static_cast<int32_t>(s.XYZ.size() / 3);
    const int32_t tris = static_cast<int32_t>(s.Triangles.size() / 3);
    const int32_t shaders = 108;
    const int32_t triangles = shaders + 68;
    const int32_t st = triangles + 12 * tris;
    const int32_t xyz = st + 8 * verts;
    const int32_t end = xyz + 8 * verts;
    b.Text("IDP3");
    b.Name(s.Name, 64);
    b.I32(0);  // flags
    b.I32(1);  // frames
    b.I32(1);  // shaders
    b.I32(verts);
    b.I32(tris);
    b.I32(triangles);
    b.I32(shaders);
    b.I32(st);
    b.I32(xyz);
    b.I32(end);
    b.Name(s.Shader, 64);
    b.I32(0);  // shader index, filled in by the game when it loads the model
    for (uint32_t t : s.Triangles) b.I32(static_cast<int32_t>(t));
    for (float f : s.ST) b.F32(f);
    for (int32_t v = 0; v < verts; ++v) {
      const size_t k = 3 * static_cast<size_t>(v);
      for (size_t a = 0; a < 3; ++a) b.I16(stored[i][k + a]);
      b.I16(
          static_cast<int16_t>(EncodeMD3Normal(s.Normals[k], s.Normals[k + 1], s.Normals[k + 2])));
    }
  }
  b.PatchI32(eofAt, static_cast<int32_t>(out.size()));
  return out;
}
