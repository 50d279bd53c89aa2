// Memory stream growth and content rules, and the typed operators over both
// stream kinds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/fault_injection.h"
#include "foundation/file.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

std::vector<std::uint8_t> Content(const CMemFile& stream) {
  return std::vector<std::uint8_t>(stream.GetBuffer(), stream.GetBuffer() + stream.Size());
}

TEST(MemFileTest, ResetGivesAnEmptyZeroedBufferOf256Bytes) {
  CMemFile stream;
  stream.Reset();
  EXPECT_EQ(stream.GetSize(), 0u);
  EXPECT_EQ(stream.GetPosition(), 0u);
  EXPECT_EQ(stream.GetCapacity(), 256);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(stream.GetBuffer()[i], 0);
}

TEST(MemFileTest, ResetKeepsAnExistingBufferAndZeroesIt) {
  CMemFile stream;
  stream.Reset();
  stream.Seek(600);
  std::uint8_t* buffer = stream.GetBuffer();
  stream.Write("abc", 3);
  stream.Reset();
  EXPECT_EQ(stream.GetBuffer(), buffer);
  EXPECT_EQ(stream.GetCapacity(), 768);
  EXPECT_EQ(stream.GetSize(), 0u);
  EXPECT_EQ(stream.GetBuffer()[600], 0);
}

TEST(MemFileTest, GrowthRule) {
  struct Case {
    std::uint32_t position;  // where the write or seek starts
    std::uint32_t count;     // bytes written; 0 means a Seek to `position`
    std::int32_t capacity;
    std::uint32_t size;
  } cases[] = {
      {256, 0, 512, 256},  // an end equal to the capacity grows
      {255, 0, 256, 255},  // an end below the capacity does not
      {509, 0, 512, 509},  // room for three bytes beyond the end
      {510, 0, 768, 510}, {1000, 0, 1024, 1000}, {250, 10, 512, 260},  // a write across the end
      {0, 256, 512, 256},
  };
  for (const Case& c : cases) {
    CMemFile stream;
    stream.Reset();
    if (c.count == 0) {
      stream.Seek(c.position);
    } else {
      std::vector<std::uint8_t> bytes(c.count, 0xAB);
      stream.Seek(c.position);
      stream.Write(bytes.data(), c.count);
    }
    EXPECT_EQ(stream.GetCapacity(), c.capacity) << c.position << "+" << c.count;
    EXPECT_EQ(stream.GetSize(), c.size);
    for (std::int32_t i = static_cast<std::int32_t>(c.size); i < stream.GetCapacity(); ++i) {
      ASSERT_EQ(stream.GetBuffer()[i], 0) << "new space is zero";
    }
  }
}

TEST(MemFileTest, SeekPastTheEndGivesZeros) {
  CMemFile stream;
  stream.Reset();
  stream.Seek(1000);
  EXPECT_EQ(stream.GetSize(), 1000u);
  EXPECT_EQ(Content(stream), std::vector<std::uint8_t>(1000, 0));
}

TEST(MemFileTest, TruncatedBytesComeBackOnSeek) {
  CMemFile stream;
  stream.Reset();
  const std::uint8_t bytes[] = {1, 2, 3, 4};
  stream.Write(bytes, 4);
  stream.Seek(2);
  stream.Truncate();
  EXPECT_EQ(stream.GetSize(), 2u);
  stream.Seek(4);
  EXPECT_EQ(Content(stream), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  // Growing past the capacity adds zeros only in the new space.
  stream.Seek(300);
  EXPECT_EQ(stream.GetBuffer()[3], 4);
  EXPECT_EQ(stream.GetBuffer()[299], 0);
}

TEST(MemFileTest, TruncateThenWrite) {
  CMemFile stream;
  stream.Reset();
  stream.Write("0123456789", 10);
  stream.Seek(4);
  stream.Truncate();
  EXPECT_EQ(stream.GetSize(), 4u);
  stream.Write("ab", 2);
  EXPECT_EQ(stream.GetSize(), 6u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(stream.GetBuffer()), 8), std::string("0123ab67"));
}

TEST(MemFileTest, ReadPastTheEndRaises10030AndReadsNothing) {
  CMemFile stream;
  stream.Reset();
  stream.Write("abc", 3);
  stream.Seek(1);
  char out[4] = {'x', 'x', 'x', 'x'};
  try {
    stream.Read(out, 3);
    FAIL() << "read past the end succeeded";
  } catch (const CErrX& error) {
    EXPECT_EQ(error.GetCode(), 10030);
  }
  EXPECT_EQ(out[0], 'x');
  EXPECT_EQ(stream.GetPosition(), 1u);
  stream.Read(out, 2);
  EXPECT_EQ(std::string(out, 2), "bc");
  stream.Read(out, 0);  // an empty read at the end is fine
}

TEST(MemFileTest, AssignReplacesTheContentOrNothing) {
  CMemFile stream;
  stream.Reset();
  stream.Write("old content", 11);
  stream.Assign("new", 3);
  EXPECT_EQ(stream.GetSize(), 3u);
  EXPECT_EQ(stream.GetPosition(), 0u);
  std::vector<std::uint8_t> big(1000, 5);
  {
    ScopedFault fault(FaultPoint::kAllocation, 1);
    EXPECT_THROW(stream.Assign(big.data(), 1000), CErr);
  }
  EXPECT_EQ(Content(stream), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  stream.Assign(big.data(), 1000);
  EXPECT_EQ(Content(stream), big);
}

TEST(MemFileTest, BorrowedContentIsCopiedBeforeItsFirstChange) {
  const std::uint8_t external[] = {1, 2, 3, 4};
  CMemFile stream;
  stream.Borrow(external, 4);
  EXPECT_TRUE(stream.IsBorrowing());
  const CMemFile& reader = stream;
  EXPECT_EQ(reader.GetBuffer(), external);  // reading shares the bytes
  std::uint8_t out[2];
  stream.Seek(0);  // a seek within the content changes nothing
  stream.Read(out, 2);
  EXPECT_EQ(out[1], 2);
  stream.Seek(1);
  stream.Write("x", 1);  // the first change copies
  EXPECT_FALSE(stream.IsBorrowing());
  EXPECT_NE(reader.GetBuffer(), external);
  EXPECT_EQ(Content(stream), (std::vector<std::uint8_t>{1, 'x', 3, 4}));
  EXPECT_EQ(external[1], 2);  // the borrowed bytes never change
}

TEST(MemFileTest, EveryChangingOperationLeavesBorrowedBytesAlone) {
  const std::uint8_t external[] = {9, 8, 7};
  struct Case {
    const char* what;
    void (*change)(CMemFile&);
    std::vector<std::uint8_t> content;
  } cases[] = {
      {"truncate and grow back",
       [](CMemFile& s) {
         s.Seek(1);
         s.Truncate();
         s.Seek(5);
       },
       {9, 8, 7, 0, 0}},
      {"reset", [](CMemFile& s) { s.Reset(); }, {}},
      {"assign", [](CMemFile& s) { s.Assign("ab", 2); }, {'a', 'b'}},
      {"non-const buffer", [](CMemFile& s) { s.GetBuffer()[0] = 1; }, {1, 8, 7}},
      {"close", [](CMemFile& s) { s.Close(); }, {}},
      {"allocate exact", [](CMemFile& s) { s.AllocateExact(1)[0] = 5; }, {5}},
  };
  for (const Case& c : cases) {
    CMemFile stream;
    stream.Borrow(external, 3);
    c.change(stream);
    EXPECT_EQ(Content(stream), c.content) << c.what;
    EXPECT_EQ(external[0], 9) << c.what;
    EXPECT_FALSE(stream.IsBorrowing()) << c.what;
  }
  CMemFile empty;
  empty.Borrow(external, 0);
  EXPECT_FALSE(empty.IsBorrowing());
  EXPECT_EQ(empty.GetSize(), 0u);
}

TEST(MemFileTest, StreamWithoutBufferBehaves) {
  CMemFile stream;
  char byte;
  EXPECT_THROW(stream.Read(&byte, 1), CErrX);
  EXPECT_EQ(stream.GetBuffer(), nullptr);
  stream.Write("a", 1);  // resets first
  EXPECT_EQ(stream.GetCapacity(), 256);
  EXPECT_EQ(stream.GetSize(), 1u);
  stream.Close();
  stream.Close();
  EXPECT_EQ(stream.GetBuffer(), nullptr);
  EXPECT_EQ(stream.GetSize(), 0u);
}

TEST(MemFileTest, FailedGrowthKeepsTheStreamAsItWas) {
  CMemFile stream;
  stream.Reset();
  stream.Write("abc", 3);
  {
    ScopedFault fault(FaultPoint::kAllocation, 1);
    EXPECT_THROW(stream.Seek(5000), CErr);
  }
  EXPECT_EQ(stream.GetCapacity(), 256);
  EXPECT_EQ(stream.GetSize(), 3u);
  EXPECT_EQ(stream.GetPosition(), 3u);
}

TEST(MemFileTest, PositionsBeyondTwoGigabytesAreRefused) {
  CMemFile stream;
  stream.Reset();
  EXPECT_THROW(stream.Seek(0x80000000u), CErr);
  EXPECT_EQ(stream.GetSize(), 0u);
}

// The typed operators, over a memory stream and over a file stream.
class TypedOperatorsTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      auto file = std::make_unique<CFile>();
      file->Open(dir_.File("typed.bin").c_str(), file::kRead | file::kWrite, file::kShareNone,
                 file::kCreateAlways, file::kNoFlags);
      stream_ = std::move(file);
    } else {
      auto memory = std::make_unique<CMemFile>();
      memory->Reset();
      stream_ = std::move(memory);
    }
  }

  std::vector<std::uint8_t> WrittenBytes() {
    std::uint32_t size = stream_->GetSize();
    std::vector<std::uint8_t> bytes(size);
    stream_->Seek(0);
    stream_->Read(bytes.data(), size);
    return bytes;
  }

  testing::TempDir dir_;
  std::unique_ptr<CStream> stream_;
};

TEST_P(TypedOperatorsTest, BigEndianGoldenBytes) {
  stream_->SetBigEndian(true);
  *stream_ << std::uint8_t{0x01} << std::uint16_t{0x0102} << std::uint32_t{0x11223344}
           << std::int16_t{-2} << 1.0f << 1.0 << "abc" << std::uint64_t{0x0102030405060708};
  EXPECT_EQ(WrittenBytes(), (std::vector<std::uint8_t>{
                                0x01, 0x01, 0x02, 0x11, 0x22, 0x33, 0x44, 0xFF, 0xFE, 0x3F, 0x80,
                                0x00, 0x00, 0x3F, 0xF0, 0,    0,    0,    0,    0,    0,    'a',
                                'b',  'c',  1,    2,    3,    4,    5,    6,    7,    8}));
  stream_->Seek(0);
  std::uint8_t b;
  std::uint16_t w;
  std::uint32_t d;
  std::int16_t s;
  float f;
  double x;
  *stream_ >> b >> w >> d >> s >> f >> x;
  EXPECT_EQ(b, 0x01);
  EXPECT_EQ(w, 0x0102);
  EXPECT_EQ(d, 0x11223344u);
  EXPECT_EQ(s, -2);
  EXPECT_EQ(f, 1.0f);
  EXPECT_EQ(x, 1.0);
}

TEST_P(TypedOperatorsTest, LittleEndianByDefault) {
  *stream_ << std::uint32_t{0x11223344} << std::uint16_t{0x0102};
  EXPECT_EQ(WrittenBytes(), (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11, 0x02, 0x01}));
}

TEST_P(TypedOperatorsTest, StringExtractionStopsAfterTheZeroAndAppends) {
  const std::uint8_t bytes[] = {'a', 'b', 'c', 0, 'd', 0};
  stream_->Write(bytes, sizeof bytes);
  stream_->Seek(0);
  CString text;
  text.AppendChar('>');
  *stream_ >> text;
  EXPECT_STREQ(text.GetBuffer(), ">abc");
  EXPECT_EQ(stream_->GetPosition(), 4u);
  *stream_ >> text;
  EXPECT_STREQ(text.GetBuffer(), ">abcd");
}

INSTANTIATE_TEST_SUITE_P(Streams, TypedOperatorsTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "File" : "Memory";
                         });

}  // namespace
}  // namespace kd
