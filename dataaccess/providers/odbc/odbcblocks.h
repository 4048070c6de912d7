// Fetching a result set many rows per call into bound column arrays
// (odbcblocks.cpp), and the cell conversions it shares with the
// cell-by-cell reads of odbcfetch.cpp. Internal to the odbc provider.
#pragma once

#include "odbcfetch.h"

#include <string>
#include <vector>

namespace dataaccess::odbc {

// Bound buffers of one block stay around this size.
constexpr size_t kBlockBytes = 1024 * 1024;
constexpr SQLULEN kMaxBlockRows = 2048;

// Bytes of one bound element of a column.
SQLLEN elementBytes(const ResultColumn& c);
// Appends a fixed-width value held in `p` (C type of the column).
void appendFixed(ColumnStore& col, const ResultColumn& c, const char* p);
// Reads a text or binary cell of the current row with SQLGetData in pieces
// of any length into `bytes` (UTF-16 or UTF-8 for text, as c.cType says).
// Returns false for Null.
bool readPieces(const Statement& stmt, SQLUSMALLINT number, const ResultColumn& c, std::string& bytes,
                std::vector<char>& piece);
// Appends a text (UTF-16, converted to UTF-8 through `scratch`, or UTF-8)
// or binary cell.
void appendVariable(ColumnStore& col, const ResultColumn& c, const char* p, size_t bytes, std::string& scratch);
// Bytes of the terminator a driver writes after text of this C type.
SQLLEN terminatorBytes(SQLSMALLINT cType);
// Fetches every row of the current result set in blocks (the driver must be
// able to re-read a bound cell by position, for values longer than declared).
void fetchInBlocks(const Statement& stmt, const std::vector<ResultColumn>& columns, const FetchWays& ways,
                   RowStore& rows);

}  // namespace dataaccess::odbc
