// Writes the rows of a recordset as delimited UTF-8 text, as GetStringUtf8
// and the tab and comma exports give them: each cell's text (CellFormatter),
// cells joined by the column delimiter, each row ended by the row delimiter,
// Null as the null text, and, when asked, each cell quoted as
// quoteDelimitedCell quotes it.
//
// How each column is written is settled once. Numbers, dates and text are
// written straight into the output's memory, and a text cell that needs no
// quotes is copied as it is stored; other cells (edited rows, replaced
// values, binary data, forms only QLocale writes) go through CellFormatter
// and quoteDelimitedCell's rules, with the same bytes as a result.
#pragma once

#include "cellformat.h"
#include "rowsview.h"

#include <QByteArray>
#include <cstdint>
#include <string_view>
#include <vector>

namespace dataaccess {

class DelimitedRowWriter {
 public:
  DelimitedRowWriter(const RowsView& rows, const QByteArray& colDelimiter, const QByteArray& rowDelimiter,
                     const QByteArray& nullText, bool quote);

  // Appends rows [begin, end) to `out`.
  void appendRows(QByteArray& out, int64_t begin, int64_t end) const;

 private:
  enum class Kind : uint8_t { Integer, Real, DateTime, Text, General };
  struct Column {
    const ColumnStore* store;
    DataTypeEnum type;
    Kind kind;
    // Whether the text of a number or date may call for quotes (a
    // delimiter made of digits, say): then it is checked like text.
    bool check;
  };
  class Sink;

  void writeCell(Sink& out, const Column& c, int64_t row, QByteArray& scratch) const;
  void writeEdited(Sink& out, const std::vector<QVariant>& values, QByteArray& scratch) const;
  // Writes a cell's text, quoted when quoting is on and the text asks for it.
  void writeText(Sink& out, std::string_view text) const;
  // False when the text holds none of the bytes that call for quotes (a
  // true answer is checked by delimitedCellNeedsQuotes).
  bool mayNeedQuotes(std::string_view text) const;

  const RowsView& rows_;
  CellFormatter formatter_;
  QByteArray col_, row_, null_;
  bool quote_;
  std::vector<Column> columns_;
};

}  // namespace dataaccess
