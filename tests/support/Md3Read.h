// Reads back an MD3 file as a game's loader would, for the tests and the benchmarks: every offset
// and count checked against the file's size. Throws std::runtime_error on a fault.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace md3_read {

struct TSurface {
  std::string Name, Shader;
  std::vector<int16_t> XYZ;  // three per vertex, 1/64 unit
  std::vector<uint16_t> Normals;
  std::vector<float> ST;
  std::vector<int32_t> Triangles;
};

struct TModel {
  std::string Name;
  int32_t Version = 0, Frames = 0, Tags = 0;
  float Min[3], Max[3], Radius = 0;
  std::vector<TSurface> Surfaces;
};

inline int32_t I32(const std::string& b, size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("read past the end");
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i)
    u |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
  return static_cast<int32_t>(u);
}
inline int16_t I16(const std::string& b, size_t at) {
  if (at + 2 > b.size()) throw std::runtime_error("read past the end");
  return static_cast<int16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
inline float F32(const std::string& b, size_t at) {
  const uint32_t u = static_cast<uint32_t>(I32(b, at));
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline std::string Name(const std::string& b, size_t at, size_t size) {
  if (at + size > b.size()) throw std::runtime_error("read past the end");
  const std::string field = b.substr(at, size);
  if (field.find('\0') == std::string::npos) throw std::runtime_error("name without terminator");
  return field.substr(0, field.find('\0'));
}
inline size_t Span(const std::string& b, size_t at, int64_t count, size_t each) {
  if (count < 0 || at > b.size() || static_cast<uint64_t>(count) > (b.size() - at) / each)
    throw std::runtime_error("table beyond the end");
  return static_cast<size_t>(count);
}

inline TModel Read(const std::string& b) {
  TModel m;
  if (b.size() < 108 || b.compare(0, 4, "IDP3") != 0) throw std::runtime_error("no MD3 header");
  m.Version = I32(b, 4);
  m.Name = Name(b, 8, 64);
  m.Frames = I32(b, 76);
  m.Tags = I32(b, 80);
  const int32_t surfaces = I32(b, 84);
  const size_t frames = static_cast<size_t>(I32(b, 92));
  if (static_cast<size_t>(I32(b, 104)) != b.size()) throw std::runtime_error("end offset");
  Span(b, frames, m.Frames, 56);
  for (int a = 0; a < 3; ++a) {
    m.Min[a] = F32(b, frames + 4 * a);
    m.Max[a] = F32(b, frames + 12 + 4 * a);
  }
  m.Radius = F32(b, frames + 36);
  size_t at = static_cast<size_t>(I32(b, 100));
  for (int32_t i = 0; i < surfaces; ++i) {
    if (at + 108 > b.size() || b.compare(at, 4, "IDP3") != 0) throw std::runtime_error("surface");
    TSurface s;
    s.Name = Name(b, at + 4, 64);
    const int32_t verts = I32(b, at + 80), tris = I32(b, at + 84);
    const size_t triAt = at + static_cast<size_t>(I32(b, at + 88));
    const size_t shaderAt = at + static_cast<size_t>(I32(b, at + 92));
    const size_t stAt = at + static_cast<size_t>(I32(b, at + 96));
    const size_t xyzAt = at + static_cast<size_t>(I32(b, at + 100));
    s.Shader = Name(b, shaderAt, 64);
    for (size_t k = 0, n = Span(b, triAt, tris, 12) * 3; k < n; ++k) {
      s.Triangles.push_back(I32(b, triAt + 4 * k));
      if (s.Triangles.back() < 0 || s.Triangles.back() >= verts)
        throw std::runtime_error("triangle names a missing vertex");
    }
    for (size_t k = 0, n = Span(b, stAt, verts, 8) * 2; k < n; ++k)
      s.ST.push_back(F32(b, stAt + 4 * k));
    for (size_t k = 0, n = Span(b, xyzAt, verts, 8); k < n; ++k) {
      for (size_t a = 0; a < 3; ++a) s.XYZ.push_back(I16(b, xyzAt + 8 * k + 2 * a));
      s.Normals.push_back(static_cast<uint16_t>(I16(b, xyzAt + 8 * k + 6)));
    }
    at += static_cast<size_t>(I32(b, at + 104));
    m.Surfaces.push_back(std::move(s));
  }
  return m;
}

// The unit normal as the game's renderer decodes it.
inline void DecodeNormal(uint16_t N, double Out[3]) {
  const double azimuth = ((N >> 8) & 0xFF) * 2 * 3.14159265358979323846 / 256;
  const double polar = (N & 0xFF) * 2 * 3.14159265358979323846 / 256;
  Out[0] = std::cos(azimuth) * std::sin(polar);
  Out[1] = std::sin(azimuth) * std::sin(polar);
  Out[2] = std::cos(polar);
}

}  // namespace md3_read
