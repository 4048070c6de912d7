// The help launcher: finds the user guide (Help/Lumbrook.html) and opens it
// in the desktop's browser. The guide sits beside the program in the build
// tree; an installed program finds it under share/lumbrook beside its bin
// folder. Opening goes through a replaceable opener (QDesktopServices by
// default) so tests see the address instead of starting a browser.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace viewer {

// The guide's path relative to its folder.
inline constexpr char kHelpFile[] = "Help/Lumbrook.html";

// The guide beside the program in `programFolder` (blanks and all, never
// quoted), else the installed one (`programFolder`/../share/lumbrook/…);
// empty when neither exists.
QString FindHelpFile(const QString& programFolder);

// Opens an address; returns whether the desktop took it.
using UrlOpener = std::function<bool(const QUrl&)>;
// Replaces the opener; an empty one restores QDesktopServices::openUrl.
void setUrlOpener(UrlOpener opener);
// Opens `url` through the current opener.
bool OpenUrl(const QUrl& url);

// Opens the guide found for `programFolder` (default: the running
// program's folder). A missing guide does nothing; failures are not shown.
void ShowHelp(const QString& programFolder = {});

}  // namespace viewer
