// What the fuzz targets share: the start of the foundation, a scratch
// directory for the readers that take a path, and the one way a target
// reports that its oracle failed. Each target is one libFuzzer entry point
// (LLVMFuzzerTestOneInput) that drives one reader the way a caller does.
#ifndef KDDAO_FUZZ_FUZZ_SUPPORT_H_
#define KDDAO_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/variant.h"
#include "recordset/db_schema.h"

namespace kd::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Stops the run (abort, which libFuzzer reports as a crash and saves the input
// for) with `what` and `detail` on standard error: an oracle failed.
[[noreturn]] void Fail(const char* what, const std::string& detail = "");
inline void Check(bool ok, const char* what, const std::string& detail = "") {
  if (!ok) Fail(what, detail);
}

// Runs `body`; false when it raised one of the library's errors, which is how
// a reader refuses input. Anything else escapes and ends the run.
template <typename Body>
bool Accepted(Body&& body) {
  try {
    body();
    return true;
  } catch (const CErr&) {
    return false;
  } catch (const CPlatformError&) {
    return false;
  }
}

// Runs `body`, which must succeed: a library error ends the run with `what`,
// the error's text and its reason.
template <typename Body>
void MustSucceed(const char* what, Body&& body) {
  try {
    body();
  } catch (const CErr& error) {
    Fail(what, std::string(error.GetText()) + " / " + error.GetReason());
  } catch (const CPlatformError& error) {
    Fail(what, "platform error " + std::to_string(static_cast<std::uint32_t>(error.GetResult())));
  }
}

// A path for `name` in the run's scratch directory: $KD_FUZZ_SCRATCH, else a
// directory of this process under /dev/shm (or /tmp), removed at exit.
std::string ScratchPath(const char* name);
// Writes `size` bytes to ScratchPath(name) through the library's file layer
// and returns the path.
std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size);

// Whether two values are the same: same type, and the same bits for reals
// (a NaN equals itself).
bool SameValue(const CVariant& a, const CVariant& b);

// The pixels of a device bitmap, as its header and rows give them (each a
// colour table index, or a 16-bit colour).
struct DevicePixels {
  std::uint32_t columns = 0;
  std::uint32_t rows = 0;
  std::uint32_t depth = 0;
  std::uint32_t density = 0;
  std::vector<std::uint16_t> pixels;  // rows x columns, top row first
};
// REQUIRES: `bitmap` is one that DeviceBitmapToDib decodes.
DevicePixels ReadDevicePixels(const Bytes& bitmap);

// Ends the run unless `after`, a device bitmap made from `before` by way of an
// image, has its depth and pixels. The sizes may differ only as the formulas
// let them: at density 108 a width in units cannot give every column count,
// and an image keeps only the low 16 bits of its width and height on the way
// back.
void CheckSamePixels(const DevicePixels& before, const DevicePixels& after, const char* what);

// The values of every declared field of `schema`, in declaration order.
std::vector<CVariant> FieldValues(const CDbSchema& schema);

// What every loaded schema must do: find each declared field by its name, and
// decode the record it encodes from blank fields to those blank values.
void CheckLoadedSchema(CDbSchema& schema);

}  // namespace kd::fuzz

#endif  // KDDAO_FUZZ_FUZZ_SUPPORT_H_
