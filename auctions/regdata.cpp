// The account's extension interfaces: LotrixRegistration (the account's fields, its password
// through the access-key converter, its site list, check and save, the account's pages asked from
// its site connector) and LotrixRegCustData (typed values under names, in reg_Data).
#include <map>
#include <mutex>

#include "auctions/dberror.h"
#include "auctions/registration.h"
#include "shared/hxcheck.h"
#include "shared/sqltools.h"

namespace {

bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

FieldPtr FieldOf(const _RecordsetPtr& rs, const wchar_t* name) { return rs->GetFields()->GetItem(_variant_t(name)); }

// The value columns of a custom value, in the order a value is looked for.
const wchar_t* const kValueColumns[] = {L"rd_vvarchar", L"rd_vint", L"rd_vmoney", L"rd_vdatetime", L"rd_vbinary",
                                        L"rd_vbigint"};

// The column that holds values of a type; null for a type that cannot be stored.
const wchar_t* ValueColumn(VARTYPE vt) {
  switch (vt) {
    case VT_I4: return L"rd_vint";
    case VT_CY: return L"rd_vmoney";
    case VT_DATE: return L"rd_vdatetime";
    case VT_BSTR: return L"rd_vvarchar";
    case VT_I8: return L"rd_vbigint";
    default: return nullptr;
  }
}

// The ErrorList handles: each account gets one on request, never reused while the process lives.
std::mutex g_listsMutex;
std::map<LONG, const CObjErrorInfoArray*> g_lists;
LONG g_lastHandle = 0;

}  // namespace

// Resolves an account's ErrorList handle (for in-process callers of LotrixRegistration).
extern "C" const CObjErrorInfoArray* LotrixErrorList(LONG handle) { return CCoRegistration::ErrorListOf(handle); }

const CObjErrorInfoArray* CCoRegistration::ErrorListOf(LONG handle) {
  std::lock_guard<std::mutex> lock(g_listsMutex);
  auto it = g_lists.find(handle);
  return it == g_lists.end() ? nullptr : it->second;
}

void CCoRegistration::ForgetErrorList() {
  if (!m_errorListHandle) return;
  std::lock_guard<std::mutex> lock(g_listsMutex);
  g_lists.erase(m_errorListHandle);
  m_errorListHandle = 0;
}

// ---------------------------------------------------------------------------------------------
// LotrixRegistration: the account's fields

STDMETHODIMP CCoRegistration::GetUsername(BSTR* value) { return GetMainText(L"reg_Username", value, E_POINTER); }
STDMETHODIMP CCoRegistration::GetDescription(BSTR* value) { return GetMainText(L"reg_Description", value, E_POINTER); }
STDMETHODIMP CCoRegistration::GetVersion(BSTR* value) { return GetMainText(L"reg_Version", value, E_POINTER); }
STDMETHODIMP CCoRegistration::GetName(BSTR* value) { return GetMainText(L"reg_Name", value, E_POINTER); }
STDMETHODIMP CCoRegistration::GetFullName(BSTR* value) { return GetMainText(L"reg_FullName", value, E_POINTER); }

STDMETHODIMP CCoRegistration::PutUsername(BSTR value) {
  return value ? SetMainText(L"reg_Username", value) : E_INVALIDARG;
}
STDMETHODIMP CCoRegistration::PutDescription(BSTR value) {
  return value ? SetMainText(L"reg_Description", value) : E_INVALIDARG;
}
STDMETHODIMP CCoRegistration::PutVersion(BSTR value) { return value ? SetMainText(L"reg_Version", value) : E_INVALIDARG; }
STDMETHODIMP CCoRegistration::PutName(BSTR value) { return value ? SetMainText(L"reg_Name", value) : E_INVALIDARG; }
STDMETHODIMP CCoRegistration::PutFullName(BSTR value) {
  return value ? SetMainText(L"reg_FullName", value) : E_INVALIDARG;
}

STDMETHODIMP CCoRegistration::GetActive(BOOL* value) { return GetBoolOf(L"reg_Active", value, E_POINTER); }
STDMETHODIMP CCoRegistration::PutActive(BOOL value) { return PutBoolOf(L"reg_Active", value); }
STDMETHODIMP CCoRegistration::GetHasShop(BOOL* value) { return GetBoolOf(L"reg_HasShop", value, E_POINTER); }
STDMETHODIMP CCoRegistration::PutHasShop(BOOL value) { return PutBoolOf(L"reg_HasShop", value); }

STDMETHODIMP CCoRegistration::GetSvcProvId(LONG* value) { return GetMainLong(L"reg_SvcProvId", value, E_POINTER); }
STDMETHODIMP CCoRegistration::GetEmailId(LONG* value) { return GetMainLong(L"reg_EmailId", value, E_POINTER); }
STDMETHODIMP CCoRegistration::PutEmailId(LONG value) { return SetMainLong(L"reg_EmailId", value); }

STDMETHODIMP CCoRegistration::GetAccesskey(BSTR* value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return E_POINTER;
    *value = nullptr;
    const _bstr_t stored = MainText(L"reg_Accesskey");
    BSTR typed = nullptr;
    IAccessKeyConverterPtr converter = Converter();
    const HRESULT hr = converter->ToTyped(stored.length() ? static_cast<BSTR>(stored) : nullptr, &typed);
    _bstr_t owned(typed, false);
    if (FAILED(hr)) _com_issue_errorex(hr, converter, __uuidof(IAccessKeyConverter));
    *value = owned.Detach();
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::PutAccesskey(BSTR value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return E_INVALIDARG;
    BSTR stored = nullptr;
    IAccessKeyConverterPtr converter = Converter();
    const HRESULT hr = converter->ToStored(value, &stored);
    _bstr_t owned(stored, false);
    if (FAILED(hr)) _com_issue_errorex(hr, converter, __uuidof(IAccessKeyConverter));
    PutMainText(L"reg_Accesskey", owned.length() ? static_cast<BSTR>(owned) : nullptr);
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::GetServiceName(BSTR* value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return E_POINTER;
    *value = nullptr;
    _variant_t name;
    if (!ProviderColumn(L"ss_Name", name)) return E_FAIL;
    *value = IsNull(name) ? SysAllocString(L"") : _bstr_t(name).Detach();
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::GetSvcUserId(LONGLONG* value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return E_POINTER;
    *value = 0;
    const _variant_t stored = MainField(L"reg_SvcUserId")->GetValue();
    if (stored.vt == VT_DECIMAL) {
      *value = static_cast<LONGLONG>(stored.decVal.Lo64);
    } else if (stored.vt == VT_I8) {
      *value = stored.llVal;
    } else if (!IsNull(stored)) {
      _variant_t converted;
      if (SUCCEEDED(VariantChangeType(&converted, &stored, 0, VT_I8))) *value = converted.llVal;
    }
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::PutSvcUserId(LONGLONG value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (value == 0) return E_INVALIDARG;
    MainField(L"reg_SvcUserId")->PutValue(_variant_t(value));
    return S_OK;
  });
}

// ---------------------------------------------------------------------------------------------
// LotrixRegistration: custom values, sites, check and save

STDMETHODIMP CCoRegistration::GetCustData(LotrixRegCustData** data) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!data) return E_POINTER;
    *data = nullptr;
    DataSet(1);
    *data = static_cast<LotrixRegCustData*>(this);
    (*data)->AddRef();
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::GetSubData(IUnknown** sites) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!sites) return E_POINTER;
  *sites = nullptr;
  try {
    if (!m_sites) BuildSiteList();
  } catch (const _com_error&) {
    // The list could not be built: no list, with the reason as error information.
    Failed(nullptr);
    return E_POINTER;
  }
  return m_sites->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(sites));
}

STDMETHODIMP CCoRegistration::GetValid(VARIANT_BOOL* valid) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!valid) return E_POINTER;
  // The list holds the errors of this check only.
  CComFlgObject::GetErrorList()->RemoveAll();
  *valid = FAILED(CComFlgObject::Check()) ? VARIANT_FALSE : VARIANT_TRUE;
  return S_OK;
}

HRESULT CCoRegistration::SaveAccount() {
  AFX_MANAGE_STATE(m_pModuleState);
  const HRESULT hr = CComFlgObject::Save();
  if (SUCCEEDED(hr)) return hr;
  // The failing save's text, as this interface's error.
  const std::optional<CString> text = hx::TakeErrorDescription();
  if (text && !text->IsEmpty()) return ReportErrorText(CLSID_CoRegistration, __uuidof(LotrixRegistration), hr, *text);
  return ReportErrorFormatted(CLSID_CoRegistration, __uuidof(LotrixRegistration), hr);
}

STDMETHODIMP CCoRegistration::GetErrorList(LONG* list) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!list) return E_POINTER;
  if (!m_errorListHandle) {
    std::lock_guard<std::mutex> lock(g_listsMutex);
    do {
      g_lastHandle = g_lastHandle == 0x7FFFFFFF ? 1 : g_lastHandle + 1;
    } while (g_lists.count(g_lastHandle));
    m_errorListHandle = g_lastHandle;
    g_lists[m_errorListHandle] = CComFlgObject::GetErrorList();
  }
  *list = m_errorListHandle;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// LotrixRegistration: the account's texts at the service, asked from its connector

HRESULT CCoRegistration::AskConnector(AccountText which, BSTR* text) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!text) return E_POINTER;
    *text = nullptr;
    GUID clsid = GUID_NULL;
    HRESULT hr = GetConnectorClsid(&clsid);
    if (FAILED(hr)) _com_issue_errorex(hr, static_cast<IRegistration*>(this), __uuidof(IRegistration));
    IAuctionSiteAccountPtr connector(FlgCreateRunning(clsid));
    if (!connector) return E_POINTER;
    LONGLONG userId = 0;
    LONG provider = 0;
    hr = GetSvcUserId(&userId);
    if (SUCCEEDED(hr)) hr = GetSvcProvId(&provider);
    if (FAILED(hr)) _com_issue_errorex(hr, static_cast<LotrixRegistration*>(this), __uuidof(LotrixRegistration));
    const _variant_t user(userId);
    switch (which) {
      case AccountText::ConnectorValue:
        hr = connector->GetConnectorValue(user, provider, text);
        if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteAccount));
        return hr;
      case AccountText::AuctionsUrl:
        return connector->GetMyAuctionsUrl(user, provider, text);
      default:
        return connector->GetMyPageUrl(user, provider, text);
    }
  });
}

STDMETHODIMP CCoRegistration::GetConnectorValue(BSTR* value) { return AskConnector(AccountText::ConnectorValue, value); }
STDMETHODIMP CCoRegistration::GetMyAuctionsUrl(BSTR* url) { return AskConnector(AccountText::AuctionsUrl, url); }
STDMETHODIMP CCoRegistration::GetMyPageUrl(BSTR* url) { return AskConnector(AccountText::PageUrl, url); }

// ---------------------------------------------------------------------------------------------
// LotrixRegCustData

STDMETHODIMP CCoRegistration::GetCount(LONG* count) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!count) return E_POINTER;
    _RecordsetPtr values = DataSet(1);
    CFlgFilterScope keep(values);
    values->PutFilter(_variant_t(L""));
    *count = values->GetRecordCount();
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::GetValue(VARIANT name, VARIANT* value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return E_POINTER;
    CString criterion;
    // A name's quotes are doubled, as the filter's own rule wants.
    if (name.vt == VT_BSTR) criterion.Format(L"rd_Name='%ls'", hxSqlQuote(name.bstrVal ? name.bstrVal : L"").GetString());
    else if (name.vt == VT_I4) criterion.Format(L"rd_Name=%ld", name.lVal);
    else return E_INVALIDARG;
    VariantClear(value);
    _RecordsetPtr values = DataSet(1);
    values->PutFilter(_variant_t(L""));
    CFlgFilterScope unfiltered(values);  // no filter afterwards, also after a failure
    values->PutFilter(_variant_t(criterion.GetString()));
    if (values->GetadoEOF()) return S_OK;
    for (const wchar_t* column : kValueColumns) {
      _variant_t stored = FieldOf(values, column)->GetValue();
      if (IsNull(stored)) continue;
      if (stored.vt == VT_DECIMAL) stored = _variant_t(static_cast<LONGLONG>(stored.decVal.Lo64));
      return VariantCopy(value, &stored);
    }
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::SetValue(VARIANT name, VARIANT value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (name.vt == VT_I4) return E_NOTIMPL;
    if (name.vt != VT_BSTR) return E_INVALIDARG;
    // A type that cannot be stored is refused before anything is added.
    const wchar_t* target = ValueColumn(value.vt);
    if (!target) return E_INVALIDARG;
    const wchar_t* text = name.bstrVal ? name.bstrVal : L"";
    CString criterion;
    criterion.Format(L"rd_name='%ls'", hxSqlQuote(text).GetString());
    _RecordsetPtr values = DataSet(1);
    values->PutFilter(_variant_t(L""));
    CFlgFilterScope unfiltered(values);  // no filter afterwards, also after a failure
    values->PutFilter(_variant_t(criterion.GetString()));
    if (values->GetadoEOF()) {
      hx::Check(AddSubRow(1));
      FieldOf(values, L"rd_name")->PutValue(_variant_t(text));
    }
    // One value per name: the other value columns are emptied, so the new value is the one read.
    _variant_t null;
    null.vt = VT_NULL;
    for (const wchar_t* column : kValueColumns)
      FieldOf(values, column)->PutValue(wcscmp(column, target) == 0 ? _variant_t(value) : null);
    return S_OK;
  });
}
