// Enumerations of the data-access object model. The numeric values are the
// classic ones: the viewer's algorithms, persisted files and scripts compare
// against them, so they must never change.
#pragma once

namespace dataaccess {

enum DataTypeEnum : int {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adError = 10,
  adBoolean = 11,
  adVariant = 12,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adUnsignedSmallInt = 18,
  adUnsignedInt = 19,
  adBigInt = 20,
  adUnsignedBigInt = 21,
  adFileTime = 64,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

enum CursorLocationEnum : int { adUseServer = 2, adUseClient = 3 };

enum CursorTypeEnum : int {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3,
};

enum LockTypeEnum : int {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4,
};

enum CommandTypeEnum : int {
  adCmdUnspecified = -1,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdUnknown = 8,
  adCmdFile = 256,
};

enum SchemaEnum : int { adSchemaColumns = 4, adSchemaTables = 20 };

enum PersistFormatEnum : int { adPersistADTG = 0, adPersistXML = 1 };

enum StringFormatEnum : int { adClipString = 2 };

enum AffectEnum : int { adAffectCurrent = 1, adAffectGroup = 2, adAffectAll = 3 };

enum ResyncEnum : int { adResyncUnderlyingValues = 1, adResyncAllValues = 2 };

enum ObjectStateEnum : int { adStateClosed = 0, adStateOpen = 1 };

enum PositionEnum : int { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };

enum StreamTypeEnum : int { adTypeBinary = 1, adTypeText = 2 };

// Column flags of the columns schema (COLUMN_FLAGS) and field attributes.
enum FieldAttributeEnum : int {
  adFldUpdatable = 0x4,
  adFldUnknownUpdatable = 0x8,
  adFldFixed = 0x10,
  adFldIsNullable = 0x20,
  adFldMayBeNull = 0x40,
  adFldLong = 0x80,
  adFldRowID = 0x100,
  adFldKeyColumn = 0x8000,
};

}  // namespace dataaccess
