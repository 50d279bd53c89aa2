// Message table, slot ring, error classes and the public operation boundary.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/errors.h"
#include "foundation/messages.h"

namespace kd {
namespace {

std::string Narrow(const std::u16string& text) {
  return ToAnsi(text);
}

class ErrorBoundaryTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearErrorDescription(); }
  void TearDown() override { ClearErrorDescription(); }
};

TEST(MessageTableTest, HoldsBothRangesWithTheGapsOfTheDataAccessRange) {
  std::set<int> ids;
  for (std::size_t i = 0; i < kMessageTableSize; ++i)
    ids.insert(kMessageTable[i].id);
  for (int id = 10000; id <= 10032; ++id) {
    bool gap = id == 10004 || id == 10022;
    EXPECT_EQ(ids.count(id) == 0, gap) << id;
  }
  for (int id = 60000; id <= 60015; ++id)
    EXPECT_EQ(ids.count(id), 1u) << id;
  EXPECT_EQ(ids.size(), 31u + 16u);
}

// LoadMessage reads the module's message resource on Windows and the compiled
// table elsewhere: both must give the same texts.
TEST(MessageTableTest, LoadMessageDeliversEveryCompiledText) {
  for (std::size_t i = 0; i < kMessageTableSize; ++i) {
    EXPECT_STREQ(LoadMessage(kMessageTable[i].id), kMessageTable[i].text) << kMessageTable[i].id;
  }
}

TEST(MessageTableTest, TextsOfSelectedIds) {
  struct Case {
    int id;
    const char* text;
  } cases[] = {
      {10000, "Generic error: %s"},
      {10003, "Record size exceeds 64kb (%d kb)."},
      {10009, "Record exists in database, but with a deleted or archived status."},
      {10015, "Generic OLE error: %s."},
      {10024, "Object type must be IDispPicture"},
      {10027, "Error occured while converting bitmap."},
      {10028, "Variant must be of 'Date' type."},
      {60002, "Cannot access file '%s'."},
      {60011, "Field '%s' not found in table '%s'."},
      {60014, "Unable to initialize DDE server."},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(LoadMessage(c.id), c.text) << c.id;
}

TEST(MessageTableTest, UnknownIdGivesTheEmptyText) {
  EXPECT_STREQ(LoadMessage(10004), "");
  EXPECT_STREQ(LoadMessage(12345), "");
}

TEST(MessageRingTest, HandsOutSixteenSlotsInTurnAndWrapsAround) {
  std::vector<char*> slots;
  for (int i = 0; i < kMessageSlotCount; ++i)
    slots.push_back(NextMessageSlot());
  std::set<char*> distinct(slots.begin(), slots.end());
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kMessageSlotCount));
  for (int i = 1; i < kMessageSlotCount; ++i) {
    std::ptrdiff_t step = slots[i] - slots[i - 1];
    // Consecutive slots, except where the ring wraps to its first slot.
    EXPECT_TRUE(step == static_cast<std::ptrdiff_t>(MessageSlotSize()) ||
                step == -static_cast<std::ptrdiff_t>(MessageSlotSize()) * (kMessageSlotCount - 1));
  }
  EXPECT_EQ(NextMessageSlot(), slots[0]);  // the 17th take reuses the first
}

TEST(MessageRingTest, FirstSlotAfterStartIsSlotOne) {
  ASSERT_TRUE(FoundationStart(nullptr, 64));
  char* first = NextMessageSlot();
  for (int i = 1; i < kMessageSlotCount - 1; ++i)
    NextMessageSlot();
  char* slotZero = NextMessageSlot();  // the 16th take
  EXPECT_EQ(first - slotZero, 64);
  EXPECT_EQ(MessageSlotSize(), 64u);
  ASSERT_TRUE(FoundationStart(nullptr, kDefaultSlotSize));
}

TEST(MessageRingTest, TextsLongerThanASlotAreTruncatedToFit) {
  ASSERT_TRUE(FoundationStart(nullptr, 32));
  EXPECT_STREQ(LoadMessage(kMsgRecordDeletedOrArchived), "Record exists in database, but ");
  ASSERT_TRUE(FoundationStart(nullptr, kDefaultSlotSize));
}

TEST(ErrorClassesTest, TextsLongerThanTheErrorBufferAreTruncatedToFit) {
  std::string path(600, 'p');
  CErr error(kMsgCannotAccessFile, path.c_str());
  std::string text = error.GetText();
  EXPECT_EQ(text.size(), kErrorTextCapacity - 1);
  EXPECT_EQ(text.substr(0, 21), "Cannot access file 'p");
}

TEST(ErrorClassesTest, ConcurrentFailuresNeverMixTheirTexts) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        CErr error(kMsgCannotAccessFile, std::to_string(t * 100000 + i).c_str());
        std::string expected = "Cannot access file '" + std::to_string(t * 100000 + i) + "'.";
        if (expected != error.GetText()) ++failures[t];
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  for (int failureCount : failures)
    EXPECT_EQ(failureCount, 0);
}

TEST(FormatMessageTextTest, Placeholders) {
  struct Case {
    const char* format;
    std::vector<MessageArg> args;
    const char* expected;
  } cases[] = {
      {"Cannot access file '%s'.", {MessageArg("a.pdb")}, "Cannot access file 'a.pdb'."},
      {"Record size exceeds 64kb (%d kb).", {MessageArg(63)}, "Record size exceeds 64kb (63 kb)."},
      {"version %d.", {MessageArg(-7)}, "version -7."},
      {"Field '%s' not found in table '%s'.",
       {MessageArg("f"), MessageArg("t")},
       "Field 'f' not found in table 't'."},
      {"Generic OLE error: %s.",
       {MessageArg(static_cast<const char*>(nullptr))},
       "Generic OLE error: (null)."},
      {"missing %s and %d", {}, "missing (null) and 0"},
      {"100%% and %x", {}, "100% and %x"},
      {"trailing %", {}, "trailing %"},
  };
  for (const Case& c : cases) {
    char out[128];
    FormatMessageText(out, sizeof out, c.format, c.args.data(), c.args.size());
    EXPECT_STREQ(out, c.expected) << c.format;
  }
  char small[6];
  const MessageArg arg("abcdef");
  FormatMessageText(small, sizeof small, "%s", &arg, 1);
  EXPECT_STREQ(small, "abcde");
}

TEST(ErrorClassesTest, TextErrorFromIdAndArguments) {
  CErr error(kMsgRecordTooLargeKb, 63);
  EXPECT_STREQ(error.GetText(), "Record size exceeds 64kb (63 kb).");
  CErr literal("bitmap error.");
  EXPECT_STREQ(literal.GetText(), "bitmap error.");
}

TEST(ErrorClassesTest, CodedErrorAndTheBoundaryConversions) {
  CErrX coded(kMsgNoCurrentRecord);
  EXPECT_EQ(coded.GetCode(), 10005);
  EXPECT_STREQ(coded.GetText(), "No current record.");

  CErrX fromText(CErr(kMsgCannotAccessFile, "x.pdb"));
  EXPECT_EQ(fromText.GetCode(), 10000);
  EXPECT_STREQ(fromText.GetText(), "Generic error: Cannot access file 'x.pdb'.");

  CErrX fromPlatform(CPlatformError(hr::kDispOverflow));
  EXPECT_EQ(fromPlatform.GetCode(), 10015);
  EXPECT_STREQ(fromPlatform.GetText(), "Generic OLE error: (null).");

  CErrX described(CPlatformError(hr::kDispOverflow, u"Overflow \u00e9"));
  EXPECT_STREQ(described.GetText(), "Generic OLE error: Overflow \xe9.");
}

TEST(ErrorClassesTest, ErrorKeepsItsTextWhenTheRingMovesOn) {
  CErr error(kMsgCannotAccessFile, "kept.pdb");
  for (int i = 0; i < 3 * kMessageSlotCount; ++i)
    std::strcpy(NextMessageSlot(), "overwritten");
  EXPECT_STREQ(error.GetText(), "Cannot access file 'kept.pdb'.");
}

// The re-raise of loading and saving catches by value as the text class: a
// coded error that passes through it reaches the caller as a text error.
TEST(ErrorClassesTest, ReRaisingAsTextErrorDropsTheCode) {
  HRESULT result = ErrorBoundary([] {
    try {
      throw CErrX(kMsgChainedRecordLists);
    } catch (CErr error) {
      throw error;
    }
  });
  EXPECT_EQ(static_cast<std::uint32_t>(result), 0x80042710u);
  EXPECT_EQ(Narrow(GetErrorDescription()), "Generic error: Chained record lists not supported.");
}

TEST_F(ErrorBoundaryTest, EachKindOfErrorGivesItsResultAndDescription) {
  struct Case {
    void (*raise)();
    std::uint32_t result;
    const char* description;
  } cases[] = {
      {[] { throw CErrX(kMsgRecordsetNotOpened); }, 0x80042720u, "Recordset not opened."},
      {[] { throw CErrX(kMsgNoCurrentRecord); }, 0x80042715u, "No current record."},
      {[] { throw CErr(kMsgCannotAccessFile, "missing.pdb"); }, 0x80042710u,
       "Generic error: Cannot access file 'missing.pdb'."},
      {[] { throw CErr(kMsgInvalidKdxFile); }, 0x80042710u, "Generic error: Invalid .kdx file."},
      {[] { throw CErr("bitmap error."); }, 0x80042710u, "Generic error: bitmap error."},
      {[] { throw CPlatformError(hr::kDispOverflow); }, 0x8004271Fu, "Generic OLE error: (null)."},
      {[] { throw std::bad_alloc(); }, 0x80042710u, "Generic error: Out of memory."},
      {[] { throw CPlatformError(hr::kOutOfMemory); }, 0x80042710u,
       "Generic error: Out of memory."},
  };
  for (const Case& c : cases) {
    HRESULT result = ErrorBoundary(c.raise);
    EXPECT_EQ(static_cast<std::uint32_t>(result), c.result) << c.description;
    EXPECT_EQ(Narrow(GetErrorDescription()), c.description);
  }
}

// The reason goes beside the text: through a re-raise as a text error and the
// boundary, to the thread's reason; the next error, without one, clears it.
TEST_F(ErrorBoundaryTest, TheReasonTravelsBesideTheText) {
  HRESULT result = ErrorBoundary([] {
    try {
      CErrX error(kMsgChainedRecordLists);
      error.SetReason("record %d: offset 0x%08X", 12, 0x1F3A0u);
      throw error;
    } catch (CErr error) {
      throw error;
    }
  });
  EXPECT_EQ(static_cast<std::uint32_t>(result), 0x80042710u);
  EXPECT_EQ(Narrow(GetErrorDescription()), "Generic error: Chained record lists not supported.");
  EXPECT_EQ(GetErrorReason(), "record 12: offset 0x0001F3A0");
  ErrorBoundary([] { throw CErrX(kMsgNoCurrentRecord); });
  EXPECT_EQ(GetErrorReason(), "");
}

TEST_F(ErrorBoundaryTest, SuccessReturnsOkAndLeavesEarlierErrorInfoInPlace) {
  ErrorBoundary([] { throw CErrX(kMsgInvalidCursorOperation); });
  bool ran = false;
  EXPECT_EQ(ErrorBoundary([&] { ran = true; }), hr::kOk);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(HasErrorDescription());
  EXPECT_EQ(Narrow(GetErrorDescription()), "Invalid cursor operation.");
}

TEST_F(ErrorBoundaryTest, OtherExceptionsAreNotCaught) {
  EXPECT_THROW(ErrorBoundary([] { throw 42; }), int);
}

TEST_F(ErrorBoundaryTest, DescriptionIsTruncatedToItsBuffer) {
  CErrX error(kMsgRecordsetNotOpened);
  std::string longText(700, 'x');
  HRESULT result = ErrorBoundary([&] { throw CErr(longText.c_str()); });
  EXPECT_EQ(static_cast<std::uint32_t>(result), 0x80042710u);
  std::u16string description = GetErrorDescription();
  EXPECT_LE(description.size(), kDescriptionCapacity - 1);
  EXPECT_EQ(Narrow(description.substr(0, 15)), "Generic error: ");
}

TEST_F(ErrorBoundaryTest, DescriptionsBelongToTheirThread) {
  ErrorBoundary([] { throw CErrX(kMsgNoCurrentRecord); });
  std::string other;
  std::thread thread([&] {
    ErrorBoundary([] { throw CErrX(kMsgTooManyRecords); });
    other = Narrow(GetErrorDescription());
  });
  thread.join();
  EXPECT_EQ(other, "Too many records in database.");
  EXPECT_EQ(Narrow(GetErrorDescription()), "No current record.");
}

TEST_F(ErrorBoundaryTest, ClearRemovesTheDescription) {
  ErrorBoundary([] { throw CErrX(kMsgNoCurrentRecord); });
  ClearErrorDescription();
  EXPECT_FALSE(HasErrorDescription());
  EXPECT_EQ(GetErrorDescription(), u"");
}

}  // namespace
}  // namespace kd
