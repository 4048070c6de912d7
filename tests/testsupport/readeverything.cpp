#include "readeverything.h"

#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

using namespace dataaccess;

QString readEverything(const QString& connectionString, const TableFilter& filter) {
  try {
    auto cn = std::make_shared<Connection>();
    cn->Open(connectionString);
    QStringList names;
    for (auto t = cn->OpenSchema(adSchemaTables); !t->IsEOF(); t->MoveNext()) {
      const QString name = t->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
      if (!filter || filter(name, t->Fields(QStringLiteral("TABLE_TYPE")).Value().toString())) names << name;
    }
    cn->OpenSchema(adSchemaColumns);
    for (const QString& name : names) {
      Recordset rs;
      rs.setCursorLocation(adUseClient);
      rs.Open(QStringLiteral("SELECT * FROM [%1]").arg(name), cn, adOpenKeyset, adLockReadOnly, adCmdText);
      for (; !rs.IsEOF(); rs.MoveNext())
        for (int i = 0; i < rs.FieldCount(); ++i) rs.Fields(i).Value();
    }
    return {};
  } catch (const Error& e) {
    EXPECT_FALSE(e.description().isEmpty()) << "an error without a description";
    return e.message();
  }
}

}  // namespace testsupport
