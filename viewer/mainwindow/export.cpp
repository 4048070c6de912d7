#include "export.h"

#include "../datasource/paths.h"
#include "../datasource/sourcestate.h"
#include "dataaccess/error.h"
#include "dataaccess/filewrite.h"
#include "exportconverter.h"
#include "converter/xmltextfile.h"

#include <QStringList>

namespace viewer {

namespace {
const char* const kKeys[] = {"xml_row", "xml_ent", "xml_attr", "txt_tab", "txt_comma"};
}  // namespace

ExportFormat ExportFormatFromKey(const QString& key, bool* ok) {
  for (int i = 0; i < 5; ++i) {
    if (key == QLatin1String(kKeys[i])) {
      if (ok) *ok = true;
      return ExportFormat(i);
    }
  }
  if (ok) *ok = false;
  return xml_row;
}

QString ExportFormatKey(ExportFormat format) {
  return QString::fromLatin1(kKeys[format >= xml_row && format <= txt_comma ? format : xml_row]);
}

int ExportFilterIndex(ExportFormat format) { return format == txt_tab || format == txt_comma ? 3 : 2; }

namespace {

// Header line and rows as UTF-8, built straight from the stored rows so that
// large tables export without a wide-character copy of the whole text.
QByteArray DelimitedUtf8(dataaccess::Recordset& rs, const QString& separator) {
  QStringList names;
  for (int i = 0; i < rs.FieldCount(); ++i) names << rs.Fields(i).Name();
  const QString crlf = QStringLiteral("\r\n");
  // Rows from the current one on; at EOF this raises and nothing is written.
  QByteArray body = rs.GetStringUtf8(-1, separator, crlf, QString());
  return (names.join(separator) + crlf).toUtf8() + body;
}

}  // namespace

QString DelimitedText(dataaccess::Recordset& rs, const QString& separator) {
  return QString::fromUtf8(DelimitedUtf8(rs, separator));
}

void WriteExport(dataaccess::Recordset& rs, ExportFormat format, const QString& path, const QString& encoding) {
  QByteArray utf8;
  switch (format) {
    case xml_row:
      rs.Save(path, dataaccess::adPersistXML);
      return;
    case xml_ent:
    case xml_attr:
      // Written in the encoding the declaration names, so the two agree.
      quillon::writeXmlTextFile(path, ConvertRecordsetToXml(rs, format == xml_ent ? 103 : 101, encoding));
      return;
    case txt_tab:
      utf8 = DelimitedUtf8(rs, QStringLiteral("\t"));
      break;
    case txt_comma:
      utf8 = DelimitedUtf8(rs, QStringLiteral(","));
      break;
  }
  // Text files are written in the locale's character set, as WriteTextFile
  // writes them; for UTF-8 the bytes are already right.
  const QString charset = textCharset();
  const bool isUtf8 = charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0 ||
                      charset.compare(QLatin1String("utf8"), Qt::CaseInsensitive) == 0;
  try {
    dataaccess::writeFileAtomically(path, isUtf8 ? utf8 : encodeText(QString::fromUtf8(utf8)),
                                    QStringLiteral("ExportRecordset"));
  } catch (const dataaccess::Error&) {
    throw dataaccess::Error(dataaccess::err::kAppBase, QStringLiteral("ExportRecordset"),
                            QStringLiteral("Error writing to file '%1'").arg(path));
  }
}

void ExportRecordset(dataaccess::Recordset* rs, ExportFormat format, const QString& name) {
  if (!rs) return;
  int filterIndex = ExportFilterIndex(format);
  int flags = 2050;  // ask before replacing; the folder must exist
  const QString path = ShowFileDialog(QString::fromLatin1(kExportDialogTitle), name,
                                      QString::fromLatin1(kExportDialogFilter), filterIndex, flags, QString(), 2);
  if (path.isEmpty()) return;
  WriteExport(*rs, format, path, state().PageEncoding);
}

}  // namespace viewer
