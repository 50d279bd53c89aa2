// kdpdb's progress line: how far a long export or import has got, drawn on
// standard error when that is a terminal and the run has lasted a moment,
// redrawn a few times a second, and cleared when the run ends.
#ifndef KDDAO_TOOLS_KDPDB_PROGRESS_H_
#define KDDAO_TOOLS_KDPDB_PROGRESS_H_

#include <chrono>
#include <string>

namespace kdpdb {

class ProgressLine {
 public:
  // `label` heads the line ("exporting").
  explicit ProgressLine(std::string label);
  ~ProgressLine();  // clears the line
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Whether a redraw is due: standard error is a terminal, half a second has
  // passed since the start and a quarter of a second since the last redraw.
  // Cheap enough to ask once a record.
  bool Due();
  // Draws a bar for `fraction` (0 to 1; below 0: unknown) and `detail`.
  void Draw(double fraction, const std::string& detail);
  // Removes the line, if one was drawn.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  std::string label_;
  bool terminal_;
  Clock::time_point next_;
  std::size_t drawn_ = 0;  // characters on the line
};

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_PROGRESS_H_
