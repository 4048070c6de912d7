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
    ProfileSetString(section, QStringLiteral("ColNameHeader"), header, ini);
    ProfileSetString(section, QStringLiteral("Format"), format, ini);
    ProfileSetString(section, QStringLiteral("CharacterSet"), QStringLiteral("ANSI"), ini);
    ProfileSetString(section, QStringLiteral("MaxScanRows"), QStringLiteral("0"), ini);
  }
}

}  // namespace viewer
