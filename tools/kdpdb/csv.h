// kdpdb's CSV files, as RFC 4180 lays them out: records end with a line break
// (CRLF written; CRLF, LF or CR read), cells are separated by commas, and a
// cell that holds a comma, a double quote, CR or LF is written in double
// quotes with each of its double quotes doubled. The text is UTF-8; a byte
// order mark at the start of a file is passed over.
#ifndef KDDAO_TOOLS_KDPDB_CSV_H_
#define KDDAO_TOOLS_KDPDB_CSV_H_

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace kdpdb {

// `cells` as one record, CRLF included.
std::string CsvRecord(const std::vector<std::string>& cells);

// Reads the records of a CSV text one at a time, without holding more than the
// record being read.
class CsvReader {
 public:
  // REQUIRES: `in` outlives the reader.
  explicit CsvReader(std::istream& in);

  // The next record's cells into `*cells`; false at the end of the input. An
  // empty line is no record and is passed over. Raises ToolError naming the
  // line for a double quote inside a cell that does not begin with one, text
  // after a cell's closing quote, and a quoted cell still open at the end.
  bool Next(std::vector<std::string>* cells);
  // The line (from 1) on which the record that Next read last began.
  std::uint64_t Line() const { return recordLine_; }
  // Bytes read so far.
  std::uint64_t Offset() const { return offset_; }

 private:
  int Get();
  int Peek();
  // Passes over the LF of a CRLF after `c`, a CR or LF just read.
  void EndLine(int c);

  std::streambuf* in_;
  // Bytes taken from the input to look for a byte order mark, and how many of
  // them Get has returned.
  std::string head_;
  std::size_t headRead_ = 0;
  std::uint64_t line_ = 1;
  std::uint64_t recordLine_ = 0;
  std::uint64_t offset_ = 0;
};

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_CSV_H_
