// Process-wide state of the current data source and the four settings, as
// start-up and OpenSource leave them. Everything runs on the one user-
// interface thread, so the state is a plain struct.
#pragma once

#include "dataaccess/connection.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace viewer {

// Kind codes of the current source. The numbers are shared by every part of
// the viewer (catalogue filter, quoting, editor, export), so never change them.
namespace kind {
enum Code : int32_t {
  Generic = 0,             // data link to another provider
  Oracle = 1,              // data link whose provider is Oracle
  SqlServer = 2,           // data link whose database is SQL Server
  Access = 3,              // .mdb, .accdb
  Excel = 4,               // .xls
  Text = 5,                // .txt, .log
  Paradox = 6,             // .db
  FoxProTable = 7,         // .dbf
  PersistedRecordset = 8,  // .xml holding a persisted recordset (no connection)
  Csv = 9,                 // .csv
  FoxProDatabase = 10,     // .dbc
};
}  // namespace kind

struct SourceState {
  // Path of the current data file; empty when none was given.
  QString CurrentPath;
  // Open connection of the current source; none for a persisted recordset,
  // after a failed open, or when the path named no usable file.
  std::shared_ptr<dataaccess::Connection> CurrentConnection;
  // kind::Code of the current source; only a successful classification
  // changes it.
  int32_t SourceKind = kind::Generic;

  // Settings, read at start-up (shell/settings.h) and written on close.
  int16_t PageSize = 40;
  QString PageEncoding = QStringLiteral("windows-1251");
  QString TextFormat = QStringLiteral("TabDelimited");
  int16_t ShowSplash = 1;
  // Code page of legacy tables without a mark ("1252", "850", "Mazovia",
  // ...); empty: each format's default. Read at start-up, never written.
  QString LegacyCodePage;
};

// The one instance.
SourceState& state();

}  // namespace viewer
