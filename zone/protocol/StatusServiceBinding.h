#pragma once
// Client binding of the seller-zone status service: one SOAP runtime context, one endpoint,
// one method per service operation.
//
// Every method sends the operation's request (RPC style, SOAP encoding) and reads the answer
// into the caller's response structure. The result is a status in the classic numbering of
// SoapStatus.h: 0 on success, 1/2/8/12/32 when the service answered with a Fault (the fault
// then stays readable on the context, see FaultCode() and DetailFault()), another status for
// transport, parse and memory failures, and 15 for every call of a binding without context.
//
// Objects decoded from answers belong to the runtime context and stay valid until the
// binding is destroyed. One binding serves one call at a time.
#include "StatusServiceH.h"

namespace vorlen {

// The service's URL path and the default endpoint.
inline constexpr const char kStatusServicePath[] = "/rpcrouter";
inline constexpr const char kStatusServiceDefaultEndpoint[] = "https://strefa.vantor.pl/rpcrouter";

// The namespace table installed on a fresh context: SOAP 1.1 envelope and encoding, the
// schema instance and schema namespaces of 2001 (each with a wildcard over the year for
// input), and the service's own namespace for "ss".
extern const struct Namespace kStatusServiceNamespaces[];

}  // namespace vorlen

class StatusServiceBinding {
 public:
  // Allocates and initialises a runtime context with the runtime's defaults.
  StatusServiceBinding();
  // Adopts `context` (may be null: every call then answers 15 without any I/O).
  explicit StatusServiceBinding(struct soap* context);
  StatusServiceBinding(const StatusServiceBinding&) = delete;
  StatusServiceBinding& operator=(const StatusServiceBinding&) = delete;
  virtual ~StatusServiceBinding();

  virtual int getPageConfig(ss__RegisteredServiceUserInfo* userInfo, ss__getPageConfigResponse& out);
  virtual int setPageConfig(ss__RegisteredServiceUserInfo* userInfo, ss__PageConfigInfo* configInfo,
                            ss__setPageConfigResponse& out);
  virtual int openTrustedPage(ss__RegisteredServiceUserInfo* userInfo, ArrayOfAuctionBidInfo* bidsInfo,
                              bool autoRegroup, ss__openTrustedPageResponse& out);
  virtual int closePage(ss__RegisteredServiceUserInfo* userInfo, ss__PageClosingInfo* closingInfo,
                        ss__closePageResponse& out);
  virtual int setPageData(ss__RegisteredServiceUserInfo* userInfo, int pageId, ss__StatusPageDataInfo* pageDataInfo,
                          ss__setPageDataResponse& out);
  virtual int setAcknowledgedBuyerData(ss__RegisteredServiceUserInfo* userInfo, int pageId,
                                       ss__BuyerDataInfo* buyerDataInfo, ss__setAcknowledgedBuyerDataResponse& out);
  virtual int setItemData(ss__RegisteredServiceUserInfo* userInfo, int pageId, ArrayOfItemInfo* itemsInfo,
                          ss__setItemDataResponse& out);
  virtual int setPackageData(ss__RegisteredServiceUserInfo* userInfo, int pageId, ArrayOfPackageInfo* packagesInfo,
                             ss__setPackageDataResponse& out);
  virtual int setAllData(ss__RegisteredServiceUserInfo* userInfo, int pageId, ss__StatusPageDataInfo* pageDataInfo,
                         ss__BuyerDataInfo* buyerDataInfo, ArrayOfItemInfo* itemsInfo, ArrayOfPackageInfo* packagesInfo,
                         ss__setAllDataResponse& out);
  virtual int getPageChangesInfo(ss__RegisteredServiceUserInfo* userInfo, ArrayOf_xsd_int* pageIds,
                                 time_t cutoffEntryDate, ss__getPageChangesInfoResponse& out);
  virtual int getBuyerData(ss__RegisteredServiceUserInfo* userInfo, ArrayOf_xsd_int* pageIds,
                           ss__getBuyerDataResponse& out);
  virtual int setDataEntryConstraints(ss__RegisteredServiceUserInfo* in0, int in1, bool in2, bool in3, bool in4,
                                      bool in5, ss__setDataEntryConstraintsResponse& out);

  // Fault of the last answer that was a SOAP Fault (null texts when none was read).
  const char* FaultCode() const;
  const char* FaultString() const;
  // The decoded detail object as a fault class: the detail element itself when it is one of
  // the fault classes, or the "fault" member of a detail wrapper element; null otherwise.
  ss__StatusServiceFault* DetailFault() const;

  struct soap* soap;     // runtime context, owned; null when its allocation failed
  const char* endpoint;  // service URL of every call, not owned

 private:
  using ReturnReader = bool (*)(struct soap*, void* out);
  int Receive(const char* responseTag, ReturnReader read, void* out);
  template <class SendFn>
  int Call(SendFn send, const char* responseTag, ReturnReader read, void* out);
};
