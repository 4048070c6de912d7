#include "jetprovider.h"

#include "../../error.h"
#include "../../fileprovider.h"
#include "../../sqltranslate.h"
#include "mdbfile.h"
#include "querydef.h"

#include <QFileInfo>
#include <QSet>

namespace dataaccess {

namespace {

class JetProvider final : public FileProvider {
 public:
  QString name() const override { return QStringLiteral("jet"); }

  void open(const ConnectionString& cs, const OpenOptions& options) override {
    QString path = cs.value(QStringLiteral("Data Source"));
    if (path.isEmpty()) path = cs.value(QStringLiteral("Dbq"));
    if (path.isEmpty())
      throw Error(err::kInvalidArgument, QStringLiteral("Connection.Open"),
                  QStringLiteral("The connection string names no database (Data Source=...)."));
    path_ = QFileInfo(path).absoluteFilePath();
    userName_ = options.userName.isEmpty() ? cs.value(QStringLiteral("User ID")) : options.userName;
    if (userName_.isEmpty()) userName_ = QStringLiteral("Admin");
    reopen();
  }

  void close() override {
    FileProvider::close();
    file_.reset();
  }

  SourceProperties sourceProperties() const override {
    return {QStringLiteral("Microsoft Jet 4.0 OLE DB Provider (Lumbrook, libmdb)"), QStringLiteral("MS Jet"),
            file_ ? QVariant(file_->versionText()) : QVariant(), QVariant(path_), QVariant(userName_)};
  }

  RowStorePtr openSchema(SchemaEnum schema, const QVariantList& restrictions) override {
    if (schema != adSchemaColumns) return FileProvider::openSchema(schema, restrictions);
    // Columns carry their default expressions and descriptions, which the
    // base's plain field list does not know.
    const QVariant tableRestriction = restrictions.size() > 2 ? restrictions[2] : QVariant();
    std::vector<ColumnEntry> entries;
    for (const TableEntry& t : listTables()) {
      if (tableRestriction.isValid() && !tableRestriction.isNull() && tableRestriction.toString() != t.name) continue;
      int ordinal = 0;
      if (t.type.endsWith(QLatin1String("VIEW"))) {
        // A saved query's columns are those of its rows; it is run only when
        // asked for by name, and one that cannot run has none.
        if (!tableRestriction.isValid() || tableRestriction.isNull()) continue;
        std::vector<FieldInfo> fields;
        try {
          fields = cachedTable(t.name)->fields();
        } catch (const Error&) {
        }
        for (const FieldInfo& f : fields) {
          ColumnEntry e;
          e.table = t.name;
          e.field = f;
          e.ordinal = ++ordinal;
          entries.push_back(std::move(e));
        }
        continue;
      }
      if (t.type != QLatin1String("TABLE") && t.type != QLatin1String("SYSTEM TABLE")) continue;
      for (const MdbFile::Column& c : current().columns(t.name)) {
        ColumnEntry e;
        e.table = t.name;
        e.field = c.field;
        e.ordinal = ++ordinal;
        e.defaultValue = c.defaultValue;
        e.description = c.description;
        entries.push_back(std::move(e));
      }
    }
    return makeColumnsRowset(entries, restrictions);
  }

 protected:
  std::vector<TableEntry> listTables() override {
    MdbFile& f = current();
    if (tables_.empty()) {
      for (const MdbFile::Object& o : f.objects()) {
        TableEntry t;
        t.name = o.name;
        switch (o.kind) {
          case MdbFile::Object::Kind::Table: t.type = QStringLiteral("TABLE"); break;
          case MdbFile::Object::Kind::SystemTable: t.type = QStringLiteral("SYSTEM TABLE"); break;
          case MdbFile::Object::Kind::Query:
            // Hidden queries (record sources of forms) are Access's own.
            t.type = o.name.startsWith(QLatin1Char('~')) ? QStringLiteral("SYSTEM VIEW") : QStringLiteral("VIEW");
            break;
          case MdbFile::Object::Kind::Linked: t.type = QStringLiteral("LINK"); break;
        }
        t.description = o.description;
        t.created = o.created;
        t.modified = o.modified;
        tables_.push_back(std::move(t));
      }
    }
    return tables_;
  }

  std::shared_ptr<RowStore> loadTable(const TableEntry& table) override {
    if (table.type.endsWith(QLatin1String("VIEW"))) return runSavedQuery(table.name);
    if (table.type == QLatin1String("LINK"))
      throw Error(err::kCommandError, QStringLiteral("Recordset.Open"),
                  QStringLiteral("The linked table '%1' lives in another database; open that database to see it.")
                      .arg(table.name));
    return current().readTable(table.name);
  }

  std::vector<FieldInfo> describeTable(const TableEntry& table) override {
    std::vector<FieldInfo> fields;
    if (table.type.endsWith(QLatin1String("TABLE")))
      for (const MdbFile::Column& c : current().columns(table.name)) fields.push_back(c.field);
    return fields;
  }

  QStringList filesOf(const TableEntry&) const override { return {path_}; }
  SqlDialect dialect() const override { return SqlDialect::Access; }

 private:
  // Rebuilds a saved select query's SQL and runs it on the SQL engine. The
  // saved queries it reads are run first, each once (the cache keeps their
  // rows), so that the engine never runs one statement inside another.
  std::shared_ptr<RowStore> runSavedQuery(const QString& name) {
    const QString key = name.toLower();
    if (running_.contains(key))
      throw Error(err::kCommandError, QStringLiteral("Recordset.Open"),
                  QStringLiteral("The saved query '%1' cannot be run: it reads itself through the queries it reads.").arg(name));
    running_.insert(key);
    struct Done {
      QSet<QString>& set;
      QString key;
      ~Done() { set.remove(key); }
    } done{running_, key};

    const QString statement = jet::rebuildQuerySql(name, current().queryRows(name));
    for (const sql::TableUse& use : sql::findTables(sql::tokenize(statement))) {
      for (const TableEntry& t : listTables())
        if (t.name.compare(use.name, Qt::CaseInsensitive) == 0 && t.type.endsWith(QLatin1String("VIEW"))) cachedTable(t.name);
    }
    try {
      return std::const_pointer_cast<RowStore>(execute(statement, adCmdText));
    } catch (const Error& e) {
      if (e.description().startsWith(QLatin1String("The saved query"))) throw;
      throw Error(e.number(), e.source(),
                  QStringLiteral("The saved query '%1' cannot be run: %2").arg(name, e.description()));
    }
  }

  // The open database, opened again when the file changed since (libmdb
  // reads pages lazily and would mix old and new pages otherwise).
  MdbFile& current() {
    const QFileInfo fi(path_);
    if (!file_ || fi.lastModified() != stamp_ || fi.size() != size_) reopen();
    return *file_;
  }

  void reopen() {
    file_.reset();
    tables_.clear();
    const QFileInfo fi(path_);
    stamp_ = fi.lastModified();
    size_ = fi.size();
    file_ = std::make_unique<MdbFile>(path_);
  }

  QString path_;
  QString userName_;
  std::unique_ptr<MdbFile> file_;
  std::vector<TableEntry> tables_;
  QSet<QString> running_;  // saved queries being run, lower-cased
  QDateTime stamp_;
  qint64 size_ = -1;
};

}  // namespace

std::unique_ptr<Provider> makeJetProvider() { return std::make_unique<JetProvider>(); }

}  // namespace dataaccess
