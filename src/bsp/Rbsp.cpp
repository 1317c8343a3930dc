#include "bsp/Rbsp.h"

#include <algorithm>
#include <cstring>

#include "rtl/SysUtils.h"

namespace bsp {

namespace {

constexpr size_t HeaderBytes = 8 + 8 * LumpCount;
constexpr size_t SurfaceSize = 148, VertSize = 80;

int32_t Int(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}
float Float(const uint8_t* p) {
  const uint32_t bits = static_cast<uint32_t>(Int(p));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
void PutInt(std::vector<uint8_t>& Out, size_t At, int32_t Value) {
  const uint32_t v = static_cast<uint32_t>(Value);
  for (int k = 0; k < 4; ++k) Out[At + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
}
void PutFloat(std::vector<uint8_t>& Out, size_t At, float Value) {
  uint32_t bits;
  std::memcpy(&bits, &Value, sizeof bits);
  PutInt(Out, At, static_cast<int32_t>(bits));
}

struct TLumpPlace {
  size_t Offset = 0, Length = 0;
};

[[noreturn]] void Fail(const std::string& What) {
  throw rtl::Exception("Not a compiled JK2 level (RBSP version 1): " + What);
}

TLumpPlace Lump(const std::vector<uint8_t>& Bytes, int Index, size_t RecordSize, const char* Name) {
  const uint8_t* entry = Bytes.data() + 8 + 8 * static_cast<size_t>(Index);
  const int32_t offset = Int(entry), length = Int(entry + 4);
  if (offset < 0 || length < 0 || static_cast<size_t>(offset) > Bytes.size() ||
      static_cast<size_t>(length) > Bytes.size() - static_cast<size_t>(offset))
    Fail(rtl::Format("its %s lie outside the file", Name));
  if (static_cast<size_t>(length) % RecordSize != 0)
    Fail(rtl::Format("its %s are not whole records", Name));
  return {static_cast<size_t>(offset), static_cast<size_t>(length)};
}

TSurface ReadSurface(const uint8_t* p) {
  TSurface s;
  s.Type = Int(p + 8);
  s.FirstVert = Int(p + 12), s.NumVerts = Int(p + 16);
  s.FirstIndex = Int(p + 20), s.NumIndexes = Int(p + 24);
  s.LightmapNum = Int(p + 36);
  return s;
}

// A range [First, First + Count) within Size, in 64 bits so that no sum overflows.
bool Within(int First, int Count, size_t Size) {
  return First >= 0 && Count >= 0 &&
         static_cast<int64_t>(First) + Count <= static_cast<int64_t>(Size);
}

void CheckSurface(const TRbsp& File, size_t Index) {
  const TSurface& s = File.Surfaces[Index];
  const std::string which = rtl::Format("surface %d", static_cast<int>(Index));
  if (!Within(s.FirstVert, s.NumVerts, File.Verts.size()))
    Fail(which + " has vertices outside the vertex lump");
  if (!Within(s.FirstIndex, s.NumIndexes, File.Indexes.size()))
    Fail(which + " has indexes outside the index lump");
  for (int k = 0; k < s.NumIndexes; ++k) {
    const int32_t v = File.Indexes[static_cast<size_t>(s.FirstIndex + k)];
    if (v < 0 || v >= s.NumVerts) Fail(which + " has an index outside its vertices");
  }
  if (s.LightmapNum < 0) return;
  if (s.LightmapNum >= File.Lightmaps) Fail(which + " has a lightmap outside the lightmap pages");
}

}  // namespace

TRbsp ReadRbsp(std::vector<uint8_t> Bytes) {
  TRbsp file;
  if (Bytes.size() < HeaderBytes || std::memcmp(Bytes.data(), "RBSP", 4) != 0 ||
      Int(Bytes.data() + 4) != 1)
    Fail("the file does not start with its header");
  const TLumpPlace entities = Lump(Bytes, LumpEntities, 1, "entities");
  const TLumpPlace verts = Lump(Bytes, LumpDrawVerts, VertSize, "vertices");
  const TLumpPlace indexes = Lump(Bytes, LumpDrawIndexes, 4, "indexes");
  const TLumpPlace surfaces = Lump(Bytes, LumpSurfaces, SurfaceSize, "surfaces");
  const TLumpPlace lightmaps = Lump(Bytes, LumpLightmaps, LightmapBytes, "lightmaps");
  const char* text = reinterpret_cast<const char*>(Bytes.data() + entities.Offset);
  file.Entities.assign(text, std::find(text, text + entities.Length, '\0'));
  for (size_t at = verts.Offset; at < verts.Offset + verts.Length; at += VertSize) {
    const uint8_t* p = Bytes.data() + at;
    file.Verts.push_back(TDrawVert{{Float(p), Float(p + 4), Float(p + 8)},
                                   {Float(p + 20), Float(p + 24)},
                                   {Float(p + 52), Float(p + 56), Float(p + 60)}});
  }
  for (size_t at = indexes.Offset; at < indexes.Offset + indexes.Length; at += 4)
    file.Indexes.push_back(Int(Bytes.data() + at));
  for (size_t at = surfaces.Offset; at < surfaces.Offset + surfaces.Length; at += SurfaceSize)
    file.Surfaces.push_back(ReadSurface(Bytes.data() + at));
  file.LightmapOffset = lightmaps.Offset;
  file.Lightmaps = static_cast<int>(lightmaps.Length / LightmapBytes);
  for (size_t i = 0; i < file.Surfaces.size(); ++i) CheckSurface(file, i);
  file.Bytes = std::move(Bytes);
  return file;
}

std::string WorldspawnValue(const std::string& Entities, const std::string& Key) {
  const size_t open = Entities.find('{');
  if (open == std::string::npos) return {};
  const size_t close = Entities.find('}', open);
  const std::string block =
      Entities.substr(open, close == std::string::npos ? close : close - open);
  const std::string quoted = "\"" + Key + "\"";
  size_t at = 0;
  while ((at = block.find(quoted, at)) != std::string::npos) {
    at += quoted.size();
    const size_t first = block.find('"', at);
    // The key must be a key: the rest of its line is its value in quotes.
    if (first == std::string::npos || block.find('\n', at) < first) continue;
    const size_t last = block.find('"', first + 1);
    if (last == std::string::npos) return {};
    return block.substr(first + 1, last - first - 1);
  }
  return {};
}

std::vector<uint8_t> BuildRbsp(const std::vector<std::vector<uint8_t>>& Lumps) {
  std::vector<uint8_t> out(HeaderBytes, 0);
  std::memcpy(out.data(), "RBSP", 4);
  PutInt(out, 4, 1);
  for (size_t i = 0; i < Lumps.size() && i < static_cast<size_t>(LumpCount); ++i) {
    while (out.size() % 4 != 0) out.push_back(0);
    PutInt(out, 8 + 8 * i, static_cast<int32_t>(out.size()));
    PutInt(out, 12 + 8 * i, static_cast<int32_t>(Lumps[i].size()));
    out.insert(out.end(), Lumps[i].begin(), Lumps[i].end());
  }
  return out;
}

std::vector<uint8_t> SurfaceBytes(const std::vector<TSurface>& Surfaces) {
  std::vector<uint8_t> out(Surfaces.size() * SurfaceSize, 0);
  for (size_t i = 0; i < Surfaces.size(); ++i) {
    const TSurface& s = Surfaces[i];
    const size_t at = i * SurfaceSize;
    PutInt(out, at + 8, s.Type);
    PutInt(out, at + 12, s.FirstVert), PutInt(out, at + 16, s.NumVerts);
    PutInt(out, at + 20, s.FirstIndex), PutInt(out, at + 24, s.NumIndexes);
    for (int k = 0; k < 4; ++k) PutInt(out, at + 36 + 4 * static_cast<size_t>(k), -1);
    PutInt(out, at + 36, s.LightmapNum);
  }
  return out;
}

std::vector<uint8_t> VertBytes(const std::vector<TDrawVert>& Verts) {
  std::vector<uint8_t> out(Verts.size() * VertSize, 0);
  for (size_t i = 0; i < Verts.size(); ++i) {
    const size_t at = i * VertSize;
    for (int k = 0; k < 3; ++k) PutFloat(out, at + 4 * static_cast<size_t>(k), Verts[i].Xyz[k]);
    PutFloat(out, at + 20, Verts[i].Lightmap[0]);
    PutFloat(out, at + 24, Verts[i].Lightmap[1]);
    for (int k = 0; k < 3; ++k)
      PutFloat(out, at + 52 + 4 * static_cast<size_t>(k), Verts[i].Normal[k]);
  }
  return out;
}

}  // namespace bsp
