// The record editor's rules that need no widget: what each field's row looks
// like (maximum length and editing aid by field type), where rows sit, how
// large the content panel is, the Boolean toggle, the calendar's date rules,
// and the scroll bar ranges and the minimum viewport height. Sizes are
// twips; the window turns them into pixels.
#pragma once

#include "dataaccess/adtypes.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace viewer::editor {

// Template sizes of a row, in twips.
inline constexpr int kLabelWidth = 3210;
inline constexpr int kTextWidth = 3120;
inline constexpr int kRowHeight = 285;
inline constexpr int kButtonWidth = 375;
inline constexpr int kButtonHeight = 330;
// The long-text panel's height and the calendar's designed size.
inline constexpr int kPanelHeight = 2100;
inline constexpr int kCalendarWidth = 2490;
inline constexpr int kCalendarHeight = 2370;
// Window client size, scroll bar thickness and the smallest viewport height.
inline constexpr int kClientWidth = 7950;
inline constexpr int kClientHeight = 6375;
inline constexpr int kScrollBarThickness = 255;
inline constexpr int kMinimumViewportHeight = 500;

// Image and tag keys of the aid buttons.
inline constexpr char kAidText[] = "TEXT";
inline constexpr char kAidBoolean[] = "BOOLEAN";
inline constexpr char kAidDate[] = "DATE";

// How the row of one field is built.
struct FieldRowSpec {
  QString caption;   // the field's name followed by ":"
  int maxLength = 0; // 0: unlimited
  QString aid;       // kAidText, kAidBoolean, kAidDate or empty (no button)
};

bool isEditorTextType(dataaccess::DataTypeEnum type);
bool isEditorDateType(dataaccess::DataTypeEnum type);
FieldRowSpec fieldRowSpec(const QString& name, dataaccess::DataTypeEnum type, int64_t definedSize);

// Geometry of row `index` (1-based) in the content panel.
inline constexpr int rowTop(int index) { return 100 + (index - 1) * (kRowHeight + 100); }
inline constexpr int kLabelLeft = 100;
inline constexpr int kTextLeft = kLabelWidth + 200;
inline constexpr int kButtonLeft = kTextLeft + kTextWidth;
// The content panel for `fieldCount` rows (the template counts as one more).
inline constexpr int contentWidth() { return kLabelWidth + 300 + kTextWidth + 1000; }
inline constexpr int contentHeight(int fieldCount) { return (kRowHeight + 120) * (fieldCount + 1) + 200 + 2200; }

// Top of a floating aid of height `aidHeight` for the row whose button spans
// buttonTop..buttonTop+buttonHeight: below the row, or above it when the
// panel would end beyond the content panel's height.
int floatingAidTop(int buttonTop, int buttonHeight, int aidHeight, int contentPanelHeight);

// The Boolean toggle: the text read as a 32-bit whole number, complemented.
// A text that is not a whole number counts as 0, so it becomes "-1".
QString toggledBooleanText(const QString& text);

// The day the calendar opens on: today for an empty text or one that is not
// a date, otherwise that text's day.
QDate calendarStartDate(const QString& text, const QDate& today, const QLocale& locale = QLocale());
// The row's text after `picked` was chosen: the picked day, keeping the time
// of day already in `currentText`; the general date form (short date, then
// the time when not midnight).
QString pickedDateText(const QDate& picked, const QString& currentText, const QLocale& locale = QLocale());

// The text a row shows for a value: the ordinary text, except that Booleans
// read -1 (true) and 0 (false) so the toggle works on them.
QString rowText(const QVariant& value, dataaccess::DataTypeEnum type, const QLocale& locale = QLocale());

// A scroll bar's set-up. Scroll positions are twips; the range is the real
// difference even beyond 32767 (Qt's bars are 32-bit), so every row of a
// very wide table stays reachable.
struct ScrollSetup {
  bool enabled = false;
  int maximum = 0;
  int largeStep = 0;  // 0: leave the bar's step as it is
  int smallStep = 0;
};
// After building the rows: enabled when viewport <= content; the steps are a
// tenth and a twenty-fifth of a positive maximum.
ScrollSetup contentScroll(double contentExtent, double viewportExtent);
// After a resize: enabled only when viewport < content; steps unchanged.
ScrollSetup resizeScroll(double contentExtent, double viewportExtent);

// The client height the window must take so the viewport between the
// toolbar and the horizontal bar keeps 500 twips, or nothing when
// `innerHeight` already allows it.
std::optional<int> minimumInnerHeight(int innerHeight, int toolbarHeight);

}  // namespace viewer::editor
