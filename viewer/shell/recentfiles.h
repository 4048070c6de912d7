// The recent-files list: the last files the window opened, most recent
// first, at most kMaxRecentFiles, each once. It is kept in the settings file
// as RecentFile1 … RecentFile10 (one value each, so long paths never reach
// the store's value limit) and offered as the open dialog's history.
// QtCore only.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace viewer {

inline constexpr int kMaxRecentFiles = 10;

// `list` with `path` moved (or added) to the front, the same file further
// down dropped, cut to kMaxRecentFiles. Paths compare after cleaning, so
// "/a/./b.dbf" and "/a/b.dbf" are one file. An empty path changes nothing.
QStringList PushRecentFile(const QStringList& list, const QString& path);

// `list` without entries for which `exists` is false, duplicates and empty
// entries, at most kMaxRecentFiles.
QStringList PruneRecentFiles(const QStringList& list, const std::function<bool(const QString&)>& exists);

// The stored list, pruned of files that no longer exist.
QStringList RecentFiles();

// Puts `path` at the front of the stored list (missing files pruned on the
// way). A failure to write the settings is dropped: the list is a
// convenience and never stops a file from opening.
void AddRecentFile(const QString& path);

}  // namespace viewer
