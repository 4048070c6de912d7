#include "splashinfo.h"

#include "shell/version.h"

#include <QSysInfo>

namespace viewer {

QString VersionText(int major, int minor, int revision) {
  QString text = QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
  if (major == 0) text += QStringLiteral(" Beta");
  return text;
}

QString ProgramVersionNumber() {
  return QStringLiteral("%1.%2.%3").arg(version::kMajor).arg(version::kMinor).arg(version::kRevision);
}

ProgramVersionInfo ProgramInfo() {
  return {QString::fromUtf8(version::kProductName), VersionText(version::kMajor, version::kMinor, version::kRevision),
          QSysInfo::prettyProductName(), QString::fromUtf8(version::kLegalCopyright),
          QString::fromUtf8(version::kCompanyName)};
}

QStringList AboutTexts() {
  const ProgramVersionInfo info = ProgramInfo();
  return {info.productName, info.version, info.platform, info.copyright, info.company};
}

bool SplashShownAtStart(int16_t showSplash) { return showSplash != 0; }

bool SplashTicks::Tick() {
  if (count_ < INT16_MAX) ++count_;
  return count_ > 3;
}

QString HelpPagePath(const QString& programFolder) {
  QString folder = programFolder;
  while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  return folder + QStringLiteral("/Help/Lumbrook.html");
}

}  // namespace viewer
