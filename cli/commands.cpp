#include "commands.h"

#include "clisession.h"
#include "reshape.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "viewer/datasource/catalogue.h"
#include "viewer/datasource/sourcestate.h"
#include "viewer/datasource/paths.h"
#include "viewer/mainwindow/export.h"
#include "viewer/editor/fieldassign.h"
#include "viewer/report/reportbuilder.h"
#include "viewer/shell/options.h"
#include "viewer/shell/settings.h"
#include "viewer/shell/splashinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>

namespace cli {

using dataaccess::Error;
using dataaccess::Recordset;

namespace {

const QString kSource = QStringLiteral("lumbrook-cli");

void requireArgs(const QStringList& args, qsizetype min, qsizetype max, const char* what) {
  if (args.size() < min || (max >= 0 && args.size() > max)) throw UsageError{QString::fromLatin1(what)};
}

std::shared_ptr<dataaccess::Connection> requireConnection(const Session& session) {
  auto cn = session.connection();
  if (!cn) throw Error(dataaccess::err::kObjectClosed, kSource, QStringLiteral("The source has no connection."));
  return cn;
}

// The value of option `name` (removed from `rest` with its value), or an
// empty string when it is not given. Throws UsageError `needs` when it is
// given without a value.
QString takeOption(QStringList& rest, const QString& name, const char* needs) {
  const qsizetype at = rest.indexOf(name);
  if (at < 0) return {};
  if (at + 1 >= rest.size() || rest[at + 1].isEmpty()) throw UsageError{QString::fromLatin1(needs)};
  const QString value = rest[at + 1];
  rest.remove(at, 2);
  return value;
}

// A rowset as the grid shows it: the field names, then one line per row
// with each value's ordinary text, all separated by TAB.
void printRowset(Recordset& rs, QTextStream& out) {
  QStringList names;
  for (int i = 0; i < rs.FieldCount(); ++i) names << rs.Fields(i).Name();
  out << names.join(QLatin1Char('\t')) << '\n';
  if (rs.RecordCount() == 0) return;
  rs.MoveFirst();
  if (!rs.IsEOF()) out << rs.GetString(dataaccess::adClipString, -1, QStringLiteral("\t"), QStringLiteral("\n"), QString());
}

// The content the window's content view would show for `table`.
std::unique_ptr<Recordset> openContent(Session& session, const QString& table, const QString& sql) {
  const viewer::SourceState& s = viewer::state();
  if (session.isPersistedRecordset()) {
    if (!sql.isEmpty()) throw UsageError{QStringLiteral("--sql does not apply to a saved recordset")};
    return viewer::OpenPersistedRecordset(s.CurrentPath);
  }
  return viewer::OpenContent(requireConnection(session), table, session.ext(), s.SourceKind, s.CurrentPath, sql);
}

// An export on standard output, written as it is made.
void writeExportToStdout(Recordset& rs, viewer::ExportFormat format, const QString& encoding) {
  QFile out;
  const auto writeFailed = [] {
    return Error(dataaccess::err::kAppBase, kSource, QStringLiteral("Error writing to standard output"));
  };
  if (!out.open(stdout, QIODevice::WriteOnly)) throw writeFailed();
  try {
    viewer::WriteExportTo(rs, format, out, encoding);
  } catch (const Error&) {
    if (out.error() != QFileDevice::NoError) throw writeFailed();
    throw;
  }
  if (!out.flush()) throw writeFailed();
}

// The PDF helper: beside this program, else on PATH.
QString reportPdfHelper() {
  const QString name = QStringLiteral("lumbrook-report-pdf");
  const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
  if (QFileInfo(beside).isExecutable()) return beside;
  return QStandardPaths::findExecutable(name);
}

// Renders `page` to `pdf` through the helper, which holds the browser
// engine; its "number: description" line becomes this program's error.
void writeReportPdf(const QString& page, const QString& pdf) {
  const QString helper = reportPdfHelper();
  if (helper.isEmpty())
    throw Error(dataaccess::err::kAppBase, kSource,
                QStringLiteral("lumbrook-report-pdf is not installed: no PDF can be made."));
  QProcess run;
  run.setProcessChannelMode(QProcess::ForwardedOutputChannel);
  run.start(helper, {page, pdf});
  if (!run.waitForStarted() || !run.waitForFinished(-1))
    throw Error(dataaccess::err::kAppBase, kSource, QStringLiteral("lumbrook-report-pdf could not be run."));
  if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) {
    // The helper's own message is its last line; the engine may have
    // written notes before it.
    const QStringList lines = QString::fromLocal8Bit(run.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString why = lines.isEmpty() ? QString() : lines.back().trimmed();
    static const QRegularExpression numbered(QStringLiteral("^-?\\d+: "));
    const QRegularExpressionMatch m = numbered.match(why);
    why = m.hasMatch() ? why.mid(m.capturedLength()) : QString();
    throw Error(dataaccess::err::kAppBase, kSource,
                why.isEmpty() ? QStringLiteral("The PDF '%1' could not be made.").arg(pdf) : why);
  }
}

}  // namespace

int runInfo(const QStringList& args, QTextStream& out) {
  requireArgs(args, 1, 1, "info PATH");
  Session session(args[0]);
  auto cn = session.connection();
  out << "kind=" << viewer::state().SourceKind << '\n'
      << "ext=" << session.ext() << '\n'
      << "provider=" << (cn ? cn->providerName() : QStringLiteral("none")) << '\n';
  return 0;
}

int runTables(const QStringList& args, QTextStream& out) {
  requireArgs(args, 1, 1, "tables PATH");
  Session session(args[0]);
  if (session.isPersistedRecordset()) return 0;  // a saved recordset lists nothing
  auto catalogue = viewer::GetSchema(*requireConnection(session));
  const auto entries = viewer::CatalogueEntries(catalogue.get(), viewer::state().SourceKind, session.ext(),
                                                viewer::state().CurrentPath);
  for (const auto& e : entries) out << e.name << '\t' << e.type << '\n';
  return 0;
}

int runCatalog(const QStringList& args, QTextStream& out) {
  requireArgs(args, 1, 1, "catalog PATH");
  Session session(args[0]);
  if (session.isPersistedRecordset()) return 0;
  auto catalogue = viewer::GetSchema(*requireConnection(session));
  printRowset(*catalogue, out);
  return 0;
}

int runColumns(const QStringList& args, QTextStream& out) {
  requireArgs(args, 2, 2, "columns PATH TABLE");
  Session session(args[0]);
  auto cn = requireConnection(session);
  auto columns = cn->OpenSchema(dataaccess::adSchemaColumns,
                                viewer::ColumnRestrictions(*cn, args[1], viewer::state().SourceKind));
  printRowset(*columns, out);
  return 0;
}

int runExport(const QStringList& args, QTextStream& out) {
  QStringList rest = args;
  const QString sql = takeOption(rest, QStringLiteral("--sql"), "--sql needs a statement");
  const ReshapeOptions reshape = takeReshapeOptions(rest);
  requireArgs(rest, 4, 4, "export PATH TABLE FORMAT OUT|- [--sql TEXT] [--filter ROW:FIELD[:TEXT]] [--sort F]...");
  bool known = false;
  const viewer::ExportFormat format = viewer::ExportFormatFromKey(rest[2], &known);
  if (!known) throw UsageError{QStringLiteral("unknown format '%1'").arg(rest[2])};
  Session session(rest[0]);
  if (session.isPersistedRecordset() && (!reshape.steps.empty() || reshape.printSql))
    throw UsageError{QStringLiteral("a saved recordset cannot be filtered or sorted")};
  std::shared_ptr<Recordset> rs(openContent(session, rest[1], sql));
  bool reshaped = true;
  if (!reshape.steps.empty() || reshape.printSql) {
    reshaped = applyReshape(reshape, rs, session.ext(), out);
    out.flush();
  }
  if (rest[3] == QLatin1String("-")) {
    writeExportToStdout(*rs, format, viewer::state().PageEncoding);
  } else {
    viewer::WriteExport(*rs, format, rest[3], viewer::state().PageEncoding);
  }
  return reshaped ? 0 : 1;
}

int runEdit(const QStringList& args, QTextStream&) {
  requireArgs(args, 4, -1, "edit PATH TABLE ROW FIELD=VALUE...");
  bool ok = false;
  const qlonglong row = args[2].toLongLong(&ok);
  if (!ok || row < 1) throw UsageError{QStringLiteral("ROW must be a whole number from 1 on")};
  QList<std::pair<QString, QString>> assignments;
  for (qsizetype i = 3; i < args.size(); ++i) {
    const qsizetype eq = args[i].indexOf(QLatin1Char('='));
    if (eq <= 0) throw UsageError{QStringLiteral("'%1' is not FIELD=VALUE").arg(args[i])};
    assignments.append({args[i].left(eq), args[i].mid(eq + 1)});
  }
  Session session(args[0]);
  auto rs = openContent(session, args[1], QString());
  const int64_t count = rs->RecordCount();
  if (count >= 0 && row > count)
    throw Error(dataaccess::err::kNoCurrentRecord, kSource,
                QStringLiteral("Row %1 does not exist: the table has %2 rows.").arg(row).arg(count));
  rs->setAbsolutePosition(row);
  for (const auto& [field, value] : assignments) viewer::editor::assignFieldText(rs->Fields(field), value);
  rs->UpdateBatch(dataaccess::adAffectAll);
  return 0;
}

int runReport(const QStringList& args, QTextStream& out) {
  QStringList rest = args;
  const QString pdf = takeOption(rest, QStringLiteral("--pdf"), "--pdf needs a file");
  requireArgs(rest, 2, 2, "report PATH TABLE [--pdf OUT.pdf]");
  Session session(rest[0]);
  auto rs = openContent(session, rest[1], QString());
  const viewer::SourceState& s = viewer::state();
  // The name the window's "Preview" gives: the table, or the saved
  // recordset's file name.
  const QString name = session.isPersistedRecordset() ? viewer::GetFileName(s.CurrentPath) : rest[1];
  viewer::ReportTitle = name;
  viewer::ReportHead = name;
  const QString persisted = session.isPersistedRecordset() ? s.CurrentPath : QString();
  const viewer::ReportFiles files = viewer::BuildReport(*rs, viewer::ReportFolder(), s.PageSize, s.PageEncoding,
                                                        persisted, viewer::ReportTemplate(), viewer::HelpPageUrl());
  out << QDir::toNativeSeparators(files.xmlPath) << '\n' << QDir::toNativeSeparators(files.pagePath) << '\n';
  out.flush();
  if (!pdf.isEmpty()) {
    writeReportPdf(files.pagePath, pdf);
    out << QDir::toNativeSeparators(QFileInfo(pdf).absoluteFilePath()) << '\n';
  }
  return 0;
}

int runOptions(const QStringList& args, QTextStream& out) {
  static const char kUsage[] =
      "options [--encoding TEXT] [--rows-on-page TEXT] [--text-format TEXT] [--show-splash 0|1]";
  viewer::OptionsChange change;
  bool changing = false;
  for (qsizetype i = 0; i < args.size(); i += 2) {
    const QString& option = args[i];
    if (i + 1 >= args.size()) throw UsageError{QStringLiteral("%1 needs a value").arg(option)};
    const QString& value = args[i + 1];
    if (option == QLatin1String("--encoding")) {
      change.encoding = value;
    } else if (option == QLatin1String("--rows-on-page")) {
      change.pageSize = value;
    } else if (option == QLatin1String("--text-format")) {
      change.textFormat = value;
    } else if (option == QLatin1String("--show-splash")) {
      // The check box writes 0 or 1 and nothing else.
      if (value != QLatin1String("0") && value != QLatin1String("1"))
        throw UsageError{QStringLiteral("--show-splash takes 0 or 1")};
      change.showSplash = int16_t(value.toShort());
    } else {
      throw UsageError{QString::fromLatin1(kUsage)};
    }
    changing = true;
  }
  viewer::LoadSettings();
  if (changing) viewer::ApplyOptionsChange(change);
  for (const auto& [caption, value] : viewer::OptionsListing()) out << caption << '\t' << value << '\n';
  return 0;
}

int runAbout(const QStringList& args, QTextStream& out) {
  requireArgs(args, 0, 0, "about");
  for (const QString& line : viewer::AboutTexts()) out << line << '\n';
  return 0;
}

}  // namespace cli
