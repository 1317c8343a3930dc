#include "level/SpatialGrid.h"

#include <algorithm>
#include <cmath>

namespace {

// Cube indices beyond this are not told apart: such far places answer like any other query that
// cannot be bounded (every item).
constexpr double FarthestCube = 1099511627776.0;  // 2^40

}  // namespace

TSpatialGrid::TSpatialGrid(double Cell) : cell_(Cell > 0 && std::isfinite(Cell) ? Cell : 0) {}

size_t TSpatialGrid::THash::operator()(const TKey& K) const {
  uint64_t h = 1469598103934665603ull;
  for (int64_t v : K) h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ull;
  return static_cast<size_t>(h ^ (h >> 29));
}

bool TSpatialGrid::Cells(const double Lo[3], const double Hi[3], TKey& From, TKey& To) const {
  if (cell_ == 0) return false;
  for (int a = 0; a < 3; ++a) {
    const double lo = std::floor(Lo[a] / cell_), hi = std::floor(Hi[a] / cell_);
    if (!(lo >= -FarthestCube && hi <= FarthestCube && lo <= hi)) return false;
    From[static_cast<size_t>(a)] = static_cast<int64_t>(lo);
    To[static_cast<size_t>(a)] = static_cast<int64_t>(hi);
  }
  return true;
}

void TSpatialGrid::Add(int Index, const double Lo[3], const double Hi[3]) {
  all_.push_back(Index);
  TKey from, to;
  if (!Cells(Lo, Hi, from, to)) {
    everywhere_.push_back(Index);
    return;
  }
  int64_t count = 1;
  for (size_t a = 0; a < 3; ++a)
    count *= std::min<int64_t>(to[a] - from[a] + 1, MaxCellsPerItem + 1);
  if (count > MaxCellsPerItem) {
    everywhere_.push_back(Index);
    return;
  }
  for (int64_t x = from[0]; x <= to[0]; ++x)
    for (int64_t y = from[1]; y <= to[1]; ++y)
      for (int64_t z = from[2]; z <= to[2]; ++z) cubes_[TKey{x, y, z}].push_back(Index);
}

void TSpatialGrid::Query(const double Lo[3], const double Hi[3], std::vector<int>& Out) const {
  Out.clear();
  TKey from, to;
  if (!Cells(Lo, Hi, from, to)) {
    Out = all_;
    return;
  }
  Out = everywhere_;
  double count = 1;
  for (size_t a = 0; a < 3; ++a) count *= static_cast<double>(to[a] - from[a] + 1);
  auto take = [&Out](const std::vector<int>& Items) {
    Out.insert(Out.end(), Items.begin(), Items.end());
  };
  if (count > static_cast<double>(cubes_.size())) {
    // A box wider than the filled cubes: walk those instead of the box's.
    for (const auto& [key, items] : cubes_) {
      bool meets = true;
      for (size_t a = 0; a < 3; ++a) meets = meets && key[a] >= from[a] && key[a] <= to[a];
      if (meets) take(items);
    }
  } else {
    for (int64_t x = from[0]; x <= to[0]; ++x)
      for (int64_t y = from[1]; y <= to[1]; ++y)
        for (int64_t z = from[2]; z <= to[2]; ++z) {
          const auto it = cubes_.find(TKey{x, y, z});
          if (it != cubes_.end()) take(it->second);
        }
  }
  std::sort(Out.begin(), Out.end());
  Out.erase(std::unique(Out.begin(), Out.end()), Out.end());
}

double TSpatialGrid::CellFor(std::vector<double> Sizes) {
  Sizes.erase(std::remove_if(Sizes.begin(), Sizes.end(),
                             [](double s) { return !(s > 0) || !std::isfinite(s); }),
              Sizes.end());
  if (Sizes.empty()) return 1;
  const auto middle = Sizes.begin() + static_cast<std::ptrdiff_t>(Sizes.size() / 2);
  std::nth_element(Sizes.begin(), middle, Sizes.end());
  return *middle;
}
