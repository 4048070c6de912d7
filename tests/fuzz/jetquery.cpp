// Saved Access queries rebuilt as SQL: the Jet expression rewriter over
// text read from MSysQueries. Input = expression, separator, row fields.
#include "dataaccess/error.h"
#include "dataaccess/providers/jet/querydef.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<QByteArray> parts = fuzz::splitInput(data, size, 2);
  const QString expression = QString::fromUtf8(parts[0]);
  try {
    (void)dataaccess::jet::engineExpression(expression, QStringLiteral("q"), {QStringLiteral("p")});
  } catch (const dataaccess::Error&) {
  }
  // Rows: each line "attribute flag name1|name2|expression".
  std::vector<dataaccess::jet::QueryRow> rows;
  for (const QByteArray& line : parts[1].split('\n')) {
    const QList<QByteArray> f = line.split('|');
    dataaccess::jet::QueryRow r;
    const QList<QByteArray> head = f.value(0).split(' ');
    r.attribute = head.value(0).toInt();
    r.flag = head.value(1).toInt();
    r.name1 = QString::fromUtf8(f.value(1));
    r.name2 = QString::fromUtf8(f.value(2));
    r.expression = QString::fromUtf8(f.value(3));
    r.order = f.value(4);
    rows.push_back(r);
  }
  try {
    (void)dataaccess::jet::rebuildQuerySql(QStringLiteral("q"), rows);
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
