#include "foundation/containers.h"

#include <cstring>

#include "foundation/errors.h"
#include "foundation/memory.h"

namespace kd {

// ---- CTplArray -------------------------------------------------------------

CTplArray::~CTplArray() {
  RemoveAll();
}

void CTplArray::Add(const void* element) {
  if (count_ >= capacity_) {
    std::uint64_t bytes =
        static_cast<std::uint64_t>(elementSize_) * (static_cast<std::uint64_t>(capacity_) + 8);
    if (capacity_ > 0x7FFFFFFF - 8 || bytes > 0x7FFFFFFFu) throw CErr(kMsgOutOfMemory);
    data_ = static_cast<std::uint8_t*>(MemRealloc(data_, static_cast<std::size_t>(bytes)));
    capacity_ += 8;
  }
  std::memcpy(data_ + static_cast<std::size_t>(count_) * elementSize_, element,
              static_cast<std::size_t>(elementSize_));
  ++count_;
}

void CTplArray::Reserve(std::int32_t capacity) {
  if (capacity <= capacity_) return;
  std::uint64_t bytes =
      static_cast<std::uint64_t>(elementSize_) * static_cast<std::uint64_t>(capacity);
  if (bytes > 0x7FFFFFFFu) throw CErr(kMsgOutOfMemory);
  data_ = static_cast<std::uint8_t*>(MemRealloc(data_, static_cast<std::size_t>(bytes)));
  capacity_ = capacity;
}

void CTplArray::RemoveAt(std::int32_t index) {
  std::size_t size = static_cast<std::size_t>(elementSize_);
  std::size_t after = static_cast<std::size_t>(count_ - index - 1);
  if (after > 0) {
    std::memmove(data_ + static_cast<std::size_t>(index) * size,
                 data_ + static_cast<std::size_t>(index + 1) * size, after * size);
  }
  --count_;
}

void* CTplArray::GetAt(std::int32_t index) const {
  return data_ + static_cast<std::size_t>(index) * static_cast<std::size_t>(elementSize_);
}

void CTplArray::RemoveAll() {
  MemFree(data_);
  data_ = nullptr;
  capacity_ = 0;
  count_ = 0;
}

// ---- CTplHash --------------------------------------------------------------

namespace {
char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

CTplHash::~CTplHash() {
  RemoveAll();
  MemFree(buckets_);
}

void CTplHash::InitHashTable(std::int32_t bucketCount) {
  if (bucketCount <= 0) bucketCount = 1;
  auto** buckets = static_cast<CHashItem**>(
      MemAlloc(static_cast<std::size_t>(bucketCount) * sizeof(CHashItem*)));
  for (std::int32_t i = 0; i < bucketCount; ++i)
    buckets[i] = nullptr;
  RemoveAll();
  MemFree(buckets_);
  buckets_ = buckets;
  bucketCount_ = bucketCount;
}

std::uint32_t CTplHash::HashValue(const char* key, bool noCase) {
  std::uint32_t h = 0;
  for (const char* p = key; *p != '\0'; ++p) {
    char c = noCase ? UpperAscii(*p) : *p;
    // Each byte counts as a signed 8-bit value: 0x80-0xFF are -128..-1.
    auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(c)));
    h = (h << 4) + value;
    std::uint32_t g = h & 0xF0000000u;
    if (g != 0) {
      h ^= g >> 24;
      h ^= g;
    }
  }
  return h;
}

std::uint32_t CTplHash::Hash(const char* key) const {
  return HashValue(key, noCase_) % static_cast<std::uint32_t>(bucketCount_);
}

bool CTplHash::KeysEqual(const char* a, const char* b) const {
  if (!noCase_) return std::strcmp(a, b) == 0;
  for (;; ++a, ++b) {
    if (UpperAscii(*a) != UpperAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

void CTplHash::Add(CHashItem* item) {
  if (bucketCount_ == 0) InitHashTable(1);
  CHashItem*& head = buckets_[Hash(item->GetKey())];
  item->prev_ = nullptr;
  item->next_ = head;
  if (head != nullptr) head->prev_ = item;
  head = item;
}

CHashItem* CTplHash::Lookup(const char* key) const {
  if (bucketCount_ == 0) return nullptr;
  for (CHashItem* item = buckets_[Hash(key)]; item != nullptr; item = item->next_) {
    if (KeysEqual(item->GetKey(), key)) return item;
  }
  return nullptr;
}

CHashItem* CTplHash::LookupNext(const CHashItem* item, const char* key) const {
  for (CHashItem* next = item->next_; next != nullptr; next = next->next_) {
    if (KeysEqual(next->GetKey(), key)) return next;
  }
  return nullptr;
}

void CTplHash::DestroyItem(CHashItem* item) {
  delete item;
}

void CTplHash::RemoveAll() {
  for (std::int32_t i = 0; i < bucketCount_; ++i) {
    CHashItem* item = buckets_[i];
    while (item != nullptr) {
      CHashItem* next = item->next_;
      DestroyItem(item);
      item = next;
    }
    buckets_[i] = nullptr;
  }
}

}  // namespace kd
