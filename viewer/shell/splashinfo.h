// What the splash and About window shows and how its timer counts, apart
// from the window itself (f_splash.h): the texts from the program's version
// information, the check box's reading of ShowSplash, the four-tick close,
// and where the program's help page lies.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace viewer {

// "Version major.minor.revision", with " Beta" appended when major is 0.
QString VersionText(int major, int minor, int revision);

// The build's version number, "major.minor.revision".
QString ProgramVersionNumber();

// The program's version information as the About window shows it.
struct ProgramVersionInfo {
  QString productName;  // "Lumbrook"
  QString version;      // VersionText of the build's version
  QString platform;     // the system it runs on, as the system names itself
  QString copyright;    // the legal notice
  QString company;      // the company name
};
ProgramVersionInfo ProgramInfo();

// The texts of the About window in the order it shows them: product name,
// version, platform, copyright, company.
QStringList AboutTexts();

// The caption of the check box that sets ShowSplash.
inline constexpr char kShowSplashCaption[] = "Show at next time";

// Whether "Show at next time" is ticked for a ShowSplash value: any value
// other than 0 (a hand-edited 2 or 7 too, so the splash never jams).
bool SplashShownAtStart(int16_t showSplash);

// Counts the splash window's one-second ticks; the window closes on the
// fourth.
class SplashTicks {
 public:
  // One tick; true when the window should close now.
  bool Tick();
  int16_t count() const { return count_; }

 private:
  int16_t count_ = 0;
};

// The help page beside the program: `programFolder` + "/Help/Lumbrook.html".
QString HelpPagePath(const QString& programFolder);

}  // namespace viewer
