#include "xbasetestutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace dataaccess;

namespace xbasetest {

QString folderConnection(const QString& folder) {
  return QStringLiteral("Provider=MSDASQL.1;Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;DBQ=%1/;"
                        "Exclusive=No;BackgroundFetch=Yes;Null=Yes;Deleted=Yes;")
      .arg(folder);
}

QString containerConnection(const QString& dbc) {
  return QStringLiteral("Driver={Microsoft Visual FoxPro Driver};SourceType=DBC;SourceDB=%1;Exclusive=No;"
                        "BackgroundFetch=Yes;Null=Yes;Deleted=Yes;")
      .arg(dbc);
}

std::shared_ptr<Connection> connect(const QString& connectionString) {
  auto cn = std::make_shared<Connection>();
  cn->Open(connectionString);
  return cn;
}

std::unique_ptr<Recordset> openTable(const std::shared_ptr<Connection>& cn, const QString& table) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(QStringLiteral("SELECT * FROM %1").arg(table), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs;
}

QByteArray vfpTable(const std::vector<VfpField>& fields, const std::vector<QByteArray>& records, int ldid) {
  QByteArray out(32, '\0');
  int recordLength = 1;
  for (const VfpField& f : fields) recordLength += f.width;
  const int headerLength = 32 + 32 * int(fields.size()) + 1 + 263;
  out[0] = 0x30;
  out[1] = 124;
  out[2] = 1;
  out[3] = 2;
  out[4] = char(records.size() & 0xFF);
  out[5] = char((records.size() >> 8) & 0xFF);
  out[8] = char(headerLength & 0xFF);
  out[9] = char(headerLength >> 8);
  out[10] = char(recordLength & 0xFF);
  out[11] = char(recordLength >> 8);
  out[29] = char(ldid);
  int offset = 1;
  for (const VfpField& f : fields) {
    QByteArray d(32, '\0');
    const QByteArray name(f.name);
    d.replace(0, name.size(), name);
    d[11] = f.type;
    d[12] = char(offset & 0xFF);
    d[13] = char(offset >> 8);
    d[16] = char(f.width);
    d[17] = char(f.decimals);
    d[18] = char(f.flags);
    out += d;
    offset += f.width;
  }
  out += '\x0D';
  out += QByteArray(263, '\0');
  for (const QByteArray& r : records) {
    QByteArray rec = r.startsWith('*') ? r.mid(1) : r;
    rec = rec.leftJustified(recordLength - 1, '\0', true);
    out += (r.startsWith('*') ? '*' : ' ');
    out += rec;
  }
  out += '\x1A';
  return out;
}

void copyFiles(const QString& fromFolder, const QString& toFolder, const QString& prefix) {
  for (const QString& n : QDir(fromFolder).entryList(QDir::Files)) {
    if (!prefix.isEmpty() && !n.startsWith(prefix, Qt::CaseInsensitive)) continue;
    const QString target = QDir(toFolder).filePath(n);
    QFile::copy(QDir(fromFolder).filePath(n), target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
  }
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace xbasetest
