#include "export.h"

#include "../datasource/paths.h"
#include "../datasource/sourcestate.h"
#include "../prompts.h"
#include "dataaccess/cellformat.h"
#include "dataaccess/error.h"
#include "dataaccess/filewrite.h"
#include "exportconverter.h"

#include <QBuffer>
#include <QSaveFile>

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
// large tables export without a wide-character copy of the whole text. Every
// row from the first is written; a value (or name) holding the separator, a
// quote or a line break is quoted so that other programs read it back whole.
QByteArray DelimitedUtf8(dataaccess::Recordset& rs, const QString& separator) {
  const QString crlf = QStringLiteral("\r\n");
  const QByteArray sep = separator.toUtf8();
  QByteArray out;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    if (i) out.append(sep);
    const qsizetype start = out.size();
    out.append(rs.Fields(i).Name().toUtf8());
    dataaccess::quoteDelimitedCell(out, start, sep);
  }
  out.append(crlf.toUtf8());
  rs.AppendDelimitedRowsUtf8(out, separator, crlf, QString());
  return out;
}

// The current record is where the user left it, whatever the writer did.
class KeepPosition {
 public:
  explicit KeepPosition(dataaccess::Recordset& rs) : rs_(rs), position_(rs.AbsolutePosition()) {}
  ~KeepPosition() {
    try {
      if (position_ >= 1) {
        rs_.setAbsolutePosition(position_);
      } else if (position_ == dataaccess::adPosEOF) {
        rs_.MoveLast();
        rs_.MoveNext();
      } else if (position_ == dataaccess::adPosBOF) {
        rs_.MoveFirst();
        rs_.MovePrevious();
      }
    } catch (...) {
    }
  }
  KeepPosition(const KeepPosition&) = delete;
  KeepPosition& operator=(const KeepPosition&) = delete;

 private:
  dataaccess::Recordset& rs_;
  int64_t position_;
};

}  // namespace

QByteArray ExportBytes(dataaccess::Recordset& rs, ExportFormat format, const QString& encoding) {
  KeepPosition keep(rs);
  QByteArray utf8;
  switch (format) {
    case xml_row: {
      QBuffer buffer(&utf8);
      buffer.open(QIODevice::WriteOnly);
      rs.Save(buffer);
      return utf8;
    }
    case xml_ent:
    case xml_attr: {
      // In the encoding the declaration names, so the two agree.
      QBuffer buffer(&utf8);
      buffer.open(QIODevice::WriteOnly);
      WriteRecordsetXml(rs, format == xml_ent ? 103 : 101, encoding, buffer);
      return utf8;
    }
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
  return isUtf8 ? utf8 : encodeText(QString::fromUtf8(utf8));
}

bool ExportStreams(ExportFormat format) { return format == xml_row || format == xml_ent || format == xml_attr; }

void WriteExportTo(dataaccess::Recordset& rs, ExportFormat format, QIODevice& out, const QString& encoding) {
  if (!ExportStreams(format)) {
    const QByteArray bytes = ExportBytes(rs, format, encoding);
    if (out.write(bytes) != bytes.size())
      throw dataaccess::Error(dataaccess::err::kAppBase, QStringLiteral("ExportRecordset"),
                              QStringLiteral("The export could not be written: %1").arg(out.errorString()));
    return;
  }
  KeepPosition keep(rs);
  if (format == xml_row)
    rs.Save(out);
  else
    WriteRecordsetXml(rs, format == xml_ent ? 103 : 101, encoding, out);
}

void WriteExport(dataaccess::Recordset& rs, ExportFormat format, const QString& path, const QString& encoding) {
  if (format == xml_row) {
    // The rowset writer streams into its own atomic file.
    rs.Save(path, dataaccess::adPersistXML);
    return;
  }
  const auto writeFailed = [&] {
    return dataaccess::Error(dataaccess::err::kAppBase, QStringLiteral("ExportRecordset"),
                             QStringLiteral("Error writing to file '%1'").arg(path));
  };
  if (ExportStreams(format)) {
    // Written as it is made into a new file that replaces the old one only
    // when complete: a failure leaves an earlier file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw writeFailed();
    WriteExportTo(rs, format, file, encoding);
    if (file.error() != QFileDevice::NoError || !file.commit()) throw writeFailed();
    return;
  }
  // Built whole before the file is touched: a failure leaves an earlier file as it was.
  const QByteArray bytes = ExportBytes(rs, format, encoding);
  try {
    dataaccess::writeFileAtomically(path, bytes, QStringLiteral("ExportRecordset"));
  } catch (const dataaccess::Error&) {
    throw writeFailed();
  }
}

void ExportRecordset(dataaccess::Recordset* rs, ExportFormat format, const QString& name) {
  if (!rs) return;
  int filterIndex = ExportFilterIndex(format);
  int flags = 2050;  // ask before replacing; the folder must exist
  const QString path = ShowFileDialog(QString::fromLatin1(kExportDialogTitle), name,
                                      QString::fromLatin1(kExportDialogFilter), filterIndex, flags, QString(), 2);
  if (path.isEmpty()) return;
  try {
    WriteExport(*rs, format, path, state().PageEncoding);
  } catch (const dataaccess::Error& err) {
    prompts().message(err.message(), Prompts::Exclamation);
  }
}

}  // namespace viewer
