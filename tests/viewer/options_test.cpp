// The options rules without the dialog: the page-size reading (the worked
// table and its limits), the text format, and applying the fields to the
// settings in memory and the settings file, including a refused page size
// and a file that cannot be written. Also the splash window's texts and
// ticks.
#include "viewertestsupport.h"

#include "dataaccess/error.h"
#include "testsupport/confighome.h"
#include "testsupport/tempdir.h"
#include "viewer/datasource/sourcestate.h"
#include "viewer/shell/options.h"
#include "viewer/shell/settings.h"
#include "viewer/shell/splashinfo.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

class OptionsApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    viewertest::resetState();
  }
  void TearDown() override {
    viewertest::resetState();
  }
  QString file() const { return dir_.file("Fenwright/Lumbrook.conf"); }
  QByteArray stored() const {
    QFile f(file());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  TempDir dir_;
  // Restored after TearDown, so whatever is written while closing stays here.
  testsupport::ScopedConfigHome home_{dir_.path()};
};

}  // namespace

TEST(OptionsPageSize, WorkedTable) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"25", 25},    {"2 5", 25},    {"12.5", 12},  {"13.5", 14},  {"1,5", 1},    {"abc", 40},
      {"", 40},      {"0", 40},      {"-3", 40},    {" \t\n3\t0 ", 30}, {"+7", 7}, {"0.5", 40},
      {"1.5", 2},    {".5", 40},     {"2.5e1", 25}, {"1E2", 100},  {"1e-1", 40},  {"5e", 5},
      {"5e+", 5},    {"7.", 7},      {"12abc", 12}, {"3-4", 3},    {"--5", 40},   {"32767", 32767},
      {"32766.5", 32766}, {"-99999", 40}, {"-1e400", 40}, {"1e-400", 40},
  };
  for (const auto& c : cases) {
    const std::optional<int16_t> got = PageSizeFromText(QString::fromLatin1(c.text));
    ASSERT_TRUE(got.has_value()) << c.text;
    EXPECT_EQ(*got, c.expected) << '"' << c.text << '"';
  }
}

TEST(OptionsPageSize, MoreThanTheSettingHoldsIsRefused) {
  for (const char* text : {"32768", "32767.5", "40000", "1e5", "1e400", "99999999999999999999999"})
    EXPECT_FALSE(PageSizeFromText(QString::fromLatin1(text)).has_value()) << text;
}

TEST(OptionsPageSize, NumberReadingStopsAtTheFirstMisfit) {
  EXPECT_DOUBLE_EQ(ReadNumber("1 2.3 4e 1x"), 123.4);  // read as "12.34e1"
  EXPECT_DOUBLE_EQ(ReadNumber("-0.25"), -0.25);
  EXPECT_DOUBLE_EQ(ReadNumber("1.5.5"), 1.5);
  EXPECT_DOUBLE_EQ(ReadNumber("e5"), 0.0);
  EXPECT_TRUE(std::isinf(ReadNumber("1e99999")));
  EXPECT_EQ(ReadNumber("0.000e99999"), 0.0);
}

TEST(OptionsTextFormat, BlanksOnlyGiveTheDefaultAndOtherTextStaysAsTyped) {
  EXPECT_EQ(TextFormatFromText("   "), "TabDelimited");
  EXPECT_EQ(TextFormatFromText(""), "TabDelimited");
  EXPECT_EQ(TextFormatFromText("  CSVDelimited "), "CSVDelimited");
  EXPECT_EQ(TextFormatFromText("Delimited( )"), "Delimited( )");
  EXPECT_EQ(TextFormatFromText("Delimited(#)"), "Delimited(#)");
  EXPECT_EQ(TextFormatItems(), (QStringList{"TabDelimited", "CSVDelimited", "Delimited( )", "Delimited(;)",
                                             "Delimited(|)"}));
}

TEST_F(OptionsApplyTest, ApplyStoresAllFourSettings) {
  state().ShowSplash = 0;
  ApplyOptions({" utf-8", "2 5", "  Delimited(;) "});
  EXPECT_EQ(state().PageSize, 25);
  EXPECT_EQ(state().PageEncoding, " utf-8") << "the encoding is taken unchanged";
  EXPECT_EQ(state().TextFormat, "Delimited(;)");
  EXPECT_EQ(stored(), QByteArray("PAGESIZE=25\nPAGEENCODING= utf-8\nTXTFormat=Delimited(;)\nShowSplash=0\n"));

  ApplyOptions({"", "-3", "   "});
  EXPECT_EQ(stored(), QByteArray("PAGESIZE=40\nPAGEENCODING=\nTXTFormat=TabDelimited\nShowSplash=0\n"));
}

TEST_F(OptionsApplyTest, RefusedPageSizeChangesNothing) {
  ApplyOptions({"utf-8", "30", "CSVDelimited"});
  const QByteArray before = stored();
  try {
    ApplyOptions({"koi8-r", "32768", "Delimited(|)"});
    FAIL() << "no error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), kOverflowError);
    EXPECT_TRUE(e.description().contains("32767")) << e.message().toStdString();
  }
  EXPECT_EQ(state().PageSize, 30);
  EXPECT_EQ(state().PageEncoding, "utf-8");
  EXPECT_EQ(state().TextFormat, "CSVDelimited");
  EXPECT_EQ(stored(), before);
}

TEST_F(OptionsApplyTest, UnwritableSettingsRaiseTheStoreErrorAfterMemoryChanged) {
  // A folder where the file should be: no write can replace it (as root too).
  ASSERT_TRUE(QDir().mkpath(file()));
  try {
    ApplyOptions({"utf-8", "12", "CSVDelimited"});
    FAIL() << "no error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.number(), dataaccess::err::kAppBase);
    EXPECT_EQ(e.source(), "RegSetKeyValue");
    EXPECT_TRUE(QRegularExpression("^Error [1-9][0-9]*, Line 0$").match(e.description()).hasMatch())
        << e.description().toStdString();
  }
  EXPECT_EQ(state().PageSize, 12);
  EXPECT_TRUE(QFileInfo(file()).isDir());
}

// The shell's change: unset fields keep their settings, set ones follow the
// dialog's rules, ShowSplash goes along, and the listing reads it all back.
TEST_F(OptionsApplyTest, ChangeKeepsUnsetFieldsAndSavesShowSplash) {
  ApplyOptions({"utf-8", "30", "CSVDelimited"});
  OptionsChange change;
  change.pageSize = "12.5";
  change.showSplash = 0;
  ApplyOptionsChange(change);
  EXPECT_EQ(stored(), QByteArray("PAGESIZE=12\nPAGEENCODING=utf-8\nTXTFormat=CSVDelimited\nShowSplash=0\n"));

  // What the next start reads is what the listing shows.
  viewertest::resetState();
  LoadSettings();
  const QList<std::pair<QString, QString>> expected = {
      {"XML Encoding:", "utf-8"}, {"Rows on page:", "12"}, {"Text format:", "CSVDelimited"}, {"Show at next time", "0"}};
  EXPECT_EQ(OptionsListing(), expected);

  OptionsChange blanks;
  blanks.textFormat = "  ";
  blanks.encoding = "";
  ApplyOptionsChange(blanks);
  EXPECT_EQ(stored(), QByteArray("PAGESIZE=12\nPAGEENCODING=\nTXTFormat=TabDelimited\nShowSplash=0\n"));
}

TEST_F(OptionsApplyTest, RefusedChangeLeavesShowSplashToo) {
  ApplyOptions({"utf-8", "30", "CSVDelimited"});
  const QByteArray before = stored();
  OptionsChange change;
  change.pageSize = "40000";
  change.showSplash = 0;
  change.encoding = "koi8-r";
  try {
    ApplyOptionsChange(change);
    FAIL() << "no error";
  } catch (const dataaccess::Error& e) {
    EXPECT_EQ(e.message(), "6: Rows on page cannot be more than 32767");
  }
  EXPECT_EQ(state().ShowSplash, 1);
  EXPECT_EQ(state().PageEncoding, "utf-8");
  EXPECT_EQ(stored(), before);
}

TEST(SplashInfo, VersionTextFollowsTheBuildAndTheBetaRule) {
  EXPECT_EQ(VersionText(1, 0, 75), "Version 1.0.75");
  EXPECT_EQ(VersionText(0, 9, 3), "Version 0.9.3 Beta");
  EXPECT_EQ(VersionText(2, 10, 0), "Version 2.10.0");
  const ProgramVersionInfo info = ProgramInfo();
  EXPECT_EQ(info.version, "Version 1.0.75");
  EXPECT_EQ(ProgramVersionNumber(), "1.0.75");
  EXPECT_EQ(info.productName, "Lumbrook");
  EXPECT_FALSE(info.company.isEmpty());
  EXPECT_TRUE(info.copyright.contains(info.company));
  EXPECT_FALSE(info.platform.isEmpty());
  EXPECT_NE(info.platform, "Win NT/2000/XP");
  EXPECT_EQ(AboutTexts(), QStringList({info.productName, info.version, info.platform, info.copyright, info.company}));
}

TEST(SplashInfo, FourthTickClosesAndAnyNonZeroSettingShows) {
  SplashTicks ticks;
  EXPECT_FALSE(ticks.Tick());
  EXPECT_FALSE(ticks.Tick());
  EXPECT_FALSE(ticks.Tick());
  EXPECT_TRUE(ticks.Tick());
  EXPECT_EQ(ticks.count(), 4);
  EXPECT_FALSE(SplashShownAtStart(0));
  for (int16_t v : {1, 2, 7, -1, 32767}) EXPECT_TRUE(SplashShownAtStart(v)) << v;
  EXPECT_EQ(HelpPagePath("/opt/Lum brook/bin/"), "/opt/Lum brook/bin/Help/Lumbrook.html");
}
