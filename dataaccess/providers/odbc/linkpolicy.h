// What a connection string may ask of the ODBC driver manager and its
// drivers. A data link is a file anybody can send, and some keywords make the
// driver manager or a driver load a shared library or read or write a file
// that the string names: opening such a link would run code of the sender's
// choosing. Those keywords are refused before the driver manager sees the
// string; ordinary links (a registered driver, a server, a database, a user)
// pass unchanged.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace dataaccess::odbc {

struct LinkRefusal {
  QString keyword;  // as the string spells it
  QString reason;   // why it is refused, for the message
};

// The first reason to refuse `odbcString`, the exact text handed to
// SQLDriverConnect, or nothing when it is safe:
// - DRIVER must name a driver in `registeredDrivers` (odbcinst.ini), never a
//   path or an unregistered name, which the driver manager would load as a
//   library;
// - keywords that load a library or use a file the string names (LoadExt,
//   FILEDSN, SAVEFILE, plug-in folders, trace files, driver manager
//   attributes, and every keyword ending in Path, Dir or File) are refused
//   wherever they appear, also inside another keyword's value, since each
//   driver parses the string its own way.
std::optional<LinkRefusal> refuseLink(const QString& odbcString, const QStringList& registeredDrivers);

// The message of a refusal, telling how an administrator can trust a folder.
QString refusalMessage(const LinkRefusal& refusal);

}  // namespace dataaccess::odbc
