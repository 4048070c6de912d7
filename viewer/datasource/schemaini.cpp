#include "schemaini.h"

#include "paths.h"
#include "sourcestate.h"

#include <QDir>

namespace viewer {

void WriteSchemaIni(const QString& path, const QString& ext) {
  (void)ext;  // every text file of the folder is covered, whichever was opened
  const QString folder = GetFolder(path);
  const QString ini = folder + QStringLiteral("SCHEMA.INI");
  const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QStringList names = dir.entryList(QDir::Files, QDir::NoSort);
  std::vector<ProfileEntry> entries;
  for (const QString& f : names) {
    const QString full = folder + f;
    const QString e = GetExtension(full).toLower();
    QString section, header, format;
    if (e == QLatin1String("txt") || e == QLatin1String("log")) {
      section = GetBaseName(full) + QStringLiteral(".txt");
      header = e == QLatin1String("txt") ? QStringLiteral("True") : QStringLiteral("False");
      format = state().TextFormat;
    } else if (e == QLatin1String("csv")) {
      section = GetFileName(full);
      header = QStringLiteral("True");
      format = QStringLiteral("CSVDelimited");
    } else {
      continue;
    }
    entries.push_back({section, QStringLiteral("ColNameHeader"), header});
    entries.push_back({section, QStringLiteral("Format"), format});
    entries.push_back({section, QStringLiteral("CharacterSet"), QStringLiteral("ANSI")});
    entries.push_back({section, QStringLiteral("MaxScanRows"), QStringLiteral("0")});
  }
  // One read and one write for the whole folder: a folder of many text
  // files (and so a long SCHEMA.INI) would otherwise be read and rewritten
  // four times per file.
  if (!entries.empty()) ProfileSetStrings(entries, ini);
}

}  // namespace viewer
