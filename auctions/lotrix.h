#pragma once
// Lotrix's public face, as its type library LotrixLib describes it: the class ids, the AppID,
// the library id, the enumerations and, as each class is built, the interfaces it serves.
// Callers (the host, Vorlen) reach Lotrix through COM only: they include this header and create
// the classes by CLSID or ProgID.
#include "framework/interfaces.h"
#include "platform/ado/ado.h"
#include "platform/com/com.h"

// ---------------------------------------------------------------------------------------------
// The type library and the server's AppID.

struct LotrixLib;
VANTOR_UUIDOF(LotrixLib, "7A85D577-B402-4E03-853E-3BBACCE3DDB6");
struct LotrixAppID;
VANTOR_UUIDOF(LotrixAppID, "6E142860-DB01-4428-BBC5-1F55333D010E");
#define LIBID_LotrixLib __uuidof(LotrixLib)
#define APPID_Lotrix __uuidof(LotrixAppID)

// ---------------------------------------------------------------------------------------------
// Classes. ProgIDs are "Vantor.<name>.1" with the version-independent "Vantor.<name>", the name
// being the class's without "Co" for the account manager, the example data and the services
// manager ("Vantor.RegManager", "Vantor.RegistrationExampleData", "Vantor.AuctServMgr").

struct CoRegistration;             // an auction-site account
VANTOR_UUIDOF(CoRegistration, "8EBBCD2E-D698-4216-A252-58BC90340C17");
struct CoSite;                     // an auction site and its dictionaries
VANTOR_UUIDOF(CoSite, "0D318F71-ADEB-4CF2-B0E8-7B65B21E30B8");
struct CoConnectorInfo;            // a site connector's description
VANTOR_UUIDOF(CoConnectorInfo, "3303AB20-C071-4FE8-AAF1-F92DF816D68A");
struct CoRegManager;               // the account manager
VANTOR_UUIDOF(CoRegManager, "DEE176C6-A09A-4E2A-8DDC-55C480A7B453");
struct CoRegistrationExampleData;  // example account data of a connector
VANTOR_UUIDOF(CoRegistrationExampleData, "2A8DA6D7-990F-4BBA-BECB-1413E63804DC");
struct CoAuctServMgr;              // the auction services (synchronisation) manager
VANTOR_UUIDOF(CoAuctServMgr, "65476E01-3D6E-4BE1-8005-18BDC1EA8BE0");
// Declared by the type library only: never served nor registered.
struct CoLotrixSync;
VANTOR_UUIDOF(CoLotrixSync, "B8BE4E75-F64C-469B-96DE-F0FD42E359C9");

#define CLSID_CoRegistration __uuidof(CoRegistration)
#define CLSID_CoSite __uuidof(CoSite)
#define CLSID_CoConnectorInfo __uuidof(CoConnectorInfo)
#define CLSID_CoRegManager __uuidof(CoRegManager)
#define CLSID_CoRegistrationExampleData __uuidof(CoRegistrationExampleData)
#define CLSID_CoAuctServMgr __uuidof(CoAuctServMgr)
#define CLSID_CoLotrixSync __uuidof(CoLotrixSync)

// ---------------------------------------------------------------------------------------------
// Enumerations.

// The request flags of an auction download (`IAuctionSiteConnector::ReceiveAuctions`), combined:
// the kinds of auctions wanted, and whether they come with their full data (descriptions and
// images).
enum lotrixAuctionRequest : LONG {
  lotrixAuctionRunning = 0x100,
  lotrixAuctionSold = 0x1000,
  lotrixAuctionUnsold = 0x2000,
  lotrixAuctionFullData = 0xC,
};

// The kinds of site-specific data a site object gives for editing.
enum lotrixSpecificDataType : LONG {  // 32 bits as an interface enumeration: any value a caller passes is one to refuse
  lotrixSpecificDataFirst = -1,
  lotrixSpecificDataCountry = 0,
  lotrixSpecificDataRegion = 1,
  lotrixSpecificDataAuctionType = 2,
  lotrixSpecificDataEnhancement = 3,
  lotrixSpecificDataPayment = 4,
  lotrixSpecificDataShipping = 5,
  lotrixSpecificDataCategory = 6,
  lotrixSpecificDataCategoryParent = 7,
  lotrixSpecificDataDuration = 8,
  lotrixSpecificDataRegistration = 9,
  lotrixSpecificDataCatSpecific = 10,
  lotrixSpecificDataCatSpecificDict = 11,
  lotrixSpecificDataShopCategory = 12,
  lotrixSpecificDataShopCategoryParent = 13,
  lotrixSpecificDataLast = 14,
};

// ---------------------------------------------------------------------------------------------
// Interfaces. Dispatch and dual interfaces are declared on IDispatch, so their first own method
// sits at slot 7; nothing calls them late-bound (the implementations answer IDispatch's four
// methods with E_NOTIMPL, platform::com::DispatchFace).

// An auction site and its dictionaries (CoSite). The putters write the site's row; saving it is
// the data object's (IFlgItem). Dictionaries of the read-only forms stay connected and are kept
// by the object (the same recordset each time); the editable forms are new, detached recordsets.
// Unsupported kinds answer E_NOTIMPL.
struct ISite : public IUnknown {
  STDMETHOD(GetId)(LONG* id) = 0;                                                         // 3
  STDMETHOD(PutSiteId)(LONG siteId) = 0;                                                  // 4
  STDMETHOD(GetSiteId)(LONG* siteId) = 0;                                                 // 5
  STDMETHOD(PutSvcProvId)(LONG svcProvId) = 0;                                            // 6
  STDMETHOD(GetSvcProvId)(LONG* svcProvId) = 0;                                           // 7
  STDMETHOD(PutCurrency)(BSTR currency) = 0;                                              // 8
  STDMETHOD(GetCurrency)(BSTR* currency) = 0;                                             // 9
  STDMETHOD(GetSpecificData)(lotrixSpecificDataType kind, _Recordset** data) = 0;         // 10
  STDMETHOD(GetSpecificDataExt)(lotrixSpecificDataType kind, LONG ident, _Recordset** data) = 0;  // 11
  STDMETHOD(GetSpecificRegDataExt)(lotrixSpecificDataType kind, LONG ident, LONG regId,
                                   _Recordset** data) = 0;                                // 12
  STDMETHOD(GetSpecificDataForEdit)(lotrixSpecificDataType kind, _Recordset** data) = 0;  // 13
  STDMETHOD(GetSpecificDataExtForEdit)(lotrixSpecificDataType kind, LONG ident, _Recordset** data) = 0;  // 14
};
VANTOR_UUIDOF(ISite, "BEF03BDE-83F8-44E6-B186-8A5555CB7428");

// A site connector's description (CoConnectorInfo): each call hands out the six fields "Name",
// "ServiceProvider", "Description", "Producer", "Version" and "Copyright" of one fresh empty row.
struct IConnectorInfo : public IUnknown {
  STDMETHOD(GetFields)(IDispatch** fields) = 0;   // 3
};
VANTOR_UUIDOF(IConnectorInfo, "C3276FA4-16A1-4D59-815D-EA599EB0EF97");

// An auction-site account (CoRegistration), beside its extension interfaces LotrixRegistration
// and LotrixRegCustData (framework/interfaces.h). The type library calls it dual (DISPIDs
// 0x60010000 to 0x60010004 for the first five members, 1 to 6 for the seller-zone properties);
// its callers bind early and reach its members from slot 3, so it stands on IUnknown.
struct IRegistration : public IUnknown {
  STDMETHOD(GetConnectorClsid)(GUID* clsid) = 0;                                 // 3
  STDMETHOD(InitNew)(LONG svcProvId) = 0;                                        // 4
  STDMETHOD(GetDefaultCtx)(LONG* regId, LONG* regSiteId) = 0;                    // 5
  STDMETHOD(GetInfo)(BSTR* info) = 0;                                            // 6
  STDMETHOD(StatusesOptionsEdit)(IUnknown* window, IUnknown* instance) = 0;      // 7
  STDMETHOD(GetST_StatusesServiceActive)(BOOL* value) = 0;                       // 8
  STDMETHOD(PutST_StatusesServiceActive)(BOOL value) = 0;                        // 9
  STDMETHOD(GetST_ShowDocumentAddressForm)(BOOL* value) = 0;                     // 10
  STDMETHOD(PutST_ShowDocumentAddressForm)(BOOL value) = 0;                      // 11
  STDMETHOD(GetST_ShowDeliveryAddressForm)(BOOL* value) = 0;                     // 12
  STDMETHOD(PutST_ShowDeliveryAddressForm)(BOOL value) = 0;                      // 13
  STDMETHOD(GetST_Description)(BSTR* value) = 0;                                 // 14
  STDMETHOD(PutST_Description)(BSTR value) = 0;                                  // 15
  STDMETHOD(GetST_WWW)(BSTR* value) = 0;                                         // 16
  STDMETHOD(PutST_WWW)(BSTR value) = 0;                                          // 17
  STDMETHOD(GetST_LastSynch)(VARIANT* value) = 0;                                // 18
  STDMETHOD(PutST_LastSynch)(VARIANT value) = 0;                                 // 19
};
VANTOR_UUIDOF(IRegistration, "8663799A-7C05-408E-8C98-383E7C3EFF85");

// The account manager (CoRegManager): lists, adds, edits, deletes, activates and deactivates the
// seller's accounts and opens their seller-zone settings. Dual; its own methods start at slot 7
// (DISPIDs 1 to 7 in this order).
struct IRegManager : public IDispatch {
  STDMETHOD(Show)(LONG hwndParent) = 0;                                   // 7
  STDMETHOD(RegAdd)(LONG hwndParent, LONG lServiceId, LONG* pOut) = 0;    // 8
  STDMETHOD(RegEdit)(LONG hwndParent, LONG lRegId) = 0;                   // 9
  STDMETHOD(RegDelete)(LONG hwndParent, LONG lRegId) = 0;                 // 10
  STDMETHOD(GetRegList)(_Recordset** pVal) = 0;                           // 11
  STDMETHOD(RegActivate)(LONG lRegId, VARIANT_BOOL bActive) = 0;          // 12
  STDMETHOD(RegEditStatuses)(LONG hwndParent, LONG lRegId) = 0;           // 13
};
VANTOR_UUIDOF(IRegManager, "39AEC433-5978-439D-B0CF-A4AEE23BECDE");
_COM_SMARTPTR_TYPEDEF(IRegManager, __uuidof(IRegManager));

// The callback a site connector's session calls synchronously during a download (dispatch; its
// members from slot 7): each received record comes in a container positioned on it.
struct LotrixSync : public IDispatch {
  STDMETHOD(IsTerminated)(VARIANT_BOOL* terminated) = 0;                                      // 7
  // 8: one auctions row, the download's images container (or null) and the check-only flag.
  STDMETHOD(AuctionReceived)(_Recordset* auction, _Recordset* images, VARIANT_BOOL checkOnly) = 0;
  STDMETHOD(TransactionReceived)(_Recordset* transaction) = 0;                                // 9
  STDMETHOD(CustomerReceived)(_Recordset* customer) = 0;                                      // 10
  STDMETHOD(CommentReceived)(_Recordset* comment) = 0;                                        // 11
  STDMETHOD(CategoriesProgress)(LONG percent) = 0;                                            // 12
};
VANTOR_UUIDOF(LotrixSync, "C4D1EC89-84D1-497C-887D-8C7E149FE792");

// The auction services manager (CoAuctServMgr): the host's receive and send requests. Dual,
// DISPIDs 10 to 15, its members from slot 7. Cancel in an offered dialog answers S_FALSE.
struct IAuctServMgr : public IDispatch {
  STDMETHOD(ReceiveUserData)(BOOL useDefaults) = 0;                                           // 7
  STDMETHOD(ReceiveParams)(BOOL checkVersions, BOOL force) = 0;                               // 8
  STDMETHOD(SendUserData)(BOOL useDefaults) = 0;                                              // 9
  // 10 to 12: one id (VT_I4) or a one-dimensional VT_I4 array of ids to send.
  STDMETHOD(SendAuctions)(VARIANT ids) = 0;
  STDMETHOD(SendAuctionsNotes)(VARIANT ids) = 0;
  STDMETHOD(SendFeedbacks)(VARIANT transactionIds) = 0;
};
VANTOR_UUIDOF(IAuctServMgr, "85B44D64-2FDF-4A73-8341-FB53B1050209");

_COM_SMARTPTR_TYPEDEF(ISite, __uuidof(ISite));
_COM_SMARTPTR_TYPEDEF(IConnectorInfo, __uuidof(IConnectorInfo));
_COM_SMARTPTR_TYPEDEF(IRegistration, __uuidof(IRegistration));
_COM_SMARTPTR_TYPEDEF(LotrixSync, __uuidof(LotrixSync));
_COM_SMARTPTR_TYPEDEF(IAuctServMgr, __uuidof(IAuctServMgr));

// An ErrorList handle of LotrixRegistration names the account's error list (FLG_OBJECT_ERROR_INFO
// entries, framework/objerrors.h) while the account lives; in-process callers resolve it with
// Lotrix's export of this name (null for a handle no living account gave out).
class CObjErrorInfoArray;
using LotrixErrorListFn = const CObjErrorInfoArray* (*)(LONG handle);
inline constexpr const char kLotrixErrorListExport[] = "LotrixErrorList";

// ---------------------------------------------------------------------------------------------
// Outside components that Lotrix calls.

// The access-key converter: an account's password passes through it between the form the user
// types and the form stored in the account (the two conversions are inverse to each other).
struct IAccessKeyConverter : public IUnknown {
  STDMETHOD(ToStored)(BSTR typed, BSTR* stored) = 0;   // 3
  STDMETHOD(ToTyped)(BSTR stored, BSTR* typed) = 0;    // 4
};
VANTOR_UUIDOF(IAccessKeyConverter, "52D9B102-FE4D-4E38-9609-AA5A57A3CDF9");
struct AccessKeyConverter;
VANTOR_UUIDOF(AccessKeyConverter, "64FA053D-C1DD-42BC-A68F-6446109C0801");
#define CLSID_AccessKeyConverter __uuidof(AccessKeyConverter)
_COM_SMARTPTR_TYPEDEF(IAccessKeyConverter, __uuidof(IAccessKeyConverter));

// A site connector's session for one account (dual, its own members from slot 7). Every call
// answers an HRESULT; callers raise a negative one as a COM error carrying this interface's id.
// The containers are the exchange containers (auctions/sync/containers.h); during slots 24 and
// 40 to 42 the session calls the manager back through LotrixSync. Unused slots answer E_NOTIMPL.
struct IAuctionSiteConnector : public IDispatch {
  ZEPHRA_SLOT(7) ZEPHRA_SLOT(8) ZEPHRA_SLOT(9) ZEPHRA_SLOT(10) ZEPHRA_SLOT(11)
  // 12: the site of the account the next step works on (VT_I4, the site's number at its service).
  STDMETHOD(SetRegSite)(VARIANT site) = 0;
  ZEPHRA_SLOT(13) ZEPHRA_SLOT(14) ZEPHRA_SLOT(15) ZEPHRA_SLOT(16)
  STDMETHOD(Currency)(BSTR* currency) = 0;                                                   // 17
  // 18: the versions of the categories, of their attributes and of the form.
  STDMETHOD(GetParamVersions)(BSTR* categories, BSTR* attributes, BSTR* form) = 0;
  // 19: fills the category-field and field-dictionary containers.
  STDMETHOD(ReceiveCatSpecific)(_Recordset* fields, _Recordset* dictionary, VARIANT* result) = 0;
  // 20: fills the site dictionary of a kind (0 to 5).
  STDMETHOD(ReceiveSpecificData)(LONG kind, _Recordset* dictionary, VARIANT* result) = 0;
  ZEPHRA_SLOT(21) ZEPHRA_SLOT(22) ZEPHRA_SLOT(23)
  STDMETHOD(ReceiveCategories)(_Recordset* categories, BSTR* result) = 0;                    // 24
  // 25: the account's own (shop) categories.
  STDMETHOD(ReceiveRegCategories)(_Recordset* categories, BSTR* result) = 0;
  ZEPHRA_SLOT(26) ZEPHRA_SLOT(27) ZEPHRA_SLOT(28)
  // 29: after a failed slot 25, whether the account has no shop (the caller passes 0 and 0).
  STDMETHOD(GetErrorState)(LONG reserved, VARIANT_BOOL* state, LONG reserved2) = 0;
  // 30: sends the one comment row; `id` the comment's id at the site, 0 for none.
  STDMETHOD(SendComments)(_Recordset* comments, LONG* id) = 0;
  ZEPHRA_SLOT(31) ZEPHRA_SLOT(32)
  // 33: sends a prepared auction (the provider's auction object); `result` is ignored.
  STDMETHOD(SendAuction)(IHxAuction* auction, _Recordset* extra, VARIANT* result) = 0;
  ZEPHRA_SLOT(34) ZEPHRA_SLOT(35) ZEPHRA_SLOT(36) ZEPHRA_SLOT(37) ZEPHRA_SLOT(38)
  // 39: the manager's callback, given once right after the session opens.
  STDMETHOD(SetSync)(LotrixSync* sync) = 0;
  // 40: transactions with their customers and auctions; mode 1, or 2 (from the account's
  // history) with the account's custom data or null.
  STDMETHOD(ReceiveTransactions)(_Recordset* customers, _Recordset* transactions, _Recordset* auctions, LONG mode,
                                 LotrixRegCustData* customData) = 0;
  // 41: auctions and their images by request flags (`lotrixAuctionRequest`), changed since `since`
  // (0: any time).
  STDMETHOD(ReceiveAuctions)(_Recordset* auctions, _Recordset* images, LONG flags, DATE since) = 0;
  // 42: comments of a kind (0, then 1); `count` the last ones wanted, 0 all.
  STDMETHOD(ReceiveComments)(_Recordset* auctions, LONG kind, _Recordset* comments, LONG count) = 0;
};
VANTOR_UUIDOF(IAuctionSiteConnector, "EA503360-A6CE-4BFD-8D86-A279DE58A6DD");
_COM_SMARTPTR_TYPEDEF(IAuctionSiteConnector, __uuidof(IAuctionSiteConnector));

// A site connector, one COM class per service provider (its ProgID in sl_ServiceProvider), on the
// account's level. Dual, its own members from slot 7.
struct IAuctionSiteAccount : public IDispatch {
  // 7: describes the connector in the six fields of a CoConnectorInfo row.
  STDMETHOD(DescribeConnector)(IDispatch* fields) = 0;
  // 8: connects to the service for a new account and fills its service data.
  STDMETHOD(ConnectAccount)(LotrixRegistration* account) = 0;
  // 9: the connector's own account dialog: it edits (and saves) the account, may leave a text
  // in `info`, and answers VARIANT_TRUE when the user accepted.
  STDMETHOD(EditAccount)(LotrixRegistration* account, BSTR* info, VARIANT_BOOL* accepted) = 0;
  ZEPHRA_SLOT(10)
  ZEPHRA_SLOT(11)
  // 12: brings an account's service data up to date (the account is in edit mode).
  STDMETHOD(FixAccount)(LotrixRegistration* account) = 0;
  // 13: opens the session of an account.
  STDMETHOD(OpenSession)(LotrixRegistration* account, IAuctionSiteConnector** session) = 0;
  ZEPHRA_SLOT(14)
  ZEPHRA_SLOT(15)
  // 16 to 18: texts of the account at the service, by its user id (VT_I8) and service provider.
  STDMETHOD(GetConnectorValue)(VARIANT userId, LONG svcProvId, BSTR* value) = 0;
  STDMETHOD(GetMyAuctionsUrl)(VARIANT userId, LONG svcProvId, BSTR* url) = 0;
  STDMETHOD(GetMyPageUrl)(VARIANT userId, LONG svcProvId, BSTR* url) = 0;
};
VANTOR_UUIDOF(IAuctionSiteAccount, "DE8F117A-15BE-48C8-B7F1-0462735AE222");
_COM_SMARTPTR_TYPEDEF(IAuctionSiteAccount, __uuidof(IAuctionSiteAccount));
