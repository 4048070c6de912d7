// XMLDocument: the DOM document every part of Quillon works with, a thin
// owner of a libxml2 document.
//
// Parsing is always synchronous and safe for hostile input: no network, no
// external DTD, external entities are refused (the document fails to load),
// internal entities are left unexpanded in content, and libxml2's limits on
// entity expansion and depth stay on. The members follow the classic DOM
// names the converter's algorithms are written against (LoadXML, Load,
// ParseError, transformNodeToObject).
#pragma once

#include "quillonglobal.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

struct _xmlDoc;
struct _xmlNode;

namespace quillon {

// The last parse failure of a document. errorCode is libxml2's error number
// (0 when the last load succeeded); line is 1-based (0 when unknown).
struct ParseErrorInfo {
  int32_t errorCode = 0;
  int line = 0;
  int linepos = 0;
  QString reason;
};

class QUILLON_EXPORT XMLDocument {
 public:
  // A new, empty document (no root element).
  XMLDocument();
  ~XMLDocument();
  XMLDocument(const XMLDocument&) = delete;
  XMLDocument& operator=(const XMLDocument&) = delete;

  // Kept for the classic contract; loading is always synchronous.
  bool async() const { return async_; }
  void setAsync(bool v) { async_ = v; }

  // Parses `text`, replacing the content. On failure the document is empty,
  // ParseError() describes the failure and the result is false.
  bool LoadXML(const QString& text);
  // Same, from UTF-8 bytes. `withoutSizeLimits` lifts libxml2's limits on
  // the size of one text or attribute value (10 MB) for text that cannot
  // declare entities (no document type declaration): the persisted form of
  // a recordset with a huge memo. Anything holding "<!DOCTYPE" keeps them.
  bool LoadXMLBytes(const QByteArray& bytes, bool withoutSizeLimits = false);
  // Reads and parses the file `path` (no wildcards, no resolution).
  bool Load(const QString& path);

  const ParseErrorInfo& ParseError() const { return parseError_; }

  bool hasDocumentElement() const;
  // Name of the root element, empty when there is none.
  QString documentElementName() const;
  // XML text of the whole document (no XML declaration), UTF-8.
  QByteArray xmlBytes() const;
  QString xml() const { return QString::fromUtf8(xmlBytes()); }
  // XML text of the root element, UTF-8. Throws dataaccess::Error when the
  // document has no root element.
  QByteArray documentElementXmlBytes() const;

  // Applies the XSLT 1.0 stylesheet held in `stylesheet` to this document
  // and puts the result into `output` (which may be this document itself).
  // The transformation may not read or write files or the network. Throws
  // dataaccess::Error when the stylesheet does not compile or the
  // transformation fails; `output` is unchanged then.
  void transformNodeToObject(const XMLDocument& stylesheet, XMLDocument& output) const;

  // Appends a deep copy of `other`'s root element as the last child of this
  // document's root element. REQUIRES: both have a root element.
  void appendDocumentElementOf(const XMLDocument& other);

  // The libxml2 document, for code inside the library.
  _xmlDoc* handle() const { return doc_; }
  // Takes ownership of `doc` (may be null for an empty document).
  void reset(_xmlDoc* doc);

 private:
  bool finishParse(void* parserContext, _xmlDoc* parsed);

  _xmlDoc* doc_ = nullptr;
  ParseErrorInfo parseError_;
  bool async_ = true;
};

// Serialises `node` of `doc` as UTF-8 without an XML declaration; non-ASCII
// characters are written as they are, not as references.
QByteArray serializeNode(_xmlDoc* doc, _xmlNode* node);

}  // namespace quillon
