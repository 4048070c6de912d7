// Opens an address (a web address, or a local page such as the help page)
// in the desktop's browser, and keeps a window above all others. The
// opening goes through the help launcher's replaceable opener (help.h) so
// tests can see what would be opened without starting a browser.
#pragma once

#include "help.h"

#include <QString>

class QWidget;

namespace viewer {

// Opens `address` for `owner`. An absolute path opens as a local file and
// only when the file exists (a missing file does nothing); anything else is
// taken as a URL. The result is not reported.
void OpenWebLink(QWidget* owner, const QString& address);

// Keeps `window` above all other windows (it is shown again if it was
// visible, as changing window flags hides it).
void SetTopmost(QWidget* window);

}  // namespace viewer
