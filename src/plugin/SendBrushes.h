// The hand-off of a brush level to the editor through its function table (FuncTable): one editor
// brush per brush, one face per face plane, the level's texture on the front face and the
// NonVisTex setting's texture on the others, then the brush is committed to the map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brush/BrushConvert.h"
#include "brush/O_brush.h"
#include "brush/TexFit.h"
#include "plugin/ImageNames.h"

// TexturePrefix is the level's name followed by "/". A faulty editor (a missing slot, no brush
// handle, no face record) or a bad brush model raises an error, and the brushes committed before
// it stay in the editor. Faces other than the front face get NonVisTex when it is not empty.
// Fits, when given, holds one entry per brush (FitFrontFaces): a fitted one gives the front face
// its shifts, rotation and scales; every other byte the editor sees stays as without it.
// Names, when given, are the level's image names (TImageNames); without them a front face is
// named after its material alone.
// A brush of the kind DrawnAdjoin has DetailContents on every face, and its back face, when
// it carries a material (the other side's), that texture instead of NonVisTex.
void SendBrushesToHost(const TBrushLevel& BrushLevel, const std::string& TexturePrefix,
                       TProgressProc Progress, const std::string& NonVisTex = std::string(),
                       const std::vector<texfit::TClassicFit>* Fits = nullptr,
                       const TImageNames* Names = nullptr);

// FitFrontFace of every brush's front face, in brush order.
std::vector<texfit::TClassicFit> FitFrontFaces(const TBrushLevel& BrushLevel);

// The back face of a drawn adjoin brush when it carries a material (the other side's) and is
// the editor's face j of its Faces; otherwise null.
const TSurface* DrawnAdjoinBack(const T3DMesh& Brush, int32_t j, int32_t Faces);

// The three points a face of three or more corners is handed over with: its first corner, its
// second and its centre.
void HandOffPoints(const TSurface& Face, float P1[3], float P2[3], float P3[3]);

// True for a front face whose texture alignment is fitted: not a sky face, three or more corners,
// each with a texture vertex of its own.
bool AlignedFrontFace(const TSurface& Front);

// The classic projection fitted to a front face's texture vertices on the plane of its hand-off
// points; not Fitted when AlignedFrontFace refuses the face or it is degenerate.
texfit::TClassicFit FitFrontFace(const TSurface& Front);

// The face's corners with their texture vertices, in corner order.
std::vector<texfit::TTexCorner> TexCorners(const TSurface& Face);

// A material's file name without its extension: "wall.mat" -> "wall", "a.b\\wall" -> "a.b\\wall".
std::string MaterialTextureName(const std::string& MaterialName);
