// The reference site connector: its account side and the control that tests script it with
// (see reference_connector.h).
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/objerrors.h"
#include "platform/com/server.h"
#include "platform/resources/resources.h"
#include "platform/strings/convert.h"
#include "testing/site_connector/reference_connector.h"
#include "testing/site_connector/session.h"
#include "testing/site_connector/state.h"

namespace {

using reference::Script;
using reference::Site;

Script& TheScript() { return reference::TheScript(); }
std::mutex& ScriptMutex() { return reference::ScriptMutex(); }

std::optional<std::wstring> Optional(BSTR text) {
  if (!text) return std::nullopt;
  return std::wstring(text);
}

HRESULT Put(const FieldsPtr& fields, const wchar_t* name, const std::wstring& value) {
  Field* raw = nullptr;
  HRESULT hr = fields->get_Item(_variant_t(name), &raw);
  if (FAILED(hr)) return hr;
  FieldPtr field(raw, false);
  return field->put_Value(_variant_t(value.c_str()));
}

// The user id of an account as a 64-bit number.
HRESULT UserId(const VARIANT& user, LONGLONG& id) {
  _variant_t converted;
  const HRESULT hr = VariantChangeType(&converted, &user, 0, VT_I8);
  if (FAILED(hr)) return E_INVALIDARG;
  id = converted.llVal;
  return S_OK;
}

HRESULT Text(const CString& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocString(text.GetString());
  return *out ? S_OK : E_OUTOFMEMORY;
}

// What the account dialog leaves for the user: into `out`, and kept for GetDialogInfo.
HRESULT Left(const CString& text, BSTR* out) {
  {
    std::lock_guard<std::mutex> lock(reference::ScriptMutex());
    reference::TheScript().dialogInfo = text.GetString();
  }
  return Text(text, out);
}

// The first error of an account's error list, read through Lotrix's export of its handles.
std::wstring FirstError(LotrixRegistration* account) {
  LONG handle = 0;
  if (FAILED(account->GetErrorList(&handle))) return std::wstring();
  auto resolve = reinterpret_cast<LotrixErrorListFn>(GetProcAddress(GetModuleHandleW(L"Lotrix"), kLotrixErrorListExport));
  const CObjErrorInfoArray* errors = resolve ? resolve(handle) : nullptr;
  if (!errors || errors->IsEmpty()) return std::wstring();
  return errors->GetAt(0).text.GetString();
}

// The defined size of a column of the account's row (its data set 0); 0 when it cannot be read.
LONG ColumnSize(LotrixRegistration* account, const wchar_t* column) {
  IFlgDataSetPtr data(account);
  IUnknown* raw = nullptr;
  if (!data || FAILED(data->GetDataSet(0, &raw))) return 0;
  IUnknownPtr unknown(raw, false);
  _RecordsetPtr row(unknown);
  if (!row) return 0;
  Field* field = nullptr;
  if (FAILED(row->GetFields()->get_Item(_variant_t(column), &field))) return 0;
  FieldPtr held(field, false);
  return held->GetDefinedSize();
}

// Puts a text the user typed into the account and reads it back: a text that does not come back
// whole (its column cut it) is refused with what the user is told; empty when it fits.
template <class Put, class Get>
std::wstring PutWhole(LotrixRegistration* account, const std::wstring& typed, Put put, Get get, HRESULT& hr,
                      const wchar_t* column, const wchar_t* tooLong) {
  hr = put(_bstr_t(typed.c_str()));
  if (FAILED(hr)) return std::wstring();
  BSTR back = nullptr;
  const HRESULT read = get(&back);
  const std::wstring held = back ? back : L"";
  SysFreeString(back);
  if (SUCCEEDED(read) && typed == held) return {};
  CString text;
  text.Format(tooLong, static_cast<LONG>(typed.size()), column, ColumnSize(account, column));
  return text.GetString();
}

class Connector : public platform::com::ServerObject<IReferenceConnectorControl, ISupportErrorInfo>,
                  public platform::com::DispatchFace<IAuctionSiteAccount> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ServerObject::QueryInterface(iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return ServerObject::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ServerObject::Release(); }

  // --- IAuctionSiteAccount

  STDMETHODIMP DescribeConnector(IDispatch* fields) override {
    const HRESULT failed = Call(7, L"DescribeConnector");
    if (FAILED(failed)) return failed;
    FieldsPtr list(fields);
    if (!list) return E_POINTER;
    std::wstring version;
    {
      std::lock_guard<std::mutex> lock(ScriptMutex());
      version = TheScript().version;
    }
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"Name", L"Łącznik wzorcowy"},
        {L"ServiceProvider", kReferenceProviderName},
        {L"Description", L"Wzorcowy łącznik serwisu aukcyjnego"},
        {L"Producer", L"Kordel"},
        {L"Version", version},
        {L"Copyright", L"© Kordel"},
    };
    for (const auto& [name, value] : values) {
      const HRESULT hr = Put(list, name, value);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  STDMETHODIMP ConnectAccount(LotrixRegistration* account) override {
    const HRESULT failed = Call(8, L"ConnectAccount");
    if (FAILED(failed)) return failed;
    if (!account) return E_POINTER;
    Script s = Copy();
    HRESULT hr = account->PutSvcUserId(s.userId);
    if (SUCCEEDED(hr)) hr = account->PutName(_bstr_t(s.name.c_str()));
    if (SUCCEEDED(hr)) hr = account->PutFullName(_bstr_t(s.fullName.c_str()));
    if (SUCCEEDED(hr)) hr = account->PutHasShop(s.hasShop ? TRUE : FALSE);
    return hr;
  }

  STDMETHODIMP EditAccount(LotrixRegistration* account, BSTR* info, VARIANT_BOOL* accepted) override {
    const HRESULT failed = Call(9, L"EditAccount");
    if (FAILED(failed)) return failed;
    if (!account || !info || !accepted) return E_POINTER;
    *accepted = VARIANT_FALSE;
    Script s = Copy();
    if (!s.accept) return S_OK;
    HRESULT hr = S_OK;
    // A login or password that its column would cut is refused as the user typed it: the site
    // knows no cut login, and a cut password never converts back.
    std::wstring refused;
    if (s.login)
      refused = PutWhole(
          account, *s.login, [&](BSTR text) { return account->PutUsername(text); },
          [&](BSTR* text) { return account->GetUsername(text); }, hr, L"reg_Username",
          L"Login ma %ld znaków, a pole %ls mieści %ld.");
    if (SUCCEEDED(hr) && refused.empty() && s.password)
      refused = PutWhole(
          account, *s.password, [&](BSTR text) { return account->PutAccesskey(text); },
          [&](BSTR* text) { return account->GetAccesskey(text); }, hr, L"reg_Accesskey",
          L"Hasło (%ld znaków) w postaci zapisywanej przez konwerter nie mieści się w polu %ls (%ld znaków).");
    if (SUCCEEDED(hr) && refused.empty() && s.sites) hr = PutSites(account, *s.sites);
    if (FAILED(hr)) return hr;
    VARIANT_BOOL valid = VARIANT_FALSE;
    if (refused.empty()) {
      hr = account->GetValid(&valid);
      if (FAILED(hr)) return hr;
      if (valid == VARIANT_FALSE) refused = FirstError(account);
    }
    if (!refused.empty()) {
      // The user would correct the account in the dialog; here the dialog ends unaccepted.
      return Left(CString(L"Konto nie zostało zapisane: ") + refused.c_str(), info);
    }
    hr = account->Save();
    if (FAILED(hr)) return hr;
    *accepted = VARIANT_TRUE;
    return Left(s.info.empty() ? CString(L"Konto zostało zapisane.") : CString(s.info.c_str()), info);
  }

  STDMETHODIMP FixAccount(LotrixRegistration* account) override {
    const HRESULT failed = Call(12, L"FixAccount");
    if (FAILED(failed)) return failed;
    return account ? S_OK : E_POINTER;
  }

  STDMETHODIMP OpenSession(LotrixRegistration* account, IAuctionSiteConnector** session) override {
    const HRESULT failed = Call(13, L"OpenSession");
    if (FAILED(failed)) return failed;
    if (!session) return E_POINTER;
    *session = nullptr;
    if (!account) return E_POINTER;
    return reference::OpenReferenceSession(account, session);
  }

  STDMETHODIMP GetConnectorValue(VARIANT userId, LONG svcProvId, BSTR* value) override {
    return AccountText(16, L"GetConnectorValue", L"%I64d@%ld", userId, svcProvId, value);
  }
  STDMETHODIMP GetMyAuctionsUrl(VARIANT userId, LONG svcProvId, BSTR* url) override {
    return AccountText(17, L"GetMyAuctionsUrl", L"https://aukcje.wzorzec.example/uzytkownik/%I64d/aukcje?serwis=%ld",
                       userId, svcProvId, url);
  }
  STDMETHODIMP GetMyPageUrl(VARIANT userId, LONG svcProvId, BSTR* url) override {
    return AccountText(18, L"GetMyPageUrl", L"https://aukcje.wzorzec.example/uzytkownik/%I64d?serwis=%ld", userId,
                       svcProvId, url);
  }

  // --- IReferenceConnectorControl

  STDMETHODIMP GetDialogInfo(BSTR* text) override {
    if (!text) return E_POINTER;
    std::lock_guard<std::mutex> lock(ScriptMutex());
    *text = TheScript().dialogInfo ? SysAllocString(TheScript().dialogInfo->c_str()) : nullptr;
    return S_OK;
  }

  STDMETHODIMP Reset() override {
    Script old;  // released outside the lock: a hook may call back
    {
      std::lock_guard<std::mutex> lock(ScriptMutex());
      std::swap(old, TheScript());
    }
    return S_OK;
  }
  STDMETHODIMP FailSlot(LONG slot, HRESULT hr) override {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    if (SUCCEEDED(hr)) TheScript().failures.erase(slot);
    else TheScript().failures[slot] = hr;
    return S_OK;
  }
  STDMETHODIMP ScriptEditAccount(VARIANT_BOOL accept, BSTR login, BSTR password, BSTR info) override {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    TheScript().accept = accept != VARIANT_FALSE;
    TheScript().login = Optional(login);
    TheScript().password = Optional(password);
    TheScript().info = info ? info : L"";
    return S_OK;
  }
  STDMETHODIMP ScriptEditSites(BSTR sites) override {
    if (!sites) {
      std::lock_guard<std::mutex> lock(ScriptMutex());
      TheScript().sites.reset();
      return S_OK;
    }
    std::vector<Site> list;
    const std::wstring text = sites;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find(L';', start);
      if (end == std::wstring::npos) end = text.size();
      const std::wstring entry = text.substr(start, end - start);
      const std::size_t equals = entry.find(L'=');
      if (equals == std::wstring::npos || equals == 0) return E_INVALIDARG;
      wchar_t* rest = nullptr;
      const long number = std::wcstol(entry.c_str(), &rest, 10);
      if (rest != entry.c_str() + equals) return E_INVALIDARG;
      list.push_back({static_cast<LONG>(number), entry.substr(equals + 1)});
      start = end + 1;
    }
    std::lock_guard<std::mutex> lock(ScriptMutex());
    TheScript().sites = std::move(list);
    return S_OK;
  }
  STDMETHODIMP ScriptServiceData(LONGLONG userId, BSTR name, BSTR fullName, VARIANT_BOOL hasShop) override {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    TheScript().userId = userId;
    TheScript().name = name ? name : L"";
    TheScript().fullName = fullName ? fullName : L"";
    TheScript().hasShop = hasShop != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP SetVersion(BSTR version) override {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    TheScript().version = version ? version : L"";
    return S_OK;
  }
  STDMETHODIMP GetCallCount(LONG* count) override {
    if (!count) return E_POINTER;
    std::lock_guard<std::mutex> lock(ScriptMutex());
    *count = static_cast<LONG>(TheScript().calls.size());
    return S_OK;
  }
  STDMETHODIMP GetCall(LONG index, BSTR* call) override {
    if (!call) return E_POINTER;
    *call = nullptr;
    std::lock_guard<std::mutex> lock(ScriptMutex());
    if (index < 0 || static_cast<std::size_t>(index) >= TheScript().calls.size()) return E_INVALIDARG;
    *call = SysAllocString(TheScript().calls[static_cast<std::size_t>(index)].c_str());
    return *call ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP FailSessionSlot(LONG slot, HRESULT hr, BSTR description) override {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    if (SUCCEEDED(hr)) TheScript().sessionFailures.erase(slot);
    else TheScript().sessionFailures[slot] = reference::Failure{hr, description ? description : L""};
    return S_OK;
  }
  STDMETHODIMP HookSessionSlot(LONG slot, IReferenceSessionHook* hook) override {
    IReferenceSessionHookPtr old;  // released outside the lock
    std::lock_guard<std::mutex> lock(ScriptMutex());
    auto& hooks = TheScript().hooks;
    const auto it = hooks.find(slot);
    if (it != hooks.end()) {
      old = it->second;
      hooks.erase(it);
    }
    if (hook) hooks[slot] = hook;
    return S_OK;
  }
  STDMETHODIMP LoadSiteData(BSTR path) override {
    if (!path || !*path) return DataError(E_INVALIDARG, "Plik danych serwisu wzorcowego: nie podano ścieżki");
    const std::string file = platform::WideToUtf8(path);
    const HRESULT hr = UseData([&] { return reference::SiteData::Load(file); });
    if (SUCCEEDED(hr)) return hr;
    // The site is that file all the same: a site that cannot be reached fails its sessions,
    // never works on other data.
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
    {
      std::lock_guard<std::mutex> lock(ScriptMutex());
      TheScript().data = reference::SiteData::AtFile(file);
    }
    SetErrorInfo(0, info);
    if (info) info->Release();
    return hr;
  }
  STDMETHODIMP SetSiteData(BSTR json) override {
    const std::string text = platform::WideToUtf8(json);
    return UseData([&] { return reference::SiteData::Parse(text, "(tekst)"); });
  }
  STDMETHODIMP GetSiteData(BSTR* json) override {
    if (!json) return E_POINTER;
    *json = nullptr;
    try {
      const std::string text = reference::CurrentSiteData()->Read([](const reference::Json& doc) { return doc.dump(); });
      *json = SysAllocString(platform::Utf8ToWide(text).c_str());
    } catch (const std::exception& e) {
      return DataError(E_FAIL, e.what());
    }
    return *json ? S_OK : E_OUTOFMEMORY;
  }

  // --- ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(IAuctionSiteAccount) || iid == __uuidof(IReferenceConnectorControl) ? S_OK : S_FALSE;
  }

 protected:
  void* QueryMore(REFIID iid) override {
    if (iid == __uuidof(IAuctionSiteAccount) || iid == __uuidof(IDispatch)) return static_cast<IAuctionSiteAccount*>(this);
    return nullptr;
  }

 private:
  static HRESULT DataError(HRESULT hr, const std::string& text) {
    return platform::com::ReportError(hr, platform::Utf8ToWide(text).c_str(), kReferenceConnectorProgId,
                                      __uuidof(IReferenceConnectorControl));
  }
  // Makes the document `make` gives the site's data; its error leaves the data as they were.
  template <class Make>
  static HRESULT UseData(Make make) {
    std::shared_ptr<reference::SiteData> data;
    try {
      data = make();
    } catch (const reference::SiteDataError& e) {
      return DataError(E_INVALIDARG, e.what());
    } catch (const std::bad_alloc&) {
      return DataError(E_OUTOFMEMORY, "Plik danych serwisu wzorcowego: brak pamięci");
    }
    std::lock_guard<std::mutex> lock(ScriptMutex());
    TheScript().data = std::move(data);
    return S_OK;
  }

  static Script Copy() {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    return TheScript();
  }

  // Records a call; the failure scripted for its slot, with its error information, or S_OK.
  static HRESULT Call(LONG slot, const wchar_t* member, const CString& arguments = CString()) {
    HRESULT hr = S_OK;
    {
      std::lock_guard<std::mutex> lock(ScriptMutex());
      CString entry;
      entry.Format(L"%ld %ls", slot, member);
      if (!arguments.IsEmpty()) entry += L" " + arguments;
      TheScript().calls.push_back(entry.GetString());
      auto it = TheScript().failures.find(slot);
      if (it != TheScript().failures.end()) hr = it->second;
    }
    if (SUCCEEDED(hr)) return S_OK;
    CString text;
    text.Format(L"Łącznik wzorcowy: wywołanie %ld (%ls) zawiodło.", slot, member);
    return platform::com::ReportError(hr, text, kReferenceConnectorProgId, __uuidof(IAuctionSiteAccount));
  }

  static HRESULT AccountText(LONG slot, const wchar_t* member, const wchar_t* format, const VARIANT& user,
                             LONG provider, BSTR* out) {
    LONGLONG id = 0;
    const HRESULT known = UserId(user, id);
    CString arguments;
    arguments.Format(L"%I64d %ld", id, provider);
    const HRESULT failed = Call(slot, member, arguments);
    if (FAILED(failed)) return failed;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (FAILED(known)) return known;
    CString text;
    text.Format(format, id, provider);
    return Text(text, out);
  }

  // The account's site list becomes exactly the scripted sites.
  static HRESULT PutSites(LotrixRegistration* account, const std::vector<Site>& sites) {
    IUnknown* raw = nullptr;
    HRESULT hr = account->GetSubData(&raw);
    if (FAILED(hr)) return hr;
    IUnknownPtr unknown(raw, false);
    _RecordsetPtr list(unknown);
    if (!list) return E_NOINTERFACE;
    try {
      list->PutFilter(_variant_t(L""));
      if (!list->GetBOF() || !list->GetadoEOF()) {
        for (list->MoveFirst(); !list->GetadoEOF(); list->MoveNext()) list->Delete(adAffectCurrent);
      }
      for (const Site& site : sites) {
        list->AddNew();
        list->GetFields()->GetItem(_variant_t(L"site_id"))->PutValue(_variant_t(site.number));
        list->GetFields()->GetItem(_variant_t(L"site_name"))->PutValue(_variant_t(site.name.c_str()));
        list->Update();
      }
    } catch (const _com_error& e) {
      return e.Error();
    }
    return S_OK;
  }
};

const platform::com::ServerClass kClasses[] = {
    {&CLSID_ReferenceConnector, L"ReferenceConnector Class", L"Reference.SiteConnector.1", kReferenceConnectorProgId,
     nullptr, &platform::com::CreateServerObject<Connector>},
    {&CLSID_ReferenceAuction, L"ReferenceAuction Class", L"Reference.Auction.1", kReferenceAuctionProgId, nullptr,
     &CreateReferenceAuction},
};

}  // namespace

namespace reference {

std::mutex& ScriptMutex() {
  static std::mutex mutex;
  return mutex;
}

Script& TheScript() {
  static Script script;
  return script;
}

std::shared_ptr<SiteData> CurrentSiteData() {
  std::lock_guard<std::mutex> lock(ScriptMutex());
  Script& script = TheScript();
  if (!script.data) script.data = SiteData::Parse("{}", "(pusty)");
  return script.data;
}

}  // namespace reference

VANTOR_COM_SERVER(kClasses);
