#include "shared/hxinstance.h"

IFlgInstancePtr CHxInstance::m_spInstance;

void CHxInstance::SetInstance(IFlgInstancePtr instance) {
  if (instance.GetInterfacePtr() != m_spInstance.GetInterfacePtr()) m_spInstance = instance;
}

IFlgInstancePtr CHxInstance::GetInstance() { return m_spInstance; }

IFlgSkinPtr CHxInstance::GetSkin() {
  IFlgInstancePtr instance = m_spInstance;
  IFlgSkinPtr skin;
  if (instance) skin = instance;
  return skin;
}

IFlgDataFactoryPtr CHxInstance::GetDataFactory() {
  IFlgInstancePtr instance = m_spInstance;
  if (!instance) return nullptr;
  IFlgDataFactory* factory = nullptr;
  HRESULT hr = instance->QueryInterface(__uuidof(IFlgDataFactory), reinterpret_cast<void**>(&factory));
  if (hr == E_NOINTERFACE) return nullptr;
  if (FAILED(hr)) _com_issue_error(hr);
  return IFlgDataFactoryPtr(factory, false);
}

_ConnectionPtr CHxInstance::GetConnection() {
  IFlgDataFactoryPtr factory = GetDataFactory();
  if (!factory) return nullptr;
  IDispatch* raw = nullptr;
  factory->GetDbConnection(&raw);  // its result code is not checked: the pointer decides
  IDispatchPtr dispatch(raw, false);
  if (!dispatch) return nullptr;
  _Connection* connection = nullptr;
  HRESULT hr = dispatch->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(&connection));
  if (hr == E_NOINTERFACE) return nullptr;
  if (FAILED(hr)) _com_issue_error(hr);
  return _ConnectionPtr(connection, false);
}

_RecordsetPtr CHxInstance::HxParams() {
  IFlgInstancePtr instance = m_spInstance;
  if (!instance) _com_issue_error(E_POINTER);
  IUnknown* raw = nullptr;
  instance->GetObjectByNumber(5000, &raw);  // its result code is not checked: the object decides
  IUnknownPtr object(raw, false);
  if (!object) return nullptr;
  _Recordset* rs = nullptr;
  HRESULT hr = object->QueryInterface(__uuidof(_Recordset), reinterpret_cast<void**>(&rs));
  if (FAILED(hr)) _com_issue_error(hr);
  return _RecordsetPtr(rs, false);
}

LONG CHxInstance::UserId() {
  try {
    IFlgInstancePtr instance = m_spInstance;
    if (!instance) return 0;
    IHxUserPtr user(instance);  // raises when the interface is missing
    LONG id = 0;
    HRESULT hr = user->GetUserId(&id);
    if (FAILED(hr)) return 0;
    return id;
  } catch (const _com_error&) {
    return 0;
  }
}

_bstr_t CHxInstance::GetBaseCurrency() {
  try {
    _RecordsetPtr params = HxParams();
    if (!params) return _bstr_t(L"PLN");
    _variant_t value = params->GetFields()->GetItem(_variant_t(L"pd_BaseCurrency"))->GetValue();
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) return _bstr_t(L"PLN");
    return _bstr_t(value);
  } catch (const _com_error&) {
    return _bstr_t(L"PLN");
  }
}

_variant_t hxGetParam(LONG number, const wchar_t* column) {
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  if (!instance) _com_issue_error(E_POINTER);
  IUnknown* raw = nullptr;
  HRESULT hr = instance->GetObjectByNumber(number, &raw);
  IUnknownPtr object(raw, false);
  if (FAILED(hr)) _com_issue_error(hr);
  if (!object) _com_issue_error(E_POINTER);
  _RecordsetPtr rs(object);
  return rs->GetFields()->GetItem(_variant_t(column))->GetValue();
}

LONG hxGetParamLong(LONG number, const wchar_t* column) {
  _variant_t value = hxGetParam(number, column);
  if (value.vt == VT_I4) return value.lVal;
  return kNoLongValue;
}
