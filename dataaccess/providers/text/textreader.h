// Reads one delimited text file into rows in a single pass.
//
// The file is read in large chunks and decoded to UTF-8 (validated, or
// converted from its character set) before it is split. Each field goes
// as UTF-8 into a compact per-column cell list while the column's type is
// guessed; then each column in turn becomes its typed ColumnStore and its
// cell list is freed, so loading needs about the text's size plus one column
// beyond the finished rows.
#pragma once

#include "../../rowstore.h"
#include "schemaini.h"

#include <QLocale>
#include <QString>
#include <chrono>
#include <memory>

namespace dataaccess::text {

// Reads the file at `path` laid out as `schema` says. Throws Error naming
// the file (and the line where it applies) when the file cannot be read,
// holds bytes that are not valid in its character set, holds binary data,
// or ends inside a quoted field.
//
// CharacterSet ANSI (or none) under a UTF-8 locale reads UTF-8 text; a file
// that is not valid UTF-8 is read again as Windows-1252. Single-byte
// character sets map every byte to a character.
//
// An empty file (or one holding only a byte-order mark) gives one text
// column F1 and no rows, so that it still shows as a table.
std::shared_ptr<RowStore> readTextTable(const QString& path, const TextSchema& schema,
                                        const QLocale& locale = QLocale());

// The first `maxRows` records of the same file, read without the rest: a
// quick preview while the whole file loads. Column types are guessed from
// these records only, so they may differ from the whole file's.
std::shared_ptr<RowStore> readTextTableHead(const QString& path, const TextSchema& schema, int64_t maxRows,
                                            const QLocale& locale = QLocale());

// How the reader takes the file in: the size of each read, the least
// buffered text that is split between two threads (0: one thread reads
// everything), and how often rows read so far are handed out. The defaults suit large files; tests use small values to
// split at many places.
struct TextReadTuning {
  size_t chunk = size_t(4) << 20;
  size_t minimumSplit = size_t(1) << 20;
  // The least time between two hands-out of the rows read so far (to a
  // load's partial-rows sink, loadcontrol.h).
  std::chrono::milliseconds partialInterval{200};
};
std::shared_ptr<RowStore> readTextTable(const QString& path, const TextSchema& schema, const QLocale& locale,
                                        const TextReadTuning& tuning);

}  // namespace dataaccess::text
