#include "testing/site_connector/session.h"

#include <cwchar>
#include <new>
#include <utility>

#include "platform/base/utf8.h"
#include "platform/com/com.h"
#include "platform/strings/convert.h"
#include "testing/site_connector/session_send.h"
#include "testing/site_connector/site_params.h"
#include "testing/site_connector/state.h"

namespace reference {

Session::Session(LONG number, LotrixRegistration* account) : number_(number), account_(account) {}

HRESULT Session::Fail(HRESULT hr, const std::wstring& description) {
  return platform::com::ReportError(hr, description.c_str(), kReferenceConnectorProgId,
                                    __uuidof(IAuctionSiteConnector));
}

HRESULT Session::Run(LONG slot, const wchar_t* member, const std::wstring& arguments,
                     const std::function<HRESULT()>& body) {
  Failure failure;
  IReferenceSessionHookPtr hook;
  {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    Script& script = TheScript();
    // Every call is recorded: its line is put together without the wide formatter.
    const std::string numbers = std::to_string(number_) + " " + std::to_string(slot);
    std::wstring entry = L"session ";
    entry.append(numbers.begin(), numbers.end());
    entry += L" ";
    entry += member;
    if (!arguments.empty()) entry += L" " + arguments;
    script.calls.push_back(std::move(entry));
    const auto failed = script.sessionFailures.find(slot);
    if (failed != script.sessionFailures.end()) failure = failed->second;
    const auto hooked = script.hooks.find(slot);
    if (hooked != script.hooks.end()) hook = hooked->second;
  }
  if (FAILED(failure.hr)) {
    if (!failure.description.empty()) return Fail(failure.hr, failure.description);
    return Fail(failure.hr, L"Łącznik wzorcowy: wywołanie " + std::to_wstring(slot) + L" (" + member +
                                L") sesji zawiodło.");
  }
  IUnknown* self = static_cast<IReferenceSession*>(this);
  if (hook) {
    const HRESULT refused = hook->Before(self, slot);
    if (FAILED(refused)) return refused;
  }
  HRESULT hr = S_OK;
  try {
    hr = body();
  } catch (const _com_error& e) {
    IErrorInfo* info = e.ErrorInfo();
    SetErrorInfo(0, info);
    if (info) info->Release();
    hr = e.Error();
  } catch (const SiteDataError& e) {
    hr = Fail(E_FAIL, platform::Utf8ToWide(e.what()));
  } catch (const std::bad_alloc&) {
    hr = Fail(E_OUTOFMEMORY, L"Łącznik wzorcowy: brak pamięci.");
  } catch (const std::exception& e) {
    hr = Fail(E_FAIL, L"Łącznik wzorcowy: " + platform::Utf8ToWide(e.what()));
  }
  if (hook) hook->After(self, slot, hr);
  return hr;
}

// --- The slots this session serves.

STDMETHODIMP Session::SetRegSite(VARIANT site) {
  std::wstring shown;
  _variant_t number;
  const bool none = site.vt == VT_EMPTY || site.vt == VT_NULL;
  const bool valid = none || (site.vt != VT_BSTR && SUCCEEDED(VariantChangeType(&number, &site, 0, VT_I4)));
  if (none) shown = L"null";
  else if (valid) shown = std::to_wstring(number.lVal);
  else shown = L"vt=" + std::to_wstring(site.vt);
  return Run(12, L"SetRegSite", shown, [&]() -> HRESULT {
    if (!valid) return Fail(E_INVALIDARG, L"Łącznik wzorcowy: serwis konta podano nie jako liczbę.");
    hasSite_ = !none;
    site_ = none ? 0 : number.lVal;
    return S_OK;
  });
}

STDMETHODIMP Session::SetSync(LotrixSync* sync) {
  return Run(39, L"SetSync", sync ? L"set" : L"null", [&]() -> HRESULT {
    if (!sync) return Fail(E_POINTER, L"Łącznik wzorcowy: brak interfejsu synchronizacji.");
    sync_ = sync;
    return S_OK;
  });
}

// The sends land in the site's document (session_send.cpp).
SendTarget Session::Target() const {
  SendTarget target{hasSite_ ? site_ : 0, std::wstring()};
  BSTR login = nullptr;
  if (account_ && SUCCEEDED(account_->GetUsername(&login)) && login) target.seller = login;
  SysFreeString(login);
  return target;
}

HRESULT Session::RunSend(LONG slot, const wchar_t* member, IUnknown* object, const std::function<HRESULT()>& body) {
  sending_ = object;
  const HRESULT hr = Run(slot, member, L"", body);
  sending_ = nullptr;
  return hr;
}

STDMETHODIMP Session::SendComments(_Recordset* comments, LONG* id) {
  if (id) *id = 0;
  return RunSend(30, L"SendComments", comments, [&] { return reference::SendComments(Target(), comments, id); });
}

STDMETHODIMP Session::SendAuction(IHxAuction* auction, _Recordset*, VARIANT* result) {
  if (result) VariantInit(result);
  return RunSend(33, L"SendAuction", auction, [&] { return reference::SendAuction(Target(), auction); });
}

HRESULT Session::Deliver(const std::function<HRESULT(const Delivery&)>& download) {
  if (!sync_) return Fail(E_UNEXPECTED, L"Łącznik wzorcowy: sesja nie dostała interfejsu synchronizacji (SetSync).");
  // A copy: the manager's callbacks run while the download goes on, without the document's lock.
  const Json data = CurrentSiteData()->Read([](const Json& doc) { return doc; });
  const std::wstring prefix = L"session " + std::to_wstring(number_) + L" ";
  const Delivery delivery{data,
                          sync_,
                          hasSite_ ? site_ : 0,
                          [&prefix](const std::wstring& line) {
                            std::lock_guard<std::mutex> lock(ScriptMutex());
                            TheScript().calls.push_back(prefix + line);
                          },
                          counted_,
                          platform::WideToUtf8(Target().seller)};
  return download(delivery);
}

STDMETHODIMP Session::ReceiveTransactions(_Recordset* customers, _Recordset* transactions, _Recordset* auctions,
                                          LONG mode, LotrixRegCustData* customData) {
  return Run(40, L"ReceiveTransactions", std::to_wstring(mode) + (customData ? L" data" : L" null"), [&] {
    return Deliver([&](const Delivery& delivery) {
      return reference::ReceiveTransactions(delivery, customers, transactions, auctions, mode, customData);
    });
  });
}

STDMETHODIMP Session::ReceiveAuctions(_Recordset* auctions, _Recordset* images, LONG flags, DATE) {
  wchar_t shown[16];
  std::swprintf(shown, 16, L"0x%X", static_cast<unsigned>(flags));
  return Run(41, L"ReceiveAuctions", shown, [&] {
    return Deliver([&](const Delivery& delivery) { return reference::ReceiveAuctions(delivery, auctions, images, flags); });
  });
}

STDMETHODIMP Session::ReceiveComments(_Recordset* auctions, LONG kind, _Recordset* comments, LONG count) {
  return Run(42, L"ReceiveComments", std::to_wstring(kind) + L" " + std::to_wstring(count), [&] {
    return Deliver([&](const Delivery& delivery) {
      return reference::ReceiveComments(delivery, auctions, kind, comments, count);
    });
  });
}

// --- The site's parameters (site_params.h): the site data's versions, catalogue and dictionaries.

STDMETHODIMP Session::Currency(BSTR* currency) {
  if (currency) *currency = nullptr;
  return Run(17, L"Currency", L"", [&] {
    return CurrentSiteData()->Read([&](const Json& doc) { return reference_site::Currency(doc, site_, currency); });
  });
}
STDMETHODIMP Session::GetParamVersions(BSTR* categories, BSTR* attributes, BSTR* form) {
  for (BSTR* out : {categories, attributes, form})
    if (out) *out = nullptr;
  return Run(18, L"GetParamVersions", L"", [&] {
    return CurrentSiteData()->Read(
        [&](const Json& doc) { return reference_site::ParamVersions(doc, site_, categories, attributes, form); });
  });
}
STDMETHODIMP Session::ReceiveCatSpecific(_Recordset* fields, _Recordset* dictionary, VARIANT* result) {
  return Run(19, L"ReceiveCatSpecific", L"", [&] {
    return CurrentSiteData()->Read(
        [&](const Json& doc) { return reference_site::ReceiveCatSpecific(doc, site_, fields, dictionary, result); });
  });
}
STDMETHODIMP Session::ReceiveSpecificData(LONG kind, _Recordset* dictionary, VARIANT* result) {
  return Run(20, L"ReceiveSpecificData", std::to_wstring(kind), [&] {
    return CurrentSiteData()->Read(
        [&](const Json& doc) { return reference_site::ReceiveSpecificData(doc, site_, kind, dictionary, result); });
  });
}
STDMETHODIMP Session::ReceiveCategories(_Recordset* categories, BSTR* result) {
  if (result) *result = nullptr;
  return Run(24, L"ReceiveCategories", L"", [&] {
    // The progress goes to the manager while the document is read.
    return CurrentSiteData()->Read([&](const Json& doc) {
      return reference_site::ReceiveCategories(doc, site_, categories, sync_, result);
    });
  });
}
STDMETHODIMP Session::ReceiveRegCategories(_Recordset* categories, BSTR* result) {
  if (result) *result = nullptr;
  shopGone_ = false;
  return Run(25, L"ReceiveRegCategories", L"", [&]() -> HRESULT {
    BSTR login = nullptr;
    const HRESULT hr = account_ ? account_->GetUsername(&login) : E_POINTER;
    const std::wstring name = login ? login : L"";
    SysFreeString(login);
    if (FAILED(hr)) return hr;
    return CurrentSiteData()->Read([&](const Json& doc) {
      return reference_site::ReceiveRegCategories(doc, name, categories, result, shopGone_);
    });
  });
}
STDMETHODIMP Session::GetErrorState(LONG, VARIANT_BOOL* state, LONG) {
  return Run(29, L"GetErrorState", L"", [&]() -> HRESULT {
    if (!state) return E_POINTER;
    // False only when the last shop download failed because the account has no shop any more.
    *state = shopGone_ ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
  });
}

// --- IReferenceSession

STDMETHODIMP Session::GetNumber(LONG* number) {
  if (!number) return E_POINTER;
  *number = number_;
  return S_OK;
}

STDMETHODIMP Session::GetRegSite(VARIANT* site) {
  if (!site) return E_POINTER;
  VariantInit(site);
  if (hasSite_) {
    site->vt = VT_I4;
    site->lVal = site_;
  } else {
    site->vt = VT_NULL;
  }
  return S_OK;
}

STDMETHODIMP Session::GetSync(LotrixSync** sync) {
  if (!sync) return E_POINTER;
  *sync = sync_;
  if (*sync) (*sync)->AddRef();
  return S_OK;
}

STDMETHODIMP Session::GetAccount(LotrixRegistration** account) {
  if (!account) return E_POINTER;
  *account = account_;
  if (*account) (*account)->AddRef();
  return S_OK;
}

STDMETHODIMP Session::GetSendObject(IUnknown** object) {
  if (!object) return E_POINTER;
  *object = sending_;
  if (*object) (*object)->AddRef();
  return S_OK;
}

STDMETHODIMP Session::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == __uuidof(IAuctionSiteConnector) ? S_OK : S_FALSE;
}

void* Session::QueryMore(REFIID iid) {
  if (iid == __uuidof(IAuctionSiteConnector) || iid == __uuidof(IDispatch))
    return static_cast<IAuctionSiteConnector*>(this);
  return nullptr;
}

HRESULT OpenReferenceSession(LotrixRegistration* account, IAuctionSiteConnector** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  // A site that cannot be reached opens no session.
  try {
    CurrentSiteData()->Read([](const Json&) { return 0; });
  } catch (const SiteDataError& e) {
    return platform::com::ReportError(E_FAIL, platform::Utf8ToWide(e.what()).c_str(), kReferenceConnectorProgId,
                                      __uuidof(IAuctionSiteAccount));
  }
  LONG number = 0;
  {
    std::lock_guard<std::mutex> lock(ScriptMutex());
    number = ++TheScript().sessions;
  }
  Session* session = new (std::nothrow) Session(number, account);
  if (!session) return E_OUTOFMEMORY;
  *out = static_cast<IAuctionSiteConnector*>(session);  // the creator's reference
  return S_OK;
}

}  // namespace reference
