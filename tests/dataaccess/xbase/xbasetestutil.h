// Helpers shared by the dBase/FoxPro tests: connection strings, opening a
// table as the viewer does, and writing small tables with shapelib or by
// hand (for the Visual FoxPro fields shapelib cannot create).
#pragma once

#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace xbasetest {

QString folderConnection(const QString& folder);
QString containerConnection(const QString& dbc);

std::shared_ptr<dataaccess::Connection> connect(const QString& connectionString);
// Opens "SELECT * FROM <table>" client-side with batch-optimistic locking.
std::unique_ptr<dataaccess::Recordset> openTable(const std::shared_ptr<dataaccess::Connection>& cn,
                                                 const QString& table);

// A Visual FoxPro field for hand-made tables.
struct VfpField {
  const char* name;
  char type;
  int width;
  int decimals = 0;
  int flags = 0;  // 0x02 nullable, 0x04 binary
};
// The bytes of a Visual FoxPro table (version 0x30) with the given fields
// and raw records (each record without its deletion flag; a record starting
// with '*' is written as deleted). `ldid` is the language-driver byte.
QByteArray vfpTable(const std::vector<VfpField>& fields, const std::vector<QByteArray>& records, int ldid = 0x03);

// Copies every file of `fromFolder` whose name starts with `prefix` into `toFolder`.
void copyFiles(const QString& fromFolder, const QString& toFolder, const QString& prefix = {});

QByteArray readAll(const QString& path);

}  // namespace xbasetest
