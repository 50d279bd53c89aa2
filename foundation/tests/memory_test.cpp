// Heap operations and their out-of-memory behaviour, with fault injection.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation/errors.h"
#include "foundation/fault_injection.h"
#include "foundation/memory.h"

namespace kd {
namespace {

TEST(MemoryTest, ReallocKeepsContentAndAcceptsNull) {
  auto* block = static_cast<char*>(MemRealloc(nullptr, 4));
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(MemRealloc(block, 4096));
  EXPECT_STREQ(block, "abc");
  MemFree(block);
  MemFree(nullptr);
}

TEST(MemoryTest, FailedAllocationRaisesOutOfMemory) {
  ScopedFault fault(FaultPoint::kAllocation, 1);
  try {
    MemAlloc(16);
    FAIL() << "no error raised";
  } catch (const CErrX&) {
    FAIL() << "out of memory is a text error";
  } catch (const CErr& error) {
    EXPECT_STREQ(error.GetText(), "Out of memory.");
  }
}

TEST(MemoryTest, FailedReallocLeavesTheOldBlockValid) {
  auto* block = static_cast<char*>(MemAlloc(8));
  std::memcpy(block, "kept", 5);
  {
    ScopedFault fault(FaultPoint::kAllocation, 1);
    EXPECT_THROW(MemRealloc(block, 1 << 20), CErr);
  }
  EXPECT_STREQ(block, "kept");
  MemFree(block);
}

TEST(MemoryTest, FaultFiresOnTheNthUseOnly) {
  ScopedFault fault(FaultPoint::kAllocation, 3);
  MemFree(MemAlloc(1));
  MemFree(MemAlloc(1));
  EXPECT_THROW(MemAlloc(1), CErr);
  MemFree(MemAlloc(1));  // disarmed after firing
}

TEST(MemoryTest, HugeRequestIsReportedNotFatal) {
  EXPECT_THROW(MemAlloc(static_cast<std::size_t>(-1) / 2), CErr);
}

TEST(FoundationStartTest, FailsWithoutRaisingWhenTheRingCannotBeAllocated) {
  {
    ScopedFault fault(FaultPoint::kAllocation, 1);
    EXPECT_FALSE(FoundationStart(nullptr, kDefaultSlotSize));
  }
  // The previous ring stays in use.
  EXPECT_STREQ(CErr(kMsgOutOfMemory).GetText(), "Out of memory.");
  EXPECT_TRUE(FoundationStart(nullptr, kDefaultSlotSize));
}

}  // namespace
}  // namespace kd
