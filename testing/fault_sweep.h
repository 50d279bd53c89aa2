// Failure sweeps: an operation run afresh with one fault point armed to fail
// at its 1st use, then at its 2nd, 3rd, ... until the operation succeeds, and
// after every failure the promises of a failure checked: the error the design
// names, every file as it was, an object fit for the next call. Leaks are
// LeakSanitizer's to find: the sanitizer build runs the sweeps.
#ifndef KDDAO_TESTING_FAULT_SWEEP_H_
#define KDDAO_TESTING_FAULT_SWEEP_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/fault_injection.h"
#include "foundation/hresult.h"
#include "testing/outcomes.h"

namespace kd::testing {

// The files of a directory by name, with their bytes.
using DirectoryImage = std::map<std::string, std::vector<std::uint8_t>>;
DirectoryImage SnapshotDirectory(const std::string& path);

// What a caller of the objects reads, as Result gives it, when memory runs
// out (60000) and when the file at `path` cannot be read or written (60002).
inline constexpr char kOutOfMemory[] = "80042710 Generic error: Out of memory.";
std::string CannotAccessResult(const std::string& path);

// "allocation", "file write", "file flush", "file replace".
const char* FaultPointName(FaultPoint point);

struct SweepReport {
  int failurePoints = 0;              // the uses made to fail, one run each
  std::vector<std::string> problems;  // each promise a run broke, one line each
};

// Sweeps `point` over an operation. For run N = 1, 2, 3, ...:
//   auto state = arrange();      a fresh state, made with nothing armed;
//   act(state)                   the operation, with the point armed to fail
//                                at its Nth use; returns an HRESULT;
//   recover(state)               after a failure, with nothing armed: "ok"
//                                when the state is fit for the next call, or
//                                what is wrong.
// A failed run must have reached the Nth use, give `expected`, and leave the
// files of `directory` as they were. A run that succeeds although its Nth use
// failed (a failure swallowed) is a problem too; the first run that succeeds
// without reaching its Nth use ends the sweep. Gives up after `limit` runs.
template <typename Arrange, typename Act, typename Recover>
SweepReport SweepFailures(FaultPoint point, const std::string& expected,
                          const std::string& directory, Arrange&& arrange, Act&& act,
                          Recover&& recover, int limit = 20000) {
  SweepReport report;
  auto problem = [&](int n, const std::string& what) {
    report.problems.push_back(std::string(FaultPointName(point)) + " " + std::to_string(n) + ": " +
                              what);
  };
  for (int n = 1; n <= limit; ++n) {
    auto state = arrange();
    const DirectoryImage before = SnapshotDirectory(directory);
    FailAfter(point, n);
    const HRESULT result = act(state);
    const bool reached = UsesBeforeFault(point) == 0;
    ClearFaults();
    if (result == hr::kOk && reached) {
      problem(n, "the operation succeeded although this use failed");
      continue;
    }
    if (result == hr::kOk) {
      report.failurePoints = n - 1;
      return report;
    }
    const std::string got = Result(result);
    if (!reached) {
      problem(n, "failed before this use: " + got);
      return report;
    }
    if (got != expected) problem(n, "gave " + got);
    if (SnapshotDirectory(directory) != before) problem(n, "the files changed");
    const std::string recovered = recover(state);
    if (recovered != "ok") problem(n, "afterwards: " + recovered);
  }
  problem(limit, "still failing");
  return report;
}

}  // namespace kd::testing

#endif  // KDDAO_TESTING_FAULT_SWEEP_H_
