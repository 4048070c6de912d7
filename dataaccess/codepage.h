// Code pages of legacy table files. dBase/FoxPro name theirs by a
// language-driver byte in the header, Paradox by a DOS/Windows code page
// number; a table without a mark (or with one that is not known here) is
// read in its format's default page, which the user's `LegacyCodePage`
// setting may replace.
//
// Single-byte pages decode and encode through a 256-entry table, so that
// loading a large table costs one lookup per character, and every byte maps
// to a character: a byte that the page leaves undefined (0x81 in
// Windows-1252) maps to the code point of the same number, as the Windows
// conversion does, so text read and written back unchanged gives the same
// bytes. The tables come from Qt's ICU-backed converters, except Mazovia and
// Kamenický, which ICU lacks and which are kept here. Multi-byte pages
// (Shift_JIS, GBK, ...) go through Qt's converters.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <string_view>

namespace dataaccess {

class CodePage {
 public:
  // Windows-1252.
  CodePage();

  // A page by its number (437, 850, 1252, 620 Mazovia, 895 Kamenický, ...);
  // nothing for 0 or a page that is not known here.
  static std::optional<CodePage> byNumber(int number);
  // A page by number text ("850"), by a name such as "cp852", "IBM852",
  // "windows-1250", "Mazovia", "Kamenicky", or any name Qt's converters
  // know. Nothing for an empty or unknown name.
  static std::optional<CodePage> byName(const QString& name);
  // The page that a dBase/FoxPro language-driver byte (header offset 29)
  // names; nothing for 0 (no mark) or a byte that is not known here.
  static std::optional<CodePage> forLanguageDriver(int ldid);

  // The page for a table without a usable mark: the `LegacyCodePage`
  // setting when one is in force, else the page numbered `formatDefault`
  // (1252 for dBase/FoxPro, 437 for Paradox).
  static CodePage legacyDefault(int formatDefault);
  // Sets the process-wide `LegacyCodePage` (as byName reads it); an empty
  // or unknown value leaves each format its own default. Returns whether a
  // page was set. The viewer and the CLI call this once at start.
  static bool setLegacyCodePage(const QString& setting);
  // The page in force from setLegacyCodePage, if any.
  static std::optional<CodePage> legacyCodePage();

  // The converter name ("windows-1252", "IBM437", "Mazovia", ...).
  QString name() const;
  bool isSingleByte() const;
  QString decode(std::string_view bytes) const;
  // The text in this code page, or nothing when a character has no code in it.
  std::optional<QByteArray> encode(const QString& text) const;

  struct Table;

 private:
  explicit CodePage(std::shared_ptr<const Table> table) : table_(std::move(table)) {}

  std::shared_ptr<const Table> table_;
};

}  // namespace dataaccess
