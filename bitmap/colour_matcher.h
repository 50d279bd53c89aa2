// Fast nearest-colour matching against a fixed colour table, with exactly the
// answers of NearestPaletteIndex (device_bitmap.h), which stays the rule.
//
// The colour cube is cut into 32 x 32 x 32 cells of 8 x 8 x 8 colours. Each
// cell keeps (from its first use on) the table entries that can be nearest to
// some colour of the cell:
// entry p is kept when its least squared distance to the cell is at most the
// least, over all entries q, of q's greatest squared distance to the cell.
// The nearest entry of any colour c of the cell is kept (its distance to c is
// at most that of the q with the least greatest distance), and so is every
// entry tied with it. A colour is matched by NearestPaletteIndex's own search
// (squared distance, lowest index on ties) over its cell's entries, in table
// order. bitmap/tests/colour_matcher_test.cpp checks every colour against the
// rule for the device tables. A matcher is not safe to use from two threads
// at once: Nearest fills the cells it visits.
#ifndef KDDAO_BITMAP_COLOUR_MATCHER_H_
#define KDDAO_BITMAP_COLOUR_MATCHER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kd {

class CColourMatcher {
 public:
  static constexpr int kMaxEntries = 256;

  // A matcher for the first `count` entries of `table` (4 bytes an entry:
  // blue, green, red, unused), which it copies; count <= 0 matches everything
  // to 0, as NearestPaletteIndex does. REQUIRES: count <= kMaxEntries.
  CColourMatcher(const std::uint8_t* table, int count);

  // NearestPaletteIndex(colour, table, count) for `colour` (blue, green, red).
  int Nearest(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const std::uint32_t at = CellOf(blue, green, red);
    Cell cell = cells_[at];
    if (cell.count == kUnbuilt) cell = BuildCell(at);
    const Candidate* first = candidates_.data() + cell.start;
    if (cell.count == 1) return first->index;
    int best = 1 << 30;  // above any squared distance (3 x 255 x 255)
    int bestIndex = 0;
    for (const Candidate* c = first; c != first + cell.count; ++c) {
      const int b = blue - c->blue;
      const int g = green - c->green;
      const int r = red - c->red;
      const int distance = r * r + g * g + b * b;
      if (distance < best) {
        best = distance;
        bestIndex = c->index;
      }
    }
    return bestIndex;
  }

  // How many entries the cells keep in all, every cell filled (for tests and
  // measurements).
  std::size_t CandidateCount();

 private:
  static constexpr int kCellSide = 8;
  static constexpr std::uint32_t kCells = (256 / kCellSide) * (256 / kCellSide) * (256 / kCellSide);
  static constexpr std::uint32_t kUnbuilt = 0xFFFFFFFF;  // a cell's count before its first use

  struct Candidate {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
    std::uint8_t index;
  };
  struct Cell {
    std::uint32_t start;  // the cell's entries are candidates_[start, start + count)
    std::uint32_t count;
  };

  static std::uint32_t CellOf(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return ((red >> 3u) << 10u) | ((green >> 3u) << 5u) | (blue >> 3u);
  }
  // Appends to `kept` the entries of `from` that can be nearest to a colour
  // of the box of side `side` from (blueLow, greenLow, redLow), in order.
  static void KeepPossibleNearest(const std::vector<Candidate>& from, int blueLow, int greenLow,
                                  int redLow, int side, std::vector<Candidate>* kept);
  // Fills cell `cell` (and the boxes around it that it needs) and returns it.
  Cell BuildCell(std::uint32_t cell);

  std::vector<Candidate> all_;                  // the table
  std::vector<std::vector<Candidate>> coarse_;  // boxes of side 32, filled on first use
  std::vector<std::vector<Candidate>> middle_;  // boxes of side 16, filled on first use
  std::vector<std::uint8_t> coarseBuilt_;
  std::vector<std::uint8_t> middleBuilt_;
  std::vector<Cell> cells_;            // kCells, indexed by CellOf
  std::vector<Candidate> candidates_;  // each filled cell's entries in table order
};

}  // namespace kd

#endif  // KDDAO_BITMAP_COLOUR_MATCHER_H_
