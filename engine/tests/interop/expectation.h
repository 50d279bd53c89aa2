// Expectation files: what a reader must find in a database file, as plain text
// that both the C++ tests and the Perl scripts beside this file read (format in
// README.md). Also the hand-over of a database to check_our_files.pl: the file,
// its expectation and its line in the directory's manifest.
#ifndef KDDAO_ENGINE_TESTS_INTEROP_EXPECTATION_H_
#define KDDAO_ENGINE_TESTS_INTEROP_EXPECTATION_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kd {

class CPdbDatabase;

namespace interop {

using Bytes = std::vector<std::uint8_t>;

// The environment variable naming the directory that scenario tests hand
// their final database over to.
inline constexpr char kPalmCheckDirVariable[] = "KD_PALM_CHECK_DIR";
inline constexpr char kManifest[] = "manifest.txt";

enum class Kind { kLive, kDeleted, kArchived };

struct ExpectedRecord {
  Kind kind = Kind::kLive;
  std::uint32_t uniqueID = 0;
  int category = 0;
  bool dirty = false;
  bool secret = false;
  Bytes data;  // none for a deleted record
};

struct Expectation {
  Bytes name;
  Bytes type;
  Bytes creator;
  std::uint32_t attributes = 0;
  std::uint32_t version = 0;
  std::uint32_t created = 0;
  std::uint32_t modified = 0;
  std::uint32_t backup = 0;
  std::uint32_t modnum = 0;
  std::uint32_t seed = 0;
  Bytes appInfo;
  Bytes sortInfo;
  std::vector<ExpectedRecord> live;     // in file order
  std::vector<ExpectedRecord> deleted;  // deleted and archived, in file order
};

// Lower-case hex, "-" for no bytes.
std::string Hex(const Bytes& bytes);
// "live", "deleted" or "archived".
const char* KindName(Kind kind);
// "D" for dirty, "S" for secret, both, or "-".
std::string Flags(bool dirty, bool secret);

// Reads an expectation; `error` names the first line it cannot use.
bool ParseExpectation(const std::string& text, Expectation* out, std::string* error);
// The text of `e`, its first line the comment `# origin`.
std::string FormatExpectation(const Expectation& e, const std::string& origin);

// What `db` holds, as an expectation. Throws std::runtime_error when a record
// is in the wrong list for its marks, or marked both deleted and archived, or
// deleted with data: none of these can be written down.
Expectation ExpectationOf(const CPdbDatabase& db);

// Whole files, in binary mode; both throw std::runtime_error on failure.
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// Loads `directory`/NAME.pdb with the engine and writes what it holds to
// `directory`/NAME.expect. Throws std::runtime_error, the engine's text
// included when it cannot load the file.
void WriteExpectationOf(const std::string& directory, const std::string& name,
                        const std::string& origin);
// Lists NAME in `directory`/manifest.txt (created when missing) unless it is
// listed already. Throws std::runtime_error on failure.
void AddToManifest(const std::string& directory, const std::string& name);

// Copies the database at `pdbPath` into `directory` (created when missing) as
// NAME.pdb, writes NAME.expect from what the engine loads from the copy and
// adds NAME to the manifest. Throws std::runtime_error on failure.
void HandOver(const std::string& pdbPath, const std::string& directory, const std::string& name);
// HandOver into the directory $KD_PALM_CHECK_DIR names; nothing when the
// variable is unset or empty. Returns what went wrong, or "".
std::string HandOverIfAsked(const std::string& pdbPath, const std::string& name);

}  // namespace interop
}  // namespace kd

#endif  // KDDAO_ENGINE_TESTS_INTEROP_EXPECTATION_H_
