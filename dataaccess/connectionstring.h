// A parsed connection string: "key=value;" pairs where a value may be
// wrapped in {...} or "..." (and then hold ";" or "="). Keys match without
// regard to letter case and surrounding blanks.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace dataaccess {

class ConnectionString {
 public:
  ConnectionString() = default;
  static ConnectionString parse(const QString& text);

  // The value of `key` with its braces or quotes removed; empty if absent.
  QString value(const QString& key) const;
  bool contains(const QString& key) const;
  const QList<std::pair<QString, QString>>& pairs() const { return pairs_; }
  const QString& text() const { return text_; }

 private:
  QString text_;
  QList<std::pair<QString, QString>> pairs_;
};

// Reads a data link file (.udl): UTF-16LE with a byte-order mark, or UTF-8;
// a line "[oledb]", comment lines starting with ";", then the connection
// string. Throws Error when the file cannot be read or holds no string.
QString readDataLink(const QString& path);

// Folders whose data link files are trusted to name any ODBC driver and
// keyword (the TrustedDataLinkFolders setting); none by default.
void setTrustedDataLinkFolders(const QStringList& folders);
// True when `linkFile` lies inside one of those folders.
bool isTrustedDataLink(const QString& linkFile);

// Which provider serves a connection string: "jet", "excel", "xbase",
// "paradox", "text", "persist" or "odbc". A "File Name=" data link is read
// and resolved through the string inside it (`resolved` receives it).
// Throws Error (provider not found) for a string no provider serves.
QString providerNameFor(const ConnectionString& cs, ConnectionString* resolved = nullptr);

}  // namespace dataaccess
