// Main of every test program: starts the foundation as the library's loaders
// do, with the slot size the library uses.
#include <gtest/gtest.h>

#include "foundation/messages.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!kd::FoundationStart(nullptr, kd::kDefaultSlotSize)) return 2;
  int result = RUN_ALL_TESTS();
  kd::FoundationStop();
  return result;
}
