#include "viewertestsupport.h"

#include "dataaccess/error.h"
#include "testsupport/tempdir.h"
#include "viewer/datasource/paths.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

TEST(PathSplitting, FolderFileBaseAndExtension) {
  EXPECT_EQ(GetFolder("/data/shop.mdb"), "/data/");
  EXPECT_EQ(GetFileName("/data/shop.mdb"), "shop.mdb");
  EXPECT_EQ(GetBaseName("/data/shop.mdb"), "shop");
  EXPECT_EQ(GetExtension("/data/shop.mdb"), "mdb");

  EXPECT_EQ(GetFolder("/"), "/");
  EXPECT_EQ(GetFileName("/"), "");
  EXPECT_EQ(GetExtension("/"), "");

  EXPECT_EQ(GetFolder("shop.mdb"), "");
  EXPECT_EQ(GetFileName("shop.mdb"), "shop.mdb");
  EXPECT_EQ(GetBaseName("shop"), "shop");
  EXPECT_EQ(GetBaseName("/r/report.2004.txt"), "report.2004");
  EXPECT_EQ(GetBaseName("/home/.profile"), "");

  EXPECT_EQ(GetExtension("archive.tar.gz"), "gz");
  EXPECT_EQ(GetExtension("/data/name."), "");
  EXPECT_EQ(GetExtension("/old.data/readme"), "") << "a '/' met before the dot ends the search";
  EXPECT_EQ(GetExtension("/data/SHOP.MDB"), "MDB") << "case is kept";
  // ":" and "\" are ordinary characters here.
  EXPECT_EQ(GetFileName("C:\\data\\x.csv"), "C:\\data\\x.csv");

  for (auto f : {GetFolder, GetFileName, GetBaseName, GetExtension}) EXPECT_EQ(f(""), "");
  EXPECT_TRUE(IsHiddenName("/data/.secret.csv"));
  EXPECT_FALSE(IsHiddenName("/home/.config/shop.csv"));
}

TEST(TextFiles, ReadWholeFileAndRaiseForMissing) {
  TempDir dir;
  const QString p = dir.write("a.txt", QByteArray("caf\xc3\xa9\r\nline 2\n"));
  EXPECT_EQ(ReadTextFile(p), QString::fromUtf8("caf\xc3\xa9\r\nline 2\n")) << "no line-ending conversion";
  try {
    ReadTextFile(dir.file("missing.txt"));
    FAIL() << "a missing file must raise";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), 53);
    EXPECT_TRUE(e.description().contains("missing.txt"));
  }
  EXPECT_THROW(ReadTextFile(dir.path()), dataaccess::Error) << "a folder is not a text file";
}

TEST(TextFiles, ContainsLooksPastTheFirstPieceOnlyWhenItMustAndAgreesWithTheWholeText) {
  TempDir dir;
  const QLatin1StringView needle("urn:rowset-marker");
  const QByteArray marker("urn:rowset-marker");
  // The needle early, far in, straddling the first 64 KiB, cut short at the
  // very end, and absent; non-ASCII text around it.
  const QByteArray filler = QByteArray("\xc3\xa9t\xc3\xa9 ").repeated(20000);
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"early.xml", "<xml a='" + marker + "'>" + filler},
      {"late.xml", filler + marker},
      {"straddle.xml", QByteArray(64 * 1024 - 5, 'x') + marker + "tail"},
      {"cut.xml", QByteArray(64 * 1024 - 5, 'x') + marker.left(10)},
      {"absent.xml", filler},
      {"small.xml", "<xml/>"},
      {"empty.xml", ""},
  };
  for (const auto& c : cases) {
    const QString p = dir.write(c.name, c.bytes);
    EXPECT_EQ(TextFileContains(p, needle), ReadTextFile(p).contains(needle)) << c.name;
  }
  EXPECT_TRUE(TextFileContains(dir.file("straddle.xml"), needle));
  EXPECT_FALSE(TextFileContains(dir.file("cut.xml"), needle));
  try {
    TextFileContains(dir.file("missing.xml"), needle);
    FAIL() << "a missing file must raise";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), 53);
  }
  EXPECT_THROW(TextFileContains(dir.path(), needle), dataaccess::Error);
}

TEST(TextFiles, WriteReplacesLongerFileExactly) {
  TempDir dir;
  const QString p = dir.write("out.txt", QByteArray(10000, 'x'));
  ASSERT_TRUE(WriteTextFile(p, "short"));
  EXPECT_EQ(dir.read("out.txt"), QByteArray("short"));
  ASSERT_TRUE(WriteTextFile(p, ""));
  EXPECT_EQ(dir.read("out.txt"), QByteArray());
}

TEST(TextFiles, WriteFailureReturnsFalseAndKeepsOldContent) {
  TempDir dir;
  dir.write("notafolder", "file");
  EXPECT_FALSE(WriteTextFile(dir.file("notafolder/out.txt"), "text"));

  if (!viewertest::permissionsApply()) GTEST_SKIP() << "permission bits do not apply to root";
  const QString p = dir.write("ro/old.txt", "old");
  QFile::setPermissions(dir.file("ro"), QFile::ReadOwner | QFile::ExeOwner);
  EXPECT_FALSE(WriteTextFile(p, "new"));
  QFile::setPermissions(dir.file("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(dir.read("ro/old.txt"), QByteArray("old"));
}

TEST(ProfileSetString, CreatesFileAndSections) {
  TempDir dir;
  const QString ini = dir.file("SCHEMA.INI");
  ProfileSetString("a.txt", "ColNameHeader", "True", ini);
  ProfileSetString("a.txt", "Format", "TabDelimited", ini);
  ProfileSetString("b.csv", "Format", "CSVDelimited", ini);
  EXPECT_EQ(dir.read("SCHEMA.INI"),
            QByteArray("[a.txt]\nColNameHeader=True\nFormat=TabDelimited\n[b.csv]\nFormat=CSVDelimited\n"));
}

TEST(ProfileSetString, ReplacesOneKeyCaseInsensitivelyAndKeepsEverythingElse) {
  TempDir dir;
  const QByteArray before =
      "; written by hand\r\n"
      "[Other.txt]\r\n"
      "format=Delimited(;)\r\n"
      "\r\n"
      "[A.TXT]\r\n"
      "FORMAT=CSVDelimited\r\n"
      "Col1=id Integer\r\n"
      "Col2=name Char Width 30\r\n"
      "\r\n"
      "[Last]\r\n"
      "k=v";
  const QString ini = dir.write("SCHEMA.INI", before);
  ProfileSetString("a.txt", "Format", "TabDelimited", ini);
  ProfileSetString("a.txt", "MaxScanRows", "0", ini);
  ProfileSetString("last", "New", "1", ini);
  EXPECT_EQ(dir.read("SCHEMA.INI"), QByteArray("; written by hand\r\n"
                                               "[Other.txt]\r\n"
                                               "format=Delimited(;)\r\n"
                                               "\r\n"
                                               "[A.TXT]\r\n"
                                               "Format=TabDelimited\r\n"
                                               "Col1=id Integer\r\n"
                                               "Col2=name Char Width 30\r\n"
                                               "MaxScanRows=0\r\n"
                                               "\r\n"
                                               "[Last]\r\n"
                                               "k=v\r\n"
                                               "New=1\r\n"));
}

// Several keys at once give the bytes one call per key gives, over a file
// with sections, comments, CRLF endings and a key already holding its value;
// a file that would not change is not rewritten, and one refused entry
// leaves the file as it was.
TEST(ProfileSetString, SeveralKeysAtOnceAsOneCallPerKey) {
  TempDir dir;
  const QByteArray before = "; hand\r\n[b.csv]\r\nFormat=CSVDelimited\r\n\r\n[A.TXT]\r\nmaxscanrows=0\r\nCol1=id Integer";
  const std::vector<ProfileEntry> entries = {
      {"a.txt", "ColNameHeader", "True"}, {"a.txt", "MaxScanRows", "0"},     {"b.csv", "Format", "TabDelimited"},
      {"new.csv", "Format", "CSVDelimited"}, {"new.csv", "CharacterSet", "ANSI"}, {"a.txt", "ColNameHeader", "False"},
  };
  const QString one = dir.write("one/SCHEMA.INI", before);
  for (const ProfileEntry& e : entries) ProfileSetString(e.section, e.key, e.value, one);
  const QString batch = dir.write("batch/SCHEMA.INI", before);
  ProfileSetStrings(entries, batch);
  EXPECT_EQ(dir.read("batch/SCHEMA.INI"), dir.read("one/SCHEMA.INI"));
  EXPECT_TRUE(dir.read("batch/SCHEMA.INI").contains("[A.TXT]\r\nMaxScanRows=0\r\nCol1=id Integer\r\nColNameHeader=False\r\n"));

  // Nothing to change: the file is not replaced (a read-only folder would refuse it).
  QFile::setPermissions(dir.file("batch"), QFile::ReadOwner | QFile::ExeOwner);
  EXPECT_NO_THROW(ProfileSetStrings(entries, batch));
  QFile::setPermissions(dir.file("batch"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  const QByteArray kept = dir.read("batch/SCHEMA.INI");
  EXPECT_THROW(ProfileSetStrings({{"c.csv", "Format", "CSVDelimited"}, {"bad]name.csv", "Format", "x"}}, batch),
               dataaccess::Error);
  EXPECT_EQ(dir.read("batch/SCHEMA.INI"), kept);
  ProfileSetStrings({}, dir.file("none/SCHEMA.INI"));
  EXPECT_FALSE(QFile::exists(dir.file("none/SCHEMA.INI")));
}

TEST(ProfileSetString, KeepsBytesOfLinesInAnotherCharset) {
  TempDir dir;
  const QByteArray cp1251 = "[x.txt]\nCol1=\xcd\xe0\xe7\xe2\xe0\xed\xe8\xe5 Char\n";
  const QString ini = dir.write("SCHEMA.INI", cp1251);
  ProfileSetString("x.txt", "Format", "TabDelimited", ini);
  EXPECT_EQ(dir.read("SCHEMA.INI"), cp1251 + "Format=TabDelimited\n");
}

TEST(ProfileSetString, FailureRaisesTheProfileError) {
  TempDir dir;
  dir.write("notafolder", "file");
  const QString ini = dir.file("notafolder/SCHEMA.INI");
  try {
    ProfileSetString("a.txt", "Format", "TabDelimited", ini);
    FAIL() << "expected an error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), -2147221504);
    EXPECT_EQ(e.source(), "ProfileSetString");
    EXPECT_EQ(e.description(), "Error writing to file '" + ini + "'");
  }
  // A value with a line break would add lines nobody asked for.
  EXPECT_THROW(ProfileSetString("a.txt", "Format", "x\n[evil]", dir.file("S.INI")), dataaccess::Error);
  EXPECT_FALSE(QFile::exists(dir.file("S.INI")));
}

TEST(FileDialog, CancelZeroesIndexAndFlagsAndLongResultsFail) {
  viewertest::RecordingPrompts prompts;
  int index = 2, flags = 2050;
  EXPECT_EQ(ShowFileDialog("Save recordset as file", "/data/Orders", "All|*.*", index, flags, "", 2), "");
  EXPECT_EQ(index, 0);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(prompts.lastRequest.folder, "/data/");
  EXPECT_EQ(prompts.lastRequest.proposedName, "Orders");
  EXPECT_EQ(prompts.lastRequest.mode, Prompts::SaveDialog);

  prompts.answerPath = "/data/" + QString(260, 'a');
  index = 1;
  flags = 0;
  prompts.answerIndex = 3;
  EXPECT_EQ(ShowFileDialog("t", "", "", index, flags, "", 1), "");
  EXPECT_EQ(index, 0);

  prompts.answerPath = "/data/out.xml";
  EXPECT_EQ(ShowFileDialog("t", "", "", index, flags, "", 1), "/data/out.xml");
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(prompts.lastRequest.folder.isEmpty()) << "no initial folder means the current directory";
}

TEST(FileDialog, QtFiltersKeepThePatternOfEachPair) {
  EXPECT_EQ(qtFileFilters("All Files (*.*)|*.*|Microsoft Excel (*.xls)|*xls"),
            QStringList({"All Files (*.*) (*.*)", "Microsoft Excel (*.xls) (*xls)"}));
}
