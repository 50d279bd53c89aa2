#include "foundation/messages.h"

#include <mutex>

#include "foundation/memory.h"

namespace kd {

const MessageEntry kMessageTable[] = {
#define KD_MESSAGE(name, id, text) {name, text},
#include "foundation/messages.def"
#undef KD_MESSAGE
};
const std::size_t kMessageTableSize = sizeof(kMessageTable) / sizeof(kMessageTable[0]);

namespace {

// The ring before FoundationStart and after FoundationStop.
char g_builtinRing[kMessageSlotCount * kDefaultSlotSize];

struct MessageRing {
  std::mutex lock;
  void* moduleHandle = nullptr;
  char* slots = g_builtinRing;
  std::size_t slotSize = kDefaultSlotSize;
  bool allocated = false;
  int index = 0;  // the slot handed out last
};

MessageRing& Ring() {
  static MessageRing ring;
  return ring;
}

}  // namespace

bool FoundationStart(void* moduleHandle, std::size_t slotSize) {
  MessageRing& ring = Ring();
  if (slotSize == 0) return false;
  char* slots = nullptr;
  try {
    slots = static_cast<char*>(MemAlloc(kMessageSlotCount * slotSize));
  } catch (...) {
    return false;  // no message can be formatted before the ring exists
  }
  std::lock_guard<std::mutex> guard(ring.lock);
  if (ring.allocated) MemFree(ring.slots);
  ring.moduleHandle = moduleHandle;
  ring.slots = slots;
  ring.slotSize = slotSize;
  ring.allocated = true;
  ring.index = 0;
  return true;
}

void FoundationStop() {
  MessageRing& ring = Ring();
  std::lock_guard<std::mutex> guard(ring.lock);
  if (ring.allocated) MemFree(ring.slots);
  ring.slots = g_builtinRing;
  ring.slotSize = kDefaultSlotSize;
  ring.allocated = false;
  ring.index = 0;
}

std::size_t MessageSlotSize() {
  MessageRing& ring = Ring();
  std::lock_guard<std::mutex> guard(ring.lock);
  return ring.slotSize;
}

char* NextMessageSlot() {
  MessageRing& ring = Ring();
  std::lock_guard<std::mutex> guard(ring.lock);
  ring.index = (ring.index + 1) % kMessageSlotCount;
  return ring.slots + static_cast<std::size_t>(ring.index) * ring.slotSize;
}

const char* LoadMessage(std::int32_t id) {
  char* slot = NextMessageSlot();
  LoadMessageInto(id, slot, MessageSlotSize());
  return slot;
}

void LoadMessageInto(std::int32_t id, char* buffer, std::size_t size) {
  void* moduleHandle;
  {
    MessageRing& ring = Ring();
    std::lock_guard<std::mutex> guard(ring.lock);
    moduleHandle = ring.moduleHandle;
  }
  LoadMessageText(moduleHandle, id, buffer, size);
}

const char* CompiledMessageText(std::int32_t id) {
  for (std::size_t i = 0; i < kMessageTableSize; ++i) {
    if (kMessageTable[i].id == id) return kMessageTable[i].text;
  }
  return nullptr;
}

}  // namespace kd
