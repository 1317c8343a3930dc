// The hand-off of a brush level to the editor through its function table (FuncTable): one editor
// brush per brush, one face per face plane, the level's texture on the front face and the
// NonVisTex setting's texture on the others, then the brush is committed to the map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brush/BrushConvert.h"
#include "brush/FrontFaces.h"
#include "brush/O_brush.h"
#include "brush/TexFit.h"
#include "import/ImageNames.h"

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
