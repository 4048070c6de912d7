#include "settings.h"

#include "../datasource/sourcestate.h"
#include "dataaccess/codepage.h"
#include "dataaccess/connectionstring.h"
#include "dataaccess/error.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace viewer {

namespace {

// A stored value this long or longer (bytes, with the terminator the
// classic store counted) reads as its default.
constexpr qsizetype kValueBufferBytes = 1023;

QString configRoot() {
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(xdg))) return QString::fromLocal8Bit(xdg);
  return QDir::homePath() + QStringLiteral("/.config");
}

QString escapeValue(const QString& v) {
  QString out;
  out.reserve(v.size());
  for (QChar c : v) {
    if (c == QLatin1Char('\\')) out += QStringLiteral("\\\\");
    else if (c == QLatin1Char('\n')) out += QStringLiteral("\\n");
    else if (c == QLatin1Char('\r')) out += QStringLiteral("\\r");
    else out += c;
  }
  return out;
}

QString unescapeValue(const QString& v) {
  QString out;
  out.reserve(v.size());
  for (qsizetype i = 0; i < v.size(); ++i) {
    if (v[i] == QLatin1Char('\\') && i + 1 < v.size()) {
      const QChar n = v[++i];
      out += n == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : n == QLatin1Char('r') ? QChar(QLatin1Char('\r')) : n;
    } else {
      out += v[i];
    }
  }
  return out;
}

// The file's lines, or an empty list when it cannot be read (`failure`
// receives the errno then, unless the file is simply missing).
QStringList readLines(const QString& path, int* failure = nullptr) {
  QFile f(path);
  errno = 0;
  if (!f.open(QIODevice::ReadOnly)) {
    if (failure && errno != ENOENT) *failure = errno ? errno : EIO;
    return {};
  }
  QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

qsizetype findValue(const QStringList& lines, const QString& name) {
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const qsizetype eq = lines[i].indexOf(QLatin1Char('='));
    if (eq > 0 && lines[i].left(eq).compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

// Creates every missing folder of `dir`; 0 or the errno of the failure.
int makeFolders(const QString& dir) {
  const QStringList parts = dir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString path;
  for (const QString& part : parts) {
    path += QLatin1Char('/') + part;
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    if (::stat(p.constData(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return ENOTDIR;
      continue;
    }
    if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

// Replaces `path` by `data` through a temporary file and a rename; 0 or the
// errno of the failing step.
int replaceFile(const QString& path, const QByteArray& data) {
  QByteArray tmpl = QFile::encodeName(path) + ".XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return errno;
  int failure = 0;
  qsizetype written = 0;
  while (written < data.size() && failure == 0) {
    const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
    if (n < 0 && errno != EINTR) failure = errno;
    if (n > 0) written += n;
  }
  if (failure == 0 && ::fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && ::rename(tmpl.constData(), QFile::encodeName(path).constData()) != 0) failure = errno;
  if (failure != 0) ::unlink(tmpl.constData());
  return failure;
}

int16_t toShort(const QString& text, int16_t fallback) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  return ok && v >= -32768 && v <= 32767 ? int16_t(v) : fallback;
}

}  // namespace

QString settingsFilePath(Hive, const QString& key) {
  QString rel = key;
  if (rel.startsWith(QLatin1String("SOFTWARE\\"), Qt::CaseInsensitive)) rel = rel.mid(9);
  QStringList parts;
  for (const QString& part : rel.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
    // A key names folders below the settings root and nothing outside it.
    if (part == QLatin1String(".") || part == QLatin1String("..") || part.contains(QLatin1Char('/'))) continue;
    parts << part;
  }
  if (parts.isEmpty()) parts << QStringLiteral("Lumbrook");
  return configRoot() + QLatin1Char('/') + parts.join(QLatin1Char('/')) + QStringLiteral(".conf");
}

namespace {

// Value `name` of a settings file already read as `lines`.
QString valueIn(const QStringList& lines, const QString& name, const QString& defaultValue) {
  const qsizetype i = findValue(lines, name);
  if (i < 0) return defaultValue;
  const QString value = unescapeValue(lines[i].mid(lines[i].indexOf(QLatin1Char('=')) + 1));
  if (value.toUtf8().size() + 1 > kValueBufferBytes) return defaultValue;
  return value;
}

}  // namespace

QString RegQueryKeyValue(Hive hive, const QString& key, const QString& name, const QString& defaultValue) {
  return valueIn(readLines(settingsFilePath(hive, key)), name, defaultValue);
}

void RegSetKeyValue(Hive hive, const QString& key, const QString& name, const QString& value) {
  RegSetKeyValues(hive, key, {{name, value}});
}

void RegSetKeyValues(Hive hive, const QString& key, const QList<std::pair<QString, QString>>& values) {
  const QString path = settingsFilePath(hive, key);
  int failure = 0;
  for (const auto& [name, value] : values) {
    if (name.isEmpty() || name.contains(QLatin1Char('=')) || name.contains(QLatin1Char('\n')) ||
        name.contains(QLatin1Char('\r')))
      failure = EINVAL;
  }
  if (failure == 0) failure = makeFolders(path.left(path.lastIndexOf(QLatin1Char('/'))));
  QStringList lines;
  // A file that exists but cannot be read is not replaced: its other
  // values would be lost.
  if (failure == 0) lines = readLines(path, &failure);
  if (failure == 0) {
    for (const auto& [name, value] : values) {
      const QString text = QLatin1Char('=') + escapeValue(value);
      const qsizetype i = findValue(lines, name);
      if (i >= 0) lines[i] = lines[i].left(lines[i].indexOf(QLatin1Char('='))) + text;
      else lines << name + text;
    }
    failure = replaceFile(path, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  }
  if (failure != 0)
    throw dataaccess::Error(dataaccess::err::kAppBase, QStringLiteral("RegSetKeyValue"),
                            QStringLiteral("Error %1, Line 0").arg(failure));
}

QString ReadSetting(const QString& key, const QString& name, const QString& defaultValue) {
  return RegQueryKeyValue(Hive::CurrentUser, key, name, defaultValue);
}

void WriteSetting(const QString& key, const QString& name, const QString& value) {
  RegSetKeyValue(Hive::CurrentUser, key, name, value);
}

void LoadSettings() {
  // One reading of the file for all the values (every program start does this).
  const QStringList lines = readLines(settingsFilePath(Hive::CurrentUser, QString::fromLatin1(kSettingsKey)));
  const auto read = [&lines](const char* name, const QString& defaultValue) {
    return valueIn(lines, QString::fromLatin1(name), defaultValue);
  };
  SourceState& s = state();
  s.PageSize = toShort(read("PAGESIZE", QStringLiteral("40")), 40);
  s.PageEncoding = read("PAGEENCODING", QStringLiteral("windows-1251"));
  s.TextFormat = read("TXTFormat", QStringLiteral("TabDelimited"));
  s.ShowSplash = toShort(read("ShowSplash", QStringLiteral("1")), 1);
  s.LegacyCodePage = read("LegacyCodePage", QString());
  dataaccess::CodePage::setLegacyCodePage(s.LegacyCodePage);
  // Folders (separated by ";") whose data links may name any ODBC driver and
  // keyword; set by editing the settings file.
  dataaccess::setTrustedDataLinkFolders(
      read("TrustedDataLinkFolders", QString()).split(QLatin1Char(';'), Qt::SkipEmptyParts));
}

void SaveSettings() {
  const QString key = QString::fromLatin1(kSettingsKey);
  const SourceState& s = state();
  // One replacement of the file for the four: a failed write leaves the
  // previous file whole rather than some values new and some old.
  RegSetKeyValues(Hive::CurrentUser, key,
                  {{QStringLiteral("PAGESIZE"), QString::number(s.PageSize)},
                   {QStringLiteral("PAGEENCODING"), s.PageEncoding},
                   {QStringLiteral("TXTFormat"), s.TextFormat},
                   {QStringLiteral("ShowSplash"), QString::number(s.ShowSplash)}});
}

}  // namespace viewer
