// The account object: its life, IRegistration, the data object's operations (defaults of a new
// account, validation, the connector's account dialog) and the account's site list. The extension
// interfaces LotrixRegistration and LotrixRegCustData are in regdata.cpp.
#include "auctions/registration.h"

#include <optional>

#include "auctions/dberror.h"
#include "auctions/regstatusesdlg.h"
#include "platform/gui/afxwin.h"
#include "shared/hxcheck.h"
#include "shared/resstrings.h"

namespace {

constexpr LONG kObjectType = 701;

const FlgDataSetDef kDefinitions[] = {
    {0, 0, 0, L"REG", L"reg__Registration", L"reg_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"RDATA", L"reg_Data", L"rd_Id", L"rd_RegId", L"*", L"", 1, 1},
    {2, 1, 0, L"RSITE", L"reg_Site", L"rs_Id", L"rs_RegId", L"*", L"", 1, 1},
};

// Validation errors: the field code and the message's string.
constexpr LONG kNoUsername = 5001;
constexpr UINT kNoUsernameText = 102;
constexpr LONG kNoAccesskey = 5002;
constexpr UINT kNoAccesskeyText = 103;
constexpr LONG kNoSite = 1006;
constexpr UINT kNoSiteText = 105;

// The dialog's results: accepted, cancelled.
constexpr INT_PTR kAccepted = 1;
constexpr INT_PTR kCancelled = 2;

bool Empty(const _RecordsetPtr& rs) { return rs->GetBOF() && rs->GetadoEOF(); }
bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }
LONG LongOf(const _variant_t& v) { return v.vt == VT_I4 ? v.lVal : static_cast<LONG>(v); }

FieldPtr FieldOf(const _RecordsetPtr& rs, const wchar_t* name) { return rs->GetFields()->GetItem(_variant_t(name)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Life

CCoRegistration::CCoRegistration() {
  SetDefinitions(kDefinitions, static_cast<LONG>(std::size(kDefinitions)));
  m_lObjectType = kObjectType;
  AddErrorInterface(__uuidof(IRegistration));
  AddErrorInterface(__uuidof(LotrixRegistration));
  AddErrorInterface(__uuidof(LotrixRegCustData));
  // A converter class that does not answer the interface is asked again on first use.
  m_converter = FlgCreateRunning(CLSID_AccessKeyConverter);
}

CCoRegistration::~CCoRegistration() {
  AFX_MANAGE_STATE(m_pModuleState);
  ForgetErrorList();
  m_info = _bstr_t();
  m_converter = nullptr;
  m_sites = nullptr;
  m_registrationId.Empty();
}

void* CCoRegistration::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IRegistration)) return static_cast<IRegistration*>(this);
  if (iid == __uuidof(LotrixRegistration) || iid == __uuidof(IDispatch)) return static_cast<LotrixRegistration*>(this);
  if (iid == __uuidof(LotrixRegCustData)) return static_cast<LotrixRegCustData*>(this);
  return CComFlgObject::FlgGetInterface(iid);
}

// ---------------------------------------------------------------------------------------------
// Boolean columns: read as a long (NULL is false), written as VT_I2 with the value's low 16 bits

BOOL CCoRegistration::Bool(const wchar_t* column) { return static_cast<BOOL>(MainLong(column)); }

void CCoRegistration::PutBool(const wchar_t* column, BOOL value) {
  MainField(column)->PutValue(_variant_t(static_cast<short>(value & 0xFFFF)));
}

HRESULT CCoRegistration::GetBoolOf(const wchar_t* column, BOOL* value, HRESULT nullOut) {
  static_assert(sizeof(BOOL) == sizeof(LONG));
  return GetMainLong(column, reinterpret_cast<LONG*>(value), nullOut);
}

HRESULT CCoRegistration::PutBoolOf(const wchar_t* column, BOOL value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    PutBool(column, value);
    return S_OK;
  });
}

// ---------------------------------------------------------------------------------------------
// IRegistration

bool CCoRegistration::ProviderColumn(const wchar_t* column, _variant_t& value) {
  CString sql;
  sql.Format(L"SELECT %ls FROM sl_ServiceProvider WHERE ss_Id=%ld", column, MainLong(L"reg_SvcProvId"));
  _RecordsetPtr rs;
  hx::Check(OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly, adCmdText));
  if (rs->GetadoEOF()) return false;
  value = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  return true;
}

STDMETHODIMP CCoRegistration::GetConnectorClsid(GUID* clsid) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!clsid) return E_INVALIDARG;
    _variant_t progId;
    if (!ProviderColumn(L"ss_ProgId", progId)) {
      CString text;
      text.Format(L"Nie ma serwisu aukcyjnego konta (dostawca %ld).", MainLong(L"reg_SvcProvId"));
      return ReportErrorText(CLSID_CoRegistration, __uuidof(IRegistration), E_FAIL, text);
    }
    return CLSIDFromProgID(IsNull(progId) ? _bstr_t(L"") : _bstr_t(progId), clsid);
  });
}

STDMETHODIMP CCoRegistration::InitNew(LONG svcProvId) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    PutMainLong(L"reg_SvcProvId", svcProvId);
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::GetDefaultCtx(LONG* regId, LONG* regSiteId) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!regId || !regSiteId) return E_POINTER;
    *regId = MainLong(L"reg_Id");
    _RecordsetPtr sites = DataSet(2);
    if (Empty(sites)) return E_FAIL;
    sites->MoveFirst();
    *regSiteId = LongOf(FieldOf(sites, L"rs_Id")->GetValue());
    return S_OK;
  });
}

STDMETHODIMP CCoRegistration::GetInfo(BSTR* info) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!info) return E_POINTER;
  *info = m_info.copy();
  return S_OK;
}

// The seller-zone settings dialog through the base's show operation, in the dialog mode. A null
// window goes on as none.
STDMETHODIMP CCoRegistration::StatusesOptionsEdit(IUnknown* window, IUnknown* instance) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    IUnknownPtr windowFace;
    if (window) {
      windowFace = IFlgWndPtr(window);
      if (!windowFace) windowFace = window;
    }
    IFlgInstancePtr instanceFace(instance);
    const BYTE previous = m_dialogMode;
    m_dialogMode = 1;
    HRESULT hr = S_OK;
    try {
      hr = Show(windowFace, instanceFace);
    } catch (...) {
      m_dialogMode = previous;
      throw;
    }
    m_dialogMode = previous;
    return hr;
  });
}

STDMETHODIMP CCoRegistration::GetST_StatusesServiceActive(BOOL* value) {
  return GetBoolOf(L"reg_ST_StatusesServiceActive", value, E_INVALIDARG);
}
STDMETHODIMP CCoRegistration::PutST_StatusesServiceActive(BOOL value) {
  return PutBoolOf(L"reg_ST_StatusesServiceActive", value);
}
STDMETHODIMP CCoRegistration::GetST_ShowDocumentAddressForm(BOOL* value) {
  return GetBoolOf(L"reg_ST_ShowDocumentAddressForm", value, E_INVALIDARG);
}
STDMETHODIMP CCoRegistration::PutST_ShowDocumentAddressForm(BOOL value) {
  return PutBoolOf(L"reg_ST_ShowDocumentAddressForm", value);
}
STDMETHODIMP CCoRegistration::GetST_ShowDeliveryAddressForm(BOOL* value) {
  return GetBoolOf(L"reg_ST_ShowDeliveryAddressForm", value, E_INVALIDARG);
}
STDMETHODIMP CCoRegistration::PutST_ShowDeliveryAddressForm(BOOL value) {
  return PutBoolOf(L"reg_ST_ShowDeliveryAddressForm", value);
}
STDMETHODIMP CCoRegistration::GetST_Description(BSTR* value) {
  return GetMainText(L"reg_ST_Description", value, E_INVALIDARG);
}
STDMETHODIMP CCoRegistration::PutST_Description(BSTR value) { return SetMainText(L"reg_ST_Description", value); }
STDMETHODIMP CCoRegistration::GetST_WWW(BSTR* value) { return GetMainText(L"reg_ST_WWW", value, E_INVALIDARG); }
STDMETHODIMP CCoRegistration::PutST_WWW(BSTR value) { return SetMainText(L"reg_ST_WWW", value); }

STDMETHODIMP CCoRegistration::GetST_LastSynch(VARIANT* value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return E_INVALIDARG;
    VariantInit(value);
    const _variant_t stored = MainField(L"reg_ST_LastSynch")->GetValue();
    return VariantCopy(value, &stored);
  });
}

STDMETHODIMP CCoRegistration::PutST_LastSynch(VARIANT value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    MainField(L"reg_ST_LastSynch")->PutValue(_variant_t(value));
    return S_OK;
  });
}

// ---------------------------------------------------------------------------------------------
// The data object's operations

HRESULT CCoRegistration::InitNewDefaults(const VARIANT&) {
  for (const wchar_t* column : {L"reg_Username", L"reg_Accesskey", L"reg_Description", L"reg_Version"})
    MainField(column)->PutValue(_variant_t(L""));
  MainField(L"reg_Active")->PutValue(_variant_t(static_cast<short>(-1)));
  return S_OK;
}

HRESULT CCoRegistration::Validate() {
  const HRESULT login = RequireFieldRes(L"reg_Username", kNoUsername, 0, kNoUsernameText, 0, E_FAIL);
  const HRESULT password = RequireFieldRes(L"reg_Accesskey", kNoAccesskey, 0, kNoAccesskeyText, 0, E_FAIL);
  if (m_sites) {
    m_sites->PutFilter(_variant_t(L""));
    if (Empty(m_sites)) {
      const CHxResString text(kNoSiteText);
      AddError(kNoSite, 0, text, E_FAIL);
      return E_FAIL;
    }
  }
  if (FAILED(login) || FAILED(password)) return E_FAIL;
  // An account whose site list was never asked for keeps its sites as they are.
  if (!m_sites) return S_FALSE;
  WriteSiteListBack();
  return S_OK;
}

INT_PTR CCoRegistration::ShowEditDialog(CWnd* parent) {
  if (m_dialogMode) {
    CRegStatusesDlg dialog(ZoneRegistered(), this, parent);
    return dialog.DoModal();
  }
  IAuctionSiteAccountPtr connector = Connector();
  if (State() == stNew) {
    // The connector describes itself; its version is the account's.
    IConnectorInfoPtr info(FlgCreateRunning(CLSID_CoConnectorInfo));
    if (!info) _com_issue_error(E_NOINTERFACE);
    IDispatch* raw = nullptr;
    hx::Check(info->GetFields(&raw));
    IDispatchPtr fields(raw, false);
    const HRESULT hr = connector->DescribeConnector(fields);
    if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteAccount));
    FieldsPtr described(fields);
    if (!described) _com_issue_error(E_NOINTERFACE);
    const _variant_t version = described->GetItem(_variant_t(L"Version"))->GetValue();
    MainField(L"reg_Version")->PutValue(_variant_t(IsNull(version) ? _bstr_t(L"") : _bstr_t(version)));
  }
  m_info = _bstr_t();
  BSTR info = nullptr;
  VARIANT_BOOL accepted = VARIANT_FALSE;
  const HRESULT hr = connector->EditAccount(static_cast<LotrixRegistration*>(this), &info, &accepted);
  m_info = _bstr_t(info, false);
  if (FAILED(hr)) _com_issue_errorex(hr, connector, __uuidof(IAuctionSiteAccount));
  return accepted == VARIANT_TRUE ? kAccepted : kCancelled;
}

// ---------------------------------------------------------------------------------------------
// Outside objects

IAccessKeyConverterPtr CCoRegistration::Converter() {
  if (!m_converter) {
    m_converter = FlgCreateRunning(CLSID_AccessKeyConverter);
    if (!m_converter) _com_issue_error(E_NOINTERFACE);
  }
  return m_converter;
}

IAuctionSiteAccountPtr CCoRegistration::Connector() {
  GUID clsid = GUID_NULL;
  hx::Check(GetConnectorClsid(&clsid));
  IAuctionSiteAccountPtr connector(FlgCreateRunning(clsid));
  if (!connector) _com_issue_error(E_POINTER);
  return connector;
}

// ---------------------------------------------------------------------------------------------
// The site list

// The site's own number of a local site row; none when st__Site has no such row.
std::optional<LONG> SiteNumberOf(const _variant_t& localSite) {
  if (IsNull(localSite)) return std::nullopt;
  CString sql;
  sql.Format(L"SELECT st_SiteId FROM st__Site WHERE st_Id=%ld", LongOf(localSite));
  _RecordsetPtr rs;
  hx::Check(OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly, adCmdText));
  if (rs->GetadoEOF()) return std::nullopt;
  const _variant_t number = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  if (IsNull(number)) return std::nullopt;
  return LongOf(number);
}

void CCoRegistration::BuildSiteList() {
  _RecordsetPtr list;
  hx::Check(OpenRS(list, CHxInstance::GetConnection(), L"SELECT * FROM vw_RegSites", adOpenDynamic, adLockOptimistic,
                   adCmdText));
  list->PutRefActiveConnection(nullptr);
  _RecordsetPtr sites = DataSet(2);
  if (!Empty(sites)) {
    for (sites->MoveFirst(); !sites->GetadoEOF(); sites->MoveNext()) {
      const std::optional<LONG> number = SiteNumberOf(FieldOf(sites, L"rs_SiteId")->GetValue());
      if (!number) continue;
      list->AddNew();
      FieldOf(list, L"site_id")->PutValue(_variant_t(*number));
      FieldOf(list, L"site_name")->PutValue(FieldOf(sites, L"rs_Name")->GetValue());
      list->Update();
    }
  }
  if (!Empty(list)) list->MoveFirst();
  m_sites = list;
}

void CCoRegistration::WriteSiteListBack() {
  _RecordsetPtr sites = DataSet(2);
  // The account's sites keep the filter they had: later walks see every site.
  CFlgFilterScope keep(sites);
  // Sites no longer in the list.
  m_sites->PutFilter(_variant_t(L""));
  if (!Empty(sites)) {
    for (sites->MoveFirst(); !sites->GetadoEOF(); sites->MoveNext()) {
      const std::optional<LONG> number = SiteNumberOf(FieldOf(sites, L"rs_SiteId")->GetValue());
      bool listed = false;
      if (number) {
        CString criterion;
        criterion.Format(L"site_id=%ld", *number);
        m_sites->PutFilter(_variant_t(criterion.GetString()));
        listed = !m_sites->GetadoEOF();
      }
      if (!listed) sites->Delete(adAffectCurrent);
    }
  }
  m_sites->PutFilter(_variant_t(L""));
  if (Empty(m_sites)) return;
  // Sites added or renamed: each needs a local site row of the account's service provider.
  const LONG provider = MainLong(L"reg_SvcProvId");
  for (m_sites->MoveFirst(); !m_sites->GetadoEOF(); m_sites->MoveNext()) {
    const _variant_t number = FieldOf(m_sites, L"site_id")->GetValue();
    if (IsNull(number)) continue;  // a row without a site names nothing to keep
    CString sql;
    sql.Format(L"SELECT st_Id FROM st__Site WHERE st_SiteId=%ld AND st_SvcProvId=%ld", LongOf(number), provider);
    _RecordsetPtr found;
    hx::Check(OpenRS(found, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly, adCmdText));
    LONG local = 0;
    if (found->GetadoEOF()) {
      IUnknownPtr created = FlgCreateRunning(CLSID_CoSite);
      IFlgItemPtr item(created);
      ISitePtr site(created);
      if (!item || !site) _com_issue_error(E_NOINTERFACE);
      if (!Factory()) _com_issue_error(E_FAIL);
      hx::Check(item->InitNew(Factory(), _variant_t()));
      hx::Check(site->PutSiteId(LongOf(number)));
      hx::Check(site->PutSvcProvId(provider));
      hx::Check(item->Save());
      hx::Check(site->GetId(&local));
    } else {
      local = LongOf(found->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    }
    CString criterion;
    criterion.Format(L"rs_SiteId=%ld", local);
    sites->PutFilter(_variant_t(criterion.GetString()));
    if (sites->GetadoEOF()) {
      hx::Check(AddSubRow(2));
      FieldOf(sites, L"rs_SiteId")->PutValue(_variant_t(local));
    }
    FieldOf(sites, L"rs_Name")->PutValue(FieldOf(m_sites, L"site_name")->GetValue());
  }
  m_sites->MoveFirst();
}
