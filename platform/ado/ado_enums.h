#pragma once
#include "platform/base/wintypes.h"
// Constants of the data-access object model, with the values the code passes and reads.

enum CursorLocationEnum { adUseNone = 1, adUseServer = 2, adUseClient = 3, adUseClientBatch = 3 };
enum CursorTypeEnum {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};
enum LockTypeEnum {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4
};
enum CommandTypeEnum {
  adCmdUnspecified = -1,
  adCmdUnknown = 8,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdStoredProc = 4,
  adCmdFile = 256,
  adCmdTableDirect = 512
};
enum ExecuteOptionEnum {
  adOptionUnspecified = -1,
  adAsyncExecute = 0x10,
  adAsyncFetch = 0x20,
  adAsyncFetchNonBlocking = 0x40,
  adExecuteNoRecords = 0x80,
  adExecuteStream = 0x400,
  adExecuteRecord = 0x800
};
enum ConnectOptionEnum { adConnectUnspecified = -1, adAsyncConnect = 0x10 };
enum ObjectStateEnum {
  adStateClosed = 0,
  adStateOpen = 1,
  adStateConnecting = 2,
  adStateExecuting = 4,
  adStateFetching = 8
};
enum DataTypeEnum {
  adEmpty = 0,
  adTinyInt = 16,
  adSmallInt = 2,
  adInteger = 3,
  adBigInt = 20,
  adUnsignedTinyInt = 17,
  adUnsignedSmallInt = 18,
  adUnsignedInt = 19,
  adUnsignedBigInt = 21,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDecimal = 14,
  adNumeric = 131,
  adBoolean = 11,
  adError = 10,
  adUserDefined = 132,
  adVariant = 12,
  adIDispatch = 9,
  adIUnknown = 13,
  adGUID = 72,
  adDate = 7,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adBSTR = 8,
  adChar = 129,
  adVarChar = 200,
  adLongVarChar = 201,
  adWChar = 130,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adBinary = 128,
  adVarBinary = 204,
  adLongVarBinary = 205,
  adChapter = 136,
  adFileTime = 64,
  adPropVariant = 138,
  adVarNumeric = 139,
  adArray = 0x2000
};
enum FieldAttributeEnum {
  adFldUnspecified = -1,
  adFldMayDefer = 0x2,
  adFldUpdatable = 0x4,
  adFldUnknownUpdatable = 0x8,
  adFldFixed = 0x10,
  adFldIsNullable = 0x20,
  adFldMayBeNull = 0x40,
  adFldLong = 0x80,
  adFldRowID = 0x100,
  adFldRowVersion = 0x200,
  adFldCacheDeferred = 0x1000,
  adFldIsChapter = 0x2000,
  adFldNegativeScale = 0x4000,
  adFldKeyColumn = 0x8000,
  adFldIsRowURL = 0x10000,
  adFldIsDefaultStream = 0x20000,
  adFldIsCollection = 0x40000
};
enum ParameterDirectionEnum {
  adParamUnknown = 0,
  adParamInput = 1,
  adParamOutput = 2,
  adParamInputOutput = 3,
  adParamReturnValue = 4
};
enum ParameterAttributesEnum { adParamSigned = 0x10, adParamNullable = 0x40, adParamLong = 0x80 };
enum AffectEnum { adAffectCurrent = 1, adAffectGroup = 2, adAffectAll = 3, adAffectAllChapters = 4 };
enum SearchDirectionEnum { adSearchForward = 1, adSearchBackward = -1 };
enum FilterGroupEnum {
  adFilterNone = 0,
  adFilterPendingRecords = 1,
  adFilterAffectedRecords = 2,
  adFilterFetchedRecords = 3,
  adFilterPredicate = 4,
  adFilterConflictingRecords = 5
};
enum BookmarkEnum { adBookmarkCurrent = 0, adBookmarkFirst = 1, adBookmarkLast = 2 };
enum PositionEnum { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };
enum EditModeEnum { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2, adEditDelete = 4 };
enum RecordStatusEnum {
  adRecOK = 0,
  adRecNew = 0x1,
  adRecModified = 0x2,
  adRecDeleted = 0x4,
  adRecUnmodified = 0x8,
  adRecInvalid = 0x10,
  adRecMultipleChanges = 0x40,
  adRecPendingChanges = 0x80,
  adRecCanceled = 0x100,
  adRecCantRelease = 0x400,
  adRecConcurrencyViolation = 0x800,
  adRecIntegrityViolation = 0x1000,
  adRecMaxChangesExceeded = 0x2000,
  adRecObjectOpen = 0x4000,
  adRecOutOfMemory = 0x8000,
  adRecPermissionDenied = 0x10000,
  adRecSchemaViolation = 0x20000,
  adRecDBDeleted = 0x40000
};
enum CursorOptionEnum {
  adHoldRecords = 0x100,
  adMovePrevious = 0x200,
  adAddNew = 0x1000400,
  adDelete = 0x1000800,
  adUpdate = 0x1008000,
  adBookmark = 0x2000,
  adApproxPosition = 0x4000,
  adUpdateBatch = 0x10000,
  adResync = 0x20000,
  adNotify = 0x40000,
  adFind = 0x80000,
  adSeek = 0x400000,
  adIndex = 0x800000
};
enum StreamTypeEnum { adTypeBinary = 1, adTypeText = 2 };
enum LineSeparatorEnum { adLF = 10, adCR = 13, adCRLF = -1 };
enum StreamOpenOptionsEnum { adOpenStreamUnspecified = -1, adOpenStreamAsync = 1, adOpenStreamFromRecord = 4 };
enum StreamWriteEnum { adWriteChar = 0, adWriteLine = 1 };
enum StreamReadEnum { adReadAll = -1, adReadLine = -2 };
enum SaveOptionsEnum { adSaveCreateNotExist = 1, adSaveCreateOverWrite = 2 };
enum ConnectModeEnum {
  adModeUnknown = 0,
  adModeRead = 1,
  adModeWrite = 2,
  adModeReadWrite = 3,
  adModeShareDenyRead = 4,
  adModeShareDenyWrite = 8,
  adModeShareExclusive = 0xc,
  adModeShareDenyNone = 0x10
};
enum IsolationLevelEnum {
  adXactUnspecified = -1,
  adXactChaos = 0x10,
  adXactReadUncommitted = 0x100,
  adXactBrowse = 0x100,
  adXactCursorStability = 0x1000,
  adXactReadCommitted = 0x1000,
  adXactRepeatableRead = 0x10000,
  adXactSerializable = 0x100000,
  adXactIsolated = 0x100000
};
enum MarshalOptionsEnum { adMarshalAll = 0, adMarshalModifiedOnly = 1 };
enum ResyncEnum { adResyncUnderlyingValues = 1, adResyncAllValues = 2 };
enum CompareEnum { adCompareLessThan = 0, adCompareEqual = 1, adCompareGreaterThan = 2, adCompareNotEqual = 3, adCompareNotComparable = 4 };

// The codes the layer raises, with the values the data-access layer and its providers use.
#define adErrBoundToCommand ((HRESULT)0x800A0E7B)
#define adErrItemNotFound ((HRESULT)0x800A0CC1)
#define adErrNoCurrentRecord ((HRESULT)0x800A0BCD)
#define adErrObjectClosed ((HRESULT)0x800A0E78)
#define adErrObjectOpen ((HRESULT)0x800A0E79)
#define adErrFeatureNotAvailable ((HRESULT)0x800A0CB3)
#define adErrInvalidArgument ((HRESULT)0x800A0BB9)
#define adErrProviderNotFound ((HRESULT)0x800A0E7A)
#define adErrInvalidConnection ((HRESULT)0x800A0E7D)
#define adErrIllegalOperation ((HRESULT)0x800A0C93)
#define adErrDataConversion ((HRESULT)0x800A0D5D)
#define adErrInvalidParamInfo ((HRESULT)0x800A0E7C)
#define adErrOperationCancelled ((HRESULT)0x800A0E80)
#define DB_E_ERRORSINCOMMAND ((HRESULT)0x80040E14)
#define DB_E_NOTABLE ((HRESULT)0x80040E37)
#define DB_E_INTEGRITYVIOLATION ((HRESULT)0x80040E2F)
#define DB_E_ERRORSOCCURRED ((HRESULT)0x80040E21)
#define DB_E_CANTCONVERTVALUE ((HRESULT)0x80040E07)
#define DB_E_CONCURRENCYVIOLATION ((HRESULT)0x80040E38)
#define DB_E_TABLEINUSE ((HRESULT)0x80040E40)
#define DB_E_ABORTLIMITREACHED ((HRESULT)0x80040E31)
#define DB_E_OBJECTOPEN ((HRESULT)0x80040E05)
#define DB_E_PARAMNOTOPTIONAL ((HRESULT)0x80040E10)
#define DB_E_BADPARAMETERNAME ((HRESULT)0x80040E0E)
#define DB_E_BADRECORDNUM ((HRESULT)0x80040E42)
