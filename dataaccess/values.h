// How field values travel through the data-access layer, and their text.
//
// A value is a QVariant whose C++ type follows the field's type:
//   Null                         invalid QVariant()
//   integer types                qlonglong
//   adSingle, adDouble,
//   adCurrency                   double
//   adNumeric, adDecimal         QString holding the exact decimal text
//                                ("-12.50"; "." as the point, no grouping)
//   adBoolean                    bool
//   adDate, adDBTimeStamp,
//   adFileTime                   QDateTime (time spec UTC, used as a naive
//                                local date and time: no zone conversion)
//   adDBDate                     QDate
//   adDBTime                     QTime
//   text types, adGUID           QString
//   binary types                 QByteArray
// Providers hand values in this form to the row store; the recordset hands
// them out in this form; writers and the viewer convert them to text with
// displayText().
#pragma once

#include "adtypes.h"
#include "fieldinfo.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>

namespace dataaccess {

// The classic date origin 1899-12-30 00:00:00 (day 0 of every stored date),
// as a Julian day, and the length of a day in milliseconds.
inline constexpr int64_t kOleOriginJulianDay = 2415019;
inline constexpr int64_t kMsPerDay = 86400000;
inline constexpr QDate oleOrigin() { return QDate::fromJulianDay(kOleOriginJulianDay); }
// The date `days` days after the origin, and back.
inline QDate oleDate(int64_t days) { return QDate::fromJulianDay(kOleOriginJulianDay + days); }
inline int64_t oleDays(const QDate& d) { return d.toJulianDay() - kOleOriginJulianDay; }

// Milliseconds since the origin, the compact form in which dates are
// stored. Negative before the origin.
int64_t toOleMsecs(const QDateTime& dt);
int64_t toOleMsecs(const QDate& d);
int64_t toOleMsecs(const QTime& t);
QDateTime fromOleMsecs(int64_t ms);
// Splits stored milliseconds into whole days since the origin and the
// milliseconds of that day (0 to 86399999, also before the origin).
inline void splitOleMsecs(int64_t ms, int64_t* days, int* msOfDay) {
  int64_t d = ms / kMsPerDay, rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --d;
  }
  *days = d;
  *msOfDay = int(rest);
}
// Whole seconds of stored milliseconds, rounded down (toward the past also
// before the origin: -500 ms is second -1).
inline int64_t floorSeconds(int64_t ms) { return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000); }
// Stored milliseconds of a day number with a fraction (the form Excel and
// Access keep dates in). The fraction counts forward from midnight also
// before the origin (-1.25 is 1899-12-29 06:00); the time is rounded to the
// nearest whole second.
int64_t oleMsecsFromDays(double days);

// A naive date and time (time spec UTC) from a date and a time.
QDateTime makeDateTime(const QDate& d, const QTime& t = QTime(0, 0));

// Brings a value into the canonical form for a field of type `t`: text is
// parsed (numbers in C or the locale's notation, dates in ISO form or the
// locale's short date with an optional time, Booleans as True/False/-1/0/1),
// other types are converted. An empty text gives Null for every non-text
// type. Throws Error (kDataConversion) naming `fieldName` when the value does
// not convert.
QVariant coerceValue(const QVariant& v, DataTypeEnum t, const QString& fieldName,
                     const QLocale& locale = QLocale());

// Parses a date/time text the way the text provider and the editor accept it:
// ISO 8601 (2005-01-02, 2005-01-02T10:05:07, 2005-01-02 10:05:07), the
// locale's short date with an optional time, and m/d/yyyy [h:n[:s]].
// Returns nothing when the text is not a date.
std::optional<QDateTime> parseDateTime(QStringView text, const QLocale& locale = QLocale());

// The ordinary text form of a value: what the grid shows and GetString
// writes. Null gives an empty string. Numbers have no grouping, the locale's
// decimal point and the shortest exact digits (of the float for adSingle); dates use the locale's short
// date with a four-digit year, followed by the time when it is not midnight;
// Booleans are "True"/"False"; binary data is hexadecimal.
QString displayText(const QVariant& v, DataTypeEnum t, const QLocale& locale = QLocale());

// A 4-byte float held in a double (the stored form of adSingle values)
// brought to the double nearest the float's shortest decimal text, so that
// it prints as the float reads: the Single 0.15 is held as
// 0.15000000596046448 and comes back as 0.15. A double that is not exactly
// a float comes back unchanged.
double singleAsDecimal(double d);

// Same as displayText but fixed and locale-free: ISO dates
// (yyyy-MM-ddTHH:mm:ss), "." decimals, "True"/"False". Used where text must
// read back identically on any machine (XML persistence).
QString invariantText(const QVariant& v, DataTypeEnum t);

// Equality of two canonical values of the same field type (Null equals Null).
bool sameValue(const QVariant& a, const QVariant& b);

}  // namespace dataaccess
