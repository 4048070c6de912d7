// The rules behind the options dialog that need no widget: how the "Rows on
// page:" text reads as a page size, how the text format is taken, and the
// apply step that moves the dialog's three fields into the settings in
// memory and writes all four settings. The dialog (frmoptions.h) wires its
// fields to these; tests and the CLI call them directly.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace viewer {

// The largest page size the 16-bit setting holds.
inline constexpr int kMaxPageSize = 32767;
// The classic "Overflow" error number, raised when a page size is refused.
inline constexpr int32_t kOverflowError = 6;

// The items of the "Text format:" list, in order.
QStringList TextFormatItems();

// The number that `text` starts with: blanks, tabs and line feeds are
// skipped wherever they stand; then an optional sign, digits, an optional
// "." and fraction and an optional exponent ("e" or "E", optional sign,
// digits) are read up to the first character that does not fit. No number
// at all reads as 0. Too large a number reads as an infinity of its sign.
double ReadNumber(const QString& text);

// The page size `text` applies as: ReadNumber rounded to a whole number,
// halves to the even neighbour; 40 when that is 0 or less. nullopt when it
// is more than kMaxPageSize (the setting cannot hold it).
std::optional<int16_t> PageSizeFromText(const QString& text);

// The text format `text` applies as: leading and trailing blanks removed; "TabDelimited"
// when nothing is left. Any other text is kept as typed.
QString TextFormatFromText(const QString& text);

// The texts of the dialog's three fields.
struct OptionsFields {
  QString encoding;
  QString pageSize;
  QString textFormat;
};

// The fields as the dialog shows them on load: the settings in memory.
OptionsFields OptionsFieldsFromSettings();

// Applies `fields` to the settings in memory (page size, encoding as typed,
// text format), then SaveSettings writes all four.
// Throws dataaccess::Error kOverflowError when the page size is more than
// kMaxPageSize; nothing is changed then. Throws SaveSettings' error when
// writing fails; the settings in memory hold the new values then.
void ApplyOptions(const OptionsFields& fields);

}  // namespace viewer
