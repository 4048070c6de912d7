#include "rowsetxml.h"

#include "../../error.h"
#include "../../rowsetxmlwriter.h"
#include "../../values.h"

#include <QBuffer>
#include <QHash>
#include <QXmlStreamReader>

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
  std::vector<QVariant> values;
  // Per column of a row: the attribute holding its text (for text columns,
  // stored straight from the parser's text), or -1.
  std::vector<qsizetype> textAt;
  std::vector<bool> direct;  // text columns stored as they are read

  auto startRows = [&]() {
    if (rows) return;
    if (!sawSchema) invalid(source, QStringLiteral("the rows come before the schema"), xml.lineNumber());
    std::vector<FieldInfo> fields;
    for (const ColumnDef& c : columns) fields.push_back(c.field);
    rows = std::make_shared<RowStore>(std::move(fields));
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
      values.assign(columns.size(), QVariant());
      textAt.assign(columns.size(), -1);
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
        if (direct[index])
          textAt[index] = k;
        else
          values[index] = parseValue(a.value().toString(), columns[index], source, xml.lineNumber());
      }
      for (size_t i = 0; i < columns.size(); ++i) {
        ColumnStore& out = rows->column(int(i));
        if (textAt[i] >= 0)
          out.appendText(attributes[textAt[i]].value());
        else
          out.appendValue(values[i]);
      }
      rows->commitRow();
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
