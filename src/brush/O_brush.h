// The brush model of one import: the slab brushes made from a level's solid surfaces, the point
// entities made from its things and copies of its editor lights, all in editor units.
#pragma once

#include <memory>
#include <vector>

#include "level/O_ComEnt.h"
#include "level/O_geo.h"
#include "rtl/Classes.h"

class TBrushLevel {
 public:
  // One mesh per brush, in the order they were made. A brush owns its faces and its vertices;
  // faces share the vertices where they meet.
  T3DMeshList Brushes;
  // One line per entity: the line's text is the entity's class name, its object the record.
  rtl::TObjectStringList<TEntityRec> Entities;
  std::vector<std::unique_ptr<TLightRec>> Lights;
  // The level surface each brush was made from, item i for brush i; valid while the level lives.
  std::vector<const TSurface*> Sources;

  TBrushLevel() = default;
  ~TBrushLevel() { Clear(); }
  TBrushLevel(const TBrushLevel&) = delete;
  TBrushLevel& operator=(const TBrushLevel&) = delete;

  // Releases brushes, then entities, then lights; the brush level can then be filled again. Also
  // safe on a level that a failed conversion left half filled.
  void Clear();
};
