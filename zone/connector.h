#pragma once
// CoVorlenConnector: the COM class through which the system talks to the seller-zone status
// service. One object owns one binding (one SOAP runtime context with its HTTPS transport);
// every method checks its arguments, builds the account's credentials and the request from the
// containers, calls one operation and turns the answer into new containers. Every failure
// becomes an HRESULT with a COM error description that a user can read. The calls of one object
// share a kept-alive connection to the service (a new one after a call that failed on the wire).
//
// Settings are read once, at construction: profile section StrefaVantor (SendTimeout,
// ReceiveTimeout, ConnectionTimeout, AcceptTimeout in seconds, default 5; MaxAnswerSize in MB;
// Host, "host[:port]", of the https endpoint with the path /rpcrouter), the framework setting
// Test/StrefaVantorLog (a VT_I4 with bit 0 set writes TEST_vorlen.log) and the host's
// connection settings (record 1) or else the process-wide proxy.
#include <string>

#include "framework/zephra.h"
#include "platform/com/server.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/vorlen.h"

namespace vorlen {

// The profile section and keys the connector reads.
inline constexpr wchar_t kProfileSection[] = L"StrefaVantor";
inline constexpr wchar_t kHostKey[] = L"Host";
// The SOAP test log and the framework setting that switches it.
inline constexpr char kTestLogFile[] = "TEST_vorlen.log";
inline constexpr wchar_t kTestSection[] = L"Test";
inline constexpr wchar_t kTestLogKey[] = L"StrefaVantorLog";
// The source of the connector's error information.
inline constexpr wchar_t kConnectorProgId[] = L"Vantor.CoVorlenConnector.1";

class CCoVorlenConnector : public platform::com::DispatchFace<IVorlenConnector>, public ISupportErrorInfo {
 public:
  CCoVorlenConnector();
  virtual ~CCoVorlenConnector();
  CCoVorlenConnector(const CCoVorlenConnector&) = delete;
  CCoVorlenConnector& operator=(const CCoVorlenConnector&) = delete;

  // The construction's settings and the transport; a failure fails the object's creation.
  HRESULT Init();
  void* FlgGetInterface(REFIID iid);

  // For inspection: the binding (its runtime context) and what construction set up.
  StatusServiceBinding& Binding() { return m_binding; }
  const std::string& Endpoint() const { return m_endpoint; }

  // --- ISupportErrorInfo
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

  // --- IVorlenConnector
  STDMETHOD(GetPageConfig)(LONG lRegId, _Recordset** ppRsPageConfigData) override;
  STDMETHOD(SetPageConfig)(LONG lRegId, _Recordset* ppRsPageConfigData) override;
  STDMETHOD(CreateStatusesOptionsContainer)(_Recordset** ppOutRecordset) override;
  STDMETHOD(CreateAuctionBidInfoContainer)(_Recordset** ppOutRecordset) override;
  STDMETHOD(OpenTrustedPage)(LONG lRegId, _Recordset* pRsAuctionsBidInfo, BOOL bAutoRegroup,
                             _Recordset** ppRsStatusPageInfo, _Recordset** ppRsBuyerData,
                             _Recordset** ppRsBid) override;
  STDMETHOD(ClosePage)(LONG lRegId, LONG closedPageId, VARIANT vRegroupedPageId) override;
  STDMETHOD(SetPageData)(LONG lRegId, LONG lPageId, _Recordset* pRsPageDataInfo) override;
  STDMETHOD(SetAcknowledgedBuyerData)(LONG lRegId, LONG lPageId, _Recordset* pRsAuctionBidInfo,
                                      _Recordset* pRsBuyerData) override;
  STDMETHOD(CreatePageIdsContainer)(_Recordset** ppPageIds) override;
  STDMETHOD(GetBuyerData)(LONG lRegId, _Recordset* pRsPageIds, _Recordset** ppRsAuctionBidInfo,
                          _Recordset** ppRsBuyerData) override;
  STDMETHOD(CreateItemInfoContainer)(_Recordset** ppItemInfo) override;
  STDMETHOD(SetItemData)(LONG lRegId, LONG lPageId, _Recordset* pRsArrayOfItemInfo) override;
  STDMETHOD(CreatePackageInfoContainer)(_Recordset** ppRsPackageInfo) override;
  STDMETHOD(SetPackageData)(LONG lRegId, LONG lPageId, _Recordset* pRsPackageInfo,
                            _Recordset* pRsArrayOfItemInfo) override;
  STDMETHOD(SetAllData)(LONG lRegId, LONG lPageId, StatusPageDataInfoEx* pageDataInfo, _Recordset* pRsAuctionBidInfo,
                        NotesEx* notes, AddressInfoEx* billingAddress, AddressInfoEx* deliveryAddress,
                        _Recordset* pRsArrayOfItemInfo, _Recordset* pRsPackageInfo,
                        _Recordset* pRsArrayOfPackageItemInfo) override;
  STDMETHOD(GetPageChangesInfo)(LONG lRegId, _Recordset* pRsPageIds, DATE cutoffEntryDate,
                                _Recordset** ppRsChangesInfo) override;
  STDMETHOD(CreateBuyerDataInfoContainer)(_Recordset** ppBuyerDataInfo) override;
  STDMETHOD(CreatePageDataInfoContainer)(_Recordset** ppPageDataInfo) override;
  STDMETHOD(SetDataEntryConstraints)(LONG lRegId, LONG lPageId, EntryConstraints ec) override;

 private:
  void SetUpProxy();
  // The HRESULT of a failed call (status in the classic numbering), with error information.
  HRESULT ServiceFailure(int status);

  std::string m_endpoint;  // before the binding, which points at it
  StatusServiceBinding m_binding;
  std::string m_proxyHost, m_proxyUser, m_proxyPassword;
  LONG m_proxyPort = 0;
};

// The class's creation function (object map): a new, constructed connector, or the failure of
// its construction. An outer object is refused (CLASS_E_NOAGGREGATION).
HRESULT CreateConnector(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace vorlen
