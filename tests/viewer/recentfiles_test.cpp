// The recent-files list: order, duplicates, the limit of ten, missing files,
// and the round trip through the settings file.
#include "testsupport/confighome.h"
#include "testsupport/tempdir.h"
#include "viewer/shell/recentfiles.h"
#include "viewer/shell/settings.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

class RecentFilesTest : public ::testing::Test {
 protected:
  QString make(const QString& name) { return files_.write(name, "x"); }

  TempDir config_;
  TempDir files_;
  // Restored after TearDown, so whatever is written while closing stays here.
  testsupport::ScopedConfigHome home_{config_.path()};
};

QStringList numbered(int n) {
  QStringList out;
  for (int i = 0; i < n; ++i) out << QStringLiteral("/data/t%1.dbf").arg(i);
  return out;
}

}  // namespace

TEST(RecentFilesList, PushPutsTheFileFirstOnceAndKeepsTen) {
  EXPECT_EQ(PushRecentFile({}, "/a/b.mdb"), QStringList{"/a/b.mdb"});
  EXPECT_EQ(PushRecentFile({"/a/b.mdb", "/c.xls"}, ""), (QStringList{"/a/b.mdb", "/c.xls"}));
  // An entry already listed moves to the front; the same file spelt with
  // "." or "//" is the same entry.
  EXPECT_EQ(PushRecentFile({"/x.db", "/a/b.mdb", "/c.xls"}, "/a/./b.mdb"), (QStringList{"/a/b.mdb", "/x.db", "/c.xls"}));
  EXPECT_EQ(PushRecentFile({"/x.db", "/a//b.mdb"}, "/a/b.mdb"), (QStringList{"/a/b.mdb", "/x.db"}));
  // The eleventh entry falls off the end.
  const QStringList ten = numbered(10);
  const QStringList pushed = PushRecentFile(ten, "/new.udl");
  ASSERT_EQ(pushed.size(), kMaxRecentFiles);
  EXPECT_EQ(pushed.first(), "/new.udl");
  EXPECT_EQ(pushed.last(), ten[8]);
  // Re-opening the last one keeps all ten.
  EXPECT_EQ(PushRecentFile(ten, ten[9]).size(), 10);
  EXPECT_EQ(PushRecentFile(ten, ten[9]).first(), ten[9]);
}

TEST(RecentFilesList, PruneDropsMissingDuplicateAndEmptyEntries) {
  const auto exists = [](const QString& p) { return !p.contains("gone"); };
  EXPECT_EQ(PruneRecentFiles({"/a.mdb", "", "/gone.dbf", "/b.xls", "/./a.mdb"}, exists),
            (QStringList{"/a.mdb", "/b.xls"}));
  EXPECT_EQ(PruneRecentFiles(numbered(14), exists).size(), 10);
}

TEST_F(RecentFilesTest, StoredMostRecentFirstAndMissingFilesDropped) {
  EXPECT_TRUE(RecentFiles().isEmpty());
  const QString a = make("a.csv"), b = make("b b.csv"), c = make("c.csv");
  AddRecentFile(a);
  AddRecentFile(b);
  AddRecentFile(c);
  AddRecentFile(b);
  EXPECT_EQ(RecentFiles(), (QStringList{b, c, a}));
  // The file lists each slot by its own name.
  EXPECT_EQ(ReadSetting(kSettingsKey, "RecentFile1", {}), b);
  EXPECT_EQ(ReadSetting(kSettingsKey, "RecentFile3", {}), a);

  ASSERT_TRUE(QFile::remove(c));
  EXPECT_EQ(RecentFiles(), (QStringList{b, a}));
  // The next addition writes the pruned list back.
  const QString d = make("d.csv");
  AddRecentFile(d);
  EXPECT_EQ(RecentFiles(), (QStringList{d, b, a}));
  EXPECT_EQ(ReadSetting(kSettingsKey, "RecentFile3", {}), a);
  EXPECT_EQ(ReadSetting(kSettingsKey, "RecentFile4", {}), "");
}

TEST_F(RecentFilesTest, TenLongPathsAllSurvive) {
  // Ten paths of ~200 bytes are more than one stored value may hold.
  const QString folder = QString(180, QChar('f'));
  QStringList made;
  for (int i = 0; i < 12; ++i) made << make(folder + QStringLiteral("/table%1.dbf").arg(i));
  for (const QString& p : made) AddRecentFile(p);
  const QStringList list = RecentFiles();
  ASSERT_EQ(list.size(), 10);
  EXPECT_EQ(list.first(), made[11]);
  EXPECT_EQ(list.last(), made[2]);
}

TEST_F(RecentFilesTest, FolderIsNeverListed) {
  AddRecentFile(files_.path());
  EXPECT_TRUE(RecentFiles().isEmpty());
}
