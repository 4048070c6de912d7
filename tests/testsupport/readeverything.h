// Reads a whole data source the way a user browsing it would: the table
// catalogue, the column catalogue, then every row and value of each table.
// Tests of foreign and damaged files use it to reach whatever error the
// file gives, wherever in that walk it comes.
#pragma once

#include <QString>

#include <functional>

namespace testsupport {

// Chooses which rows of the table catalogue are read: TABLE_NAME and
// TABLE_TYPE of each.
using TableFilter = std::function<bool(const QString& name, const QString& type)>;

// Opens `connectionString`, reads both catalogues and every table that
// `filter` accepts (each one when no filter is given) through a client-side
// recordset. Returns the error's "number: description" text, or an empty
// string when everything read. An error without a description fails the
// current test.
QString readEverything(const QString& connectionString, const TableFilter& filter = {});

}  // namespace testsupport
