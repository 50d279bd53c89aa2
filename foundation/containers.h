// Containers of the foundation: an untyped array of fixed-size elements with a
// typed form for pointers, and an intrusive chained hash table whose items carry
// their own links and key.
#ifndef KDDAO_FOUNDATION_CONTAINERS_H_
#define KDDAO_FOUNDATION_CONTAINERS_H_

#include <cstdint>

#include "foundation/object.h"

namespace kd {

// Array of fixed-size elements stored contiguously. Owns its block, never what
// elements point at. Grows 8 elements at a time and never shrinks.
class CTplArray : public CObject {
 public:
  explicit CTplArray(std::int32_t elementSize) : elementSize_(elementSize) {}
  CTplArray(const CTplArray&) = delete;
  CTplArray& operator=(const CTplArray&) = delete;
  ~CTplArray() override;

  // Appends a copy of `elementSize` bytes from `element`. Raises 60000; the
  // array then stays as it was.
  void Add(const void* element);
  // Makes room for `capacity` elements at once (a bulk load that knows its
  // count); never shrinks. Raises 60000, the array then staying as it was.
  void Reserve(std::int32_t capacity);
  // Removes the element at `index`; those after it move down one place.
  // REQUIRES: 0 <= index < GetCount().
  void RemoveAt(std::int32_t index);
  std::int32_t GetCount() const { return count_; }
  std::int32_t GetCapacity() const { return capacity_; }
  // REQUIRES: 0 <= index < GetCount().
  void* GetAt(std::int32_t index) const;
  // Returns the block to the heap; count and capacity 0.
  void RemoveAll();

 private:
  std::uint8_t* data_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t count_ = 0;
  std::int32_t elementSize_;
};

// Array of pointers that does not own what it points at.
template <typename T>
class CArray;

template <typename T>
class CArray<T*> : public CTplArray {
 public:
  CArray() : CTplArray(static_cast<std::int32_t>(sizeof(T*))) {}
  void Add(T* item) { CTplArray::Add(&item); }
  T*& GetAt(std::int32_t index) const { return *static_cast<T**>(CTplArray::GetAt(index)); }
  T*& operator[](std::int32_t index) const { return GetAt(index); }
};

// Base of everything stored in a hash table: links maintained by the table and
// a key supplied by the item.
class CHashItem : public CObject {
 public:
  CHashItem() = default;
  CHashItem(const CHashItem&) = delete;
  CHashItem& operator=(const CHashItem&) = delete;
  ~CHashItem() override = default;

  // The item's key, a zero-terminated narrow string.
  virtual const char* GetKey() const = 0;

 private:
  friend class CTplHash;
  CHashItem* next_ = nullptr;
  CHashItem* prev_ = nullptr;
};

// Chained hash table of CHashItems. Owns its items: RemoveAll and the
// destructor destroy them. Insertion is at the head of a chain, so among equal
// keys a lookup finds the one added last. No operation removes a single item.
class CTplHash : public CObject {
 public:
  CTplHash() = default;
  CTplHash(const CTplHash&) = delete;
  CTplHash& operator=(const CTplHash&) = delete;
  ~CTplHash() override;

  // When set before InitHashTable, hashing and key comparison ignore the case
  // of ASCII letters.
  void SetNoCase(bool noCase) { noCase_ = noCase; }
  bool IsNoCase() const { return noCase_; }

  // Allocates `bucketCount` (> 0) empty buckets. A second call destroys the
  // items of the first table and releases its buckets.
  void InitHashTable(std::int32_t bucketCount);
  // Bucket index of `key`.
  std::uint32_t Hash(const char* key) const;
  // Inserts `item` (taking ownership) at the head of its bucket's chain. A
  // table without buckets gets one bucket first.
  void Add(CHashItem* item);
  // First item along `key`'s chain whose key equals `key`, or null.
  CHashItem* Lookup(const char* key) const;
  // The next item after `item` along the chain whose key equals `key`, or null:
  // with Lookup, walks every item of one key, newest first.
  CHashItem* LookupNext(const CHashItem* item, const char* key) const;
  // Destroys every item, bucket 0 first, each chain from head to tail.
  void RemoveAll();
  std::int32_t GetBucketCount() const { return bucketCount_; }

  // The hash value of `key` before the modulo.
  static std::uint32_t HashValue(const char* key, bool noCase);

 protected:
  // Destroys one item through its virtual destructor and returns its memory;
  // tables whose items do not come from the heap one by one override it (and
  // then call RemoveAll in their own destructor).
  virtual void DestroyItem(CHashItem* item);

 private:
  bool KeysEqual(const char* a, const char* b) const;

  CHashItem** buckets_ = nullptr;
  std::int32_t bucketCount_ = 0;
  bool noCase_ = false;
};

// Hash table whose lookups return T (derived from CHashItem).
template <typename T>
class CHash : public CTplHash {
 public:
  void Add(T* item) { CTplHash::Add(item); }
  T* Lookup(const char* key) const { return static_cast<T*>(CTplHash::Lookup(key)); }
  T* LookupNext(const T* item, const char* key) const {
    return static_cast<T*>(CTplHash::LookupNext(item, key));
  }
};

}  // namespace kd

#endif  // KDDAO_FOUNDATION_CONTAINERS_H_
