#include "dbccontainer.h"

#include "dbftable.h"

#include "../../error.h"
#include "../../tablefolder.h"

#include <QDir>
#include <QFileInfo>
#include <map>

namespace dataaccess {

namespace {

struct Property {
  int id;
  QByteArray value;
};

// A property memo: entries of a 4-byte little-endian length (the whole
// entry), two bytes, a one-byte property id and the value.
std::vector<Property> parseProperties(const QByteArray& memo) {
  std::vector<Property> out;
  qsizetype pos = 0;
  while (pos + 7 <= memo.size()) {
    const char* p = memo.constData() + pos;
    const uint32_t len = uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 |
                         uint32_t(uchar(p[3])) << 24;
    if (len < 7 || len > uint32_t(memo.size() - pos)) break;
    QByteArray value(p + 7, qsizetype(len - 7));
    while (value.endsWith('\0')) value.chop(1);
    out.push_back({uchar(p[6]), value});
    pos += qsizetype(len);
  }
  return out;
}

}  // namespace

QString resolveInFolder(const QString& folder, const QString& name) {
  QString n = name;
  n.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const QString fileName = n.section(QLatin1Char('/'), -1);
  QDir dir(folder);
  // A relative folder inside the name is kept; a Windows drive is not.
  const QString sub = n.contains(QLatin1Char('/')) && !n.contains(QLatin1Char(':')) ? n.section(QLatin1Char('/'), 0, -2) : QString();
  if (!sub.isEmpty() && !sub.startsWith(QLatin1Char('/'))) {
    const QDir subDir(dir.filePath(sub));
    if (subDir.exists()) dir = subDir;
  }
  return tablefolder::findFile(dir.path(), fileName);
}

DbcContainer::DbcContainer(const QString& path) : path_(path) {
  const QFileInfo fi(path);
  if (!fi.exists() || !fi.isFile())
    throw Error(err::kProviderFailure, QStringLiteral("XBase"),
                QStringLiteral("The database container '%1' does not exist.").arg(path));
  DbfTable dbc(path);
  memoPath_ = dbc.memoPath();
  int idCol = -1, parentCol = -1, typeCol = -1, nameCol = -1, propCol = -1;
  for (int i = 0; i < int(dbc.columns().size()); ++i) {
    const QString n = dbc.columns()[size_t(i)].name.toUpper();
    if (n == QLatin1String("OBJECTID")) idCol = i;
    else if (n == QLatin1String("PARENTID")) parentCol = i;
    else if (n == QLatin1String("OBJECTTYPE")) typeCol = i;
    else if (n == QLatin1String("OBJECTNAME")) nameCol = i;
    else if (n == QLatin1String("PROPERTY")) propCol = i;
  }
  if (idCol < 0 || parentCol < 0 || typeCol < 0 || nameCol < 0 || propCol < 0)
    throw Error(err::kProviderFailure, QStringLiteral("XBase"),
                QStringLiteral("The file '%1' is not a database container: it lacks the object fields.").arg(path));

  struct Object {
    qlonglong parent;
    QString type, name;
    QByteArray property;
  };
  std::map<qlonglong, Object> objects;  // by object id, so children come in field order
  for (int rec = 0; rec < dbc.recordCount(); ++rec) {
    const char* raw = dbc.record(rec);
    if (DbfTable::isDeleted(raw)) continue;
    Object o;
    const qlonglong id = dbc.value(raw, idCol, rec).toLongLong();
    o.parent = dbc.value(raw, parentCol, rec).toLongLong();
    o.type = dbc.value(raw, typeCol, rec).toString().trimmed();
    o.name = dbc.value(raw, nameCol, rec).toString().trimmed();
    const QVariant prop = dbc.value(raw, propCol, rec);
    o.property = prop.typeId() == QMetaType::QByteArray ? prop.toByteArray() : prop.toString().toLatin1();
    objects[id] = std::move(o);
  }
  const QString folder = fi.absolutePath();
  for (const auto& [id, o] : objects) {
    if (o.type.compare(QLatin1String("Table"), Qt::CaseInsensitive) == 0) {
      Table t;
      t.name = o.name;
      QString file;
      for (const Property& p : parseProperties(o.property))
        if (p.id == 1) file = QString::fromLocal8Bit(p.value);
      if (file.isEmpty()) file = o.name + QStringLiteral(".dbf");
      t.path = resolveInFolder(folder, file);
      if (t.path.isEmpty()) t.path = QDir(folder).absoluteFilePath(file.section(QLatin1Char('\\'), -1));
      for (const auto& [cid, child] : objects)
        if (child.parent == id && child.type.compare(QLatin1String("Field"), Qt::CaseInsensitive) == 0)
          t.fieldNames << child.name;
      tables_.push_back(std::move(t));
    } else if (o.type.compare(QLatin1String("View"), Qt::CaseInsensitive) == 0) {
      View v;
      v.name = o.name;
      for (const Property& p : parseProperties(o.property)) {
        const QString s = QString::fromLocal8Bit(p.value).trimmed();
        if (s.startsWith(QLatin1String("select"), Qt::CaseInsensitive)) {
          v.statement = s;
          break;
        }
      }
      views_.push_back(std::move(v));
    }
  }
}

QStringList DbcContainer::files() const {
  QStringList f{path_};
  if (!memoPath_.isEmpty()) f << memoPath_;
  return f;
}

}  // namespace dataaccess
