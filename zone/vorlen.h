#pragma once
// Vorlen's public face, as its type library VorlenLib describes it: the class ids, the AppID, the
// library id, the records and the interfaces its classes serve. Callers (the host, Lotrix's
// seller-zone settings dialog) reach Vorlen through COM only: they include this header and create
// the classes by CLSID or ProgID.
#include "platform/ado/ado.h"
#include "platform/com/com.h"

// ---------------------------------------------------------------------------------------------
// The type library and the server's AppID.

struct VorlenLib;
VANTOR_UUIDOF(VorlenLib, "E0400513-15B2-40F5-8205-787E85223CE4");
struct VorlenAppID;
VANTOR_UUIDOF(VorlenAppID, "C0A999B7-95F1-43DD-9808-486AAD48C154");
#define LIBID_VorlenLib __uuidof(VorlenLib)
#define APPID_Vorlen __uuidof(VorlenAppID)

// ---------------------------------------------------------------------------------------------
// Classes.

// The seller-zone connector: "Vantor.CoVorlenConnector.1", version-independent
// "Vantor.CoVorlenConnector".
struct CoVorlenConnector;
VANTOR_UUIDOF(CoVorlenConnector, "35EC495C-BD4D-48FC-B365-58787DF753C4");
#define CLSID_CoVorlenConnector __uuidof(CoVorlenConnector)

// The status manager: "Vantor.StatusMgr.1", version-independent "Vantor.StatusMgr".
struct CoStatusMgr;
VANTOR_UUIDOF(CoStatusMgr, "1CD9E92B-33A8-4115-99FF-E904F96EEF63");
#define CLSID_CoStatusMgr __uuidof(CoStatusMgr)

// ---------------------------------------------------------------------------------------------
// Enumerations.

// The jobs of a seller-zone synchronisation: the bits of IStatusMgr::Synchronize's flags. Each
// bit has a job log of its own (subtypes 15, 16, 17 and 18 in the bits' order); the jobs run in
// the order close, open, send, receive.
enum eStatusJob : LONG {  // 32 bits as an interface enumeration: any value a caller passes is one to refuse
  sjNoJob = 0,
  sjClosePages = 1,
  sjOpenPages = 2,
  sjReceiveBuyerData = 4,
  sjSendData = 8,
  sjAll = 15,
};

// ---------------------------------------------------------------------------------------------
// Records of the type library.

// Which parts of the status page the buyer may fill in (each a 32-bit boolean: non-zero = yes).
struct EntryConstraints {
  BOOL allEnabled;
  BOOL billAddressEnabled;
  BOOL delivAddressEnabled;
  BOOL notesEnabled;
};

// The records of SetAllData: `doSetData` first, then the fields of the service type of the same
// name without "Ex".
struct StatusPageDataInfoEx {
  BOOL doSetData;
  DATE remittanceDate;
  BOOL sentAll;
  BSTR baseCurrency;
  double payment;
  BSTR paymentCurrency;
  DATE buyDate;
};
struct NotesEx {
  BOOL doSetData;
  BOOL trusted;
  BSTR notes;
};
struct AddressInfoEx {
  BOOL doSetData;
  BOOL trusted;
  BSTR name;
  BSTR firstLine;
  BSTR secondLine;
  BSTR zipCode;
  BSTR city;
  BSTR country;
  BSTR company;
  BSTR nip;
};

// ---------------------------------------------------------------------------------------------
// Interfaces. Dispatch and dual interfaces are declared on IDispatch, so their first own method
// sits at slot 7; nothing calls them late-bound (the implementations answer IDispatch's four
// methods with E_NOTIMPL, platform::com::DispatchFace).

// The seller-zone connector: one method per service operation (DISPIDs 1 to 19 in this order).
// Containers are the exchange recordsets; those handed out belong to the caller. A failed
// service call sets error information whose description begins with the message library's
// text of the HRESULT.
struct IVorlenConnector : public IDispatch {
  STDMETHOD(GetPageConfig)(LONG lRegId, _Recordset** ppRsPageConfigData) = 0;                         // 1
  STDMETHOD(SetPageConfig)(LONG lRegId, _Recordset* ppRsPageConfigData) = 0;                          // 2
  STDMETHOD(CreateStatusesOptionsContainer)(_Recordset** ppOutRecordset) = 0;                         // 3
  STDMETHOD(CreateAuctionBidInfoContainer)(_Recordset** ppOutRecordset) = 0;                          // 4
  STDMETHOD(OpenTrustedPage)(LONG lRegId, _Recordset* pRsAuctionsBidInfo, BOOL bAutoRegroup,
                             _Recordset** ppRsStatusPageInfo, _Recordset** ppRsBuyerData,
                             _Recordset** ppRsBid) = 0;                                               // 5
  STDMETHOD(ClosePage)(LONG lRegId, LONG closedPageId, VARIANT vRegroupedPageId) = 0;                 // 6
  STDMETHOD(SetPageData)(LONG lRegId, LONG lPageId, _Recordset* pRsPageDataInfo) = 0;                 // 7
  STDMETHOD(SetAcknowledgedBuyerData)(LONG lRegId, LONG lPageId, _Recordset* pRsAuctionBidInfo,
                                      _Recordset* pRsBuyerData) = 0;                                  // 8
  STDMETHOD(CreatePageIdsContainer)(_Recordset** ppPageIds) = 0;                                      // 9
  STDMETHOD(GetBuyerData)(LONG lRegId, _Recordset* pRsPageIds, _Recordset** ppRsAuctionBidInfo,
                          _Recordset** ppRsBuyerData) = 0;                                            // 10
  STDMETHOD(CreateItemInfoContainer)(_Recordset** ppItemInfo) = 0;                                    // 11
  STDMETHOD(SetItemData)(LONG lRegId, LONG lPageId, _Recordset* pRsArrayOfItemInfo) = 0;              // 12
  STDMETHOD(CreatePackageInfoContainer)(_Recordset** ppRsPackageInfo) = 0;                            // 13
  STDMETHOD(SetPackageData)(LONG lRegId, LONG lPageId, _Recordset* pRsPackageInfo,
                            _Recordset* pRsArrayOfItemInfo) = 0;                                      // 14
  STDMETHOD(SetAllData)(LONG lRegId, LONG lPageId, StatusPageDataInfoEx* pageDataInfo,
                        _Recordset* pRsAuctionBidInfo, NotesEx* notes, AddressInfoEx* billingAddress,
                        AddressInfoEx* deliveryAddress, _Recordset* pRsArrayOfItemInfo,
                        _Recordset* pRsPackageInfo, _Recordset* pRsArrayOfPackageItemInfo) = 0;       // 15
  STDMETHOD(GetPageChangesInfo)(LONG lRegId, _Recordset* pRsPageIds, DATE cutoffEntryDate,
                                _Recordset** ppRsChangesInfo) = 0;                                    // 16
  STDMETHOD(CreateBuyerDataInfoContainer)(_Recordset** ppBuyerDataInfo) = 0;                          // 17
  STDMETHOD(CreatePageDataInfoContainer)(_Recordset** ppPageDataInfo) = 0;                            // 18
  STDMETHOD(SetDataEntryConstraints)(LONG lRegId, LONG lPageId, EntryConstraints ec) = 0;             // 19
};
VANTOR_UUIDOF(IVorlenConnector, "A89E69A2-9AE6-4B97-9C59-098172FEBB4B");
_COM_SMARTPTR_TYPEDEF(IVorlenConnector, __uuidof(IVorlenConnector));

// The status manager: runs the seller-zone jobs for every account whose seller zone is on,
// under the database lock of the seller-zone synchronisation (one workstation at a time).
struct IStatusMgr : public IUnknown {
  // 3: the jobs of `flags` (eStatusJob bits) for every active account. S_OK after a run (also
  // with no account); the lock's code when another workstation synchronises; the readiness
  // check's code; 0x800445A1 when the user cancelled; the code of an unexpected failure.
  STDMETHOD(Synchronize)(LONG flags) = 0;
  // 4: marks the account's transactions with a status page (and those with a modified package)
  // for the next send of page data. S_FALSE with -1 when the account's seller zone is off or the
  // account cannot be read; S_OK with the number marked.
  STDMETHOD(ForceSendAll)(LONG lRegId, LONG* lForcedCount) = 0;
};
VANTOR_UUIDOF(IStatusMgr, "DCA31FAF-9706-4C83-A440-740B0E894C78");
_COM_SMARTPTR_TYPEDEF(IStatusMgr, __uuidof(IStatusMgr));
