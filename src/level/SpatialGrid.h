// Items with axis-aligned bounds (points are boxes of no size), bucketed by the cubes of a grid,
// so that the items near a place are found without looking at every item. A query answers a
// superset of the items whose bounds meet the asked box, in ascending order, each once: callers
// test each answer exactly as they tested every item before, and keep the order they had.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class TSpatialGrid {
 public:
  // Cell: the cubes' side; one that is not positive and finite makes every item answer every
  // query (still right, only slow).
  explicit TSpatialGrid(double Cell);

  // Adds item Index over [Lo, Hi]. Bounds that are not finite, or that span more than
  // MaxCellsPerItem cubes, answer every query.
  void Add(int Index, const double Lo[3], const double Hi[3]);

  // The items that may meet [Lo, Hi], ascending, into Out (cleared first).
  void Query(const double Lo[3], const double Hi[3], std::vector<int>& Out) const;

  // A cube side for items (or queries) of these sizes: their median, leaving out sizes that are
  // not positive and finite; 1 when none is.
  static double CellFor(std::vector<double> Sizes);

  static constexpr int64_t MaxCellsPerItem = 512;

 private:
  using TKey = std::array<int64_t, 3>;
  struct THash {
    size_t operator()(const TKey& K) const;
  };
  // The cube indices of [Lo, Hi], false when they cannot be told (not finite, too far out).
  bool Cells(const double Lo[3], const double Hi[3], TKey& From, TKey& To) const;

  double cell_;
  std::unordered_map<TKey, std::vector<int>, THash> cubes_;
  std::vector<int> everywhere_;  // items that answer every query
  std::vector<int> all_;         // every item, for a query that cannot be bounded
};
