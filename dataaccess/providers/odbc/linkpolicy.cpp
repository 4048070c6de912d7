#include "linkpolicy.h"

#include "../../connectionstring.h"

#include <QRegularExpression>

namespace dataaccess::odbc {

namespace {

// Keywords refused outright, with what they do (upper case).
struct Refused {
  const char* keyword;
  const char* what;
};
constexpr Refused kRefused[] = {
    {"LOADEXT", "makes the SQLite driver load a shared library"},
    {"FILEDSN", "makes the driver manager read a data source file"},
    {"SAVEFILE", "makes the driver manager write a data source file"},
    {"PLUGIN_DIR", "makes the MariaDB driver load plug-in libraries from a folder"},
    {"DEFAULTAUTH", "makes the MariaDB driver load an authentication plug-in library"},
    {"TRACE", "makes the driver manager write a trace file"},
    {"TRACEFILE", "makes the driver manager write a trace file"},
    {"TRACEDLL", "makes the driver manager load a trace library"},
    {"TRACELIBRARY", "makes the driver manager load a trace library"},
    {"DMENVATTR", "sets driver manager attributes, such as a trace file"},
    {"DMCONNATTR", "sets driver manager attributes, such as a trace file"},
    {"DMSTMTATTR", "sets driver manager attributes"},
    {"SETUP", "names a driver's setup library"},
    {"DRIVER64", "names a driver library"},
    {"SETUP64", "names a driver's setup library"},
    {"USE_MYCNF", "makes the MariaDB driver read an option file"},
    {"PQOPT", "passes the PostgreSQL client options that name files"},
};

}  // namespace

std::optional<LinkRefusal> refuseLink(const QString& odbcString, const QStringList& registeredDrivers) {
  // Every "word =" anywhere in the text, keys and text inside values alike.
  static const QRegularExpression token(QStringLiteral("([A-Za-z_][A-Za-z0-9_]*)\\s*="));
  int drivers = 0;
  for (auto it = token.globalMatch(odbcString); it.hasNext();) {
    const QString word = it.next().captured(1);
    const QString upper = word.toUpper();
    if (upper == QLatin1String("DRIVER")) {
      ++drivers;
      continue;
    }
    for (const Refused& r : kRefused)
      if (upper == QLatin1String(r.keyword)) return LinkRefusal{word, QString::fromLatin1(r.what)};
    if (upper.endsWith(QLatin1String("PATH")) || upper.endsWith(QLatin1String("DIR")) ||
        upper.endsWith(QLatin1String("FILE")))
      return LinkRefusal{word, QStringLiteral("names a file or folder for the driver to use")};
  }
  const ConnectionString cs = ConnectionString::parse(odbcString);
  if (drivers > 1) return LinkRefusal{QStringLiteral("DRIVER"), QStringLiteral("appears more than once")};
  if (cs.contains(QStringLiteral("DRIVER"))) {
    const QString driver = cs.value(QStringLiteral("DRIVER")).trimmed();
    if (driver.contains(QLatin1Char('/')) || driver.contains(QLatin1Char('\\')))
      return LinkRefusal{QStringLiteral("DRIVER"), QStringLiteral("names a library file instead of a registered driver")};
    bool registered = false;
    for (const QString& name : registeredDrivers)
      if (name.compare(driver, Qt::CaseInsensitive) == 0) registered = true;
    if (!registered)
      return LinkRefusal{QStringLiteral("DRIVER"),
                         QStringLiteral("names '%1', which is not a driver registered with ODBC (odbcinst.ini)")
                             .arg(driver)};
  }
  return std::nullopt;
}

QString refusalMessage(const LinkRefusal& refusal) {
  return QStringLiteral("The data link was not opened: its keyword %1 %2. Links that need this open only from "
                        "a folder listed in TrustedDataLinkFolders in the settings file.")
      .arg(refusal.keyword, refusal.reason);
}

}  // namespace dataaccess::odbc
