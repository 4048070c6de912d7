// A folder whose files are the tables of a source: the text, dBase/FoxPro
// and Paradox providers read one file a table, with companion files (memo
// and blob files, SCHEMA.INI, .cpg) beside it. The files come from systems
// where letter case does not count in file names, so every name is matched
// ignoring case.
#pragma once

#include "schemarowsets.h"

#include <QFileInfoList>
#include <QString>
#include <QStringList>
#include <vector>

namespace dataaccess::tablefolder {

// The absolute path of the folder a connection names. Throws Error
// (kProviderFailure) when `dir` is empty, does not exist or is not a folder;
// `notAFolder` is the description for a path that is a file (empty: the
// same as for a missing folder).
QString open(const QString& dir, const QString& notAFolder = {});

// The visible files of `folder` whose extension is one of `extensions`
// (lower case, no dot), in name order ignoring case.
QFileInfoList tableFiles(const QString& folder, const QStringList& extensions);

// One "TABLE" entry per file of tableFiles(), named by the file's base name.
std::vector<TableEntry> tableEntries(const QString& folder, const QStringList& extensions);

// The file of `folder` named `fileName` ignoring case, as an absolute path;
// an exact match wins. Empty when there is none.
QString findFile(const QString& folder, const QString& fileName);

// The file beside `path` with its base name and the first of `extensions`
// (no dot) that exists, ignoring case. Empty when there is none.
QString findBeside(const QString& path, const QStringList& extensions);

// The file of table `table` (its base name) with one of `extensions`.
// Empty when there is none.
QString tablePath(const QString& folder, const QString& table, const QStringList& extensions);

}  // namespace dataaccess::tablefolder
