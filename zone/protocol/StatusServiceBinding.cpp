#include "zone/protocol/StatusServiceBinding.h"

#include <cstring>

#include "zone/protocol/SoapStatus.h"
#include "zone/protocol/XmlAnswerCheck.h"

namespace vorlen {

const struct Namespace kStatusServiceNamespaces[] = {
    {"SOAP-ENV", "http://schemas.xmlsoap.org/soap/envelope/", "http://www.w3.org/*/soap-envelope", nullptr},
    {"SOAP-ENC", "http://schemas.xmlsoap.org/soap/encoding/", "http://www.w3.org/*/soap-encoding", nullptr},
    {"xsi", "http://www.w3.org/2001/XMLSchema-instance", "http://www.w3.org/*/XMLSchema-instance", nullptr},
    {"xsd", "http://www.w3.org/2001/XMLSchema", "http://www.w3.org/*/XMLSchema", nullptr},
    {"ss", "http://www.kordel.pl/webservices/StatusService", nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr}};

}  // namespace vorlen

namespace {

using vorlen::soapstatus::ToLegacySoapStatus;

// The status of a Fault that was read, by its code (a qualified name whose prefix the runtime
// has already mapped to the namespace table's, so "SOAP-ENV:" stands for the SOAP 1.1 and
// SOAP 1.2 envelope namespaces alike). The runtime gives SOAP 1.2's Receiver and Sender the
// generic status; they count like Server and Client.
int FaultStatusOf(const char* code) {
  constexpr char kEnvelope[] = "SOAP-ENV:";
  if (!code || std::strncmp(code, kEnvelope, sizeof kEnvelope - 1) != 0) return SOAP_FAULT;
  const char* local = code + sizeof kEnvelope - 1;
  if (!std::strcmp(local, "Server") || !std::strcmp(local, "Receiver")) return SOAP_SVR_FAULT;
  if (!std::strcmp(local, "Client") || !std::strcmp(local, "Sender")) return SOAP_CLI_FAULT;
  if (!std::strcmp(local, "MustUnderstand")) return SOAP_MUSTUNDERSTAND;
  if (!std::strcmp(local, "VersionMismatch")) return SOAP_VERSIONMISMATCH;
  return SOAP_FAULT;
}

void InstallNamespaces(struct soap* s) {
  // A fresh context points at the process-wide default table; the binding brings its own.
  if (s && (!s->namespaces || s->namespaces == namespaces)) soap_set_namespaces(s, vorlen::kStatusServiceNamespaces);
}

// Readers of the return part: the first child of the response element, whatever its name.
bool ReadPageConfig(struct soap* s, void* out) {
  auto* r = static_cast<ss__getPageConfigResponse*>(out);
  return soap_in_PointerToss__PageConfigInfo(s, nullptr, &r->getPageConfigReturn, "ss:PageConfigInfo") != nullptr;
}
bool ReadStatusPage(struct soap* s, void* out) {
  auto* r = static_cast<ss__openTrustedPageResponse*>(out);
  return soap_in_PointerToss__StatusPageInfo(s, nullptr, &r->openTrustedPageReturn, "ss:StatusPageInfo") != nullptr;
}
bool ReadPageChanges(struct soap* s, void* out) {
  auto* r = static_cast<ss__getPageChangesInfoResponse*>(out);
  return soap_in_PointerToArrayOfStatusPageInfo(s, nullptr, &r->getPageChangesInfoReturn, "ss:StatusPageInfo") !=
         nullptr;
}
bool ReadBuyerData(struct soap* s, void* out) {
  auto* r = static_cast<ss__getBuyerDataResponse*>(out);
  return soap_in_PointerToArrayOfBuyerDataInfo(s, nullptr, &r->getBuyerDataReturn, "ss:BuyerDataInfo") != nullptr;
}

}  // namespace

StatusServiceBinding::StatusServiceBinding() : StatusServiceBinding(soap_new()) {}

StatusServiceBinding::StatusServiceBinding(struct soap* context)
    : soap(context), endpoint(vorlen::kStatusServiceDefaultEndpoint) {
  InstallNamespaces(soap);
  vorlen::InstallXmlAnswerCheck(soap);
}

StatusServiceBinding::~StatusServiceBinding() {
  if (!soap) return;
  soap_destroy(soap);  // class instances created while decoding
  soap_end(soap);      // temporary and decoded data
  soap_done(soap);     // close the connection, end the plug-ins
  soap_free(soap);
}

template <class SendFn>
int StatusServiceBinding::Call(SendFn send, const char* responseTag, ReturnReader read, void* out) {
  if (!soap) return vorlen::soapstatus::kOutOfMemory;
  const char* url = endpoint ? endpoint : vorlen::kStatusServiceDefaultEndpoint;
  vorlen::BeginXmlAnswerCheck(soap);
  if (send(soap, url) == SOAP_OK) Receive(responseTag, read, out);
  return ToLegacySoapStatus(soap->error);
}

int StatusServiceBinding::Receive(const char* responseTag, ReturnReader read, void* out) {
  struct soap* s = soap;
  if (soap_begin_recv(s) || soap_envelope_begin_in(s) || soap_recv_header(s) || soap_body_begin_in(s))
    return soap_closesock(s);
  if (soap_element_begin_in(s, responseTag, 0, nullptr)) {
    if (s->error != SOAP_TAG_MISMATCH && s->error != SOAP_NO_TAG) return soap_closesock(s);
    // Not the response element: read it as a Fault. When that fails (no Fault, or one that
    // cannot be read), the tag mismatch stands and the fault record says "SOAP-ENV:Client";
    // only a broken connection keeps its own status.
    int status = soap_recv_fault(s, 0);
    bool faultStatus = status == SOAP_CLI_FAULT || status == SOAP_SVR_FAULT || status == SOAP_FAULT ||
                       status == SOAP_MUSTUNDERSTAND || status == SOAP_VERSIONMISMATCH;
    if (faultStatus) {
      s->error = FaultStatusOf(FaultCode());
    } else if (status != SOAP_EOF && status != SOAP_TCP_ERROR && status != SOAP_SSL_ERROR) {
      *soap_faultcode(s) = "SOAP-ENV:Client";
      s->error = SOAP_TAG_MISMATCH;
    }
    return s->error;
  }
  if (s->body) {
    bool taken = read == nullptr;  // operations without a result skip all content
    for (;;) {
      s->error = SOAP_TAG_MISMATCH;
      if (!taken && read(s, out)) {
        taken = true;
        continue;
      }
      if (s->error == SOAP_TAG_MISMATCH) s->error = soap_ignore_element(s);
      if (s->error == SOAP_NO_TAG) break;
      if (s->error) return soap_closesock(s);
    }
    if (soap_element_end_in(s, responseTag)) return soap_closesock(s);
  }
  // Multi-reference elements after the response; hrefs are resolved at the end of the receive.
  if (soap_getindependent(s) || soap_body_end_in(s) || soap_envelope_end_in(s) || soap_end_recv(s))
    return soap_closesock(s);
  return soap_closesock(s);
}

int StatusServiceBinding::getPageConfig(ss__RegisteredServiceUserInfo* userInfo, ss__getPageConfigResponse& out) {
  if (soap) soap_default_ss__getPageConfigResponse(soap, &out);
  int rc = Call([&](struct soap* s, const char* url) { return soap_send_ss__getPageConfig(s, url, nullptr, userInfo); },
                "ss:getPageConfigResponse", ReadPageConfig, &out);
  if (rc && soap) soap_default_ss__getPageConfigResponse(soap, &out);  // a failed answer leaves no value
  return rc;
}

int StatusServiceBinding::setPageConfig(ss__RegisteredServiceUserInfo* userInfo, ss__PageConfigInfo* configInfo,
                                        ss__setPageConfigResponse&) {
  return Call(
      [&](struct soap* s, const char* url) { return soap_send_ss__setPageConfig(s, url, nullptr, userInfo, configInfo); },
      "ss:setPageConfigResponse", nullptr, nullptr);
}

int StatusServiceBinding::openTrustedPage(ss__RegisteredServiceUserInfo* userInfo, ArrayOfAuctionBidInfo* bidsInfo,
                                          bool autoRegroup, ss__openTrustedPageResponse& out) {
  if (soap) soap_default_ss__openTrustedPageResponse(soap, &out);
  int rc = Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__openTrustedPage(s, url, nullptr, userInfo, bidsInfo, autoRegroup);
      },
      "ss:openTrustedPageResponse", ReadStatusPage, &out);
  if (rc && soap) soap_default_ss__openTrustedPageResponse(soap, &out);  // a failed answer leaves no value
  return rc;
}

int StatusServiceBinding::closePage(ss__RegisteredServiceUserInfo* userInfo, ss__PageClosingInfo* closingInfo,
                                    ss__closePageResponse&) {
  return Call(
      [&](struct soap* s, const char* url) { return soap_send_ss__closePage(s, url, nullptr, userInfo, closingInfo); },
      "ss:closePageResponse", nullptr, nullptr);
}

int StatusServiceBinding::setPageData(ss__RegisteredServiceUserInfo* userInfo, int pageId,
                                      ss__StatusPageDataInfo* pageDataInfo, ss__setPageDataResponse&) {
  return Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__setPageData(s, url, nullptr, userInfo, pageId, pageDataInfo);
      },
      "ss:setPageDataResponse", nullptr, nullptr);
}

int StatusServiceBinding::setAcknowledgedBuyerData(ss__RegisteredServiceUserInfo* userInfo, int pageId,
                                                   ss__BuyerDataInfo* buyerDataInfo,
                                                   ss__setAcknowledgedBuyerDataResponse&) {
  return Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__setAcknowledgedBuyerData(s, url, nullptr, userInfo, pageId, buyerDataInfo);
      },
      "ss:setAcknowledgedBuyerDataResponse", nullptr, nullptr);
}

int StatusServiceBinding::setItemData(ss__RegisteredServiceUserInfo* userInfo, int pageId, ArrayOfItemInfo* itemsInfo,
                                      ss__setItemDataResponse&) {
  return Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__setItemData(s, url, nullptr, userInfo, pageId, itemsInfo);
      },
      "ss:setItemDataResponse", nullptr, nullptr);
}

int StatusServiceBinding::setPackageData(ss__RegisteredServiceUserInfo* userInfo, int pageId,
                                         ArrayOfPackageInfo* packagesInfo, ss__setPackageDataResponse&) {
  return Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__setPackageData(s, url, nullptr, userInfo, pageId, packagesInfo);
      },
      "ss:setPackageDataResponse", nullptr, nullptr);
}

int StatusServiceBinding::setAllData(ss__RegisteredServiceUserInfo* userInfo, int pageId,
                                     ss__StatusPageDataInfo* pageDataInfo, ss__BuyerDataInfo* buyerDataInfo,
                                     ArrayOfItemInfo* itemsInfo, ArrayOfPackageInfo* packagesInfo,
                                     ss__setAllDataResponse&) {
  return Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__setAllData(s, url, nullptr, userInfo, pageId, pageDataInfo, buyerDataInfo, itemsInfo,
                                        packagesInfo);
      },
      "ss:setAllDataResponse", nullptr, nullptr);
}

int StatusServiceBinding::getPageChangesInfo(ss__RegisteredServiceUserInfo* userInfo, ArrayOf_xsd_int* pageIds,
                                             time_t cutoffEntryDate, ss__getPageChangesInfoResponse& out) {
  if (soap) soap_default_ss__getPageChangesInfoResponse(soap, &out);
  int rc = Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__getPageChangesInfo(s, url, nullptr, userInfo, pageIds, cutoffEntryDate);
      },
      "ss:getPageChangesInfoResponse", ReadPageChanges, &out);
  if (rc && soap) soap_default_ss__getPageChangesInfoResponse(soap, &out);  // a failed answer leaves no value
  return rc;
}

int StatusServiceBinding::getBuyerData(ss__RegisteredServiceUserInfo* userInfo, ArrayOf_xsd_int* pageIds,
                                       ss__getBuyerDataResponse& out) {
  if (soap) soap_default_ss__getBuyerDataResponse(soap, &out);
  int rc = Call(
      [&](struct soap* s, const char* url) { return soap_send_ss__getBuyerData(s, url, nullptr, userInfo, pageIds); },
      "ss:getBuyerDataResponse", ReadBuyerData, &out);
  if (rc && soap) soap_default_ss__getBuyerDataResponse(soap, &out);  // a failed answer leaves no value
  return rc;
}

int StatusServiceBinding::setDataEntryConstraints(ss__RegisteredServiceUserInfo* in0, int in1, bool in2, bool in3,
                                                  bool in4, bool in5, ss__setDataEntryConstraintsResponse&) {
  return Call(
      [&](struct soap* s, const char* url) {
        return soap_send_ss__setDataEntryConstraints(s, url, nullptr, in0, in1, in2, in3, in4, in5);
      },
      "ss:setDataEntryConstraintsResponse", nullptr, nullptr);
}

const char* StatusServiceBinding::FaultCode() const {
  if (!soap || !soap->fault) return nullptr;
  if (soap->fault->faultcode) return soap->fault->faultcode;
  if (soap->fault->SOAP_ENV__Code) return soap->fault->SOAP_ENV__Code->SOAP_ENV__Value;
  return nullptr;
}

const char* StatusServiceBinding::FaultString() const {
  if (!soap || !soap->fault) return nullptr;
  if (soap->fault->faultstring) return soap->fault->faultstring;
  if (soap->fault->SOAP_ENV__Reason) return soap->fault->SOAP_ENV__Reason->SOAP_ENV__Text;
  return nullptr;
}

ss__StatusServiceFault* StatusServiceBinding::DetailFault() const {
  if (!soap || !soap->fault) return nullptr;
  const SOAP_ENV__Detail* detail = soap->fault->detail ? soap->fault->detail : soap->fault->SOAP_ENV__Detail;
  if (!detail || !detail->fault) return nullptr;
  void* p = detail->fault;
  switch (detail->__type) {
#define VORLEN_FAULT_CLASS(name) \
  case SOAP_TYPE_ss__##name:     \
    return static_cast<ss__##name*>(p);
#define VORLEN_FAULT_WRAPPER(name) \
  case SOAP_TYPE__ss__##name:      \
    return static_cast<_ss__##name*>(p)->fault;
    VORLEN_FAULT_CLASS(StatusServiceFault)
    VORLEN_FAULT_CLASS(SecurityFault)
    VORLEN_FAULT_CLASS(UserAuthorizationFault)
    VORLEN_FAULT_CLASS(PageStateFault)
#define VORLEN_NAMED_FAULT(name) VORLEN_FAULT_CLASS(name) VORLEN_FAULT_WRAPPER(name)
    VORLEN_NAMED_FAULT(AuctionDoesNotExistFault)
    VORLEN_NAMED_FAULT(BidDoesNotExistFault)
    VORLEN_NAMED_FAULT(IllegalArgumentFault)
    VORLEN_NAMED_FAULT(PageAlreadyOpenedFault)
    VORLEN_NAMED_FAULT(PageClosedFault)
    VORLEN_NAMED_FAULT(PageDoesNotExistFault)
    VORLEN_NAMED_FAULT(PageNotOpenedFault)
    VORLEN_NAMED_FAULT(PagesDoNotHaveCommonBidsFault)
    VORLEN_NAMED_FAULT(ServiceUnavailableFault)
    VORLEN_NAMED_FAULT(StatusesDisabledFault)
    VORLEN_NAMED_FAULT(UnsupportedOperationFault)
    VORLEN_NAMED_FAULT(UserAuthenticationFault)
    VORLEN_NAMED_FAULT(UserIsNotPageOwnerFault)
    VORLEN_NAMED_FAULT(UserIsNotSellerInAuctionFault)
#undef VORLEN_NAMED_FAULT
#undef VORLEN_FAULT_WRAPPER
#undef VORLEN_FAULT_CLASS
    default:
      return nullptr;
  }
}
