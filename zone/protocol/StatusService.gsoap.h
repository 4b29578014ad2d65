// Definition of the seller-zone status service (SOAP 1.1, RPC style, SOAP encoding),
// input of the soapcpp2 code generator. Not a C++ header: soapcpp2 turns it into the
// serialisers, the client call routines and (for the test service) the server skeleton.

//gsoap ss service name:       StatusService
//gsoap ss service style:      rpc
//gsoap ss service encoding:   encoded
//gsoap ss service namespace:  http://www.kordel.pl/webservices/StatusService
//gsoap ss service location:   https://strefa.vantor.pl/rpcrouter
//gsoap ss schema namespace:   http://www.kordel.pl/webservices/StatusService



// ---- simple types --------------------------------------------------------------
typedef char ss__ServiceIdType;            // xsd:byte
typedef int ss__PageIdType;                // xsd:int
typedef LONG64 ss__ServiceUserIdType;      // xsd:long
typedef char *ss__CurrencyType;            // xsd:string
typedef char *ss__VantorURLType;           // xsd:string, at most 255 characters (not enforced: never strict)

class ss__ItemInfo;
class ss__PackageInfo;
class ss__AuctionBidInfo;
class ss__BuyerDataInfo;
class ss__StatusPageInfo;

// ---- SOAP-encoded arrays ---------------------------------------------------------
class ArrayOfAuctionBidInfo {
 public:
  ss__AuctionBidInfo **__ptr;
  int __size;
  struct soap *soap;
};

class ArrayOfBuyerDataInfo {
 public:
  ss__BuyerDataInfo **__ptr;
  int __size;
  struct soap *soap;
};

class ArrayOfStatusPageInfo {
 public:
  ss__StatusPageInfo **__ptr;
  int __size;
  struct soap *soap;
};

class ArrayOfItemInfo {
 public:
  ss__ItemInfo **__ptr;
  int __size;
  struct soap *soap;
};

class ArrayOfPackageInfo {
 public:
  ss__PackageInfo **__ptr;
  int __size;
  struct soap *soap;
};

class ArrayOf_xsd_int {
 public:
  int *__ptr;
  int __size;
  struct soap *soap;
};

// ---- complex types ---------------------------------------------------------------
class ss__RegisteredServiceUserInfo {
 public:
  char **registrationId 0;
  ss__ServiceUserIdType serviceUserId 1;
  ss__ServiceIdType serviceId 1;
  struct soap *soap;
};

class ss__PageConfigInfo {
 public:
  bool statusesEnabled 1;
  bool allowBillingAddressEntry 1;
  bool allowDeliveryAddressEntry 1;
  char **sellerShortDescription 0;
  ss__VantorURLType sellerUrl 0;
  struct soap *soap;
};

class ss__AuctionInfo {
 public:
  char *auctionId 0;
  ss__ServiceIdType serviceId 1;
  struct soap *soap;
};

class ss__AuctionBidInfo {
 public:
  ss__AuctionInfo auction 1;
  ss__ServiceUserIdType buyerId 1;
  struct soap *soap;
};

class ss__NotesInfo {
 public:
  bool trusted 1;
  char **notes 0;
  struct soap *soap;
};

class ss__AddressInfo {
 public:
  bool trusted 1;
  char *name 0;
  char *firstLine 0;
  char *secondLine 0;
  char **zipCode 0;
  char *city 0;
  char **country 0;
  char **company 0;
  char **nip 0;
  struct soap *soap;
};

class ss__BuyerDataInfo {
 public:
  ArrayOfAuctionBidInfo *bids 0;
  ss__NotesInfo *notes 0;
  ss__AddressInfo *billingAddress 0;
  ss__AddressInfo *deliveryAddress 0;
  struct soap *soap;
};

class ss__StatusPageInfo {
 public:
  char **pageUrlPart 0;
  ss__PageIdType pageId 1;
  time_t *lastBuyerDataEntryDate 0;
  ArrayOfBuyerDataInfo *lastEnteredUntrustedBuyerData 0;
  struct soap *soap;
};

class ss__PageClosingInfo {
 public:
  ss__PageIdType closedPageId 1;
  ss__PageIdType *regroupedPageId 0;
  struct soap *soap;
};

class ss__StatusPageDataInfo {
 public:
  time_t *remittanceDate 0;
  bool sentAll 1;
  ss__CurrencyType baseCurrency 0;
  double *payment 0;
  ss__CurrencyType paymentCurrency 0;
  time_t *buyDate 0;
  struct soap *soap;
};

class ss__ItemInfo {
 public:
  char *name 0;
  int quantity 1;
  double *price 0;
  int sortOrder 1;
  struct soap *soap;
};

class ss__PackageInfo {
 public:
  char *symbol 0;
  ss__VantorURLType statusLink 0;
  double *charge 0;
  ss__CurrencyType chargeCurrency 0;
  time_t *sentDate 0;
  ArrayOfItemInfo *items 0;
  int sortOrder 1;
  struct soap *soap;
};

// ---- fault classes ---------------------------------------------------------------
class ss__StatusServiceFault {
 public:
  struct soap *soap;
};

class ss__SecurityFault : public ss__StatusServiceFault {
 public:
  ss__RegisteredServiceUserInfo *userInfo 0;
};

class ss__UserAuthenticationFault : public ss__SecurityFault {
 public:
};

class ss__UserAuthorizationFault : public ss__SecurityFault {
 public:
};

class ss__UserIsNotPageOwnerFault : public ss__UserAuthorizationFault {
 public:
  ss__PageIdType pageId 1;
};

class ss__UserIsNotSellerInAuctionFault : public ss__UserAuthorizationFault {
 public:
  ss__AuctionInfo *auctionInfo 0;
};

class ss__PageStateFault : public ss__StatusServiceFault {
 public:
  ss__StatusPageInfo *pageInfo 0;
};

class ss__PageAlreadyOpenedFault : public ss__PageStateFault {
 public:
};

class ss__PageClosedFault : public ss__PageStateFault {
 public:
};

class ss__PageNotOpenedFault : public ss__PageStateFault {
 public:
};

class ss__PagesDoNotHaveCommonBidsFault : public ss__StatusServiceFault {
 public:
  ss__PageIdType page1Id 1;
  ss__PageIdType page2Id 1;
};

class ss__PageDoesNotExistFault : public ss__StatusServiceFault {
 public:
  ss__PageIdType pageId 1;
};

class ss__StatusesDisabledFault : public ss__StatusServiceFault {
 public:
  ss__PageConfigInfo *configInfo 0;
};

class ss__BidDoesNotExistFault : public ss__StatusServiceFault {
 public:
  ss__AuctionBidInfo *bidInfo 0;
};

class ss__AuctionDoesNotExistFault : public ss__StatusServiceFault {
 public:
  ss__AuctionInfo *auctionInfo 0;
};

class ss__UnsupportedOperationFault : public ss__StatusServiceFault {
 public:
};

class ss__IllegalArgumentFault : public ss__StatusServiceFault {
 public:
};

class ss__ServiceUnavailableFault : public ss__StatusServiceFault {
 public:
};

// Detail wrapper elements: the element named like the fault type, holding "fault".
class _ss__AuctionDoesNotExistFault { public: ss__AuctionDoesNotExistFault *fault; struct soap *soap; };
class _ss__BidDoesNotExistFault { public: ss__BidDoesNotExistFault *fault; struct soap *soap; };
class _ss__IllegalArgumentFault { public: ss__IllegalArgumentFault *fault; struct soap *soap; };
class _ss__PageAlreadyOpenedFault { public: ss__PageAlreadyOpenedFault *fault; struct soap *soap; };
class _ss__PageClosedFault { public: ss__PageClosedFault *fault; struct soap *soap; };
class _ss__PageDoesNotExistFault { public: ss__PageDoesNotExistFault *fault; struct soap *soap; };
class _ss__PageNotOpenedFault { public: ss__PageNotOpenedFault *fault; struct soap *soap; };
class _ss__PagesDoNotHaveCommonBidsFault { public: ss__PagesDoNotHaveCommonBidsFault *fault; struct soap *soap; };
class _ss__ServiceUnavailableFault { public: ss__ServiceUnavailableFault *fault; struct soap *soap; };
class _ss__StatusesDisabledFault { public: ss__StatusesDisabledFault *fault; struct soap *soap; };
class _ss__UnsupportedOperationFault { public: ss__UnsupportedOperationFault *fault; struct soap *soap; };
class _ss__UserAuthenticationFault { public: ss__UserAuthenticationFault *fault; struct soap *soap; };
class _ss__UserIsNotPageOwnerFault { public: ss__UserIsNotPageOwnerFault *fault; struct soap *soap; };
class _ss__UserIsNotSellerInAuctionFault { public: ss__UserIsNotSellerInAuctionFault *fault; struct soap *soap; };

// The detail of a SOAP Fault: one decoded element (type id + object) and the rest as XML.
struct SOAP_ENV__Detail {
  int __type;
  void *fault;
  _XML __any;
};

// ---- operations ------------------------------------------------------------------
struct ss__getPageConfigResponse { ss__PageConfigInfo *getPageConfigReturn; };
struct ss__setPageConfigResponse { };
struct ss__openTrustedPageResponse { ss__StatusPageInfo *openTrustedPageReturn; };
struct ss__closePageResponse { };
struct ss__setPageDataResponse { };
struct ss__setAcknowledgedBuyerDataResponse { };
struct ss__setItemDataResponse { };
struct ss__setPackageDataResponse { };
struct ss__setAllDataResponse { };
struct ss__getPageChangesInfoResponse { ArrayOfStatusPageInfo *getPageChangesInfoReturn; };
struct ss__getBuyerDataResponse { ArrayOfBuyerDataInfo *getBuyerDataReturn; };
struct ss__setDataEntryConstraintsResponse { };

//gsoap ss service method-action: getPageConfig ""
int ss__getPageConfig(ss__RegisteredServiceUserInfo *userInfo, struct ss__getPageConfigResponse &result);
//gsoap ss service method-action: setPageConfig ""
int ss__setPageConfig(ss__RegisteredServiceUserInfo *userInfo, ss__PageConfigInfo *configInfo,
                      struct ss__setPageConfigResponse &result);
//gsoap ss service method-action: openTrustedPage ""
int ss__openTrustedPage(ss__RegisteredServiceUserInfo *userInfo, ArrayOfAuctionBidInfo *bidsInfo, bool autoRegroup,
                        struct ss__openTrustedPageResponse &result);
//gsoap ss service method-action: closePage ""
int ss__closePage(ss__RegisteredServiceUserInfo *userInfo, ss__PageClosingInfo *closingInfo,
                  struct ss__closePageResponse &result);
//gsoap ss service method-action: setPageData ""
int ss__setPageData(ss__RegisteredServiceUserInfo *userInfo, int pageId, ss__StatusPageDataInfo *pageDataInfo,
                    struct ss__setPageDataResponse &result);
//gsoap ss service method-action: setAcknowledgedBuyerData ""
int ss__setAcknowledgedBuyerData(ss__RegisteredServiceUserInfo *userInfo, int pageId, ss__BuyerDataInfo *buyerDataInfo,
                                 struct ss__setAcknowledgedBuyerDataResponse &result);
//gsoap ss service method-action: setItemData ""
int ss__setItemData(ss__RegisteredServiceUserInfo *userInfo, int pageId, ArrayOfItemInfo *itemsInfo,
                    struct ss__setItemDataResponse &result);
//gsoap ss service method-action: setPackageData ""
int ss__setPackageData(ss__RegisteredServiceUserInfo *userInfo, int pageId, ArrayOfPackageInfo *packagesInfo,
                       struct ss__setPackageDataResponse &result);
//gsoap ss service method-action: setAllData ""
int ss__setAllData(ss__RegisteredServiceUserInfo *userInfo, int pageId, ss__StatusPageDataInfo *pageDataInfo,
                   ss__BuyerDataInfo *buyerDataInfo, ArrayOfItemInfo *itemsInfo, ArrayOfPackageInfo *packagesInfo,
                   struct ss__setAllDataResponse &result);
//gsoap ss service method-action: getPageChangesInfo ""
int ss__getPageChangesInfo(ss__RegisteredServiceUserInfo *userInfo, ArrayOf_xsd_int *pageIds, time_t cutoffEntryDate,
                           struct ss__getPageChangesInfoResponse &result);
//gsoap ss service method-action: getBuyerData ""
int ss__getBuyerData(ss__RegisteredServiceUserInfo *userInfo, ArrayOf_xsd_int *pageIds,
                     struct ss__getBuyerDataResponse &result);
//gsoap ss service method-action: setDataEntryConstraints ""
int ss__setDataEntryConstraints(ss__RegisteredServiceUserInfo *in0, int in1, bool in2, bool in3, bool in4, bool in5,
                                struct ss__setDataEntryConstraintsResponse &result);
