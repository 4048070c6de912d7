#include "excelprovider.h"

#include "../../error.h"
#include "../../fileprovider.h"
#include "sheettable.h"
#include "workbook.h"

#include <QFileInfo>

namespace dataaccess {

namespace {

class ExcelProvider final : public FileProvider {
 public:
  QString name() const override { return QStringLiteral("excel"); }

  void open(const ConnectionString& cs, const OpenOptions& options) override {
    const QString path = cs.value(QStringLiteral("Dbq"));
    if (path.isEmpty())
      throw Error(err::kInvalidArgument, QStringLiteral("Connection.Open"),
                  QStringLiteral("The connection string names no workbook (Dbq=...)."));
    path_ = QFileInfo(path).absoluteFilePath();
    userName_ = options.userName.isEmpty() ? QStringLiteral("Admin") : options.userName;
    reload();
  }

  void close() override {
    FileProvider::close();
    workbook_ = Workbook();
  }

  SourceProperties sourceProperties() const override {
    return {QStringLiteral("Microsoft Excel Driver (*.xls) (Lumbrook)"), QStringLiteral("EXCEL"),
            QVariant(workbook_.biffVersion >= 8 ? QStringLiteral("8.0") : QStringLiteral("5.0")), QVariant(path_),
            QVariant(userName_)};
  }

 protected:
  std::vector<TableEntry> listTables() override {
    current();
    std::vector<TableEntry> tables;
    for (const WorkbookSheet& s : workbook_.sheets) {
      TableEntry t;
      t.name = s.name + QLatin1Char('$');
      t.type = QStringLiteral("SYSTEM TABLE");
      tables.push_back(std::move(t));
    }
    for (const WorkbookName& n : workbook_.names) {
      TableEntry t;
      t.name = n.name;
      t.type = QStringLiteral("TABLE");
      tables.push_back(std::move(t));
    }
    return tables;
  }

  std::shared_ptr<RowStore> loadTable(const TableEntry& table) override {
    current();
    for (const WorkbookSheet& s : workbook_.sheets)
      if (table.type == QLatin1String("SYSTEM TABLE") && s.name + QLatin1Char('$') == table.name)
        return sheetTable(workbook_, s, usedRange(s));
    for (const WorkbookName& n : workbook_.names)
      if (n.name == table.name)
        return sheetTable(workbook_, workbook_.sheets[size_t(n.sheet)],
                          CellRange{n.firstRow, n.lastRow, n.firstCol, n.lastCol});
    throw Error(err::kTableNotFound, QStringLiteral("Recordset.Open"),
                QStringLiteral("The table '%1' does not exist in this workbook.").arg(table.name));
  }

  QStringList filesOf(const TableEntry&) const override { return {path_}; }
  SqlDialect dialect() const override { return SqlDialect::Excel; }

 private:
  // Reads the workbook again when the file changed since it was read.
  void current() {
    const QFileInfo fi(path_);
    if (fi.lastModified() != stamp_ || fi.size() != size_) reload();
  }

  void reload() {
    const QFileInfo fi(path_);
    workbook_ = readWorkbook(path_);
    stamp_ = fi.lastModified();
    size_ = fi.size();
  }

  QString path_;
  QString userName_;
  Workbook workbook_;
  QDateTime stamp_;
  qint64 size_ = -1;
};

}  // namespace

std::unique_ptr<Provider> makeExcelProvider() { return std::make_unique<ExcelProvider>(); }

}  // namespace dataaccess
