// Failures while writing files, made in ways that hold also for root (who
// may write where permissions say no): a file where a folder should be, a
// folder where a file should be, and a replacement step that fails.
#include "dataaccess/error.h"
#include "dataaccess/filetransaction.h"
#include "dataaccess/filewrite.h"

#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace dataaccess;
using testsupport::TempDir;

namespace {

// The error a call throws, or a failure when it throws none.
template <typename F>
Error errorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error";
  return Error(0, QString(), QString());
}

QStringList entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Fails the n-th replacement of a commit (1-based) as a full or broken disk would.
class FailingTransaction : public FileTransaction {
 public:
  FailingTransaction(int failAt) : FileTransaction(QStringLiteral("Test.Save")), failAt_(failAt) {}

 protected:
  bool replaceFile(const QString& from, const QString& to) override {
    if (++calls_ == failAt_) {
      errno = ENOSPC;
      return false;
    }
    return FileTransaction::replaceFile(from, to);
  }

 private:
  int failAt_;
  int calls_ = 0;
};

void overwrite(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

}  // namespace

TEST(FileWrite, AFileWhereTheFolderShouldBeIsAnErrorNamingTheFile) {
  TempDir dir;
  dir.write(QStringLiteral("export"), "not a folder");
  const QString target = dir.file(QStringLiteral("export/out.csv"));
  const Error e = errorOf([&] { writeFileAtomically(target, "a,b\r\n", QStringLiteral("Export")); });
  EXPECT_EQ(e.number(), err::kProviderFailure);
  EXPECT_EQ(e.source(), QStringLiteral("Export"));
  EXPECT_TRUE(e.description().contains(target)) << e.description().toStdString();
  EXPECT_EQ(dir.read(QStringLiteral("export")), QByteArray("not a folder"));
  EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("export")});
}

TEST(FileTransaction, AFolderWhereTheTableShouldBeIsRefusedBeforeAnyCopy) {
  TempDir dir;
  dir.write(QStringLiteral("t.dbf/inside"), "x");
  FileTransaction tx(QStringLiteral("Test.Save"));
  const Error e = errorOf([&] { tx.stage(dir.file(QStringLiteral("t.dbf"))); });
  EXPECT_EQ(e.number(), err::kProviderFailure);
  EXPECT_TRUE(e.description().contains(QStringLiteral("does not exist"))) << e.description().toStdString();
  EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("t.dbf")});
}

TEST(FileTransaction, AFailedReplacementPutsEveryFileBackAndLeavesNoCopies) {
  for (int failAt : {1, 2}) {
    TempDir dir;
    const QString table = dir.write(QStringLiteral("t.dbf"), "table bytes");
    const QString memo = dir.write(QStringLiteral("t.fpt"), "memo bytes");
    {
      FailingTransaction tx(failAt);
      overwrite(tx.stage(table), "new table");
      overwrite(tx.stage(memo), "new memo");
      const Error e = errorOf([&] { tx.commit(); });
      EXPECT_EQ(e.number(), err::kProviderFailure);
      EXPECT_EQ(e.source(), QStringLiteral("Test.Save"));
      EXPECT_TRUE(e.description().contains(QStringLiteral("could not be replaced"))) << e.description().toStdString();
      EXPECT_TRUE(e.description().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
    }
    EXPECT_EQ(dir.read(QStringLiteral("t.dbf")), QByteArray("table bytes")) << failAt;
    EXPECT_EQ(dir.read(QStringLiteral("t.fpt")), QByteArray("memo bytes")) << failAt;
    EXPECT_EQ(entries(dir.path()), (QStringList{QStringLiteral("t.dbf"), QStringLiteral("t.fpt")})) << failAt;
  }
  // Without a failure both files change together.
  TempDir dir;
  const QString table = dir.write(QStringLiteral("t.dbf"), "table bytes");
  const QString memo = dir.write(QStringLiteral("t.fpt"), "memo bytes");
  FailingTransaction tx(0);
  overwrite(tx.stage(table), "new table");
  overwrite(tx.stage(memo), "new memo");
  tx.commit();
  EXPECT_EQ(dir.read(QStringLiteral("t.dbf")), QByteArray("new table"));
  EXPECT_EQ(dir.read(QStringLiteral("t.fpt")), QByteArray("new memo"));
}
