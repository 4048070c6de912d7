#include "opening.h"

#include "../prompts.h"
#include "../shell/settings.h"
#include "dataaccess/error.h"
#include "paths.h"
#include "schemaini.h"
#include "sourcestate.h"
#include "sourceview.h"

#include <QDir>
#include <QFileInfo>

namespace viewer {

using dataaccess::Connection;
using dataaccess::Error;

QString CommandLinePath(const QStringList& arguments) {
  QString line = arguments.mid(1).join(QLatin1Char(' '));
  line.remove(QLatin1Char('"'));
  return line;
}

CommandLineTarget SplitCommandLine(const QStringList& arguments) {
  CommandLineTarget target{CommandLinePath(arguments), QString()};
  if (arguments.size() < 3 || QFileInfo::exists(target.path)) return target;
  QString first = arguments[1];
  first.remove(QLatin1Char('"'));
  if (!QFileInfo::exists(first)) return target;
  target.path = first;
  target.table = arguments.mid(2).join(QLatin1Char(' '));
  target.table.remove(QLatin1Char('"'));
  return target;
}

void Main(const QString& commandLine) {
  QString path = commandLine;
  path.remove(QLatin1Char('"'));
  state().CurrentPath = path;
  LoadSettings();
  OpenSource(path);
}

void OpenSource(const QString& givenPath) {
  SourceState& s = state();
  QString path = givenPath;
  QString ext;
  if (!path.isEmpty()) {
    // A relative path would leave the folder of the source empty.
    if (QDir::isRelativePath(path)) path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    s.CurrentPath = path;
    s.CurrentConnection = BuildConnection(path, ext);
  }
  SourceView* view = sourceView();
  if (!view) return;
  // A reload keeps the kind of text source the view already shows.
  if (path.isEmpty()) ext = view->dataSourceKind();
  view->OpenDB(s.CurrentConnection, ext);
  if (!path.isEmpty()) view->setCaption(QString::fromLatin1(kAppTitle) + QStringLiteral(": [") + path + QLatin1Char(']'));
}

QString ConnectionStringFor(const QString& path, const QString& ext, int32_t* kindOut) {
  const QString folder = GetFolder(path);
  // The folder without its trailing "/"; the root folder stays "/".
  const QString dir = folder.size() > 1 ? folder.left(folder.size() - 1) : folder;
  int32_t k = -1;
  QString cs;
  if (ext == QLatin1String("dbc")) {
    k = kind::FoxProDatabase;
    cs = QStringLiteral("Driver={Microsoft Visual FoxPro Driver};SourceType=DBC;") + QStringLiteral("SourceDB=") + path +
         QStringLiteral(";Exclusive=No;BackgroundFetch=Yes;Null=Yes;Deleted=Yes;");
  } else if (ext == QLatin1String("xml")) {
    k = kind::PersistedRecordset;
  } else if (ext == QLatin1String("mdb")) {
    k = kind::Access;
    cs = QStringLiteral("Provider=Microsoft JET 4.0 OLE DB Provider;Data Source=") + path +
         QStringLiteral(";User ID=Admin;Password=;Persist Security Info=True;");
  } else if (ext == QLatin1String("accdb")) {
    // Access 2007 and later: the same reader, under the provider name that
    // opens these files.
    k = kind::Access;
    cs = QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + path +
         QStringLiteral(";User ID=Admin;Password=;Persist Security Info=True;");
  } else if (ext == QLatin1String("xls")) {
    k = kind::Excel;
    cs = QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;") + QStringLiteral("Dbq=") + path +
         QStringLiteral(";DefaultDir=") + folder + QLatin1Char(';');
  } else if (ext == QLatin1String("dbf")) {
    k = kind::FoxProTable;
    cs = QStringLiteral("Provider=MSDASQL.1;Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;") +
         QStringLiteral("DBQ=") + folder + QStringLiteral(";Exclusive=No;BackgroundFetch=Yes;Null=Yes;Deleted=Yes;");
  } else if (ext == QLatin1String("udl")) {
    k = kind::Generic;
    cs = QStringLiteral("File Name=") + path + QLatin1Char(';');
  } else if (ext == QLatin1String("csv")) {
    k = kind::Csv;
    cs = QStringLiteral(
             "Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;PageTimeout=5;"
             "Extensions=csv;") +
         QStringLiteral("DBQ=") + dir + QStringLiteral(";DefaultDir=") + dir + QLatin1Char(';');
  } else if (ext == QLatin1String("txt") || ext == QLatin1String("log")) {
    k = kind::Text;
    cs = QStringLiteral(
             "Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;PageTimeout=5;"
             "Extensions=log,txt;") +
         QStringLiteral("DBQ=") + dir + QStringLiteral(";DefaultDir=") + dir + QLatin1Char(';');
  } else if (ext == QLatin1String("db")) {
    k = kind::Paradox;
    cs = QStringLiteral("Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=") +
         QLatin1Char('"') + QStringLiteral("DefaultDir=") + dir +
         QStringLiteral(";DriverId=538;FIL=Paradox 5.X;MaxBufferSize=2048;PageTimeout=30;CollatingSequence=ASCII;") +
         QLatin1Char('"') + QStringLiteral(";User Id=Admin;");
  }
  if (kindOut) *kindOut = k;
  return cs;
}

void ReportError(const std::exception& e, int icon) {
  QString text;
  if (auto* error = dynamic_cast<const Error*>(&e))
    text = error->message();
  else
    text = QStringLiteral("%1: %2").arg(dataaccess::err::kProviderFailure).arg(QString::fromLocal8Bit(e.what()));
  prompts().message(text, Prompts::Icon(icon), Prompts::OkOnly);
}

std::shared_ptr<Connection> BuildConnection(const QString& path, QString& ext) {
  SourceState& s = state();
  try {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile() || IsHiddenName(path)) return nullptr;
    ext = GetExtension(path).toLower();
    int32_t newKind = -1;
    const QString cs = ConnectionStringFor(path, ext, &newKind);
    if (newKind < 0) return nullptr;
    if (ext == QLatin1String("xml")) {
      if (TextFileContains(path, QLatin1StringView(kRowsetNamespace)))
        s.SourceKind = kind::PersistedRecordset;
      else
        prompts().message(QString::fromLatin1(kUnsupportedXmlMessage), Prompts::Information, Prompts::OkOnly);
      return nullptr;
    }
    // A data link's kind is only known once it is open.
    if (ext != QLatin1String("udl")) s.SourceKind = newKind;
    if (ext == QLatin1String("csv") || ext == QLatin1String("txt") || ext == QLatin1String("log"))
      WriteSchemaIni(path, ext);
    auto cn = std::make_shared<Connection>();
    s.CurrentConnection = cn;
    cn->setCommandTimeout(20);
    cn->setConnectionTimeout(30);
    cn->Open(cs, QString(), QString());
    if (ext == QLatin1String("udl")) s.SourceKind = DetectProvider(*cn);
    return cn;
  } catch (const std::exception& e) {
    s.CurrentConnection.reset();
    ReportError(e, Prompts::Critical);
    return nullptr;
  }
}

namespace {

// A property the provider does not offer reads as empty text: its absence
// says the source is neither Oracle nor SQL Server.
QString propertyText(Connection& connection, const QString& name) {
  try {
    return connection.Properties(name).toString();
  } catch (const Error& e) {
    if (e.number() == dataaccess::err::kItemNotFound) return {};
    throw;
  }
}

}  // namespace

int32_t DetectProvider(Connection& connection) {
  if (propertyText(connection, QStringLiteral("Provider Friendly Name")).toLower().contains(QLatin1String("oracle")))
    return kind::Oracle;
  if (propertyText(connection, QStringLiteral("DBMS Name")) == QLatin1String("Microsoft SQL Server"))
    return kind::SqlServer;
  return kind::Generic;
}

}  // namespace viewer
