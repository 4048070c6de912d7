// The recordset's own persistence: the classic XML rowset format that
// Recordset::Save writes (the persist provider reads it back).
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
//
// The pieces other writers share (the attribute names a rowset gives its
// columns, the text of one cell) are public so that the XML shapes derived
// from this format are written from the same values.
#pragma once

#include "rowsview.h"

#include <QByteArray>
#include <QIODevice>
#include <string_view>
#include <vector>

namespace dataaccess {

namespace rowsetxml {
inline constexpr char kNsSchema[] = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
inline constexpr char kNsTypes[] = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
inline constexpr char kNsRowset[] = "urn:schemas-microsoft-com:rowset";
inline constexpr char kNsRow[] = "#RowsetSchema";
}  // namespace rowsetxml

// Writes every row of `rows` (current values) as UTF-8 XML to `out`.
// Throws Error when the device fails.
void writeRowsetXml(const RowsView& rows, QIODevice& out);

// The attribute name of each column in a rowset document: the column name
// where it is an XML name (and not taken yet, ignoring case), else "cN".
std::vector<QByteArray> rowsetAttributeNames(const std::vector<FieldInfo>& fields);

// Appends UTF-8 text to `out`, escaped as the caller's document needs.
using TextEscaper = void (*)(QByteArray& out, std::string_view utf8);

// Appends the text of cell (row, field) as the rowset document holds it:
// text values pass through `escape`; numbers, booleans, dates and hex bytes
// are written plainly (they hold no character that needs escaping). Returns
// false, appending nothing, for a Null. REQUIRES: `store` is rows.store()
// when rows.rowCount() > 0.
bool appendRowsetCell(QByteArray& out, const RowsView& rows, const RowStore* store, int64_t row, size_t field,
                      TextEscaper escape);

}  // namespace dataaccess
