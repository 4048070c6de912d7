#include "rowsetxmlwriter.h"

#include "error.h"
#include "values.h"

#include <QSet>
#include <charconv>
#include <cmath>

namespace dataaccess {

using rowsetxml::kNsRow;
using rowsetxml::kNsRowset;
using rowsetxml::kNsSchema;
using rowsetxml::kNsTypes;

namespace {

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

void appendEscapedString(QByteArray& out, const QString& s) {
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
      appendEscapedString(out, f.name);
      out.append('\'');
    }
    out.append(" rs:number='").append(num(int64_t(i) + 1)).append('\'');
    if (f.nullable) out.append(" rs:nullable='true'");
    if (f.key) out.append(" rs:keycolumn='true'");
    if (!f.baseTable.isEmpty()) {
      out.append(" rs:basetable='");
      appendEscapedString(out, f.baseTable);
      out.append('\'');
    }
    if (!f.baseColumn.isEmpty()) {
      out.append(" rs:basecolumn='");
      appendEscapedString(out, f.baseColumn);
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

void appendValueText(QByteArray& out, const QVariant& v, DataTypeEnum t, TextEscaper escape) {
  const QByteArray utf8 = invariantText(v, t).toUtf8();
  escape(out, std::string_view(utf8.constData(), size_t(utf8.size())));
}

// Appends the text of a stored cell without building a QVariant where the
// storage allows it (the common case for large tables).
void appendStoredValue(QByteArray& out, const ColumnStore& c, int64_t row, DataTypeEnum t, TextEscaper escape) {
  switch (c.storage()) {
    case ColumnStore::Storage::Integer:
    {
      char buf[24];
      const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, c.integerAt(row));
      out.append(buf, end - buf);
      return;
    }
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
      escape(out, c.bytesAt(row));
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
      char* w = buf;
      // Fixed-width decimal digits (the values are in range: no sign, no overflow).
      const auto put = [&w](int v, int width) {
        for (int k = width - 1; k >= 0; --k, v /= 10) w[k] = char('0' + v % 10);
        w += width;
      };
      const int h = rest / 3600000, mi = rest / 60000 % 60, sec = rest / 1000 % 60, z = rest % 1000;
      if (t != adDBTime) {
        put(y, 4), *w++ = '-', put(m, 2), *w++ = '-', put(d, 2);
        if (t != adDBDate) *w++ = 'T';
      }
      if (t != adDBDate) {
        put(h, 2), *w++ = ':', put(mi, 2), *w++ = ':', put(sec, 2);
        if (z && t != adDBTime) *w++ = '.', put(z, 3);
      }
      out.append(buf, w - buf);
      return;
    }
  }
  appendValueText(out, c.value(row), t, escape);
}

void flushTo(QIODevice& dev, QByteArray& buf, bool force) {
  if (!force && buf.size() < (1 << 20)) return;
  if (dev.write(buf) != buf.size())
    throw Error(err::kProviderFailure, QStringLiteral("Recordset.Save"),
                QStringLiteral("The rowset could not be written: %1").arg(dev.errorString()));
  buf.clear();
}

}  // namespace

std::vector<QByteArray> rowsetAttributeNames(const std::vector<FieldInfo>& fields) {
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

  return attrNames;
}

bool appendRowsetCell(QByteArray& out, const RowsView& rows, const RowStore* store, int64_t row, size_t field,
                      TextEscaper escape) {
  const DataTypeEnum type = rows.fields()[field].type;
  if (const std::vector<QVariant>* edited = rows.editedRow(row)) {
    const QVariant& v = (*edited)[field];
    if (!v.isValid()) return false;
    appendValueText(out, v, type, escape);
    return true;
  }
  const ColumnStore& c = store->column(int(field));
  if (c.isNull(row)) return false;
  if (c.hasReplacements())
    appendValueText(out, c.value(row), type, escape);
  else
    appendStoredValue(out, c, row, type, escape);
  return true;
}

void writeRowsetXml(const RowsView& rows, QIODevice& out) {
  const std::vector<FieldInfo>& fields = rows.fields();
  const std::vector<QByteArray> attrNames = rowsetAttributeNames(fields);

  QByteArray buf;
  buf.reserve(1 << 21);
  buf.append("<xml xmlns:s='").append(kNsSchema).append("'\n\txmlns:dt='").append(kNsTypes)
      .append("'\n\txmlns:rs='").append(kNsRowset).append("'\n\txmlns:z='").append(kNsRow).append("'>\n");
  writeSchema(buf, fields, attrNames);
  buf.append("<rs:data>\n");
  const RowStore* store = rows.rowCount() > 0 ? &rows.store() : nullptr;
  for (int64_t r = 0; r < rows.rowCount(); ++r) {
    buf.append("\t<z:row");
    for (size_t f = 0; f < fields.size(); ++f) {
      const qsizetype mark = buf.size();
      buf.append(' ').append(attrNames[f]).append("='");
      if (appendRowsetCell(buf, rows, store, r, f, appendEscaped))
        buf.append('\'');
      else
        buf.truncate(mark);
    }
    buf.append("/>\n");
    flushTo(out, buf, false);
  }
  buf.append("</rs:data>\n</xml>\n");
  flushTo(out, buf, true);
}

}  // namespace dataaccess
