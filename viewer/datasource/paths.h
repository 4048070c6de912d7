// File and path utilities shared by the viewer's parts. "/" is the only path
// separator. Text files are read and written in the locale's character set
// (UTF-8 when the locale names none), with no byte-order mark and no line-
// ending conversion.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace viewer {

// The path up to and including its last "/"; empty when it has none.
// "/data/shop.mdb" -> "/data/", "/" -> "/", "shop.mdb" -> "".
QString GetFolder(const QString& path);
// The part after the last "/"; the whole path when it has none.
QString GetFileName(const QString& path);
// GetFileName without its last "." and what follows ("report.2004.txt" ->
// "report.2004"; ".profile" -> "").
QString GetBaseName(const QString& path);
// The text after the last "." when no "/" follows it; empty otherwise.
// Case is kept; callers lower-case it.
QString GetExtension(const QString& path);

// True when the file name (not the folders) starts with ".": such files
// count as hidden, and the viewer treats them as missing.
bool IsHiddenName(const QString& path);

// The locale's character set, and conversion of whole texts to and from it.
QString textCharset();
QString decodeText(const QByteArray& bytes);
QByteArray encodeText(const QString& text);

// The whole file as text. Throws dataaccess::Error (number: the file
// system's failure) when the file cannot be read.
QString ReadTextFile(const QString& path);
// Whether the file's text (as ReadTextFile gives it) contains `needle`,
// reading no more of the file than it needs to tell. Throws as ReadTextFile.
bool TextFileContains(const QString& path, QLatin1StringView needle);

// Makes `text` the whole content of `path`: it goes to a temporary file in
// the same folder that then replaces the target, so a failure leaves the old
// content intact. Returns false on failure; never throws.
bool WriteTextFile(const QString& path, const QString& text);

// Sets `key` in `section` of the INI file `file` to `value`. Section and key
// match without regard to letter case; every other line (comments, other
// keys, column definitions) is kept; the file and the section are created
// when missing. Written atomically, and not at all when the key already
// holds the value. Throws dataaccess::Error (-2147221504, "ProfileSetString",
// "Error writing to file '<file>'") on any failure.
void ProfileSetString(const QString& section, const QString& key, const QString& value, const QString& file);

// Several keys set as ProfileSetString sets each, in order, with one read
// of the file and at most one write; nothing is written when any entry is
// refused. For a file of n lines and k keys this decodes n lines, not n * k.
struct ProfileEntry {
  QString section, key, value;
};
void ProfileSetStrings(const std::vector<ProfileEntry>& entries, const QString& file);

// Shows an open (mode 1) or save (any other mode) dialog through the prompts
// seam. An initial path gives the initial folder and proposed name; without
// a folder the current directory is used. A cancelled or failed dialog, and
// a result of 260 characters or more, give an empty string and set
// filterIndex and flags to 0; otherwise they receive the dialog's values.
// `history` (recent files, most recent first) is offered by the dialog.
QString ShowFileDialog(const QString& title, const QString& initialPath, const QString& filter, int& filterIndex,
                       int& flags, const QString& defaultExtension, int mode, const QStringList& history = {});

}  // namespace viewer
