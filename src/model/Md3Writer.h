// The model file the editors and compilers of the Quake III family read for a misc_model: MD3,
// one frame, no tags, one shader per surface.
//
// Layout (little-endian): a 108-byte header ("IDP3", version 15, name[64], flags, frames, tags,
// surfaces, skins, then the offsets of frames, tags, surfaces and the end), one 56-byte frame
// (bounds, local origin, radius, name[16]), then each surface: a 108-byte header ("IDP3",
// name[64], flags, frames, shaders, vertices, triangles, then the offsets of triangles, shaders,
// texture coordinates, vertices and the end, from the surface's start), its shader (name[64],
// index), its triangles (three int32 each), its texture coordinates (two floats each) and its
// vertices (three int16 coordinates in 1/64 unit and an int16 normal: its azimuth in the high
// byte and its angle from +Z in the low byte, 256 steps to the full turn).
//
// A coordinate is stored in 1/64-unit steps within +-511.98; a model that reaches farther is
// stored smaller by a power of two, which the map gives back as the entity's modelscale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TMD3Surface {
  std::string Name;    // at most 63 characters
  std::string Shader;  // at most 63 characters
  // Per vertex: three coordinates, three of the unit normal, two texture coordinates.
  std::vector<float> XYZ, Normals, ST;
  std::vector<uint32_t> Triangles;  // three vertex indices each
};

struct TMD3Model {
  std::string Name;  // the path the game knows it by; at most 63 characters
  std::vector<TMD3Surface> Surfaces;
};

// The limits of the format as the game's renderer and the editors of the family read it: surfaces
// a file, vertices a surface (the format itself holds 4,096; the renderer draws 1,000), triangles
// a surface.
constexpr size_t MD3MaxSurfaces = 32;
constexpr size_t MD3MaxVertices = 1000;
constexpr size_t MD3MaxTriangles = 8192;

// The largest coordinate an MD3 holds: 32767 steps of 1/64 unit.
constexpr double MD3Reach = 32767.0 / 64.0;

// The power of two (1, 2, 4, ...) by which a model reaching Reach units must be stored smaller.
double MD3StorageScale(double Reach);

// The file's bytes. ModelScale receives the factor the model was stored smaller by (1 when it
// fits): that of Reach when it is farther than the model's own (the parts of one model split into
// files share it). Raises an error naming the model for a name or shader too long for the file,
// more surfaces or a surface larger than the limits, a surface whose arrays disagree or whose
// triangles name a missing vertex, and for coordinates that are no finite numbers. The frame's
// name marks the file as Morvane's: a digest of the rest (MarkedMD3Unchanged).
std::string EncodeMD3(const TMD3Model& Model, double& ModelScale, double Reach = 0);

// Whether Bytes are a file EncodeMD3 wrote that nobody changed since.
bool MarkedMD3Unchanged(const std::string& Bytes);

// The farthest finite coordinate of the model from its origin.
double MD3ModelReach(const TMD3Model& Model);

// The model within the limits: a surface with more vertices or triangles than a surface may hold
// is cut into several of its name and shader (its triangles in order), and the surfaces go into
// as many models of MD3MaxSurfaces as they need, all of Model's name (at least one model).
std::vector<TMD3Model> SplitMD3(const TMD3Model& Model);

// The normal's two bytes as the file stores them.
uint16_t EncodeMD3Normal(float X, float Y, float Z);
