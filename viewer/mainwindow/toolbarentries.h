// What the main window's toolbar holds, as data: the twenty entries from left
// to right with their keys, tool tips and image keys, the menu of the
// export button, and the rule that rewrites that button's tool tip. The
// window builds its QToolBar from these tables; tests read them directly.
#pragma once

#include <QString>
#include <vector>

namespace viewer {

struct ToolbarEntry {
  enum Style { Button, Separator, Placeholder, DropDown };
  Style style = Button;
  QString key;
  QString toolTip;
  QString imageKey;
  QString caption;  // only the placeholder has one
};

struct MenuEntry {
  QString text;
  QString key;
};

// Left to right, separators included (20 entries).
const std::vector<ToolbarEntry>& ToolbarEntries();
// The menu of the Export2 button, in order.
const std::vector<MenuEntry>& ExportMenuEntries();

// The keys of the image list imlToolbarIcons, in its order.
const std::vector<QString>& ToolbarImageKeys();

// The Export2 tool tip after a format was chosen from its menu:
// "Save as " + item text + " file".
QString ExportToolTip(const QString& menuText);

// Width of the placeholder before the list is laid over it (twips).
inline constexpr int kTablesPlaceholderTwips = 2000;

}  // namespace viewer
