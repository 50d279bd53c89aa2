// Text to number and text to date (ChangeType from VT_BSTR). Byte 0 picks
// the target; the rest is the text, one character a byte (Windows-1252).
// A value read from text, written as text and read again must come to rest:
// the second text reads to the value it was written from (integers, booleans
// and dates); reals, which text keeps to 7 or 15 digits, may move once to a
// neighbour's text and then rest (below the smallest normal value they may
// move on).
#include <cmath>
#include <limits>

#include "foundation/codepage.h"
#include "foundation/coercion.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  static const kd::VarType kTargets[] = {kd::VT_I1,   kd::VT_UI1, kd::VT_I2, kd::VT_UI2,
                                         kd::VT_I4,   kd::VT_UI4, kd::VT_R4, kd::VT_R8,
                                         kd::VT_BOOL, kd::VT_DATE};
  if (size == 0) return 0;
  const kd::VarType target = kTargets[data[0] % 10];
  const std::string narrow(reinterpret_cast<const char*>(data) + 1, size - 1);
  kd::CVariant value;
  if (!Accepted([&] { value = kd::ChangeType(kd::CVariant::String(kd::ToWide(narrow)), target); }))
    return 0;
  Check(value.GetType() == target, "a value of another type", narrow);
  kd::CVariant text;
  if (!Accepted([&] { text = kd::ChangeType(value, kd::VT_BSTR); })) {
    Check(target == kd::VT_DATE, "a number that cannot be written as text", narrow);
    return 0;  // dates outside the years 100 to 9999 have no text
  }
  const std::string written = kd::ToAnsi(text.GetString());
  kd::CVariant again;
  if (target == kd::VT_R4 && !Accepted([&] { again = kd::ChangeType(text, target); })) {
    // The smallest single writes as 7 digits that read below it, which
    // overflows, as it does on the platform: 1.401298E-45.
    Check(std::fabs(value.GetR4()) == std::numeric_limits<float>::denorm_min(),
          "a single written as text that does not read back", narrow + " -> " + written);
    return 0;
  }
  if (target != kd::VT_R4) {
    MustSucceed("reading back a value written as text",
                [&] { again = kd::ChangeType(text, target); });
  }
  const bool real = target == kd::VT_R4 || target == kd::VT_R8;
  if (!real)
    Check(SameValue(again, value), "text reads back as another value", narrow + " -> " + written);
  kd::CVariant rewritten;
  MustSucceed("writing it again", [&] { rewritten = kd::ChangeType(again, kd::VT_BSTR); });
  // Below the smallest normal single or double, 7 or 15 digits may not tell
  // neighbours apart, and the text moves on, as the platform's does:
  // 1.0000002E-38 writes as 1E-38, which reads as 9.999999E-39.
  const bool subnormal = target == kd::VT_R4   ? std::fpclassify(value.GetR4()) == FP_SUBNORMAL
                         : target == kd::VT_R8 ? std::fpclassify(value.GetR8()) == FP_SUBNORMAL
                                               : false;
  if (subnormal) return 0;
  if (real) {
    // 7 or 15 digits may read as a neighbouring value, which writes as other
    // text once (1E+28 reads as 9.99999944E+27, written 9.999999E+27); from
    // there the text rests.
    kd::CVariant third;
    MustSucceed("reading and writing it again",
                [&] { third = kd::ChangeType(kd::ChangeType(rewritten, target), kd::VT_BSTR); });
    Check(SameValue(third, rewritten), "text does not come to rest", narrow + " -> " + written);
    return 0;
  }
  Check(SameValue(rewritten, text), "text does not come to rest", narrow + " -> " + written);
  return 0;
}
