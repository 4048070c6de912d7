#include "sqlengine.h"
#include "error.h"
namespace dataaccess {
struct SqlEngine::Impl {};
SqlEngine::SqlEngine(SqlDialect) : d_(std::make_unique<Impl>()) {}
SqlEngine::~SqlEngine() = default;
std::shared_ptr<RowStore> SqlEngine::run(const QString&, const TableLoader&) {
  throw Error(err::kCommandError, QStringLiteral("Recordset.Open"), QStringLiteral("not yet"));
}
void SqlEngine::forget(const QString&) {}
QString SqlEngine::translate(const QString& s, const TableLoader&) { return s; }
}
