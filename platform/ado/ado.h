#pragma once
// ADO's object model over the embedded SQLite database: connections, commands, parameters,
// recordsets with client-side cursors, fields, errors, properties and streams, with ADO's
// interface names, constants and HRESULTs.
//
// Calling conventions (the shape that importing ADO's type library gives):
// - raw methods (`get_X`, `put_X`, `putref_X`, `raw_Y`) return an HRESULT and set the thread's
//   error information on failure;
// - wrapper methods (`GetX`, `PutX`, `PutRefX`, `Y`) raise `_com_error` carrying that error
//   information on failure and return the value;
// - property syntax: every property the code reads or writes with property syntax is a small
//   proxy member of the interface with the property's name. Reading converts to the property's
//   type (`LONG n = rs->RecordCount;`, `if (rs->adoEOF)`), `->` reaches through object-valued
//   properties (`rs->Fields->Item[L"x"]->Value`), assignment calls the put method
//   (`rs->Filter = L"id=5"; rs->CursorLocation = adUseClient;`), and indexed properties take
//   `[]` (`Item[...]`). VARIANT-valued proxies (Value, OriginalValue, Filter...) also convert
//   straight to numbers and `_bstr_t`. For member access on the value (`.vt`), call the GetX
//   method: `rs->Fields->GetItem(L"x")->GetValue().vt`.
// - EOF is `adoEOF` / `GetadoEOF()`, as importing renames it.
//
// Connection strings: "Provider=SQLite;Data Source=<file>" (also "Data Source=<file>" alone,
// and "Provider=Vantor.SQLite"); other providers fail with adErrProviderNotFound. Dates are
// stored as text "YYYY-MM-DD HH:MM:SS[.fff]" so that they sort and compare in time order.
//
// Errors: a statement refused by a constraint (a duplicate key of an INSERT) gives
// DB_E_ERRORSINCOMMAND 0x80040E14, as SQL Server's provider reports it (the object lock relies
// on it); a constraint violated by rows that a recordset writes back (Update, UpdateBatch)
// gives DB_E_INTEGRITYVIOLATION 0x80040E2F; a syntax error or unknown column 0x80040E14; a
// missing table DB_E_NOTABLE 0x80040E37; a lock wait that timed out 0x80040E31; a row that
// UpdateBatch cannot find again 0x80040E38. The object model's own errors are ADO's 0x800A....
// codes. Database failures also fill the connection's Errors collection, and their error
// information answers IErrorRecords.
#include <functional>
#include <memory>
#include <type_traits>

#include "platform/ado/ado_enums.h"
#include "platform/com/com.h"

#define EOF_RENAMED_adoEOF 1

struct _Connection;
struct _Command;
struct _Recordset;
struct _Stream;
struct _Parameter;
struct Parameters;
struct Fields;
struct Field;
struct Errors;
struct Error;
struct Properties;
struct Property;
struct Connection;
struct Command;
struct Recordset;
struct Stream;
struct Parameter;

VANTOR_UUIDOF(_Connection, "00000550-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(_Command, "B08400BD-F9D1-4D02-B856-71D5DBA123E9");
VANTOR_UUIDOF(_Recordset, "00000556-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(_Stream, "00000565-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(_Parameter, "0000050C-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Parameters, "0000050D-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Fields, "00000564-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Field, "00000569-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Errors, "00000501-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Error, "00000500-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Properties, "00000504-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Property, "00000503-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Connection, "00000514-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Command, "00000507-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Recordset, "00000535-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Stream, "00000566-0000-0010-8000-00AA006D2EA4");
VANTOR_UUIDOF(Parameter, "0000050B-0000-0010-8000-00AA006D2EA4");

_COM_SMARTPTR_TYPEDEF(_Connection, __uuidof(_Connection));
_COM_SMARTPTR_TYPEDEF(_Command, __uuidof(_Command));
_COM_SMARTPTR_TYPEDEF(_Recordset, __uuidof(_Recordset));
_COM_SMARTPTR_TYPEDEF(_Stream, __uuidof(_Stream));
_COM_SMARTPTR_TYPEDEF(_Parameter, __uuidof(_Parameter));
_COM_SMARTPTR_TYPEDEF(Parameters, __uuidof(Parameters));
_COM_SMARTPTR_TYPEDEF(Fields, __uuidof(Fields));
_COM_SMARTPTR_TYPEDEF(Field, __uuidof(Field));
_COM_SMARTPTR_TYPEDEF(Errors, __uuidof(Errors));
_COM_SMARTPTR_TYPEDEF(Error, __uuidof(Error));
_COM_SMARTPTR_TYPEDEF(Properties, __uuidof(Properties));
_COM_SMARTPTR_TYPEDEF(Property, __uuidof(Property));

using ADO_LONGPTR = LONG;

namespace platform::ado::prop {
// Read-only property proxy.
template <class O, class T, T (O::*G)()>
struct Get {
  O* o;
  operator T() const { return (o->*G)(); }
  template <class U>
    requires(!std::is_same_v<U, T> && !std::is_pointer_v<U> && requires(T t) { static_cast<U>(t); })
  explicit operator U() const {
    return static_cast<U>((o->*G)());
  }
  T operator->() const { return (o->*G)(); }
  T get() const { return (o->*G)(); }
  Get& operator=(const Get&) = delete;
};
// Read-write property proxy; assignment calls the put method.
template <class O, class T, class P, T (O::*G)(), void (O::*S)(P)>
struct GetPut {
  O* o;
  operator T() const { return (o->*G)(); }
  template <class U>
    requires(!std::is_same_v<U, T> && !std::is_pointer_v<U> && requires(T t) { static_cast<U>(t); })
  explicit operator U() const {
    return static_cast<U>((o->*G)());
  }
  T operator->() const { return (o->*G)(); }
  T get() const { return (o->*G)(); }
  GetPut& operator=(P v) {
    (o->*S)(v);
    return *this;
  }
  GetPut& operator=(const GetPut& other) {
    (o->*S)(other.get());
    return *this;
  }
};
// VARIANT-valued read-write property: also converts straight to numbers and texts.
template <class O, _variant_t (O::*G)(), void (O::*S)(const _variant_t&)>
struct Variant {
  O* o;
  operator _variant_t() const { return (o->*G)(); }
  template <class U>
    requires(std::is_arithmetic_v<U> || std::is_same_v<U, _bstr_t> || std::is_same_v<U, CY>)
  operator U() const {
    return static_cast<U>((o->*G)());
  }
  _variant_t get() const { return (o->*G)(); }
  Variant& operator=(const _variant_t& v) {
    (o->*S)(v);
    return *this;
  }
  Variant& operator=(const Variant& other) {
    (o->*S)(other.get());
    return *this;
  }
};
// A recordset's ActiveConnection: a VARIANT property that also takes a connection object.
template <class O, _variant_t (O::*G)(), void (O::*S)(const _variant_t&)>
struct ConnectionVariant : Variant<O, G, S> {
  using Variant<O, G, S>::operator=;
  ConnectionVariant& operator=(IDispatch* conn) {
    (this->o->*S)(_variant_t(conn));
    return *this;
  }
};
// Read-only VARIANT-valued property.
template <class O, _variant_t (O::*G)()>
struct VariantGet {
  O* o;
  operator _variant_t() const { return (o->*G)(); }
  template <class U>
    requires(std::is_arithmetic_v<U> || std::is_same_v<U, _bstr_t> || std::is_same_v<U, CY>)
  operator U() const {
    return static_cast<U>((o->*G)());
  }
  _variant_t get() const { return (o->*G)(); }
  VariantGet& operator=(const VariantGet&) = delete;
};
// Indexed property: `Item[index]`.
template <class O, class T, T (O::*G)(const _variant_t&)>
struct Indexed {
  O* o;
  T operator[](const _variant_t& index) const { return (o->*G)(index); }
  Indexed& operator=(const Indexed&) = delete;
};
}  // namespace platform::ado::prop

#define VX_ADO_GET(I, T, Name) ::platform::ado::prop::Get<I, T, &I::Get##Name> Name{this}
#define VX_ADO_GETPUT(I, T, P, Name) ::platform::ado::prop::GetPut<I, T, P, &I::Get##Name, &I::Put##Name> Name{this}
#define VX_ADO_VARIANT(I, Name) ::platform::ado::prop::Variant<I, &I::Get##Name, &I::Put##Name> Name{this}

// ---- Property / Properties ----------------------------------------------------------------
struct Property : IDispatch {
  STDMETHOD(get_Value)(VARIANT* pval) = 0;
  STDMETHOD(put_Value)(VARIANT val) = 0;
  STDMETHOD(get_Name)(BSTR* pbstr) = 0;
  STDMETHOD(get_Type)(DataTypeEnum* ptype) = 0;
  STDMETHOD(get_Attributes)(LONG* plAttributes) = 0;
  STDMETHOD(put_Attributes)(LONG lAttributes) = 0;

  _variant_t GetValue();
  void PutValue(const _variant_t& val);
  _bstr_t GetName();
  DataTypeEnum GetType();
  LONG GetAttributes();
  void PutAttributes(LONG attributes);

  VX_ADO_VARIANT(Property, Value);
  VX_ADO_GET(Property, _bstr_t, Name);
  VX_ADO_GET(Property, DataTypeEnum, Type);
  VX_ADO_GETPUT(Property, LONG, LONG, Attributes);
};

struct Properties : IDispatch {
  STDMETHOD(get_Count)(LONG* c) = 0;
  STDMETHOD(get_Item)(VARIANT Index, struct Property** ppvObject) = 0;
  STDMETHOD(raw_Refresh)() = 0;

  LONG GetCount();
  PropertyPtr GetItem(const _variant_t& Index);
  HRESULT Refresh();

  VX_ADO_GET(Properties, LONG, Count);
  ::platform::ado::prop::Indexed<Properties, PropertyPtr, &Properties::GetItem> Item{this};
};

// ---- Error / Errors -----------------------------------------------------------------------
struct Error : IDispatch {
  STDMETHOD(get_Number)(LONG* pl) = 0;
  STDMETHOD(get_Source)(BSTR* pbstr) = 0;
  STDMETHOD(get_Description)(BSTR* pbstr) = 0;
  STDMETHOD(get_HelpFile)(BSTR* pbstr) = 0;
  STDMETHOD(get_HelpContext)(LONG* pl) = 0;
  STDMETHOD(get_SQLState)(BSTR* pbstr) = 0;
  STDMETHOD(get_NativeError)(LONG* pl) = 0;

  LONG GetNumber();
  _bstr_t GetSource();
  _bstr_t GetDescription();
  _bstr_t GetHelpFile();
  LONG GetHelpContext();
  _bstr_t GetSQLState();
  LONG GetNativeError();

  VX_ADO_GET(Error, LONG, Number);
  VX_ADO_GET(Error, _bstr_t, Source);
  VX_ADO_GET(Error, _bstr_t, Description);
  VX_ADO_GET(Error, _bstr_t, HelpFile);
  VX_ADO_GET(Error, LONG, HelpContext);
  VX_ADO_GET(Error, _bstr_t, SQLState);
  VX_ADO_GET(Error, LONG, NativeError);
};

struct Errors : IDispatch {
  STDMETHOD(get_Count)(LONG* c) = 0;
  STDMETHOD(get_Item)(VARIANT Index, struct Error** ppvObject) = 0;
  STDMETHOD(raw_Clear)() = 0;
  STDMETHOD(raw_Refresh)() = 0;

  LONG GetCount();
  ErrorPtr GetItem(const _variant_t& Index);
  HRESULT Clear();
  HRESULT Refresh();

  VX_ADO_GET(Errors, LONG, Count);
  ::platform::ado::prop::Indexed<Errors, ErrorPtr, &Errors::GetItem> Item{this};
};

// ---- OLE DB error records ------------------------------------------------------------------
// The basic information of one error record: its code, the provider's own error number, the
// class and the interface that failed.
struct ERRORINFO {
  HRESULT hrError;
  DWORD dwMinor;
  CLSID clsid;
  IID iid;
  DISPID dispid;
};

// The error records of the provider's error information: a failing database call leaves an
// error information object (the thread's IErrorInfo, carried by the raised _com_error) that
// also answers IErrorRecords, one record (source, description, code) per database error,
// numbered from 0. Failures of the object model itself carry no records.
struct IErrorRecords : IUnknown {
  STDMETHOD(AddErrorRecord)(ERRORINFO* info, DWORD lookupId, DISPPARAMS* params, IUnknown* customError,
                            DWORD dynamicErrorId) = 0;
  STDMETHOD(GetBasicErrorInfo)(ULONG record, ERRORINFO* info) = 0;
  STDMETHOD(GetCustomErrorObject)(ULONG record, REFIID iid, IUnknown** object) = 0;
  // The record's own error information: its source and description.
  STDMETHOD(GetErrorInfo)(ULONG record, LCID lcid, IErrorInfo** info) = 0;
  STDMETHOD(GetErrorParameters)(ULONG record, DISPPARAMS* params) = 0;
  STDMETHOD(GetRecordCount)(ULONG* count) = 0;
};
VANTOR_UUIDOF(IErrorRecords, "0C733A67-2A1C-11CE-ADE5-00AA0044773D");
_COM_SMARTPTR_TYPEDEF(IErrorRecords, __uuidof(IErrorRecords));

// ---- Field / Fields -----------------------------------------------------------------------
struct Field : IDispatch {
  STDMETHOD(get_Properties)(struct Properties** ppvObject) = 0;
  STDMETHOD(get_ActualSize)(ADO_LONGPTR* pl) = 0;
  STDMETHOD(get_Attributes)(LONG* pl) = 0;
  STDMETHOD(get_DefinedSize)(ADO_LONGPTR* pl) = 0;
  STDMETHOD(get_Name)(BSTR* pbstr) = 0;
  STDMETHOD(get_Type)(DataTypeEnum* pDataType) = 0;
  STDMETHOD(get_Value)(VARIANT* pvar) = 0;
  STDMETHOD(put_Value)(VARIANT val) = 0;
  STDMETHOD(get_Precision)(BYTE* pbPrecision) = 0;
  STDMETHOD(get_NumericScale)(BYTE* pbNumericScale) = 0;
  STDMETHOD(raw_AppendChunk)(VARIANT Data) = 0;
  STDMETHOD(raw_GetChunk)(LONG Length, VARIANT* pvar) = 0;
  STDMETHOD(get_OriginalValue)(VARIANT* pvar) = 0;
  STDMETHOD(get_UnderlyingValue)(VARIANT* pvar) = 0;
  STDMETHOD(put_Type)(DataTypeEnum DataType) = 0;
  STDMETHOD(put_DefinedSize)(ADO_LONGPTR l) = 0;
  STDMETHOD(put_Attributes)(LONG l) = 0;
  STDMETHOD(get_Status)(LONG* pFStatus) = 0;

  PropertiesPtr GetProperties();
  ADO_LONGPTR GetActualSize();
  LONG GetAttributes();
  ADO_LONGPTR GetDefinedSize();
  _bstr_t GetName();
  DataTypeEnum GetType();
  _variant_t GetValue();
  void PutValue(const _variant_t& val);
  BYTE GetPrecision();
  BYTE GetNumericScale();
  HRESULT AppendChunk(const _variant_t& Data);
  _variant_t GetChunk(LONG Length);
  _variant_t GetOriginalValue();
  _variant_t GetUnderlyingValue();
  void PutType(DataTypeEnum DataType);
  void PutDefinedSize(ADO_LONGPTR l);
  void PutAttributes(LONG l);
  LONG GetStatus();

  VX_ADO_GET(Field, PropertiesPtr, Properties);
  VX_ADO_GET(Field, ADO_LONGPTR, ActualSize);
  VX_ADO_GETPUT(Field, LONG, LONG, Attributes);
  VX_ADO_GETPUT(Field, ADO_LONGPTR, ADO_LONGPTR, DefinedSize);
  VX_ADO_GET(Field, _bstr_t, Name);
  VX_ADO_GETPUT(Field, DataTypeEnum, DataTypeEnum, Type);
  VX_ADO_VARIANT(Field, Value);
  VX_ADO_GET(Field, BYTE, Precision);
  VX_ADO_GET(Field, BYTE, NumericScale);
  ::platform::ado::prop::VariantGet<Field, &Field::GetOriginalValue> OriginalValue{this};
  ::platform::ado::prop::VariantGet<Field, &Field::GetUnderlyingValue> UnderlyingValue{this};
  VX_ADO_GET(Field, LONG, Status);
};

struct Fields : IDispatch {
  STDMETHOD(get_Count)(LONG* c) = 0;
  STDMETHOD(get_Item)(VARIANT Index, struct Field** ppvObject) = 0;
  STDMETHOD(raw_Refresh)() = 0;
  STDMETHOD(raw_Append)(BSTR Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize, FieldAttributeEnum Attrib,
                        VARIANT FieldValue) = 0;
  STDMETHOD(raw_Delete)(VARIANT Index) = 0;

  LONG GetCount();
  FieldPtr GetItem(const _variant_t& Index);
  HRESULT Refresh();
  HRESULT Append(_bstr_t Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize = 0,
                 FieldAttributeEnum Attrib = adFldUnspecified, const _variant_t& FieldValue = vtMissing);
  HRESULT Delete(const _variant_t& Index);

  VX_ADO_GET(Fields, LONG, Count);
  ::platform::ado::prop::Indexed<Fields, FieldPtr, &Fields::GetItem> Item{this};
};

// ---- Parameter / Parameters ---------------------------------------------------------------
struct _Parameter : IDispatch {
  STDMETHOD(get_Properties)(struct Properties** ppvObject) = 0;
  STDMETHOD(get_Name)(BSTR* pbstr) = 0;
  STDMETHOD(put_Name)(BSTR bstr) = 0;
  STDMETHOD(get_Value)(VARIANT* pvar) = 0;
  STDMETHOD(put_Value)(VARIANT val) = 0;
  STDMETHOD(get_Type)(DataTypeEnum* psDataType) = 0;
  STDMETHOD(put_Type)(DataTypeEnum sDataType) = 0;
  STDMETHOD(put_Direction)(ParameterDirectionEnum lParmDirection) = 0;
  STDMETHOD(get_Direction)(ParameterDirectionEnum* plParmDirection) = 0;
  STDMETHOD(put_Precision)(BYTE bPrecision) = 0;
  STDMETHOD(get_Precision)(BYTE* pbPrecision) = 0;
  STDMETHOD(put_NumericScale)(BYTE bScale) = 0;
  STDMETHOD(get_NumericScale)(BYTE* pbScale) = 0;
  STDMETHOD(put_Size)(ADO_LONGPTR l) = 0;
  STDMETHOD(get_Size)(ADO_LONGPTR* pl) = 0;
  STDMETHOD(raw_AppendChunk)(VARIANT Val) = 0;
  STDMETHOD(get_Attributes)(LONG* plParmAttribs) = 0;
  STDMETHOD(put_Attributes)(LONG lParmAttribs) = 0;

  PropertiesPtr GetProperties();
  _bstr_t GetName();
  void PutName(_bstr_t bstr);
  _variant_t GetValue();
  void PutValue(const _variant_t& val);
  DataTypeEnum GetType();
  void PutType(DataTypeEnum t);
  void PutDirection(ParameterDirectionEnum d);
  ParameterDirectionEnum GetDirection();
  void PutPrecision(BYTE b);
  BYTE GetPrecision();
  void PutNumericScale(BYTE b);
  BYTE GetNumericScale();
  void PutSize(ADO_LONGPTR l);
  ADO_LONGPTR GetSize();
  HRESULT AppendChunk(const _variant_t& Val);
  LONG GetAttributes();
  void PutAttributes(LONG l);

  VX_ADO_GETPUT(_Parameter, _bstr_t, _bstr_t, Name);
  VX_ADO_VARIANT(_Parameter, Value);
  VX_ADO_GETPUT(_Parameter, DataTypeEnum, DataTypeEnum, Type);
  VX_ADO_GETPUT(_Parameter, ParameterDirectionEnum, ParameterDirectionEnum, Direction);
  VX_ADO_GETPUT(_Parameter, BYTE, BYTE, Precision);
  VX_ADO_GETPUT(_Parameter, BYTE, BYTE, NumericScale);
  VX_ADO_GETPUT(_Parameter, ADO_LONGPTR, ADO_LONGPTR, Size);
  VX_ADO_GETPUT(_Parameter, LONG, LONG, Attributes);
};

struct Parameters : IDispatch {
  STDMETHOD(get_Count)(LONG* c) = 0;
  STDMETHOD(get_Item)(VARIANT Index, struct _Parameter** ppvObject) = 0;
  STDMETHOD(raw_Refresh)() = 0;
  STDMETHOD(raw_Append)(IDispatch* Object) = 0;
  STDMETHOD(raw_Delete)(VARIANT Index) = 0;

  LONG GetCount();
  _ParameterPtr GetItem(const _variant_t& Index);
  HRESULT Refresh();
  HRESULT Append(IDispatch* Object);
  HRESULT Delete(const _variant_t& Index);

  VX_ADO_GET(Parameters, LONG, Count);
  ::platform::ado::prop::Indexed<Parameters, _ParameterPtr, &Parameters::GetItem> Item{this};
};

// ---- Connection ---------------------------------------------------------------------------
struct _Connection : IDispatch {
  STDMETHOD(get_Properties)(struct Properties** ppvObject) = 0;
  STDMETHOD(get_ConnectionString)(BSTR* pbstr) = 0;
  STDMETHOD(put_ConnectionString)(BSTR bstr) = 0;
  STDMETHOD(get_CommandTimeout)(LONG* plTimeout) = 0;
  STDMETHOD(put_CommandTimeout)(LONG lTimeout) = 0;
  STDMETHOD(get_ConnectionTimeout)(LONG* plTimeout) = 0;
  STDMETHOD(put_ConnectionTimeout)(LONG lTimeout) = 0;
  STDMETHOD(get_Version)(BSTR* pbstr) = 0;
  STDMETHOD(raw_Close)() = 0;
  STDMETHOD(raw_Execute)(BSTR CommandText, VARIANT* RecordsAffected, LONG Options, struct _Recordset** ppiRset) = 0;
  STDMETHOD(raw_BeginTrans)(LONG* TransactionLevel) = 0;
  STDMETHOD(raw_CommitTrans)() = 0;
  STDMETHOD(raw_RollbackTrans)() = 0;
  STDMETHOD(raw_Open)(BSTR ConnectionString, BSTR UserID, BSTR Password, LONG Options) = 0;
  STDMETHOD(get_Errors)(struct Errors** ppvObject) = 0;
  STDMETHOD(get_DefaultDatabase)(BSTR* pbstr) = 0;
  STDMETHOD(put_DefaultDatabase)(BSTR bstr) = 0;
  STDMETHOD(get_CursorLocation)(CursorLocationEnum* plCursorLoc) = 0;
  STDMETHOD(put_CursorLocation)(CursorLocationEnum lCursorLoc) = 0;
  STDMETHOD(get_State)(LONG* plObjState) = 0;
  STDMETHOD(get_Provider)(BSTR* pbstr) = 0;
  STDMETHOD(put_Provider)(BSTR bstr) = 0;
  STDMETHOD(raw_Cancel)() = 0;

  PropertiesPtr GetProperties();
  _bstr_t GetConnectionString();
  void PutConnectionString(_bstr_t s);
  LONG GetCommandTimeout();
  void PutCommandTimeout(LONG t);
  LONG GetConnectionTimeout();
  void PutConnectionTimeout(LONG t);
  _bstr_t GetVersion();
  HRESULT Close();
  _RecordsetPtr Execute(_bstr_t CommandText, VARIANT* RecordsAffected = nullptr, LONG Options = adOptionUnspecified);
  LONG BeginTrans();
  HRESULT CommitTrans();
  HRESULT RollbackTrans();
  HRESULT Open(_bstr_t ConnectionString = L"", _bstr_t UserID = L"", _bstr_t Password = L"",
               LONG Options = adConnectUnspecified);
  ErrorsPtr GetErrors();
  _bstr_t GetDefaultDatabase();
  void PutDefaultDatabase(_bstr_t s);
  CursorLocationEnum GetCursorLocation();
  void PutCursorLocation(CursorLocationEnum l);
  LONG GetState();
  _bstr_t GetProvider();
  void PutProvider(_bstr_t s);
  HRESULT Cancel();

  VX_ADO_GET(_Connection, PropertiesPtr, Properties);
  VX_ADO_GETPUT(_Connection, _bstr_t, _bstr_t, ConnectionString);
  VX_ADO_GETPUT(_Connection, LONG, LONG, CommandTimeout);
  VX_ADO_GETPUT(_Connection, LONG, LONG, ConnectionTimeout);
  VX_ADO_GET(_Connection, _bstr_t, Version);
  VX_ADO_GET(_Connection, ErrorsPtr, Errors);
  VX_ADO_GETPUT(_Connection, _bstr_t, _bstr_t, DefaultDatabase);
  VX_ADO_GETPUT(_Connection, CursorLocationEnum, CursorLocationEnum, CursorLocation);
  VX_ADO_GET(_Connection, LONG, State);
  VX_ADO_GETPUT(_Connection, _bstr_t, _bstr_t, Provider);
};

// ---- Command ------------------------------------------------------------------------------
struct _Command : IDispatch {
  STDMETHOD(get_Properties)(struct Properties** ppvObject) = 0;
  STDMETHOD(get_ActiveConnection)(struct _Connection** ppvObject) = 0;
  STDMETHOD(putref_ActiveConnection)(struct _Connection* ppvObject) = 0;
  STDMETHOD(put_ActiveConnection)(VARIANT vConn) = 0;
  STDMETHOD(get_CommandText)(BSTR* pbstr) = 0;
  STDMETHOD(put_CommandText)(BSTR bstr) = 0;
  STDMETHOD(get_CommandTimeout)(LONG* pl) = 0;
  STDMETHOD(put_CommandTimeout)(LONG Timeout) = 0;
  STDMETHOD(get_Prepared)(VARIANT_BOOL* pfPrepared) = 0;
  STDMETHOD(put_Prepared)(VARIANT_BOOL fPrepared) = 0;
  STDMETHOD(raw_Execute)(VARIANT* RecordsAffected, VARIANT* Parameters, LONG Options,
                         struct _Recordset** ppiRs) = 0;
  STDMETHOD(raw_CreateParameter)(BSTR Name, DataTypeEnum Type, ParameterDirectionEnum Direction, ADO_LONGPTR Size,
                                 VARIANT Value, struct _Parameter** ppiprm) = 0;
  STDMETHOD(get_Parameters)(struct Parameters** ppvObject) = 0;
  STDMETHOD(put_CommandType)(CommandTypeEnum lCmdType) = 0;
  STDMETHOD(get_CommandType)(CommandTypeEnum* plCmdType) = 0;
  STDMETHOD(get_Name)(BSTR* pbstrName) = 0;
  STDMETHOD(put_Name)(BSTR bstrName) = 0;
  STDMETHOD(get_State)(LONG* plObjState) = 0;
  STDMETHOD(raw_Cancel)() = 0;

  PropertiesPtr GetProperties();
  _ConnectionPtr GetActiveConnection();
  void PutRefActiveConnection(struct _Connection* conn);
  void PutActiveConnection(const _variant_t& conn);
  _bstr_t GetCommandText();
  void PutCommandText(_bstr_t s);
  LONG GetCommandTimeout();
  void PutCommandTimeout(LONG t);
  VARIANT_BOOL GetPrepared();
  void PutPrepared(VARIANT_BOOL f);
  _RecordsetPtr Execute(VARIANT* RecordsAffected = nullptr, VARIANT* Parameters = nullptr,
                        LONG Options = adOptionUnspecified);
  _ParameterPtr CreateParameter(_bstr_t Name = L"", DataTypeEnum Type = adEmpty,
                                ParameterDirectionEnum Direction = adParamInput, ADO_LONGPTR Size = 0,
                                const _variant_t& Value = vtMissing);
  ParametersPtr GetParameters();
  void PutCommandType(CommandTypeEnum t);
  CommandTypeEnum GetCommandType();
  _bstr_t GetName();
  void PutName(_bstr_t s);
  LONG GetState();
  HRESULT Cancel();

  VX_ADO_GET(_Command, PropertiesPtr, Properties);
  ::platform::ado::prop::GetPut<_Command, _ConnectionPtr, struct _Connection*, &_Command::GetActiveConnection,
                                &_Command::PutRefActiveConnection>
      ActiveConnection{this};
  VX_ADO_GETPUT(_Command, _bstr_t, _bstr_t, CommandText);
  VX_ADO_GETPUT(_Command, LONG, LONG, CommandTimeout);
  VX_ADO_GETPUT(_Command, VARIANT_BOOL, VARIANT_BOOL, Prepared);
  VX_ADO_GET(_Command, ParametersPtr, Parameters);
  VX_ADO_GETPUT(_Command, CommandTypeEnum, CommandTypeEnum, CommandType);
  VX_ADO_GETPUT(_Command, _bstr_t, _bstr_t, Name);
  VX_ADO_GET(_Command, LONG, State);
};

// ---- Recordset ----------------------------------------------------------------------------
struct _Recordset : IDispatch {
  STDMETHOD(get_Properties)(struct Properties** ppvObject) = 0;
  STDMETHOD(get_AbsolutePosition)(LONG* pl) = 0;
  STDMETHOD(put_AbsolutePosition)(LONG l) = 0;
  STDMETHOD(putref_ActiveConnection)(IDispatch* pconn) = 0;
  STDMETHOD(put_ActiveConnection)(VARIANT vConn) = 0;
  STDMETHOD(get_ActiveConnection)(VARIANT* pvar) = 0;
  STDMETHOD(get_BOF)(VARIANT_BOOL* pb) = 0;
  STDMETHOD(get_Bookmark)(VARIANT* pvBookmark) = 0;
  STDMETHOD(put_Bookmark)(VARIANT vBookmark) = 0;
  STDMETHOD(get_CacheSize)(LONG* pl) = 0;
  STDMETHOD(put_CacheSize)(LONG CacheSize) = 0;
  STDMETHOD(get_CursorType)(CursorTypeEnum* plCursorType) = 0;
  STDMETHOD(put_CursorType)(CursorTypeEnum lCursorType) = 0;
  STDMETHOD(get_adoEOF)(VARIANT_BOOL* pb) = 0;
  STDMETHOD(get_Fields)(struct Fields** ppvObject) = 0;
  STDMETHOD(get_LockType)(LockTypeEnum* plLockType) = 0;
  STDMETHOD(put_LockType)(LockTypeEnum lLockType) = 0;
  STDMETHOD(get_MaxRecords)(ADO_LONGPTR* plMaxRecords) = 0;
  STDMETHOD(put_MaxRecords)(ADO_LONGPTR lMaxRecords) = 0;
  STDMETHOD(get_RecordCount)(ADO_LONGPTR* pl) = 0;
  STDMETHOD(putref_Source)(IDispatch* pcmd) = 0;
  STDMETHOD(put_Source)(BSTR bstrConn) = 0;
  STDMETHOD(get_Source)(VARIANT* pvSource) = 0;
  STDMETHOD(raw_AddNew)(VARIANT FieldList, VARIANT Values) = 0;
  STDMETHOD(raw_CancelUpdate)() = 0;
  STDMETHOD(raw_Close)() = 0;
  STDMETHOD(raw_Delete)(AffectEnum AffectRecords) = 0;
  STDMETHOD(raw_GetRows)(LONG Rows, VARIANT Start, VARIANT Fields, VARIANT* pvar) = 0;
  STDMETHOD(raw_Move)(ADO_LONGPTR NumRecords, VARIANT Start) = 0;
  STDMETHOD(raw_MoveNext)() = 0;
  STDMETHOD(raw_MovePrevious)() = 0;
  STDMETHOD(raw_MoveFirst)() = 0;
  STDMETHOD(raw_MoveLast)() = 0;
  STDMETHOD(raw_Open)(VARIANT Source, VARIANT ActiveConnection, CursorTypeEnum CursorType, LockTypeEnum LockType,
                      LONG Options) = 0;
  STDMETHOD(raw_Requery)(LONG Options) = 0;
  STDMETHOD(raw_Update)(VARIANT Fields, VARIANT Values) = 0;
  STDMETHOD(get_EditMode)(EditModeEnum* pl) = 0;
  STDMETHOD(get_Status)(LONG* pl) = 0;
  STDMETHOD(get_Filter)(VARIANT* Criteria) = 0;
  STDMETHOD(put_Filter)(VARIANT Criteria) = 0;
  STDMETHOD(get_State)(LONG* plObjState) = 0;
  STDMETHOD(raw_UpdateBatch)(AffectEnum AffectRecords) = 0;
  STDMETHOD(raw_CancelBatch)(AffectEnum AffectRecords) = 0;
  STDMETHOD(get_CursorLocation)(CursorLocationEnum* plCursorLoc) = 0;
  STDMETHOD(put_CursorLocation)(CursorLocationEnum lCursorLoc) = 0;
  STDMETHOD(raw_Clone)(LockTypeEnum LockType, struct _Recordset** ppvObject) = 0;
  STDMETHOD(raw_Supports)(CursorOptionEnum CursorOptions, VARIANT_BOOL* pb) = 0;
  STDMETHOD(get_Sort)(BSTR* Criteria) = 0;
  STDMETHOD(put_Sort)(BSTR Criteria) = 0;
  STDMETHOD(raw_Find)(BSTR Criteria, ADO_LONGPTR SkipRecords, SearchDirectionEnum SearchDirection,
                      VARIANT Start) = 0;
  STDMETHOD(get_MarshalOptions)(MarshalOptionsEnum* peMarshal) = 0;
  STDMETHOD(put_MarshalOptions)(MarshalOptionsEnum eMarshal) = 0;

  PropertiesPtr GetProperties();
  LONG GetAbsolutePosition();
  void PutAbsolutePosition(LONG l);
  void PutRefActiveConnection(IDispatch* conn);
  void PutActiveConnection(const _variant_t& conn);
  _variant_t GetActiveConnection();
  VARIANT_BOOL GetBOF();
  _variant_t GetBookmark();
  void PutBookmark(const _variant_t& bm);
  LONG GetCacheSize();
  void PutCacheSize(LONG n);
  CursorTypeEnum GetCursorType();
  void PutCursorType(CursorTypeEnum t);
  VARIANT_BOOL GetadoEOF();
  FieldsPtr GetFields();
  LockTypeEnum GetLockType();
  void PutLockType(LockTypeEnum t);
  ADO_LONGPTR GetMaxRecords();
  void PutMaxRecords(ADO_LONGPTR n);
  ADO_LONGPTR GetRecordCount();
  void PutRefSource(IDispatch* cmd);
  void PutSource(_bstr_t s);
  _variant_t GetSource();
  HRESULT AddNew(const _variant_t& FieldList = vtMissing, const _variant_t& Values = vtMissing);
  HRESULT CancelUpdate();
  HRESULT Close();
  HRESULT Delete(AffectEnum AffectRecords = adAffectCurrent);
  _variant_t GetRows(LONG Rows = -1, const _variant_t& Start = vtMissing, const _variant_t& Fields = vtMissing);
  HRESULT Move(ADO_LONGPTR NumRecords, const _variant_t& Start = vtMissing);
  HRESULT MoveNext();
  HRESULT MovePrevious();
  HRESULT MoveFirst();
  HRESULT MoveLast();
  HRESULT Open(const _variant_t& Source = vtMissing, const _variant_t& ActiveConnection = vtMissing,
               CursorTypeEnum CursorType = adOpenUnspecified, LockTypeEnum LockType = adLockUnspecified,
               LONG Options = adCmdUnspecified);
  HRESULT Requery(LONG Options = adOptionUnspecified);
  HRESULT Update(const _variant_t& Fields = vtMissing, const _variant_t& Values = vtMissing);
  EditModeEnum GetEditMode();
  LONG GetStatus();
  _variant_t GetFilter();
  void PutFilter(const _variant_t& criteria);
  LONG GetState();
  HRESULT UpdateBatch(AffectEnum AffectRecords = adAffectAll);
  HRESULT CancelBatch(AffectEnum AffectRecords = adAffectAll);
  CursorLocationEnum GetCursorLocation();
  void PutCursorLocation(CursorLocationEnum l);
  _RecordsetPtr Clone(LockTypeEnum LockType = adLockUnspecified);
  VARIANT_BOOL Supports(CursorOptionEnum CursorOptions);
  _bstr_t GetSort();
  void PutSort(_bstr_t s);
  HRESULT Find(_bstr_t Criteria, ADO_LONGPTR SkipRecords = 0, SearchDirectionEnum SearchDirection = adSearchForward,
               const _variant_t& Start = vtMissing);
  MarshalOptionsEnum GetMarshalOptions();
  void PutMarshalOptions(MarshalOptionsEnum m);
  // The value of a field of the current row, by name or index (Fields->Item[i]->Value).
  _variant_t GetCollect(const _variant_t& Index);
  void PutCollect(const _variant_t& Index, const _variant_t& Value);

  VX_ADO_GET(_Recordset, PropertiesPtr, Properties);
  VX_ADO_GETPUT(_Recordset, LONG, LONG, AbsolutePosition);
  ::platform::ado::prop::ConnectionVariant<_Recordset, &_Recordset::GetActiveConnection,
                                          &_Recordset::PutActiveConnection>
      ActiveConnection{this};
  VX_ADO_GET(_Recordset, VARIANT_BOOL, BOF);
  VX_ADO_VARIANT(_Recordset, Bookmark);
  VX_ADO_GETPUT(_Recordset, LONG, LONG, CacheSize);
  VX_ADO_GETPUT(_Recordset, CursorTypeEnum, CursorTypeEnum, CursorType);
  VX_ADO_GET(_Recordset, VARIANT_BOOL, adoEOF);
  VX_ADO_GET(_Recordset, FieldsPtr, Fields);
  VX_ADO_GETPUT(_Recordset, LockTypeEnum, LockTypeEnum, LockType);
  VX_ADO_GETPUT(_Recordset, ADO_LONGPTR, ADO_LONGPTR, MaxRecords);
  VX_ADO_GET(_Recordset, ADO_LONGPTR, RecordCount);
  VX_ADO_GET(_Recordset, EditModeEnum, EditMode);
  VX_ADO_GET(_Recordset, LONG, Status);
  VX_ADO_VARIANT(_Recordset, Filter);
  VX_ADO_GET(_Recordset, LONG, State);
  VX_ADO_GETPUT(_Recordset, CursorLocationEnum, CursorLocationEnum, CursorLocation);
  VX_ADO_GETPUT(_Recordset, _bstr_t, _bstr_t, Sort);
  VX_ADO_GETPUT(_Recordset, MarshalOptionsEnum, MarshalOptionsEnum, MarshalOptions);
};

// ---- Stream -------------------------------------------------------------------------------
struct _Stream : IDispatch {
  STDMETHOD(get_Size)(ADO_LONGPTR* pSize) = 0;
  STDMETHOD(get_EOS)(VARIANT_BOOL* pEOS) = 0;
  STDMETHOD(get_Position)(ADO_LONGPTR* pPos) = 0;
  STDMETHOD(put_Position)(ADO_LONGPTR Position) = 0;
  STDMETHOD(get_Type)(StreamTypeEnum* pType) = 0;
  STDMETHOD(put_Type)(StreamTypeEnum Type) = 0;
  STDMETHOD(get_LineSeparator)(LineSeparatorEnum* pLS) = 0;
  STDMETHOD(put_LineSeparator)(LineSeparatorEnum LineSeparator) = 0;
  STDMETHOD(get_State)(ObjectStateEnum* pState) = 0;
  STDMETHOD(get_Mode)(ConnectModeEnum* pMode) = 0;
  STDMETHOD(put_Mode)(ConnectModeEnum Mode) = 0;
  STDMETHOD(get_Charset)(BSTR* pbstrCharset) = 0;
  STDMETHOD(put_Charset)(BSTR Charset) = 0;
  STDMETHOD(raw_Read)(LONG NumBytes, VARIANT* pVal) = 0;
  STDMETHOD(raw_Open)(VARIANT Source, ConnectModeEnum Mode, StreamOpenOptionsEnum Options, BSTR UserName,
                      BSTR Password) = 0;
  STDMETHOD(raw_Close)() = 0;
  STDMETHOD(raw_SkipLine)() = 0;
  STDMETHOD(raw_Write)(VARIANT Buffer) = 0;
  STDMETHOD(raw_SetEOS)() = 0;
  STDMETHOD(raw_CopyTo)(struct _Stream* DestStream, ADO_LONGPTR CharNumber) = 0;
  STDMETHOD(raw_Flush)() = 0;
  STDMETHOD(raw_SaveToFile)(BSTR FileName, SaveOptionsEnum Options) = 0;
  STDMETHOD(raw_LoadFromFile)(BSTR FileName) = 0;
  STDMETHOD(raw_ReadText)(LONG NumChars, BSTR* pbstr) = 0;
  STDMETHOD(raw_WriteText)(BSTR Data, StreamWriteEnum Options) = 0;
  STDMETHOD(raw_Cancel)() = 0;

  ADO_LONGPTR GetSize();
  VARIANT_BOOL GetEOS();
  ADO_LONGPTR GetPosition();
  void PutPosition(ADO_LONGPTR p);
  StreamTypeEnum GetType();
  void PutType(StreamTypeEnum t);
  LineSeparatorEnum GetLineSeparator();
  void PutLineSeparator(LineSeparatorEnum l);
  ObjectStateEnum GetState();
  ConnectModeEnum GetMode();
  void PutMode(ConnectModeEnum m);
  _bstr_t GetCharset();
  void PutCharset(_bstr_t s);
  _variant_t Read(LONG NumBytes = adReadAll);
  HRESULT Open(const _variant_t& Source = vtMissing, ConnectModeEnum Mode = adModeUnknown,
               StreamOpenOptionsEnum Options = adOpenStreamUnspecified, _bstr_t UserName = L"",
               _bstr_t Password = L"");
  HRESULT Close();
  HRESULT SkipLine();
  HRESULT Write(const _variant_t& Buffer);
  HRESULT SetEOS();
  HRESULT CopyTo(struct _Stream* DestStream, ADO_LONGPTR CharNumber = -1);
  HRESULT Flush();
  HRESULT SaveToFile(_bstr_t FileName, SaveOptionsEnum Options = adSaveCreateNotExist);
  HRESULT LoadFromFile(_bstr_t FileName);
  _bstr_t ReadText(LONG NumChars = adReadAll);
  HRESULT WriteText(_bstr_t Data, StreamWriteEnum Options = adWriteChar);
  HRESULT Cancel();

  VX_ADO_GET(_Stream, ADO_LONGPTR, Size);
  VX_ADO_GET(_Stream, VARIANT_BOOL, EOS);
  VX_ADO_GETPUT(_Stream, ADO_LONGPTR, ADO_LONGPTR, Position);
  VX_ADO_GETPUT(_Stream, StreamTypeEnum, StreamTypeEnum, Type);
  VX_ADO_GETPUT(_Stream, LineSeparatorEnum, LineSeparatorEnum, LineSeparator);
  VX_ADO_GET(_Stream, ObjectStateEnum, State);
  VX_ADO_GETPUT(_Stream, ConnectModeEnum, ConnectModeEnum, Mode);
  VX_ADO_GETPUT(_Stream, _bstr_t, _bstr_t, Charset);
};

#undef VX_ADO_GET
#undef VX_ADO_GETPUT
#undef VX_ADO_VARIANT

// Command types and execute options are combined with `|` (adCmdText | adExecuteNoRecords).
constexpr LONG operator|(CommandTypeEnum a, ExecuteOptionEnum b) { return static_cast<LONG>(a) | static_cast<LONG>(b); }
constexpr LONG operator|(ExecuteOptionEnum a, CommandTypeEnum b) { return static_cast<LONG>(a) | static_cast<LONG>(b); }

namespace platform::ado {
// Registers the creatable classes (Connection, Command, Recordset, Stream, Parameter) with
// their ProgIDs "ADODB.Connection" etc. as in-process class objects. Runs when the library
// loads; calling it again does nothing.
void RegisterAdoClasses();
// Writes the ProgIDs "ADODB.Connection", "ADODB.Command", "ADODB.Recordset", "ADODB.Stream"
// and "ADODB.Parameter" (with ".6.0" versions) into the registry store, as installing the
// library would, so that CLSIDFromProgID finds them.
HRESULT RegisterAdoProgIds();

// Beyond ADO's object model, for the host that owns the product connection:
// the nesting depth of the connection's open transactions (0 none), or -1 when `connection` is
// not an open connection of this library;
LONG TransactionDepth(_Connection* connection);
// calls `handler` each time the connection's outermost transaction has ended (committed, rolled
// back, or closed with the connection), after the database's lock was given back. One handler
// per connection; an empty one removes it. Its exceptions are swallowed.
void SetTransactionEndHandler(_Connection* connection, std::function<void()> handler);
// a read of several statements as one: on a connection without a transaction, BeginRead begins
// one that takes no write lock (the first read takes the database's shared lock, which it then
// keeps), so that the statements see one state of the database and lock it once instead of once
// each; true when it began one. EndRead ends what BeginRead began, as CommitTrans would.
bool BeginRead(_Connection* connection);
void EndRead(_Connection* connection);
// Reads that belong together, such as the lookups a record's store makes before it saves, for as
// long as the object lives. On SQLite, where a statement outside a transaction locks the file for
// itself, they share one read transaction, begun at the first read; a statement that writes, a
// transaction begun or the group's end ends it first, so the write lock is taken exactly when it
// would have been without the group. PostgreSQL's statements are left as they are. Groups nest;
// a connection that is not an open one of this library is left alone.
class Database;
class ReadGroup {
 public:
  explicit ReadGroup(_Connection* connection);
  ~ReadGroup();
  ReadGroup(const ReadGroup&) = delete;
  ReadGroup& operator=(const ReadGroup&) = delete;

 private:
  std::weak_ptr<Database> db_;  // the database the group was opened on (a reopened connection has another)
};
// Every program that includes this header uses the library, so its classes are registered
// before main (and the library is never dropped by the linker).
inline const bool kAdoClassesRegistered = (RegisterAdoClasses(), true);

// An undo log of a write on a client-side recordset (and its clones). Batches written inside a
// transaction that is then rolled back leave their rows marked written; undoing the log makes
// them pending again and puts back the values edited while it recorded, so that a corrected
// second attempt writes everything. BeginRowsUndo starts recording (a log begun before on the
// same rows stops), EndRowsUndo stops it (the log can still be undone), UndoRows replays it once.
// All raise _com_error (E_POINTER, a closed recordset, a log of another recordset's rows).
IUnknownPtr BeginRowsUndo(_Recordset* recordset);
void EndRowsUndo(IUnknown* log);
void UndoRows(_Recordset* recordset, IUnknown* log);
}  // namespace platform::ado

#include "platform/ado/ado_wrappers.h"
