#pragma once
// A site connector of the tests' own, served in the test process under the ProgID
// "Test.RecordingConnector": it records its creation, the sessions it opens (by the account's
// login) and each session's SetSync and SetRegSite, fails any of them on demand, and runs a hook
// on every SetRegSite.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "auctions/tests/served_class.h"
#include "platform/com/server.h"
#include "platform/registry/registry.h"

namespace recording_test {

struct RecordingConnector;
VANTOR_UUIDOF(RecordingConnector, "5B0B8F57-2E7C-4C43-9A21-6C3C0E9A7D11");
inline constexpr wchar_t kRecordingProgId[] = L"Test.RecordingConnector";

struct Script {
  std::vector<std::wstring> calls;
  HRESULT create = S_OK;
  HRESULT openSession = S_OK;
  HRESULT setSync = S_OK;
  HRESULT setRegSite = S_OK;
  std::wstring description;  // the error information of a failure, when not empty
  std::function<void(LONG site)> onSetRegSite;
  // What the sends do (E_NOTIMPL without them); each call is recorded first.
  std::function<HRESULT(IHxAuction* auction)> onSendAuction;
  std::function<HRESULT(_Recordset* comments, LONG* id)> onSendComments;
  LotrixSync* sync = nullptr;  // the last callback handed over (not held)
};
inline Script& TheScript() {
  static Script script;
  return script;
}

inline HRESULT Outcome(HRESULT hr, REFIID iid) {
  if (SUCCEEDED(hr) || TheScript().description.empty()) return hr;
  return platform::com::ReportError(hr, TheScript().description.c_str(), L"Test.RecordingConnector", iid);
}

using served_test::Counted;

class Session : public Counted<platform::com::DispatchFace<IAuctionSiteConnector>>, public ISupportErrorInfo {
 public:
  explicit Session(std::wstring login) : m_login(std::move(login)) {}
  STDMETHODIMP_(ULONG) AddRef() override { return Counted::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return Counted::Release(); }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAuctionSiteConnector))
      *out = static_cast<IAuctionSiteConnector*>(this);
    else if (iid == __uuidof(ISupportErrorInfo))
      *out = static_cast<ISupportErrorInfo*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(IAuctionSiteConnector) ? S_OK : S_FALSE;
  }
  STDMETHODIMP SetRegSite(VARIANT site) override {
    TheScript().calls.push_back(L"SetRegSite " + m_login + L" " +
                                (site.vt == VT_I4 ? std::to_wstring(site.lVal) : L"vt" + std::to_wstring(site.vt)));
    if (TheScript().onSetRegSite) TheScript().onSetRegSite(site.lVal);
    return Outcome(TheScript().setRegSite, __uuidof(IAuctionSiteConnector));
  }
  STDMETHODIMP SetSync(LotrixSync* sync) override {
    TheScript().calls.push_back(L"SetSync " + m_login + (sync ? L"" : L" null"));
    TheScript().sync = sync;
    return Outcome(TheScript().setSync, __uuidof(IAuctionSiteConnector));
  }
  STDMETHODIMP Currency(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetParamVersions(BSTR*, BSTR*, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveCatSpecific(_Recordset*, _Recordset*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveSpecificData(LONG, _Recordset*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveCategories(_Recordset*, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveRegCategories(_Recordset*, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetErrorState(LONG, VARIANT_BOOL*, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP SendComments(_Recordset* comments, LONG* id) override {
    TheScript().calls.push_back(L"SendComments " + m_login);
    if (!comments || !id) return E_POINTER;
    *id = 0;
    return TheScript().onSendComments ? TheScript().onSendComments(comments, id) : E_NOTIMPL;
  }
  STDMETHODIMP SendAuction(IHxAuction* auction, _Recordset*, VARIANT*) override {
    TheScript().calls.push_back(L"SendAuction " + m_login);
    if (!auction) return E_POINTER;
    return TheScript().onSendAuction ? TheScript().onSendAuction(auction) : E_NOTIMPL;
  }
  STDMETHODIMP ReceiveTransactions(_Recordset*, _Recordset*, _Recordset*, LONG, LotrixRegCustData*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP ReceiveAuctions(_Recordset*, _Recordset*, LONG, DATE) override { return E_NOTIMPL; }
  STDMETHODIMP ReceiveComments(_Recordset*, LONG, _Recordset*, LONG) override { return E_NOTIMPL; }

 private:
  std::wstring m_login;
};

class Connector : public Counted<platform::com::DispatchFace<IAuctionSiteAccount>> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAuctionSiteAccount)) {
      *out = static_cast<IAuctionSiteAccount*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP OpenSession(LotrixRegistration* account, IAuctionSiteConnector** session) override {
    if (!account || !session) return E_POINTER;
    *session = nullptr;
    BSTR raw = nullptr;
    account->GetUsername(&raw);
    const std::wstring login = raw ? raw : L"";
    SysFreeString(raw);
    TheScript().calls.push_back(L"OpenSession " + login);
    if (FAILED(TheScript().openSession)) return Outcome(TheScript().openSession, __uuidof(IAuctionSiteAccount));
    auto* created = new Session(login);
    created->AddRef();
    *session = created;
    return S_OK;
  }
  STDMETHODIMP DescribeConnector(IDispatch*) override { return E_NOTIMPL; }
  STDMETHODIMP ConnectAccount(LotrixRegistration*) override { return E_NOTIMPL; }
  STDMETHODIMP EditAccount(LotrixRegistration*, BSTR*, VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP FixAccount(LotrixRegistration*) override { return E_NOTIMPL; }
  STDMETHODIMP GetConnectorValue(VARIANT, LONG, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMyAuctionsUrl(VARIANT, LONG, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMyPageUrl(VARIANT, LONG, BSTR*) override { return E_NOTIMPL; }
};

// Serves the class in this process and names it by its ProgID (in the current registry) while
// the object lives; the script starts empty.
class Registration {
 public:
  Registration()
      : m_class(__uuidof(RecordingConnector), kRecordingProgId, [](REFIID iid, void** out) {
          TheScript().calls.push_back(L"create");
          if (FAILED(TheScript().create)) return TheScript().create;
          return served_test::CreateAs<Connector>(iid, out);
        }) {
    TheScript() = Script();
  }
  ~Registration() { TheScript() = Script(); }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

 private:
  served_test::ServedClass m_class;
};

}  // namespace recording_test
