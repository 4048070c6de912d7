#include "connectionstring.h"

#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace dataaccess {

ConnectionString ConnectionString::parse(const QString& text) {
  ConnectionString cs;
  cs.text_ = text;
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    // Key up to "=" (or ";" for a key without value).
    qsizetype keyStart = i;
    while (i < n && text[i] != '=' && text[i] != ';') ++i;
    const QString key = text.mid(keyStart, i - keyStart).trimmed();
    QString value;
    if (i < n && text[i] == '=') {
      ++i;
      while (i < n && text[i] == ' ') ++i;
      if (i < n && (text[i] == '{' || text[i] == '"' || text[i] == '\'')) {
        const QChar close = text[i] == '{' ? QChar('}') : text[i];
        ++i;
        qsizetype start = i;
        while (i < n) {
          if (text[i] == close) {
            // A doubled closing character stands for itself.
            if (i + 1 < n && text[i + 1] == close && close != '}') {
              value += text.mid(start, i - start + 1);
              i += 2;
              start = i;
              continue;
            }
            break;
          }
          ++i;
        }
        value += text.mid(start, i - start);
        if (i < n) ++i;  // closing character
        while (i < n && text[i] != ';') ++i;
      } else {
        qsizetype start = i;
        while (i < n && text[i] != ';') ++i;
        value = text.mid(start, i - start).trimmed();
      }
    }
    if (i < n && text[i] == ';') ++i;
    if (!key.isEmpty()) cs.pairs_.append({key, value});
  }
  return cs;
}

QString ConnectionString::value(const QString& key) const {
  const QString wanted = key.trimmed();
  for (const auto& [k, v] : pairs_)
    if (k.compare(wanted, Qt::CaseInsensitive) == 0) return v;
  return {};
}

bool ConnectionString::contains(const QString& key) const {
  const QString wanted = key.trimmed();
  for (const auto& [k, v] : pairs_)
    if (k.compare(wanted, Qt::CaseInsensitive) == 0) return true;
  return false;
}

QString readDataLink(const QString& path) {
  const QString src = QStringLiteral("Connection.Open");
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, src, QStringLiteral("Cannot open the data link file '%1'.").arg(path));
  if (f.size() > 1024 * 1024)
    throw Error(err::kProviderFailure, src, QStringLiteral("The data link file '%1' is not valid.").arg(path));
  const QByteArray bytes = f.readAll();
  QString text;
  if (bytes.startsWith("\xFF\xFE")) {
    text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
  } else if (bytes.startsWith("\xFE\xFF")) {
    text = QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
  } else {
    QStringDecoder dec(QStringDecoder::Utf8);
    text = dec.decode(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    if (dec.hasError())
      throw Error(err::kProviderFailure, src, QStringLiteral("The data link file '%1' is not valid.").arg(path));
  }
  for (QString line : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) == 0)
      continue;
    if (!line.contains('='))
      throw Error(err::kProviderFailure, src, QStringLiteral("The data link file '%1' is not valid.").arg(path));
    return line;
  }
  throw Error(err::kProviderFailure, src, QStringLiteral("The data link file '%1' holds no connection string.").arg(path));
}

namespace {
QStringList& trustedFolders() {
  static QStringList folders;
  return folders;
}
}  // namespace

void setTrustedDataLinkFolders(const QStringList& folders) {
  QStringList canonical;
  for (const QString& f : folders) {
    const QString c = QFileInfo(f.trimmed()).canonicalFilePath();
    if (!f.trimmed().isEmpty() && !c.isEmpty()) canonical << c;
  }
  trustedFolders() = canonical;
}

bool isTrustedDataLink(const QString& linkFile) {
  if (linkFile.isEmpty()) return false;
  const QString file = QFileInfo(linkFile).canonicalFilePath();
  if (file.isEmpty()) return false;
  for (const QString& folder : trustedFolders())
    if (file.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/'))) return true;
  return false;
}

QString providerNameFor(const ConnectionString& csIn, ConnectionString* resolved) {
  ConnectionString cs = csIn;
  const QString link = cs.value(QStringLiteral("File Name"));
  if (!link.isEmpty()) cs = ConnectionString::parse(readDataLink(link));
  if (resolved) *resolved = cs;

  const QString provider = cs.value(QStringLiteral("Provider")).trimmed();
  const QString driver = cs.value(QStringLiteral("Driver")).trimmed();
  auto starts = [](const QString& s, const char* prefix) {
    return s.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
  };
  if (starts(provider, "Microsoft JET") || starts(provider, "Microsoft.Jet.OLEDB") || starts(provider, "Microsoft.ACE.OLEDB"))
    return QStringLiteral("jet");
  if (starts(provider, "MSPERSIST")) return QStringLiteral("persist");
  if (!driver.isEmpty()) {
    if (starts(driver, "Microsoft Excel Driver")) return QStringLiteral("excel");
    if (starts(driver, "Microsoft Visual FoxPro Driver")) return QStringLiteral("xbase");
    if (starts(driver, "Microsoft Text Driver")) return QStringLiteral("text");
    if (starts(driver, "Microsoft Paradox Driver")) return QStringLiteral("paradox");
    return QStringLiteral("odbc");
  }
  if (cs.contains(QStringLiteral("DSN"))) return QStringLiteral("odbc");
  // A data link made for an ODBC source keeps the ODBC string in
  // "Extended Properties" (Provider=MSDASQL.1;Extended Properties="DSN=...").
  if (provider.isEmpty() || starts(provider, "MSDASQL")) {
    const ConnectionString inner = ConnectionString::parse(cs.value(QStringLiteral("Extended Properties")));
    if (inner.contains(QStringLiteral("Driver")) || inner.contains(QStringLiteral("DSN"))) return QStringLiteral("odbc");
  }
  if (provider.isEmpty() || starts(provider, "MSDASQL"))
    throw Error(err::kProviderFailure, QStringLiteral("Connection.Open"),
                QStringLiteral("Data source name not found and no default driver specified."));
  throw Error(err::kProviderNotFound, QStringLiteral("Connection.Open"),
              QStringLiteral("Provider cannot be found. It may not be properly installed. (%1)").arg(provider));
}

}  // namespace dataaccess
