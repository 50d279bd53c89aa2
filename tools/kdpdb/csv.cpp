#include "tools/kdpdb/csv.h"

#include <string_view>

#include "tools/kdpdb/text_bytes.h"

namespace kdpdb {

namespace {

constexpr int kEnd = std::char_traits<char>::eof();
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool NeedsQuotes(const std::string& text) {
  return text.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

std::string CsvRecord(const std::vector<std::string>& cells) {
  std::string record;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) record.push_back(',');
    const std::string& cell = cells[i];
    if (!NeedsQuotes(cell)) {
      record += cell;
      continue;
    }
    record.push_back('"');
    for (char c : cell) {
      if (c == '"') record.push_back('"');
      record.push_back(c);
    }
    record.push_back('"');
  }
  record += "\r\n";
  return record;
}

CsvReader::CsvReader(std::istream& in) : in_(in.rdbuf()) {
  // A byte order mark is passed over; the first bytes of one followed by
  // something else are kept to be read.
  for (char expected : kByteOrderMark) {
    if (in_->sgetc() != std::char_traits<char>::to_int_type(expected)) break;
    head_.push_back(static_cast<char>(in_->sbumpc()));
  }
  if (head_ == kByteOrderMark) {
    offset_ = head_.size();
    head_.clear();
  }
}

int CsvReader::Get() {
  int c;
  if (headRead_ < head_.size()) {
    c = std::char_traits<char>::to_int_type(head_[headRead_++]);
  } else {
    c = in_->sbumpc();
  }
  if (c != kEnd) ++offset_;
  return c;
}

int CsvReader::Peek() {
  if (headRead_ < head_.size()) return std::char_traits<char>::to_int_type(head_[headRead_]);
  return in_->sgetc();
}

void CsvReader::EndLine(int c) {
  if (c == '\r' && Peek() == '\n') Get();
  ++line_;
}

bool CsvReader::Next(std::vector<std::string>* cells) {
  cells->clear();
  for (int c = Peek(); c == '\r' || c == '\n'; c = Peek())
    EndLine(Get());
  if (Peek() == kEnd) return false;
  recordLine_ = line_;
  for (;;) {
    std::string cell;
    const std::string which = "cell " + std::to_string(cells->size() + 1);
    int c;
    if (Peek() == '"') {
      Get();
      const std::uint64_t opened = line_;
      for (;;) {
        c = Get();
        if (c == kEnd) {
          throw ToolError("line " + std::to_string(opened) + ": the quoted " + which +
                          " is not closed before the end of the input");
        }
        if (c == '"') {
          if (Peek() != '"') break;
          Get();
        } else if (c == '\n' || (c == '\r' && Peek() != '\n')) {
          ++line_;
        }
        cell.push_back(static_cast<char>(c));
      }
      c = Get();
      if (c != ',' && c != '\r' && c != '\n' && c != kEnd) {
        throw ToolError("line " + std::to_string(line_) + ": text after the closing quote of " +
                        which + " (a double quote inside a quoted cell is written twice)");
      }
    } else {
      for (c = Get(); c != ',' && c != '\r' && c != '\n' && c != kEnd; c = Get()) {
        if (c == '"') {
          throw ToolError("line " + std::to_string(line_) + ": a double quote inside " + which +
                          ", which does not begin with one (a cell holding double quotes is "
                          "written in double quotes, each of its own doubled)");
        }
        cell.push_back(static_cast<char>(c));
      }
    }
    cells->push_back(std::move(cell));
    if (c == ',') continue;
    if (c != kEnd) EndLine(c);
    return true;
  }
}

}  // namespace kdpdb
