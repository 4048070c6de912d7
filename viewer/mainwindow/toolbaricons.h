// imlToolbarIcons: the keyed icon set of the main window's toolbar and tree.
// Each image key of the design has a picture of its own among the viewer's
// SVG resources (16 x 16); the file name is the key in lower case with
// blanks as "-".
#pragma once

#include <QIcon>
#include <QString>

namespace viewer {

// The icon of `key`; a null icon for a key outside the set.
QIcon ToolbarIcon(const QString& key);
// The resource path behind `key` (":/icons/...svg").
QString ToolbarIconPath(const QString& key);
// The program's window icon.
QIcon ProgramIcon();

}  // namespace viewer
