// A model posed as the game shows it at rest, in editor units: the triangles a model file needs.
//
// Each hierarchy node places its mesh: its matrix is its parent's (a root's: the model's insert
// offset) times the translation by its offset, its rotation and the translation by its pivot,
// so parents are posed before their children whatever the order of the nodes. The rotation of
// pitch, yaw and roll is the game's: yaw about Z, then pitch about X, then roll about Y, applied
// to the model roll first (a thing of yaw 0 and pitch 0 looks along +Y). A mesh no node names is
// not drawn, as in the game.
//
// Each face is fanned into triangles from its first corner, as the game draws it, and each
// triangle is written clockwise as seen from its front: the game's faces run counter-clockwise,
// the editors and compilers of the Radiant family read triangles the other way round. The front
// is the side the face's normal points to (the game culls by it; one converter wrote most of
// its faces the other way round). A face drawn from both sides (face flag 1) gets each triangle
// twice, once each way. A fan triangle without area is left out. Texture coordinates are the
// texture vertices over the size of the material's first cel (t downwards, as both read images from
// the top).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "level/O_3do.h"

struct TPosedSurface {
  int32_t Material = -1;  // index into the model's Materials; -1: none
  // Per vertex: three coordinates, three of the unit normal, two texture coordinates.
  std::vector<float> XYZ, Normals, ST;
  std::vector<uint32_t> Triangles;  // three vertex indices per triangle
  size_t VertexCount() const { return XYZ.size() / 3; }
};

struct TPosedModel {
  std::vector<TPosedSurface> Surfaces;  // by material in order of first use, split at the limit
  size_t Triangles = 0;
  size_t ThinTriangles = 0;  // fan triangles without area, left out
  size_t TurnedFaces = 0;    // faces written clockwise against their normal, turned to it
  // How many materials' sizes were unknown, so that a 64 x 64 image was assumed.
  size_t UnsizedMaterials = 0;
  float Min[3] = {0, 0, 0}, Max[3] = {0, 0, 0};  // the bounds of every vertex (0s when none)
};

// A surface holds at most this many vertices and triangles, as the game's renderer and the
// editors of the family draw no more in one piece; a material with more goes on in a further
// surface.
constexpr size_t MaxSurfaceVertices = 1000;
constexpr size_t MaxSurfaceTriangles = 2000;

// The size in texels of a material's first cel (index into Model.Materials); False when unknown.
using TMaterialSize = std::function<bool(int Material, int& Width, int& Height)>;

// A model posed into more triangles than this is refused: a mesh that many hierarchy nodes
// place is posed once per node, and a small file can name a mesh thousands of times. The game's
// own models hold a few thousand at most.
constexpr size_t MaxPosedTriangles = 200000;

// The triangles PoseModel makes of Model at most (each face fanned, twice when drawn from both
// sides), counted without posing anything.
size_t PosedTriangleBound(const T3DOModel& Model);

// Poses Model at rest, scaled by Scale (editor units per model unit). Raises when the model
// would pose into more than MaxPosedTriangles.
TPosedModel PoseModel(const T3DOModel& Model, double Scale, const TMaterialSize& Size);

// The "angles" of a misc_model ("pitch yaw roll") that turn the model as the game turns a thing
// of the given pitch, yaw and roll. The editors and compilers of the Radiant family turn a model
// by roll about X, then pitch about Y (positive: nose down), then yaw about Z; the game by roll
// about Y, then pitch about X, then yaw about Z. The model keeps the game's axes, so a thing that
// is only turned by its yaw keeps that yaw (no quarter turn, unlike a point entity's facing).
// Angles that are no numbers count 0.
struct TModelAngles {
  float Pitch = 0, Yaw = 0, Roll = 0;
};
TModelAngles MapModelAngles(float Pitch, float Yaw, float Roll);

// The game's rotation of a thing (roll about Y, then pitch about X, then yaw about Z), as rows:
// a point P of the model lands at R * P. Angles that are no numbers count 0.
void GameRotation(float Pitch, float Yaw, float Roll, double R[3][3]);
