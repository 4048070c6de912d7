#include "editorrules.h"

#include "dataaccess/values.h"

namespace viewer::editor {

using namespace dataaccess;

bool isEditorTextType(DataTypeEnum type) {
  switch (type) {
    case adBSTR: case adChar: case adVarChar: case adLongVarChar: case adVarWChar: case adLongVarWChar:
      return true;
    default:
      return false;
  }
}

bool isEditorDateType(DataTypeEnum type) {
  switch (type) {
    case adDate: case adFileTime: case adDBDate: case adDBTime: case adDBTimeStamp:
      return true;
    default:
      return false;
  }
}

FieldRowSpec fieldRowSpec(const QString& name, DataTypeEnum type, int64_t definedSize) {
  FieldRowSpec spec;
  spec.caption = name + QLatin1Char(':');
  if (isEditorDateType(type)) {
    spec.aid = QString::fromLatin1(kAidDate);
  } else if (type == adBoolean) {
    spec.aid = QString::fromLatin1(kAidBoolean);
  } else if (isEditorTextType(type)) {
    if (definedSize >= 1 && definedSize <= 7999) spec.maxLength = int(definedSize);
    if (spec.maxLength == 0 || spec.maxLength > 30) spec.aid = QString::fromLatin1(kAidText);
  }
  return spec;
}

int floatingAidTop(int buttonTop, int buttonHeight, int aidHeight, int contentPanelHeight) {
  const int below = buttonTop + buttonHeight;
  return below + aidHeight > contentPanelHeight ? buttonTop - aidHeight : below;
}

QString toggledBooleanText(const QString& text) {
  bool ok = false;
  int32_t v = text.trimmed().toInt(&ok);
  if (!ok) v = 0;
  return QString::number(~v);
}

QDate calendarStartDate(const QString& text, const QDate& today, const QLocale& locale) {
  const QString s = text.trimmed();
  if (s.isEmpty()) return today;
  const auto dt = parseDateTime(s, locale);
  if (!dt || !dt->date().isValid()) return today;
  return dt->date();
}

QString pickedDateText(const QDate& picked, const QString& currentText, const QLocale& locale) {
  QTime time(0, 0);
  const QString s = currentText.trimmed();
  if (!s.isEmpty()) {
    if (const auto dt = parseDateTime(s, locale)) time = dt->time();
  }
  return displayText(makeDateTime(picked, time), adDate, locale);
}

QString rowText(const QVariant& value, DataTypeEnum type, const QLocale& locale) {
  if (type == adBoolean && value.isValid()) return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
  return displayText(value, type, locale);
}

static int roundedDifference(double content, double viewport) {
  const double d = content - viewport;
  return int(d < 0 ? d - 0.5 : d + 0.5);
}

ScrollSetup contentScroll(double contentExtent, double viewportExtent) {
  ScrollSetup s;
  s.maximum = roundedDifference(contentExtent, viewportExtent);
  if (s.maximum > 0) {
    s.largeStep = s.maximum / 10;
    s.smallStep = s.maximum / 25;
  }
  s.enabled = viewportExtent <= contentExtent;
  return s;
}

ScrollSetup resizeScroll(double contentExtent, double viewportExtent) {
  ScrollSetup s;
  s.enabled = viewportExtent < contentExtent;
  if (s.enabled) s.maximum = roundedDifference(contentExtent, viewportExtent);
  return s;
}

std::optional<int> minimumInnerHeight(int innerHeight, int toolbarHeight) {
  if (innerHeight - kScrollBarThickness - toolbarHeight < kMinimumViewportHeight)
    return kScrollBarThickness + toolbarHeight + kMinimumViewportHeight;
  return std::nullopt;
}

}  // namespace viewer::editor
