// The framework's recordset opener and small SQL helpers.
#include "framework/zephra.h"

namespace {
// The framework reaches the product database only through ADO's classes: make sure they are
// registered as soon as the framework is loaded.
const bool g_adoClasses = (platform::ado::RegisterAdoClasses(), true);
}  // namespace

HRESULT OpenRS(_RecordsetPtr& rs, IDispatch* connection, const wchar_t* sql, LONG cursorType, LONG lockType,
               LONG options) {
  rs = nullptr;
  if (!connection || !sql) return E_INVALIDARG;
  try {
    _RecordsetPtr opened;
    HRESULT hr = opened.CreateInstance(__uuidof(Recordset));
    if (FAILED(hr)) return hr;
    opened->PutCursorLocation(adUseClient);
    opened->Open(_variant_t(sql), _variant_t(connection), static_cast<CursorTypeEnum>(cursorType),
                 static_cast<LockTypeEnum>(lockType), options);
    rs = opened;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT exeExistSql(IDispatch* connection, const wchar_t* sql) {
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, connection, sql, adOpenForwardOnly, adLockReadOnly, adCmdText);
  if (FAILED(hr)) return hr;
  try {
    const bool exists = !rs->GetadoEOF();
    rs->Close();
    return exists ? 1 : 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

void utCmdPutRefActiveConnection(const _CommandPtr& command, IDispatch* connection) {
  if (!command) _com_issue_error(E_POINTER);
  _ConnectionPtr cn(connection);
  command->PutRefActiveConnection(cn);
}

HRESULT exeSql_GetLongValue(IDispatch* connection, const wchar_t* sql, _variant_t& value) {
  value.Clear();
  if (!connection || !sql) return E_INVALIDARG;
  try {
    _CommandPtr command;
    HRESULT hr = command.CreateInstance(__uuidof(Command));
    if (FAILED(hr)) return hr;
    utCmdPutRefActiveConnection(command, connection);
    command->PutCommandText(_bstr_t(sql));
    command->PutCommandType(adCmdText);
    _ParameterPtr out = command->CreateParameter(_bstr_t(L"PARAM0"), adInteger, adParamOutput, 4, vtMissing);
    command->GetParameters()->Append(out);
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
    value = out->GetValue();
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

ZphProcessState* ZphGetProcessState() {
  static ZphProcessState state;
  return &state;
}

IFlgInstancePtr GetGlobalFlgInstance() {
  IGlobalInterfaceTablePtr table;
  if (FAILED(table.CreateInstance(CLSID_StdGlobalInterfaceTable)) || !table) _com_issue_error(E_POINTER);
  IFlgInstance* instance = nullptr;
  const DWORD cookie = ZphGetProcessState()->m_dwFlgInstanceCookie;
  if (cookie == 0 ||
      FAILED(table->GetInterfaceFromGlobal(cookie, __uuidof(IFlgInstance), reinterpret_cast<void**>(&instance))))
    return nullptr;
  return IFlgInstancePtr(instance, false);
}
