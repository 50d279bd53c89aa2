#include "tools/kdpdb/tests/tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kdpdb::testing {

namespace {

// An unlinked temporary file that collects one output stream of the child.
class Capture {
 public:
  Capture() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/kdpdb-run-XXXXXX";
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) throw std::runtime_error("mkstemp failed");
    unlink(pattern.c_str());
  }
  ~Capture() { close(fd_); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  int fd() const { return fd_; }
  std::string Read() const {
    std::string text;
    char buffer[4096];
    lseek(fd_, 0, SEEK_SET);
    for (;;) {
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }

 private:
  int fd_;
};

}  // namespace

ToolRun RunTool(const std::vector<std::string>& arguments) {
  Capture out;
  Capture err;
  std::vector<std::string> words = {KDPDB_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(out.fd(), 1);
    dup2(err.fd(), 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  ToolRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = out.Read();
  run.err = err.Read();
  return run;
}

ToolRun RunToolExpecting(const std::vector<std::string>& arguments, int exitCode) {
  ToolRun run = RunTool(arguments);
  EXPECT_EQ(run.exitCode, exitCode) << "stdout: " << run.out << "\nstderr: " << run.err;
  return run;
}

FileState SnapshotFile(const std::string& path) {
  FileState state;
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return state;
  state.exists = true;
  state.modified =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  std::ifstream in(path, std::ios::binary);
  state.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return state;
}

std::vector<std::uint8_t> WritePng(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint8_t>& pixels, bool withAlpha) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("libpng cannot size the image");
  }
  std::vector<std::uint8_t> png(size);
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("libpng cannot write the image");
  }
  png.resize(size);
  return png;
}

}  // namespace kdpdb::testing
