#include "rowsetshapes.h"

#include "rowsettext.h"
#include "xmltextfile.h"

#include "dataaccess/error.h"
#include "dataaccess/rowsetxmlwriter.h"

namespace quillon {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// A value's UTF-8 as the persisted stream hands it on: text that is not
// UTF-8 is decoded with the same decoder, each bad sequence becoming U+FFFD.
bool isPlainAscii(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// The serialiser's escaping after the cleaning. `inAttribute` picks the
// attribute-value rules (double quotes, line feeds as references) over
// those of element text.
template <bool inAttribute>
void appendCleanEscaped(QByteArray& out, std::string_view utf8) {
  QByteArray normalised;
  if (!isPlainAscii(utf8)) {
    normalised = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toUtf8();
    utf8 = std::string_view(normalised.constData(), size_t(normalised.size()));
  }
  size_t start = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const char* rep = nullptr;
    size_t width = 1;
    switch (c) {
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      case '"': if (inAttribute) rep = "&quot;"; break;
      case '\t': rep = ""; break;
      case '\n': if (inAttribute) rep = "&#10;"; break;
      case '\r': rep = "&#13;"; break;
      case 0xEF:
        // U+FFFE and U+FFFF are not XML characters.
        if (i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            static_cast<unsigned char>(utf8[i + 2]) >= 0xBE) {
          rep = kReplacement;
          width = 3;
        }
        break;
      default:
        if (c < 0x20) rep = kReplacement;
        break;
    }
    if (rep) {
      out.append(utf8.data() + start, qsizetype(i - start));
      out.append(rep);
      i += width - 1;
      start = i + 1;
    }
  }
  out.append(utf8.data() + start, qsizetype(utf8.size() - start));
}

// Pieces of about this size go to the encoder and the device.
constexpr qsizetype kChunk = 1 << 20;

class ChunkWriter {
 public:
  ChunkWriter(const QString& encoding, QIODevice& out) : encoder_(encoding), out_(out) {}
  void flush() {
    if (buf_.isEmpty()) return;
    const QByteArray bytes = encoder_.encodeUtf8(buf_);
    if (out_.write(bytes) != bytes.size())
      throw dataaccess::Error(dataaccess::err::kAppBase, QStringLiteral("Quillon.writeRowsetShape"),
                              QStringLiteral("The XML could not be written: %1").arg(out_.errorString()));
    buf_.clear();
  }
  XmlTextEncoder& encoder() { return encoder_; }
  QByteArray& buf() { return buf_; }

 private:
  XmlTextEncoder encoder_;
  QIODevice& out_;
  QByteArray buf_;
};

}  // namespace

void writeRowsetShape(const dataaccess::RowsView& rows, int style, const QString& encoding, QIODevice& out) {
  const std::vector<QByteArray> names = dataaccess::rowsetAttributeNames(rows.fields());
  ChunkWriter writer(encoding, out);
  {
    // A name the encoding cannot hold fails here, before any output.
    XmlTextEncoder probe(encoding);
    for (const QByteArray& n : names) probe.encodeUtf8(QByteArray("<") + n + QByteArray("/>"));
  }
  QByteArray& buf = writer.buf();
  buf.reserve(kChunk + kChunk / 4);
  buf.append(xmlDeclarationLine(encoding).toUtf8());
  writer.flush();  // the declaration alone: the encoder sees it whole
  const int64_t count = rows.rowCount();
  if (count == 0) {
    buf.append("<RS/>");
    writer.flush();
    return;
  }
  buf.append("<RS>");
  const dataaccess::RowStore* store = &rows.store();
  const size_t fieldCount = rows.fields().size();
  QByteArray children;
  for (int64_t r = 0; r < count; ++r) {
    buf.append("<row");
    if (style == 101) {
      for (size_t f = 0; f < fieldCount; ++f) {
        const qsizetype mark = buf.size();
        buf.append(' ').append(names[f]).append("=\"");
        if (dataaccess::appendRowsetCell(buf, rows, store, r, f, appendCleanEscaped<true>))
          buf.append('"');
        else
          buf.truncate(mark);
      }
      buf.append("/>");
    } else {
      children.clear();
      for (size_t f = 0; f < fieldCount; ++f) {
        const qsizetype mark = children.size();
        children.append('<').append(names[f]).append('>');
        const qsizetype valueAt = children.size();
        if (!dataaccess::appendRowsetCell(children, rows, store, r, f, appendCleanEscaped<false>)) {
          children.truncate(mark);
        } else if (children.size() == valueAt) {
          children.truncate(valueAt - 1);
          children.append("/>");
        } else {
          children.append("</").append(names[f]).append('>');
        }
      }
      if (children.isEmpty())
        buf.append("/>");
      else
        buf.append('>').append(children).append("</row>");
    }
    if (buf.size() >= kChunk) writer.flush();
  }
  buf.append("</RS>");
  writer.flush();
}

}  // namespace quillon
