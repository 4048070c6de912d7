// The row cache of the file providers: rows stay cached while the table's
// files keep their size and time stamp, and are read again when either
// changes or the provider drops them itself.
#include "dataaccess/fileprovider.h"

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
