// Loading a table description: the tagged description file (".kdx") and the
// compact table digest.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/file.h"
#include "recordset/db_schema.h"

namespace kd {

namespace {

using FieldList = std::vector<std::unique_ptr<CDbField>>;

// ---- description file ---------------------------------------------------------
//
// The scanner looks only for the tags "<name>", "<type>" and "<synchro", matched
// case-sensitively as plain substrings; everything else (enclosing elements,
// closing tags, comments, line breaks) is passed over. Each entry:
//   <name>NAME<  ...  <type>TYPE<  ...  <synchro
// where NAME and TYPE run to the next "<", exactly, spaces included. A synchro
// tag whose character at offset 9 is ">" (self-closing) ends the entry just
// after that ">", and the character there is consumed; otherwise the entry ends
// at the next "<", which is consumed.

// The one way the description reader refuses a file: 10001, with the line of
// `at` in `text` and what is wrong there (a printf format) as the reason.
[[noreturn]] void RaiseInvalidFile(const std::string& text, std::size_t at, const char* format, ...)
    KD_PRINTF_FORMAT(3, 4);
void RaiseInvalidFile(const std::string& text, std::size_t at, const char* format, ...) {
  const std::size_t line =
      1 + std::count(text.begin(), text.begin() + std::min(at, text.size()), '\n');
  char what[kErrorTextCapacity];
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(what, sizeof what, format, args);
  va_end(args);
  CErr error(kMsgInvalidKdxFile);
  error.SetReason("line %zu: %s", line, what);
  throw error;
}

// The file's bytes as 8-bit text. A UTF-16 file (either byte-order mark) keeps
// the low byte of each unit, starting with the mark's own 0xFF.
std::string DescriptionText(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  bool littleEndian = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  bool bigEndian = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (littleEndian || bigEndian) {
    std::size_t low = bigEndian ? 1 : 0;  // where each unit's low byte is
    for (std::size_t k = 0; k < bytes.size() / 2; ++k) {
      text.push_back(static_cast<char>(bytes[2 * k + low]));
    }
  } else {
    text.assign(bytes.begin(), bytes.end());
  }
  return text.substr(0, text.find('\0'));  // the text ends at a zero byte
}

void ParseDescriptionFile(const std::string& path, FieldList& fields) {
  const std::string text = DescriptionText(ReadWholeFile(path.c_str()));
  const std::size_t npos = std::string::npos;
  std::size_t pos = 0;
  for (;;) {
    std::size_t name = text.find("<name>", pos);
    if (name == npos) return;
    std::size_t nameStart = name + 6;
    std::size_t nameEnd = text.find('<', nameStart);
    if (nameEnd == npos) RaiseInvalidFile(text, name, "the field name after <name> has no end");
    const std::string fieldName = text.substr(nameStart, nameEnd - nameStart);
    std::size_t type = text.find("<type>", nameEnd + 1);
    if (type == npos) {
      RaiseInvalidFile(text, name, "field \"%s\" has no <type>", fieldName.c_str());
    }
    std::size_t typeStart = type + 6;
    std::size_t typeEnd = text.find('<', typeStart);
    if (typeEnd == npos) {
      RaiseInvalidFile(text, type, "the type of field \"%s\" has no end", fieldName.c_str());
    }
    std::size_t synchro = text.find("<synchro", typeEnd + 1);
    if (synchro == npos) {
      RaiseInvalidFile(text, type, "field \"%s\" has no <synchro> tag", fieldName.c_str());
    }
    std::size_t end;
    if (synchro + 9 < text.size() && text[synchro + 9] == '>') {
      end = synchro + 10;
    } else {
      end = text.find('<', synchro + 9);
      if (end == npos) {
        RaiseInvalidFile(text, synchro, "the <synchro> tag of field \"%s\" has no end",
                         fieldName.c_str());
      }
    }
    const std::string typeName = text.substr(typeStart, typeEnd - typeStart);
    const DbFieldTypeInfo* info = FindFieldTypeByKeyword(typeName);
    if (info == nullptr) {
      RaiseInvalidFile(text, type, "field \"%s\" has the unknown type \"%s\"", fieldName.c_str(),
                       typeName.c_str());
    }
    if (fieldName.size() > kMaxFieldNameLength) {
      RaiseInvalidFile(text, name, "field name \"%s\" is longer than %zu characters",
                       fieldName.c_str(), kMaxFieldNameLength);
    }
    fields.push_back(std::make_unique<CDbField>(fieldName, info->type));
    if (end >= text.size()) return;
    pos = end + 1;
  }
}

// ---- table digest ----------------------------------------------------------------
//
// A digest is text over a 64-character alphabet, read as a stream of 6-bit
// values (most significant bit first). The stream holds a binary code tree in
// preorder (1 = leaf with a 6-bit alphabet position, 0 = inner node with two
// subtrees), then the codes of the symbols of the decoded text, which ends
// right after "==". The text's "="-separated tokens declare the fields.

constexpr char kDigestAlphabet[] =
    "abcdefghijklmnopqrstuvwxyz0123456789_=ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr int kMaxTreeNodes = 128;

// Raised inside the digest decoder, with what is wrong; LoadSchema reports it
// as 10032 with that reason.
struct InvalidDigest {
  char reason[160];
};

// The one way the digest decoder refuses a digest.
[[noreturn]] void RaiseInvalidDigest(const char* format, ...) KD_PRINTF_FORMAT(1, 2);
void RaiseInvalidDigest(const char* format, ...) {
  InvalidDigest invalid;
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(invalid.reason, sizeof invalid.reason, format, args);
  va_end(args);
  throw invalid;
}

class DigestBitReader {
 public:
  explicit DigestBitReader(const std::string& digest) {
    int reverse[256];
    for (int& value : reverse)
      value = -1;
    for (int i = 0; i < 64; ++i)
      reverse[static_cast<unsigned char>(kDigestAlphabet[i])] = i;
    for (std::size_t i = 0; i < digest.size(); ++i) {
      int value = reverse[static_cast<unsigned char>(digest[i])];
      if (value < 0) {
        RaiseInvalidDigest("character %zu (code %u) is not a digest character", i + 1,
                           static_cast<unsigned>(static_cast<unsigned char>(digest[i])));
      }
      values_.push_back(static_cast<std::uint8_t>(value));
    }
  }

  // The next `count` bits, the first read being the most significant.
  int Read(int count) {
    int result = 0;
    for (int i = 0; i < count; ++i) {
      if (bit_ >= values_.size() * 6) {
        RaiseInvalidDigest("the digest ends before its text does (after %zu bits)", bit_);
      }
      int value = values_[bit_ / 6];
      result = (result << 1) | ((value >> (5 - bit_ % 6)) & 1);
      ++bit_;
    }
    return result;
  }

 private:
  std::vector<std::uint8_t> values_;
  std::size_t bit_ = 0;
};

struct TreeNode {
  char symbol = 0;  // leaves only
  int children[2] = {-1, -1};
  bool IsLeaf() const { return children[0] < 0; }
};

class CodeTree {
 public:
  explicit CodeTree(DigestBitReader& bits) {
    ReadNode(bits);
    if (nodes_[0].IsLeaf()) RaiseInvalidDigest("its code tree is a single leaf");
  }

  // Decodes symbols until two "=" in a row have been appended.
  std::string Decode(DigestBitReader& bits) const {
    std::string text;
    for (;;) {
      int node = 0;
      while (!nodes_[node].IsLeaf())
        node = nodes_[node].children[bits.Read(1)];
      text.push_back(nodes_[node].symbol);
      if (text.size() >= 2 && text[text.size() - 1] == '=' && text[text.size() - 2] == '=') {
        return text;
      }
    }
  }

 private:
  int ReadNode(DigestBitReader& bits) {
    if (static_cast<int>(nodes_.size()) >= kMaxTreeNodes) {
      RaiseInvalidDigest("its code tree has more than %d nodes", kMaxTreeNodes);
    }
    int index = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
    if (bits.Read(1) == 1) {
      nodes_[index].symbol = kDigestAlphabet[bits.Read(6)];
      return index;
    }
    int first = ReadNode(bits);
    nodes_[index].children[0] = first;
    int second = ReadNode(bits);
    nodes_[index].children[1] = second;
    return index;
  }

  std::vector<TreeNode> nodes_;
};

void ParseDigest(const std::string& digest, FieldList& fields) {
  DigestBitReader bits(digest);
  CodeTree tree(bits);
  const std::string text = tree.Decode(bits);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('=', start);
    std::string token = text.substr(start, end - start);
    start = end + 1;
    if (token.empty()) continue;
    // A to D declare the system fields (the rest of the token is ignored);
    // a type letter declares a field named by the rest of the token.
    static const struct {
      char letter;
      const char* name;
      DbFieldType type;
    } kSystemTokens[] = {{'A', "uniqueid", DbFieldType::kLong},
                         {'B', "category", DbFieldType::kInteger},
                         {'C', "dirty", DbFieldType::kBoolean},
                         {'D', "secret", DbFieldType::kBoolean}};
    std::string name;
    DbFieldType type = DbFieldType::kByte;
    bool known = false;
    for (const auto& system : kSystemTokens) {
      if (token[0] == system.letter) {
        name = system.name;
        type = system.type;
        known = true;
      }
    }
    if (!known) {
      const DbFieldTypeInfo* info = FindFieldTypeByDigestLetter(token[0]);
      if (info == nullptr) {
        RaiseInvalidDigest("token \"%s\" begins with no type letter", token.c_str());
      }
      name = token.substr(1);
      type = info->type;
    }
    if (name.size() > kMaxFieldNameLength) {
      RaiseInvalidDigest("field name \"%s\" is longer than %zu characters", name.c_str(),
                         kMaxFieldNameLength);
    }
    fields.push_back(std::make_unique<CDbField>(name, type));
  }
}

}  // namespace

bool IsDescriptionPath(const std::string& description) {
  return description.find_first_of(".:\\/") != std::string::npos;
}

void LoadSchema(CDbSchema& schema, const std::string& description) {
  FieldList fields;  // deleted if reading fails
  try {
    if (IsDescriptionPath(description)) {
      ParseDescriptionFile(description, fields);
    } else {
      try {
        ParseDigest(description, fields);
      } catch (const InvalidDigest& invalid) {
        CErr error(kMsgInvalidTableDigest);
        error.SetReason("%s", invalid.reason);
        throw error;
      }
    }
  } catch (CErr error) {  // by value: every failure goes on as a text error
    throw error;
  }
  for (auto& field : fields)
    schema.AddDeclaredField(std::move(field));
  schema.Complete();
}

}  // namespace kd
