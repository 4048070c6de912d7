// One Access database opened read-only through libmdb.
//
// libmdb trusts the file it reads: a damaged header or page pointer can make
// it read out of bounds. MdbFile therefore checks the file header and size
// itself before the library sees the file, bounds every long value against
// the file size before asking the library for it, and caps the number of
// rows a table can yield. libmdb also keeps process-wide state, so every call
// into it is serialised by one lock.
#pragma once

#include "../../fieldinfo.h"
#include "../../rowstore.h"
#include "querydef.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace dataaccess {

// What the file header says, checked before libmdb opens the file.
struct JetHeader {
  int version = 0;     // 0 Jet 3, 1 Jet 4, 2 and up ACE (.accdb)
  int pageSize = 0;    // 2048 for Jet 3, 4096 otherwise
  qint64 pageCount = 0;
};

// Reads and checks the header of `path`. Throws Error (kProviderFailure)
// with a description for the user when the file is missing, empty, not an
// Access database, or cut short.
JetHeader checkJetHeader(const QString& path);

class MdbFile {
 public:
  // One catalogue object of the database.
  struct Object {
    enum class Kind { Table, SystemTable, Query, Linked };
    QString name;
    Kind kind = Kind::Table;
    int flags = 0;        // MSysObjects.Flags
    QDateTime created;    // invalid when unknown
    QDateTime modified;
    QString description;
  };

  struct Column {
    FieldInfo field;
    QVariant defaultValue;  // the default expression as text, or Null
    QString description;
  };

  // Opens `path` read-only. Throws Error.
  explicit MdbFile(const QString& path);
  ~MdbFile();
  MdbFile(const MdbFile&) = delete;
  MdbFile& operator=(const MdbFile&) = delete;

  const JetHeader& header() const { return header_; }
  // Version text for "DBMS Version": "03.50" (Jet 3), "04.00" (Jet 4),
  // "12.00" and up (ACE).
  QString versionText() const;

  // The tables, system tables, select queries and linked tables, in
  // catalogue order.
  std::vector<Object> objects();
  // The columns of a table. Throws Error when it cannot be read.
  std::vector<Column> columns(const QString& table);
  // Every row of a table. Throws Error when it cannot be read.
  std::shared_ptr<RowStore> readTable(const QString& table);
  // The MSysQueries rows that define the saved query `query`, in stored
  // order. Throws Error when the query or its definition cannot be read.
  std::vector<jet::QueryRow> queryRows(const QString& query);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
  JetHeader header_;
};

}  // namespace dataaccess
