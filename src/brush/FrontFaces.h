// What a brush's faces are handed to the editor with, computed from the brush model alone: the
// three points of each face, the front face's texture name and its fitted texture projection.
// The hand-off to the editor, the .map writer and the preview all take them from here.
#pragma once

#include <string>
#include <vector>

#include "align/TexFit.h"
#include "brush/O_brush.h"

// FitFrontFace of every brush's front face, in brush order.
std::vector<texfit::TClassicFit> FitFrontFaces(const TBrushLevel& BrushLevel);

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
