#include "viewertestsupport.h"

#include "dataaccess/codepage.h"
#include "dataaccess/error.h"
#include "testsupport/confighome.h"
#include "testsupport/tempdir.h"
#include "viewer/shell/settings.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

// Points the settings at a fresh folder for one test.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    viewertest::resetState();
  }
  QString file() const { return dir_.file("Fenwright/Lumbrook.conf"); }
  const QString key = QString::fromLatin1(kSettingsKey);
  TempDir dir_;
  // Restored after TearDown, so whatever is written while closing stays here.
  testsupport::ScopedConfigHome home_{dir_.path()};
};

// Caps the size of files this process writes while in scope, so a write
// past `bytes` fails with EFBIG instead of ending the process. Permission
// bits do not stop root; this does.
class FileSizeCap {
 public:
  explicit FileSizeCap(rlim_t bytes) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit capped = old_;
    capped.rlim_cur = bytes;
    applied_ = setrlimit(RLIMIT_FSIZE, &capped) == 0;
  }
  ~FileSizeCap() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  bool applied() const { return applied_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
  bool applied_ = false;
};

}  // namespace

TEST_F(SettingsTest, DefaultsWithoutAFileAndSaveCreatesIt) {
  EXPECT_EQ(settingsFilePath(Hive::CurrentUser, key), file());
  state().PageSize = 7;
  LoadSettings();
  EXPECT_EQ(state().PageSize, 40);
  EXPECT_EQ(state().PageEncoding, "windows-1251");
  EXPECT_EQ(state().TextFormat, "TabDelimited");
  EXPECT_EQ(state().ShowSplash, 1);

  SaveSettings();
  QFile f(file());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("PAGESIZE=40\nPAGEENCODING=windows-1251\nTXTFormat=TabDelimited\nShowSplash=1\n"));
}

TEST_F(SettingsTest, ValuesReadBackExactly) {
  state().ShowSplash = 0;
  state().PageEncoding = "";
  state().TextFormat = "Delimited( )";
  SaveSettings();
  viewertest::resetState();
  LoadSettings();
  EXPECT_EQ(state().ShowSplash, 0);
  EXPECT_EQ(state().PageEncoding, "") << "an empty value is not the default";
  EXPECT_EQ(state().TextFormat, "Delimited( )");

  WriteSetting(key, "Odd", "a\\b\nc\r= ");
  EXPECT_EQ(ReadSetting(key, "Odd", "x"), "a\\b\nc\r= ");
  EXPECT_EQ(ReadSetting(key, "odd", "x"), "a\\b\nc\r= ") << "names match without regard to case";
  WriteSetting(key, "ODD", "2");
  EXPECT_EQ(ReadSetting(key, "Odd", "x"), "2");
  EXPECT_EQ(ReadSetting(key, "Missing", "dflt"), "dflt");
}

TEST_F(SettingsTest, ValuesOf1023BytesOrMoreReadAsTheDefault) {
  WriteSetting(key, "PAGEENCODING", QString(1022, 'e'));
  EXPECT_EQ(ReadSetting(key, "PAGEENCODING", "d").size(), 1022);
  WriteSetting(key, "PAGEENCODING", QString(1023, 'e'));
  EXPECT_EQ(ReadSetting(key, "PAGEENCODING", "d"), "d");
  // Bytes, not characters: 511 two-byte characters fit, 512 do not.
  WriteSetting(key, "PAGEENCODING", QString(511, QChar(0x44F)));
  EXPECT_EQ(ReadSetting(key, "PAGEENCODING", "d").size(), 511);
  WriteSetting(key, "PAGEENCODING", QString(512, QChar(0x44F)));
  EXPECT_EQ(ReadSetting(key, "PAGEENCODING", "d"), "d");
}

TEST_F(SettingsTest, NumbersThatDoNotFitReadAsTheirDefaults) {
  const std::pair<const char*, int> cases[] = {{"25", 25},     {" 12 ", 12},   {"-32768", -32768}, {"32767", 32767},
                                               {"32768", 40},  {"", 40},       {"abc", 40},        {"4.5", 40}};
  for (const auto& [text, expected] : cases) {
    WriteSetting(key, "PAGESIZE", text);
    WriteSetting(key, "ShowSplash", text);
    LoadSettings();
    EXPECT_EQ(state().PageSize, expected) << text;
    EXPECT_EQ(state().ShowSplash, expected == 40 ? 1 : expected) << text;
  }
}

TEST_F(SettingsTest, UnrelatedLinesSurviveAWrite) {
  QDir().mkpath(dir_.file("Fenwright"));
  dir_.write("Fenwright/Lumbrook.conf", "# my note\nPageSize=12\nOther=1\n");
  WriteSetting(key, "PAGESIZE", "30");
  QFile f(file());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("# my note\nPageSize=30\nOther=1\n"));
}

TEST_F(SettingsTest, SeveralValuesInOneWriteAllOrNone) {
  QDir().mkpath(dir_.file("Fenwright"));
  dir_.write("Fenwright/Lumbrook.conf", "# my note\nA=1\n");
  RegSetKeyValues(Hive::CurrentUser, key, {{"a", "one"}, {"B", "two\nlines"}, {"C", ""}});
  QFile f(file());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("# my note\nA=one\nB=two\\nlines\nC=\n"));
  f.close();
  // One bad name refuses the whole batch; the file keeps every value.
  EXPECT_THROW(RegSetKeyValues(Hive::CurrentUser, key, {{"A", "changed"}, {"x=y", "1"}}), dataaccess::Error);
  EXPECT_EQ(ReadSetting(key, "A", {}), "one");
  EXPECT_EQ(ReadSetting(key, "B", {}), "two\nlines");
}

TEST_F(SettingsTest, SaveWritesTheFourValuesInOneReplacement) {
  // Values already present are replaced where they stand, missing ones are
  // appended in the order PAGESIZE, PAGEENCODING, TXTFormat, ShowSplash,
  // and unrelated lines stay.
  const QByteArray before = "# note\nshowsplash=1\nOther=x\nPAGESIZE=40\n";
  dir_.write("Fenwright/Lumbrook.conf", before);
  state().PageSize = 25;
  state().PageEncoding = "utf-8";
  state().TextFormat = "Delimited(;)";
  state().ShowSplash = 0;
  SaveSettings();
  EXPECT_EQ(dir_.read("Fenwright/Lumbrook.conf"),
            QByteArray("# note\nshowsplash=0\nOther=x\nPAGESIZE=25\nPAGEENCODING=utf-8\nTXTFormat=Delimited(;)\n"));

  // A write that fails part-way, after room for one more line but not four,
  // leaves the earlier file byte for byte: no value lands without the others.
  dir_.write("Fenwright/Lumbrook.conf", before);
  state().ShowSplash = 1;
  {
    FileSizeCap cap(rlim_t(before.size()) + 20);
    if (!cap.applied()) GTEST_SKIP() << "cannot cap the file size";
    try {
      SaveSettings();
      ADD_FAILURE() << "expected an error";
    } catch (const dataaccess::Error& e) {
      EXPECT_EQ(e.number(), -2147221504);
      EXPECT_EQ(e.description(), "Error 27, Line 0");  // EFBIG
    }
  }
  EXPECT_EQ(dir_.read("Fenwright/Lumbrook.conf"), before);
  EXPECT_EQ(QDir(dir_.file("Fenwright")).entryList(QDir::Files), QStringList{"Lumbrook.conf"})
      << "no temporary file is left behind";
}

TEST_F(SettingsTest, WriteFailureRaisesWithTheSystemErrorNumber) {
  // The settings folder's parent is a file: the folder cannot be made.
  dir_.write("Fenwright", "not a folder");
  try {
    WriteSetting(key, "PAGESIZE", "40");
    FAIL() << "expected an error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), -2147221504);
    EXPECT_EQ(e.source(), "RegSetKeyValue");
    EXPECT_EQ(e.description(), "Error 20, Line 0");  // ENOTDIR
  }
  EXPECT_THROW(SaveSettings(), dataaccess::Error);

  if (!viewertest::permissionsApply()) GTEST_SKIP() << "permission bits do not apply to root";
  QFile::remove(dir_.file("Fenwright"));
  QDir().mkpath(dir_.file("Fenwright"));
  QFile::setPermissions(dir_.file("Fenwright"), QFile::ReadOwner | QFile::ExeOwner);
  try {
    WriteSetting(key, "PAGESIZE", "40");
    FAIL() << "expected an error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.description(), "Error 13, Line 0");  // EACCES
  }
  QFile::setPermissions(dir_.file("Fenwright"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SettingsTest, LegacyCodePageReachesTheDataAccessLayerAndIsKept) {
  struct Reset {
    ~Reset() { dataaccess::CodePage::setLegacyCodePage(QString()); }
  } reset;
  LoadSettings();
  EXPECT_EQ(state().LegacyCodePage, QString());
  EXPECT_FALSE(dataaccess::CodePage::legacyCodePage());

  WriteSetting(key, "LegacyCodePage", "852");
  LoadSettings();
  EXPECT_EQ(state().LegacyCodePage, "852");
  ASSERT_TRUE(dataaccess::CodePage::legacyCodePage());
  EXPECT_EQ(dataaccess::CodePage::legacyDefault(1252).name(), "IBM852");

  // Saving the other settings leaves it in the file.
  SaveSettings();
  EXPECT_EQ(ReadSetting(key, "LegacyCodePage", "x"), "852");

  // A value no code page answers to leaves each format its default.
  WriteSetting(key, "LegacyCodePage", "klingon");
  LoadSettings();
  EXPECT_FALSE(dataaccess::CodePage::legacyCodePage());
  EXPECT_EQ(dataaccess::CodePage::legacyDefault(437).name(), "IBM437");
}
