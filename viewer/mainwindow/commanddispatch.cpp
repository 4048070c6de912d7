#include "commanddispatch.h"

#include "datasource/paths.h"
#include "datasource/sourcestate.h"

#include <exception>

namespace viewer {

void CommandDispatch::add(const QString& key, Handler handler, bool skipForPersisted) {
  for (Command& c : commands_) {
    if (c.key == key) {
      c.handler = std::move(handler);
      c.skipForPersisted = skipForPersisted;
      return;
    }
  }
  commands_.push_back({key, std::move(handler), skipForPersisted});
}

bool CommandDispatch::run(const QString& key, int32_t sourceKind) const {
  for (const Command& c : commands_) {
    if (c.key != key) continue;
    if (c.skipForPersisted && sourceKind == kind::PersistedRecordset) return false;
    if (!c.handler) return true;
    try {
      c.handler();
    } catch (const std::exception&) {
      // The toolbar continues past failures without a message.
    }
    return true;
  }
  return false;
}

bool CommandDispatch::has(const QString& key) const {
  for (const Command& c : commands_)
    if (c.key == key) return true;
  return false;
}

QStringList CommandDispatch::keys() const {
  QStringList out;
  for (const Command& c : commands_) out << c.key;
  return out;
}

QString ExportName(int32_t sourceKind, const QString& currentPath, const QString& tableText) {
  if (sourceKind == kind::PersistedRecordset) return GetFileName(currentPath);
  return tableText;
}

}  // namespace viewer
