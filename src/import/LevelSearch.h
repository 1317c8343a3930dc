// Where a level's own files lie when the settings do not say: the palette the level names, and
// the materials of a level unpacked from its container (its "jkl" and "mat" folders side by side).
#pragma once

#include <string>
#include <vector>

#include "rtl/FolderIndex.h"

// The palette named Colormap, as a palette source (a CMP file, or "container>>entry"): the entry
// "misc\cmp\<Colormap>" of the first of Containers that holds it (letter case ignored; missing
// or unreadable containers are passed over), else the file <LevelFile's folder>/../misc/cmp/
// <Colormap> when LevelFile is given (letter case ignored, of the folders too). Empty when found
// nowhere, or when Colormap is no plain file name.
std::string FindLevelPalette(const std::string& Colormap,
                             const std::vector<std::string>& Containers,
                             const std::string& LevelFile);

// The file <LevelFile's folder>/../<Sub>/<Material> (letter case ignored, of the folders too), or
// empty: none there, no LevelFile, or Material no plain file name. Sub names the folder beside
// the level's: "mat", or "3do", "mat" (where the game keeps its models' materials). Folders lists
// each folder once for the whole import.
std::string FindParentMat(const std::string& LevelFile, const std::string& Material,
                          rtl::TFolderIndex& Folders,
                          const std::vector<std::string>& Sub = {"mat"});
