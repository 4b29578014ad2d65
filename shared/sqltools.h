#pragma once
// SQL and recordset helpers. Each helper reports failures in one fixed way, which callers rely on:
// raised COM errors, a returned HRESULT, or a safe default value (stated per helper).
#include <initializer_list>
#include <list>
#include <vector>

#include "shared/hxinstance.h"

// Doubles every apostrophe of a text value that is formatted into SQL between apostrophes.
CString hxSqlQuote(const wchar_t* text);

// Runs `sql` as a text command; 1 when the execution gave a recordset object, else 0. Raises every
// failure (E_POINTER for a missing connection or text).
LONG hxExecuteSql(_ConnectionPtr connection, const wchar_t* sql);

// The first column of the first row of `sql` into `out` (NULL without rows). Returns the HRESULT.
LONG hxGetValueFromSql(_ConnectionPtr connection, const CString& sql, _variant_t& out);
LONG hxGetValueFromSql(const CString& sql, _variant_t& out);

// The first column of the first row as a long; no rows gives 0x80000000; a value other than
// VT_I4 raises E_UNEXPECTED. Raises every failure.
LONG hxGetLongFromSql(const CString& sql);
LONG hxGetLongFromSqlWithId(const CString& format, LONG id);

// One parameter of exeSqlWithParams.
struct ExSqlParamEntry {
  LONG direction;   // ADO parameter direction: 1 input, 2 output, 3 input-output, 4 return value
  LONG type;        // ADO data type
  LONG size;
  VARIANT value;
};

// Runs `sql` with parameters PARAM0.. from `params`; output values are copied back. With
// `returnRecordset` the result recordset is handed out as IDispatch. Returns the HRESULT.
LONG exeSqlWithParams(IDispatch* connection, const wchar_t* sql, ExSqlParamEntry* params, LONG count,
                      bool returnRecordset, IDispatch** recordset);

class CDBTools {
 public:
  // Whether a row of `table` has `column` = id; true as well when the check fails.
  static bool GetUsed(IDispatch* connection, const wchar_t* table, const wchar_t* column, LONG id);
  // The number of rows of `table` meeting `condition` (may be null or empty); -1 on failure.
  static LONG Records(IDispatch* connection, const wchar_t* table, const wchar_t* condition);
};

// Comma lists for IN (...).
void hxStringWithIDs(CString& out, const std::list<LONG>& ids);
void hxStringWithIDs(CString& out, const std::vector<LONG>& ids);
void hxStringWithIDs(CString& out, const std::list<CString>& texts);  // each quoted, quotes doubled
void hxStringWithIDs(CString& out, const _RecordsetPtr& rs, const _variant_t& column);  // raises

// WHERE conditions.
void hxAddCond(CString& where, const CString& cond);
LONG hxAddOwnerSql(CString& where, const wchar_t* column);
LONG hxAddRegSql(CString& where, const wchar_t* column, bool exact);
LONG hxAddSiteSql(CString& where, const wchar_t* accountColumn, const wchar_t* siteColumn);
LONG hxAddSiteSql(CString& where, const wchar_t* column);

// Moves to the first row whose `column` holds the VT_I4 `value`. Raises.
bool hxSeek(_RecordsetPtr rs, const wchar_t* column, LONG value);

// The named value of the container's current row as a long, or 0x80000000.
LONG hxGetLongFromCnt(CBaseCnt& container, const wchar_t* column);

class CAdoRsTools {
 public:
  // A field of an exchange container: name, ADO type, defined size, whether it is indexed for
  // seeks (its dynamic property "Optimize" set), and its attributes (kContainerAttributes: the
  // attributes the container gives its fields).
  static constexpr LONG kContainerAttributes = -1;
  struct ContainerField {
    const wchar_t* name;
    DataTypeEnum type;
    LONG size;
    bool index = false;
    LONG attributes = kContainerAttributes;
  };
  // A new exchange container: a disconnected recordset created as a COM object, the fields
  // appended in order (with `attributes` unless a field names its own), opened with no source and
  // no connection (cursor and lock unspecified) and, once open, the index fields marked
  // "Optimize". Raises every failure of the creation, an append or the opening.
  static _RecordsetPtr CreateContainer(LONG attributes, std::initializer_list<ContainerField> fields);
  // A new recordset as a COM object, without fields and not opened. Raises.
  static _RecordsetPtr CreateRecordset();
  static bool ValdateRsFieldId(const _variant_t& id);
  static bool ValdateRsOpen(const _RecordsetPtr& rs);
  // Find criteria for the field and value: "name = 5", "name = 'text'" (quotes doubled), else empty.
  static CString CreateFindMask(const FieldPtr& field, const _variant_t& value);
  // Copies the source's value column into the target's value column, row by row, matching keys.
  static LONG UpdateTableColumnFromTableColumn(const _RecordsetPtr& source, const _variant_t& sourceKey,
                                               const _variant_t& sourceValue, const _RecordsetPtr& target,
                                               const _variant_t& targetKey, const _variant_t& targetValue,
                                               bool existingOnly);
};

// Per-key counters of one object kind, kept in kd_counter.
class CHxAutoNumberList {
 public:
  explicit CHxAutoNumberList(LONG object) : m_object(object) {}
  // The next number of `key`: 1 for a new key. Atomic between processes. Raises.
  LONG GetNext(LONG key);

 private:
  LONG m_object;
};
