// The message table and the ring of message slots into which error texts are
// loaded and formatted without allocating memory.
#ifndef KDDAO_FOUNDATION_MESSAGES_H_
#define KDDAO_FOUNDATION_MESSAGES_H_

#include <cstddef>
#include <cstdint>

namespace kd {

// Message ids of the library's message table (see messages.def).
enum MessageId : std::int32_t {
#define KD_MESSAGE(name, id, text) name = id,
#include "foundation/messages.def"
#undef KD_MESSAGE
};

// One entry of the message table as compiled into the library.
struct MessageEntry {
  MessageId id;
  const char* text;
};

// Every message of the table, in id order.
extern const MessageEntry kMessageTable[];
extern const std::size_t kMessageTableSize;

// Slot size the library starts the foundation with.
constexpr std::size_t kDefaultSlotSize = 512;
constexpr int kMessageSlotCount = 16;

// Starts the foundation when the library is loaded: remembers the module whose
// string resources hold the message table (null: the running program) and
// allocates the ring of 16 slots of `slotSize` bytes. Returns false, raising
// nothing, when the ring cannot be allocated. Before a successful start the
// foundation uses a built-in ring of 16 slots of 512 bytes.
bool FoundationStart(void* moduleHandle, std::size_t slotSize);

// Stops the foundation when the library is unloaded: releases the ring and
// returns to the built-in one.
void FoundationStop();

// Size in bytes of each slot of the current ring.
std::size_t MessageSlotSize();

// Advances the ring index (under its lock) by one modulo 16 and returns the slot
// at the new index. The slot stays unchanged until 16 more have been taken.
char* NextMessageSlot();

// Loads the text of message `id` into a fresh slot (at most slot size - 1
// characters and the terminator) and returns the slot. An id without an entry
// gives the empty text.
const char* LoadMessage(std::int32_t id);

// Loads the text of message `id` into `buffer` (`size` bytes, terminator
// included, truncated to fit) without taking a slot. An id without an entry
// gives the empty text.
void LoadMessageInto(std::int32_t id, char* buffer, std::size_t size);

// The text compiled into the library for `id`, or null when the table has no
// such entry. The portable build loads messages from here; tests compare it
// with what the Windows string resource delivers.
const char* CompiledMessageText(std::int32_t id);

// Platform hook: copies message `id` from the module's message table into
// `buffer` (`size` bytes, terminator included). Empty text when there is none.
void LoadMessageText(void* moduleHandle, std::int32_t id, char* buffer, std::size_t size);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_MESSAGES_H_
