// The commands of lumbrook-cli. Each takes its arguments (after the command
// name), writes its result to `out`, and raises dataaccess::Error (or
// UsageError) on failure; main() turns those into messages and exit codes.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace cli {

struct UsageError {
  QString what;
};

int runInfo(const QStringList& args, QTextStream& out);
int runTables(const QStringList& args, QTextStream& out);
int runCatalog(const QStringList& args, QTextStream& out);
int runColumns(const QStringList& args, QTextStream& out);
int runExport(const QStringList& args, QTextStream& out);
int runEdit(const QStringList& args, QTextStream& out);
int runReport(const QStringList& args, QTextStream& out);
// Prints the settings the Options dialog shows (caption TAB value); with
// options, first applies them as the dialog's Apply does.
int runOptions(const QStringList& args, QTextStream& out);
// Prints the texts of the About window, one a line.
int runAbout(const QStringList& args, QTextStream& out);

}  // namespace cli
