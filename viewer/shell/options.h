// The rules behind the options dialog that need no widget: how the "Rows on
// page:" text reads as a page size, how the text format is taken, and the
// apply step that moves the dialog's three fields into the settings in
// memory and writes all four settings. The dialog (frmoptions.h) wires its
// fields to these; tests and the CLI call them directly.
#pragma once

#include <QString>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>

namespace viewer {

// The largest page size the 16-bit setting holds.
inline constexpr int kMaxPageSize = 32767;
// The classic "Overflow" error number, raised when a page size is refused.
inline constexpr int32_t kOverflowError = 6;

// The captions of the dialog's three fields.
inline constexpr char kEncodingCaption[] = "XML Encoding:";
inline constexpr char kPageSizeCaption[] = "Rows on page:";
inline constexpr char kTextFormatCaption[] = "Text format:";

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

// A change of the settings made without the windows (lumbrook-cli
// options): a field left unset keeps its setting.
struct OptionsChange {
  std::optional<QString> encoding;
  std::optional<QString> pageSize;
  std::optional<QString> textFormat;
  std::optional<int16_t> showSplash;  // as the splash's check box sets it
};

// Fills the dialog's fields from the settings in memory, overrides those
// `change` sets, and applies them with ApplyOptions, with ShowSplash set as
// well. Throws as ApplyOptions; a refused page size changes nothing, not
// ShowSplash either.
void ApplyOptionsChange(const OptionsChange& change);

// The four settings in memory as (caption, value) pairs: the dialog's three
// fields in its order, then ShowSplash under the splash's check box caption.
QList<std::pair<QString, QString>> OptionsListing();

}  // namespace viewer
