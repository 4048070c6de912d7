#include "convertor.h"

#include "loaders.h"
#include "rowsetshapes.h"
#include "rowsetstream.h"
#include "rowsettext.h"
#include "stylesheets.h"
#include "xmltextfile.h"

#include "dataaccess/filewrite.h"
#include "dataaccess/recordset.h"
#include "dataaccess/stream.h"

namespace quillon {

namespace {

QString sourceOf(const char* procedure) {
  return QString::fromLatin1(kClassConvertor) + QLatin1Char('.') + QLatin1String(procedure);
}

void applyStylesheet(XMLDocument& doc, int32_t style) {
  std::unique_ptr<XMLDocument> stylesheet = LoadXMLFromString(StylesheetText(style));
  doc.transformNodeToObject(*stylesheet, doc);
}

QString parseErrorText(const ParseErrorInfo& e) {
  return QStringLiteral("A parse error occurred on line %1\r\n%2: %3").arg(e.line).arg(e.errorCode).arg(e.reason);
}

// Steps 4 to 8: the recordset persisted into a stream, read back as UTF-16
// text and cleaned for parsing.
QByteArray persistedText(dataaccess::Recordset& rs) {
  dataaccess::Stream stream;
  stream.setType(dataaccess::adTypeBinary);
  stream.Open();
  rs.MoveFirst();
  rs.Save(stream, dataaccess::adPersistXML);
  stream.setPosition(0);
  stream.setType(dataaccess::adTypeText);
  stream.setCharset(QStringLiteral("UTF-16"));
  stream.Flush();
  QString text = stream.ReadText();
  stream.Close();
  return cleanPersistedText(text);
}

// Steps 9 to 12 on cleaned persisted text: the root element's XML text.
QByteArray convertPersisted(const QByteArray& cleaned, int32_t style, QString* parseError, ConversionPath path) {
  if (path == ConversionPath::Automatic && (style == xrsAttribute || style == xrsEntity)) {
    // Identical bytes without the two documents; on anything unusual the
    // stylesheet path below runs and reports as usual.
    if (std::optional<QByteArray> fast = streamRowsetTransform(cleaned, style)) return *std::move(fast);
  }
  std::unique_ptr<XMLDocument> doc = CreateXMLObject();
  doc->setAsync(false);
  doc->LoadXMLBytes(cleaned, true);
  if (doc->ParseError().errorCode != 0 && parseError) *parseError = parseErrorText(doc->ParseError());
  if (style != xrsADOPersist) applyStylesheet(*doc, style);
  return doc->documentElementXmlBytes();
}

}  // namespace

QString ConvertPersistedText(const QString& persistedText, int32_t XMLStyle, QString* ParseError,
                             const QString& encoding, ConversionPath path) {
  const QByteArray body = convertPersisted(cleanPersistedText(persistedText), XMLStyle, ParseError, path);
  return xmlDeclarationLine(encoding) + QString::fromUtf8(body);
}

QString Convertor::ProgId() const { return QString::fromLatin1(kProgIdConvertor); }
QString Convertor::ClassId() const { return QString::fromLatin1(kClsidConvertor); }
QString Convertor::InterfaceId() const { return QString::fromLatin1(kIid_Convertor); }

std::unique_ptr<XMLDocument> Convertor::XMLObject() { return CreateXMLObject(); }

std::unique_ptr<XMLDocument> Convertor::LoadXML_FromString(const QString& XMLString) {
  return LoadXMLFromString(XMLString);
}

std::unique_ptr<XMLDocument> Convertor::LoadXML_FromFile(const QString& FilePath) { return LoadXMLFromFile(FilePath); }

QString Convertor::ADORS_2_XMLString(dataaccess::Recordset* RS, int32_t XMLStyle, QString* ParseError,
                                     const QString& encoding) {
  const QString source = sourceOf("ADORS_2_XMLString");
  return translatingErrors([&] {
    if (!RS) RaiseOwnError(errRSisEmpty, source);
    if (RS->CursorLocation() != dataaccess::adUseClient) RaiseOwnError(errRSnotSupportSave, source);
    // A name that cannot stand in a declaration would make the result
    // malformed.
    if (!encoding.isEmpty() && !isXmlEncodingName(encoding))
      throw dataaccess::Error(dataaccess::err::kInvalidArgument, source,
                              QStringLiteral("'%1' is not a valid encoding name.").arg(encoding));
    const QByteArray body = convertPersisted(persistedText(*RS), XMLStyle, ParseError, ConversionPath::Automatic);
    return xmlDeclarationLine(encoding) + QString::fromUtf8(body);
  });
}

bool Convertor::ADORS_2_XML(dataaccess::Recordset*, const QString&, int32_t) { return false; }

bool Convertor::ADOXML_2_StandardXML(const QString& PersistXMLPath, const QString& StandardXMLPath, int32_t XMLStyle,
                                     const cDictionaries* Dict, const QString& AddParamsEntityName) {
  const QString source = sourceOf("ConvertADOPersistXML2StandardXML");
  return translatingErrors([&] {
    // Both paths follow the loader's rule, so the file tested is the file
    // loaded.
    if (PersistXMLPath.isEmpty() || !FileMatches(ResolveLibraryPath(PersistXMLPath)))
      RaiseOwnError(errFilePathFailed, source);
    // The output must name one existing file exactly: a wildcard would
    // otherwise create a new file with "*" in its name.
    const QString output = StandardXMLPath.isEmpty() ? QString() : ResolveLibraryPath(StandardXMLPath);
    if (output.isEmpty() || output.contains(QLatin1Char('*')) || output.contains(QLatin1Char('?')) ||
        !FileMatches(output))
      RaiseOwnError(errFilePathFailed, source);
    std::unique_ptr<XMLDocument> doc = LoadXMLFromFile(PersistXMLPath);
    if (XMLStyle != xrsADOPersist) applyStylesheet(*doc, XMLStyle);
    if (Dict) {
      std::unique_ptr<XMLDocument> parameters = DictionaryToXML(*Dict, AddParamsEntityName);
      doc->appendDocumentElementOf(*parameters);
    }
    QByteArray text = doc->xmlBytes();
    doc.reset();
    text.append('\n');
    dataaccess::writeFileAtomically(output, text, source);
    return true;
  });
}

QString exportXml(dataaccess::Recordset& rs, int style, const QString& encoding) {
  std::shared_ptr<Convertor> convertor = CreateObjectAs<Convertor>(QString::fromLatin1(kProgIdConvertor));
  QString parseError;
  return convertor->ADORS_2_XMLString(&rs, style, &parseError, encoding);
}

void exportXmlTo(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out) {
  if (style != xrsAttribute && style != xrsEntity) {
    const QByteArray bytes = encodeXmlText(exportXml(rs, style, encoding));
    if (out.write(bytes) != bytes.size())
      throw dataaccess::Error(dataaccess::err::kAppBase, sourceOf("ADORS_2_XMLString"),
                              QStringLiteral("The XML could not be written: %1").arg(out.errorString()));
    return;
  }
  // The checks of ADORS_2_XMLString, with its error translation; the
  // writing raises as encodeXmlText and the device do.
  const QString source = sourceOf("ADORS_2_XMLString");
  translatingErrors([&] {
    if (rs.CursorLocation() != dataaccess::adUseClient) RaiseOwnError(errRSnotSupportSave, source);
    if (!encoding.isEmpty() && !isXmlEncodingName(encoding))
      throw dataaccess::Error(dataaccess::err::kInvalidArgument, source,
                              QStringLiteral("'%1' is not a valid encoding name.").arg(encoding));
    rs.MoveFirst();
  });
  writeRowsetShape(rs, style, encoding, out);
}

}  // namespace quillon
