#include "paradoxprovider.h"

#include "paradoxtable.h"

#include "../../error.h"
#include "../../filetransaction.h"
#include "../../fileprovider.h"
#include "../../recordedit.h"
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

  void applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) override;
  std::vector<QVariant> reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) override;

 protected:
  SourceProperties sourceProperties() const override {
    return {QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers"), QStringLiteral("PARADOX"), std::nullopt,
            QVariant(folder_), QVariant(QStringLiteral("Admin"))};
  }

  std::vector<TableEntry> listTables() override { return tablefolder::tableEntries(folder_, {QStringLiteral("db")}); }

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

  QString folder_;
};

void ParadoxProvider::applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) {
  if (changes.empty()) return;
  const TableEntry t = editableTable(rows, kUpdate);
  ParadoxTable table(pathOf(t.name));
  const std::vector<int> map = recordedit::columnMap(rows, table.columns());

  // Every record is checked and rebuilt in memory before anything is written.
  struct Prepared {
    qint64 position;
    QByteArray raw;
    std::vector<std::pair<int, QByteArray>> blobs;
  };
  std::vector<Prepared> prepared;
  std::set<int64_t> seen;
  for (const RowChange& ch : changes) {
    recordedit::claimRecord(seen, ch, kUpdate);
    Prepared p;
    p.raw = table.record(int(ch.rowKey), &p.position);
    recordedit::checkUnchanged(rows, ch, map, [&](int col) { return table.value(p.raw, col); }, t.name, kUpdate);
    for (int f : ch.changedFields) {
      const int col = recordedit::changedColumn(ch, f, map, kUpdate);
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
  const QByteArray raw = table.record(int(rows.rowKey(row)));
  return recordedit::reread(rows, recordedit::columnMap(rows, table.columns()), original,
                            [&](int col) { return table.value(raw, col); });
}

}  // namespace

std::unique_ptr<Provider> makeParadoxProvider() { return std::make_unique<ParadoxProvider>(); }

}  // namespace dataaccess
