#include "bitmap/colour_matcher.h"

#include <algorithm>
#include <cassert>

namespace kd {

namespace {

constexpr int kAxisCells = 16;
constexpr int kCellSide = 256 / kAxisCells;

// The least and greatest of (x - value)^2 over the x of axis cell `cell`.
struct AxisTerms {
  int least;
  int greatest;
};
AxisTerms TermsOf(int value, int cell) {
  const int low = cell * kCellSide;
  const int high = low + kCellSide - 1;
  const int below = value < low ? low - value : 0;
  const int above = value > high ? value - high : 0;
  const int nearest = below + above;  // one of them is 0
  const int farthest = std::max(value - low, high - value);
  return {nearest * nearest, farthest * farthest};
}

}  // namespace

CColourMatcher::CColourMatcher(const std::uint8_t* table, int count) : cellStart_(kCells + 1, 0) {
  static_assert(kAxisCells == 1 << kCellBits, "one cell size");
  assert(count <= kMaxEntries);
  if (count <= 0) return;
  count = std::min(count, kMaxEntries);

  // Per axis (blue, green, red), per axis cell, per entry: the least and the
  // greatest squared difference; a cell's distances are sums of three.
  std::vector<AxisTerms> terms(3 * kAxisCells * static_cast<std::size_t>(count));
  auto at = [&terms, count](int axis, int cell, int entry) -> AxisTerms& {
    return terms[(static_cast<std::size_t>(axis) * kAxisCells + cell) * count + entry];
  };
  for (int axis = 0; axis < 3; ++axis) {
    for (int cell = 0; cell < kAxisCells; ++cell) {
      for (int entry = 0; entry < count; ++entry)
        at(axis, cell, entry) = TermsOf(table[4 * entry + axis], cell);
    }
  }

  std::vector<int> least(count);
  candidates_.reserve(static_cast<std::size_t>(kCells) * 4);
  for (int cell = 0; cell < kCells; ++cell) {
    const int blueCell = cell % kAxisCells;
    const int greenCell = (cell / kAxisCells) % kAxisCells;
    const int redCell = cell / (kAxisCells * kAxisCells);
    const AxisTerms* blue = &at(0, blueCell, 0);
    const AxisTerms* green = &at(1, greenCell, 0);
    const AxisTerms* red = &at(2, redCell, 0);
    int bound = 1 << 30;  // the least greatest distance
    for (int entry = 0; entry < count; ++entry) {
      least[entry] = blue[entry].least + green[entry].least + red[entry].least;
      bound = std::min(bound, blue[entry].greatest + green[entry].greatest + red[entry].greatest);
    }
    for (int entry = 0; entry < count; ++entry) {
      if (least[entry] <= bound) {
        candidates_.push_back({table[4 * entry], table[4 * entry + 1], table[4 * entry + 2],
                               static_cast<std::uint8_t>(entry)});
      }
    }
    cellStart_[cell + 1] = static_cast<std::uint32_t>(candidates_.size());
  }
}

}  // namespace kd
