#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bitmap/device_bitmap.h"
#include "engine/pdb_record.h"
#include "foundation/file.h"
#include "foundation/messages.h"

namespace kd::fuzz {

namespace {

std::string g_scratch;  // the scratch directory, once made
bool g_removeScratch = false;

void RemoveScratch() {
  std::error_code ignored;
  if (g_removeScratch) std::filesystem::remove_all(g_scratch, ignored);
}

const std::string& ScratchDirectory() {
  if (!g_scratch.empty()) return g_scratch;
  if (const char* chosen = std::getenv("KD_FUZZ_SCRATCH")) {
    g_scratch = chosen;
    std::filesystem::create_directories(g_scratch);
    return g_scratch;
  }
  std::string pattern =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm/kd-fuzz-XXXXXX" : "/tmp/kd-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch directory", pattern);
  g_scratch = pattern;
  g_removeScratch = true;
  std::atexit(RemoveScratch);
  return g_scratch;
}

}  // namespace

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "\n*** fuzz oracle failed: %s\n", what);
  if (!detail.empty()) std::fprintf(stderr, "*** %s\n", detail.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string ScratchPath(const char* name) {
  return ScratchDirectory() + "/" + name;
}

std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchPath(name);
  MustSucceed("writing a scratch file", [&] {
    CFile file;
    file.Open(path.c_str(), file::kWrite, file::kShareRead, file::kCreateAlways, file::kNoFlags);
    file.Write(data, static_cast<std::uint32_t>(size));
    file.Close();
  });
  return path;
}

bool SameValue(const CVariant& a, const CVariant& b) {
  if (a.GetType() == VT_R4 && b.GetType() == VT_R4) {
    const float x = a.GetR4();
    const float y = b.GetR4();
    return std::memcmp(&x, &y, sizeof x) == 0;
  }
  return a == b;
}

DevicePixels ReadDevicePixels(const Bytes& bitmap) {
  const DeviceBitmapHeader header = ReadDeviceBitmapHeader(bitmap.data());
  DevicePixels image;
  image.columns = DevicePixelColumns(header);
  image.rows = DevicePixelRows(header);
  image.depth = header.depth;
  image.density = header.density;
  image.pixels.reserve(std::size_t{image.columns} * image.rows);
  // Rows without columns hold no pixels: a 16-byte header can ask for 59
  // million of them, which the decoder passes over in one step too.
  for (std::uint32_t y = 0; image.columns != 0 && y < image.rows; ++y) {
    const std::uint8_t* row =
        bitmap.data() + kDeviceBitmapHeaderSize + std::size_t{y} * header.rowBytes;
    for (std::uint32_t x = 0; x < image.columns; ++x) {
      if (image.depth == 16) {
        image.pixels.push_back(static_cast<std::uint16_t>(row[2 * x] << 8 | row[2 * x + 1]));
      } else {
        const std::uint32_t bit = x * image.depth;
        image.pixels.push_back((row[bit / 8] >> (8 - image.depth - bit % 8)) &
                               ((1u << image.depth) - 1));
      }
    }
  }
  return image;
}

void CheckSamePixels(const DevicePixels& before, const DevicePixels& after, const char* what) {
  const std::string sizes =
      std::to_string(before.columns) + " x " + std::to_string(before.rows) + " at depth " +
      std::to_string(before.depth) + ", density " + std::to_string(before.density) + " -> " +
      std::to_string(after.columns) + " x " + std::to_string(after.rows) + " at depth " +
      std::to_string(after.depth) + ", density " + std::to_string(after.density);
  Check(after.depth == before.depth, what, "another depth: " + sizes);
  if (before.columns > 0xFFFF || before.rows > 0xFFFF) return;  // not kept whole on the way back
  const bool rounded = before.density == 108 && after.density == 108;
  const bool sameSize = after.columns == before.columns && after.rows == before.rows;
  const bool smaller = after.columns <= before.columns && after.rows <= before.rows;
  Check(sameSize || (rounded && smaller), what, "another size: " + sizes);
  for (std::uint32_t y = 0; y < after.rows; ++y) {
    for (std::uint32_t x = 0; x < after.columns; ++x) {
      Check(after.pixels[std::size_t{y} * after.columns + x] ==
                before.pixels[std::size_t{y} * before.columns + x],
            what, "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") differs: " + sizes);
    }
  }
}

std::vector<CVariant> FieldValues(const CDbSchema& schema) {
  std::vector<CVariant> values;
  for (std::int32_t i = 0; i < schema.GetCount(); ++i)
    values.push_back(schema.GetAt(i)->value);
  return values;
}

void CheckLoadedSchema(CDbSchema& schema) {
  for (std::int32_t i = 0; i < schema.GetCount(); ++i) {
    Check(schema.FindField(schema.GetAt(i)->GetName()) != nullptr, "a declared field is not found",
          schema.GetAt(i)->GetName());
  }
  schema.BlankFields();
  const std::vector<CVariant> blank = FieldValues(schema);
  CPdbRecord record;
  MustSucceed("encoding blank fields", [&] { schema.EncodeRecord(record); });
  MustSucceed("decoding blank fields", [&] { schema.DecodeRecord(record); });
  const std::vector<CVariant> decoded = FieldValues(schema);
  for (std::size_t i = 0; i < blank.size(); ++i) {
    Check(SameValue(blank[i], decoded[i]), "blank fields decode to other values",
          schema.GetAt(static_cast<std::int32_t>(i))->GetName());
  }
}

}  // namespace kd::fuzz

// libFuzzer calls this once before the first input: the foundation starts as
// the library's loaders start it.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!kd::FoundationStart(nullptr, kd::kDefaultSlotSize)) kd::fuzz::Fail("FoundationStart");
  return 0;
}
