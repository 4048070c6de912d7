// Code pages of legacy table files. dBase/FoxPro name theirs by a
// language-driver byte in the header, Paradox by a DOS/Windows code page
// number; both decode and encode text through Qt's ICU-backed converters,
// with a 256-entry table for the single-byte pages so that loading a large
// table costs one lookup per character.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace dataaccess {

class CodePage {
 public:
  // The locale's character set.
  CodePage();
  // A code page by its converter name ("IBM437", "windows-1251", ...);
  // falls back to the locale's character set when Qt does not know it.
  explicit CodePage(const QByteArray& name);

  // dBase/FoxPro language-driver byte (header offset 29); 0 or an unknown
  // byte gives the locale's character set.
  static CodePage forLanguageDriver(int ldid);
  // A code page number (437, 850, 1252, ...); 0 or unknown gives the locale.
  static CodePage forNumber(int number);

  const QByteArray& name() const { return name_; }
  QString decode(std::string_view bytes) const;
  // The text in this code page, or nothing when a character has no code in it.
  std::optional<QByteArray> encode(const QString& text) const;

 private:
  void buildTable();

  QByteArray name_;  // empty: the locale's character set
  bool singleByte_ = false;
  std::array<char16_t, 256> table_{};
};

}  // namespace dataaccess
