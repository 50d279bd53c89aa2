// Runs the built kdpdb as a child process, snapshots files to show that a run
// left them alone, and writes the PNG images tests hand it.
#ifndef KDDAO_TOOLS_KDPDB_TESTS_TOOL_RUNNER_H_
#define KDDAO_TOOLS_KDPDB_TESTS_TOOL_RUNNER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kdpdb::testing {

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs kdpdb with `arguments`; its standard output and error are captured.
ToolRun RunTool(const std::vector<std::string>& arguments);
// RunTool, expecting (as a test expectation) the exit status `exitCode`.
ToolRun RunToolExpecting(const std::vector<std::string>& arguments, int exitCode);

// A file's bytes and modification time (nanoseconds), or exists = false.
struct FileState {
  bool exists = false;
  std::vector<std::uint8_t> bytes;
  std::int64_t modified = 0;
  bool operator==(const FileState& other) const {
    return exists == other.exists && bytes == other.bytes && modified == other.modified;
  }
};
FileState SnapshotFile(const std::string& path);

// A PNG image of `pixels`, 3 bytes a pixel (RGB) or 4 (RGBA) by `withAlpha`,
// written by libpng. Throws std::runtime_error when libpng fails.
std::vector<std::uint8_t> WritePng(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint8_t>& pixels, bool withAlpha);

}  // namespace kdpdb::testing

#endif  // KDDAO_TOOLS_KDPDB_TESTS_TOOL_RUNNER_H_
