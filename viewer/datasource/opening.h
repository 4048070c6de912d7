// Start-up and the one place where a path becomes a data source: the kind
// of source comes from the file's extension, which selects the connection
// string; delimited text first gets its SCHEMA.INI. Failures are reported
// to the user through the prompts seam, never raised to the caller.
#pragma once

#include "dataaccess/connection.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace viewer {

// The message shown for an .xml file that is not a persisted recordset (the
// trailing blank belongs to it).
inline constexpr char kUnsupportedXmlMessage[] =
    "The internal format of this file is not supported by the current version of the program. ";

// The namespace that marks a persisted recordset.
inline constexpr char kRowsetNamespace[] = "urn:schemas-microsoft-com:rowset";

// The command line as one path: the arguments after the program name joined
// by blanks, with every double quote removed.
QString CommandLinePath(const QStringList& arguments);

// `lumbrook PATH [TABLE]`: when the joined command line names no existing
// file or folder but the first argument does, that argument is the path and
// the rest, joined by blanks, the table to show. Otherwise the whole line is
// the path (a path with blanks given unquoted still opens) and no table.
struct CommandLineTarget {
  QString path;
  QString table;
};
CommandLineTarget SplitCommandLine(const QStringList& arguments);

// Start-up: stores the path in CurrentPath, reads the four settings (in the
// order PAGESIZE, PAGEENCODING, TXTFormat, ShowSplash) and calls OpenSource.
void Main(const QString& commandLine);

// Opens `path` (may be empty: the view then reloads its current connection
// with its own data-source kind text) and shows it in the main window. A
// non-empty relative path is made absolute first.
void OpenSource(const QString& path);

// The connection string for a file of lower-cased extension `ext` (without
// dot), or an empty string for the kinds that get no connection (xml, or an
// extension outside the known ones). `kindOut` receives the kind code (for
// udl the provider is only known after opening: Generic).
QString ConnectionStringFor(const QString& path, const QString& ext, int32_t* kindOut = nullptr);

// Classifies `path`, sets SourceKind, writes SCHEMA.INI for text kinds and
// opens the connection. Returns it, or none: silently for a missing or
// hidden file and an unknown extension, after a message otherwise. `ext`
// receives the lower-cased extension whenever the file exists.
std::shared_ptr<dataaccess::Connection> BuildConnection(const QString& path, QString& ext);

// 1 when the connection's provider is Oracle, 2 for a SQL Server database,
// 0 otherwise.
int32_t DetectProvider(dataaccess::Connection& connection);

// Shows an error the way opening reports it: "number: description" with the
// critical icon.
void ReportError(const std::exception& e, int icon);

}  // namespace viewer
