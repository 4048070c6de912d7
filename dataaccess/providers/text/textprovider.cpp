#include "textprovider.h"

#include "../../error.h"
#include "../../fileprovider.h"
#include "../../tablefolder.h"
#include "../../values.h"
#include "schemaini.h"
#include "textreader.h"

#include <QDir>
#include <QFileInfo>

namespace dataaccess {

namespace {

class TextProvider : public FileProvider {
 public:
  QString name() const override { return QStringLiteral("text"); }

  void open(const ConnectionString& cs, const OpenOptions&) override {
    QString folder = cs.value(QStringLiteral("DBQ"));
    if (folder.isEmpty()) folder = cs.value(QStringLiteral("DefaultDir"));
    if (folder.isEmpty())
      throw Error(err::kProviderFailure, QStringLiteral("Connection.Open"),
                  QStringLiteral("The connection string names no folder (DBQ=) of text files."));
    folder_ = tablefolder::open(
        folder, QStringLiteral("'%1' is not a folder: the text driver reads the files of a folder.").arg(folder));
    extensions_.clear();
    QString list = cs.value(QStringLiteral("Extensions"));
    if (!cs.contains(QStringLiteral("Extensions"))) list = QStringLiteral("txt,csv,tab,asc");
    for (const QString& e : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      QString ext = e.trimmed().toLower();
      if (ext.startsWith(QLatin1String("*."))) ext.remove(0, 2);
      if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
      if (!ext.isEmpty()) extensions_.append(ext);
    }
  }

  SourceProperties sourceProperties() const override {
    return {QStringLiteral("Lumbrook Text Driver"), QStringLiteral("TEXT"), QVariant(QStringLiteral("1.0")),
            QVariant(folder_), QVariant(QStringLiteral("Admin"))};
  }

 protected:
  std::vector<TableEntry> listTables() override {
    // Listed afresh each time: files (a .log copy) may appear while connected.
    std::vector<TableEntry> tables;
    for (const QFileInfo& fi : tablefolder::tableFiles(folder_, extensions_)) {
      TableEntry t;
      t.name = fi.completeBaseName() + QLatin1Char('#') + fi.suffix();
      t.type = QStringLiteral("TABLE");
      // Naive local time, as every date of the data-access layer.
      const QDateTime modified = fi.lastModified();
      t.modified = makeDateTime(modified.date(), modified.time());
      tables.push_back(std::move(t));
    }
    return tables;
  }

  std::shared_ptr<RowStore> loadTable(const TableEntry& table) override {
    const QString fileName = fileNameOf(table);
    const text::TextSchema schema = text::readSchemaIni(folder_, fileName);
    auto rows = text::readTextTable(QDir(folder_).filePath(fileName), schema);
    rows->baseTable = table.name;
    return rows;
  }

  std::shared_ptr<RowStore> loadTableHead(const TableEntry& table, int64_t maxRows) override {
    const QString fileName = fileNameOf(table);
    const text::TextSchema schema = text::readSchemaIni(folder_, fileName);
    auto rows = text::readTextTableHead(QDir(folder_).filePath(fileName), schema, maxRows);
    rows->baseTable = table.name;
    return rows;
  }

  QStringList filesOf(const TableEntry& table) const override {
    QStringList files{QDir(folder_).filePath(fileNameOf(table))};
    const QString ini = text::schemaIniPath(folder_);
    files.append(ini.isEmpty() ? QDir(folder_).filePath(QStringLiteral("SCHEMA.INI")) : ini);
    return files;
  }

  SqlDialect dialect() const override { return SqlDialect::Text; }

 private:
  static QString fileNameOf(const TableEntry& table) {
    QString name = table.name;
    const qsizetype hash = name.lastIndexOf(QLatin1Char('#'));
    if (hash >= 0) name[hash] = QLatin1Char('.');
    return name;
  }

  QString folder_;
  QStringList extensions_;
};

}  // namespace

std::unique_ptr<Provider> makeTextProvider() { return std::make_unique<TextProvider>(); }

}  // namespace dataaccess
