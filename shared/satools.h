#pragma once
// Plug-in objects of the auction-service providers, found by the ProgIDs stored per provider.
#include "shared/hxinstance.h"

class CHxSaTools {
 public:
  CHxSaTools() = delete;

  static CString GetConnectorProgid(LONG ssId);
  static CString GetAuctionProgid(LONG ssId);
  static CString GetAuctionProgidEx(LONG auId);
  static CString GetAuTemplProgid(LONG ssId);
  static CString GetAuTemplProgidEx(LONG auId);

  static GUID GetConnectorClsid(LONG ssId);
  static GUID GetAuctionClsid(LONG ssId);
  static GUID GetAuctionClsidEx(LONG auId);
  static GUID GetAuTemplClsid(LONG ssId);
  static GUID GetAuTemplClsidEx(LONG auId);

  static IUnknownPtr GetConnector(LONG ssId);
  static IUnknownPtr GetAuction(LONG ssId);
  static IUnknownPtr GetAuctionEx(LONG auId);
  static IUnknownPtr GetAuTempl(LONG ssId);
  static IUnknownPtr GetAuTemplEx(LONG auId);

  // Opens a web address in the user's browser; an empty address, or one that begins with "-",
  // opens nothing.
  static void OpenUrl(const wchar_t* address);

 private:
  static CString GetProgid(LONG id, const wchar_t* column);
  static CString GetProgidEx(LONG id, const wchar_t* column, const wchar_t* view);
  static GUID GetClsid(LONG id, const wchar_t* column, const wchar_t* view);
  static IUnknownPtr Create(const GUID& clsid);
};

class CEPTools {
 public:
  CEPTools() = delete;

  // Whether the host's ERP connector is available and has an active connector.
  static bool EPAvaiable();
  static bool GetActiveConnector(DSIConnectorPtr& connector, _variant_t& id, bool connect);
  static bool GetActiveConnectorForUser(LONG user, DSIConnectorPtr& connector, _variant_t& id);
  static bool GetDocs(DSIDocumentsPtr& documents, _variant_t& id, bool connect);
  static bool GetDocsForUser(LONG user, DSIDocumentsPtr& documents, _variant_t& id);
  static bool GetConnectedProducts(DSIProductsPtr& products);
  static bool GetConnectedCustomers(DSICustomersPtr& customers);
  static bool GetDefaults(DSIDefaultsPtr& defaults);
  static bool GetProductForRegistration(const _variant_t& connectorId, DSIProductsPtr& products);
  static bool GetCustomersForRegistration(const _variant_t& connectorId, DSICustomersPtr& customers);
};
