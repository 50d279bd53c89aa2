// Coercion of automation values between the types the objects use: VT_EMPTY,
// VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_R8, VT_BOOL,
// VT_DATE and VT_BSTR, with the platform's rules in the English (United
// States) locale: reals to integers round half to even, values out of range
// raise DISP_E_OVERFLOW, impossible conversions DISP_E_TYPEMISMATCH, booleans
// are -1/0.
#ifndef KDDAO_FOUNDATION_COERCION_H_
#define KDDAO_FOUNDATION_COERCION_H_

#include "foundation/variant.h"

namespace kd {

// `value` coerced to `target` (a by-reference value is coerced from what it
// refers to). A value already of type `target` comes back unchanged. Raises
// CPlatformError with the platform's HRESULT and no description. On Windows
// this is the platform's VariantChangeType; elsewhere PortableChangeType.
CVariant ChangeType(const CVariant& value, VarType target);

// The portable rules, built on every platform (on Windows to be compared with
// the platform's). They agree with the platform on every conversion between
// numbers, booleans and dates, and on every type check. Text is read in a
// documented subset of the shapes the platform reads: what they read, they
// read to the same value or the same failure; other text is refused with
// DISP_E_TYPEMISMATCH.
//   numbers  [ws] [sign | "("] ["$"] (either order, ws after each) digits,
//            with "," in the whole part, "." and a fraction, then (not after
//            "$") [e|E [sign] digits]; [ws] [sign | ")"] [ws]. Or "&H"
//            hexadecimal or "&O" octal whole numbers of up to 32 bits.
//            Whole numbers round the value half to even (the platform under
//            Wine rounds text below 0.1 from its first digit: "0.06" gives 1).
//            Reals: up to 15 significant digits, the last in a place from
//            1e-10 to 1e10 or, while the value is exact in binary, up to
//            1e22; singles and booleans also beyond, where the single or the
//            truth value does not depend on how the last bits are rounded.
//   booleans "True" and "False" in any case, "#TRUE#", "#FALSE#", numbers.
//   dates    M/D/Y (D/M/Y when the first number exceeds 12 and the year has
//            three or four digits), Y/M/D with a three- or four-digit year,
//            "/" or "-" between; "Feb 29, 2024" and "29 Feb 2024" with an
//            optional weekday first; then or alone a time H:MM[:SS] with an
//            optional AM/PM, or H AM/PM. Two-digit years are 1950 to 2049.
CVariant PortableChangeType(const CVariant& value, VarType target);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_COERCION_H_
