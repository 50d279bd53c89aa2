#include "foundation/fault_injection.h"

#include <atomic>

namespace kd {

namespace {
// Per point: uses left before the failing one; 0 when disarmed.
std::atomic<int> g_countdown[static_cast<int>(FaultPoint::kCount)];
}  // namespace

void FailAfter(FaultPoint point, int n) {
  g_countdown[static_cast<int>(point)].store(n > 0 ? n : 0);
}

void ClearFaults() {
  for (auto& counter : g_countdown)
    counter.store(0);
}

bool ShouldFail(FaultPoint point) {
  std::atomic<int>& counter = g_countdown[static_cast<int>(point)];
  int left = counter.load(std::memory_order_relaxed);
  while (left > 0) {
    if (counter.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return false;
}

int UsesBeforeFault(FaultPoint point) {
  return g_countdown[static_cast<int>(point)].load();
}

}  // namespace kd
