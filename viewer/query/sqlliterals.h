// How a value from the grid is written into a filter condition: the field
// reference and the literal forms of dates, Booleans, numbers and strings in
// the dialect of the open source. The dialect follows the data-source kind
// text (the lower-cased extension of the opened file): "mdb", "xls", "dbf",
// "db", "txt" and "log" have rules of their own, every other kind ("csv",
// "dbc", "udl" data links, no extension) takes the general rule. Each
// function lower-cases the kind itself.
//
// The functions are pure: text in, text out. Values arrive as the ordinary
// text of the value in the user's regional format, so the functions that
// read dates take the locale that wrote them (QLocale::system() in the
// program; tests fix one). The unquoted word Null stands for a value that is
// empty or cannot be read. QtCore only.
#pragma once

#include <QLocale>
#include <QString>

namespace viewer {

// The field reference of a condition. Access and Excel always bracket it.
// For the other kinds a plain identifier (letters, digits and "_", not
// starting with a digit, not a reserved word) is written as it is; any other
// name ("State/Prov", "Unit Price", "Order") is quoted as the source reads
// it: brackets for the file sources, double quotes for data links.
QString SqlFieldName(const QString& name, const QString& ext);

// The field reference of a sort key: a plain identifier unchanged for every
// kind, any other name quoted as SqlFieldName quotes it.
QString SqlSortName(const QString& name, const QString& ext);

// True when `name` can stand unquoted in a statement.
bool IsPlainSqlName(const QString& name);

// A date, time or date-and-time literal:
//   txt, log, db   #m/d/yyyy# for a date, #hh:nn:ss# for a time of day only,
//                  #m/d/yyyy hh:nn:ss# for both; text that is not a date
//                  throws the conversion error (13: Type mismatch)
//   mdb, xls       SqlQuotedDate
//   dbf            {value} with the text unchanged; "0:00:00" gives {}
//   every other    'value' with the text unchanged
// The ":" of the time forms is the locale's time separator.
QString SqlDateLiteral(const QString& value, const QString& ext, const QLocale& locale = QLocale::system());

// The Access/Excel date literal: '1/2/2005', '10:5:7' (a time only) or
// '1/2/2005 10:5:7' (month/day/year, no leading zeros); Null when the text
// is not a date or time.
QString SqlQuotedDate(const QString& value, const QLocale& locale = QLocale::system());

// "1" for a true value, "0" for a false one. Accepts True/False in any
// letter case and numbers (non-zero is true). Throws the conversion error
// (13: Type mismatch) for any other text.
QString SqlBooleanLiteral(const QString& value);

// NormalizeNumber(value, sign), or Null when that is empty.
QString SqlNumberLiteral(const QString& value, const QString& sign);

// The value in apostrophes with every apostrophe doubled; Null when empty.
// With `backslashEscapes` (a server that reads a backslash in a string
// literal as an escape, as MySQL and MariaDB do by default) every backslash
// is doubled too, so the value cannot end the literal early.
QString SqlStringLiteral(const QString& value, bool backslashEscapes = false);

// A number in any regional notation as digits with an optional leading "-"
// and an optional "." decimal point: "1 234,56" -> "1234.56", "1.234.567" ->
// "1234567", "12-" -> "-12". A separator met once is the decimal point, one
// met twice groups digits. Returns an empty string when no digit is left.
QString NormalizeNumber(const QString& value, const QString& sign);

// Error number of the platform's conversion error ("Type mismatch").
inline constexpr int kTypeMismatch = 13;

}  // namespace viewer
