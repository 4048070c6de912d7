// The classic XML rowset format: what Recordset::Save writes and the persist
// provider reads back.
//
//   <xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
//        xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"
//        xmlns:rs="urn:schemas-microsoft-com:rowset" xmlns:z="#RowsetSchema">
//   <s:Schema id="RowsetSchema">
//     <s:ElementType name="row" content="eltOnly">
//       <s:AttributeType name="ID" rs:number="1" ...>
//         <s:datatype dt:type="int" dt:maxLength="4" .../>
//       </s:AttributeType>
//       ...
//       <s:extends type="rs:rowbase"/>
//     </s:ElementType>
//   </s:Schema>
//   <rs:data>
//     <z:row ID="1" .../>
//   </rs:data>
//   </xml>
#pragma once

#include "../../rowsview.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>

namespace dataaccess {

// Writes every row of `rows` (current values) as UTF-8 XML to `out`.
// Throws Error when the device fails.
void writeRowsetXml(const RowsView& rows, QIODevice& out);

// Reads a rowset document. Throws Error (kProviderFailure) with a
// description naming `sourceName` when the text is not a well-formed rowset.
// External entities and network access are never used.
std::shared_ptr<RowStore> readRowsetXml(const QByteArray& data, const QString& sourceName);

}  // namespace dataaccess
