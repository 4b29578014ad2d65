// The connector's description container and the example account data.
#include "auctions/connectorinfo.h"

#include "auctions/modulestate.h"
#include "shared/hxcheck.h"
#include "shared/resstrings.h"

namespace {

// The fields in which a connector describes itself, in order.
const wchar_t* const kInfoFields[] = {L"Name", L"ServiceProvider", L"Description", L"Producer", L"Version",
                                      L"Copyright"};
constexpr LONG kInfoFieldSize = 255;

// The sample values' strings.
constexpr UINT kSampleUsername = 200;
constexpr UINT kSampleFullName = 201;
constexpr UINT kSampleName = 202;
constexpr UINT kSampleAuctionsUrl = 203;
constexpr UINT kSamplePageUrl = 204;

}  // namespace

// ---------------------------------------------------------------------------------------------
// CCoConnectorInfo

CCoConnectorInfo::~CCoConnectorInfo() {
  AFX_MANAGE_STATE(lotrix::ModuleState());
  m_fields = nullptr;
}

STDMETHODIMP CCoConnectorInfo::GetFields(IDispatch** fields) {
  AFX_MANAGE_STATE(lotrix::ModuleState());
  if (!fields) return E_POINTER;
  *fields = nullptr;
  return platform::com::Boundary([&]() -> HRESULT {
    if (!m_fields) {
      _RecordsetPtr rs;
      hx::Check(rs.CreateInstance(__uuidof(Recordset)));
      FieldsPtr list = rs->GetFields();
      for (const wchar_t* name : kInfoFields) list->Append(_bstr_t(name), adVarChar, kInfoFieldSize, adFldUpdatable);
      rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, adOptionUnspecified);
      m_fields = rs;
    } else if (!m_fields->GetBOF() || !m_fields->GetadoEOF()) {
      // What the caller wrote through the row handed out last is dropped.
      if (m_fields->GetadoEOF()) m_fields->MoveFirst();
      m_fields->Delete(adAffectCurrent);
    }
    m_fields->AddNew();
    FieldsPtr list = m_fields->GetFields();
    return list->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(fields));
  });
}

// ---------------------------------------------------------------------------------------------
// CCoRegistrationExampleData

void* CCoRegistrationExampleData::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(LotrixRegistration) || iid == __uuidof(IDispatch)) return static_cast<LotrixRegistration*>(this);
  return CComFlgObject::FlgGetInterface(iid);
}

HRESULT CCoRegistrationExampleData::Sample(UINT id, BSTR* value) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!value) return E_POINTER;
  *value = _bstr_t(CHxResBSTR(id)).Detach();
  return S_OK;
}

STDMETHODIMP CCoRegistrationExampleData::GetUsername(BSTR* value) { return Sample(kSampleUsername, value); }
STDMETHODIMP CCoRegistrationExampleData::GetMyAuctionsUrl(BSTR* url) { return Sample(kSampleAuctionsUrl, url); }
STDMETHODIMP CCoRegistrationExampleData::GetMyPageUrl(BSTR* url) { return Sample(kSamplePageUrl, url); }
STDMETHODIMP CCoRegistrationExampleData::GetName(BSTR* value) { return Sample(kSampleName, value); }
STDMETHODIMP CCoRegistrationExampleData::GetFullName(BSTR* value) { return Sample(kSampleFullName, value); }
