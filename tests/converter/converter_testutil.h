// Helpers for the converter tests: recordsets built in memory, and a small
// tree of parsed XML to check results by structure rather than by bytes.
#pragma once

#include "dataaccess/recordset.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <utility>
#include <vector>

namespace convertertest {

// A client-side, connection-less recordset with the given fields and rows.
std::unique_ptr<dataaccess::Recordset> makeRecordset(const std::vector<dataaccess::FieldInfo>& fields,
                                                     const std::vector<std::vector<QVariant>>& rows);

// The usual two-column, one-record recordset: A = 1 (integer), B = "x".
std::unique_ptr<dataaccess::Recordset> twoColumnRecordset();

struct XmlNode {
  QString name;        // qualified name as written
  QString namespaceUri;
  std::vector<std::pair<QString, QString>> attributes;  // qualified name, value
  QString text;        // concatenated text children
  std::vector<XmlNode> children;

  QString attribute(const QString& qname) const;
  bool hasAttribute(const QString& qname) const;
};

// Parses `xml` (namespace-aware); fails the current test when it is not
// well-formed. Returns the root element.
XmlNode parseXml(const QString& xml);

// Text after the first line (the declaration line and its CR LF).
QString bodyAfterDeclaration(const QString& text);

}  // namespace convertertest
