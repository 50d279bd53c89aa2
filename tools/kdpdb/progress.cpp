#include "tools/kdpdb/progress.h"

#include <unistd.h>

#include <cstdio>

namespace kdpdb {

namespace {

constexpr auto kFirstDraw = std::chrono::milliseconds(500);
constexpr auto kBetweenDraws = std::chrono::milliseconds(250);
constexpr int kBarWidth = 30;

}  // namespace

ProgressLine::ProgressLine(std::string label)
    : label_(std::move(label)),
      terminal_(isatty(STDERR_FILENO) == 1),
      next_(Clock::now() + kFirstDraw) {}

ProgressLine::~ProgressLine() {
  Clear();
}

bool ProgressLine::Due() {
  if (!terminal_) return false;
  const Clock::time_point now = Clock::now();
  if (now < next_) return false;
  next_ = now + kBetweenDraws;
  return true;
}

void ProgressLine::Draw(double fraction, const std::string& detail) {
  std::string line = "kdpdb: " + label_ + " ";
  if (fraction >= 0) {
    if (fraction > 1) fraction = 1;
    const int filled = static_cast<int>(fraction * kBarWidth);
    line += "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
    line += std::to_string(static_cast<int>(fraction * 100)) + "%  ";
  }
  line += detail;
  // Spaces over what a longer line before left.
  const std::size_t length = line.size();
  if (length < drawn_) line.append(drawn_ - length, ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  drawn_ = length;
}

void ProgressLine::Clear() {
  if (drawn_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(stderr);
  drawn_ = 0;
}

}  // namespace kdpdb
