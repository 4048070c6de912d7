#include "converter_testutil.h"

#include "dataaccess/rowstore.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace convertertest {

std::unique_ptr<dataaccess::Recordset> makeRecordset(const std::vector<dataaccess::FieldInfo>& fields,
                                                     const std::vector<std::vector<QVariant>>& rows) {
  auto store = std::make_shared<dataaccess::RowStore>(fields);
  for (const auto& row : rows) store->appendRow(row);
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, QStringLiteral("test"), dataaccess::adOpenKeyset, dataaccess::adLockBatchOptimistic);
  return rs;
}

std::unique_ptr<dataaccess::Recordset> twoColumnRecordset() {
  return makeRecordset({{QStringLiteral("A"), dataaccess::adInteger, 4}, {QStringLiteral("B"), dataaccess::adVarWChar, 50}},
                       {{QVariant(qlonglong(1)), QVariant(QStringLiteral("x"))}});
}

QString XmlNode::attribute(const QString& qname) const {
  for (const auto& [n, v] : attributes)
    if (n == qname) return v;
  return QString();
}

bool XmlNode::hasAttribute(const QString& qname) const {
  for (const auto& a : attributes)
    if (a.first == qname) return true;
  return false;
}

XmlNode parseXml(const QString& xml) {
  QXmlStreamReader reader(xml);
  std::vector<XmlNode> stack;
  XmlNode root;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement()) {
      XmlNode node;
      node.name = reader.qualifiedName().toString();
      node.namespaceUri = reader.namespaceUri().toString();
      for (const QXmlStreamAttribute& a : reader.attributes())
        node.attributes.emplace_back(a.qualifiedName().toString(), a.value().toString());
      stack.push_back(std::move(node));
    } else if (reader.isEndElement()) {
      XmlNode done = std::move(stack.back());
      stack.pop_back();
      if (stack.empty()) root = std::move(done);
      else stack.back().children.push_back(std::move(done));
    } else if (reader.isCharacters() && !stack.empty()) {
      stack.back().text += reader.text().toString();
    }
  }
  EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " in: " << xml.left(500).toStdString();
  return root;
}

QString bodyAfterDeclaration(const QString& text) {
  const qsizetype eol = text.indexOf(QLatin1String("\r\n"));
  return eol < 0 ? QString() : text.mid(eol + 2);
}

}  // namespace convertertest
