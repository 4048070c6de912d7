// How one text file of a folder is laid out, as its SCHEMA.INI section says:
// header line or not, field delimiter, character set, how many rows decide
// the column types, and column definitions that fix a column's name and type.
// A file without a section is comma-separated with a header, in the
// locale's character set, and every row is scanned for types.
#pragma once

#include "../../adtypes.h"

#include <QString>
#include <map>
#include <optional>

namespace dataaccess::text {

// One "ColN=name type [Width n]" definition.
struct ColumnDefinition {
  QString name;
  // The type named by the definition, or nothing when the definition gives
  // only a name and the type is guessed from the data.
  std::optional<DataTypeEnum> type;
  int64_t width = 0;  // 0 when no Width was given
};

struct TextSchema {
  bool colNameHeader = true;
  char delimiter = ',';
  // Character set as written in SCHEMA.INI ("ANSI", "OEM", "UNICODE", a code
  // page number or a character set name); see decoderNameFor().
  QString characterSet = QStringLiteral("ANSI");
  int64_t maxScanRows = 0;  // 0: every row
  std::map<int, ColumnDefinition> columns;  // by 1-based column number
  bool hasSection = false;
};

// Reads the section named `fileName` (matched without regard to letter
// case, as are the keys) of the SCHEMA.INI file in `folder`. A missing file
// or section gives the defaults. Throws Error for a value that cannot be
// honoured (an unknown Format, a FixedLength file, an unknown character
// set, a column definition with a bad Width, a column number outside
// 1..65536, or an unknown type after a quoted name). An unknown word after
// an unquoted name is taken as part of the name.
TextSchema readSchemaIni(const QString& folder, const QString& fileName);

// Parses the text of a SCHEMA.INI file; `iniPath` only names it in errors.
TextSchema parseSchemaIni(const QString& iniText, const QString& fileName, const QString& iniPath);

// The path of the folder's SCHEMA.INI (any letter case), or an empty string
// when there is none.
QString schemaIniPath(const QString& folder);

// The character set name a decoder understands for a CharacterSet value:
//   ANSI     the locale's character set (UTF-8 when the locale names none
//            or names plain ASCII)
//   OEM      IBM437, the original PC character set
//   UNICODE  UTF-16LE
//   a number a code page: 65001 UTF-8, 1200/1201 UTF-16LE/BE, 437 and the
//            other DOS pages IBMnnn, 874 and 1250..1258 windows-nnnn,
//            28591..28605 ISO-8859-n, 20127 US-ASCII
//   a name   used as it is ("UTF-8", "windows-1251", "KOI8-R", ...)
// Returns an empty string when no decoder knows the character set.
QString decoderNameFor(const QString& characterSet);

// The type a SCHEMA.INI type word names (Bit, Byte, Short, Long, Currency,
// Single, Double, DateTime, Text, Memo and the aliases Char = Text,
// Integer = Short, LongChar = Memo, Float = Double, Date = DateTime).
std::optional<DataTypeEnum> schemaType(const QString& word);

}  // namespace dataaccess::text
