// The user settings, kept as string values in a per-user file:
// $XDG_CONFIG_HOME/Fenwright/Lumbrook.conf (default ~/.config). The key
// "SOFTWARE\Fenwright\Lumbrook" names that file: a leading "SOFTWARE\" is
// dropped, "\" become folders and ".conf" is appended.
//
// File format: UTF-8 lines "name=value"; names match without regard to
// letter case; in values "\\" stands for a backslash, "\n" and "\r" for line
// breaks, so every value, blanks included, reads back exactly. Lines that do
// not hold "=" (comments) are kept as they are. The file is replaced
// atomically on every write.
#pragma once

#include <QList>
#include <QString>
#include <utility>
#include <cstdint>

namespace viewer {

inline constexpr char kSettingsKey[] = "SOFTWARE\\Fenwright\\Lumbrook";

// The only hive: the current user's settings folder.
enum class Hive { CurrentUser };

// The file that holds `key` in `hive`.
QString settingsFilePath(Hive hive, const QString& key);

// The value `name` of `key`; `defaultValue` when the file or value is missing
// or the value is 1023 bytes (UTF-8) or longer. An empty value reads as
// empty. Never fails.
QString RegQueryKeyValue(Hive hive, const QString& key, const QString& name, const QString& defaultValue);

// Stores `value` as `name` of `key`, creating folder and file when needed.
// Throws dataaccess::Error (-2147221504, "RegSetKeyValue", "Error <errno>,
// Line 0") on failure.
void RegSetKeyValue(Hive hive, const QString& key, const QString& name, const QString& value);
// Stores several values with one replacement of the file: all or none.
// Fails as RegSetKeyValue does (an invalid name fails the whole call).
void RegSetKeyValues(Hive hive, const QString& key, const QList<std::pair<QString, QString>>& values);

QString ReadSetting(const QString& key, const QString& name, const QString& defaultValue);
void WriteSetting(const QString& key, const QString& name, const QString& value);

// Reads PAGESIZE, PAGEENCODING, TXTFormat and ShowSplash (in this order) into
// state(). A stored PAGESIZE or ShowSplash that is not a whole number within
// -32768..32767 reads as its default. Then reads LegacyCodePage (default
// empty: each table format's own default) and hands it to the data-access
// layer, where it decides the code page of dBase, FoxPro and Paradox tables
// whose header names none; a value no code page answers to is ignored.
// LegacyCodePage is set by editing the settings file; SaveSettings leaves
// it as it is.
// Then hands TrustedDataLinkFolders (folders separated by ";", empty by
// default; set by editing the file) to the data-access layer: data links in
// those folders may name any ODBC driver and keyword.
void LoadSettings();

// Writes PageSize, PageEncoding, TextFormat and ShowSplash from state(), in
// this order (new values are appended in it), with one replacement of the
// file: on failure the error is raised and the file keeps all its old values.
void SaveSettings();

}  // namespace viewer
