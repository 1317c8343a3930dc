// The player's view of a level, as preview --view player draws it and build's levelshot shows it.
#pragma once

#include "brush/O_brush.h"
#include "preview/Camera.h"

// A standing player's eye above the first player start, looking the way it faces (Scale: editor
// units per level unit). False when the level has no player start.
bool PlayerEye(const TBrushLevel& level, double scale, preview::TEye& eye);
