#include "rowsetxml.h"

#include "../../error.h"
#include "../../values.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdio>

namespace dataaccess {

namespace {

const char kNsSchema[] = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
const char kNsTypes[] = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
const char kNsRowset[] = "urn:schemas-microsoft-com:rowset";
const char kNsRow[] = "#RowsetSchema";

// ---- writing ------------------------------------------------------------------

// Appends UTF-8 text escaped for a single-quoted attribute. Line breaks and
// tabs become character references so that a reader gets them back (a raw
// one would be normalised to a blank). Characters XML 1.0 cannot carry at all
// (control codes other than tab and line breaks) become U+FFFD.
void appendEscaped(QByteArray& out, std::string_view utf8) {
  size_t start = 0;
  auto flush = [&](size_t i) {
    if (i > start) out.append(utf8.data() + start, qsizetype(i - start));
  };
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const char* rep = nullptr;
    switch (c) {
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      case '\'': rep = "&apos;"; break;
      case '"': rep = "&quot;"; break;
      case '\t': rep = "&#x9;"; break;
      case '\n': rep = "&#xA;"; break;
      case '\r': rep = "&#xD;"; break;
      default:
        if (c < 0x20) rep = "\xEF\xBF\xBD";
        else if (c == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
                 (static_cast<unsigned char>(utf8[i + 2]) == 0xBE || static_cast<unsigned char>(utf8[i + 2]) == 0xBF)) {
          // U+FFFE and U+FFFF are not XML characters either.
          flush(i);
          out.append("\xEF\xBF\xBD");
          i += 2;
          start = i + 1;
          continue;
        }
        break;
    }
    if (rep) {
      flush(i);
      out.append(rep);
      start = i + 1;
    }
  }
  flush(utf8.size());
}

void appendEscaped(QByteArray& out, const QString& s) {
  const QByteArray utf8 = s.toUtf8();
  appendEscaped(out, std::string_view(utf8.constData(), size_t(utf8.size())));
}

bool isNameStart(QChar c) { return c.isLetter() || c == '_'; }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == '_' || c == '-' || c == '.'; }

bool isXmlName(const QString& s) {
  if (s.isEmpty() || !isNameStart(s[0])) return false;
  for (QChar c : s)
    if (!isNameChar(c)) return false;
  return true;
}

struct TypeSpec {
  const char* dtType;
  const char* dbType;  // rs:dbtype, or nullptr
};

TypeSpec typeSpecOf(DataTypeEnum t) {
  switch (t) {
    case adSmallInt: return {"i2", nullptr};
    case adInteger: return {"int", nullptr};
    case adTinyInt: return {"i1", nullptr};
    case adUnsignedTinyInt: return {"ui1", nullptr};
    case adUnsignedSmallInt: return {"ui2", nullptr};
    case adUnsignedInt: return {"ui4", nullptr};
    case adBigInt: return {"i8", nullptr};
    case adUnsignedBigInt: return {"ui8", nullptr};
    case adSingle: return {"r4", nullptr};
    case adDouble: return {"float", nullptr};
    case adCurrency: return {"number", "currency"};
    case adNumeric: return {"number", "numeric"};
    case adDecimal: return {"number", "decimal"};
    case adBoolean: return {"boolean", nullptr};
    case adDate: return {"dateTime", "variantdate"};
    case adDBTimeStamp: return {"dateTime", "timestamp"};
    case adFileTime: return {"dateTime", "filetime"};
    case adDBDate: return {"date", nullptr};
    case adDBTime: return {"time", nullptr};
    case adGUID: return {"uuid", nullptr};
    case adBinary: case adVarBinary: case adLongVarBinary: return {"bin.hex", nullptr};
    case adChar: return {"string", "str"};
    case adVarChar: case adLongVarChar: return {"string", "str"};
    default: return {"string", nullptr};
  }
}

QByteArray num(int64_t v) { return QByteArray::number(qlonglong(v)); }

void writeSchema(QByteArray& out, const std::vector<FieldInfo>& fields, const std::vector<QByteArray>& attrNames) {
  out.append("<s:Schema id='RowsetSchema'>\n\t<s:ElementType name='row' content='eltOnly'>\n");
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldInfo& f = fields[i];
    out.append("\t\t<s:AttributeType name='").append(attrNames[i]).append('\'');
    if (attrNames[i] != f.name.toUtf8()) {
      out.append(" rs:name='");
      appendEscaped(out, f.name);
      out.append('\'');
    }
    out.append(" rs:number='").append(num(int64_t(i) + 1)).append('\'');
    if (f.nullable) out.append(" rs:nullable='true'");
    if (f.key) out.append(" rs:keycolumn='true'");
    if (!f.baseTable.isEmpty()) {
      out.append(" rs:basetable='");
      appendEscaped(out, f.baseTable);
      out.append('\'');
    }
    if (!f.baseColumn.isEmpty()) {
      out.append(" rs:basecolumn='");
      appendEscaped(out, f.baseColumn);
      out.append('\'');
    }
    out.append(" rs:writeunknown='true'>\n\t\t\t<s:datatype");
    const TypeSpec spec = typeSpecOf(f.type);
    out.append(" dt:type='").append(spec.dtType).append('\'');
    if (spec.dbType) out.append(" rs:dbtype='").append(spec.dbType).append('\'');
    int64_t maxLength = f.definedSize;
    if (maxLength <= 0) maxLength = fixedSizeOf(f.type);
    if (maxLength <= 0 && isLongType(f.type)) maxLength = 2147483647;
    if (maxLength > 0) out.append(" dt:maxLength='").append(num(maxLength)).append('\'');
    if (f.type == adNumeric || f.type == adDecimal) {
      out.append(" rs:scale='").append(num(f.numericScale == 255 ? 0 : f.numericScale)).append('\'');
      out.append(" rs:precision='").append(num(f.precision > 0 && f.precision != 255 ? f.precision : 18)).append('\'');
    } else if (f.precision > 0 && f.precision != 255) {
      out.append(" rs:precision='").append(num(f.precision)).append('\'');
    }
    if (isLongType(f.type)) out.append(" rs:long='true'");
    if (fixedSizeOf(f.type) > 0 || f.type == adChar || f.type == adWChar || f.type == adBinary)
      out.append(" rs:fixedlength='true'");
    if (!f.nullable) out.append(" rs:maybenull='false'");
    out.append("/>\n\t\t</s:AttributeType>\n");
  }
  out.append("\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n");
}

void appendValueText(QByteArray& out, const QVariant& v, DataTypeEnum t) {
  appendEscaped(out, invariantText(v, t));
}

// Appends the text of a stored cell without building a QVariant where the
// storage allows it (the common case for large tables).
void appendStoredValue(QByteArray& out, const ColumnStore& c, int64_t row, DataTypeEnum t) {
  switch (c.storage()) {
    case ColumnStore::Storage::Integer:
      out.append(QByteArray::number(qlonglong(c.integerAt(row))));
      return;
    case ColumnStore::Storage::Real: {
      const double d = t == adSingle ? singleAsDecimal(c.realAt(row)) : c.realAt(row);
      if (std::isfinite(d)) {
        out.append(QByteArray::number(d, 'g', QLocale::FloatingPointShortest));
        return;
      }
      break;
    }
    case ColumnStore::Storage::Boolean:
      out.append(c.booleanAt(row) ? "True" : "False");
      return;
    case ColumnStore::Storage::Text:
      appendEscaped(out, c.bytesAt(row));
      return;
    case ColumnStore::Storage::Bytes: {
      const std::string_view b = c.bytesAt(row);
      out.append(QByteArray::fromRawData(b.data(), qsizetype(b.size())).toHex().toUpper());
      return;
    }
    case ColumnStore::Storage::DateTime: {
      // ISO text straight from the stored milliseconds, as invariantText()
      // writes it (years 1 to 9999; others take the general path below).
      int64_t days = 0;
      int rest = 0;
      splitOleMsecs(c.oleMsecsAt(row), &days, &rest);
      int y, m, d;
      oleDate(days).getDate(&y, &m, &d);
      if (y < 1 || y > 9999) break;
      char buf[32];
      const int h = rest / 3600000, mi = rest / 60000 % 60, sec = rest / 1000 % 60, z = rest % 1000;
      int n = 0;
      if (t == adDBTime)
        n = std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, sec);
      else if (t == adDBDate)
        n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
      else if (z)
        n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, m, d, h, mi, sec, z);
      else
        n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, h, mi, sec);
      out.append(buf, n);
      return;
    }
  }
  appendValueText(out, c.value(row), t);
}

void flushTo(QIODevice& dev, QByteArray& buf, bool force) {
  if (!force && buf.size() < (1 << 20)) return;
  if (dev.write(buf) != buf.size())
    throw Error(err::kProviderFailure, QStringLiteral("Recordset.Save"),
                QStringLiteral("The rowset could not be written: %1").arg(dev.errorString()));
  buf.clear();
}

// ---- reading ----------------------------------------------------------------

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

}  // namespace

void writeRowsetXml(const RowsView& rows, QIODevice& out) {
  const std::vector<FieldInfo>& fields = rows.fields();
  // Attribute names: the column name where it is a valid XML name, else a
  // generated one (the real name then goes into rs:name).
  std::vector<QByteArray> attrNames;
  QSet<QString> used;
  for (const FieldInfo& f : fields)
    if (isXmlName(f.name)) used.insert(f.name.toLower());
  QSet<QString> taken;
  for (size_t i = 0; i < fields.size(); ++i) {
    QString n = fields[i].name;
    if (!isXmlName(n) || taken.contains(n.toLower())) {
      int k = int(i) + 1;
      do {
        n = QStringLiteral("c%1").arg(k++);
      } while (used.contains(n.toLower()) || taken.contains(n.toLower()));
    }
    taken.insert(n.toLower());
    attrNames.push_back(n.toUtf8());
  }

  QByteArray buf;
  buf.reserve(1 << 21);
  buf.append("<xml xmlns:s='").append(kNsSchema).append("'\n\txmlns:dt='").append(kNsTypes)
      .append("'\n\txmlns:rs='").append(kNsRowset).append("'\n\txmlns:z='").append(kNsRow).append("'>\n");
  writeSchema(buf, fields, attrNames);
  buf.append("<rs:data>\n");
  const RowStore* store = rows.rowCount() > 0 ? &rows.store() : nullptr;
  for (int64_t r = 0; r < rows.rowCount(); ++r) {
    buf.append("\t<z:row");
    const std::vector<QVariant>* edited = rows.editedRow(r);
    for (size_t f = 0; f < fields.size(); ++f) {
      if (edited) {
        const QVariant& v = (*edited)[f];
        if (!v.isValid()) continue;
        buf.append(' ').append(attrNames[f]).append("='");
        appendValueText(buf, v, fields[f].type);
      } else {
        const ColumnStore& c = store->column(int(f));
        if (c.isNull(r)) continue;
        buf.append(' ').append(attrNames[f]).append("='");
        if (c.hasReplacements())
          appendValueText(buf, c.value(r), fields[f].type);
        else
          appendStoredValue(buf, c, r, fields[f].type);
      }
      buf.append('\'');
    }
    buf.append("/>\n");
    flushTo(out, buf, false);
  }
  buf.append("</rs:data>\n</xml>\n");
  flushTo(out, buf, true);
}

std::shared_ptr<RowStore> readRowsetXml(const QByteArray& data, const QString& source) {
  QXmlStreamReader xml(data);
  xml.setNamespaceProcessing(true);
  std::vector<ColumnDef> columns;
  QHash<QString, int> byAttr;
  std::shared_ptr<RowStore> rows;
  bool sawRoot = false, sawSchema = false;
  std::vector<QVariant> values;

  auto startRows = [&]() {
    if (rows) return;
    if (!sawSchema) invalid(source, QStringLiteral("the rows come before the schema"), xml.lineNumber());
    std::vector<FieldInfo> fields;
    for (const ColumnDef& c : columns) fields.push_back(c.field);
    rows = std::make_shared<RowStore>(std::move(fields));
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
      values.assign(columns.size(), QVariant());
      for (const QXmlStreamAttribute& a : xml.attributes()) {
        if (!a.namespaceUri().isEmpty()) continue;
        const auto it = byAttr.constFind(a.name().toString());
        if (it == byAttr.constEnd())
          invalid(source, QStringLiteral("a row has the value '%1', which no column declares").arg(a.name()),
                  xml.lineNumber());
        values[size_t(*it)] = parseValue(a.value().toString(), columns[size_t(*it)], source, xml.lineNumber());
      }
      rows->appendRow(values);
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
