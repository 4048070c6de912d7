#include "xbaseprovider.h"

#include "dbccontainer.h"
#include "dbftable.h"

#include "../../error.h"
#include "../../filetransaction.h"
#include "../../fileprovider.h"
#include "../../recordedit.h"
#include "../../tablefolder.h"
#include "../../values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <set>

namespace dataaccess {

namespace {

const QString kUpdate = QStringLiteral("XBase.UpdateBatch");

// True when an index file of the table (.cdx, .mdx, .idx) names the field:
// its key expressions are stored as plain text. Conservative on purpose:
// Lumbrook does not maintain those indexes, so an edit that could make one
// stale is refused.
QString indexNaming(const QString& tablePath, const QString& fieldName) {
  const QFileInfo fi(tablePath);
  const QString base = fi.completeBaseName();
  const QRegularExpression word(QStringLiteral("(^|[^A-Za-z0-9_])%1($|[^A-Za-z0-9_])").arg(QRegularExpression::escape(fieldName)),
                                QRegularExpression::CaseInsensitiveOption);
  for (const QString& entry : fi.absoluteDir().entryList(QDir::Files)) {
    const QFileInfo e(entry);
    const QString ext = e.suffix().toLower();
    if (e.completeBaseName().compare(base, Qt::CaseInsensitive) != 0) continue;
    if (ext != QLatin1String("cdx") && ext != QLatin1String("mdx") && ext != QLatin1String("idx")) continue;
    QFile f(fi.absoluteDir().absoluteFilePath(entry));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QString text = QString::fromLatin1(f.read(16 << 20));
    if (text.contains(word)) return entry;
  }
  return {};
}

class XBaseProvider : public FileProvider {
 public:
  QString name() const override { return QStringLiteral("xbase"); }

  void open(const ConnectionString& cs, const OpenOptions&) override {
    close();
    // Deleted=Yes (the viewer's setting) hides deleted records; No shows them.
    showDeleted_ = cs.value(QStringLiteral("Deleted")).trimmed().compare(QLatin1String("No"), Qt::CaseInsensitive) == 0;
    const QString type = cs.value(QStringLiteral("SourceType")).trimmed();
    if (type.compare(QLatin1String("DBC"), Qt::CaseInsensitive) == 0) {
      const QString dbc = cs.value(QStringLiteral("SourceDB"));
      if (dbc.isEmpty())
        throw Error(err::kProviderFailure, QStringLiteral("Connection.Open"),
                    QStringLiteral("The connection string names no database container (SourceDB=)."));
      container_ = std::make_unique<DbcContainer>(dbc);
      folder_ = QFileInfo(dbc).absolutePath();
      dataSource_ = dbc;
    } else {
      QString dir = cs.value(QStringLiteral("DBQ"));
      if (dir.isEmpty()) dir = cs.value(QStringLiteral("SourceDB"));
      folder_ = tablefolder::open(dir);
      dataSource_ = dir;
    }
  }

  void close() override {
    FileProvider::close();
    container_.reset();
    folder_.clear();
  }

  void applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) override;
  std::vector<QVariant> reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) override;

 protected:
  SourceProperties sourceProperties() const override {
    return {QStringLiteral("Microsoft OLE DB Provider for ODBC Drivers"), QStringLiteral("Visual FoxPro"), std::nullopt,
            QVariant(dataSource_), QVariant(QString())};
  }

  std::vector<TableEntry> listTables() override {
    std::vector<TableEntry> out;
    if (container_) {
      for (const DbcContainer::Table& t : container_->tables()) out.push_back(entry(t.name, QStringLiteral("TABLE")));
      for (const DbcContainer::View& v : container_->views()) out.push_back(entry(v.name, QStringLiteral("VIEW")));
      return out;
    }
    return tablefolder::tableEntries(folder_, {QStringLiteral("dbf")});
  }

  std::shared_ptr<RowStore> loadTable(const TableEntry& t) override {
    if (t.type == QLatin1String("VIEW")) return loadView(t);
    return openTable(t)->load(showDeleted_);
  }

  QStringList filesOf(const TableEntry& t) const override {
    if (t.type == QLatin1String("VIEW")) {
      QStringList files = container_ ? container_->files() : QStringList();
      if (container_)
        for (const DbcContainer::Table& ct : container_->tables()) files << ct.path;
      return files;
    }
    const QString path = pathOf(t.name);
    QStringList files{path};
    const QString memo = tablefolder::findBeside(path, {QStringLiteral("fpt"), QStringLiteral("dbt")});
    if (!memo.isEmpty()) files << memo;
    return files;
  }

  SqlDialect dialect() const override { return SqlDialect::XBase; }

 private:
  static TableEntry entry(const QString& name, const QString& type) {
    TableEntry e;
    e.name = name;
    e.type = type;
    return e;
  }

  QString pathOf(const QString& table) const {
    if (container_) {
      for (const DbcContainer::Table& t : container_->tables())
        if (t.name.compare(table, Qt::CaseInsensitive) == 0) return t.path;
      return {};
    }
    return tablefolder::tablePath(folder_, table, {QStringLiteral("dbf")});
  }

  std::unique_ptr<DbfTable> openTable(const TableEntry& t) const {
    const QString path = pathOf(t.name);
    if (path.isEmpty() || !QFileInfo::exists(path))
      throw Error(err::kTableNotFound, QStringLiteral("XBase"),
                  QStringLiteral("The file of table '%1' could not be found.").arg(t.name));
    auto table = std::make_unique<DbfTable>(path);
    if (container_)
      for (const DbcContainer::Table& ct : container_->tables())
        if (ct.name.compare(t.name, Qt::CaseInsensitive) == 0) table->setColumnNames(ct.fieldNames);
    return table;
  }

  std::shared_ptr<RowStore> loadView(const TableEntry& t) {
    QString statement;
    for (const DbcContainer::View& v : container_->views())
      if (v.name.compare(t.name, Qt::CaseInsensitive) == 0) statement = v.statement;
    // "database!table" names the container's own tables.
    const QString db = QFileInfo(container_->path()).completeBaseName();
    statement.replace(QRegularExpression(QStringLiteral("\\b%1!").arg(QRegularExpression::escape(db)),
                                         QRegularExpression::CaseInsensitiveOption),
                      QString());
    if (statement.isEmpty() || statement.contains(QLatin1Char('!')) || openingViews_.count(t.name.toLower()))
      throw Error(err::kCommandError, QStringLiteral("XBase"),
                  QStringLiteral("The view '%1' cannot be opened: its statement is not a plain SELECT over the "
                                 "container's tables.")
                      .arg(t.name));
    openingViews_.insert(t.name.toLower());
    RowStorePtr result;
    try {
      result = execute(statement, adCmdText);
    } catch (...) {
      openingViews_.erase(t.name.toLower());
      throw;
    }
    openingViews_.erase(t.name.toLower());
    auto copy = std::make_shared<RowStore>(result->fields());
    std::vector<QVariant> row(size_t(result->fieldCount()));
    for (int64_t r = 0; r < result->rowCount(); ++r) {
      for (int f = 0; f < result->fieldCount(); ++f) row[size_t(f)] = result->value(r, f);
      copy->appendRow(row);
    }
    return copy;
  }

  // Views of a container are read through the SQL engine and cannot be
  // written back.
  TableEntry editableTable(const RowStore& rows, const QString& source) {
    const TableEntry t = FileProvider::editableTable(rows, source);
    if (t.type != QLatin1String("TABLE"))
      throw Error(err::kFeatureNotAvailable, source, QStringLiteral("The view '%1' cannot be updated.").arg(t.name));
    return t;
  }

  std::unique_ptr<DbcContainer> container_;
  QString folder_;
  QString dataSource_;
  std::set<QString> openingViews_;
  bool showDeleted_ = false;
};

void XBaseProvider::applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) {
  if (changes.empty()) return;
  const TableEntry t = editableTable(rows, kUpdate);
  std::unique_ptr<DbfTable> table = openTable(t);
  const std::vector<int> map = recordedit::columnMap(rows, table->columns());

  // First every record is checked and rebuilt in memory; nothing is written
  // unless the whole batch can be.
  struct Prepared {
    int rec;
    std::string raw;
    std::vector<std::pair<int, QByteArray>> memos;
  };
  std::vector<Prepared> prepared;
  std::set<int64_t> seen;
  for (const RowChange& ch : changes) {
    recordedit::claimRecord(seen, ch, kUpdate);
    const int rec = int(ch.rowKey);
    const char* raw = table->record(rec);
    if (DbfTable::isDeleted(raw) && !showDeleted_)
      throw Error(err::kRowConflict, kUpdate,
                  QStringLiteral("Record %1 of table '%2' was deleted by another program; it was not saved.")
                      .arg(rec + 1)
                      .arg(t.name));
    Prepared p{rec, std::string(raw, size_t(table->recordLength())), {}};
    recordedit::checkUnchanged(
        rows, ch, map, [&](int col) { return table->value(p.raw.data(), col, rec); }, t.name, kUpdate);
    for (int f : ch.changedFields) {
      const int col = recordedit::changedColumn(ch, f, map, kUpdate);
      const DbfColumn& c = table->columns()[size_t(col)];
      const QString index = indexNaming(table->path(), c.fileName);
      if (!index.isEmpty())
        throw Error(err::kFeatureNotAvailable, kUpdate,
                    QStringLiteral("Field '%1' is part of an index of table '%2' (%3), which Lumbrook does not "
                                   "maintain; the change was refused.")
                        .arg(c.name, t.name, index));
      if (c.isMemo()) {
        QByteArray data;
        table->encode(p.raw, col, ch.current[size_t(f)], &data);
        p.memos.emplace_back(col, data);
      } else {
        table->encode(p.raw, col, ch.current[size_t(f)], nullptr);
      }
    }
    prepared.push_back(std::move(p));
  }

  // Then the changes go into working copies that replace the files at once.
  bool memoNeeded = false;
  for (const Prepared& p : prepared)
    for (const auto& m : p.memos)
      if (!m.second.isEmpty()) memoNeeded = true;
  FileTransaction tx(kUpdate);
  const QString tableCopy = tx.stage(table->path());
  QFile memo;
  if (memoNeeded) {
    memo.setFileName(tx.stage(table->memoPath()));
    if (!memo.open(QIODevice::ReadWrite))
      throw Error(err::kProviderFailure, kUpdate,
                  QStringLiteral("The memo file '%1' could not be written: %2").arg(table->memoPath(), memo.errorString()));
  }
  {
    DbfTable out(tableCopy, true);
    for (Prepared& p : prepared) {
      for (const auto& [col, data] : p.memos) {
        uint32_t block = 0;
        if (!data.isEmpty()) {
          QString error;
          block = MemoFile::append(memo, table->memoKind(), data,
                                   table->columns()[size_t(col)].info.type == adLongVarChar, &error);
          if (block == 0) throw Error(err::kProviderFailure, kUpdate, error);
        }
        table->setMemoPointer(p.raw, col, block);
      }
      out.writeRecord(p.rec, p.raw);
    }
    out.close();
  }
  if (memoNeeded && !memo.flush())
    throw Error(err::kProviderFailure, kUpdate,
                QStringLiteral("The memo file '%1' could not be written: %2").arg(table->memoPath(), memo.errorString()));
  memo.close();
  tx.commit();
  invalidate(t.name);
}

std::vector<QVariant> XBaseProvider::reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) {
  const TableEntry t = editableTable(rows, QStringLiteral("XBase.Resync"));
  std::unique_ptr<DbfTable> table = openTable(t);
  const int rec = int(rows.rowKey(row));
  const char* raw = table->record(rec);
  if (DbfTable::isDeleted(raw))
    throw Error(err::kRowConflict, QStringLiteral("XBase.Resync"),
                QStringLiteral("Record %1 of table '%2' was deleted by another program.").arg(rec + 1).arg(t.name));
  const std::string copy(raw, size_t(table->recordLength()));
  return recordedit::reread(rows, recordedit::columnMap(rows, table->columns()), original,
                            [&](int col) { return table->value(copy.data(), col, rec); });
}

}  // namespace

std::unique_ptr<Provider> makeXBaseProvider() { return std::make_unique<XBaseProvider>(); }

}  // namespace dataaccess
