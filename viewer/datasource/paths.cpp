#include "paths.h"

#include "../prompts.h"
#include "dataaccess/error.h"
#include "dataaccess/filewrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>
#include <clocale>
#include <langinfo.h>

namespace viewer {

using dataaccess::Error;

namespace {

qsizetype lastSeparator(const QString& path) { return path.lastIndexOf(QLatin1Char('/')); }

// The classic file errors, so messages read like those of any file function.
[[noreturn]] void raiseFileError(int errorNumber, const QString& path, const QString& source) {
  switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
      throw Error(53, source, QStringLiteral("File not found: '%1'").arg(path));
    case EACCES:
    case EPERM:
      throw Error(70, source, QStringLiteral("Permission denied: '%1'").arg(path));
    default:
      throw Error(75, source, QStringLiteral("Path/File access error: '%1'").arg(path));
  }
}

bool isLineBreak(QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); }

}  // namespace

QString GetFolder(const QString& path) { return path.left(lastSeparator(path) + 1); }

QString GetFileName(const QString& path) { return path.mid(lastSeparator(path) + 1); }

QString GetBaseName(const QString& path) {
  const QString name = GetFileName(path);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? name : name.left(dot);
}

QString GetExtension(const QString& path) {
  for (qsizetype i = path.size() - 1; i >= 0; --i) {
    if (path[i] == QLatin1Char('/')) return {};
    if (path[i] == QLatin1Char('.')) return path.mid(i + 1);
  }
  return {};
}

bool IsHiddenName(const QString& path) { return GetFileName(path).startsWith(QLatin1Char('.')); }

QString textCharset() {
  const char* codeset = nl_langinfo(CODESET);
  const QString name = codeset ? QString::fromLatin1(codeset) : QString();
  // The C locale names plain ASCII, which means "no character set chosen".
  if (name.isEmpty() || name == QLatin1String("ANSI_X3.4-1968") || name.compare(QLatin1String("ASCII"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("UTF-8");
  return name;
}

QString decodeText(const QByteArray& bytes) {
  QStringDecoder decoder(textCharset().toLatin1().constData(), QStringDecoder::Flag::Stateless);
  if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  return decoder.decode(bytes);
}

QByteArray encodeText(const QString& text) {
  QStringEncoder encoder(textCharset().toLatin1().constData(), QStringEncoder::Flag::Stateless);
  if (!encoder.isValid()) encoder = QStringEncoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
  return encoder.encode(text);
}

QString ReadTextFile(const QString& path) {
  QFile f(path);
  errno = 0;
  if (QFileInfo(path).isDir()) raiseFileError(EISDIR, path, QStringLiteral("ReadTextFile"));
  if (!f.open(QIODevice::ReadOnly)) raiseFileError(errno, path, QStringLiteral("ReadTextFile"));
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) raiseFileError(errno, path, QStringLiteral("ReadTextFile"));
  return decodeText(bytes);
}

bool TextFileContains(const QString& path, QLatin1StringView needle) {
  // Decoding runs from the start of the text, so the text of a leading piece
  // is a leading piece of the whole text (short of a character cut at its
  // end): what the piece holds, the whole file holds. Only when the piece
  // lacks the needle is the rest read. Saves decoding a large file whole.
  constexpr qint64 kHead = 64 * 1024;
  QFile f(path);
  errno = 0;
  if (QFileInfo(path).isDir()) raiseFileError(EISDIR, path, QStringLiteral("ReadTextFile"));
  if (!f.open(QIODevice::ReadOnly)) raiseFileError(errno, path, QStringLiteral("ReadTextFile"));
  const QByteArray head = f.read(kHead);
  if (f.error() != QFileDevice::NoError) raiseFileError(errno, path, QStringLiteral("ReadTextFile"));
  if (decodeText(head).contains(needle)) return true;
  if (head.size() < kHead) return false;
  f.close();
  return ReadTextFile(path).contains(needle);
}

bool WriteTextFile(const QString& path, const QString& text) {
  try {
    dataaccess::writeFileAtomically(path, encodeText(text), QStringLiteral("WriteTextFile"));
    return true;
  } catch (...) {
    return false;
  }
}

namespace {

// One line of an INI file, bytes as stored, with its line ending.
struct IniLine {
  QByteArray bytes;  // without the ending
  QByteArray ending;
};

std::vector<IniLine> splitLines(const QByteArray& data) {
  std::vector<IniLine> lines;
  qsizetype start = 0;
  while (start < data.size()) {
    qsizetype end = start;
    while (end < data.size() && data[end] != '\n' && data[end] != '\r') ++end;
    IniLine line{data.mid(start, end - start), {}};
    if (end < data.size()) {
      const qsizetype len = (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1;
      line.ending = data.mid(end, len);
      end += len;
    }
    lines.push_back(std::move(line));
    start = end;
  }
  return lines;
}

// The name of a "[section]" line, or nothing.
std::optional<QString> sectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
  const qsizetype close = t.indexOf(QLatin1Char(']'));
  return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

// The key of a "key=value" line, or nothing for comments and other lines.
std::optional<QString> keyName(const QString& line) {
  const QString t = line.trimmed();
  if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) return std::nullopt;
  const qsizetype eq = t.indexOf(QLatin1Char('='));
  if (eq < 0) return std::nullopt;
  return t.left(eq).trimmed();
}

}  // namespace

namespace {

// An INI file's lines, changed in memory: every line is decoded and parsed
// once however many keys are set.
struct IniDocument {
  struct Parsed {
    std::optional<QString> section;  // of a "[section]" line
    std::optional<QString> key;      // of a "key=value" line
    bool blank = false;
  };
  std::vector<IniLine> lines;
  std::vector<Parsed> parsed;
  QByteArray newline;
  bool changed = false;

  static Parsed parse(const QString& text) {
    Parsed p;
    p.section = sectionName(text);
    if (!p.section) p.key = keyName(text);
    p.blank = text.trimmed().isEmpty();
    return p;
  }

  explicit IniDocument(const QByteArray& data)
      : lines(splitLines(data)), newline(data.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n")) {
    QStringDecoder decoder(textCharset().toLatin1().constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    parsed.reserve(lines.size());
    for (const IniLine& l : lines) parsed.push_back(parse(decoder.decode(l.bytes)));
  }

  void insert(size_t at, QByteArray bytes) {
    parsed.insert(parsed.begin() + qsizetype(at), parse(decodeText(bytes)));
    lines.insert(lines.begin() + qsizetype(at), IniLine{std::move(bytes), newline});
  }

  // Sections and keys match by their text, but only the changed line is
  // re-encoded: every other line keeps its exact bytes.
  void set(const QString& section, const QString& key, const QString& value) {
    const QByteArray keyLine = encodeText(key + QLatin1Char('=') + value);
    qsizetype sectionLast = -1;  // last non-blank line of the section, or its header
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
      const Parsed& p = parsed[i];
      if (p.section) {
        if (inSection) break;
        inSection = p.section->compare(section, Qt::CaseInsensitive) == 0;
        if (inSection) sectionLast = qsizetype(i);
        continue;
      }
      if (!inSection) continue;
      if (!p.blank) sectionLast = qsizetype(i);
      if (p.key && p.key->compare(key, Qt::CaseInsensitive) == 0) {
        if (lines[i].bytes == keyLine) return;  // already holds the value
        parsed[i] = parse(decodeText(keyLine));
        lines[i].bytes = keyLine;
        changed = true;
        return;
      }
    }
    if (sectionLast >= 0) {
      IniLine& before = lines[size_t(sectionLast)];
      if (before.ending.isEmpty()) before.ending = newline;
      insert(size_t(sectionLast) + 1, keyLine);
    } else {
      if (!lines.empty() && lines.back().ending.isEmpty()) lines.back().ending = newline;
      insert(lines.size(), encodeText(QLatin1Char('[') + section + QLatin1Char(']')));
      insert(lines.size(), keyLine);
    }
    changed = true;
  }

  QByteArray bytes() const {
    QByteArray out;
    for (const IniLine& l : lines) out += l.bytes + l.ending;
    return out;
  }
};

}  // namespace

void ProfileSetStrings(const std::vector<ProfileEntry>& entries, const QString& file) {
  auto fail = [&]() -> void {
    throw Error(dataaccess::err::kAppBase, QStringLiteral("ProfileSetString"),
                QStringLiteral("Error writing to file '%1'").arg(file));
  };
  // A line break, or "=" in a key, would write lines nobody asked for.
  for (const ProfileEntry& e : entries)
    if (e.section.trimmed().isEmpty() || e.key.trimmed().isEmpty() || e.key.contains(QLatin1Char('=')) ||
        e.section.contains(QLatin1Char(']')) || std::any_of(e.section.begin(), e.section.end(), isLineBreak) ||
        std::any_of(e.key.begin(), e.key.end(), isLineBreak) || std::any_of(e.value.begin(), e.value.end(), isLineBreak))
      fail();

  QByteArray data;
  const QFileInfo info(file);
  if (info.exists()) {
    QFile f(file);
    if (!info.isFile() || !info.isWritable() || !f.open(QIODevice::ReadOnly)) fail();
    data = f.readAll();
    if (f.error() != QFileDevice::NoError) fail();
  }
  IniDocument doc(data);
  for (const ProfileEntry& e : entries) doc.set(e.section, e.key, e.value);
  if (!doc.changed) return;
  try {
    dataaccess::writeFileAtomically(file, doc.bytes(), QStringLiteral("ProfileSetString"));
  } catch (...) {
    fail();
  }
}

void ProfileSetString(const QString& section, const QString& key, const QString& value, const QString& file) {
  ProfileSetStrings({ProfileEntry{section, key, value}}, file);
}

QString ShowFileDialog(const QString& title, const QString& initialPath, const QString& filter, int& filterIndex,
                       int& flags, const QString& defaultExtension, int mode, const QStringList& history) {
  Prompts::FileDialogRequest request;
  request.title = title;
  if (!initialPath.isEmpty()) {
    request.folder = GetFolder(initialPath);
    request.proposedName = GetFileName(initialPath);
  }
  if (request.folder.isEmpty()) request.folder = QDir::currentPath();
  request.filter = filter;
  request.filterIndex = filterIndex;
  request.flags = flags;
  request.defaultExtension = defaultExtension;
  request.mode = mode == 1 ? Prompts::OpenDialog : Prompts::SaveDialog;
  request.history = history;
  const QString chosen = prompts().fileDialog(request);
  // The classic dialog's buffer holds fewer than 260 characters.
  if (chosen.isEmpty() || chosen.size() >= 260) {
    filterIndex = 0;
    flags = 0;
    return {};
  }
  filterIndex = request.filterIndex;
  flags = request.flags;
  return chosen;
}

}  // namespace viewer
