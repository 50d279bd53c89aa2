// Test hooks that make the Nth allocation, file write, flush or file
// replacement fail, so that tests can prove a failure leaves files and objects
// usable. All are off unless a test arms them; each counter is process-wide.
#ifndef KDDAO_FOUNDATION_FAULT_INJECTION_H_
#define KDDAO_FOUNDATION_FAULT_INJECTION_H_

namespace kd {

enum class FaultPoint {
  kAllocation,   // MemAlloc, MemRealloc, MemAllocWhole (and a test program's operator new)
  kFileWrite,    // CFile::Write
  kFileFlush,    // CFile::Flush
  kFileReplace,  // ReplaceFileAtomically
  kCount
};

// Arms `point` so that its `n`-th next use (1 = the very next) fails.
void FailAfter(FaultPoint point, int n);

// Disarms every fault point.
void ClearFaults();

// Called at each fault point: true when this use must fail (the counter then
// disarms itself).
bool ShouldFail(FaultPoint point);

// Uses of `point` left up to and including the one that fails: 0 once the
// armed failure has happened, and when the point was never armed.
int UsesBeforeFault(FaultPoint point);

// Arms a fault point for the lifetime of a scope.
class ScopedFault {
 public:
  ScopedFault(FaultPoint point, int n) { FailAfter(point, n); }
  ~ScopedFault() { ClearFaults(); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_FAULT_INJECTION_H_
