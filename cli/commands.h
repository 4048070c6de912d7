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

}  // namespace cli
