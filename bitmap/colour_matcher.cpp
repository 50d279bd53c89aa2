#include "bitmap/colour_matcher.h"

#include <algorithm>
#include <cassert>

namespace kd {

namespace {

// The least and greatest of (x - value)^2 over the x of [low, low + side).
void AxisTerms(int value, int low, int side, int* least, int* greatest) {
  const int high = low + side - 1;
  const int nearest = value < low ? low - value : (value > high ? value - high : 0);
  const int farthest = std::max(value - low, high - value);
  *least += nearest * nearest;
  *greatest += farthest * farthest;
}

}  // namespace

void CColourMatcher::KeepPossibleNearest(const Candidate* from, std::size_t count, int blueLow,
                                         int greenLow, int redLow, int side,
                                         std::vector<Candidate>* kept) {
  // least[i]: entry i's least squared distance to a colour of the box; bound:
  // the least of the entries' greatest squared distances. No colour of the
  // box is farther than the bound from its nearest entry.
  int least[kMaxEntries];
  int bound = 1 << 30;
  for (std::size_t i = 0; i < count; ++i) {
    int greatest = 0;
    least[i] = 0;
    AxisTerms(from[i].blue, blueLow, side, &least[i], &greatest);
    AxisTerms(from[i].green, greenLow, side, &least[i], &greatest);
    AxisTerms(from[i].red, redLow, side, &least[i], &greatest);
    bound = std::min(bound, greatest);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (least[i] <= bound) kept->push_back(from[i]);
  }
}

CColourMatcher::CColourMatcher(const std::uint8_t* table, int count) : cells_(kCells, Cell{0, 0}) {
  assert(count <= kMaxEntries);
  if (count <= 0) return;
  count = std::min(count, kMaxEntries);

  // The lists are made coarse to fine: boxes of side 32 from the whole table,
  // of side 16 from their box's list, of side 8 (the cells) from theirs. A
  // box's list holds every entry that can be nearest in the box (and its
  // ties), so it holds those of every smaller box inside it.
  std::vector<Candidate> all;
  for (int i = 0; i < count; ++i)
    all.push_back({table[4 * i], table[4 * i + 1], table[4 * i + 2], static_cast<std::uint8_t>(i)});
  candidates_.reserve(static_cast<std::size_t>(kCells) * 3);
  std::vector<Candidate> coarse, middle;
  for (int red32 = 0; red32 < 256; red32 += 32) {
    for (int green32 = 0; green32 < 256; green32 += 32) {
      for (int blue32 = 0; blue32 < 256; blue32 += 32) {
        coarse.clear();
        KeepPossibleNearest(all.data(), all.size(), blue32, green32, red32, 32, &coarse);
        for (int red16 = red32; red16 < red32 + 32; red16 += 16) {
          for (int green16 = green32; green16 < green32 + 32; green16 += 16) {
            for (int blue16 = blue32; blue16 < blue32 + 32; blue16 += 16) {
              middle.clear();
              KeepPossibleNearest(coarse.data(), coarse.size(), blue16, green16, red16, 16,
                                  &middle);
              for (int red = red16; red < red16 + 16; red += kCellSide) {
                for (int green = green16; green < green16 + 16; green += kCellSide) {
                  for (int blue = blue16; blue < blue16 + 16; blue += kCellSide) {
                    const std::size_t start = candidates_.size();
                    KeepPossibleNearest(middle.data(), middle.size(), blue, green, red, kCellSide,
                                        &candidates_);
                    const std::uint32_t cell =
                        CellOf(static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                               static_cast<std::uint8_t>(red));
                    cells_[cell] = {static_cast<std::uint32_t>(start),
                                    static_cast<std::uint32_t>(candidates_.size() - start)};
                  }
                }
              }
            }
          }
        }
      }
    }
  }
}

}  // namespace kd
