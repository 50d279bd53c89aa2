#include <cstdio>
#include <memory>

#include "bitmap/picture.h"
#include "bitmap/tests/picture_test_util.h"

namespace kd::testing {

CVariant PlatformPicture(const std::vector<std::uint8_t>& bmpImage) {
  return CVariant::Object(std::make_shared<CPicture>(bmpImage));
}

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    output.append(buffer, got);
  pclose(pipe);
  return output;
}

}  // namespace kd::testing
