// Runs the built kdpdb as a child process, and snapshots files to show that
// a run left them alone.
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

}  // namespace kdpdb::testing

#endif  // KDDAO_TOOLS_KDPDB_TESTS_TOOL_RUNNER_H_
