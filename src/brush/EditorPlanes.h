// A brush's faces as an editor of the Radiant family builds them from the three points each is
// handed (the first two corners and the centre, every step in Singles): which it discards as the
// plane of another face, and which the other faces cut to nothing.
#pragma once

#include <cstddef>
#include <vector>

#include "level/O_geo.h"

struct TEditorPlane {
  float N[3] = {0, 0, 0};
  float Dist = 0;
  bool Valid = false;
};

// The plane the editor computes for Face (three corners or more).
TEditorPlane HandedPlane(const TSurface& Face);
// The plane through three points as such an editor computes it, every step in Singles: the
// normal of (P1 - P2) x (P3 - P2), through P1.
TEditorPlane PlaneThrough(const float P1[3], const float P2[3], const float P3[3]);

// The rule by which such an editor discards a face as a duplicate of an earlier one: normals
// within 0.001 of each other's direction (as a dot product) and distances within 0.01 unit.
bool EditorTakesAsOne(const TEditorPlane& p, const TEditorPlane& q);

// Whether Planes[Face] keeps a polygon once every other valid plane of the brush (other than
// one the editor takes as the same) has cut it, points within 0.01 unit counting as on a plane.
bool EditorKeepsPolygon(const std::vector<TEditorPlane>& Planes, size_t Face);
