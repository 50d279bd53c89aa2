// Conversions between automation strings and the ANSI code page. The shared
// table holds what Windows-1252 and the Windows build agree on; best-fit
// mappings are the platform's own and are checked per build.
#include <gtest/gtest.h>

#include <string>

#include "foundation/codepage.h"
#include "foundation/platform.h"

namespace kd {
namespace {

struct RoundTripCase {
  std::u16string wide;
  std::string narrow;
};

TEST(CodePageTest, SharedTableConvertsBothWays) {
  const RoundTripCase cases[] = {
      {u"", ""},
      {u"abc", "abc"},
      {u"Caf\u00e9 \u00fc\u00df\u00ff", "Caf\xe9 \xfc\xdf\xff"},
      {u"\u20ac", "\x80"},
      {u"\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u017d",
       "\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e"},
      {u"\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u017e\u0178",
       "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9e\x9f"},
      // The five bytes the code page leaves undefined map to the control
      // characters of the same value.
      {u"\u0081\u008d\u008f\u0090\u009d", "\x81\x8d\x8f\x90\x9d"},
      {u"\u00a0\u00a4\u00bf", "\xa0\xa4\xbf"},
      {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const RoundTripCase& c : cases) {
    EXPECT_EQ(ToAnsi(c.wide), c.narrow);
    EXPECT_EQ(ToWide(c.narrow), c.wide);
  }
}

TEST(CodePageTest, CharactersWithoutAnyMappingBecomeQuestionMarks) {
  EXPECT_EQ(ToAnsi(u"x\u4e2dy"), "x?y");
  EXPECT_EQ(ToAnsi(u"\U0001F600"), "??");  // one per UTF-16 unit of the pair
  EXPECT_EQ(ToAnsi(u"\u0394"), "?");
}

TEST(CodePageTest, BestFitIsThePlatformsOwn) {
  // Windows maps some characters to a look-alike; the portable build does not.
  EXPECT_EQ(ToAnsi(u"\u0100\uff21\u2215"), kWindowsBuild ? "AA/" : "???");
}

TEST(CodePageTest, FixedBufferFormsTruncateAndNeverFail) {
  char narrow[4];
  ToAnsiInto(u"abcdef", narrow, sizeof narrow);
  EXPECT_STREQ(narrow, "abc");
  ToAnsiInto(nullptr, narrow, sizeof narrow);
  EXPECT_STREQ(narrow, "");
  char16_t wide[4];
  ToWideInto("\x80xyz", wide, 4);
  EXPECT_EQ(std::u16string(wide), u"\u20acxy");
  ToWideInto(nullptr, wide, 4);
  EXPECT_EQ(std::u16string(wide), u"");
}

}  // namespace
}  // namespace kd
