// The brush model of one import: the slab brushes made from a level's solid surfaces, the point
// entities made from its things and copies of its editor lights (their places: the .map takes
// a light's values from the level's own), all in editor units.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <memory>
#include <vector>

#include "level/O_ComEnt.h"
#include "level/O_geo.h"
#include "rtl/Classes.h"

// The contents value that marks a face of a detail brush, as the editors save "make detail":
// solid for the player, but no part of sealing or of what the compiler's vis sees.
constexpr int32_t DetailContents = 134217728;

class TBrushLevel {
 public:
  // One mesh per brush, in the order they were made. A brush owns its faces and its vertices;
  // faces share the vertices where they meet. Each carries its own record (T3DMesh::Brush): its
  // kind, the surface it was made from, whether it is detail.
  T3DMeshList Brushes;
  // One line per entity: the line's text is the entity's class name, its object the record.
  rtl::TObjectStringList<TEntityRec> Entities;
  std::vector<std::unique_ptr<TLightRec>> Lights;
  // Things and lights (their indices) that lie in no sector: a map leaves them out.
  std::vector<int> StrayThings, StrayLights;
  // Role suffixes made for this level alone (a face's TextureSuffix points at static text or at
  // one of these), kept where they never move.
  std::deque<std::string> SuffixTexts;
  // When the map passes the world's edge: the largest Scale (a power of two) that fits; else 0.
  double FittingScale = 0;
  // Even FittingScale (the smallest Scale tried) leaves the map beyond the edge: a point of the
  // level lies too far from the rest for any Scale.
  bool NoScaleFits = false;

  TBrushLevel() = default;
  ~TBrushLevel() { Clear(); }
  TBrushLevel(const TBrushLevel&) = delete;
  TBrushLevel& operator=(const TBrushLevel&) = delete;

  // Releases brushes, then entities, then lights; the brush level can then be filled again. Also
  // safe on a level that a failed conversion left half filled.
  void Clear();
};
