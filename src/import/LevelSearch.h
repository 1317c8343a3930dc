// Where a level's own files lie when the settings do not say: the palette the level names, and
// the materials of a level unpacked from its container (its "jkl" and "mat" folders side by side).
#pragma once

#include <string>
#include <vector>

#include "import/ResourceIndex.h"

// The palette named Colormap, as a palette source (a CMP file, or "container>>entry"): the entry
// "misc\cmp\<Colormap>" of the first of the index's containers that holds it (letter case
// ignored; missing or unreadable containers are passed over), else the file <level's folder>/../
// misc/cmp/<Colormap> for a level read from a file (letter case ignored, of the folders too).
// Empty when found nowhere, or when Colormap is no plain file name.
std::string FindLevelPalette(const std::string& Colormap, TResourceIndex& Resources);

// The file <level's folder>/../<Sub>/<Material> (letter case ignored, of the folders too), or
// empty: none there, a level from a container, or Material no plain file name. Sub names the
// folder beside the level's: "mat", or "3do", "mat" (where the game keeps its models' materials).
std::string FindParentMat(const std::string& Material, TResourceIndex& Resources,
                          const std::vector<std::string>& Sub = {"mat"});
