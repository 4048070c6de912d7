#include "toolbarentries.h"

namespace viewer {

const std::vector<ToolbarEntry>& ToolbarEntries() {
  using E = ToolbarEntry;
  static const std::vector<ToolbarEntry> entries = {
      {E::Button, "open", "Open file", "Open", {}},
      {E::Button, "view", "View table contents", "x135", {}},
      {E::Separator, {}, {}, {}, {}},
      {E::Placeholder, "tables", "Database tables", {}, "Table:"},
      {E::Button, "Properties", "Table Properties", "Properties", {}},
      {E::Separator, {}, {}, {}, {}},
      {E::Button, "Sort Ascending", "Sort Ascending", "Sort Ascending", {}},
      {E::Button, "Sort Descending", "Sort Descending", "Sort Descending", {}},
      {E::Button, "filter", "Filter by selection", "Filter", {}},
      {E::Button, "FilterRemove", "Remove filter", "FilterRemove", {}},
      {E::Button, "EditRecord", "Edit current record", "Edit", {}},
      {E::Separator, {}, {}, {}, {}},
      {E::Button, "Preview", "Print Preview", "Preview", {}},
      {E::DropDown, "Export2", "Save as", "SaveAs", {}},
      {E::Button, "Settings", "Program options", "Settings", {}},
      {E::Separator, {}, {}, {}, {}},
      {E::Button, "Help", "Help", "Help", {}},
      {E::Button, "About", "About", "About", {}},
      {E::Separator, {}, {}, {}, {}},
      {E::Button, "Exit", "Exit", "Exit", {}},
  };
  return entries;
}

const std::vector<MenuEntry>& ExportMenuEntries() {
  static const std::vector<MenuEntry> entries = {
      {"XML Entity", "xml_ent"},
      {"XML Attributes", "xml_attr"},
      {"XML RowSet", "xml_row"},
      {"Text TabDelimited", "txt_tab"},
      {"Text CommaDelimited", "txt_comma"},
  };
  return entries;
}

const std::vector<QString>& ToolbarImageKeys() {
  static const std::vector<QString> keys = {
      "import", "x136",   "Properties",   "Exit1", "x135",     "Exit",    "Sort Ascending",
      "Sort Descending",  "Filter0",      "FilterRemove0",     "FilterRemove", "Filter", "Open",
      "Text",   "Preview0", "Preview",    "SaveAs", "About",   "Help",    "Settings", "Edit",
  };
  return keys;
}

QString ExportToolTip(const QString& menuText) {
  return QStringLiteral("Save as ") + menuText + QStringLiteral(" file");
}

}  // namespace viewer
