// Writes the brushes a host received as a Radiant .map file.
#pragma once

#include <string>
#include <vector>

#include "plugin/RecordingHost.h"

// One worldspawn entity holding every brush in commit order; each face on one line, in the order
// the faces were added, its three points as AddFace received them, each coordinate in the
// shortest decimal that reads back to the same Single. A brush without faces is no solid: it is
// left out and counted in skipped.
std::string WriteMap(const std::vector<recording_host::TRecordedBrush>& brushes, int& skipped);
