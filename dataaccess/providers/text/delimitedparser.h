// Splits delimited UTF-8 text into records and fields, one record at a
// time, straight from a large buffer.
//
// Fields are separated by one delimiter character; a field that starts with
// a double quote runs to the matching quote, may hold the delimiter and line
// breaks, and writes a quote as two quotes. Records end with LF, CRLF or CR.
// The buffer may end in the middle of a record: the parser then reports
// NeedMore without consuming anything, and the caller appends more text and
// asks again. Fields point into the buffer (or into the parser's own scratch
// space for quoted fields with doubled quotes) and stay valid until the next
// call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dataaccess::text {

class DelimitedParser {
 public:
  enum class Result {
    Record,        // fields() holds the next record; `pos` moved past it
    NeedMore,      // the record is not complete in the buffer
    End,           // no more records (only when the caller said atEnd)
    Unterminated,  // a quoted field runs to the end of the text
  };

  explicit DelimitedParser(char delimiter);

  // Parses the record that starts at data[pos]. `atEnd` says that no more
  // text follows the buffer.
  Result next(const char* data, size_t size, size_t& pos, bool atEnd);

  const std::vector<std::string_view>& fields() const { return fields_; }
  // 1-based line on which the last record (or the unterminated quoted field)
  // started; line breaks inside quoted fields count.
  int64_t line() const { return lastLine_; }
  // The line on which the next record starts. Set it to go on after text
  // that another parser read.
  int64_t nextLine() const { return nextLine_; }
  void setNextLine(int64_t line) { nextLine_ = line; }

 private:
  char delimiter_;
  bool special_[256];
  std::vector<std::string_view> fields_;
  std::string scratch_;
  int64_t nextLine_ = 1;
  int64_t lastLine_ = 1;
};

}  // namespace dataaccess::text
