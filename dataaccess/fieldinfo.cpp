#include "fieldinfo.h"

namespace dataaccess {

bool isTextType(DataTypeEnum t) {
  switch (t) {
    case adBSTR: case adChar: case adWChar: case adVarChar: case adLongVarChar:
    case adVarWChar: case adLongVarWChar:
      return true;
    default:
      return false;
  }
}

bool isLongType(DataTypeEnum t) {
  return t == adLongVarChar || t == adLongVarWChar || t == adLongVarBinary;
}

bool isIntegerType(DataTypeEnum t) {
  switch (t) {
    case adSmallInt: case adInteger: case adTinyInt: case adUnsignedTinyInt:
    case adUnsignedSmallInt: case adUnsignedInt: case adBigInt: case adUnsignedBigInt:
      return true;
    default:
      return false;
  }
}

bool isDateType(DataTypeEnum t) {
  return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp || t == adFileTime;
}

bool isBinaryType(DataTypeEnum t) { return t == adBinary || t == adVarBinary || t == adLongVarBinary; }

int64_t fixedSizeOf(DataTypeEnum t) {
  switch (t) {
    case adTinyInt: case adUnsignedTinyInt: return 1;
    case adBoolean: case adSmallInt: case adUnsignedSmallInt: return 2;
    case adInteger: case adUnsignedInt: case adSingle: return 4;
    case adDouble: case adCurrency: case adDate: case adBigInt: case adUnsignedBigInt:
    case adFileTime: return 8;
    case adDBDate: return 6;
    case adDBTime: return 6;
    case adDBTimeStamp: return 16;
    case adDecimal: case adNumeric: return 19;
    case adGUID: return 16;
    default: return 0;
  }
}

int FieldInfo::attributes() const {
  int a = adFldUnknownUpdatable;
  if (fixedSizeOf(type) != 0) a |= adFldFixed;
  if (nullable) a |= adFldIsNullable | adFldMayBeNull;
  if (isLongType(type)) a |= adFldLong;
  if (key) a |= adFldKeyColumn;
  return a;
}

}  // namespace dataaccess
