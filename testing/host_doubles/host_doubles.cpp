#include "testing/host_doubles/host_doubles.h"

#include <string>

#include "framework/skin.h"
#include "platform/gui/gdi.h"

namespace doubles {
namespace {

std::wstring Num(LONG v) { return std::to_wstring(v); }
std::wstring Str(const wchar_t* s) { return s ? s : L""; }

std::wstring VarText(const VARIANT& v) {
  if (v.vt == VT_EMPTY) return L"empty";
  if (v.vt == VT_NULL) return L"null";
  if (v.vt == VT_ERROR) return L"missing";
  if (v.vt == VT_I4) return Num(v.lVal);
  if (v.vt == VT_BSTR) return Str(v.bstrVal);
  _variant_t copy;
  if (SUCCEEDED(VariantChangeType(&copy, &v, 0, VT_BSTR))) return Str(copy.bstrVal);
  return L"?";
}

HRESULT Hand(const IUnknownPtr& object, IUnknown** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!object) return S_FALSE;
  *out = object.GetInterfacePtr();
  (*out)->AddRef();
  return S_OK;
}

}  // namespace

std::wstring GuidText(REFGUID guid) {
  wchar_t text[64] = {};
  StringFromGUID2(guid, text, 64);
  return text;
}

// ---------------------------------------------------------------------------------------------
// Recorder

HRESULT Recorder::Call(const std::wstring& method, const std::wstring& args) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_calls.emplace_back(method, args);
  auto it = m_failures.find(method);
  if (it == m_failures.end()) return S_OK;
  const HRESULT hr = it->second.hr;
  if (it->second.times > 0 && --it->second.times == 0) m_failures.erase(it);
  return hr;
}

void Recorder::FailOn(const std::wstring& method, HRESULT hr, int times) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failures[method] = {hr, times};
}

void Recorder::ClearFailures() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failures.clear();
}

std::vector<std::wstring> Recorder::Calls() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::wstring> out;
  for (const auto& [method, args] : m_calls) out.push_back(method + L"(" + args + L")");
  return out;
}

std::vector<std::wstring> Recorder::ArgsOf(const std::wstring& method) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::wstring> out;
  for (const auto& [m, args] : m_calls)
    if (m == method) out.push_back(args);
  return out;
}

int Recorder::Count(const std::wstring& method) const { return static_cast<int>(ArgsOf(method).size()); }

void Recorder::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_calls.clear();
}

// ---------------------------------------------------------------------------------------------
// FakeInstance

FakeInstance::FakeInstance(std::shared_ptr<Recorder> r) : recorder(std::move(r)) {}

void* FakeInstance::FlgGetInterface(REFIID iid) {
  auto offered = [this](const wchar_t* name) { return hidden.count(name) == 0; };
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgInstance)) return static_cast<IFlgInstance*>(this);
  if (iid == __uuidof(IFlgDataFactory) && offered(L"IFlgDataFactory")) return static_cast<IFlgDataFactory*>(this);
  if (iid == __uuidof(IHxUser) && offered(L"IHxUser")) return static_cast<IHxUser*>(this);
  if (iid == __uuidof(IHxAppServices) && offered(L"IHxAppServices")) return static_cast<IHxAppServices*>(this);
  if (iid == __uuidof(IHxStatusWindow) && offered(L"IHxStatusWindow")) return static_cast<IHxStatusWindow*>(this);
  if (iid == __uuidof(IHxStartCheck) && offered(L"IHxStartCheck")) return static_cast<IHxStartCheck*>(this);
  if (iid == __uuidof(IHxErpHost) && offered(L"IHxErpHost")) return static_cast<IHxErpHost*>(this);
  if (iid == __uuidof(IHxAppCaption) && offered(L"IHxAppCaption")) return static_cast<IHxAppCaption*>(this);
  if (iid == __uuidof(IFlgSkin) && offered(L"IFlgSkin")) return static_cast<IFlgSkin*>(this);
  if (iid == __uuidof(IHxRegistrationSource) && offered(L"IHxRegistrationSource"))
    return static_cast<IHxRegistrationSource*>(this);
  return nullptr;
}

namespace {

// The registration table of a FakeInstance: each record is the field collection of a one-row
// recordset, kept while the table lives.
class FakeRegistrationTable : public IHxRegistrationTable {
 public:
  FakeRegistrationTable(std::shared_ptr<Recorder> recorder, std::map<LONG, FakeRegistration> records)
      : m_recorder(std::move(recorder)), m_records(std::move(records)) {}
  virtual ~FakeRegistrationTable() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxRegistrationTable)) return static_cast<IHxRegistrationTable*>(this);
    return nullptr;
  }
  STDMETHOD(GetRecord)(VARIANT account, IUnknown** fields) override {
    if (fields) *fields = nullptr;
    HRESULT hr = m_recorder->Call(L"IHxRegistrationTable::GetRecord", (account.vt == VT_I4 ? L"I4:" : L"?:") + VarText(account));
    if (FAILED(hr)) return hr;
    if (!fields) return E_POINTER;
    auto it = account.vt == VT_I4 ? m_records.find(account.lVal) : m_records.end();
    if (it == m_records.end()) return E_INVALIDARG;
    try {
      _RecordsetPtr rs;
      hr = rs.CreateInstance(__uuidof(Recordset));
      if (FAILED(hr)) return hr;
      const FakeRegistration& r = it->second;
      const struct {
        const wchar_t* name;
        const _variant_t& value;
        DataTypeEnum type;
      } columns[] = {{L"user_id", r.userId, adBigInt},
                     {L"service_id", r.serviceId, adInteger},
                     {L"registration_id", r.registrationId, adVarWChar}};
      for (const auto& c : columns)
        if (c.value.vt != VT_EMPTY) rs->GetFields()->Append(_bstr_t(c.name), c.type, c.type == adVarWChar ? 100 : 8, adFldIsNullable);
      rs->Open(vtMissing, vtMissing, adOpenStatic, adLockBatchOptimistic, adCmdUnknown);
      rs->AddNew();
      for (const auto& c : columns)
        if (c.value.vt != VT_EMPTY) rs->GetFields()->GetItem(_variant_t(c.name))->PutValue(c.value);
      m_last = rs;
      return rs->GetFields()->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(fields));
    } catch (const _com_error& e) {
      return e.Error();
    }
  }

 private:
  std::shared_ptr<Recorder> m_recorder;
  std::map<LONG, FakeRegistration> m_records;
  _RecordsetPtr m_last;
};

// The connection-settings object of HostDoubles::SetConnectionSettings.
class FakeConnectionSettingsObject : public FakeItem, public IHxConnectionSettings {
 public:
  FakeConnectionSettingsObject(std::shared_ptr<Recorder> recorder, FakeConnectionSettings settings)
      : FakeItem(recorder, __uuidof(HxConnectionSettings)), m_recorder(std::move(recorder)), m_settings(std::move(settings)) {}
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IHxConnectionSettings) && m_settings.kind != FakeConnectionSettings::Kind::WithoutInterface)
      return static_cast<IHxConnectionSettings*>(this);
    return FakeItem::FlgGetInterface(iid);
  }
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override {
    HRESULT hr = FakeItem::Load(factory, id);
    if (FAILED(hr)) return hr;
    return m_settings.kind == FakeConnectionSettings::Kind::LoadFails ? static_cast<HRESULT>(0x80040F21u) : S_OK;
  }
  STDMETHOD(GetProxyHost)(BSTR* host) override { return Text(L"GetProxyHost", m_settings.host, host); }
  STDMETHOD(GetProxyPort)(LONG* port) override {
    HRESULT hr = m_recorder->Call(L"IHxConnectionSettings::GetProxyPort");
    if (port) *port = m_settings.port;
    return hr;
  }
  STDMETHOD(GetProxyUser)(BSTR* user) override { return Text(L"GetProxyUser", m_settings.user, user); }
  STDMETHOD(GetProxyPassword)(BSTR* password) override { return Text(L"GetProxyPassword", m_settings.password, password); }
  STDMETHOD(GetUseSystemSettings)(VARIANT_BOOL* use) override {
    HRESULT hr = m_recorder->Call(L"IHxConnectionSettings::GetUseSystemSettings");
    if (use) *use = m_settings.kind == FakeConnectionSettings::Kind::Stored ? VARIANT_FALSE : VARIANT_TRUE;
    return hr;
  }

 private:
  HRESULT Text(const wchar_t* method, const std::wstring& value, BSTR* out) {
    HRESULT hr = m_recorder->Call(std::wstring(L"IHxConnectionSettings::") + method);
    if (out) *out = FAILED(hr) ? nullptr : SysAllocString(value.c_str());
    return hr;
  }
  std::shared_ptr<Recorder> m_recorder;
  FakeConnectionSettings m_settings;
};

}  // namespace

STDMETHODIMP FakeInstance::GetRegistrationTable(IUnknown** table) {
  if (table) *table = nullptr;
  HRESULT hr = recorder->Call(L"IHxRegistrationSource::GetRegistrationTable");
  if (FAILED(hr)) return hr;
  if (!table) return E_POINTER;
  return CFlgComObject<FakeRegistrationTable>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(table), recorder,
                                                      registrations);
}

STDMETHODIMP FakeInstance::LoadBitmap(LONG image, LONG variant, HBITMAP* bitmap) {
  if (!bitmap) return E_POINTER;
  *bitmap = nullptr;
  HRESULT hr = recorder->Call(L"IFlgSkin::LoadBitmap", Num(image) + L"," + Num(variant));
  if (FAILED(hr)) return hr;
  auto it = skinBitmaps.find(image);
  if (it == skinBitmaps.end() || it->second.first <= 0 || it->second.second <= 0) return E_INVALIDARG;
  const int w = it->second.first, h = it->second.second;
  std::vector<DWORD> bits(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      bits[static_cast<size_t>(y) * w + x] = (static_cast<DWORD>(x % 256) << 16) | (static_cast<DWORD>(image % 256) << 8);
  *bitmap = CreateBitmap(w, h, 1, 32, bits.data());
  return *bitmap ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FakeInstance::GetColor(LONG index, COLORREF* color) {
  if (!color) return E_POINTER;
  auto it = skinColors.find(index);
  *color = it != skinColors.end() ? it->second : FlgGetStockColor(index);
  return S_OK;
}

namespace {

// The active view of the navigation double.
class FakeView : public IHxCustomerView {
 public:
  FakeView(std::shared_ptr<Recorder> recorder, bool customerList)
      : m_recorder(std::move(recorder)), m_customerList(customerList) {}
  virtual ~FakeView() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown)) return static_cast<IHxCustomerView*>(this);
    if (iid == __uuidof(IHxCustomerView) && m_customerList) return static_cast<IHxCustomerView*>(this);
    return nullptr;
  }
  STDMETHOD(ShowCustomer)(LONG customerId) override {
    return m_recorder->Call(L"IHxCustomerView::ShowCustomer", Num(customerId));
  }

 private:
  std::shared_ptr<Recorder> m_recorder;
  bool m_customerList;
};

class FakeNavigation : public IHxNavigation {
 public:
  FakeNavigation(std::shared_ptr<Recorder> recorder, bool customerList)
      : m_recorder(std::move(recorder)), m_customerList(customerList) {}
  virtual ~FakeNavigation() = default;
  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxNavigation)) return static_cast<IHxNavigation*>(this);
    return nullptr;
  }
  STDMETHOD(SwitchView)(REFGUID view, VARIANT context) override {
    return m_recorder->Call(L"IHxNavigation::SwitchView",
                            GuidText(view) + L"," + std::to_wstring(context.vt) + L":" + VarText(context));
  }
  STDMETHOD(GetActiveView)(IUnknown** view) override {
    if (!view) return E_POINTER;
    *view = nullptr;
    const HRESULT hr = m_recorder->Call(L"IHxNavigation::GetActiveView");
    if (FAILED(hr)) return hr;
    return CFlgComObject<FakeView>::Create(__uuidof(IUnknown), reinterpret_cast<void**>(view), m_recorder,
                                           m_customerList);
  }

 private:
  std::shared_ptr<Recorder> m_recorder;
  bool m_customerList;
};

}  // namespace

STDMETHODIMP FakeInstance::GetNavigation(IHxNavigation** navigation) {
  if (!navigation) return E_POINTER;
  *navigation = nullptr;
  const HRESULT hr = recorder->Call(L"IFlgInstance::GetNavigation");
  if (FAILED(hr)) return hr;
  if (hidden.count(L"IHxNavigation")) return E_NOINTERFACE;
  return CFlgComObject<FakeNavigation>::Create(__uuidof(IHxNavigation), reinterpret_cast<void**>(navigation), recorder,
                                               hidden.count(L"IHxCustomerView") == 0);
}

STDMETHODIMP FakeInstance::RefreshObjectType(REFGUID clsid, LONG kind, VARIANT id) {
  return recorder->Call(L"IFlgInstance::RefreshObjectType", GuidText(clsid) + L"," + Num(kind) + L"," + VarText(id));
}

STDMETHODIMP FakeInstance::GetObjectByNumber(LONG number, IUnknown** object) {
  if (object) *object = nullptr;
  HRESULT hr = recorder->Call(L"IFlgInstance::GetObjectByNumber", Num(number));
  if (FAILED(hr)) return hr;
  auto it = numbered.find(number);
  return Hand(it == numbered.end() ? IUnknownPtr() : it->second, object);
}

STDMETHODIMP FakeInstance::CheckRight(LONG right, LONG reserved) {
  HRESULT hr = recorder->Call(L"IFlgInstance::CheckRight", Num(right) + L"," + Num(reserved));
  if (FAILED(hr)) return hr;
  return lackingRights.count(right) ? E_ACCESSDENIED : S_OK;
}

STDMETHODIMP FakeInstance::CheckRightText(LONG right, BSTR* explanation) {
  if (explanation) *explanation = nullptr;
  HRESULT hr = recorder->Call(L"IFlgInstance::CheckRightText", Num(right));
  if (FAILED(hr)) return hr;
  if (!lackingRights.count(right)) return S_OK;
  if (explanation) *explanation = SysAllocString(L"Brak uprawnienia.");
  return E_ACCESSDENIED;
}

STDMETHODIMP FakeInstance::ShowRightRefused(LONG right, LONG) {
  return recorder->Call(L"IFlgInstance::ShowRightRefused", Num(right));
}

STDMETHODIMP FakeInstance::ShowMessage(BSTR caption, BSTR text, LONG) {
  return recorder->Call(L"IFlgInstance::ShowMessage", Str(caption) + L"," + Str(text));
}

STDMETHODIMP FakeInstance::GetMainWindow(IUnknown** window) {
  if (window) *window = nullptr;
  return recorder->Call(L"IFlgInstance::GetMainWindow");
}

STDMETHODIMP FakeInstance::GetSetting(BSTR section, BSTR key, VARIANT* value) {
  HRESULT hr = recorder->Call(L"IFlgInstance::GetSetting", Str(section) + L"," + Str(key));
  if (FAILED(hr)) return hr;
  auto it = settings.find(Str(section) + L"/" + Str(key));
  if (it == settings.end() || !value) return S_FALSE;  // the default stays
  _variant_t answer;
  hr = VariantChangeType(&answer, &it->second, 0, value->vt == VT_EMPTY ? it->second.vt : value->vt);
  if (FAILED(hr)) return hr;
  VariantClear(value);
  *value = answer.Detach();
  return S_OK;
}

STDMETHODIMP FakeInstance::PutSetting(BSTR section, BSTR key, VARIANT value) {
  return recorder->Call(L"IFlgInstance::PutSetting", Str(section) + L"," + Str(key) + L"," + VarText(value));
}

STDMETHODIMP FakeInstance::GetDbConnection(IDispatch** out) {
  if (out) *out = nullptr;
  HRESULT hr = recorder->Call(L"IFlgDataFactory::GetDbConnection");
  if (FAILED(hr)) return hr;
  if (!out) return E_POINTER;
  if (!connection) return S_FALSE;
  return connection->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(out));
}

STDMETHODIMP FakeInstance::GetConnectionObject(LONG kind, IUnknown** object) {
  if (object) *object = nullptr;
  HRESULT hr = recorder->Call(L"IFlgDataFactory::GetConnectionObject", Num(kind));
  if (FAILED(hr)) return hr;
  return Hand(connection, object);
}

STDMETHODIMP FakeInstance::ReserveIds(BSTR table, LONG count, LONG* first) {
  HRESULT hr = recorder->Call(L"IFlgDataFactory::ReserveIds", Str(table) + L"," + Num(count));
  if (FAILED(hr)) return hr;
  static LONG next = 1;
  if (first) *first = next;
  next += count;
  return S_OK;
}

STDMETHODIMP FakeInstance::AttachObject(IFlgDataSetup*) { return recorder->Call(L"IFlgDataFactory::AttachObject"); }
STDMETHODIMP FakeInstance::ReadObject(IFlgDataSetup*) { return recorder->Call(L"IFlgDataFactory::ReadObject"); }
STDMETHODIMP FakeInstance::ReadDataSet(IFlgDataSetup*, LONG index) {
  return recorder->Call(L"IFlgDataFactory::ReadDataSet", Num(index));
}
STDMETHODIMP FakeInstance::InsertObject(IFlgDataSetup*) { return recorder->Call(L"IFlgDataFactory::InsertObject"); }
STDMETHODIMP FakeInstance::UpdateObject(IFlgDataSetup*) { return recorder->Call(L"IFlgDataFactory::UpdateObject"); }
STDMETHODIMP FakeInstance::DeleteObject(IFlgDataSetup*) { return recorder->Call(L"IFlgDataFactory::DeleteObject"); }
STDMETHODIMP FakeInstance::NotifyObject(IFlgDataSetup*) { return recorder->Call(L"IFlgDataFactory::NotifyObject"); }

STDMETHODIMP FakeInstance::GetUserName(BSTR* name) {
  HRESULT hr = recorder->Call(L"IHxUser::GetUserName");
  if (FAILED(hr)) return hr;
  if (name) *name = SysAllocString(userName.c_str());
  return S_OK;
}

STDMETHODIMP FakeInstance::GetCaption(LONG kind, BSTR* text) {
  HRESULT hr = recorder->Call(L"IHxAppCaption::GetCaption", Num(kind));
  if (FAILED(hr)) return hr;
  if (text) *text = SysAllocString(caption.c_str());
  return S_OK;
}

STDMETHODIMP FakeInstance::GetUserId(LONG* id) {
  HRESULT hr = recorder->Call(L"IHxUser::GetUserId");
  if (FAILED(hr)) return hr;
  if (id) *id = userId;
  return S_OK;
}

STDMETHODIMP FakeInstance::IsErpAvailable(VARIANT_BOOL* available) {
  HRESULT hr = recorder->Call(L"IHxAppServices::IsErpAvailable");
  if (FAILED(hr)) return hr;
  if (available) *available = erpAvailable ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP FakeInstance::GetImageStore(IUnknown** store) {
  if (store) *store = nullptr;
  return recorder->Call(L"IHxAppServices::GetImageStore");
}
STDMETHODIMP FakeInstance::NotifyError() { return recorder->Call(L"IHxAppServices::NotifyError"); }
STDMETHODIMP FakeInstance::NotifyWarning() { return recorder->Call(L"IHxAppServices::NotifyWarning"); }
STDMETHODIMP FakeInstance::GetImageRepository(IUnknown** repository) {
  if (!repository) return E_POINTER;
  *repository = nullptr;
  HRESULT hr = recorder->Call(L"IHxAppServices::GetImageRepository");
  if (FAILED(hr)) return hr;
  if (imageRepository) {
    *repository = imageRepository.GetInterfacePtr();
    (*repository)->AddRef();
  }
  return hr;
}

// --- FakeImageRepository

FakeImageRepository* FakeImageRepository::New(std::shared_ptr<Recorder> recorder, IUnknownPtr& holder) {
  auto* repository = new CFlgComObject<FakeImageRepository>(std::move(recorder));
  holder = IUnknownPtr(static_cast<IHxImageRepository*>(repository));
  return repository;
}

void* FakeImageRepository::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxImageRepository)) return static_cast<IHxImageRepository*>(this);
  return nullptr;
}

STDMETHODIMP FakeImageRepository::GetPicture(LONG id, BSTR* name, IUnknown** stream, LONG* width, LONG* height,
                                             LONG* size, VARIANT_BOOL* found) {
  if (!name || !stream || !width || !height || !size || !found) return E_POINTER;
  *name = nullptr;
  *stream = nullptr;
  *width = *height = *size = 0;
  *found = VARIANT_FALSE;
  HRESULT hr = m_recorder->Call(L"IHxImageRepository::GetPicture", Num(id));
  if (FAILED(hr)) return hr;
  auto it = pictures.find(id);
  if (it == pictures.end()) return S_OK;
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw))) return E_OUTOFMEMORY;
  ULONG written = 0;
  if (!it->second.bytes.empty()) raw->Write(it->second.bytes.data(), static_cast<ULONG>(it->second.bytes.size()), &written);
  LARGE_INTEGER zero{};
  raw->Seek(zero, STREAM_SEEK_SET, nullptr);
  *stream = raw;
  *name = SysAllocString(it->second.name.c_str());
  *width = it->second.width;
  *height = it->second.height;
  *size = it->second.size;
  *found = VARIANT_TRUE;
  return S_OK;
}

STDMETHODIMP FakeImageRepository::EndTransaction(LONG state) {
  return m_recorder->Call(L"IHxImageRepository::EndTransaction", Num(state));
}

STDMETHODIMP FakeImageRepository::BeginTransaction(LONG* state) {
  if (!state) return E_POINTER;
  HRESULT hr = m_recorder->Call(L"IHxImageRepository::BeginTransaction");
  if (FAILED(hr)) return hr;
  *state = beginState;
  return S_OK;
}
STDMETHODIMP FakeInstance::SetRefreshState(LONG state) {
  return recorder->Call(L"IHxAppServices::SetRefreshState", Num(state));
}

STDMETHODIMP FakeInstance::Reset() { return recorder->Call(L"IHxStatusWindow::Reset"); }
STDMETHODIMP FakeInstance::IsCancelRequested(VARIANT_BOOL* out) {
  HRESULT hr = recorder->Call(L"IHxStatusWindow::IsCancelRequested");
  if (FAILED(hr)) return hr;
  if (out) *out = cancel ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP FakeInstance::ShowLine(BSTR text) { return recorder->Call(L"IHxStatusWindow::ShowLine", Str(text)); }
STDMETHODIMP FakeInstance::ShowSummary(BSTR text) {
  return recorder->Call(L"IHxStatusWindow::ShowSummary", Str(text));
}
STDMETHODIMP FakeInstance::Refresh(LONG what) { return recorder->Call(L"IHxStatusWindow::Refresh", Num(what)); }

STDMETHODIMP FakeInstance::GetAccountSites(IUnknown** recordset) {
  if (recordset) *recordset = nullptr;
  HRESULT hr = recorder->Call(L"IHxStartCheck::GetAccountSites");
  if (FAILED(hr)) return hr;
  return Hand(accountSites, recordset);
}

#define DOUBLES_LONG_GETTER(Method, member)                          \
  STDMETHODIMP FakeInstance::Method(LONG* out) {                     \
    HRESULT hr = recorder->Call(L"IHxStartCheck::" L## #Method);     \
    if (FAILED(hr)) return hr;                                       \
    if (out) *out = member;                                          \
    return S_OK;                                                     \
  }
DOUBLES_LONG_GETTER(GetSelectedAccount, account)
DOUBLES_LONG_GETTER(GetSelectedSite, site)
DOUBLES_LONG_GETTER(GetSelectedAccountSite, accountSite)
DOUBLES_LONG_GETTER(GetOwnerFilter, ownerFilter)
#undef DOUBLES_LONG_GETTER

STDMETHODIMP FakeInstance::SetSelection(LONG a, LONG as) {
  HRESULT hr = recorder->Call(L"IHxStartCheck::SetSelection", Num(a) + L"," + Num(as));
  if (FAILED(hr)) return hr;
  account = a;
  accountSite = as;
  return S_OK;
}

STDMETHODIMP FakeInstance::CheckReady(BSTR* reason) {
  HRESULT hr = recorder->Call(L"IHxStartCheck::CheckReady");
  if (FAILED(hr)) return hr;
  if (reason) {
    SysFreeString(*reason);
    *reason = SysAllocString(readinessReason.c_str());
  }
  return readiness;
}

STDMETHODIMP FakeInstance::GetActiveConnectorId(VARIANT* id) {
  HRESULT hr = recorder->Call(L"IHxErpHost::GetActiveConnectorId");
  if (FAILED(hr)) return hr;
  if (!id) return E_POINTER;
  VariantClear(id);
  return VariantCopy(id, &erpActiveId);
}

STDMETHODIMP FakeInstance::GetActiveConnector(IUnknown** connector) {
  if (connector) *connector = nullptr;
  HRESULT hr = recorder->Call(L"IHxErpHost::GetActiveConnector");
  if (FAILED(hr)) return hr;
  return Hand(erpActiveConnector, connector);
}

STDMETHODIMP FakeInstance::GetConnectorEntry(VARIANT id, IUnknown** entry) {
  if (entry) *entry = nullptr;
  HRESULT hr = recorder->Call(L"IHxErpHost::GetConnectorEntry", VarText(id));
  if (FAILED(hr)) return hr;
  auto it = id.vt == VT_I4 ? erpEntries.find(id.lVal) : erpEntries.end();
  return Hand(it == erpEntries.end() ? IUnknownPtr() : it->second, entry);
}

STDMETHODIMP FakeInstance::GetActiveEntry(IUnknown** entry) {
  if (entry) *entry = nullptr;
  HRESULT hr = recorder->Call(L"IHxErpHost::GetActiveEntry");
  if (FAILED(hr)) return hr;
  return Hand(erpActiveEntry, entry);
}

// ---------------------------------------------------------------------------------------------
// FakeJobLogStore

void* FakeJobLogStore::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxJobLogStore)) return static_cast<IHxJobLogStore*>(this);
  return nullptr;
}

STDMETHODIMP FakeJobLogStore::StartJob(LONG type, LONG subtype) {
  HRESULT hr = m_recorder->Call(L"IHxJobLogStore::StartJob", Num(type) + L"," + Num(subtype));
  if (SUCCEEDED(hr)) m_started = true;
  return hr;
}

STDMETHODIMP FakeJobLogStore::EndJob(LONG count, LONG result) {
  HRESULT hr = m_recorder->Call(L"IHxJobLogStore::EndJob", Num(count) + L"," + Num(result));
  if (SUCCEEDED(hr)) m_started = false;
  return hr;
}

STDMETHODIMP FakeJobLogStore::AddString(DATE, BSTR text, LONG status) {
  return m_recorder->Call(L"IHxJobLogStore::AddString", Num(status) + L"," + Str(text));
}

STDMETHODIMP FakeJobLogStore::DeleteAll() { return m_recorder->Call(L"IHxJobLogStore::DeleteAll"); }

STDMETHODIMP FakeJobLogStore::Started(VARIANT_BOOL* started) {
  HRESULT hr = m_recorder->Call(L"IHxJobLogStore::Started");
  if (FAILED(hr)) return hr;
  if (started) *started = m_started ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// FakeItem

void* FakeItem::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgItem)) return static_cast<IFlgItem*>(this);
  if (iid == __uuidof(IFlgData)) return static_cast<IFlgData*>(this);
  return nullptr;
}

STDMETHODIMP FakeItem::GetClassID(CLSID* clsid) {
  if (clsid) *clsid = m_clsid;
  return m_recorder->Call(L"IFlgItem::GetClassID");
}
STDMETHODIMP FakeItem::InitNew(IFlgDataFactory* factory, VARIANT init) {
  return m_recorder->Call(L"IFlgItem::InitNew", std::wstring(factory ? L"factory" : L"null") + L"," + VarText(init));
}
STDMETHODIMP FakeItem::Load(IFlgDataFactory* factory, VARIANT id) {
  HRESULT hr = m_recorder->Call(L"IFlgItem::Load", std::wstring(factory ? L"factory" : L"null") + L"," +
                                                       (id.vt == VT_I4 ? L"I4:" : L"?:") + VarText(id));
  if (SUCCEEDED(hr)) m_id = id;
  return hr;
}
STDMETHODIMP FakeItem::InitCopy(IFlgDataFactory*, VARIANT id) { return m_recorder->Call(L"IFlgItem::InitCopy", VarText(id)); }
STDMETHODIMP FakeItem::BeginEdit() { return m_recorder->Call(L"IFlgItem::BeginEdit"); }
STDMETHODIMP FakeItem::EndEdit() { return m_recorder->Call(L"IFlgItem::EndEdit"); }
STDMETHODIMP FakeItem::Save() { return m_recorder->Call(L"IFlgItem::Save"); }
STDMETHODIMP FakeItem::Check() { return m_recorder->Call(L"IFlgItem::Check"); }
STDMETHODIMP FakeItem::Delete(IFlgDataFactory* factory, VARIANT id) {
  return m_recorder->Call(L"IFlgItem::Delete", std::wstring(factory ? L"factory" : L"null") + L"," + VarText(id));
}
STDMETHODIMP FakeItem::GetErrorCount(LONG* count) {
  if (count) *count = 0;
  return m_recorder->Call(L"IFlgItem::GetErrorCount");
}
STDMETHODIMP FakeItem::GetErrorText(LONG, BSTR* text) {
  if (text) *text = nullptr;
  return S_FALSE;
}
STDMETHODIMP FakeItem::SetUseTransaction(LONG v) { return m_recorder->Call(L"IFlgItem::SetUseTransaction", Num(v)); }
STDMETHODIMP FakeItem::SetLockOnEdit(LONG v) { return m_recorder->Call(L"IFlgItem::SetLockOnEdit", Num(v)); }
STDMETHODIMP FakeItem::SetCheckRights(LONG v) { return m_recorder->Call(L"IFlgItem::SetCheckRights", Num(v)); }
STDMETHODIMP FakeItem::SetCallbackValue(LONG v) { return m_recorder->Call(L"IFlgItem::SetCallbackValue", Num(v)); }
STDMETHODIMP FakeItem::GetCallbackValue(LONG* v) {
  if (v) *v = 0;
  return S_OK;
}
STDMETHODIMP FakeItem::GetId(VARIANT* id) {
  HRESULT hr = m_recorder->Call(L"IFlgData::GetId");
  if (FAILED(hr)) return hr;
  if (!id) return E_INVALIDARG;
  VariantInit(id);
  return VariantCopy(id, &m_id);
}
STDMETHODIMP FakeItem::GetState(VARIANT* state) {
  if (state) {
    VariantInit(state);
    state->vt = VT_I4;
    state->lVal = 3;
  }
  return S_OK;
}
STDMETHODIMP FakeItem::GetFormat(LONG* format) {
  if (format) *format = 1;
  return S_OK;
}
STDMETHODIMP FakeItem::GetLocked(VARIANT_BOOL* locked) {
  if (locked) *locked = VARIANT_FALSE;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// FakeErpConnector

void* FakeErpConnector::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(DSIConnector)) return static_cast<DSIConnector*>(this);
  if (iid == __uuidof(IHxErpConnectorEntry)) return static_cast<IHxErpConnectorEntry*>(this);
  return nullptr;
}

STDMETHODIMP FakeErpConnector::GetConnected(VARIANT_BOOL* out) {
  HRESULT hr = m_recorder->Call(L"DSIConnector::GetConnected");
  if (out) *out = connected ? VARIANT_TRUE : VARIANT_FALSE;
  return hr;
}
STDMETHODIMP FakeErpConnector::SetConnectorId(VARIANT id) {
  return m_recorder->Call(L"DSIConnector::SetConnectorId", VarText(id));
}
STDMETHODIMP FakeErpConnector::Connect(IUnknown*) {
  HRESULT hr = m_recorder->Call(L"DSIConnector::Connect");
  if (SUCCEEDED(hr) && connectSucceeds) connected = true;
  return hr;
}
STDMETHODIMP FakeErpConnector::Disconnect() {
  connected = false;
  return m_recorder->Call(L"DSIConnector::Disconnect");
}
STDMETHODIMP FakeErpConnector::GetCurrentUser(LONG* out) {
  if (out) *out = user;
  return m_recorder->Call(L"DSIConnector::GetCurrentUser");
}
STDMETHODIMP FakeErpConnector::SetCurrentUser(LONG u) {
  user = u;
  return m_recorder->Call(L"DSIConnector::SetCurrentUser", Num(u));
}
STDMETHODIMP FakeErpConnector::GetDocuments(IUnknown** out) {
  HRESULT hr = m_recorder->Call(L"DSIConnector::GetDocuments");
  return FAILED(hr) ? hr : Hand(child, out);
}
STDMETHODIMP FakeErpConnector::GetProducts(IUnknown** out) {
  HRESULT hr = m_recorder->Call(L"DSIConnector::GetProducts");
  return FAILED(hr) ? hr : Hand(child, out);
}
STDMETHODIMP FakeErpConnector::GetCustomers(IUnknown** out) {
  HRESULT hr = m_recorder->Call(L"DSIConnector::GetCustomers");
  return FAILED(hr) ? hr : Hand(child, out);
}
STDMETHODIMP FakeErpConnector::GetDefaults(IUnknown** out) {
  HRESULT hr = m_recorder->Call(L"DSIConnector::GetDefaults");
  return FAILED(hr) ? hr : Hand(child, out);
}
STDMETHODIMP FakeErpConnector::GetConnector(IUnknown** out) {
  HRESULT hr = m_recorder->Call(L"IHxErpConnectorEntry::GetConnector");
  if (FAILED(hr)) return hr;
  return static_cast<DSIConnector*>(this)->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(out));
}
STDMETHODIMP FakeErpConnector::GetConnectionParams(IUnknown** out) {
  if (out) *out = nullptr;
  return m_recorder->Call(L"IHxErpConnectorEntry::GetConnectionParams");
}

void* FakeErpObjects::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(DSIDocuments)) return static_cast<DSIDocuments*>(this);
  if (iid == __uuidof(DSIProducts)) return static_cast<DSIProducts*>(this);
  if (iid == __uuidof(DSICustomers)) return static_cast<DSICustomers*>(this);
  if (iid == __uuidof(DSIDefaults)) return static_cast<DSIDefaults*>(this);
  return nullptr;
}

IUnknownPtr FakeErpObjects::New() {
  auto* objects = new CFlgComObject<FakeErpObjects>();
  return IUnknownPtr(static_cast<IUnknown*>(static_cast<DSIDocuments*>(objects)));
}

FakeErpObjects* FakeErpObjects::New(IUnknownPtr& holder) {
  auto* objects = new CFlgComObject<FakeErpObjects>();
  holder = IUnknownPtr(static_cast<IUnknown*>(static_cast<DSIDocuments*>(objects)));
  return objects;
}

namespace {
HRESULT MakeCollection(const std::vector<ErpEntry>& entries, int failKeyAt, IUnknown** out) {
  auto* collection = new CFlgComObject<FakeErpCollection>(entries);
  collection->failKeyAt = failKeyAt;
  collection->AddRef();
  const HRESULT hr = collection->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(out));
  collection->Release();
  return hr;
}
}  // namespace

STDMETHODIMP FakeErpObjects::GetDocTypes(dsiDocType kind, IUnknown** collection) {
  if (!collection) return E_POINTER;
  *collection = nullptr;
  if (FAILED(failure)) return failure;
  auto it = docTypes.find(static_cast<LONG>(kind));
  if (it == docTypes.end()) return S_OK;
  return MakeCollection(it->second, failKeyAt, collection);
}

STDMETHODIMP FakeErpObjects::GetPaymentForms(IUnknown** collection) {
  if (!collection) return E_POINTER;
  *collection = nullptr;
  if (FAILED(failure)) return failure;
  if (!hasPaymentForms) return S_OK;
  return MakeCollection(paymentForms, failKeyAt, collection);
}

void* FakeErpCollection::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(DSICollection)) return static_cast<DSICollection*>(this);
  if (iid == __uuidof(IHxPositionCursor)) return static_cast<IHxPositionCursor*>(this);
  return nullptr;
}

STDMETHODIMP FakeErpCollection::GetIsEmpty(VARIANT_BOOL* empty) {
  if (!empty) return E_POINTER;
  *empty = m_entries.empty() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP FakeErpCollection::GetName(VARIANT key, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  for (const ErpEntry& e : m_entries)
    if (key.vt == VT_I4 && key.lVal == e.key) {
      *name = SysAllocString(e.name.c_str());
      return S_OK;
    }
  return E_INVALIDARG;
}

STDMETHODIMP FakeErpCollection::MoveFirst() {
  m_position = 0;
  return S_OK;
}

STDMETHODIMP FakeErpCollection::IsEOF(VARIANT_BOOL* eof) {
  if (!eof) return E_POINTER;
  *eof = m_position >= m_entries.size() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP FakeErpCollection::MoveNext() {
  if (m_position < m_entries.size()) ++m_position;
  return S_OK;
}

STDMETHODIMP FakeErpCollection::GetKey(VARIANT* key) {
  if (!key) return E_POINTER;
  if (m_position >= m_entries.size()) return E_UNEXPECTED;
  if (failKeyAt >= 0 && m_position == static_cast<size_t>(failKeyAt)) return E_FAIL;
  VariantInit(key);
  key->vt = VT_I4;
  key->lVal = m_entries[m_position].key;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// HostDoubles

HostDoubles::HostDoubles() : recorder(std::make_shared<Recorder>()) {
  auto* object = new CFlgComObject<FakeInstance>(recorder);
  instance = object;
  instancePtr = static_cast<IFlgInstance*>(object);
  auto rec = recorder;
  m_store = CFlgClassRegistration(__uuidof(HxJobLogStore), new CFlgComClassFactory([rec](REFIID iid, void** out) {
                                    return CFlgComObject<FakeJobLogStore>::Create(iid, out, rec);
                                  }));
  SetConnectionSettings(FakeConnectionSettings{});
}

HostDoubles::~HostDoubles() {
  m_connectionSettings.Revoke();
  m_store.Revoke();
  m_classes.clear();
}

void HostDoubles::RegisterItemClass(REFCLSID clsid) {
  auto rec = recorder;
  GUID id = clsid;
  m_classes.emplace_back(clsid, new CFlgComClassFactory([rec, id](REFIID iid, void** out) {
                           return CFlgComObject<FakeItem>::Create(iid, out, rec, id);
                         }));
}

void HostDoubles::UnregisterJobLogStore() { m_store.Revoke(); }

void HostDoubles::SetConnectionSettings(const FakeConnectionSettings& settings) {
  m_connectionSettings.Revoke();
  auto rec = recorder;
  m_connectionSettings = CFlgClassRegistration(
      __uuidof(HxConnectionSettings), new CFlgComClassFactory([rec, settings](REFIID iid, void** out) {
        return CFlgComObject<FakeConnectionSettingsObject>::Create(iid, out, rec, settings);
      }));
}

void HostDoubles::RemoveConnectionSettings() { m_connectionSettings.Revoke(); }

FakeErpConnector* HostDoubles::NewErpConnector(IUnknownPtr& holder) {
  auto* connector = new CFlgComObject<FakeErpConnector>(recorder);
  holder = static_cast<IUnknown*>(static_cast<DSIConnector*>(connector));
  return connector;
}

// ---------------------------------------------------------------------------------------------
// FailingConnection

STDMETHODIMP FailingConnection::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(_Connection)) {
    *out = static_cast<_Connection*>(this);
    AddRef();
    return S_OK;
  }
  return m_inner->QueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) FailingConnection::Release() {
  const ULONG left = --m_refs;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP FailingConnection::raw_BeginTrans(LONG* level) {
  const HRESULT hr = m_recorder->Call(L"_Connection::BeginTrans");
  if (FAILED(hr)) return hr;
  return m_inner->raw_BeginTrans(level);
}

STDMETHODIMP FailingConnection::raw_CommitTrans() {
  const HRESULT hr = m_recorder->Call(L"_Connection::CommitTrans");
  if (FAILED(hr)) return hr;
  return m_inner->raw_CommitTrans();
}

STDMETHODIMP FailingConnection::raw_RollbackTrans() {
  const HRESULT hr = m_recorder->Call(L"_Connection::RollbackTrans");
  if (FAILED(hr)) return hr;
  return m_inner->raw_RollbackTrans();
}

// ---------------------------------------------------------------------------------------------
// FactoryWrapper

FactoryWrapper::FactoryWrapper(std::shared_ptr<Recorder> recorder, IUnknownPtr inner)
    : m_recorder(std::move(recorder)), m_factory(inner), m_instance(inner), m_keys(inner), m_user(inner) {
  IDispatch* raw = nullptr;
  if (m_factory && SUCCEEDED(m_factory->GetDbConnection(&raw)) && raw) {
    IDispatchPtr dispatch(raw, false);
    auto* connection = new FailingConnection(m_recorder, _ConnectionPtr(dispatch));
    m_connection = static_cast<IUnknown*>(static_cast<_Connection*>(connection));
  }
}

void* FactoryWrapper::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgDataFactory)) return static_cast<IFlgDataFactory*>(this);
  if (iid == __uuidof(IFlgInstance) && m_instance) return static_cast<IFlgInstance*>(this);
  if (iid == __uuidof(IFlgNewKeySource) && m_keys && !hideNewKeySource) return static_cast<IFlgNewKeySource*>(this);
  if (iid == __uuidof(IHxUser) && m_user) return static_cast<IHxUser*>(this);
  return nullptr;
}

STDMETHODIMP FactoryWrapper::GetDbConnection(IDispatch** connection) {
  if (!connection) return E_POINTER;
  *connection = nullptr;
  const HRESULT hr = m_recorder->Call(L"IFlgDataFactory::GetDbConnection");
  if (FAILED(hr)) return hr;
  if (!m_connection) return E_FAIL;
  return m_connection->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(connection));
}

STDMETHODIMP FactoryWrapper::GetConnectionObject(LONG kind, IUnknown** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  const HRESULT hr = m_recorder->Call(L"IFlgDataFactory::GetConnectionObject", Num(kind));
  if (FAILED(hr)) return hr;
  if (kind != 1) return E_INVALIDARG;
  return Hand(m_connection, object);
}

STDMETHODIMP FactoryWrapper::ReserveIds(BSTR table, LONG count, LONG* first) {
  const HRESULT hr = m_recorder->Call(L"IFlgDataFactory::ReserveIds", Str(table) + L" " + Num(count));
  if (FAILED(hr)) return hr;
  return m_factory->ReserveIds(table, count, first);
}

#define VX_PASS(method, call)                                       \
  const HRESULT hr = m_recorder->Call(L"IFlgDataFactory::" method); \
  if (FAILED(hr)) return hr;                                        \
  return m_factory->call;

STDMETHODIMP FactoryWrapper::AttachObject(IFlgDataSetup* object) { VX_PASS(L"AttachObject", AttachObject(object)) }
STDMETHODIMP FactoryWrapper::ReadObject(IFlgDataSetup* object) { VX_PASS(L"ReadObject", ReadObject(object)) }
STDMETHODIMP FactoryWrapper::InsertObject(IFlgDataSetup* object) { VX_PASS(L"InsertObject", InsertObject(object)) }
STDMETHODIMP FactoryWrapper::UpdateObject(IFlgDataSetup* object) { VX_PASS(L"UpdateObject", UpdateObject(object)) }
STDMETHODIMP FactoryWrapper::DeleteObject(IFlgDataSetup* object) { VX_PASS(L"DeleteObject", DeleteObject(object)) }
STDMETHODIMP FactoryWrapper::NotifyObject(IFlgDataSetup* object) { VX_PASS(L"NotifyObject", NotifyObject(object)) }
#undef VX_PASS

STDMETHODIMP FactoryWrapper::ReadDataSet(IFlgDataSetup* object, LONG index) {
  const HRESULT hr = m_recorder->Call(L"IFlgDataFactory::ReadDataSet", Num(index));
  if (FAILED(hr)) return hr;
  return m_factory->ReadDataSet(object, index);
}

STDMETHODIMP FactoryWrapper::RefreshObjectType(REFGUID clsid, LONG kind, VARIANT id) {
  const HRESULT hr = m_recorder->Call(L"IFlgInstance::RefreshObjectType", GuidText(clsid) + L" " + Num(kind) + L" " +
                                                                              VarText(id));
  if (FAILED(hr)) return hr;
  return m_instance->RefreshObjectType(clsid, kind, id);
}
STDMETHODIMP FactoryWrapper::GetObjectByNumber(LONG number, IUnknown** object) {
  return m_instance->GetObjectByNumber(number, object);
}
STDMETHODIMP FactoryWrapper::CheckRight(LONG right, LONG reserved) { return m_instance->CheckRight(right, reserved); }
STDMETHODIMP FactoryWrapper::CheckRightText(LONG right, BSTR* explanation) {
  const HRESULT hr = m_recorder->Call(L"IFlgInstance::CheckRightText", Num(right));
  if (FAILED(hr)) return hr;
  return m_instance->CheckRightText(right, explanation);
}
STDMETHODIMP FactoryWrapper::ShowRightRefused(LONG right, LONG hwnd) { return m_instance->ShowRightRefused(right, hwnd); }
STDMETHODIMP FactoryWrapper::ShowMessage(BSTR caption, BSTR text, LONG hwnd) {
  return m_instance->ShowMessage(caption, text, hwnd);
}
STDMETHODIMP FactoryWrapper::GetMainWindow(IUnknown** window) { return m_instance->GetMainWindow(window); }
STDMETHODIMP FactoryWrapper::GetSetting(BSTR section, BSTR key, VARIANT* value) {
  return m_instance->GetSetting(section, key, value);
}
STDMETHODIMP FactoryWrapper::PutSetting(BSTR section, BSTR key, VARIANT value) {
  return m_instance->PutSetting(section, key, value);
}
STDMETHODIMP FactoryWrapper::GetNewKey(IFlgDataSetup* object, VARIANT* key) {
  const HRESULT hr = m_recorder->Call(L"IFlgNewKeySource::GetNewKey");
  if (FAILED(hr)) return hr;
  return m_keys->GetNewKey(object, key);
}
STDMETHODIMP FactoryWrapper::GetUserName(BSTR* name) { return m_user->GetUserName(name); }
STDMETHODIMP FactoryWrapper::GetUserId(LONG* id) { return m_user->GetUserId(id); }

// ---------------------------------------------------------------------------------------------
// ScriptedInstance

ScriptedInstance::ScriptedInstance(std::shared_ptr<Recorder> recorder, IFlgInstancePtr inner)
    : m_recorder(std::move(recorder)), m_inner(std::move(inner)), m_window(m_inner) {}

IFlgInstancePtr ScriptedInstance::New(std::shared_ptr<Recorder> recorder, IFlgInstancePtr inner, ScriptedInstance** out) {
  auto* object = new ScriptedInstance(std::move(recorder), std::move(inner));
  if (out) *out = object;
  return IFlgInstancePtr(static_cast<IFlgInstance*>(object));
}

STDMETHODIMP ScriptedInstance::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgInstance)) {
    *out = static_cast<IFlgInstance*>(this);
  } else if (iid == __uuidof(IHxStatusWindow)) {
    *out = static_cast<IHxStatusWindow*>(this);
  } else if (iid == __uuidof(IHxProgress)) {
    if (hideProgress) return E_NOINTERFACE;
    *out = static_cast<IHxProgress*>(this);
  } else {
    return m_inner ? m_inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ScriptedInstance::Release() {
  const ULONG left = --m_refs;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ScriptedInstance::RefreshObjectType(REFGUID clsid, LONG kind, VARIANT id) {
  return m_inner->RefreshObjectType(clsid, kind, id);
}
STDMETHODIMP ScriptedInstance::GetObjectByNumber(LONG number, IUnknown** object) {
  return m_inner->GetObjectByNumber(number, object);
}
STDMETHODIMP ScriptedInstance::CheckRight(LONG right, LONG reserved) { return m_inner->CheckRight(right, reserved); }
STDMETHODIMP ScriptedInstance::CheckRightText(LONG right, BSTR* explanation) {
  return m_inner->CheckRightText(right, explanation);
}
STDMETHODIMP ScriptedInstance::ShowRightRefused(LONG right, LONG hwnd) { return m_inner->ShowRightRefused(right, hwnd); }
STDMETHODIMP ScriptedInstance::ShowMessage(BSTR caption, BSTR text, LONG hwnd) {
  return m_inner->ShowMessage(caption, text, hwnd);
}
STDMETHODIMP ScriptedInstance::GetMainWindow(IUnknown** window) { return m_inner->GetMainWindow(window); }
STDMETHODIMP ScriptedInstance::GetSetting(BSTR section, BSTR key, VARIANT* value) {
  return m_inner->GetSetting(section, key, value);
}
STDMETHODIMP ScriptedInstance::PutSetting(BSTR section, BSTR key, VARIANT value) {
  return m_inner->PutSetting(section, key, value);
}

STDMETHODIMP ScriptedInstance::Reset() { return m_window ? m_window->Reset() : E_NOTIMPL; }

STDMETHODIMP ScriptedInstance::IsCancelRequested(VARIANT_BOOL* cancel) {
  if (!cancel) return E_POINTER;
  const int ask = ++asks;
  if (onAsk) onAsk(ask);
  const int at = cancelAt.load();
  if (at > 0 && ask >= at) {
    *cancel = VARIANT_TRUE;
    return S_OK;
  }
  if (!m_window) {
    *cancel = VARIANT_FALSE;
    return S_OK;
  }
  return m_window->IsCancelRequested(cancel);
}

STDMETHODIMP ScriptedInstance::ShowLine(BSTR text) { return m_window ? m_window->ShowLine(text) : S_OK; }
STDMETHODIMP ScriptedInstance::ShowSummary(BSTR text) { return m_window ? m_window->ShowSummary(text) : S_OK; }
STDMETHODIMP ScriptedInstance::Refresh(LONG what) {
  const HRESULT hr = m_recorder->Call(L"IHxStatusWindow::Refresh", Num(what));
  if (FAILED(hr)) return hr;
  return m_window ? m_window->Refresh(what) : S_OK;
}

STDMETHODIMP ScriptedInstance::Open() { return m_recorder->Call(L"IHxProgress::Open"); }
STDMETHODIMP ScriptedInstance::Hide() { return m_recorder->Call(L"IHxProgress::Hide"); }
STDMETHODIMP ScriptedInstance::SetMode(VARIANT text, LONG low, LONG high) {
  return m_recorder->Call(L"IHxProgress::SetMode", VarText(text) + L" " + Num(low) + L" " + Num(high));
}
STDMETHODIMP ScriptedInstance::Step(LONG delta) { return m_recorder->Call(L"IHxProgress::Step", Num(delta)); }
STDMETHODIMP ScriptedInstance::Stop() { return m_recorder->Call(L"IHxProgress::Stop"); }
STDMETHODIMP ScriptedInstance::SetText(BSTR text, LONG reserved) {
  return m_recorder->Call(L"IHxProgress::SetText", Str(text) + L" " + Num(reserved));
}

}  // namespace doubles
