#include "testing/host_doubles/zone_doubles.h"

#include "platform/com/server.h"

namespace doubles {
namespace {

HRESULT Failure(ZoneState& state, const wchar_t* method) {
  const auto found = state.failures.find(method);
  if (found == state.failures.end()) return S_OK;
  if (!found->second.second.empty()) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
      create->SetDescription(const_cast<LPOLESTR>(found->second.second.c_str()));
      create->SetGUID(__uuidof(IVorlenConnector));
      IErrorInfo* info = nullptr;
      if (SUCCEEDED(create->QueryInterface(__uuidof(IErrorInfo), reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
      }
      create->Release();
    }
  } else {
    SetErrorInfo(0, nullptr);
  }
  return found->second.first;
}

_RecordsetPtr Container() {
  _RecordsetPtr rs;
  rs.CreateInstance(__uuidof(Recordset));
  rs->GetFields()->Append(L"StatusesServiceActive", adBoolean, 1, adFldIsNullable);
  rs->GetFields()->Append(L"ShowDocumentAddressForm", adBoolean, 1, adFldIsNullable);
  rs->GetFields()->Append(L"ShowDeliveryAddressForm", adBoolean, 1, adFldIsNullable);
  rs->GetFields()->Append(L"Description", adVarWChar, 500, adFldIsNullable);
  rs->GetFields()->Append(L"WWW", adVarWChar, 255, adFldIsNullable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  return rs;
}

void HandOut(const _RecordsetPtr& rs, _Recordset** out) {
  *out = rs.GetInterfacePtr();
  if (*out) (*out)->AddRef();
}

std::wstring Text(const _variant_t& v) { return v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L""; }
bool Bool(const _variant_t& v) { return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE; }

#define ZONE_UNUSED(signature) \
  STDMETHODIMP signature override { return E_NOTIMPL; }

class Connector : public platform::com::ComObject<IUnknown>, public platform::com::DispatchFace<IVorlenConnector> {
 public:
  explicit Connector(std::shared_ptr<ZoneState> state) : m_state(std::move(state)) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IVorlenConnector))
      *out = static_cast<IVorlenConnector*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ComObject<IUnknown>::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ComObject<IUnknown>::Release(); }

  STDMETHODIMP GetPageConfig(LONG lRegId, _Recordset** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    m_state->calls.push_back(L"GetPageConfig " + std::to_wstring(lRegId));
    if (lRegId == 0) return E_INVALIDARG;
    if (const HRESULT hr = Failure(*m_state, L"GetPageConfig"); FAILED(hr)) return hr;
    const ZoneState::Page& page = m_state->pages[lRegId];
    _RecordsetPtr rs = Container();
    rs->AddNew();
    rs->GetFields()->GetItem(_variant_t(L"StatusesServiceActive"))->PutValue(_variant_t(page.active));
    rs->GetFields()->GetItem(_variant_t(L"ShowDocumentAddressForm"))->PutValue(_variant_t(page.document));
    rs->GetFields()->GetItem(_variant_t(L"ShowDeliveryAddressForm"))->PutValue(_variant_t(page.delivery));
    rs->GetFields()->GetItem(_variant_t(L"Description"))->PutValue(_variant_t(page.description.c_str()));
    rs->GetFields()->GetItem(_variant_t(L"WWW"))->PutValue(_variant_t(page.www.c_str()));
    rs->Update();
    rs->MoveFirst();
    HandOut(rs, out);
    return S_OK;
  }
  STDMETHODIMP SetPageConfig(LONG lRegId, _Recordset* config) override {
    if (lRegId == 0 || !config) return E_INVALIDARG;
    _RecordsetPtr rs(config);
    ZoneState::Page page;
    page.active = Bool(rs->GetFields()->GetItem(_variant_t(L"StatusesServiceActive"))->GetValue());
    page.document = Bool(rs->GetFields()->GetItem(_variant_t(L"ShowDocumentAddressForm"))->GetValue());
    page.delivery = Bool(rs->GetFields()->GetItem(_variant_t(L"ShowDeliveryAddressForm"))->GetValue());
    page.description = Text(rs->GetFields()->GetItem(_variant_t(L"Description"))->GetValue());
    page.www = Text(rs->GetFields()->GetItem(_variant_t(L"WWW"))->GetValue());
    m_state->calls.push_back(L"SetPageConfig " + std::to_wstring(lRegId) + L" active=" + std::to_wstring(page.active) +
                             L" document=" + std::to_wstring(page.document) + L" delivery=" +
                             std::to_wstring(page.delivery) + L" description=" + page.description + L" www=" + page.www);
    if (const HRESULT hr = Failure(*m_state, L"SetPageConfig"); FAILED(hr)) return hr;
    m_state->pages[lRegId] = page;
    return S_OK;
  }
  STDMETHODIMP CreateStatusesOptionsContainer(_Recordset** out) override {
    if (!out) return E_INVALIDARG;
    HandOut(Container(), out);
    return S_OK;
  }
  ZONE_UNUSED(CreateAuctionBidInfoContainer(_Recordset**))
  ZONE_UNUSED(OpenTrustedPage(LONG, _Recordset*, BOOL, _Recordset**, _Recordset**, _Recordset**))
  ZONE_UNUSED(ClosePage(LONG, LONG, VARIANT))
  ZONE_UNUSED(SetPageData(LONG, LONG, _Recordset*))
  ZONE_UNUSED(SetAcknowledgedBuyerData(LONG, LONG, _Recordset*, _Recordset*))
  ZONE_UNUSED(CreatePageIdsContainer(_Recordset**))
  ZONE_UNUSED(GetBuyerData(LONG, _Recordset*, _Recordset**, _Recordset**))
  ZONE_UNUSED(CreateItemInfoContainer(_Recordset**))
  ZONE_UNUSED(SetItemData(LONG, LONG, _Recordset*))
  ZONE_UNUSED(CreatePackageInfoContainer(_Recordset**))
  ZONE_UNUSED(SetPackageData(LONG, LONG, _Recordset*, _Recordset*))
  ZONE_UNUSED(SetAllData(LONG, LONG, StatusPageDataInfoEx*, _Recordset*, NotesEx*, AddressInfoEx*, AddressInfoEx*,
                         _Recordset*, _Recordset*, _Recordset*))
  ZONE_UNUSED(GetPageChangesInfo(LONG, _Recordset*, DATE, _Recordset**))
  ZONE_UNUSED(CreateBuyerDataInfoContainer(_Recordset**))
  ZONE_UNUSED(CreatePageDataInfoContainer(_Recordset**))
  ZONE_UNUSED(SetDataEntryConstraints(LONG, LONG, EntryConstraints))

 private:
  std::shared_ptr<ZoneState> m_state;
};

class StatusMgr : public platform::com::ComObject<IStatusMgr> {
 public:
  explicit StatusMgr(std::shared_ptr<ZoneState> state) : m_state(std::move(state)) {}
  STDMETHODIMP Synchronize(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP ForceSendAll(LONG lRegId, LONG* count) override {
    m_state->calls.push_back(L"ForceSendAll " + std::to_wstring(lRegId));
    if (count) *count = -1;
    if (const HRESULT hr = Failure(*m_state, L"ForceSendAll"); FAILED(hr)) return hr;
    if (count) *count = 3;
    return S_OK;
  }

 private:
  std::shared_ptr<ZoneState> m_state;
};

template <class T>
CFlgComClassFactory* Factory(std::shared_ptr<ZoneState> state) {
  return new CFlgComClassFactory([state](REFIID iid, void** out) {
    T* object = new T(state);
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  });
}

}  // namespace

ZoneDoubles::ZoneDoubles(bool withConnector) : m_state(std::make_shared<ZoneState>()) {
  if (withConnector) m_classes.emplace_back(CLSID_CoVorlenConnector, Factory<Connector>(m_state));
  m_classes.emplace_back(CLSID_CoStatusMgr, Factory<StatusMgr>(m_state));
}

ZoneDoubles::~ZoneDoubles() = default;

}  // namespace doubles
