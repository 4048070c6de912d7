// The report files: safe names, the filled template, the files written, and
// the page itself in a real headless Chromium (skipped where none is
// installed; the project's scripts install it).
#include "../viewertestsupport.h"

#include "dataaccess/error.h"
#include "dataaccess/rowstore.h"
#include "testsupport/tempdir.h"
#include "viewer/report/reportbuilder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

// `rows` rows of id (integer), name (text), born (date) and an empty note.
std::unique_ptr<dataaccess::Recordset> people(int rows, const QString& name = "Ann") {
  auto store = std::make_shared<dataaccess::RowStore>(std::vector<dataaccess::FieldInfo>{
      {"id", dataaccess::adInteger, 4}, {name == "Ann" ? "name" : name, dataaccess::adVarWChar, 80},
      {"born", dataaccess::adDate, 8}, {"note", dataaccess::adVarWChar, 10}});
  for (int i = 1; i <= rows; ++i)
    store->appendRow({qlonglong(i), i == 1 ? name : QString("P%1").arg(i),
                      QDateTime(QDate(2004, 3, 5), QTime(10, 20, 30)), QVariant()});
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

QString inlineBlock(const QString& html, const QString& tag) {
  const qsizetype open = html.indexOf("<" + tag + ">");
  const qsizetype close = html.indexOf("</" + tag + ">", open);
  return html.mid(open + tag.size() + 2, close - open - tag.size() - 2);
}

}  // namespace

TEST(Report, FileNamesStayInsideTheReportFolder) {
  EXPECT_EQ(ReportFileName("Orders"), "Orders");
  EXPECT_EQ(ReportFileName("Muffin/Bread"), "Muffin_Bread");
  EXPECT_EQ(ReportFileName("../../etc/passwd"), "_._.._etc_passwd");
  EXPECT_EQ(ReportFileName(".hidden"), "_hidden");
  EXPECT_EQ(ReportFileName(QString("a") + QChar(0) + "b"), "a_b");
  EXPECT_EQ(ReportFileName(""), "report");
  const QString longName = QString(150, QChar(0x00E9));  // 300 bytes of UTF-8
  const QString cut = ReportFileName(longName);
  EXPECT_LE(cut.toUtf8().size(), 200);
  EXPECT_EQ(cut, QString(100, QChar(0x00E9)));
}

TEST(Report, TemplateIsFilledInOrderWithEveryInsertEscaped) {
  const QString filled = FillReportTemplate("@TITLE@|@HEAD@|@XML@|@PAGESIZE@|@HELPURL@", "/tmp/my data/#1.xml", 20,
                                            "<script>alert(1)</script>", "A & B", "file:///opt/l/Help/Lumbrook.html");
  EXPECT_EQ(filled,
            "&lt;script&gt;alert(1)&lt;/script&gt;|A &amp; B|file:///tmp/my%20data/%231.xml|20|"
            "file:///opt/l/Help/Lumbrook.html");
  // Text inserted by one replacement is searched by the later ones.
  EXPECT_EQ(FillReportTemplate("@TITLE@", "/x", 1, "@HEAD@", "h", ""), "h");
}

TEST(Report, TemplatePolicyAllowsExactlyItsOwnScriptAndStyle) {
  const QString html = ReportTemplate();
  ASSERT_FALSE(html.isEmpty());
  for (const char* placeholder : {"@TITLE@", "@HEAD@", "@XML@", "@PAGESIZE@"})
    EXPECT_TRUE(html.contains(placeholder)) << placeholder;
  auto hash = [](const QString& text) {
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64());
  };
  EXPECT_TRUE(html.contains("default-src 'none'"));
  EXPECT_TRUE(html.contains("script-src 'sha256-" + hash(inlineBlock(html, "script")) + "'"))
      << "update the script hash in the page's Content-Security-Policy to "
      << hash(inlineBlock(html, "script")).toStdString();
  EXPECT_TRUE(html.contains("style-src 'sha256-" + hash(inlineBlock(html, "style")) + "'"))
      << "update the style hash to " << hash(inlineBlock(html, "style")).toStdString();
}

TEST(Report, BuildWritesTheRowsAndThePageAndReplacesThemNextTime) {
  TempDir dir;
  const QString folder = dir.file("Data");
  ReportTitle = ReportHead = "Muffin/Bread";
  auto rs = people(3);
  ReportFiles files = BuildReport(*rs, folder, 20, "UTF-8", QString(), ReportTemplate(), "");
  EXPECT_EQ(files.xmlPath, folder + "/Muffin_Bread.xml");
  EXPECT_EQ(files.pagePath, folder + "/Muffin_Bread.htm");
  EXPECT_EQ(dir.read("Data/Muffin_Bread.xml").count("<z:row"), 3);
  EXPECT_TRUE(dir.read("Data/Muffin_Bread.htm").contains("<h1 class=\"centered\">Muffin/Bread</h1>"));
  EXPECT_EQ(files.html.toUtf8(), dir.read("Data/Muffin_Bread.htm"));

  auto fewer = people(1);
  BuildReport(*fewer, folder, 20, "UTF-8", QString(), ReportTemplate(), "");
  EXPECT_EQ(dir.read("Data/Muffin_Bread.xml").count("<z:row"), 1);

  // A saved rowset is shown from the open file itself; nothing is saved.
  ReportTitle = "saved.xml";
  files = BuildReport(*rs, folder, 20, "UTF-8", dir.file("saved.xml"), ReportTemplate(), "");
  EXPECT_EQ(files.xmlPath, dir.file("saved.xml"));
  EXPECT_FALSE(QFile::exists(dir.file("saved.xml")));
  EXPECT_FALSE(QFile::exists(folder + "/saved.xml.xml"));

  // Without a template the page is the converter's entity XML.
  ReportTitle = "t";
  files = BuildReport(*rs, folder, 20, "UTF-8", QString(), QString(), "");
  EXPECT_EQ(files.pagePath, folder + "/report.xml");
  EXPECT_TRUE(dir.read("Data/report.xml").startsWith("<?xml"));
}

TEST(Report, AFailedBuildIsAnErrorAndLeavesNoHalfWrittenFiles) {
  TempDir dir;
  dir.write("Data", "a file where the folder should be");
  ReportTitle = "t";
  auto rs = people(2);
  try {
    BuildReport(*rs, dir.file("Data"), 20, "UTF-8", QString(), ReportTemplate(), "");
    FAIL() << "no error";
  } catch (const dataaccess::Error& e) {
    EXPECT_TRUE(e.message().contains(QRegularExpression("^-?\\d+: "))) << e.message().toStdString();
  }
  EXPECT_EQ(dir.read("Data"), QByteArray("a file where the folder should be"));
}

TEST(Report, FolderBesideTheProgramWhenWritableElseTheUsersDataFolder) {
  TempDir dir;
  EXPECT_EQ(ReportFolder(dir.path()), dir.path() + "/Data");
  dir.write("blocked", "x");  // a file where the program folder should be
  EXPECT_EQ(ReportFolder(dir.file("blocked")),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Lumbrook/Data");
}

// ---- the page in a real browser -------------------------------------------------

namespace {

QString chromium() {
  for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
    const QString path = QStandardPaths::findExecutable(name);
    if (!path.isEmpty()) return path;
  }
  return QString();
}

// What the harness saw after loading the report and after each click.
QJsonArray browse(TempDir& dir, const QString& page) {
  QFile harness(QStringLiteral(LUMBROOK_SOURCE_DIR "/tests/viewer/report/harness.htm"));
  EXPECT_TRUE(harness.open(QIODevice::ReadOnly));
  const QString driver = dir.write("harness.htm", QString::fromUtf8(harness.readAll())
                                                      .replace("@REPORT@", QUrl::fromLocalFile(page).toString())
                                                      .toUtf8());
  QProcess p;
  p.start(chromium(), {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                       "--disable-background-networking", "--disable-component-update", "--disable-sync",
                       "--user-data-dir=" + dir.file("profile"), "--allow-file-access-from-files",
                       "--virtual-time-budget=10000", "--dump-dom", QUrl::fromLocalFile(driver).toString()});
  EXPECT_TRUE(p.waitForFinished(120000));
  QString dom = QString::fromUtf8(p.readAllStandardOutput());
  const QRegularExpressionMatch m = QRegularExpression("RESULT(\\[.*\\])END").match(dom);
  EXPECT_TRUE(m.hasMatch()) << dom.left(2000).toStdString();
  // The dump is HTML: undo the escaping of the <pre> text.
  QString json = m.captured(1);
  json.replace("&nbsp;", QString(QChar(0x00A0))).replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
  return QJsonDocument::fromJson(json.toUtf8()).array();
}

}  // namespace

TEST(ReportPage, PagesFormatsAndNavigatesInChromium) {
  if (chromium().isEmpty()) GTEST_SKIP() << "no Chromium installed";
  TempDir dir;
  ReportTitle = ReportHead = "People";
  auto rs = people(45);
  const ReportFiles files = BuildReport(*rs, dir.file("Data"), 20, "UTF-8", QString(), ReportTemplate(), "");
  const QJsonArray steps = browse(dir, files.pagePath);
  ASSERT_EQ(steps.size(), 6);
  const QJsonObject load = steps[0].toObject();
  EXPECT_EQ(load["counter"].toString(), " Page 1 from 3 pages. ");
  EXPECT_EQ(load["rows"].toInt(), 20);
  EXPECT_EQ(load["domRows"].toInt(), 21) << "only the page on view has DOM rows";
  EXPECT_EQ(load["headers"].toArray().size(), 4) << "every column, the last one too";
  EXPECT_EQ(load["row0bg"].toString(), "rgb(255, 255, 255)");
  EXPECT_EQ(load["row1bg"].toString(), "rgb(255, 255, 224)") << "LightYellow odd rows";
  const QJsonArray cells = load["cells"].toArray(), align = load["align"].toArray();
  EXPECT_EQ(cells[2].toString(), "5-3-2004");
  EXPECT_EQ(align[2].toString(), "center");
  EXPECT_EQ(align[1].toString(), "left");
  EXPECT_EQ(align[0].toString(), "right");
  EXPECT_EQ(cells[3].toString(), QString(QChar(0x00A0)));
  EXPECT_TRUE(load["prev"].toBool());
  EXPECT_FALSE(load["next"].toBool());

  // next, next, previous, last, first
  const char* counters[] = {" Page 2 from 3 pages. ", " Page 3 from 3 pages. ", " Page 2 from 3 pages. ",
                            " Page 3 from 3 pages. ", " Page 1 from 3 pages. "};
  const bool prevDisabled[] = {false, false, false, false, true};
  const bool nextDisabled[] = {false, true, false, true, false};
  const int rows[] = {20, 5, 20, 5, 20};
  for (int i = 0; i < 5; ++i) {
    const QJsonObject s = steps[i + 1].toObject();
    EXPECT_EQ(s["counter"].toString(), counters[i]) << "step " << i;
    EXPECT_EQ(s["prev"].toBool(), prevDisabled[i]) << "step " << i;
    EXPECT_EQ(s["next"].toBool(), nextDisabled[i]) << "step " << i;
    EXPECT_EQ(s["rows"].toInt(), rows[i]) << "step " << i;
  }
}

TEST(ReportPage, HostileNamesAndValuesShowAsText) {
  if (chromium().isEmpty()) GTEST_SKIP() << "no Chromium installed";
  TempDir dir;
  const QString hostile = "<img src=x onerror=\"window.hacked=1\"><script>window.hacked=1</script>";
  ReportTitle = ReportHead = hostile;
  auto rs = people(2, "<img src=x onerror=window.hacked=1>");
  const ReportFiles files = BuildReport(*rs, dir.file("Data"), 20, "UTF-8", QString(), ReportTemplate(), "");
  const QJsonArray steps = browse(dir, files.pagePath);
  ASSERT_FALSE(steps.isEmpty());
  const QJsonObject load = steps[0].toObject();
  EXPECT_EQ(load["head"].toString(), hostile);
  EXPECT_EQ(load["title"].toString().trimmed(), hostile);
  EXPECT_EQ(load["headers"].toArray()[1].toString(), "<img src=x onerror=window.hacked=1>");
  EXPECT_EQ(load["imgs"].toInt(), 0);
  EXPECT_EQ(load["scripts"].toInt(), 1) << "only the page's own script";
  EXPECT_FALSE(load["hacked"].toBool());
}

TEST(ReportPage, AnEmptyTableSaysThereIsNoData) {
  if (chromium().isEmpty()) GTEST_SKIP() << "no Chromium installed";
  TempDir dir;
  ReportTitle = ReportHead = "Empty";
  auto rs = people(0);
  const ReportFiles files = BuildReport(*rs, dir.file("Data"), 20, "UTF-8", QString(), ReportTemplate(), "");
  const QJsonArray steps = browse(dir, files.pagePath);
  ASSERT_FALSE(steps.isEmpty());
  EXPECT_EQ(steps[0].toObject()["xTable"].toString(), "No data for viewing!");
}
