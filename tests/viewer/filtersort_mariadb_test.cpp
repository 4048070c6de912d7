// The filter over a data link to a real MariaDB server, which reads a
// backslash inside a string literal as an escape: values holding "\",
// "\'", "'", "%" and "_" find exactly their own rows and never change the
// statement. The tests start their own server (scripts/mariadb-test-server.sh)
// and skip when mariadb-server or its ODBC driver is not installed.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "testgrid.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace viewer;
using namespace viewertest;

namespace {

const char* const kDriverLibrary = "/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so";

struct Server {
  QString dir;
  int port = 0;
  QString skip;  // why the tests cannot run here
  QString error;
};

const Server& server() {
  static Server s = [] {
    Server out;
    if (!QFile::exists(kDriverLibrary)) {
      out.skip = "the MariaDB ODBC driver (odbc-mariadb) is not installed";
      return out;
    }
    QProcess p;
    p.start("bash", {LUMBROOK_SOURCE_DIR "/scripts/mariadb-test-server.sh", "start", QString::number(getpid())});
    if (!p.waitForFinished(180000)) {
      out.error = "the MariaDB test server did not start in three minutes";
      return out;
    }
    if (p.exitCode() == 2) {
      out.skip = "mariadb-server is not installed";
      return out;
    }
    if (p.exitCode() != 0) {
      out.error = QString::fromLocal8Bit(p.readAllStandardError());
      return out;
    }
    for (const QString& line : QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n')) {
      if (line.startsWith("MYDIR=")) out.dir = line.mid(6);
      if (line.startsWith("MYPORT=")) out.port = line.mid(7).toInt();
    }
    // The driver registered under the name a user's link gives it.
    static QTemporaryDir ini;
    QFile f(ini.filePath("odbcinst.ini"));
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("[MariaDB Unicode]\nDriver=%1\n").arg(kDriverLibrary).toUtf8());
    f.close();
    qputenv("ODBCSYSINI", ini.path().toLocal8Bit());
    qputenv("ODBCINI", ini.filePath("odbc.ini").toLocal8Bit());
    return out;
  }();
  return s;
}

QString link(const QString& database = "lumbrook") {
  return QStringLiteral("Driver={MariaDB Unicode};Server=127.0.0.1;Port=%1;User=root;Database=%2;")
      .arg(server().port)
      .arg(database);
}

// Values a filter must find exactly, among them ones that would end a
// literal early on a server that reads backslash escapes.
const QStringList kValues = {"plain", "back\\slash", "ends with \\", "quote\\' OR 1=1 -- ", "it's",
                             "100%", "a_b", "aXb", "back\\\\double"};

class MariaDbFilter : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server().skip.isEmpty()) GTEST_SKIP() << server().skip.toStdString();
    ASSERT_TRUE(server().error.isEmpty()) << server().error.toStdString();
    auto admin = std::make_shared<dataaccess::Connection>();
    admin->Open(link("mysql"));
    admin->provider().execute("CREATE DATABASE IF NOT EXISTS lumbrook", dataaccess::adCmdText);
    admin->provider().execute("DROP TABLE IF EXISTS lumbrook.items", dataaccess::adCmdText);
    admin->provider().execute("CREATE TABLE lumbrook.items (id INT PRIMARY KEY, name VARCHAR(40))",
                              dataaccess::adCmdText);
    for (int i = 0; i < kValues.size(); ++i) {
      QString v = kValues[i];
      v.replace("\\", "\\\\").replace("'", "''");
      admin->provider().execute(QStringLiteral("INSERT INTO lumbrook.items VALUES (%1, '%2')").arg(i + 1).arg(v),
                                dataaccess::adCmdText);
    }
    cn = std::make_shared<dataaccess::Connection>();
    cn->Open(link());
    grid.rs = std::make_shared<dataaccess::Recordset>();
    grid.rs->setCursorLocation(dataaccess::adUseClient);
    grid.rs->Open("SELECT * FROM items ORDER BY id", cn, dataaccess::adOpenKeyset, dataaccess::adLockBatchOptimistic,
                  dataaccess::adCmdText);
    ASSERT_EQ(grid.rs->RecordCount(), kValues.size());
    base = grid.rs->Source();
  }
  std::shared_ptr<dataaccess::Connection> cn;
  RecordingPrompts prompts;
  TestGrid grid;
  QString base;
};

}  // namespace

TEST_F(MariaDbFilter, EveryValueFindsExactlyItsOwnRow) {
  EXPECT_TRUE(ServerEscapesBackslashes(*cn));
  for (int i = 0; i < kValues.size(); ++i) {
    grid.select("name", i + 1);
    ASSERT_TRUE(FilterBySelection(grid, QString(), "udl")) << kValues[i].toStdString();
    EXPECT_EQ(grid.values("name"), QStringList{kValues[i]}) << grid.rs->Source().toStdString();
    ASSERT_TRUE(RemoveFilter(grid));
    ASSERT_EQ(grid.rs->RecordCount(), kValues.size());
  }
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MariaDbFilter, SelectedTextWithBackslashesMatchesItself) {
  grid.select("name", 2, "back\\");  // "back\slash": a prefix holding the backslash
  ASSERT_TRUE(FilterBySelection(grid, QString(), "udl"));
  EXPECT_EQ(grid.values("name"), (QStringList{"back\\slash", "back\\\\double"})) << grid.rs->Source().toStdString();
  ASSERT_TRUE(RemoveFilter(grid));
  grid.select("name", 3, "with \\");
  ASSERT_TRUE(FilterBySelection(grid, QString(), "udl"));
  EXPECT_EQ(grid.values("name"), QStringList{"ends with \\"}) << grid.rs->Source().toStdString();
}

TEST_F(MariaDbFilter, NoBackslashEscapesModeKeepsTheLiteralAsElsewhere) {
  cn->provider().execute("SET SESSION sql_mode = CONCAT(@@SESSION.sql_mode, ',NO_BACKSLASH_ESCAPES')",
                         dataaccess::adCmdText);
  EXPECT_FALSE(ServerEscapesBackslashes(*cn));
  grid.select("name", 2);
  ASSERT_TRUE(FilterBySelection(grid, QString(), "udl"));
  EXPECT_TRUE(grid.rs->Source().contains("name='back\\slash'")) << grid.rs->Source().toStdString();
  EXPECT_EQ(grid.values("name"), QStringList{"back\\slash"});
}
