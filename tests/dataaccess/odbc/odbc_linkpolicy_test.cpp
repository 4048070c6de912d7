// Data links that would make the driver manager or a driver load a library
// or use a file of the link's choosing are refused before ODBC sees them;
// ordinary links pass. The marker library's constructor writes a file when
// it is loaded, so "refused in time" is checked, not assumed.
#include "odbctestenv.h"

#include "dataaccess/connectionstring.h"
#include "dataaccess/error.h"
#include "dataaccess/providers/odbc/linkpolicy.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dataaccess;
using dataaccess::odbc::refuseLink;

namespace {
const QStringList kDrivers = {"PostgreSQL Unicode", "SQLite3", "MariaDB Unicode"};

QString refusedKeyword(const QString& s) {
  const auto r = refuseLink(s, kDrivers);
  return r ? r->keyword : QString();
}
}  // namespace

TEST(OdbcLinkPolicy, OrdinaryLinksPass) {
  for (const char* s : {"DRIVER={PostgreSQL Unicode};Server=localhost;Port=5432;Database=shop;UID=ann;PWD=x",
                        "DRIVER={SQLite3};Database=/home/ann/shop.sqlite;Timeout=1000",
                        "DSN=shop;UID=ann", "DRIVER={mariadb unicode};SERVER=db;DATABASE=x;SSLMODE=required",
                        "DSN=shop;DRIVER={SQLite3}"})
    EXPECT_FALSE(refuseLink(s, kDrivers).has_value()) << s;
}

TEST(OdbcLinkPolicy, DriversMustBeRegisteredNames) {
  EXPECT_EQ(refusedKeyword("Driver=/some/folder/lib.so;Server=x"), "DRIVER");
  EXPECT_EQ(refusedKeyword("Driver={/some/folder/lib.so};Server=x"), "DRIVER");
  EXPECT_EQ(refusedKeyword("Driver=libevil.so;Server=x"), "DRIVER");
  EXPECT_EQ(refusedKeyword("Driver={SQLite3};Database={x;Driver=/evil.so}"), "DRIVER")
      << "a second DRIVER hidden in a value";
  const auto r = refuseLink("Driver=libevil.so", kDrivers);
  ASSERT_TRUE(r);
  EXPECT_TRUE(odbc::refusalMessage(*r).contains("TrustedDataLinkFolders"));
  EXPECT_TRUE(odbc::refusalMessage(*r).contains("libevil.so"));
}

TEST(OdbcLinkPolicy, KeywordsThatLoadLibrariesOrUseFilesAreRefusedAnywhere) {
  EXPECT_EQ(refusedKeyword("Driver={SQLite3};Database=x;LoadExt=/some/folder/lib.so"), "LoadExt");
  EXPECT_EQ(refusedKeyword("Driver={SQLite3};Database=x; loadext = /x.so"), "loadext");
  EXPECT_EQ(refusedKeyword("Driver={SQLite3};Database={x;LoadExt=/x.so}"), "LoadExt") << "hidden in a value";
  EXPECT_EQ(refusedKeyword("Driver={SQLite3};Database=\"x;LoadExt=/x.so\""), "LoadExt");
  EXPECT_EQ(refusedKeyword("FILEDSN=/tmp/a.dsn"), "FILEDSN");
  EXPECT_EQ(refusedKeyword("DSN=x;SAVEFILE=/tmp/a.dsn"), "SAVEFILE");
  EXPECT_EQ(refusedKeyword("Driver={MariaDB Unicode};PLUGIN_DIR=/tmp"), "PLUGIN_DIR");
  EXPECT_EQ(refusedKeyword("Driver={MariaDB Unicode};DEFAULTAUTH=evil"), "DEFAULTAUTH");
  EXPECT_EQ(refusedKeyword("Driver={PostgreSQL Unicode};Logdir=/tmp"), "Logdir");
  EXPECT_EQ(refusedKeyword("Driver={MariaDB Unicode};TLSCAPATH=/tmp"), "TLSCAPATH");
  EXPECT_EQ(refusedKeyword("DSN=x;TraceFile=/tmp/t"), "TraceFile");
  EXPECT_EQ(refusedKeyword("DSN=x;DMConnAttr=[1]=x"), "DMConnAttr");
}

// ---- through the real driver manager ----------------------------------------

namespace {

struct Marker {
  Marker() {
    EXPECT_TRUE(dir.isValid());
    path = dir.filePath("marker");
    qputenv("LUMBROOK_MARKER_FILE", path.toLocal8Bit());
  }
  ~Marker() { qunsetenv("LUMBROOK_MARKER_FILE"); }
  bool written() const { return QFile::exists(path); }
  QTemporaryDir dir;
  QString path;
};

void expectRefused(const QString& udl, const Marker& marker) {
  try {
    odbctest::open("File Name=" + udl);
    ADD_FAILURE() << "opened " << udl.toStdString();
  } catch (const Error& e) {
    EXPECT_TRUE(e.message().contains(QRegularExpression("^-?\\d+: The data link was not opened")))
        << e.message().toStdString();
  }
  EXPECT_FALSE(marker.written()) << "the library was loaded";
}

}  // namespace

TEST(OdbcLinkPolicy, RefusedLinksNeverLoadTheLibrary) {
  Marker marker;
  const QString lib = QStringLiteral(LUMBROOK_MARKER_LIBRARY);
  expectRefused(odbctest::writeUdl("path.udl", "Provider=MSDASQL.1;Driver=" + lib + ";Server=x;"), marker);
  expectRefused(odbctest::writeUdl("ext.udl", "Provider=MSDASQL.1;Extended Properties=\"Driver={SQLite3};Database=" +
                                                  QDir(odbctest::workDir()).filePath("x.sqlite") +
                                                  ";LoadExt=" + lib + ";\""),
                marker);
  expectRefused(odbctest::writeUdl("unregistered.udl", "Provider=MSDASQL.1;Driver={No Such Driver};Server=x;"),
                marker);
}

TEST(OdbcLinkPolicy, TrustedFoldersOpenWithoutTheChecks) {
  Marker marker;
  QTemporaryDir trusted;
  const QString udl = trusted.filePath("exotic.udl");
  {
    QFile f(udl);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[oledb]\nProvider=MSDASQL.1;Driver=" + QStringLiteral(LUMBROOK_MARKER_LIBRARY) + ";Server=x;\n")
                .toUtf8());
  }
  setTrustedDataLinkFolders({trusted.path()});
  EXPECT_TRUE(isTrustedDataLink(udl));
  EXPECT_FALSE(isTrustedDataLink(odbctest::workDir() + "/other.udl"));
  EXPECT_THROW(odbctest::open("File Name=" + udl), Error) << "the library is no driver";
  setTrustedDataLinkFolders({});
  EXPECT_TRUE(marker.written()) << "a trusted link reaches the driver manager unchanged";
}
