#pragma once
// The reference connector's session for one account (IAuctionSiteConnector), opened by
// IAuctionSiteAccount::OpenSession. It holds the account, the manager's LotrixSync (SetSync) and
// the current site (SetRegSite); tests reach it through IReferenceSession and the control's
// failures, hooks and record of calls. Every slot runs through Run: the call is recorded as
// "session <n> <slot> <member>[ <arguments>]", a failure scripted for the slot is answered with
// its error information, a hook's Before may fail it, the body runs (COM errors and other
// exceptions become HRESULTs with error information) and the hook's After sees the result.
//
// The session holds the manager's callback while it lives: the manager releases its session when
// its walk ends, which breaks the cycle.
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "platform/com/server.h"
#include "testing/site_connector/reference_connector.h"
#include "testing/site_connector/session_send.h"
#include "testing/site_connector/session_receive.h"
#include "testing/site_connector/sitedata.h"

namespace reference {

class Session : public platform::com::ServerObject<IReferenceSession, ISupportErrorInfo>,
                public platform::com::DispatchFace<IAuctionSiteConnector> {
 public:
  Session(LONG number, LotrixRegistration* account);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ServerObject::QueryInterface(iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return ServerObject::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ServerObject::Release(); }

  // --- IAuctionSiteConnector
  STDMETHODIMP SetRegSite(VARIANT site) override;
  STDMETHODIMP Currency(BSTR* currency) override;
  STDMETHODIMP GetParamVersions(BSTR* categories, BSTR* attributes, BSTR* form) override;
  STDMETHODIMP ReceiveCatSpecific(_Recordset* fields, _Recordset* dictionary, VARIANT* result) override;
  STDMETHODIMP ReceiveSpecificData(LONG kind, _Recordset* dictionary, VARIANT* result) override;
  STDMETHODIMP ReceiveCategories(_Recordset* categories, BSTR* result) override;
  STDMETHODIMP ReceiveRegCategories(_Recordset* categories, BSTR* result) override;
  STDMETHODIMP GetErrorState(LONG reserved, VARIANT_BOOL* state, LONG reserved2) override;
  STDMETHODIMP SendComments(_Recordset* comments, LONG* id) override;
  STDMETHODIMP SendAuction(IHxAuction* auction, _Recordset* extra, VARIANT* result) override;
  STDMETHODIMP SetSync(LotrixSync* sync) override;
  STDMETHODIMP ReceiveTransactions(_Recordset* customers, _Recordset* transactions, _Recordset* auctions, LONG mode,
                                   LotrixRegCustData* customData) override;
  STDMETHODIMP ReceiveAuctions(_Recordset* auctions, _Recordset* images, LONG flags, DATE since) override;
  STDMETHODIMP ReceiveComments(_Recordset* auctions, LONG kind, _Recordset* comments, LONG count) override;

  // --- IReferenceSession
  STDMETHODIMP GetNumber(LONG* number) override;
  STDMETHODIMP GetRegSite(VARIANT* site) override;
  STDMETHODIMP GetSync(LotrixSync** sync) override;
  STDMETHODIMP GetAccount(LotrixRegistration** account) override;
  STDMETHODIMP GetSendObject(IUnknown** object) override;

  // --- ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

 protected:
  void* QueryMore(REFIID iid) override;

 private:
  // Runs one slot as described above.
  HRESULT Run(LONG slot, const wchar_t* member, const std::wstring& arguments, const std::function<HRESULT()>& body);
  // The account's login and the site, for the sends.
  SendTarget Target() const;
  // A failure of this session's interface with error information.
  static HRESULT Fail(HRESULT hr, const std::wstring& description);
  // Runs a download (slots 40 to 42) over the site's document as it is now, recording its lines
  // under the session's number.
  HRESULT Deliver(const std::function<HRESULT(const Delivery&)>& download);
  // Runs a send slot with `object` as what it was given, for the hooks.
  HRESULT RunSend(LONG slot, const wchar_t* member, IUnknown* object, const std::function<HRESULT()>& body);

  const LONG number_;
  LotrixRegistrationPtr account_;
  LotrixSyncPtr sync_;
  bool hasSite_ = false;  // SetRegSite named a site (not null)
  LONG site_ = 0;         // the site's number at the service
  bool shopGone_ = false; // the last shop download failed: the account has no shop any more
  std::set<std::string> counted_;  // the auctions the manager counted in this session's downloads
  IUnknownPtr sending_;            // what the send running now was given (GetSendObject)
};

// A new session of `account` (S_OK) in `out`.
HRESULT OpenReferenceSession(LotrixRegistration* account, IAuctionSiteConnector** out);

}  // namespace reference
