#pragma once
// Wrapper methods of the object model's interfaces: each calls its raw method and raises
// _com_error with the error information on failure. Included by ado.h.

#define VX_CHECK(I, expr)                                              \
  do {                                                                 \
    HRESULT vx_hr_ = (expr);                                           \
    if (FAILED(vx_hr_)) _com_issue_errorex(vx_hr_, this, __uuidof(I)); \
  } while (0)
#define VX_RAISE(I, expr)                                        \
  HRESULT hr = (expr);                                           \
  if (FAILED(hr)) _com_issue_errorex(hr, this, __uuidof(I));     \
  return hr

inline _variant_t Property::GetValue() {
  _variant_t v;
  VX_CHECK(Property, get_Value(&v));
  return v;
}
inline void Property::PutValue(const _variant_t& v) { VX_CHECK(Property, put_Value(v)); }
inline _bstr_t Property::GetName() {
  BSTR b = nullptr;
  VX_CHECK(Property, get_Name(&b));
  return _bstr_t(b, false);
}
inline DataTypeEnum Property::GetType() {
  DataTypeEnum v{};
  VX_CHECK(Property, get_Type(&v));
  return v;
}
inline LONG Property::GetAttributes() {
  LONG v{};
  VX_CHECK(Property, get_Attributes(&v));
  return v;
}
inline void Property::PutAttributes(LONG v) { VX_CHECK(Property, put_Attributes(v)); }
inline LONG Properties::GetCount() {
  LONG v{};
  VX_CHECK(Properties, get_Count(&v));
  return v;
}
inline PropertyPtr Properties::GetItem(const _variant_t& Index) {
  struct Property* p = nullptr;
  VX_CHECK(Properties, get_Item(Index, &p));
  return PropertyPtr(p, false);
}
inline HRESULT Properties::Refresh() { VX_RAISE(Properties, raw_Refresh()); }
inline LONG Error::GetNumber() {
  LONG v{};
  VX_CHECK(Error, get_Number(&v));
  return v;
}
inline LONG Error::GetHelpContext() {
  LONG v{};
  VX_CHECK(Error, get_HelpContext(&v));
  return v;
}
inline LONG Error::GetNativeError() {
  LONG v{};
  VX_CHECK(Error, get_NativeError(&v));
  return v;
}
inline _bstr_t Error::GetSource() {
  BSTR b = nullptr;
  VX_CHECK(Error, get_Source(&b));
  return _bstr_t(b, false);
}
inline _bstr_t Error::GetDescription() {
  BSTR b = nullptr;
  VX_CHECK(Error, get_Description(&b));
  return _bstr_t(b, false);
}
inline _bstr_t Error::GetHelpFile() {
  BSTR b = nullptr;
  VX_CHECK(Error, get_HelpFile(&b));
  return _bstr_t(b, false);
}
inline _bstr_t Error::GetSQLState() {
  BSTR b = nullptr;
  VX_CHECK(Error, get_SQLState(&b));
  return _bstr_t(b, false);
}
inline LONG Errors::GetCount() {
  LONG v{};
  VX_CHECK(Errors, get_Count(&v));
  return v;
}
inline ErrorPtr Errors::GetItem(const _variant_t& Index) {
  struct Error* p = nullptr;
  VX_CHECK(Errors, get_Item(Index, &p));
  return ErrorPtr(p, false);
}
inline HRESULT Errors::Clear() { VX_RAISE(Errors, raw_Clear()); }
inline HRESULT Errors::Refresh() { VX_RAISE(Errors, raw_Refresh()); }
inline PropertiesPtr Field::GetProperties() {
  struct Properties* p = nullptr;
  VX_CHECK(Field, get_Properties(&p));
  return PropertiesPtr(p, false);
}
inline ADO_LONGPTR Field::GetActualSize() {
  ADO_LONGPTR v{};
  VX_CHECK(Field, get_ActualSize(&v));
  return v;
}
inline LONG Field::GetAttributes() {
  LONG v{};
  VX_CHECK(Field, get_Attributes(&v));
  return v;
}
inline void Field::PutAttributes(LONG v) { VX_CHECK(Field, put_Attributes(v)); }
inline ADO_LONGPTR Field::GetDefinedSize() {
  ADO_LONGPTR v{};
  VX_CHECK(Field, get_DefinedSize(&v));
  return v;
}
inline void Field::PutDefinedSize(ADO_LONGPTR v) { VX_CHECK(Field, put_DefinedSize(v)); }
inline _bstr_t Field::GetName() {
  BSTR b = nullptr;
  VX_CHECK(Field, get_Name(&b));
  return _bstr_t(b, false);
}
inline DataTypeEnum Field::GetType() {
  DataTypeEnum v{};
  VX_CHECK(Field, get_Type(&v));
  return v;
}
inline void Field::PutType(DataTypeEnum v) { VX_CHECK(Field, put_Type(v)); }
inline _variant_t Field::GetValue() {
  _variant_t v;
  VX_CHECK(Field, get_Value(&v));
  return v;
}
inline void Field::PutValue(const _variant_t& v) { VX_CHECK(Field, put_Value(v)); }
inline BYTE Field::GetPrecision() {
  BYTE v{};
  VX_CHECK(Field, get_Precision(&v));
  return v;
}
inline BYTE Field::GetNumericScale() {
  BYTE v{};
  VX_CHECK(Field, get_NumericScale(&v));
  return v;
}
inline HRESULT Field::AppendChunk(const _variant_t& Data) { VX_RAISE(Field, raw_AppendChunk(Data)); }
inline _variant_t Field::GetChunk(LONG Length) {
  _variant_t v;
  VX_CHECK(Field, raw_GetChunk(Length, &v));
  return v;
}
inline _variant_t Field::GetOriginalValue() {
  _variant_t v;
  VX_CHECK(Field, get_OriginalValue(&v));
  return v;
}
inline _variant_t Field::GetUnderlyingValue() {
  _variant_t v;
  VX_CHECK(Field, get_UnderlyingValue(&v));
  return v;
}
inline LONG Field::GetStatus() {
  LONG v{};
  VX_CHECK(Field, get_Status(&v));
  return v;
}
inline LONG Fields::GetCount() {
  LONG v{};
  VX_CHECK(Fields, get_Count(&v));
  return v;
}
inline FieldPtr Fields::GetItem(const _variant_t& Index) {
  struct Field* p = nullptr;
  VX_CHECK(Fields, get_Item(Index, &p));
  return FieldPtr(p, false);
}
inline HRESULT Fields::Refresh() { VX_RAISE(Fields, raw_Refresh()); }
inline HRESULT Fields::Append(_bstr_t Name, DataTypeEnum Type, ADO_LONGPTR DefinedSize, FieldAttributeEnum Attrib, const _variant_t& FieldValue) { VX_RAISE(Fields, raw_Append(Name, Type, DefinedSize, Attrib, FieldValue)); }
inline HRESULT Fields::Delete(const _variant_t& Index) { VX_RAISE(Fields, raw_Delete(Index)); }
inline PropertiesPtr _Parameter::GetProperties() {
  struct Properties* p = nullptr;
  VX_CHECK(_Parameter, get_Properties(&p));
  return PropertiesPtr(p, false);
}
inline _bstr_t _Parameter::GetName() {
  BSTR b = nullptr;
  VX_CHECK(_Parameter, get_Name(&b));
  return _bstr_t(b, false);
}
inline void _Parameter::PutName(_bstr_t v) { VX_CHECK(_Parameter, put_Name(v)); }
inline _variant_t _Parameter::GetValue() {
  _variant_t v;
  VX_CHECK(_Parameter, get_Value(&v));
  return v;
}
inline void _Parameter::PutValue(const _variant_t& v) { VX_CHECK(_Parameter, put_Value(v)); }
inline DataTypeEnum _Parameter::GetType() {
  DataTypeEnum v{};
  VX_CHECK(_Parameter, get_Type(&v));
  return v;
}
inline void _Parameter::PutType(DataTypeEnum v) { VX_CHECK(_Parameter, put_Type(v)); }
inline ParameterDirectionEnum _Parameter::GetDirection() {
  ParameterDirectionEnum v{};
  VX_CHECK(_Parameter, get_Direction(&v));
  return v;
}
inline void _Parameter::PutDirection(ParameterDirectionEnum v) { VX_CHECK(_Parameter, put_Direction(v)); }
inline BYTE _Parameter::GetPrecision() {
  BYTE v{};
  VX_CHECK(_Parameter, get_Precision(&v));
  return v;
}
inline void _Parameter::PutPrecision(BYTE v) { VX_CHECK(_Parameter, put_Precision(v)); }
inline BYTE _Parameter::GetNumericScale() {
  BYTE v{};
  VX_CHECK(_Parameter, get_NumericScale(&v));
  return v;
}
inline void _Parameter::PutNumericScale(BYTE v) { VX_CHECK(_Parameter, put_NumericScale(v)); }
inline ADO_LONGPTR _Parameter::GetSize() {
  ADO_LONGPTR v{};
  VX_CHECK(_Parameter, get_Size(&v));
  return v;
}
inline void _Parameter::PutSize(ADO_LONGPTR v) { VX_CHECK(_Parameter, put_Size(v)); }
inline LONG _Parameter::GetAttributes() {
  LONG v{};
  VX_CHECK(_Parameter, get_Attributes(&v));
  return v;
}
inline void _Parameter::PutAttributes(LONG v) { VX_CHECK(_Parameter, put_Attributes(v)); }
inline HRESULT _Parameter::AppendChunk(const _variant_t& Val) { VX_RAISE(_Parameter, raw_AppendChunk(Val)); }
inline LONG Parameters::GetCount() {
  LONG v{};
  VX_CHECK(Parameters, get_Count(&v));
  return v;
}
inline _ParameterPtr Parameters::GetItem(const _variant_t& Index) {
  struct _Parameter* p = nullptr;
  VX_CHECK(Parameters, get_Item(Index, &p));
  return _ParameterPtr(p, false);
}
inline HRESULT Parameters::Refresh() { VX_RAISE(Parameters, raw_Refresh()); }
inline HRESULT Parameters::Append(IDispatch* Object) { VX_RAISE(Parameters, raw_Append(Object)); }
inline HRESULT Parameters::Delete(const _variant_t& Index) { VX_RAISE(Parameters, raw_Delete(Index)); }
inline PropertiesPtr _Connection::GetProperties() {
  struct Properties* p = nullptr;
  VX_CHECK(_Connection, get_Properties(&p));
  return PropertiesPtr(p, false);
}
inline _bstr_t _Connection::GetConnectionString() {
  BSTR b = nullptr;
  VX_CHECK(_Connection, get_ConnectionString(&b));
  return _bstr_t(b, false);
}
inline void _Connection::PutConnectionString(_bstr_t v) { VX_CHECK(_Connection, put_ConnectionString(v)); }
inline LONG _Connection::GetCommandTimeout() {
  LONG v{};
  VX_CHECK(_Connection, get_CommandTimeout(&v));
  return v;
}
inline void _Connection::PutCommandTimeout(LONG v) { VX_CHECK(_Connection, put_CommandTimeout(v)); }
inline LONG _Connection::GetConnectionTimeout() {
  LONG v{};
  VX_CHECK(_Connection, get_ConnectionTimeout(&v));
  return v;
}
inline void _Connection::PutConnectionTimeout(LONG v) { VX_CHECK(_Connection, put_ConnectionTimeout(v)); }
inline _bstr_t _Connection::GetVersion() {
  BSTR b = nullptr;
  VX_CHECK(_Connection, get_Version(&b));
  return _bstr_t(b, false);
}
inline HRESULT _Connection::Close() { VX_RAISE(_Connection, raw_Close()); }
inline _RecordsetPtr _Connection::Execute(_bstr_t CommandText, VARIANT* RecordsAffected, LONG Options) {
  struct _Recordset* p = nullptr;
  VX_CHECK(_Connection, raw_Execute(CommandText, RecordsAffected, Options, &p));
  return _RecordsetPtr(p, false);
}
inline LONG _Connection::BeginTrans() {
  LONG level = 0;
  VX_CHECK(_Connection, raw_BeginTrans(&level));
  return level;
}
inline HRESULT _Connection::CommitTrans() { VX_RAISE(_Connection, raw_CommitTrans()); }
inline HRESULT _Connection::RollbackTrans() { VX_RAISE(_Connection, raw_RollbackTrans()); }
inline HRESULT _Connection::Open(_bstr_t ConnectionString, _bstr_t UserID, _bstr_t Password, LONG Options) { VX_RAISE(_Connection, raw_Open(ConnectionString, UserID, Password, Options)); }
inline ErrorsPtr _Connection::GetErrors() {
  struct Errors* p = nullptr;
  VX_CHECK(_Connection, get_Errors(&p));
  return ErrorsPtr(p, false);
}
inline _bstr_t _Connection::GetDefaultDatabase() {
  BSTR b = nullptr;
  VX_CHECK(_Connection, get_DefaultDatabase(&b));
  return _bstr_t(b, false);
}
inline void _Connection::PutDefaultDatabase(_bstr_t v) { VX_CHECK(_Connection, put_DefaultDatabase(v)); }
inline CursorLocationEnum _Connection::GetCursorLocation() {
  CursorLocationEnum v{};
  VX_CHECK(_Connection, get_CursorLocation(&v));
  return v;
}
inline void _Connection::PutCursorLocation(CursorLocationEnum v) { VX_CHECK(_Connection, put_CursorLocation(v)); }
inline LONG _Connection::GetState() {
  LONG v{};
  VX_CHECK(_Connection, get_State(&v));
  return v;
}
inline _bstr_t _Connection::GetProvider() {
  BSTR b = nullptr;
  VX_CHECK(_Connection, get_Provider(&b));
  return _bstr_t(b, false);
}
inline void _Connection::PutProvider(_bstr_t v) { VX_CHECK(_Connection, put_Provider(v)); }
inline HRESULT _Connection::Cancel() { VX_RAISE(_Connection, raw_Cancel()); }
inline PropertiesPtr _Command::GetProperties() {
  struct Properties* p = nullptr;
  VX_CHECK(_Command, get_Properties(&p));
  return PropertiesPtr(p, false);
}
inline _ConnectionPtr _Command::GetActiveConnection() {
  struct _Connection* p = nullptr;
  VX_CHECK(_Command, get_ActiveConnection(&p));
  return _ConnectionPtr(p, false);
}
inline void _Command::PutRefActiveConnection(struct _Connection* conn) { VX_CHECK(_Command, putref_ActiveConnection(conn)); }
inline void _Command::PutActiveConnection(const _variant_t& conn) { VX_CHECK(_Command, put_ActiveConnection(conn)); }
inline _bstr_t _Command::GetCommandText() {
  BSTR b = nullptr;
  VX_CHECK(_Command, get_CommandText(&b));
  return _bstr_t(b, false);
}
inline void _Command::PutCommandText(_bstr_t v) { VX_CHECK(_Command, put_CommandText(v)); }
inline LONG _Command::GetCommandTimeout() {
  LONG v{};
  VX_CHECK(_Command, get_CommandTimeout(&v));
  return v;
}
inline void _Command::PutCommandTimeout(LONG v) { VX_CHECK(_Command, put_CommandTimeout(v)); }
inline VARIANT_BOOL _Command::GetPrepared() {
  VARIANT_BOOL v{};
  VX_CHECK(_Command, get_Prepared(&v));
  return v;
}
inline void _Command::PutPrepared(VARIANT_BOOL v) { VX_CHECK(_Command, put_Prepared(v)); }
inline _RecordsetPtr _Command::Execute(VARIANT* RecordsAffected, VARIANT* Parameters, LONG Options) {
  struct _Recordset* p = nullptr;
  VX_CHECK(_Command, raw_Execute(RecordsAffected, Parameters, Options, &p));
  return _RecordsetPtr(p, false);
}
inline _ParameterPtr _Command::CreateParameter(_bstr_t Name, DataTypeEnum Type, ParameterDirectionEnum Direction,
                                               ADO_LONGPTR Size, const _variant_t& Value) {
  struct _Parameter* p = nullptr;
  VX_CHECK(_Command, raw_CreateParameter(Name, Type, Direction, Size, Value, &p));
  return _ParameterPtr(p, false);
}
inline ParametersPtr _Command::GetParameters() {
  struct Parameters* p = nullptr;
  VX_CHECK(_Command, get_Parameters(&p));
  return ParametersPtr(p, false);
}
inline CommandTypeEnum _Command::GetCommandType() {
  CommandTypeEnum v{};
  VX_CHECK(_Command, get_CommandType(&v));
  return v;
}
inline void _Command::PutCommandType(CommandTypeEnum v) { VX_CHECK(_Command, put_CommandType(v)); }
inline _bstr_t _Command::GetName() {
  BSTR b = nullptr;
  VX_CHECK(_Command, get_Name(&b));
  return _bstr_t(b, false);
}
inline void _Command::PutName(_bstr_t v) { VX_CHECK(_Command, put_Name(v)); }
inline LONG _Command::GetState() {
  LONG v{};
  VX_CHECK(_Command, get_State(&v));
  return v;
}
inline HRESULT _Command::Cancel() { VX_RAISE(_Command, raw_Cancel()); }
inline PropertiesPtr _Recordset::GetProperties() {
  struct Properties* p = nullptr;
  VX_CHECK(_Recordset, get_Properties(&p));
  return PropertiesPtr(p, false);
}
inline LONG _Recordset::GetAbsolutePosition() {
  LONG v{};
  VX_CHECK(_Recordset, get_AbsolutePosition(&v));
  return v;
}
inline void _Recordset::PutAbsolutePosition(LONG v) { VX_CHECK(_Recordset, put_AbsolutePosition(v)); }
inline void _Recordset::PutRefActiveConnection(IDispatch* conn) { VX_CHECK(_Recordset, putref_ActiveConnection(conn)); }
inline _variant_t _Recordset::GetActiveConnection() {
  _variant_t v;
  VX_CHECK(_Recordset, get_ActiveConnection(&v));
  return v;
}
inline void _Recordset::PutActiveConnection(const _variant_t& v) { VX_CHECK(_Recordset, put_ActiveConnection(v)); }
inline VARIANT_BOOL _Recordset::GetBOF() {
  VARIANT_BOOL v{};
  VX_CHECK(_Recordset, get_BOF(&v));
  return v;
}
inline _variant_t _Recordset::GetBookmark() {
  _variant_t v;
  VX_CHECK(_Recordset, get_Bookmark(&v));
  return v;
}
inline void _Recordset::PutBookmark(const _variant_t& v) { VX_CHECK(_Recordset, put_Bookmark(v)); }
inline LONG _Recordset::GetCacheSize() {
  LONG v{};
  VX_CHECK(_Recordset, get_CacheSize(&v));
  return v;
}
inline void _Recordset::PutCacheSize(LONG v) { VX_CHECK(_Recordset, put_CacheSize(v)); }
inline CursorTypeEnum _Recordset::GetCursorType() {
  CursorTypeEnum v{};
  VX_CHECK(_Recordset, get_CursorType(&v));
  return v;
}
inline void _Recordset::PutCursorType(CursorTypeEnum v) { VX_CHECK(_Recordset, put_CursorType(v)); }
inline VARIANT_BOOL _Recordset::GetadoEOF() {
  VARIANT_BOOL v{};
  VX_CHECK(_Recordset, get_adoEOF(&v));
  return v;
}
inline FieldsPtr _Recordset::GetFields() {
  struct Fields* p = nullptr;
  VX_CHECK(_Recordset, get_Fields(&p));
  return FieldsPtr(p, false);
}
inline LockTypeEnum _Recordset::GetLockType() {
  LockTypeEnum v{};
  VX_CHECK(_Recordset, get_LockType(&v));
  return v;
}
inline void _Recordset::PutLockType(LockTypeEnum v) { VX_CHECK(_Recordset, put_LockType(v)); }
inline ADO_LONGPTR _Recordset::GetMaxRecords() {
  ADO_LONGPTR v{};
  VX_CHECK(_Recordset, get_MaxRecords(&v));
  return v;
}
inline void _Recordset::PutMaxRecords(ADO_LONGPTR v) { VX_CHECK(_Recordset, put_MaxRecords(v)); }
inline ADO_LONGPTR _Recordset::GetRecordCount() {
  ADO_LONGPTR v{};
  VX_CHECK(_Recordset, get_RecordCount(&v));
  return v;
}
inline void _Recordset::PutRefSource(IDispatch* cmd) { VX_CHECK(_Recordset, putref_Source(cmd)); }
inline void _Recordset::PutSource(_bstr_t s) { VX_CHECK(_Recordset, put_Source(s)); }
inline _variant_t _Recordset::GetSource() {
  _variant_t v;
  VX_CHECK(_Recordset, get_Source(&v));
  return v;
}
inline HRESULT _Recordset::AddNew(const _variant_t& FieldList, const _variant_t& Values) { VX_RAISE(_Recordset, raw_AddNew(FieldList, Values)); }
inline HRESULT _Recordset::CancelUpdate() { VX_RAISE(_Recordset, raw_CancelUpdate()); }
inline HRESULT _Recordset::Close() { VX_RAISE(_Recordset, raw_Close()); }
inline HRESULT _Recordset::Delete(AffectEnum AffectRecords) { VX_RAISE(_Recordset, raw_Delete(AffectRecords)); }
inline _variant_t _Recordset::GetRows(LONG Rows, const _variant_t& Start, const _variant_t& Fields) {
  _variant_t v;
  VX_CHECK(_Recordset, raw_GetRows(Rows, Start, Fields, &v));
  return v;
}
inline HRESULT _Recordset::Move(ADO_LONGPTR NumRecords, const _variant_t& Start) { VX_RAISE(_Recordset, raw_Move(NumRecords, Start)); }
inline HRESULT _Recordset::MoveNext() { VX_RAISE(_Recordset, raw_MoveNext()); }
inline HRESULT _Recordset::MovePrevious() { VX_RAISE(_Recordset, raw_MovePrevious()); }
inline HRESULT _Recordset::MoveFirst() { VX_RAISE(_Recordset, raw_MoveFirst()); }
inline HRESULT _Recordset::MoveLast() { VX_RAISE(_Recordset, raw_MoveLast()); }
inline HRESULT _Recordset::Open(const _variant_t& Source, const _variant_t& ActiveConnection, CursorTypeEnum CursorType,
                               LockTypeEnum LockType, LONG Options) { VX_RAISE(_Recordset, raw_Open(Source, ActiveConnection, CursorType, LockType, Options)); }
inline HRESULT _Recordset::Requery(LONG Options) { VX_RAISE(_Recordset, raw_Requery(Options)); }
inline HRESULT _Recordset::Update(const _variant_t& Fields, const _variant_t& Values) { VX_RAISE(_Recordset, raw_Update(Fields, Values)); }
inline EditModeEnum _Recordset::GetEditMode() {
  EditModeEnum v{};
  VX_CHECK(_Recordset, get_EditMode(&v));
  return v;
}
inline LONG _Recordset::GetStatus() {
  LONG v{};
  VX_CHECK(_Recordset, get_Status(&v));
  return v;
}
inline _variant_t _Recordset::GetFilter() {
  _variant_t v;
  VX_CHECK(_Recordset, get_Filter(&v));
  return v;
}
inline void _Recordset::PutFilter(const _variant_t& v) { VX_CHECK(_Recordset, put_Filter(v)); }
inline LONG _Recordset::GetState() {
  LONG v{};
  VX_CHECK(_Recordset, get_State(&v));
  return v;
}
inline HRESULT _Recordset::UpdateBatch(AffectEnum AffectRecords) { VX_RAISE(_Recordset, raw_UpdateBatch(AffectRecords)); }
inline HRESULT _Recordset::CancelBatch(AffectEnum AffectRecords) { VX_RAISE(_Recordset, raw_CancelBatch(AffectRecords)); }
inline CursorLocationEnum _Recordset::GetCursorLocation() {
  CursorLocationEnum v{};
  VX_CHECK(_Recordset, get_CursorLocation(&v));
  return v;
}
inline void _Recordset::PutCursorLocation(CursorLocationEnum v) { VX_CHECK(_Recordset, put_CursorLocation(v)); }
inline _RecordsetPtr _Recordset::Clone(LockTypeEnum LockType) {
  struct _Recordset* p = nullptr;
  VX_CHECK(_Recordset, raw_Clone(LockType, &p));
  return _RecordsetPtr(p, false);
}
inline VARIANT_BOOL _Recordset::Supports(CursorOptionEnum CursorOptions) {
  VARIANT_BOOL b = VARIANT_FALSE;
  VX_CHECK(_Recordset, raw_Supports(CursorOptions, &b));
  return b;
}
inline _bstr_t _Recordset::GetSort() {
  BSTR b = nullptr;
  VX_CHECK(_Recordset, get_Sort(&b));
  return _bstr_t(b, false);
}
inline void _Recordset::PutSort(_bstr_t v) { VX_CHECK(_Recordset, put_Sort(v)); }
inline HRESULT _Recordset::Find(_bstr_t Criteria, ADO_LONGPTR SkipRecords, SearchDirectionEnum SearchDirection, const _variant_t& Start) { VX_RAISE(_Recordset, raw_Find(Criteria, SkipRecords, SearchDirection, Start)); }
inline MarshalOptionsEnum _Recordset::GetMarshalOptions() {
  MarshalOptionsEnum v{};
  VX_CHECK(_Recordset, get_MarshalOptions(&v));
  return v;
}
inline void _Recordset::PutMarshalOptions(MarshalOptionsEnum v) { VX_CHECK(_Recordset, put_MarshalOptions(v)); }
inline _variant_t _Recordset::GetCollect(const _variant_t& Index) { return GetFields()->GetItem(Index)->GetValue(); }
inline void _Recordset::PutCollect(const _variant_t& Index, const _variant_t& Value) {
  GetFields()->GetItem(Index)->PutValue(Value);
}
inline ADO_LONGPTR _Stream::GetSize() {
  ADO_LONGPTR v{};
  VX_CHECK(_Stream, get_Size(&v));
  return v;
}
inline VARIANT_BOOL _Stream::GetEOS() {
  VARIANT_BOOL v{};
  VX_CHECK(_Stream, get_EOS(&v));
  return v;
}
inline ADO_LONGPTR _Stream::GetPosition() {
  ADO_LONGPTR v{};
  VX_CHECK(_Stream, get_Position(&v));
  return v;
}
inline void _Stream::PutPosition(ADO_LONGPTR v) { VX_CHECK(_Stream, put_Position(v)); }
inline StreamTypeEnum _Stream::GetType() {
  StreamTypeEnum v{};
  VX_CHECK(_Stream, get_Type(&v));
  return v;
}
inline void _Stream::PutType(StreamTypeEnum v) { VX_CHECK(_Stream, put_Type(v)); }
inline LineSeparatorEnum _Stream::GetLineSeparator() {
  LineSeparatorEnum v{};
  VX_CHECK(_Stream, get_LineSeparator(&v));
  return v;
}
inline void _Stream::PutLineSeparator(LineSeparatorEnum v) { VX_CHECK(_Stream, put_LineSeparator(v)); }
inline ObjectStateEnum _Stream::GetState() {
  ObjectStateEnum v{};
  VX_CHECK(_Stream, get_State(&v));
  return v;
}
inline ConnectModeEnum _Stream::GetMode() {
  ConnectModeEnum v{};
  VX_CHECK(_Stream, get_Mode(&v));
  return v;
}
inline void _Stream::PutMode(ConnectModeEnum v) { VX_CHECK(_Stream, put_Mode(v)); }
inline _bstr_t _Stream::GetCharset() {
  BSTR b = nullptr;
  VX_CHECK(_Stream, get_Charset(&b));
  return _bstr_t(b, false);
}
inline void _Stream::PutCharset(_bstr_t v) { VX_CHECK(_Stream, put_Charset(v)); }
inline _variant_t _Stream::Read(LONG NumBytes) {
  _variant_t v;
  VX_CHECK(_Stream, raw_Read(NumBytes, &v));
  return v;
}
inline HRESULT _Stream::Open(const _variant_t& Source, ConnectModeEnum Mode, StreamOpenOptionsEnum Options, _bstr_t UserName,
                            _bstr_t Password) { VX_RAISE(_Stream, raw_Open(Source, Mode, Options, UserName, Password)); }
inline HRESULT _Stream::Close() { VX_RAISE(_Stream, raw_Close()); }
inline HRESULT _Stream::SkipLine() { VX_RAISE(_Stream, raw_SkipLine()); }
inline HRESULT _Stream::SetEOS() { VX_RAISE(_Stream, raw_SetEOS()); }
inline HRESULT _Stream::Flush() { VX_RAISE(_Stream, raw_Flush()); }
inline HRESULT _Stream::Cancel() { VX_RAISE(_Stream, raw_Cancel()); }
inline HRESULT _Stream::Write(const _variant_t& Buffer) { VX_RAISE(_Stream, raw_Write(Buffer)); }
inline HRESULT _Stream::CopyTo(struct _Stream* DestStream, ADO_LONGPTR CharNumber) { VX_RAISE(_Stream, raw_CopyTo(DestStream, CharNumber)); }
inline HRESULT _Stream::SaveToFile(_bstr_t FileName, SaveOptionsEnum Options) { VX_RAISE(_Stream, raw_SaveToFile(FileName, Options)); }
inline HRESULT _Stream::LoadFromFile(_bstr_t FileName) { VX_RAISE(_Stream, raw_LoadFromFile(FileName)); }
inline _bstr_t _Stream::ReadText(LONG NumChars) {
  BSTR b = nullptr;
  VX_CHECK(_Stream, raw_ReadText(NumChars, &b));
  return _bstr_t(b, false);
}
inline HRESULT _Stream::WriteText(_bstr_t Data, StreamWriteEnum Options) { VX_RAISE(_Stream, raw_WriteText(Data, Options)); }

#undef VX_CHECK
#undef VX_RAISE
