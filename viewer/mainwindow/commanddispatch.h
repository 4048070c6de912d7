// The main window's command dispatch as a table: a toolbar key selects one
// command; a key in no row does nothing. Commands that work on the SQL text
// of the current recordset (sort, filter) are marked so that they do nothing
// while the source is a persisted recordset. A command never reports an
// error of its own: whatever escapes it is dropped here, and the window goes
// on. QtCore only, so tests drive it without widgets.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace viewer {

class CommandDispatch {
 public:
  using Handler = std::function<void()>;

  // Registers (or replaces) the command of `key`. With `skipForPersisted`
  // the command does nothing while SourceKind is PersistedRecordset.
  void add(const QString& key, Handler handler, bool skipForPersisted = false);

  // Runs the command of `key` for a source of kind `sourceKind`. Returns
  // true when a command ran (even if it failed), false for an unknown key or
  // a command skipped for the kind.
  bool run(const QString& key, int32_t sourceKind) const;

  bool has(const QString& key) const;
  QStringList keys() const;

 private:
  struct Command {
    QString key;
    Handler handler;
    bool skipForPersisted = false;
  };
  std::vector<Command> commands_;
};

// The name under which the current rows are exported and printed: the data
// file's name with its extension for a persisted recordset, else the table
// list's text.
QString ExportName(int32_t sourceKind, const QString& currentPath, const QString& tableText);

}  // namespace viewer
