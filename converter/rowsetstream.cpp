#include "rowsetstream.h"

#include <QtGlobal>
#include <cstring>
#include <libxml/xmlreader.h>
#include <memory>

namespace quillon {

namespace {

constexpr char kNsRowset[] = "urn:schemas-microsoft-com:rowset";
constexpr char kNsRow[] = "#RowsetSchema";

// Same parser options as the document loader; like the loader, text that
// cannot declare entities may hold values beyond 10 MB.
constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT |
                         XML_PARSE_BIG_LINES;

bool equals(const xmlChar* a, const char* b) { return a && std::strcmp(reinterpret_cast<const char*>(a), b) == 0; }

// Escaping of libxml2's serialiser (documents with an encoding: non-ASCII
// is written as it is). Text content escapes <, >, & and CR; attribute
// values also the double quote, LF and TAB, which a reader would otherwise
// normalise to blanks.
void appendEscaped(QByteArray& out, const xmlChar* v, bool attribute) {
  const char* s = reinterpret_cast<const char*>(v);
  const char* start = s;
  for (; *s; ++s) {
    const char* rep = nullptr;
    switch (*s) {
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      case '&': rep = "&amp;"; break;
      case '\r': rep = "&#13;"; break;
      case '"': rep = attribute ? "&quot;" : nullptr; break;
      case '\n': rep = attribute ? "&#10;" : nullptr; break;
      case '\t': rep = attribute ? "&#9;" : nullptr; break;
      default: break;
    }
    if (!rep) continue;
    out.append(start, s - start);
    out.append(rep);
    start = s + 1;
  }
  out.append(start, s - start);
}

struct ReaderDeleter {
  void operator()(xmlTextReaderPtr r) const { xmlFreeTextReader(r); }
};

// Writes one z:row in the chosen form. Returns false to give up.
bool writeRow(xmlTextReaderPtr reader, int style, QByteArray& out) {
  QByteArray children;
  out.append("<row");
  bool empty = true;
  if (xmlTextReaderHasAttributes(reader) == 1) {
    for (int more = xmlTextReaderMoveToFirstAttribute(reader); more == 1;
         more = xmlTextReaderMoveToNextAttribute(reader)) {
      if (xmlTextReaderIsNamespaceDecl(reader) != 0 || xmlTextReaderConstPrefix(reader) != nullptr) return false;
      const xmlChar* name = xmlTextReaderConstName(reader);
      const xmlChar* value = xmlTextReaderConstValue(reader);
      if (!name || !value) return false;
      if (style == 101) {
        out.append(' ').append(reinterpret_cast<const char*>(name)).append("=\"");
        appendEscaped(out, value, true);
        out.append('"');
      } else {
        empty = false;
        children.append('<').append(reinterpret_cast<const char*>(name));
        if (*value) {
          children.append('>');
          appendEscaped(children, value, false);
          children.append("</").append(reinterpret_cast<const char*>(name)).append('>');
        } else {
          children.append("/>");
        }
      }
    }
    xmlTextReaderMoveToElement(reader);
  }
  if (empty) {
    out.append("/>");
  } else {
    out.append('>').append(children).append("</row>");
  }
  return true;
}

// True when some stretch between two "<" is longer than `limit` bytes. The
// streaming reader feeds libxml2 in small chunks and rescans an unfinished
// tag each time, which is quadratic for a tag holding a huge value; the
// document parser reads such text in linear time.
bool hasLongTag(const QByteArray& utf8, qsizetype limit) {
  const char* p = utf8.constData();
  const char* end = p + utf8.size();
  while (p < end) {
    const char* next = static_cast<const char*>(std::memchr(p + 1, '<', size_t(end - p - 1)));
    if (!next) next = end;
    if (next - p > limit) return true;
    p = next;
  }
  return false;
}

}  // namespace

std::optional<QByteArray> streamRowsetTransform(const QByteArray& utf8, int style) {
  if ((style != 101 && style != 103) || utf8.size() > std::numeric_limits<int>::max()) return std::nullopt;
  if (hasLongTag(utf8, 256 * 1024)) return std::nullopt;
  xmlInitParser();
  std::unique_ptr<xmlTextReader, ReaderDeleter> reader(
      xmlReaderForMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                         utf8.contains("<!DOCTYPE") ? kOptions : kOptions | XML_PARSE_HUGE));
  if (!reader) return std::nullopt;
  xmlTextReaderPtr r = reader.get();

  QByteArray out;
  out.reserve(utf8.size() / 2);
  out.append("<RS");
  bool anyRow = false;
  // The rows' path is /xml/rs:data/z:row: depth 0 must be "xml" (no
  // namespace), depth 1 an rs:data element, depth 2 the z:row elements.
  // Everything else is read (so the whole text is checked) and ignored.
  bool rootIsXml = false;
  bool inData = false;
  int ret;
  while ((ret = xmlTextReaderRead(r)) == 1) {
    const int type = xmlTextReaderNodeType(r);
    if (type == XML_READER_TYPE_DOCUMENT_TYPE || type == XML_READER_TYPE_ENTITY_REFERENCE ||
        type == XML_READER_TYPE_ENTITY)
      return std::nullopt;
    const int depth = xmlTextReaderDepth(r);
    if (type == XML_READER_TYPE_END_ELEMENT) {
      if (depth == 1) inData = false;
      continue;
    }
    if (type != XML_READER_TYPE_ELEMENT || depth > 2) continue;
    const xmlChar* local = xmlTextReaderConstLocalName(r);
    const xmlChar* ns = xmlTextReaderConstNamespaceUri(r);
    if (depth == 0) {
      rootIsXml = ns == nullptr && equals(local, "xml");
    } else if (depth == 1) {
      inData = rootIsXml && xmlTextReaderIsEmptyElement(r) != 1 && equals(local, "data") && equals(ns, kNsRowset);
    } else if (inData && equals(local, "row") && equals(ns, kNsRow)) {
      if (!anyRow) out.append('>');
      anyRow = true;
      if (!writeRow(r, style, out)) return std::nullopt;
    }
  }
  if (ret != 0) return std::nullopt;  // parse error: the stylesheet path reports it
  out.append(anyRow ? "</RS>" : "/>");
  return out;
}

}  // namespace quillon
