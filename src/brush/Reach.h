// How far a map reaches from the centre, and the world's edge it must stay within.
#pragma once

#include "brush/ConversionOptions.h"
#include "brush/O_brush.h"
#include "level/O_jkl.h"

// The map compiler's and the engine's limit on every coordinate.
constexpr double WorldEdge = 65536;

// How far the map of this import reaches, in level units: the corners of the surfaces that
// become brushes (drawn adjoins too, when they do), and the things and lights when the map holds
// them. Points at no finite place count for nothing.
double ImportReach(const TJKLevel& Level, const TConversionOptions& Options);

// The largest coordinate size of what the map holds, in editor units: its brushes, and its
// entities and lights when Entities (the map writes them); points at no finite place, which the
// map never holds, count for nothing.
double WrittenReach(const TBrushLevel& BrushLevel, bool Entities);

// The largest coordinate size of the brushes, entities and lights, in editor units, a point at
// no finite place counting as infinitely far (the compile would fail on it).
double MapReach(const TBrushLevel& BrushLevel);

// The largest power of two that, as the Scale, keeps Reach * Scale + Depth within the world's
// edge (at least 2^-20).
double LargestFittingScale(double Reach, double Depth);
