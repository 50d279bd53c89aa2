// Arrays, the intrusive hash table and the growable string.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "foundation/containers.h"
#include "foundation/errors.h"
#include "foundation/fault_injection.h"
#include "foundation/strings.h"

namespace kd {
namespace {

TEST(ArrayTest, GrowsEightElementsAtATime) {
  CArray<int*> array;
  int values[17];
  EXPECT_EQ(array.GetCapacity(), 0);
  array.Add(&values[0]);
  EXPECT_EQ(array.GetCapacity(), 8);
  for (int i = 1; i < 8; ++i)
    array.Add(&values[i]);
  EXPECT_EQ(array.GetCapacity(), 8);
  array.Add(&values[8]);
  EXPECT_EQ(array.GetCapacity(), 16);
  EXPECT_EQ(array.GetCount(), 9);
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(array[i], &values[i]);
}

TEST(ArrayTest, ReserveMakesRoomAtOnceThenGrowthResumesByEight) {
  CArray<int*> array;
  int value = 0;
  array.Reserve(100);
  EXPECT_EQ(array.GetCapacity(), 100);
  for (int i = 0; i < 100; ++i)
    array.Add(&value);
  EXPECT_EQ(array.GetCapacity(), 100);
  array.Add(&value);
  EXPECT_EQ(array.GetCapacity(), 108);
  array.Reserve(10);  // never shrinks
  EXPECT_EQ(array.GetCapacity(), 108);
}

TEST(ArrayTest, RemoveAtKeepsTheOrderOfTheRest) {
  struct Case {
    int remove;
    std::vector<int> left;
  } cases[] = {{0, {1, 2}}, {1, {0, 2}}, {2, {0, 1}}};
  for (const Case& c : cases) {
    int values[3] = {0, 1, 2};
    CArray<int*> array;
    for (int& v : values)
      array.Add(&v);
    array.RemoveAt(c.remove);
    ASSERT_EQ(array.GetCount(), 2);
    EXPECT_EQ(array.GetCapacity(), 8);
    for (int i = 0; i < 2; ++i)
      EXPECT_EQ(*array[i], c.left[static_cast<std::size_t>(i)]);
  }
}

TEST(ArrayTest, ElementsOfAnySize) {
  CTplArray array(3);
  const char* items[] = {"abc", "def", "ghi"};
  for (const char* item : items)
    array.Add(item);
  array.RemoveAt(1);
  EXPECT_EQ(std::string(static_cast<char*>(array.GetAt(1)), 3), "ghi");
  array.RemoveAll();
  EXPECT_EQ(array.GetCount(), 0);
  EXPECT_EQ(array.GetCapacity(), 0);
}

TEST(ArrayTest, FailedGrowthLeavesTheArrayAsItWas) {
  CArray<int*> array;
  int values[9];
  for (int i = 0; i < 8; ++i)
    array.Add(&values[i]);
  {
    ScopedFault fault(FaultPoint::kAllocation, 1);
    EXPECT_THROW(array.Add(&values[8]), CErr);
  }
  EXPECT_EQ(array.GetCount(), 8);
  EXPECT_EQ(array.GetCapacity(), 8);
  EXPECT_EQ(array[7], &values[7]);
}

class KeyItem : public CHashItem {
 public:
  KeyItem(std::string key, int tag, int* destroyed = nullptr)
      : key_(std::move(key)), tag_(tag), destroyed_(destroyed) {}
  ~KeyItem() override {
    if (destroyed_ != nullptr) ++*destroyed_;
  }
  const char* GetKey() const override { return key_.c_str(); }
  int tag() const { return tag_; }

 private:
  std::string key_;
  int tag_;
  int* destroyed_;
};

TEST(HashTest, HashValuesOfTheReferenceKeys) {
  struct Case {
    std::string key;
    bool noCase;
    std::uint32_t value;
  } cases[] = {
      {"a", false, 97},
      {"a", true, 65},
      {"A", true, 65},
      {"\xE9", false, 0x0FFFFF19u},  // a high byte counts as negative (-23)
      {"", false, 0},
      {"ab", false, 97 * 16 + 98},
      // Long keys fold their top four bits back in.
      {"abcdefgh", false, 0},
  };
  // The last value by the rule, computed independently.
  std::uint32_t h = 0;
  for (char c : std::string("abcdefgh")) {
    h = h * 16 + static_cast<std::uint8_t>(c);
    std::uint32_t g = h & 0xF0000000u;
    if (g) h = (h ^ (g >> 24)) ^ g;
  }
  cases[6].value = h;
  for (const Case& c : cases) {
    EXPECT_EQ(CTplHash::HashValue(c.key.c_str(), c.noCase), c.value) << c.key;
  }
  CHash<KeyItem> table;
  table.InitHashTable(127);
  EXPECT_EQ(table.Hash("\xE9"), 24u);
  EXPECT_EQ(table.Hash(""), 0u);
}

TEST(HashTest, LookupFindsTheItemAddedLast) {
  CHash<KeyItem> table;
  table.InitHashTable(32765);
  table.Add(new KeyItem("abcdef", 1));
  table.Add(new KeyItem("abcdef", 2));
  table.Add(new KeyItem("1", 3));
  EXPECT_EQ(table.Lookup("abcdef")->tag(), 2);
  EXPECT_EQ(table.Lookup("1")->tag(), 3);
  EXPECT_EQ(table.Lookup("abcde"), nullptr);
  EXPECT_EQ(table.Lookup(""), nullptr);
}

TEST(HashTest, LookupNextWalksEveryItemOfAKeyNewestFirst) {
  CHash<KeyItem> table;
  table.InitHashTable(1);  // one chain: other keys interleave
  table.Add(new KeyItem("k", 1));
  table.Add(new KeyItem("other", 0));
  table.Add(new KeyItem("k", 2));
  std::vector<int> tags;
  for (KeyItem* item = table.Lookup("k"); item != nullptr; item = table.LookupNext(item, "k")) {
    tags.push_back(item->tag());
  }
  EXPECT_EQ(tags, (std::vector<int>{2, 1}));
}

TEST(HashTest, LetterCaseMattersOnlyInCaseSensitiveTables) {
  struct Case {
    bool noCase;
    bool found;
  } cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    CHash<KeyItem> table;
    table.SetNoCase(c.noCase);
    table.InitHashTable(127);
    table.Add(new KeyItem("UniqueID", 1));
    EXPECT_EQ(table.Lookup("uniqueid") != nullptr, c.found);
    EXPECT_EQ(table.Lookup("UNIQUEID") != nullptr, c.found);
    EXPECT_NE(table.Lookup("UniqueID"), nullptr);
    if (c.noCase) {
      EXPECT_EQ(table.Hash("uniqueid"), table.Hash("UNIQUEID"));
    }
  }
  // Only ASCII letters fold: 0xE9 and 0xC9 stay distinct.
  CHash<KeyItem> table;
  table.SetNoCase(true);
  table.InitHashTable(127);
  table.Add(new KeyItem("\xE9", 1));
  EXPECT_EQ(table.Lookup("\xC9"), nullptr);
}

TEST(HashTest, RemoveAllAndDestructionDestroyEveryItem) {
  int destroyed = 0;
  {
    CHash<KeyItem> table;
    table.InitHashTable(3);
    for (int i = 0; i < 10; ++i)
      table.Add(new KeyItem(std::to_string(i), i, &destroyed));
    table.RemoveAll();
    EXPECT_EQ(destroyed, 10);
    EXPECT_EQ(table.Lookup("3"), nullptr);
    EXPECT_EQ(table.GetBucketCount(), 3);
    table.Add(new KeyItem("x", 0, &destroyed));
  }
  EXPECT_EQ(destroyed, 11);
}

// A table whose items live in one block of its owner: it destroys them in
// place, never handing their memory to the heap.
TEST(HashTest, TablesMayDestroyTheirItemsTheirOwnWay) {
  struct InPlaceTable : CHash<KeyItem> {
    ~InPlaceTable() override { RemoveAll(); }
    void DestroyItem(CHashItem* item) override {
      item->~CHashItem();
      ++destroyed;
    }
    int destroyed = 0;
  };
  alignas(KeyItem) unsigned char block[2 * sizeof(KeyItem)];
  int destructed = 0;
  {
    InPlaceTable table;
    table.InitHashTable(7);
    table.Add(new (block) KeyItem("a", 1, &destructed));
    table.Add(new (block + sizeof(KeyItem)) KeyItem("b", 2, &destructed));
    EXPECT_EQ(table.Lookup("b")->tag(), 2);
    table.RemoveAll();
    EXPECT_EQ(table.destroyed, 2);
  }
  EXPECT_EQ(destructed, 2);
}

TEST(HashTest, TableWithoutBucketsIsSafe) {
  CHash<KeyItem> table;
  EXPECT_EQ(table.Lookup("a"), nullptr);
  table.Add(new KeyItem("a", 7));
  EXPECT_EQ(table.Lookup("a")->tag(), 7);
}

TEST(HashTest, SecondInitReleasesTheFirstTable) {
  int destroyed = 0;
  CHash<KeyItem> table;
  table.InitHashTable(5);
  table.Add(new KeyItem("a", 1, &destroyed));
  table.InitHashTable(7);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(table.GetBucketCount(), 7);
  EXPECT_EQ(table.Lookup("a"), nullptr);
}

TEST(StringTest, CapacityGrowsInStepsOf64) {
  CString text;
  EXPECT_STREQ(text.GetBuffer(), "");
  EXPECT_EQ(text.GetCapacity(), 64);

  CString grown;
  for (int i = 0; i < 62; ++i)
    grown.AppendChar('x');
  EXPECT_EQ(grown.GetCapacity(), 64);
  grown.AppendChar('y');  // the 63rd character
  EXPECT_EQ(grown.GetCapacity(), 128);
  EXPECT_EQ(grown.GetLength(), 63);
  EXPECT_EQ(std::string(grown.GetBuffer()), std::string(62, 'x') + "y");

  CString reserved;
  reserved.Reserve(64);
  EXPECT_EQ(reserved.GetCapacity(), 128);
  reserved.Reserve(10);
  EXPECT_EQ(reserved.GetCapacity(), 128);
}

TEST(StringTest, AppendingZeroLeavesTheTextUnchanged) {
  CString text;
  text.AppendChar('a');
  text.AppendChar('\0');
  text.AppendChar('b');
  EXPECT_STREQ(text.GetBuffer(), "ab");
  text.Empty();
  EXPECT_STREQ(text.GetBuffer(), "");
}

TEST(StringTest, FailedGrowthLeavesTheStringAsItWas) {
  CString text;
  for (int i = 0; i < 62; ++i)
    text.AppendChar('x');
  {
    ScopedFault fault(FaultPoint::kAllocation, 1);
    EXPECT_THROW(text.AppendChar('y'), CErr);
  }
  EXPECT_EQ(text.GetLength(), 62);
  EXPECT_EQ(text.GetCapacity(), 64);
}

}  // namespace
}  // namespace kd
