// The hand-off of an import's brushes to the editor through its function table (FuncTable): one
// editor brush per brush, its faces added and then set exactly as the import decided them
// (TEditorBrush), then the brush is committed to the map. Nothing is decided here.
#pragma once

#include <vector>

#include "import/EditorFaces.h"
#include "level/Progress.h"

// Adds each brush's faces in the order the editor numbers backwards (its face 0 last), then
// sets on each face what the import decided: the texture name unless the face keeps the
// editor's own, the fitted projection where there is one, the flags, the detail contents; every
// other byte the editor sees stays its own. A faulty editor (a missing slot, no brush handle, no
// face record, another number of faces than were added) raises an error, and the brushes
// committed before it stay in the editor.
void SendBrushesToHost(const std::vector<TEditorBrush>& Brushes, TProgressProc Progress);
