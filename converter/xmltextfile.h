// Writing converter output to a file so that the bytes are in the encoding
// the XML declaration names. A character that encoding cannot hold becomes
// a character reference, so reading the file back gives the original text.
#pragma once

#include "quillonglobal.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <memory>

namespace quillon {

// Error number for an encoding name no converter knows, and for a
// character that can be written neither as itself nor as a reference (in a
// name, a comment or a CDATA section): the data layer's invalid-argument
// number (3001).
inline constexpr int32_t kErrEncoding = -2146825287;

// The encoding named by the declaration at the start of `text`
// (encoding="..."), or an empty string when there is none.
QUILLON_EXPORT QString declaredEncoding(const QString& text);

// `text` as bytes in its declared encoding (UTF-8 when none is declared;
// "UTF-16" and "UTF-32" get a byte-order mark). Throws dataaccess::Error
// (kErrEncoding, source "Quillon.encodeXmlText") for an unknown encoding or
// an unencodable character outside text and attribute values.
QUILLON_EXPORT QByteArray encodeXmlText(const QString& text);

class Encodability;
class SingleByteMap;

// Encodes one XML document piece by piece, giving the same bytes as
// encodeXmlText on the whole text (and the same errors). A piece must not
// end inside a character made of two UTF-16 units, nor inside the end
// marker of a comment, CDATA section or processing instruction.
class QUILLON_EXPORT XmlTextEncoder {
 public:
  // An empty name means UTF-8. Throws dataaccess::Error (kErrEncoding) for
  // an unknown encoding.
  explicit XmlTextEncoder(const QString& encodingName);
  ~XmlTextEncoder();
  XmlTextEncoder(const XmlTextEncoder&) = delete;
  XmlTextEncoder& operator=(const XmlTextEncoder&) = delete;

  QByteArray encode(QStringView text);
  // The same for text held as UTF-8; passed through when the encoding is
  // UTF-8 without a byte-order mark.
  QByteArray encodeUtf8(const QByteArray& utf8);

  enum class Region { Content, Tag, AttributeValue, Opaque };
  // Where in the markup the previous piece ended.
  struct Scan {
    Region region = Region::Content;
    char16_t quote = 0;
    QString opaqueEnd;
  };

 private:
  QString name_;
  bool utf8_ = false;
  QStringEncoder encoder_;
  std::unique_ptr<Encodability> encodability_;  // set for encodings that are not Unicode
  std::unique_ptr<SingleByteMap> singleByte_;   // set for single-byte encodings, once probed
  bool singleByteProbed_ = false;
  Scan scan_;
};

// Writes encodeXmlText(text) as the whole content of `path`, atomically: a
// failure leaves the previous content intact.
QUILLON_EXPORT void writeXmlTextFile(const QString& path, const QString& text);

}  // namespace quillon
