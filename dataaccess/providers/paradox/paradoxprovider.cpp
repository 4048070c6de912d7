#include "paradoxprovider.h"

#include "paradoxtable.h"

#include "../../error.h"
#include "../../filetransaction.h"
#include "../../fileprovider.h"
#include "../../tablefolder.h"
#include "../../values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <set>

namespace dataaccess {

namespace {

const QString kUpdate = QStringLiteral("Paradox.UpdateBatch");

class ParadoxProvider : public FileProvider {
 public:
  QString name() const override { return QStringLiteral("paradox"); }

  void open(const ConnectionString& cs, const OpenOptions&) override {
    close();
    // DefaultDir sits inside the quoted extended properties; accept it at the
    // top level too.
    QString dir = ConnectionString::parse(cs.value(QStringLiteral("Extended Properties"))).value(QStringLiteral("DefaultDir"));
    if (dir.isEmpty()) dir = cs.value(QStringLiteral("DefaultDir"));
    if (dir.isEmpty()) dir = cs.value(QStringLiteral("DBQ"));
    folder_ = tablefolder::open(dir);
  }

  void close() override {
    FileProvider::close();
    folder_.clear();
  }

  std::optional<QVariant> property(const QString& name) const override {
    if (name == QLatin1String("Provider Friendly Name")) return QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers");
    if (name == QLatin1String("DBMS Name")) return QStringLiteral("PARADOX");
    if (name == QLatin1String("Data Source")) return folder_;
    if (name == QLatin1String("User Name")) return QStringLiteral("Admin");
    return std::nullopt;
  }

  void applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) override;
  std::vector<QVariant> reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) override;

 protected:
  std::vector<TableEntry> listTables() override {
    std::vector<TableEntry> out;
    for (const QFileInfo& fi : tablefolder::tableFiles(folder_, {QStringLiteral("db")})) {
      TableEntry e;
      e.name = fi.completeBaseName();
      e.type = QStringLiteral("TABLE");
      out.push_back(e);
    }
    return out;
  }

  std::shared_ptr<RowStore> loadTable(const TableEntry& t) override { return ParadoxTable(pathOf(t.name)).load(); }

  QStringList filesOf(const TableEntry& t) const override {
    const QString path = pathOf(t.name);
    QStringList files{path};
    const QString mb = tablefolder::findBeside(path, {QStringLiteral("mb")});
    if (!mb.isEmpty()) files << mb;
    return files;
  }

  SqlDialect dialect() const override { return SqlDialect::Paradox; }

 private:
  QString pathOf(const QString& table) const {
    const QString path = tablefolder::tablePath(folder_, table, {QStringLiteral("db")});
    if (!path.isEmpty()) return path;
    throw Error(err::kTableNotFound, QStringLiteral("Paradox"),
                QStringLiteral("The file of table '%1' could not be found.").arg(table));
  }

  TableEntry editableTable(const RowStore& rows, const QString& source) {
    if (rows.baseTable.isEmpty() || rows.rowKeys().size() != size_t(rows.rowCount()))
      throw Error(err::kFeatureNotAvailable, source,
                  QStringLiteral("These rows cannot be updated: they do not come from one table."));
    return findTable(rows.baseTable);
  }

  static std::vector<int> columnMap(const RowStore& rows, const ParadoxTable& table) {
    std::vector<int> map(size_t(rows.fieldCount()), -1);
    for (int i = 0; i < rows.fieldCount(); ++i)
      for (int c = 0; c < int(table.columns().size()); ++c)
        if (table.columns()[size_t(c)].name.compare(rows.field(i).name, Qt::CaseInsensitive) == 0) {
          map[size_t(i)] = c;
          break;
        }
    return map;
  }

  QString folder_;
};

void ParadoxProvider::applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) {
  if (changes.empty()) return;
  const TableEntry t = editableTable(rows, kUpdate);
  ParadoxTable table(pathOf(t.name));
  const std::vector<int> map = columnMap(rows, table);

  // Every record is checked and rebuilt in memory before anything is written.
  struct Prepared {
    qint64 position;
    QByteArray raw;
    std::vector<std::pair<int, QByteArray>> blobs;
  };
  std::vector<Prepared> prepared;
  std::set<int64_t> seen;
  for (const RowChange& ch : changes) {
    if (ch.rowKey < 0 || !seen.insert(ch.rowKey).second)
      throw Error(err::kInvalidArgument, kUpdate, QStringLiteral("A changed row has no record of its own."));
    Prepared p;
    p.raw = table.record(int(ch.rowKey), &p.position);
    for (int i = 0; i < rows.fieldCount() && i < int(ch.original.size()); ++i) {
      if (map[size_t(i)] < 0) continue;
      if (!sameValue(table.value(p.raw, map[size_t(i)]), ch.original[size_t(i)]))
        throw Error(err::kRowConflict, kUpdate,
                    QStringLiteral("Row cannot be located for updating: record %1 of table '%2' was changed by "
                                   "another program since it was read (field '%3'). Nothing was saved.")
                        .arg(ch.rowKey + 1)
                        .arg(t.name, rows.field(i).name));
    }
    for (int f : ch.changedFields) {
      const int col = f >= 0 && f < int(map.size()) ? map[size_t(f)] : -1;
      if (col < 0 || size_t(f) >= ch.current.size())
        throw Error(err::kInvalidArgument, kUpdate, QStringLiteral("A changed field is not a field of the table."));
      const PxColumn& c = table.columns()[size_t(col)];
      if (col < table.keyFields())
        throw Error(err::kFeatureNotAvailable, kUpdate,
                    QStringLiteral("Field '%1' is part of the primary key of table '%2', whose index (.PX) Lumbrook "
                                   "does not maintain; the change was refused.")
                        .arg(c.name, t.name));
      QByteArray blob;
      table.encode(p.raw, col, ch.current[size_t(f)], &blob);
      if (!blob.isEmpty()) p.blobs.emplace_back(col, blob);
    }
    prepared.push_back(std::move(p));
  }

  bool mbNeeded = false;
  for (const Prepared& p : prepared) mbNeeded = mbNeeded || !p.blobs.empty();
  FileTransaction tx(kUpdate);
  QFile out(tx.stage(table.path()));
  QFile mb;
  if (mbNeeded) mb.setFileName(tx.stage(table.mbPath()));
  if (!out.open(QIODevice::ReadWrite) || (mbNeeded && !mb.open(QIODevice::ReadWrite)))
    throw Error(err::kProviderFailure, kUpdate, QStringLiteral("The working copy of '%1' could not be opened.").arg(table.path()));
  for (Prepared& p : prepared) {
    for (const auto& [col, data] : p.blobs) {
      QString error;
      const uint32_t offset = MbFile::append(mb, data, 1, &error);
      if (offset == 0) throw Error(err::kProviderFailure, kUpdate, error);
      table.setBlobPointer(p.raw, col, offset, uint32_t(data.size()));
    }
    if (p.position <= 0 || !out.seek(p.position) || out.write(p.raw) != p.raw.size())
      throw Error(err::kProviderFailure, kUpdate,
                  QStringLiteral("The table file '%1' could not be written: %2").arg(table.path(), out.errorString()));
  }
  if (!out.flush() || (mbNeeded && !mb.flush()))
    throw Error(err::kProviderFailure, kUpdate, QStringLiteral("The table file '%1' could not be written.").arg(table.path()));
  out.close();
  mb.close();
  tx.commit();
  invalidate(t.name);
}

std::vector<QVariant> ParadoxProvider::reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) {
  const TableEntry t = editableTable(rows, QStringLiteral("Paradox.Resync"));
  ParadoxTable table(pathOf(t.name));
  const std::vector<int> map = columnMap(rows, table);
  const QByteArray raw = table.record(int(rows.rowKey(row)));
  std::vector<QVariant> out(size_t(rows.fieldCount()));
  for (int i = 0; i < rows.fieldCount(); ++i)
    out[size_t(i)] = map[size_t(i)] >= 0 ? table.value(raw, map[size_t(i)])
                                         : (size_t(i) < original.size() ? original[size_t(i)] : QVariant());
  return out;
}

}  // namespace

std::unique_ptr<Provider> makeParadoxProvider() { return std::make_unique<ParadoxProvider>(); }

}  // namespace dataaccess
