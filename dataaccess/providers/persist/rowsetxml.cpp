#include "rowsetxml.h"

#include "../../error.h"
#include "../../rowsetxmlwriter.h"
#include "../../values.h"

#include <QBuffer>
#include <QHash>
#include <QXmlStreamReader>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace dataaccess {

namespace {

using rowsetxml::kNsRow;
using rowsetxml::kNsRowset;
using rowsetxml::kNsSchema;
using rowsetxml::kNsTypes;

DataTypeEnum typeFrom(const QString& dtType, const QString& dbType, bool isLong, bool fixed) {
  const QString t = dtType.toLower();
  const QString db = dbType.toLower();
  if (t == QLatin1String("string") || t.isEmpty()) {
    if (db == QLatin1String("str")) return isLong ? adLongVarChar : (fixed ? adChar : adVarChar);
    return isLong ? adLongVarWChar : (fixed ? adWChar : adVarWChar);
  }
  if (t == QLatin1String("int") || t == QLatin1String("i4")) return adInteger;
  if (t == QLatin1String("i2")) return adSmallInt;
  if (t == QLatin1String("i1")) return adTinyInt;
  if (t == QLatin1String("ui1")) return adUnsignedTinyInt;
  if (t == QLatin1String("ui2")) return adUnsignedSmallInt;
  if (t == QLatin1String("ui4")) return adUnsignedInt;
  if (t == QLatin1String("i8")) return db == QLatin1String("currency") ? adCurrency : adBigInt;
  if (t == QLatin1String("ui8")) return adUnsignedBigInt;
  if (t == QLatin1String("r4")) return adSingle;
  if (t == QLatin1String("float") || t == QLatin1String("r8")) return adDouble;
  if (t == QLatin1String("number") || t == QLatin1String("fixed.14.4")) {
    if (db == QLatin1String("currency") || t == QLatin1String("fixed.14.4")) return adCurrency;
    if (db == QLatin1String("decimal")) return adDecimal;
    return adNumeric;
  }
  if (t == QLatin1String("boolean")) return adBoolean;
  if (t == QLatin1String("datetime") || t == QLatin1String("datetime.tz")) {
    if (db == QLatin1String("timestamp")) return adDBTimeStamp;
    if (db == QLatin1String("filetime")) return adFileTime;
    return adDate;
  }
  if (t == QLatin1String("date")) return adDBDate;
  if (t == QLatin1String("time") || t == QLatin1String("time.tz")) return adDBTime;
  if (t == QLatin1String("uuid")) return adGUID;
  if (t == QLatin1String("bin.hex") || t == QLatin1String("bin.base64"))
    return isLong ? adLongVarBinary : (fixed ? adBinary : adVarBinary);
  return adVarWChar;
}

// Rows read before the rest of the file's rows are estimated.
constexpr int64_t kRowsBeforeEstimate = 1024;

struct ColumnDef {
  QString attrName;
  FieldInfo field;
  int number = 0;
  bool base64 = false;
};

[[noreturn]] void invalid(const QString& source, const QString& why, qint64 line = 0) {
  QString d = QStringLiteral("The file '%1' is not a valid XML rowset: %2").arg(source, why);
  if (line > 0) d += QStringLiteral(" (line %1)").arg(line);
  throw Error(err::kProviderFailure, QStringLiteral("Recordset.Open"), d);
}

QVariant parseValue(const QString& text, const ColumnDef& c, const QString& source, qint64 line) {
  const DataTypeEnum t = c.field.type;
  if (isTextType(t)) return text;
  if (text.isEmpty()) return {};
  if (c.base64) return QByteArray::fromBase64(text.toLatin1());
  if (t == adBoolean) {
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1") ||
        text == QLatin1String("-1"))
      return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0")) return false;
  }
  try {
    return coerceValue(text, t, c.field.name, QLocale::c());
  } catch (const Error&) {
    invalid(source, QStringLiteral("the value '%1' does not fit column '%2'").arg(text.left(80), c.field.name), line);
  }
}

// How one value of the row being read is to be stored.
enum class Held : uint8_t { Null, Text, Integer, Real, OleMsecs, Variant };
struct Cell {
  Held held = Held::Null;
  qsizetype attribute = 0;  // Text: the attribute holding it
  int64_t integer = 0;      // Integer, OleMsecs
  double real = 0;          // Real
};

bool isDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

// A run of exactly `n` ASCII digits at `at`, as a number; -1 otherwise.
int fixedDigits(QStringView s, qsizetype at, int n) {
  if (at + n > s.size()) return -1;
  int v = 0;
  for (int k = 0; k < n; ++k) {
    const QChar c = s[at + k];
    if (!isDigit(c)) return -1;
    v = v * 10 + (c.unicode() - '0');
  }
  return v;
}

// The values the writer writes, in the forms it writes them, are read here
// without the general conversion (which takes QString, trims, tries the
// locale's notations and builds dates through regular expressions). Returns
// false for anything else, which then takes the general path: the result
// is the same either way, and so are the errors.
bool parseTypedFast(QStringView text, DataTypeEnum t, Cell& cell) {
  switch (ColumnStore::storageFor(t)) {
    case ColumnStore::Storage::Integer: {
      // -?[0-9]{1,18}: always within 64 bits.
      const bool negative = !text.isEmpty() && text[0] == QLatin1Char('-');
      const qsizetype digits = text.size() - (negative ? 1 : 0);
      if (digits < 1 || digits > 18) return false;
      int64_t v = 0;
      for (qsizetype k = negative ? 1 : 0; k < text.size(); ++k) {
        if (!isDigit(text[k])) return false;
        v = v * 10 + (text[k].unicode() - '0');
      }
      if (negative) v = -v;
      int64_t lo = std::numeric_limits<int64_t>::min(), hi = std::numeric_limits<int64_t>::max();
      switch (t) {
        case adTinyInt: lo = -128; hi = 127; break;
        case adUnsignedTinyInt: lo = 0; hi = 255; break;
        case adSmallInt: lo = -32768; hi = 32767; break;
        case adUnsignedSmallInt: lo = 0; hi = 65535; break;
        case adInteger: lo = std::numeric_limits<int32_t>::min(); hi = std::numeric_limits<int32_t>::max(); break;
        case adUnsignedInt: lo = 0; hi = 4294967295LL; break;
        case adUnsignedBigInt: lo = 0; break;
        default: break;
      }
      if (v < lo || v > hi) return false;  // the general path names the column
      cell.held = Held::Integer;
      cell.integer = v;
      return true;
    }
    case ColumnStore::Storage::Real: {
      // -?[0-9]+(.[0-9]+)?: parsed exactly (correctly rounded) as the C
      // locale parses it.
      if (text.isEmpty() || text.size() > 64) return false;
      char buf[64];
      qsizetype k = 0, n = text.size();
      if (text[0] == QLatin1Char('-')) buf[k++] = '-';
      const qsizetype intStart = k;
      while (k < n && isDigit(text[k])) buf[k] = char(text[k].unicode()), ++k;
      if (k == intStart) return false;
      if (k < n) {
        if (text[k] != QLatin1Char('.')) return false;
        buf[k] = '.';
        const qsizetype fracStart = ++k;
        while (k < n && isDigit(text[k])) buf[k] = char(text[k].unicode()), ++k;
        if (k == fracStart || k < n) return false;
      }
      double d = 0;
      const auto [end, ec] = std::from_chars(buf, buf + n, d);
      if (ec != std::errc() || end != buf + n) return false;
      if (t == adSingle) d = double(float(d));
      else if (t == adCurrency) d = std::round(d * 10000.0) / 10000.0;
      cell.held = Held::Real;
      cell.real = d;
      return true;
    }
    case ColumnStore::Storage::Boolean: {
      if (t != adBoolean) return false;
      const bool yes = text == QLatin1String("true") || text == QLatin1String("1") || text == QLatin1String("-1");
      if (!yes && text != QLatin1String("false") && text != QLatin1String("0")) return false;
      cell.held = Held::Integer;
      cell.integer = yes ? 1 : 0;
      return true;
    }
    case ColumnStore::Storage::DateTime: {
      // yyyy-mm-dd, or yyyy-mm-ddThh:mm:ss, for the types read as a date and time.
      if (t != adDate && t != adDBTimeStamp && t != adFileTime) return false;
      if (text.size() != 10 && text.size() != 19) return false;
      const int y = fixedDigits(text, 0, 4), mo = fixedDigits(text, 5, 2), d = fixedDigits(text, 8, 2);
      if (y <= 0 || mo < 0 || d < 0 || text[4] != QLatin1Char('-') || text[7] != QLatin1Char('-')) return false;
      const QDate date(y, mo, d);
      if (!date.isValid()) return false;
      QTime time(0, 0);
      if (text.size() == 19) {
        const int h = fixedDigits(text, 11, 2), mi = fixedDigits(text, 14, 2), sec = fixedDigits(text, 17, 2);
        if (h < 0 || mi < 0 || sec < 0 || text[10] != QLatin1Char('T') || text[13] != QLatin1Char(':') ||
            text[16] != QLatin1Char(':'))
          return false;
        time = QTime(h, mi, sec);
        if (!time.isValid()) return false;
      }
      cell.held = Held::OleMsecs;
      cell.integer = toOleMsecs(date) + toOleMsecs(time);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

std::shared_ptr<RowStore> readRowsetXml(const QByteArray& data, const QString& source) {
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  return readRowsetXml(buffer, source);
}

std::shared_ptr<RowStore> readRowsetXml(QIODevice& device, const QString& source) {
  QXmlStreamReader xml(&device);
  xml.setNamespaceProcessing(true);
  std::vector<ColumnDef> columns;
  QHash<QString, int> byAttr;
  std::shared_ptr<RowStore> rows;
  bool sawRoot = false, sawSchema = false;
  std::vector<QVariant> values;  // values of the row that took the general path
  std::vector<Cell> cells;       // how each value of the row is stored
  std::vector<bool> direct;      // text columns stored as they are read

  // Once the first rows are in, the columns are given room for as many
  // rows as the rest of the file likely holds, rather than growing by
  // doubling (each step a copy of all so far).
  std::vector<int64_t> textUnits;  // UTF-16 units of text stored per column so far
  const qint64 deviceSize = device.isSequential() ? 0 : device.size();
  auto reserveForTheRest = [&]() {
    const qint64 read = xml.characterOffset();
    if (deviceSize <= 0 || read <= 0 || read >= deviceSize) return;
    const double scale = double(deviceSize) / double(read) * 1.05;
    const int64_t expected = int64_t(double(rows->rowCount()) * scale) + 16;
    // First rows unlike the rest could suggest far too much: then growing
    // as the rows come is the safer way.
    double total = 0;
    for (size_t i = 0; i < columns.size(); ++i) total += double(expected) * 8 + double(textUnits[i]) * scale;
    if (total > 2.0 * double(deviceSize) + 64.0 * 1024 * 1024) return;
    for (size_t i = 0; i < columns.size(); ++i)
      rows->column(int(i)).reserve(expected, int64_t(double(textUnits[i]) * scale) + 64);
  };

  auto startRows = [&]() {
    if (rows) return;
    if (!sawSchema) invalid(source, QStringLiteral("the rows come before the schema"), xml.lineNumber());
    std::vector<FieldInfo> fields;
    for (const ColumnDef& c : columns) fields.push_back(c.field);
    rows = std::make_shared<RowStore>(std::move(fields));
    textUnits.assign(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i)
      direct.push_back(isTextType(columns[i].field.type) &&
                       rows->column(int(i)).storage() == ColumnStore::Storage::Text);
  };

  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType tok = xml.readNext();
    if (tok == QXmlStreamReader::DTD || tok == QXmlStreamReader::EntityReference)
      invalid(source, QStringLiteral("document type declarations and entities are not accepted"), xml.lineNumber());
    if (tok != QXmlStreamReader::StartElement) continue;
    const QStringView ns = xml.namespaceUri();
    const QStringView name = xml.name();
    if (!sawRoot) {
      if (name != QLatin1String("xml"))
        invalid(source, QStringLiteral("the root element is <%1>, not <xml>").arg(name), xml.lineNumber());
      sawRoot = true;
      continue;
    }
    if (ns == QLatin1String(kNsSchema) && name == QLatin1String("AttributeType")) {
      if (rows) invalid(source, QStringLiteral("a column is declared after the rows"), xml.lineNumber());
      sawSchema = true;
      ColumnDef c;
      const QXmlStreamAttributes a = xml.attributes();
      c.attrName = a.value(QLatin1String("name")).toString();
      if (c.attrName.isEmpty()) invalid(source, QStringLiteral("a column has no name"), xml.lineNumber());
      const QString realName = a.value(QLatin1String(kNsRowset), QLatin1String("name")).toString();
      c.field.name = realName.isEmpty() ? c.attrName : realName;
      c.number = a.value(QLatin1String(kNsRowset), QLatin1String("number")).toInt();
      c.field.nullable = a.value(QLatin1String(kNsRowset), QLatin1String("nullable")) == QLatin1String("true") ||
                         a.value(QLatin1String(kNsRowset), QLatin1String("maybenull")) != QLatin1String("false");
      c.field.key = a.value(QLatin1String(kNsRowset), QLatin1String("keycolumn")) == QLatin1String("true");
      c.field.baseTable = a.value(QLatin1String(kNsRowset), QLatin1String("basetable")).toString();
      c.field.baseColumn = a.value(QLatin1String(kNsRowset), QLatin1String("basecolumn")).toString();
      QString dtType = a.value(QLatin1String(kNsTypes), QLatin1String("type")).toString();
      QString dbType = a.value(QLatin1String(kNsRowset), QLatin1String("dbtype")).toString();
      QString maxLength = a.value(QLatin1String(kNsTypes), QLatin1String("maxLength")).toString();
      QString precision = a.value(QLatin1String(kNsRowset), QLatin1String("precision")).toString();
      QString scale = a.value(QLatin1String(kNsRowset), QLatin1String("scale")).toString();
      bool isLong = a.value(QLatin1String(kNsRowset), QLatin1String("long")) == QLatin1String("true");
      bool fixed = a.value(QLatin1String(kNsRowset), QLatin1String("fixedlength")) == QLatin1String("true");
      // The data type usually sits on a child s:datatype element.
      while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == QLatin1String(kNsSchema) && xml.name() == QLatin1String("datatype")) {
          const QXmlStreamAttributes d = xml.attributes();
          auto take = [&](QString& target, const char* nsUri, const char* attr) {
            const QStringView v = d.value(QLatin1String(nsUri), QLatin1String(attr));
            if (!v.isEmpty()) target = v.toString();
          };
          take(dtType, kNsTypes, "type");
          take(dbType, kNsRowset, "dbtype");
          take(maxLength, kNsTypes, "maxLength");
          take(precision, kNsRowset, "precision");
          take(scale, kNsRowset, "scale");
          isLong = isLong || d.value(QLatin1String(kNsRowset), QLatin1String("long")) == QLatin1String("true");
          fixed = fixed || d.value(QLatin1String(kNsRowset), QLatin1String("fixedlength")) == QLatin1String("true");
          if (d.value(QLatin1String(kNsRowset), QLatin1String("maybenull")) == QLatin1String("false"))
            c.field.nullable = false;
        }
        xml.skipCurrentElement();
      }
      c.base64 = dtType.compare(QLatin1String("bin.base64"), Qt::CaseInsensitive) == 0;
      c.field.type = typeFrom(dtType, dbType, isLong, fixed);
      const qlonglong ml = maxLength.toLongLong();
      c.field.definedSize = fixedSizeOf(c.field.type) > 0 ? fixedSizeOf(c.field.type) : (isLong ? 0 : ml);
      if (isTextType(c.field.type) && isLong) c.field.definedSize = ml >= 2147483647 ? 536870910 : ml;
      c.field.precision = precision.isEmpty() ? 0 : precision.toInt();
      c.field.numericScale = scale.isEmpty() ? 0 : scale.toInt();
      if (byAttr.contains(c.attrName))
        invalid(source, QStringLiteral("the column '%1' is declared twice").arg(c.attrName), xml.lineNumber());
      byAttr.insert(c.attrName, int(columns.size()));
      columns.push_back(std::move(c));
      continue;
    }
    if (ns == QLatin1String(kNsRow) && name == QLatin1String("row")) {
      startRows();
      cells.assign(columns.size(), Cell());
      const QXmlStreamAttributes attributes = xml.attributes();
      size_t next = 0;  // rows name their values in column order: that column is tried first
      for (qsizetype k = 0; k < attributes.size(); ++k) {
        const QXmlStreamAttribute& a = attributes[k];
        if (!a.namespaceUri().isEmpty()) continue;
        size_t index = next;
        if (index >= columns.size() || columns[index].attrName != a.name()) {
          const auto it = byAttr.constFind(a.name().toString());
          if (it == byAttr.constEnd())
            invalid(source, QStringLiteral("a row has the value '%1', which no column declares").arg(a.name()),
                    xml.lineNumber());
          index = size_t(*it);
        }
        next = index + 1;
        Cell& cell = cells[index];
        const QStringView text = a.value();
        if (direct[index]) {
          cell.held = Held::Text;
          cell.attribute = k;
        } else if (text.isEmpty() && !isTextType(columns[index].field.type)) {
          cell.held = Held::Null;
        } else if (columns[index].base64 || !parseTypedFast(text, columns[index].field.type, cell)) {
          if (values.size() < columns.size()) values.resize(columns.size());
          values[index] = parseValue(text.toString(), columns[index], source, xml.lineNumber());
          cell.held = Held::Variant;
        }
      }
      for (size_t i = 0; i < columns.size(); ++i) {
        ColumnStore& out = rows->column(int(i));
        const Cell& cell = cells[i];
        switch (cell.held) {
          case Held::Null: out.appendNull(); break;
          case Held::Text:
            out.appendText(attributes[cell.attribute].value());
            textUnits[i] += attributes[cell.attribute].value().size();
            break;
          case Held::Integer:
            if (out.storage() == ColumnStore::Storage::Boolean)
              out.appendBoolean(cell.integer != 0);
            else
              out.appendInteger(cell.integer);
            break;
          case Held::Real: out.appendReal(cell.real); break;
          case Held::OleMsecs: out.appendOleMsecs(cell.integer); break;
          case Held::Variant: out.appendValue(std::exchange(values[i], QVariant())); break;
        }
      }
      rows->commitRow();
      if (rows->rowCount() == kRowsBeforeEstimate) reserveForTheRest();
      continue;
    }
    if (ns == QLatin1String(kNsRowset) && name == QLatin1String("data")) {
      startRows();
      continue;
    }
  }
  if (xml.hasError()) invalid(source, xml.errorString(), xml.lineNumber());
  if (!sawRoot) invalid(source, QStringLiteral("the file holds no XML document"));
  if (!sawSchema && !rows) invalid(source, QStringLiteral("the file has no rowset schema"));
  startRows();
  rows->shrinkToFit();
  return rows;
}

}  // namespace dataaccess
