// A model of Jedi Knight ("3DO 2.1" text): its materials, the meshes of its first geometry set and
// the hierarchy that places them.
//
// The text is untrusted. It is read line by line: "#" starts a comment, tabs count as blanks,
// blank lines are passed over and keywords match in any letter case. Every table's rows must
// follow its count line, numbered 0, 1, 2, ...; a count is compared with the lines left before
// anything is allocated, and every index a face or node holds is checked. A fault raises an
// rtl::Exception whose message says what was wrong, followed by where ("in 'x.3do', line 12").
// A face with fewer than three distinct corners, or without area, is skipped and counted: the
// game draws nothing there either, and some editors wrote such faces.
//
// Only the first geometry set is kept (the most detailed level of detail); the others are passed
// over unread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "level/P_vec.h"

struct T3DOTexel {
  float U = 0, V = 0;  // in texels of the material's first cel
};

struct T3DOCorner {
  int32_t Vertex = 0;
  int32_t TexVertex = 0;  // -1: none (a mesh without texture vertices)
};

struct T3DOFace {
  int32_t Material = -1;  // index into the model's Materials; -1: none
  uint32_t Type = 0;      // the face flags (1 double-sided, 2 translucent)
  int32_t GeometryMode = 0, LightingMode = 0, TextureMode = 0;
  float ExtraLight = 0;
  uint32_t First = 0, Count = 0;  // its corners: Corners[First .. First + Count - 1]
  TVector3 Normal;                // from the face normals' table
};

struct T3DOMesh {
  std::string Name;
  float Radius = 0;
  int32_t GeometryMode = 0, LightingMode = 0, TextureMode = 0;
  std::vector<TVector3> Vertices;
  std::vector<T3DOTexel> TexVertices;
  std::vector<TVector3> VertexNormals;  // one per vertex
  std::vector<T3DOFace> Faces;          // the faces kept, in file order
  std::vector<T3DOCorner> Corners;      // the corners of the faces kept
};

struct T3DONode {
  uint32_t Flags = 0, Type = 0;
  int32_t Mesh = -1;                                  // index into Meshes; -1: none
  int32_t Parent = -1;                                // index into Nodes; -1: a root
  int32_t Child = -1, Sibling = -1, NumChildren = 0;  // as written; posing follows Parent
  TVector3 Offset;                                    // from the parent, in model units
  float Pitch = 0, Yaw = 0, Roll = 0;                 // degrees
  TVector3 Pivot;
  std::string Name;
};

// The largest real models are about 100 KB of text: a model past this is not one, wherever it is
// read from (a file, or an entry of a container, checked before it is extracted).
constexpr int64_t Max3DOBytes = 8 << 20;

class T3DOModel {
 public:
  std::vector<std::string> Materials;  // as written, duplicates kept
  float Radius = 0;
  TVector3 InsertOffset;
  int32_t GeometrySets = 0;      // how many the file holds; Meshes are the first's
  std::vector<T3DOMesh> Meshes;  // of the first geometry set
  std::vector<T3DONode> Nodes;   // no node is its own ancestor
  int DegenerateFaces = 0;       // faces skipped for having no area

  // Reads 3DO text held in memory (lines end at CR LF, CR or LF; a NUL byte ends the text).
  // SourceName names the text in errors ("in '<name>', line 12"). Empties the model first.
  // Raises EFileTooLarge for a text longer than Max3DOBytes.
  void LoadFromText(const char* Data, size_t Size, const std::string& SourceName = std::string());
  // Reads a file; EFOpenError "Cannot open file %s" when it cannot be read.
  void LoadFromFile(const std::string& FileName);

  // The index of the material named Name in Materials, letter case ignored; -1 when none.
  int FindMaterial(const std::string& Name) const;
  // Faces kept over all meshes.
  size_t FaceCount() const;
  void Clear();
};
