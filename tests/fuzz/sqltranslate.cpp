// The SQL rewriter: tokenizer, table search and translation for every
// dialect, plus the viewer's filter and sort rewrites of the same text.
// Input = one dialect byte, then the statement.
#include "dataaccess/error.h"
#include "dataaccess/sqltranslate.h"
#include "viewer/query/filtersort.h"

namespace {

const std::vector<dataaccess::FieldInfo>& fields() {
  static const std::vector<dataaccess::FieldInfo> f = {
      {QStringLiteral("ID"), dataaccess::adInteger, 4},
      {QStringLiteral("Name"), dataaccess::adVarWChar, 50},
      {QStringLiteral("Born"), dataaccess::adDate, 8},
      {QStringLiteral("When"), dataaccess::adDBTimeStamp, 16},
      {QStringLiteral(""), dataaccess::adDouble, 8},
      {QStringLiteral("name"), dataaccess::adVarWChar, 10},
  };
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using dataaccess::SqlDialect;
  const SqlDialect dialect = SqlDialect(data[0] % 5);
  const QString statement = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  try {
    const auto tokens = dataaccess::sql::tokenize(statement);
    const auto uses = dataaccess::sql::findTables(tokens);
    for (const auto& u : uses)
      if (u.first > u.last || u.last >= tokens.size()) abort();  // a reference lies inside the statement
    int n = 0;
    (void)dataaccess::sql::translate(statement, tokens, uses, dialect, [&n](const QString& name) {
      return dataaccess::sql::StagedInfo{QStringLiteral("t%1").arg(n++), &fields()};
    });
  } catch (const dataaccess::Error&) {
  }
  (void)dataaccess::sql::parseLiteralDate(statement, data[0] & 0x80);
  (void)viewer::UnfilteredSql(statement);
  (void)viewer::FilteredSql(statement, QStringLiteral("[Name] = 'x'"));
  (void)viewer::SortedSql(statement, QStringLiteral("Name"), data[0] & 1, data[0] & 2);
  return 0;
}
