// Opens an address (a web address, or a local page such as the help page)
// in the desktop's browser, and keeps a window above all others. The
// opening goes through a replaceable function so tests can see what would
// be opened without starting a browser.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace viewer {

// Opens `url`; the default is QDesktopServices::openUrl.
using UrlOpener = std::function<bool(const QUrl& url)>;
// Replaces the opener; an empty function restores the default.
void setUrlOpener(UrlOpener opener);

// Opens `address` for `owner`. An absolute path opens as a local file and
// only when the file exists (a missing file does nothing); anything else is
// taken as a URL. The result is not reported.
void OpenWebLink(QWidget* owner, const QString& address);

// Keeps `window` above all other windows (it is shown again if it was
// visible, as changing window flags hides it).
void SetTopmost(QWidget* window);

}  // namespace viewer
