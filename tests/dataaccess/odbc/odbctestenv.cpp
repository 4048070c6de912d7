#include "odbctestenv.h"

#include "dataaccess/recordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace odbctest {

namespace {

class Environment : public ::testing::Environment {
 public:
  // The ini files must be in place before the driver manager reads them,
  // that is before any test opens a connection.
  Environment() {
    dir_.setAutoRemove(true);
    QFile sys(dir_.filePath("odbcinst.ini"));
    sys.open(QIODevice::WriteOnly);
    auto section = [&](const QString& name, const QString& lib) {
      if (!lib.isEmpty()) sys.write(QStringLiteral("[%1]\nDriver=%2\nThreading=0\n\n").arg(name, lib).toUtf8());
    };
    section(kPgDriver, driverLibrary("psqlodbcw.so"));
    section(kSqliteDriver, driverLibrary("libsqlite3odbc.so"));
    section(kOracleNamedDriver, driverLibrary("libsqlite3odbc.so"));
    sys.close();
    writeUserIni({});
    qputenv("ODBCSYSINI", dir_.path().toLocal8Bit());
    qputenv("ODBCINI", dir_.filePath("odbc.ini").toLocal8Bit());
  }

  // Data source names: one on the Oracle-named driver, and one for the
  // PostgreSQL server once it runs.
  void writeUserIni(const QString& pgSection) {
    QFile user(dir_.filePath("odbc.ini"));
    user.open(QIODevice::WriteOnly);
    user.write(QStringLiteral("[LumbrookOracleLink]\nDriver=%1\nDatabase=%2\n\n")
                   .arg(kOracleNamedDriver, dir_.filePath("oracle-link.sqlite"))
                   .toUtf8());
    user.write(pgSection.toUtf8());
  }

  void TearDown() override {
    if (!server_.dir.isEmpty()) {
      QProcess::execute(script(), {QStringLiteral("stop"), server_.dir});
      server_.dir.clear();
    }
  }

  static QString script() { return QStringLiteral(LUMBROOK_SOURCE_DIR "/scripts/pg-test-server.sh"); }

  const PgServer& server() {
    if (started_) return server_;
    started_ = true;
    QProcess p;
    p.start(QStringLiteral("bash"), {script(), QStringLiteral("start"), QString::number(getpid())});
    if (!p.waitForFinished(180000)) {
      p.kill();
      server_.error = QStringLiteral("the test server did not start within three minutes");
      return server_;
    }
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
      server_.missing = p.exitCode() == 2;
      server_.error = err.isEmpty() ? QStringLiteral("pg-test-server.sh failed") : err;
      return server_;
    }
    for (const QString& line : out.split('\n')) {
      if (line.startsWith("PGDIR=")) server_.dir = line.mid(6);
      if (line.startsWith("PGPORT=")) server_.port = line.mid(7).toInt();
      if (line.startsWith("PGUSER=")) server_.user = line.mid(7);
    }
    server_.password = QStringLiteral("lumbrook-secret");
    if (server_.port == 0) server_.error = QStringLiteral("pg-test-server.sh printed no port: ") + out;
    writeUserIni(QStringLiteral("[LumbrookPg]\nDriver=%1\nServername=127.0.0.1\nPort=%2\nDatabase=postgres\n\n")
                     .arg(kPgDriver)
                     .arg(server_.port));
    return server_;
  }

  QString dir() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  PgServer server_;
  bool started_ = false;
};

Environment* environment() {
  static Environment* env = static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));
  return env;
}

// Registers the environment before main() runs the tests.
[[maybe_unused]] const Environment* registered = environment();

}  // namespace

QString driverLibrary(const QString& fileName) {
  for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc",
                          "/usr/local/lib/odbc", "/usr/lib64"}) {
    const QString path = QDir(QString::fromLatin1(dir)).filePath(fileName);
    if (QFileInfo::exists(path)) return path;
  }
  return {};
}

QString workDir() { return environment()->dir(); }

const PgServer& pgServer() { return environment()->server(); }

QString pgOdbcString(const QString& extra) {
  const PgServer& s = pgServer();
  return QStringLiteral("Driver={%1};Servername=127.0.0.1;Port=%2;Database=postgres;UID=%3;PWD=%4;BoolsAsChar=0;%5")
      .arg(kPgDriver)
      .arg(s.port)
      .arg(s.user, s.password, extra);
}

QString writeUdl(const QString& name, const QString& connectionString, bool utf16) {
  const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                       connectionString + QStringLiteral("\r\n");
  QByteArray bytes;
  if (utf16) {
    bytes = QByteArray("\xFF\xFE", 2);
    bytes += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  } else {
    bytes = text.toUtf8();
  }
  const QString path = QDir(workDir()).filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(bytes);
  return path;
}

std::shared_ptr<dataaccess::Connection> open(const QString& connectionString, int connectionTimeout) {
  auto cn = std::make_shared<dataaccess::Connection>();
  cn->setCommandTimeout(20);
  cn->setConnectionTimeout(connectionTimeout);
  cn->Open(connectionString);
  return cn;
}

void run(dataaccess::Connection& cn, const QString& sql) { cn.provider().execute(sql, dataaccess::adCmdText); }

std::unique_ptr<dataaccess::Recordset> query(const std::shared_ptr<dataaccess::Connection>& cn, const QString& sql) {
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->setCursorLocation(dataaccess::adUseClient);
  rs->Open(sql, cn, dataaccess::adOpenKeyset, dataaccess::adLockBatchOptimistic, dataaccess::adCmdText);
  return rs;
}

QStringList column(dataaccess::Recordset& rs, const QString& field) {
  QStringList out;
  for (int64_t r = 0; r < rs.RecordCount(); ++r) out << rs.valueAt(r, rs.Fields(field).index()).toString();
  return out;
}

}  // namespace odbctest
