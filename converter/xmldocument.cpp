#include "xmldocument.h"

#include "dataaccess/error.h"

#include <QFile>
#include <cstdarg>
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <cstring>
#include <memory>

namespace quillon {

namespace {

// The platform's unspecified-failure number, for DOM and XSLT failures that
// are not parse errors.
constexpr int32_t kDomFailure = -2147467259;  // 0x80004005

// No network, no DTD loading, no entity substitution (the default), and no
// XML_PARSE_HUGE, so libxml2's size and expansion limits stay in force.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT |
                              XML_PARSE_BIG_LINES;

struct ParseGuard {
  bool refusedEntity = false;
  QString refusedName;
  entityDeclSAXFunc defaultEntityDecl = nullptr;
};

// An external entity would make the parser read a file or a URL; the
// document is refused instead, before anything is read.
void refuseExternalEntities(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                            xmlChar* content) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  auto* guard = static_cast<ParseGuard*>(ctxt->_private);
  if (type == XML_EXTERNAL_GENERAL_PARSED_ENTITY || type == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
      type == XML_EXTERNAL_PARAMETER_ENTITY || systemId != nullptr) {
    guard->refusedEntity = true;
    guard->refusedName = QString::fromUtf8(reinterpret_cast<const char*>(name));
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
    return;
  }
  guard->defaultEntityDecl(ctx, name, type, publicId, systemId, content);
}

struct ParserCtxtDeleter {
  void operator()(xmlParserCtxtPtr p) const { xmlFreeParserCtxt(p); }
};
using ParserCtxt = std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter>;

ParserCtxt newGuardedContext(ParseGuard& guard) {
  xmlInitParser();
  ParserCtxt ctxt(xmlNewParserCtxt());
  if (!ctxt) throw std::bad_alloc();
  guard.defaultEntityDecl = ctxt->sax->entityDecl ? ctxt->sax->entityDecl : xmlSAX2EntityDecl;
  ctxt->sax->entityDecl = refuseExternalEntities;
  ctxt->_private = &guard;
  return ctxt;
}

QString trimmedMessage(const char* msg) {
  return msg ? QString::fromUtf8(msg).trimmed() : QString();
}

void collectTransformError(void* ctx, const char* msg, ...) {
  auto* messages = static_cast<QString*>(ctx);
  char buffer[1024];
  va_list args;
  va_start(args, msg);
  std::vsnprintf(buffer, sizeof buffer, msg, args);
  va_end(args);
  if (messages->size() < 4096) messages->append(QString::fromUtf8(buffer));
}

[[noreturn]] void raiseDom(const char* what, const QString& description) {
  throw dataaccess::Error(kDomFailure, QStringLiteral("XMLDocument.%1").arg(QLatin1String(what)), description);
}

}  // namespace

QByteArray serializeNode(xmlDocPtr doc, xmlNodePtr node) {
  // With an encoding on the document, libxml2 writes non-ASCII characters of
  // attribute values as they are instead of as character references.
  if (doc && !doc->encoding) doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
  xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
  if (!out) throw std::bad_alloc();
  xmlNodeDumpOutput(out, doc, node, 0, 0, "UTF-8");
  xmlOutputBufferFlush(out);
  const xmlChar* content = xmlOutputBufferGetContent(out);
  QByteArray bytes(reinterpret_cast<const char*>(content), qsizetype(xmlOutputBufferGetSize(out)));
  const bool failed = out->error != 0;
  xmlOutputBufferClose(out);
  if (failed) raiseDom("xml", QStringLiteral("The document could not be written as text."));
  return bytes;
}

XMLDocument::XMLDocument() = default;

XMLDocument::~XMLDocument() { reset(nullptr); }

void XMLDocument::reset(xmlDocPtr doc) {
  if (doc_ && doc_ != doc) xmlFreeDoc(doc_);
  doc_ = doc;
}

bool XMLDocument::finishParse(void* parserContext, xmlDocPtr parsed) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
  auto* guard = static_cast<ParseGuard*>(ctxt->_private);
  parseError_ = ParseErrorInfo();
  if (parsed && ctxt->wellFormed && !guard->refusedEntity) {
    reset(parsed);
    return true;
  }
  if (parsed) xmlFreeDoc(parsed);
  reset(nullptr);
  const xmlError* e = xmlCtxtGetLastError(ctxt);
  if (guard->refusedEntity) {
    parseError_.errorCode = XML_ERR_EXT_ENTITY_STANDALONE;
    parseError_.reason = QStringLiteral("External entities are not allowed: '%1'.").arg(guard->refusedName);
    parseError_.line = ctxt->input ? ctxt->input->line : 0;
  } else if (e && e->code != XML_ERR_OK) {
    parseError_.errorCode = e->code;
    parseError_.line = e->line;
    parseError_.linepos = e->int2;
    parseError_.reason = trimmedMessage(e->message);
  } else {
    parseError_.errorCode = XML_ERR_INTERNAL_ERROR;
    parseError_.reason = QStringLiteral("The document is not well-formed.");
  }
  if (parseError_.errorCode == 0) parseError_.errorCode = XML_ERR_INTERNAL_ERROR;
  return false;
}

bool XMLDocument::LoadXML(const QString& text) { return LoadXMLBytes(text.toUtf8()); }

bool XMLDocument::LoadXMLBytes(const QByteArray& bytes, bool withoutSizeLimits) {
  ParseGuard guard;
  ParserCtxt ctxt = newGuardedContext(guard);
  // Read through a callback so texts beyond 2 GiB parse too. The text is
  // UTF-8 whatever a declaration inside it claims: it came from a wide string.
  struct Reader {
    const QByteArray* bytes;
    qsizetype offset = 0;
  } reader{&bytes};
  auto read = [](void* context, char* buffer, int len) -> int {
    auto* r = static_cast<Reader*>(context);
    const qsizetype n = std::min<qsizetype>(len, r->bytes->size() - r->offset);
    std::memcpy(buffer, r->bytes->constData() + r->offset, size_t(n));
    r->offset += n;
    return int(n);
  };
  int options = kParseOptions;
  if (withoutSizeLimits && !bytes.contains("<!DOCTYPE")) options |= XML_PARSE_HUGE;
  xmlDocPtr parsed = xmlCtxtReadIO(ctxt.get(), read, nullptr, &reader, nullptr, "UTF-8", options);
  return finishParse(ctxt.get(), parsed);
}

bool XMLDocument::Load(const QString& path) {
  ParseGuard guard;
  ParserCtxt ctxt = newGuardedContext(guard);
  const QByteArray local = QFile::encodeName(path);
  xmlDocPtr parsed = xmlCtxtReadFile(ctxt.get(), local.constData(), nullptr, kParseOptions);
  return finishParse(ctxt.get(), parsed);
}

bool XMLDocument::hasDocumentElement() const { return doc_ && xmlDocGetRootElement(doc_); }

QString XMLDocument::documentElementName() const {
  xmlNodePtr root = doc_ ? xmlDocGetRootElement(doc_) : nullptr;
  return root ? QString::fromUtf8(reinterpret_cast<const char*>(root->name)) : QString();
}

QByteArray XMLDocument::xmlBytes() const {
  QByteArray out;
  if (!doc_) return out;
  for (xmlNodePtr n = doc_->children; n; n = n->next) {
    if (n->type == XML_DTD_NODE) continue;
    if (!out.isEmpty()) out.append('\n');
    out.append(serializeNode(doc_, n));
  }
  return out;
}

QByteArray XMLDocument::documentElementXmlBytes() const {
  xmlNodePtr root = doc_ ? xmlDocGetRootElement(doc_) : nullptr;
  if (!root)
    throw dataaccess::Error(-2146828197, QStringLiteral("XMLDocument.documentElement"),
                            QStringLiteral("Object variable or With block variable not set: the document has no root "
                                           "element."));
  return serializeNode(doc_, root);
}

void XMLDocument::transformNodeToObject(const XMLDocument& stylesheet, XMLDocument& output) const {
  if (!stylesheet.doc_) raiseDom("transformNodeToObject", QStringLiteral("The stylesheet document is empty."));
  // The compiled stylesheet owns the document it is made from.
  xmlDocPtr styleDoc = xmlCopyDoc(stylesheet.doc_, 1);
  if (!styleDoc) throw std::bad_alloc();
  std::unique_ptr<xsltStylesheet, void (*)(xsltStylesheetPtr)> style(xsltParseStylesheetDoc(styleDoc),
                                                                     xsltFreeStylesheet);
  if (!style) {
    xmlFreeDoc(styleDoc);
    raiseDom("transformNodeToObject", QStringLiteral("The stylesheet is not a valid XSLT 1.0 stylesheet."));
  }
  if (style->errors > 0)
    raiseDom("transformNodeToObject", QStringLiteral("The stylesheet is not a valid XSLT 1.0 stylesheet."));

  // An empty source still has a root node for the stylesheet to match.
  std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> emptySource(nullptr, xmlFreeDoc);
  xmlDocPtr source = doc_;
  if (!source) {
    emptySource.reset(xmlNewDoc(BAD_CAST "1.0"));
    source = emptySource.get();
  }

  std::unique_ptr<xsltSecurityPrefs, void (*)(xsltSecurityPrefsPtr)> prefs(xsltNewSecurityPrefs(),
                                                                           xsltFreeSecurityPrefs);
  std::unique_ptr<xsltTransformContext, void (*)(xsltTransformContextPtr)> tctxt(
      xsltNewTransformContext(style.get(), source), xsltFreeTransformContext);
  if (!prefs || !tctxt) throw std::bad_alloc();
  for (xsltSecurityOption option : {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                    XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
    xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
  xsltSetCtxtSecurityPrefs(prefs.get(), tctxt.get());
  QString messages;
  xsltSetTransformErrorFunc(tctxt.get(), &messages, collectTransformError);

  xmlDocPtr result = xsltApplyStylesheetUser(style.get(), source, nullptr, nullptr, nullptr, tctxt.get());
  if (!result || tctxt->state != XSLT_STATE_OK) {
    if (result) xmlFreeDoc(result);
    raiseDom("transformNodeToObject",
             messages.trimmed().isEmpty() ? QStringLiteral("The transformation failed.")
                                          : QStringLiteral("The transformation failed: %1").arg(messages.trimmed()));
  }
  output.reset(result);
  output.parseError_ = ParseErrorInfo();
}

void XMLDocument::appendDocumentElementOf(const XMLDocument& other) {
  xmlNodePtr root = doc_ ? xmlDocGetRootElement(doc_) : nullptr;
  xmlNodePtr otherRoot = other.doc_ ? xmlDocGetRootElement(other.doc_) : nullptr;
  if (!root || !otherRoot)
    raiseDom("appendChild", QStringLiteral("Both documents need a root element."));
  xmlNodePtr copy = xmlDocCopyNode(otherRoot, doc_, 1);
  if (!copy) throw std::bad_alloc();
  xmlAddChild(root, copy);
}

}  // namespace quillon
