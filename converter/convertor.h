// Convertor: the working class of Quillon. It turns a recordset into XML
// text in one of four shapes (the recordset's own persisted form, or that
// form transformed by a built-in stylesheet), loads XML documents from text
// or files, and rewrites a persisted-recordset file as standard XML.
//
// A Convertor keeps nothing between calls; one object may serve any number
// of calls. Every failure is a dataaccess::Error following the contract in
// convertorerrors.h; no partial result escapes a failing call.
//
// The viewer and the CLI call exportXml() below, one line each.
#pragma once

#include "convertorerrors.h"
#include "dictionaries.h"
#include "identity.h"
#include "quillonglobal.h"
#include "xmldocument.h"

#include <QIODevice>
#include <QString>
#include <memory>

namespace dataaccess {
class Recordset;
}

namespace quillon {

class QUILLON_EXPORT Convertor : public QuillonObject {
 public:
  Convertor() = default;
  Convertor(const Convertor&) = delete;
  Convertor& operator=(const Convertor&) = delete;

  // 1. A new, empty document; the factory's error passes untranslated.
  std::unique_ptr<XMLDocument> XMLObject();

  // 2. Parses XMLString; empty text gives no document and no error.
  std::unique_ptr<XMLDocument> LoadXML_FromString(const QString& XMLString);

  // 3. Loads FilePath (relative paths are taken from the library's folder);
  // an empty path gives no document and no error.
  std::unique_ptr<XMLDocument> LoadXML_FromFile(const QString& FilePath);

  // 4. The recordset as XML text: a declaration line naming `encoding`
  // (when not empty), CR LF, then the root element of the persisted form
  // (XMLStyle 0) or of its transformation by stylesheet XMLStyle. The
  // recordset is left on its first record. When the persisted text does not
  // parse, *ParseError (if given) receives the parser's report and the call
  // goes on with an empty document.
  // REQUIRES: RS, when given, uses a client-side cursor (else
  // errRSnotSupportSave inside errUnknown).
  QString ADORS_2_XMLString(dataaccess::Recordset* RS, int32_t XMLStyle = xrsAttribute, QString* ParseError = nullptr,
                            const QString& encoding = QString());

  // 5. Writes nothing and returns false, whatever the arguments.
  bool ADORS_2_XML(dataaccess::Recordset* RS, const QString& OutputFileName, int32_t XMLStyle = xrsAttribute);

  // 6. Loads the persisted-recordset file PersistXMLPath, transforms it
  // with stylesheet XMLStyle (0: as it is), appends the parameters of Dict
  // as an element named AddParamsEntityName to the root, and writes the
  // result as UTF-8 to StandardXMLPath, which must already exist (it is
  // replaced as a whole, atomically). Relative paths are taken from the
  // library's folder. Returns true.
  bool ADOXML_2_StandardXML(const QString& PersistXMLPath, const QString& StandardXMLPath,
                            int32_t XMLStyle = xrsAttribute, const cDictionaries* Dict = nullptr,
                            const QString& AddParamsEntityName = QStringLiteral("request"));

  QString ProgId() const override;
  QString ClassId() const override;
  QString InterfaceId() const override;
};

// How ConvertPersistedText produces the 101 and 103 forms: Automatic takes
// the streaming path where it gives the same bytes as the stylesheet;
// Stylesheet always parses and transforms (kept for comparison).
enum class ConversionPath { Automatic, Stylesheet };

// Steps 8 to 13 of ADORS_2_XMLString on persisted text already read: clean,
// parse (reporting into *ParseError), transform, declaration line. Errors
// are raised untranslated. For tests and tools that hold persisted text.
QUILLON_EXPORT QString ConvertPersistedText(const QString& persistedText, int32_t XMLStyle, QString* ParseError,
                                            const QString& encoding,
                                            ConversionPath path = ConversionPath::Automatic);

// What the viewer's and the CLI's XML export call: a new Convertor, then
// ADORS_2_XMLString(&rs, style, <ignored parse error>, encoding). Style is
// xrsEntity (103) for "xml_ent" and xrsAttribute (101) for "xml_attr".
// Write the result with writeXmlTextFile (xmltextfile.h) so that the bytes
// match the encoding the declaration names.
QUILLON_EXPORT QString exportXml(dataaccess::Recordset& rs, int style, const QString& encoding);

// encodeXmlText(exportXml(rs, style, encoding)) written to `out` as it is
// made: the same bytes and errors, but the attribute and entity shapes are
// written straight from the rows (rowsetshapes.h), in memory that does not
// grow with them. Other styles go through exportXml.
QUILLON_EXPORT void exportXmlTo(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out);

}  // namespace quillon
