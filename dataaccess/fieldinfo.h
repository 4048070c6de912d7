// Description of one column of a row set: what a provider reports for a
// field and what the recordset's Field objects, the columns schema, the XML
// persistence and the record editor read back.
#pragma once

#include "adtypes.h"

#include <QString>
#include <cstdint>

namespace dataaccess {

struct FieldInfo {
  QString name;
  DataTypeEnum type = adVarWChar;
  // Characters for text types, bytes for binary types, the storage size for
  // fixed types. 0 for long (memo-like) data of unknown size.
  int64_t definedSize = 0;
  int precision = 0;     // numeric precision, 255 where it does not apply
  int numericScale = 0;  // digits after the point, 255 where it does not apply
  bool nullable = true;
  bool key = false;      // part of the base table's primary key
  // Where the column comes from, for providers that write changes back.
  QString baseTable;
  QString baseColumn;

  FieldInfo() = default;
  FieldInfo(QString n, DataTypeEnum t, int64_t size = 0) : name(std::move(n)), type(t), definedSize(size) {}

  // ADO field attributes (adFld* flags) derived from the description.
  int attributes() const;
};

// True for the types whose values are text (char, varchar, memo and their
// wide forms, BSTR).
bool isTextType(DataTypeEnum t);
// True for the long types (memo, long binary) that have no useful width.
bool isLongType(DataTypeEnum t);
bool isIntegerType(DataTypeEnum t);
bool isDateType(DataTypeEnum t);
bool isBinaryType(DataTypeEnum t);
// Storage size of a fixed-width type, or 0 for variable-width types.
int64_t fixedSizeOf(DataTypeEnum t);

}  // namespace dataaccess
