#include "bitmap/colour_matcher.h"

#include <algorithm>
#include <cassert>

namespace kd {

namespace {

constexpr int kCoarseSide = 32;  // 8 x 8 x 8 boxes
constexpr int kMiddleSide = 16;  // 16 x 16 x 16 boxes

}  // namespace

void CColourMatcher::KeepPossibleNearest(const std::vector<Candidate>& from, int blueLow,
                                         int greenLow, int redLow, int side,
                                         std::vector<Candidate>* kept) {
  // least[i]: entry i's least squared distance to a colour of the box; bound:
  // the least of the entries' greatest squared distances. No colour of the
  // box is farther than the bound from its nearest entry.
  int least[kMaxEntries];
  int bound = 1 << 30;
  const int low[3] = {blueLow, greenLow, redLow};
  for (std::size_t i = 0; i < from.size(); ++i) {
    const int value[3] = {from[i].blue, from[i].green, from[i].red};
    int nearest = 0;
    int farthest = 0;
    for (int axis = 0; axis < 3; ++axis) {
      const int high = low[axis] + side - 1;
      const int below = std::max(low[axis] - value[axis], 0);
      const int above = std::max(value[axis] - high, 0);
      const int far = std::max(value[axis] - low[axis], high - value[axis]);
      nearest += (below + above) * (below + above);  // one of them is 0
      farthest += far * far;
    }
    least[i] = nearest;
    bound = std::min(bound, farthest);
  }
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (least[i] <= bound) kept->push_back(from[i]);
  }
}

CColourMatcher::CColourMatcher(const std::uint8_t* table, int count)
    : cells_(kCells, Cell{0, count <= 0 ? 0 : kUnbuilt}) {
  assert(count <= kMaxEntries);
  count = std::min(count, kMaxEntries);
  for (int i = 0; i < count; ++i)
    all_.push_back(
        {table[4 * i], table[4 * i + 1], table[4 * i + 2], static_cast<std::uint8_t>(i)});
  constexpr int kCoarsePerAxis = 256 / kCoarseSide;
  constexpr int kMiddlePerAxis = 256 / kMiddleSide;
  coarse_.resize(kCoarsePerAxis * kCoarsePerAxis * kCoarsePerAxis);
  middle_.resize(kMiddlePerAxis * kMiddlePerAxis * kMiddlePerAxis);
  coarseBuilt_.assign(coarse_.size(), 0);
  middleBuilt_.assign(middle_.size(), 0);
}

CColourMatcher::Cell CColourMatcher::BuildCell(std::uint32_t cell) {
  // The lists are made coarse to fine: a box of side 32 from the whole table,
  // a box of side 16 from its box's list, the cell (side 8) from its box's. A
  // box's list holds every entry that can be nearest in the box (and its
  // ties), so it holds those of every smaller box inside it.
  const int blue = static_cast<int>(cell & 31) * kCellSide;
  const int green = static_cast<int>((cell >> 5) & 31) * kCellSide;
  const int red = static_cast<int>(cell >> 10) * kCellSide;
  auto boxOf = [blue, green, red](int side) {
    const int perAxis = 256 / side;
    return static_cast<std::size_t>(((red / side) * perAxis + green / side) * perAxis +
                                    blue / side);
  };
  auto lowOf = [](int value, int side) { return value / side * side; };

  const std::size_t coarse = boxOf(kCoarseSide);
  if (!coarseBuilt_[coarse]) {
    KeepPossibleNearest(all_, lowOf(blue, kCoarseSide), lowOf(green, kCoarseSide),
                        lowOf(red, kCoarseSide), kCoarseSide, &coarse_[coarse]);
    coarseBuilt_[coarse] = 1;
  }
  const std::size_t middle = boxOf(kMiddleSide);
  if (!middleBuilt_[middle]) {
    KeepPossibleNearest(coarse_[coarse], lowOf(blue, kMiddleSide), lowOf(green, kMiddleSide),
                        lowOf(red, kMiddleSide), kMiddleSide, &middle_[middle]);
    middleBuilt_[middle] = 1;
  }
  const std::size_t start = candidates_.size();
  KeepPossibleNearest(middle_[middle], blue, green, red, kCellSide, &candidates_);
  cells_[cell] = {static_cast<std::uint32_t>(start),
                  static_cast<std::uint32_t>(candidates_.size() - start)};
  return cells_[cell];
}

std::size_t CColourMatcher::CandidateCount() {
  for (std::uint32_t cell = 0; cell < kCells; ++cell) {
    if (cells_[cell].count == kUnbuilt) BuildCell(cell);
  }
  return candidates_.size();
}

}  // namespace kd
