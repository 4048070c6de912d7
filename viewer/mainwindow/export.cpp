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

// The header line: the field names joined by the separator, each quoted
// like a value when it holds the separator, a quote or a line break.
QByteArray DelimitedHeaderUtf8(dataaccess::Recordset& rs, const QByteArray& sep) {
  QByteArray out;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    if (i) out.append(sep);
    const qsizetype start = out.size();
    out.append(rs.Fields(i).Name().toUtf8());
    dataaccess::quoteDelimitedCell(out, start, sep);
  }
  out.append("\r\n");
  return out;
}

bool IsUtf8Charset() {
  const QString charset = textCharset();
  return charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0 ||
         charset.compare(QLatin1String("utf8"), Qt::CaseInsensitive) == 0;
}

// The delimited text formats written piece by piece as the rows are
// formatted, in the locale's character set. Returns false when the device
// does not take every byte.
bool StreamDelimited(dataaccess::Recordset& rs, const QString& separator, QIODevice& device) {
  const bool utf8 = IsUtf8Charset();
  bool ok = true;
  auto write = [&](const QByteArray& piece) {
    if (!ok) return;
    // Each piece ends at a row's end, so no character is split between two.
    const QByteArray bytes = utf8 ? piece : encodeText(QString::fromUtf8(piece));
    ok = device.write(bytes) == bytes.size();
  };
  write(DelimitedHeaderUtf8(rs, separator.toUtf8()));
  rs.WriteDelimitedRowsUtf8(write, separator, QStringLiteral("\r\n"), QString());
  return ok;
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
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  WriteExportTo(rs, format, buffer, encoding);
  return bytes;
}

void WriteExportTo(dataaccess::Recordset& rs, ExportFormat format, QIODevice& out, const QString& encoding) {
  KeepPosition keep(rs);
  if (format == txt_tab || format == txt_comma) {
    if (!StreamDelimited(rs, format == txt_tab ? QStringLiteral("\t") : QStringLiteral(","), out))
      throw dataaccess::Error(dataaccess::err::kAppBase, QStringLiteral("ExportRecordset"),
                              QStringLiteral("The export could not be written: %1").arg(out.errorString()));
  } else if (format == xml_row) {
    rs.Save(out);
  } else {
    WriteRecordsetXml(rs, format == xml_ent ? 103 : 101, encoding, out);
  }
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
  // Written as it is made into a new file that replaces the old one only
  // when complete: a failure leaves an earlier file as it was.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) throw writeFailed();
  try {
    WriteExportTo(rs, format, file, encoding);
  } catch (const dataaccess::Error&) {
    if (file.error() != QFileDevice::NoError) throw writeFailed();
    throw;
  }
  if (file.error() != QFileDevice::NoError || !file.commit()) throw writeFailed();
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
