// Runs the built lumbrook-cli on small files and checks what it prints,
// writes and returns.
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <optional>

using testsupport::TempDir;

namespace {

struct CliRun {
  int code = -1;
  QString out;
  QString err;
};

class CliTest : public ::testing::Test {
 protected:
  CliRun run(const QStringList& args, const QStringList& extraEnv = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    for (const QString& e : extraEnv) env.insert(e.section('=', 0, 0), e.section('=', 1));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LUMBROOK_CLI_PATH), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
  }
  TempDir config;
  TempDir dir;
};

}  // namespace

TEST_F(CliTest, UsageErrorsExitWith2) {
  EXPECT_EQ(run({}).code, 2);
  EXPECT_EQ(run({"frobnicate", "x"}).code, 2);
  const CliRun r = run({"export", "a.csv", "t", "pdf", "out"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.err.contains("usage:"));
  EXPECT_EQ(run({"edit", "a.csv", "t", "zero", "A=1"}).code, 2);
  EXPECT_EQ(run({"edit", "a.csv", "t", "1", "novalue"}).code, 2);
  EXPECT_EQ(run({"info"}).code, 2);
}

TEST_F(CliTest, OpeningFailuresPrintNumberAndDescription) {
  CliRun r = run({"info", dir.file("missing.csv")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.startsWith("53: ")) << r.err.toStdString();

  dir.write("other.xml", "<root/>");
  r = run({"info", dir.file("other.xml")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "The internal format of this file is not supported by the current version of the program. \n");

  dir.write("bad.mdb", "not a database");
  r = run({"info", dir.file("bad.mdb")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains(QRegularExpression("^-?\\d+: "))) << r.err.toStdString();
}

// An Access 2007 file: a Jet 4 database under the ACE signature and version.
TEST_F(CliTest, AccdbOpensAsAccess) {
  LUMBROOK_REQUIRE_FIXTURE(mdb, "access/fruit.mdb");
  QFile in(mdb);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  QByteArray bytes = in.readAll();
  bytes.replace(4, 16, QByteArray("Standard ACE DB\0", 16));
  bytes[0x14] = 2;
  const QString p = dir.write("Shop 2007.accdb", bytes);
  CliRun r = run({"info", p});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "kind=3\next=accdb\nprovider=jet\n");
  r = run({"tables", p});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Fruit Salad")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("In Dried"));

  dir.write("bad.accdb", "not a database");
  r = run({"info", dir.file("bad.accdb")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains("Unrecognized database format")) << r.err.toStdString();
}

TEST_F(CliTest, CsvInfoTablesCatalogAndColumns) {
  const QString p = dir.write("Orders 2024.csv", "id,item\n1,Tea\n2,Coffee beans\n");
  dir.write("customers.csv", "id,name\n1,Ann\n");
  CliRun r = run({"info", p});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "kind=9\next=csv\nprovider=text\n");

  r = run({"tables", p});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
  lines.sort();
  EXPECT_EQ(lines, QStringList({"Orders 2024#csv\tTABLE", "customers#csv\tTABLE"}));

  r = run({"catalog", p});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.startsWith("TABLE_CATALOG\tTABLE_SCHEMA\tTABLE_NAME\tTABLE_TYPE"));
  EXPECT_EQ(r.out.count('\n'), 3);

  r = run({"columns", p, "Orders 2024#csv"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("\tid\t"));
  EXPECT_TRUE(r.out.contains("\titem\t"));
  EXPECT_EQ(r.out.count('\n'), 3);
}

TEST_F(CliTest, CsvExportsTheOpenedFileWhateverTableIsNamed) {
  const QString p = dir.write("Orders 2024.csv", "id,item\n1,Tea\n2,Coffee beans\n");
  dir.write("customers.csv", "id,name\n1,Ann\n");
  CliRun r = run({"export", p, "customers#csv", "txt_tab", dir.file("out.txt")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(dir.read("out.txt"), QByteArray("id\titem\r\n1\tTea\r\n2\tCoffee beans\r\n"));

  r = run({"export", p, "x", "txt_comma", dir.file("sql.txt"), "--sql", "SELECT item FROM [Orders 2024#csv] WHERE id = 2"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(dir.read("sql.txt"), QByteArray("item\r\nCoffee beans\r\n"));

  r = run({"export", p, "x", "xml_row", dir.file("rows.xml")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(dir.read("rows.xml").contains("urn:schemas-microsoft-com:rowset"));

  r = run({"export", p, "x", "xml_ent", dir.file("ent.xml")});
  if (r.code != 0) EXPECT_TRUE(r.err.contains(QRegularExpression("^-?\\d+: "))) << r.err.toStdString();
}

TEST_F(CliTest, LogFilesAreReadThroughACopyThatNeverReplacesAUserFile) {
  const QString log = dir.write("shop.log", "started\nstopped\n");
  CliRun r = run({"export", log, "-", "txt_tab", dir.file("out.txt")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(dir.read("out.txt").endsWith("\r\nstopped\r\n"));
  EXPECT_EQ(dir.read("shop.txt"), QByteArray("started\nstopped\n"));

  TempDir other;
  const QString log2 = other.write("app.log", "x\n");
  other.write("app.txt", "mine\n");
  r = run({"export", log2, "-", "txt_tab", other.file("out.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains(other.file("app.txt")));
  EXPECT_EQ(other.read("app.txt"), QByteArray("mine\n"));
}

TEST_F(CliTest, PersistedRecordsetOpensWithoutAConnection) {
  const QString p = dir.write("a.csv", "id,item\n1,Tea\n2,Milk\n");
  ASSERT_EQ(run({"export", p, "-", "xml_row", dir.file("saved.xml")}).code, 0);
  CliRun r = run({"info", dir.file("saved.xml")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "kind=8\next=xml\nprovider=none\n");
  EXPECT_EQ(run({"tables", dir.file("saved.xml")}).out, "");

  r = run({"export", dir.file("saved.xml"), "-", "txt_comma", dir.file("back.txt")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(dir.read("back.txt"), QByteArray("id,item\r\n1,Tea\r\n2,Milk\r\n"));
}

TEST_F(CliTest, EditReportsWhatTheSourceRefuses) {
  const QString p = dir.write("a.csv", "id,item\n1,Tea\n");
  CliRun r = run({"edit", p, "a#csv", "5", "item=Milk"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains("Row 5")) << r.err.toStdString();
  r = run({"edit", p, "a#csv", "1", "nosuchfield=1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains(QRegularExpression("^-?\\d+: "))) << r.err.toStdString();
  EXPECT_EQ(dir.read("a.csv"), QByteArray("id,item\n1,Tea\n"));
}

TEST_F(CliTest, ExportToStandardOutput) {
  const QString p = dir.write("a.csv", "id,item\n1,\"Tea, green\"\n2,Milk\n");
  CliRun r = run({"export", p, "x", "txt_comma", "-"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "id,item\r\n1,\"Tea, green\"\r\n2,Milk\r\n");
  EXPECT_FALSE(QFile::exists("-"));

  r = run({"export", p, "x", "xml_row", "-"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out.count("<z:row"), 2);
}

TEST_F(CliTest, ExportRunsFilterAndSortStepsInOrder) {
  const QString csv = dir.write("shop.csv", "Id,Item,Town\r\n1,Pear,Oslo\r\n2,Plum,Rome\r\n3,Peach,Oslo\r\n4,Apple,Lima\r\n");
  const QString out = dir.file("out.csv");
  CliRun r = run({"export", csv, "shop#csv", "txt_comma", out, "--filter", "1:Town", "--sort-desc", "Item",
                  "--filter", "2:Item:ea", "--print-sql"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "SELECT * FROM [shop#csv] WHERE   Town='Oslo'   AND Item LIKE '%ea%' ORDER BY Item DESC\n");
  EXPECT_EQ(dir.read("out.csv"), "Id,Item,Town\r\n1,Pear,Oslo\r\n3,Peach,Oslo\r\n");

  r = run({"export", csv, "shop#csv", "txt_comma", out, "--sort", "Town", "--sort-add-desc", "Id", "--filter",
           "1:Town", "--remove-filter", "--print-sql"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "SELECT * FROM [shop#csv] ORDER BY Town,Id DESC\n");
  EXPECT_EQ(dir.read("out.csv"), "Id,Item,Town\r\n4,Apple,Lima\r\n3,Peach,Oslo\r\n1,Pear,Oslo\r\n2,Plum,Rome\r\n");
}

TEST_F(CliTest, FailedStepsReportGoOnAndExitWith1) {
  const QString csv = dir.write("shop.csv", "Id,Item\r\n1,Pear\r\n2,Plum\r\n3,Peach\r\n");
  const QString out = dir.file("out.csv");
  // The filter's condition cannot follow LIMIT: the message, then the rows
  // of before; the sort after it still runs.
  CliRun r = run({"export", csv, "shop#csv", "txt_comma", out, "--sql", "SELECT * FROM [shop#csv] LIMIT 2", "--filter",
                  "1:Item", "--filter", "7:Item", "--filter", "1:Nope", "--print-sql"});
  EXPECT_EQ(r.code, 1);
  const QStringList lines = r.err.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 3) << r.err.toStdString();
  EXPECT_TRUE(lines[0].startsWith("-2147217900: ")) << r.err.toStdString();
  EXPECT_TRUE(lines[1].contains("Row 7 does not exist")) << r.err.toStdString();
  EXPECT_TRUE(lines[2].startsWith("-2146825023: ")) << r.err.toStdString();
  EXPECT_EQ(r.out, "SELECT * FROM [shop#csv] LIMIT 2\n");
  EXPECT_EQ(dir.read("out.csv"), "Id,Item\r\n1,Pear\r\n2,Plum\r\n");

  EXPECT_EQ(run({"export", csv, "shop#csv", "txt_comma", out, "--filter", "x:Item"}).code, 2);
  EXPECT_EQ(run({"export", csv, "shop#csv", "txt_comma", out, "--sort"}).code, 2);
}

namespace {

// Pages of a PDF as its page objects count them.
int pdfPages(const QByteArray& pdf) {
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
  return int(QString::fromLatin1(pdf).count(page));
}

QByteArray csvRows(int rows) {
  QByteArray text = "id,name,note\n";
  for (int i = 1; i <= rows; ++i)
    text += QByteArray::number(i) + (i == 1 ? ",<script>alert(1)</script>" : ",P" + QByteArray::number(i)) + ",n\n";
  return text;
}

}  // namespace

TEST_F(CliTest, ReportWritesTheFilesAndAPdfOfEveryReportPage) {
  EXPECT_EQ(run({"report", "a.csv"}).code, 2);
  EXPECT_EQ(run({"report", "a.csv", "t", "--pdf"}).code, 2);

  dir.write("cli_report_small.csv", csvRows(10));
  CliRun r = run({"report", dir.file("cli_report_small.csv"), "cli_report_small#csv"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const QStringList paths = r.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(paths.size(), 2);
  EXPECT_TRUE(paths[0].endsWith("/Data/cli_report_small#csv.xml"));
  EXPECT_TRUE(paths[1].endsWith("/Data/cli_report_small#csv.htm"));
  QFile page(paths[1]);
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QByteArray html = page.readAll();
  EXPECT_TRUE(html.contains("<h1 class=\"centered\">cli_report_small#csv</h1>"));
  EXPECT_TRUE(html.contains("cli_report_small%23csv.xml"));  // the XML as a file URL
  EXPECT_TRUE(QFile::exists(paths[0]));

#ifdef LUMBROOK_REPORT_PDF_PATH
  // Ten rows fit on one sheet. With every report page in the PDF, 200 rows
  // (five report pages of 40) take several sheets, and 400 twice as many.
  r = run({"report", dir.file("cli_report_small.csv"), "cli_report_small#csv", "--pdf", dir.file("small.pdf")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.endsWith(dir.file("small.pdf") + "\n")) << r.out.toStdString();
  EXPECT_EQ(pdfPages(dir.read("small.pdf")), 1);

  dir.write("cli_report_big.csv", csvRows(200));
  r = run({"report", dir.file("cli_report_big.csv"), "cli_report_big#csv", "--pdf", dir.file("big.pdf")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const int big = pdfPages(dir.read("big.pdf"));
  EXPECT_GE(big, 3);
  dir.write("cli_report_big.csv", csvRows(400));
  r = run({"report", dir.file("cli_report_big.csv"), "cli_report_big#csv", "--pdf", dir.file("bigger.pdf")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_NEAR(pdfPages(dir.read("bigger.pdf")), 2 * big, 1);

  // A PDF that cannot be written is an error, not a success.
  r = run({"report", dir.file("cli_report_small.csv"), "cli_report_small#csv", "--pdf",
           dir.file("no/such/folder/x.pdf")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains(QRegularExpression("^-?\\d+: The PDF .* could not be written"))) << r.err.toStdString();
  QFile::remove(QFileInfo(paths[0]).path() + "/cli_report_big#csv.xml");
  QFile::remove(QFileInfo(paths[0]).path() + "/cli_report_big#csv.htm");
#endif
  QFile::remove(paths[0]);
  QFile::remove(paths[1]);
}

namespace {

// Runs a Python script with Debian's interpreter (python3-dbf); nothing when
// it cannot run, its standard output otherwise.
std::optional<QString> python(const QString& script, const QStringList& args) {
  QProcess py;
  py.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
  if (!py.waitForFinished(60000) || py.exitStatus() != QProcess::NormalExit || py.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(py.readAllStandardOutput());
}

}  // namespace

// A saved edit is checked by reading the table with something other than
// Lumbrook: Python's dbf module (the text source is read-only).
TEST_F(CliTest, SavedEditsAreWhatAnotherReaderSees) {
  const QString table = dir.file("items.dbf");
  const auto made = python(QStringLiteral("import sys, dbf\n"
                                          "t = dbf.Table(sys.argv[1], 'name C(20); qty N(5,0)', codepage='cp1252')\n"
                                          "t.open(dbf.READ_WRITE)\n"
                                          "t.append(('Tea', 3)); t.append(('Milk', 4))\n"
                                          "t.close()\n"),
                           {table});
  if (!made) GTEST_SKIP() << "python3-dbf is not installed";
  const CliRun r = run({"edit", table, "items", "2", "name=Cocoa", "qty=17"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const auto read = python(QStringLiteral("import sys, dbf\n"
                                          "t = dbf.Table(sys.argv[1]); t.open(dbf.READ_ONLY)\n"
                                          "for rec in t: print('%s|%s|%s' % (rec.name.rstrip(), rec.qty, dbf.is_deleted(rec)))\n"
                                          "t.close()\n"),
                           {table});
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, QStringLiteral("Tea|3|False\nCocoa|17|False\n"));
}

// The libraries a run maps, from the dynamic loader's own account of the
// files it opens (needed at start or opened by dlopen later).
namespace {
QStringList mappedLibraries(const QString& loaderLog) {
  QStringList names;
  static const QRegularExpression file(QStringLiteral("file=(\\S+)\\s+\\[\\d+\\];\\s+(needed|dynamically loaded)"));
  for (auto it = file.globalMatch(loaderLog); it.hasNext();) names << it.next().captured(1);
  return names;
}
const QStringList kLateLibraries = {"libodbc", "libxml2", "libxslt", "libexslt", "libquillon", "libgsf", "libpx.",
                                    "libshp", "libsqlite3", "/plugins/"};
QStringList lateLibrariesIn(const QStringList& names) {
  QStringList found;
  for (const QString& n : names)
    for (const QString& late : kLateLibraries)
      if (n.contains(late)) found << n;
  return found;
}
}  // namespace

TEST_F(CliTest, ListingAFileLoadsNoOdbcXmlConverterOrPlugInLibrary) {
  const QString csv = dir.write("list.csv", "id,name\n1,Ann\n");
  std::vector<QString> files = {csv};
  const QString mdb = testsupport::fixture(QStringLiteral("access/nwind.mdb"));  // empty without the folder
  if (!mdb.isEmpty()) files.push_back(mdb);
  for (const QString& f : files) {
    for (const char* command : {"tables", "catalog"}) {
      const CliRun r = run({command, f}, {"LD_DEBUG=files"});
      ASSERT_EQ(r.code, 0) << r.err.toStdString();
      const QStringList mapped = mappedLibraries(r.err);
      ASSERT_TRUE(mapped.join(' ').contains("libQt6Core")) << "no loader log: " << r.err.left(400).toStdString();
      EXPECT_EQ(lateLibrariesIn(mapped), QStringList()) << command << " " << f.toStdString();
    }
  }
}

TEST_F(CliTest, XmlExportAndDataLinksOpenTheirLibrariesWhenUsed) {
  const QString csv = dir.write("rows.csv", "id,name\n1,Ann\n2,Bo\n");
  const QString out = dir.file("rows.xml");
  CliRun r = run({"export", csv, "rows#csv", "xml_ent", out}, {"LD_DEBUG=files"});
  ASSERT_EQ(r.code, 0) << r.err.right(400).toStdString();
  QStringList late = lateLibrariesIn(mappedLibraries(r.err));
  EXPECT_TRUE(late.join(' ').contains("libquillon")) << late.join(' ').toStdString();
  EXPECT_TRUE(late.join(' ').contains("libxml2")) << late.join(' ').toStdString();
  EXPECT_FALSE(late.join(' ').contains("libsqlite3")) << "a whole table needs no SQL engine";
  QFile written(out);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll().contains("<name>Bo</name>"));

  // A data link naming a driver that is not installed: libodbc is opened,
  // and the driver manager's refusal is a numbered error.
  QByteArray udl("\xff\xfe", 2);
  const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
                                      "Driver={Lumbrook No Such Driver};Database=x;\r\n");
  udl.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  const QString link = dir.write("nowhere.udl", udl);
  r = run({"tables", link}, {"LD_DEBUG=files"});
  EXPECT_EQ(r.code, 1);
  late = lateLibrariesIn(mappedLibraries(r.err));
  EXPECT_TRUE(late.join(' ').contains("libodbc")) << late.join(' ').toStdString();
  EXPECT_FALSE(late.join(' ').contains("libquillon"));
  EXPECT_TRUE(r.err.contains(QRegularExpression("(^|\\n)-?\\d+: \\S"))) << r.err.right(400).toStdString();
}

TEST_F(CliTest, AStatementOpensTheSqlEngineAndGivesItsRows) {
  const QString csv = dir.write("nums.csv", "id,name\n3,c\n1,a\n2,b\n");
  const CliRun r = run({"export", csv, "nums#csv", "txt_comma", "-", "--sql",
                        "SELECT name, id * 2 AS twice FROM [nums#csv] WHERE id > 1 ORDER BY id DESC"},
                       {"LD_DEBUG=files"});
  ASSERT_EQ(r.code, 0) << r.err.right(400).toStdString();
  EXPECT_TRUE(lateLibrariesIn(mappedLibraries(r.err)).join(' ').contains("libsqlite3"));
  EXPECT_EQ(r.out, "name,twice\r\nc,6\r\nb,4\r\n");
}

// Names outside ASCII in paths, tables and columns come out of the listing
// commands as the other commands take them back.
TEST_F(CliTest, ListedNonAsciiNamesAreTheNamesTheOtherCommandsTake) {
  const QStringList utf8 = {"LC_ALL=C.UTF-8"};
  const QString p = dir.write(QStringLiteral("Zählung – März.csv"), QStringLiteral("Größe,Ort\n1,Köln\n").toUtf8());
  CliRun r = run({"tables", p}, utf8);
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("Zählung – März#csv\tTABLE\n"));
  const QString table = r.out.section('\t', 0, 0);

  r = run({"columns", p, table}, utf8);
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains(QStringLiteral("\tGröße\t"))) << r.out.toStdString();

  r = run({"export", p, table, "txt_comma", "-"}, utf8);
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, QStringLiteral("Größe,Ort\r\n1,Köln\r\n"));

  r = run({"info", dir.file(QStringLiteral("Fehlt – März.csv"))}, utf8);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.startsWith("53: ")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("Fehlt – März.csv"))) << r.err.toStdString();
}

// The Options dialog's settings from the shell: printed as the dialog would
// show them, changed through the dialog's rules, refused with its message.
TEST_F(CliTest, OptionsPrintApplyAndRefuseAsTheDialogDoes) {
  CliRun r = run({"options"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "XML Encoding:\twindows-1251\nRows on page:\t40\nText format:\tTabDelimited\nShow at next time\t1\n");

  r = run({"options", "--rows-on-page", "2 5", "--text-format", " CSVDelimited ", "--show-splash", "0"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "XML Encoding:\twindows-1251\nRows on page:\t25\nText format:\tCSVDelimited\nShow at next time\t0\n");
  QFile settings(config.file("Fenwright/Lumbrook.conf"));
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  const QByteArray saved = settings.readAll();
  EXPECT_EQ(saved, "PAGESIZE=25\nPAGEENCODING=windows-1251\nTXTFormat=CSVDelimited\nShowSplash=0\n");
  settings.close();

  r = run({"options", "--rows-on-page", "32767.5", "--encoding", "utf-8", "--show-splash", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.trimmed(), "6: Rows on page cannot be more than 32767");
  EXPECT_TRUE(r.out.isEmpty());
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  EXPECT_EQ(settings.readAll(), saved) << "a refused change wrote the settings";
  settings.close();
  EXPECT_TRUE(run({"options"}).out.contains("Rows on page:\t25\n"));

  // A settings file that cannot be replaced: the store's message, status 1.
  ASSERT_TRUE(settings.remove());
  ASSERT_TRUE(QDir().mkpath(config.file("Fenwright/Lumbrook.conf")));
  r = run({"options", "--encoding", "utf-8"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(QRegularExpression("^-2147221504: Error [1-9][0-9]*, Line 0$").match(r.err.trimmed()).hasMatch())
      << r.err.toStdString();

  for (const QStringList& wrong : {QStringList{"options", "--show-splash", "2"}, QStringList{"options", "--rows-on-page"},
                                   QStringList{"options", "--colour", "red"}})
    EXPECT_EQ(run(wrong).code, 2) << wrong.join(' ').toStdString();
}

TEST_F(CliTest, AboutPrintsTheSplashTexts) {
  const CliRun r = run({"about"});
  EXPECT_EQ(r.code, 0);
  const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 5) << r.out.toStdString();
  EXPECT_EQ(lines[0], "Lumbrook");
  // The build's version, with " Beta" only before 1.0.
  EXPECT_TRUE(QRegularExpression("^Version ([1-9][0-9]*\\.[0-9]+\\.[0-9]+|0\\.[0-9]+\\.[0-9]+ Beta)$").match(lines[1]).hasMatch())
      << lines[1].toStdString();
  EXPECT_NE(lines[2], "Win NT/2000/XP");
  EXPECT_TRUE(lines[3].contains(lines[4])) << "the copyright names the company";
  EXPECT_EQ(run({"--version"}).out, r.out);
  EXPECT_EQ(run({"version"}).out, r.out);
  EXPECT_EQ(run({"about", "extra"}).code, 2);
}
