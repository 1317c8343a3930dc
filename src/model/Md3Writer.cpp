#include "model/Md3Writer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "rtl/OwnedFile.h"
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

namespace {

// The model's reach from its origin; refuses what cannot be written.
double CheckedReach(const TMD3Model& Model) {
  CheckName(Model, "its name", Model.Name);
  if (Model.Surfaces.size() > MD3MaxSurfaces)
    Refuse(Model,
           rtl::Format("it has %d surfaces, %d at most", static_cast<int>(Model.Surfaces.size()),
                       static_cast<int>(MD3MaxSurfaces)));
  double reach = 0;
  for (const TMD3Surface& s : Model.Surfaces) {
    CheckName(Model, "the surface", s.Name);
    CheckName(Model, "the shader", s.Shader);
    const size_t n = s.XYZ.size() / 3;
    if (s.XYZ.size() != 3 * n || s.Normals.size() != 3 * n || s.ST.size() != 2 * n ||
        s.Triangles.size() % 3 != 0)
      Refuse(Model, "the arrays of surface '" + s.Name + "' disagree");
    if (n > MD3MaxVertices || s.Triangles.size() / 3 > MD3MaxTriangles)
      Refuse(Model, "surface '" + s.Name + "' is larger than a surface may be");
    for (uint32_t t : s.Triangles)
      if (t >= n) Refuse(Model, "a triangle of surface '" + s.Name + "' names a missing vertex");
    for (float v : s.XYZ) {
      if (!std::isfinite(v)) Refuse(Model, "a coordinate is no finite number");
      reach = std::fmax(reach, std::fabs(static_cast<double>(v)));
    }
  }
  return reach;
}

// The coordinates as stored (1/64 unit, Factor steps a unit) and the frame's bounds and radius,
// which are theirs.
struct TStored {
  std::vector<std::vector<int16_t>> XYZ;  // per surface
  float Lo[3] = {0, 0, 0}, Hi[3] = {0, 0, 0};
  double Radius = 0;
};

TStored StoreCoordinates(const TMD3Model& Model, double Factor) {
  TStored out;
  out.XYZ.resize(Model.Surfaces.size());
  bool any = false;
  for (size_t i = 0; i < Model.Surfaces.size(); ++i) {
    const std::vector<float>& xyz = Model.Surfaces[i].XYZ;
    out.XYZ[i].resize(xyz.size());
    for (size_t k = 0; k < xyz.size(); k += 3) {
      double len = 0;
      for (size_t a = 0; a < 3; ++a) {
        const long q = std::lround(static_cast<double>(xyz[k + a]) * Factor);
        const int16_t v = static_cast<int16_t>(q < -32767 ? -32767 : q > 32767 ? 32767 : q);
        out.XYZ[i][k + a] = v;
        const float f = static_cast<float>(v / 64.0);
        if (!any || f < out.Lo[a]) out.Lo[a] = f;
        if (!any || f > out.Hi[a]) out.Hi[a] = f;
        len += static_cast<double>(f) * f;
      }
      any = true;
      out.Radius = std::fmax(out.Radius, std::sqrt(len));
    }
  }
  return out;
}

// The header and the one frame. Returns where the end's offset goes.
size_t WriteHeader(TBytes& b, const TMD3Model& Model, const TStored& Stored) {
  b.Text("IDP3");
  b.I32(15);
  b.Name(Model.Name, 64);
  b.I32(0);  // flags
  b.I32(1);  // frames
  b.I32(0);  // tags
  b.I32(static_cast<int32_t>(Model.Surfaces.size()));
  b.I32(0);         // skins
  b.I32(108);       // the frame follows the header
  b.I32(108 + 56);  // no tags: they would start where the surfaces do
  b.I32(108 + 56);
  const size_t eofAt = b.Size();
  b.I32(0);  // the end, known at the end
  for (int a = 0; a < 3; ++a) b.F32(Stored.Lo[a]);
  for (int a = 0; a < 3; ++a) b.F32(Stored.Hi[a]);
  for (int a = 0; a < 3; ++a) b.F32(0);  // local origin
  b.F32(static_cast<float>(Stored.Radius));
  b.Name(std::string(), 16);  // the frame's name: the mark, once the rest is known
  return eofAt;
}

void WriteSurface(TBytes& b, const TMD3Surface& s, const std::vector<int16_t>& Stored) {
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
    for (size_t a = 0; a < 3; ++a) b.I16(Stored[k + a]);
    b.I16(static_cast<int16_t>(EncodeMD3Normal(s.Normals[k], s.Normals[k + 1], s.Normals[k + 2])));
  }
}

// The frame's name: "mv" and a digest of the file with the name's bytes zero.
constexpr size_t FrameNameAt = 108 + 40;
std::string FrameMark(std::string Bytes) {
  std::fill_n(Bytes.begin() + static_cast<std::ptrdiff_t>(FrameNameAt), 16, '\0');
  return "mv" + rtl::Digest(Bytes).substr(0, 13);
}

}  // namespace

std::string EncodeMD3(const TMD3Model& Model, double& ModelScale, double Reach) {
  ModelScale = MD3StorageScale(std::fmax(CheckedReach(Model), Reach));
  const TStored stored = StoreCoordinates(Model, 64.0 / ModelScale);
  std::string out;
  TBytes b(out);
  const size_t eofAt = WriteHeader(b, Model, stored);
  for (size_t i = 0; i < Model.Surfaces.size(); ++i)
    WriteSurface(b, Model.Surfaces[i], stored.XYZ[i]);
  b.PatchI32(eofAt, static_cast<int32_t>(out.size()));
  const std::string mark = FrameMark(out);
  out.replace(FrameNameAt, mark.size(), mark);
  return out;
}

bool MarkedMD3Unchanged(const std::string& Bytes) {
  if (Bytes.size() < FrameNameAt + 16 || Bytes.compare(0, 4, "IDP3") != 0) return false;
  const std::string mark = FrameMark(Bytes);
  return Bytes.compare(FrameNameAt, mark.size(), mark) == 0 &&
         Bytes[FrameNameAt + mark.size()] == '\0';
}

double MD3ModelReach(const TMD3Model& Model) {
  double reach = 0;
  for (const TMD3Surface& s : Model.Surfaces)
    for (float v : s.XYZ)
      if (std::isfinite(v)) reach = std::fmax(reach, std::fabs(static_cast<double>(v)));
  return reach;
}

namespace {

// Surface S cut into pieces within the limits, its triangles in order: a piece ends where the
// next triangle would take it past a limit.
void SplitSurface(const TMD3Surface& S, std::vector<TMD3Surface>& Out) {
  const size_t n = S.XYZ.size() / 3;
  std::vector<uint32_t> slot(n, UINT32_MAX);  // vertex of S -> vertex of the piece
  std::vector<uint32_t> used;                 // the piece's vertices, as S's
  TMD3Surface piece;
  auto flush = [&] {
    if (piece.Triangles.empty()) return;
    piece.Name = S.Name;
    piece.Shader = S.Shader;
    for (uint32_t v : used) slot[v] = UINT32_MAX;
    used.clear();
    Out.push_back(std::move(piece));
    piece = TMD3Surface();
  };
  for (size_t t = 0; t + 2 < S.Triangles.size(); t += 3) {
    size_t fresh = 0;
    for (size_t k = 0; k < 3; ++k)
      fresh += S.Triangles[t + k] < n && slot[S.Triangles[t + k]] == UINT32_MAX;
    if (used.size() + fresh > MD3MaxVertices || piece.Triangles.size() / 3 + 1 > MD3MaxTriangles)
      flush();
    for (size_t k = 0; k < 3; ++k) {
      const uint32_t v = S.Triangles[t + k];
      if (v >= n) {  // left for the writer to refuse
        piece.Triangles.push_back(v);
        continue;
      }
      if (slot[v] == UINT32_MAX) {
        slot[v] = static_cast<uint32_t>(used.size());
        used.push_back(v);
        piece.XYZ.insert(piece.XYZ.end(), &S.XYZ[3 * v], &S.XYZ[3 * v] + 3);
        piece.Normals.insert(piece.Normals.end(), &S.Normals[3 * v], &S.Normals[3 * v] + 3);
        piece.ST.insert(piece.ST.end(), &S.ST[2 * v], &S.ST[2 * v] + 2);
      }
      piece.Triangles.push_back(slot[v]);
    }
  }
  flush();
}

}  // namespace

std::vector<TMD3Model> SplitMD3(const TMD3Model& Model) {
  std::vector<TMD3Surface> surfaces;
  for (const TMD3Surface& s : Model.Surfaces) {
    const size_t n = s.XYZ.size() / 3;
    const bool consistent = s.XYZ.size() == 3 * n && s.Normals.size() == 3 * n &&
                            s.ST.size() == 2 * n && s.Triangles.size() % 3 == 0;
    if (!consistent || (n <= MD3MaxVertices && s.Triangles.size() / 3 <= MD3MaxTriangles))
      surfaces.push_back(s);  // within the limits, or for the writer to refuse
    else
      SplitSurface(s, surfaces);
  }
  std::vector<TMD3Model> files;
  for (size_t i = 0; i < surfaces.size() || files.empty(); i += MD3MaxSurfaces) {
    files.emplace_back();
    files.back().Name = Model.Name;
    const size_t end = std::min(surfaces.size(), i + MD3MaxSurfaces);
    for (size_t k = i; k < end; ++k) files.back().Surfaces.push_back(std::move(surfaces[k]));
  }
  return files;
}
