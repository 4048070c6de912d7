// The row cache of the file providers: rows stay cached while the table's
// files keep their size and time stamp, and are read again when either
// changes or the provider drops them itself. Also the connection properties
// and the check that rows can be written back.
#include "dataaccess/fileprovider.h"

#include "dataaccess/error.h"

#include "testsupport/tempdir.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

// One table "t" whose rows are the lines of a file, counting its reads.
class LinesProvider : public FileProvider {
 public:
  explicit LinesProvider(QString path) : path_(std::move(path)) {}
  QString name() const override { return QStringLiteral("lines"); }
  void open(const ConnectionString&, const OpenOptions&) override {}
  using FileProvider::editableTable;
  using FileProvider::invalidate;
  int loads = 0;

 protected:
  std::vector<TableEntry> listTables() override {
    TableEntry t;
    t.name = QStringLiteral("t");
    t.type = QStringLiteral("TABLE");
    return {t};
  }
  std::shared_ptr<RowStore> loadTable(const TableEntry&) override {
    ++loads;
    auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("line", adVarWChar, 50)});
    QFile f(path_);
    if (f.open(QIODevice::ReadOnly))
      for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty()) rows->appendRow({QString::fromLatin1(line)});
    return rows;
  }
  QStringList filesOf(const TableEntry&) const override { return {path_}; }
  SqlDialect dialect() const override { return SqlDialect::Text; }

 private:
  QString path_;
};

void rewrite(const QString& path, const QByteArray& bytes, const QDateTime& stamp) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
  ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
}

QStringList lines(const RowStore& rows) {
  QStringList out;
  for (int64_t r = 0; r < rows.rowCount(); ++r) out << rows.value(r, 0).toString();
  return out;
}

}  // namespace

TEST(FileProviderCache, ReloadsWhenSizeOrTimeStampChangesAndAfterInvalidate) {
  testsupport::TempDir dir;
  const QString path = dir.write(QStringLiteral("t.txt"), "alpha\nbeta\n");
  const QDateTime stamp = QFileInfo(path).lastModified().addSecs(-100);
  rewrite(path, "alpha\nbeta\n", stamp);
  LinesProvider p(path);
  const QString all = QStringLiteral("SELECT * FROM t");

  const RowStorePtr first = p.execute(all, adCmdText);
  EXPECT_EQ(p.execute(QStringLiteral("t"), adCmdTable), first);
  EXPECT_EQ(p.loads, 1);

  // Same size, later time stamp.
  rewrite(path, "gamma\ndelta\n", stamp.addSecs(10));
  EXPECT_EQ(lines(*p.execute(all, adCmdText)), (QStringList{QStringLiteral("gamma"), QStringLiteral("delta")}));
  EXPECT_EQ(p.loads, 2);

  // Another size under the time stamp it had.
  rewrite(path, "gamma\ndelta\nepsilon\n", stamp.addSecs(10));
  EXPECT_EQ(p.execute(all, adCmdText)->rowCount(), 3);
  EXPECT_EQ(p.loads, 3);

  // Statements the SQL engine runs see the new rows too.
  rewrite(path, "zeta\n", stamp.addSecs(20));
  const RowStorePtr filtered = p.execute(QStringLiteral("SELECT line FROM t WHERE line LIKE 'z%'"), adCmdText);
  EXPECT_EQ(lines(*filtered), QStringList{QStringLiteral("zeta")});
  EXPECT_EQ(p.loads, 4);

  // Unchanged files, but the provider wrote the table itself.
  p.execute(all, adCmdText);
  EXPECT_EQ(p.loads, 4);
  p.invalidate(QStringLiteral("T"));
  p.execute(all, adCmdText);
  EXPECT_EQ(p.loads, 5);
  p.invalidate();
  p.execute(all, adCmdText);
  EXPECT_EQ(p.loads, 6);
}

namespace {

// A provider that answers some properties and leaves the others unset.
class NamedProvider : public LinesProvider {
 public:
  NamedProvider() : LinesProvider(QString()) {}

 protected:
  SourceProperties sourceProperties() const override {
    return {QStringLiteral("Lines Driver"), QStringLiteral("LINES"), QVariant(), QVariant(QStringLiteral("/data")),
            std::nullopt};
  }
};

}  // namespace

TEST(FileProviderProperties, AnswersWhatTheFormatSetsIgnoringCase) {
  const NamedProvider p;
  EXPECT_EQ(p.property(QStringLiteral("provider friendly name")), QVariant(QStringLiteral("Lines Driver")));
  EXPECT_EQ(p.property(QStringLiteral("DBMS Name")), QVariant(QStringLiteral("LINES")));
  // Set to Null: answered, as Null.
  ASSERT_TRUE(p.property(QStringLiteral("DBMS Version")).has_value());
  EXPECT_TRUE(p.property(QStringLiteral("DBMS Version"))->isNull());
  EXPECT_EQ(p.property(QStringLiteral("Data Source")), QVariant(QStringLiteral("/data")));
  EXPECT_FALSE(p.property(QStringLiteral("User Name")).has_value());
  EXPECT_FALSE(p.property(QStringLiteral("Current Catalog")).has_value());
  // A format that sets nothing answers nothing.
  const LinesProvider plain{QString()};
  EXPECT_FALSE(plain.property(QStringLiteral("Provider Friendly Name")).has_value());
  EXPECT_FALSE(plain.property(QStringLiteral("Data Source")).has_value());
}

TEST(FileProviderEdits, OnlyRowsOfOneTableWithARecordEachCanBeWritten) {
  testsupport::TempDir dir;
  LinesProvider p(dir.write(QStringLiteral("t.txt"), "alpha\nbeta\n"));
  RowStore rows(std::vector<FieldInfo>{FieldInfo("line", adVarWChar, 50)});
  rows.appendRow({QStringLiteral("alpha")});
  rows.appendRow({QStringLiteral("beta")});
  const auto refused = [&](const char* why) {
    try {
      p.editableTable(rows, QStringLiteral("Lines.UpdateBatch"));
      ADD_FAILURE() << why;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kFeatureNotAvailable) << why;
      EXPECT_EQ(e.source(), QStringLiteral("Lines.UpdateBatch")) << why;
    }
  };
  refused("rows of no table");
  rows.baseTable = QStringLiteral("T");
  refused("rows without record keys (a join or computed rows)");
  rows.rowKeys() = {0};
  refused("a key for one row of two");
  rows.rowKeys() = {0, 1};
  EXPECT_EQ(p.editableTable(rows, QStringLiteral("Lines.UpdateBatch")).name, QStringLiteral("t"));
  rows.baseTable = QStringLiteral("gone");
  EXPECT_THROW(p.editableTable(rows, QStringLiteral("Lines.UpdateBatch")), Error);
}
