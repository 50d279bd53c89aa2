// What tests need from the platform: a picture object of the platform made
// from a BMP image, and shell commands. One implementation per platform
// (picture_test_util_win32.cpp, picture_test_util_posix.cpp).
#ifndef KDDAO_BITMAP_TESTS_PICTURE_TEST_UTIL_H_
#define KDDAO_BITMAP_TESTS_PICTURE_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/variant.h"

namespace kd::testing {

// A picture object as callers of the platform hand one in, holding the pixels
// of `bmpImage` (a BMP image): on Windows a DIB section of the image's header,
// colour table and rows owned by an automation picture, made without the
// library; elsewhere a CPicture. Throws std::runtime_error when the platform
// cannot make it.
CVariant PlatformPicture(const std::vector<std::uint8_t>& bmpImage);

// What a shell command prints on its standard output; empty when it cannot be
// run, and always on Windows, whose build has no shell.
std::string RunCommand(const std::string& command);

}  // namespace kd::testing

#endif  // KDDAO_BITMAP_TESTS_PICTURE_TEST_UTIL_H_
