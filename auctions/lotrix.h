#pragma once
// Lotrix's public face, as its type library LotrixLib describes it: the class ids, the AppID,
// the library id, the enumerations and, as each class is built, the interfaces it serves.
// Callers (the host, Vorlen) reach Lotrix through COM only: they include this header and create
// the classes by CLSID or ProgID.
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

// The kinds of site-specific data a site object gives for editing.
enum lotrixSpecificDataType {
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
