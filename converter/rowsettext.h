// Text handling around the persisted rowset: the cleaning that
// ADORS_2_XMLString applies before parsing, and the XML declaration it puts
// in front of its result.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillon {

// True for the characters XML 1.0 can carry (tab, line feed, carriage
// return, U+0020..U+D7FF, U+E000..U+FFFD, U+10000..U+10FFFF).
constexpr bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// The persisted text made ready for parsing, as UTF-8:
//  - every character with code 0 to 9 is removed (tab included), and so is
//    a character reference to one of them ("&#x9;"), since the rowset writer
//    writes tabs as references;
//  - characters XML 1.0 cannot carry (the other control codes except line
//    feed and carriage return, unpaired surrogates, U+FFFE, U+FFFF) and
//    references to them are removed too, so the text still parses.
QByteArray cleanPersistedText(const QString& text);

// `text` less the characters XML 1.0 cannot carry.
QString withoutNonXmlCharacters(const QString& text);

// True when `name` is an encoding name as XML declarations spell them:
// a letter, then letters, digits, ".", "_" and "-".
bool isXmlEncodingName(const QString& name);

// `<?xml version="1.0" encoding="NAME" ?>` or `<?xml version="1.0" ?>` for an
// empty name, followed by CR LF.
QString xmlDeclarationLine(const QString& encoding);

}  // namespace quillon
