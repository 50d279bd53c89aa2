// The ways the bitmap library refuses, each with what went wrong (a printf
// format) as the reason beside the text callers get.
#ifndef KDDAO_BITMAP_BITMAP_ERRORS_H_
#define KDDAO_BITMAP_BITMAP_ERRORS_H_

#include "foundation/errors.h"

namespace kd {

// The decoder refuses a device bitmap: the text error "bitmap error.".
[[noreturn]] void RaiseBitmapError(const char* format, ...) KD_PRINTF_FORMAT(1, 2);
// A conversion cannot be made (an image the encoder does not take, or what
// the platform will not make or lend): the text of 10027.
[[noreturn]] void RaiseConversionError(const char* format, ...) KD_PRINTF_FORMAT(1, 2);
// A picture's pixels cannot be had: the coded error 10026.
[[noreturn]] void RaiseCorruptedBitmap(const char* format, ...) KD_PRINTF_FORMAT(1, 2);

}  // namespace kd

#endif  // KDDAO_BITMAP_BITMAP_ERRORS_H_
