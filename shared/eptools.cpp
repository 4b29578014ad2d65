// The system's one door to the host's ERP connector. Every operation answers false on failure.
#include "shared/hxcheck.h"
#include "shared/satools.h"

namespace {

using hx::Check;
using hx::Instance;

IHxErpHostPtr ErpHost() {
  IHxErpHostPtr host(Instance());
  if (!host) _com_issue_error(E_NOINTERFACE);
  return host;
}

template <typename P>
P Query(IUnknown* object) {
  P result;
  if (object) result = object;
  return result;
}

bool IsConnected(const DSIConnectorPtr& connector) {
  VARIANT_BOOL connected = VARIANT_FALSE;
  Check(connector->GetConnected(&connected));
  return connected != VARIANT_FALSE;
}

IUnknownPtr ActiveConnectionParams() {
  IUnknown* raw = nullptr;
  Check(ErpHost()->GetActiveEntry(&raw));
  IUnknownPtr entryObject(raw, false);
  IHxErpConnectorEntryPtr entry = Query<IHxErpConnectorEntryPtr>(entryObject);
  if (!entry) return nullptr;
  IUnknown* params = nullptr;
  Check(entry->GetConnectionParams(&params));
  return IUnknownPtr(params, false);
}

// Gives the connector its id and asks it to connect; false when it refuses.
bool ConnectWith(const DSIConnectorPtr& connector, const _variant_t& id) {
  Check(connector->SetConnectorId(id));
  HRESULT hr = connector->Connect(ActiveConnectionParams());
  if (hr == DSI_E_CONNECT_REFUSED) return false;
  return IsConnected(connector);
}

bool TakeActive(DSIConnectorPtr& connector, _variant_t& id) {
  IHxErpHostPtr host = ErpHost();
  id.Clear();
  Check(host->GetActiveConnectorId(&id));
  IUnknown* raw = nullptr;
  Check(host->GetActiveConnector(&raw));
  IUnknownPtr object(raw, false);
  DSIConnectorPtr found = Query<DSIConnectorPtr>(object);
  connector = found;
  return connector != nullptr;
}

template <typename P>
bool Child(const DSIConnectorPtr& connector, HRESULT (DSIConnector::*get)(IUnknown**), P& out) {
  IUnknown* raw = nullptr;
  Check((connector.GetInterfacePtr()->*get)(&raw));
  IUnknownPtr object(raw, false);
  P found = Query<P>(object);
  out = found;
  return out != nullptr;
}

}  // namespace

bool CEPTools::EPAvaiable() {
  try {
    IHxAppServicesPtr services(Instance());
    if (!services) return false;
    VARIANT_BOOL available = VARIANT_FALSE;
    Check(services->IsErpAvailable(&available));
    if (available == VARIANT_FALSE) return false;
    _variant_t id;
    Check(ErpHost()->GetActiveConnectorId(&id));
    return id.vt == VT_I4;
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetActiveConnector(DSIConnectorPtr& connector, _variant_t& id, bool connect) {
  connector = nullptr;
  try {
    IHxStartCheckPtr check(Instance());
    if (!check) return false;
    BSTR reason = nullptr;
    HRESULT hr = check->CheckReady(&reason);
    _bstr_t owned(reason, false);
    if (FAILED(hr)) {
      CString text;
      text.Format(L"Dostęp do zewnętrznej aplikacji nie jest możliwy:\n%ls",
                  static_cast<const wchar_t*>(owned) ? static_cast<const wchar_t*>(owned) : L"");
      TipMsgBox(nullptr, L"Odmowa dostępu", text, KD_TIP_ICONINFORMATION);
      return false;
    }
    DSIConnectorPtr active;
    if (!TakeActive(active, id)) return false;
    if (connect && !IsConnected(active) && !ConnectWith(active, id)) return false;
    connector = active;
    return true;
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetActiveConnectorForUser(LONG user, DSIConnectorPtr& connector, _variant_t& id) {
  connector = nullptr;
  try {
    DSIConnectorPtr active;
    if (!TakeActive(active, id)) return false;
    LONG current = 0;
    Check(active->GetCurrentUser(&current));
    const bool connected = IsConnected(active);
    if (connected && current == user) {
      connector = active;
      return true;
    }
    if (connected) Check(active->Disconnect());
    if (current != user) Check(active->SetCurrentUser(user));
    if (!ConnectWith(active, id)) return false;
    connector = active;
    return true;
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetDocs(DSIDocumentsPtr& documents, _variant_t& id, bool connect) {
  documents = nullptr;
  try {
    DSIConnectorPtr connector;
    if (!GetActiveConnector(connector, id, connect)) return false;
    return Child(connector, &DSIConnector::GetDocuments, documents);
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetDocsForUser(LONG user, DSIDocumentsPtr& documents, _variant_t& id) {
  documents = nullptr;
  try {
    DSIConnectorPtr connector;
    if (!GetActiveConnectorForUser(user, connector, id)) return false;
    return Child(connector, &DSIConnector::GetDocuments, documents);
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetConnectedProducts(DSIProductsPtr& products) {
  products = nullptr;
  try {
    DSIConnectorPtr connector;
    _variant_t id;
    if (!GetActiveConnector(connector, id, true)) return false;
    return Child(connector, &DSIConnector::GetProducts, products);
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetConnectedCustomers(DSICustomersPtr& customers) {
  customers = nullptr;
  try {
    DSIConnectorPtr connector;
    _variant_t id;
    if (!GetActiveConnector(connector, id, true)) return false;
    return Child(connector, &DSIConnector::GetCustomers, customers);
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetDefaults(DSIDefaultsPtr& defaults) {
  defaults = nullptr;
  try {
    DSIConnectorPtr connector;
    _variant_t id;
    if (!GetActiveConnector(connector, id, true)) return false;
    return Child(connector, &DSIConnector::GetDefaults, defaults);
  } catch (const _com_error&) {
    return false;
  }
}

namespace {
// The connector of an account's stored ERP connector id, connected.
bool ConnectorForRegistration(const _variant_t& connectorId, DSIConnectorPtr& connector) {
  IUnknown* raw = nullptr;
  Check(ErpHost()->GetConnectorEntry(connectorId, &raw));
  IUnknownPtr entryObject(raw, false);
  IHxErpConnectorEntryPtr entry = Query<IHxErpConnectorEntryPtr>(entryObject);
  if (!entry) return false;
  IUnknown* rawConnector = nullptr;
  Check(entry->GetConnector(&rawConnector));
  IUnknownPtr object(rawConnector, false);
  DSIConnectorPtr found = Query<DSIConnectorPtr>(object);
  connector = found;
  if (!connector) return false;
  if (!IsConnected(connector) && !ConnectWith(connector, connectorId)) return false;
  return true;
}

bool SameId(const _variant_t& a, const _variant_t& b) { return a.vt == VT_I4 && b.vt == VT_I4 && a.lVal == b.lVal; }
}  // namespace

bool CEPTools::GetProductForRegistration(const _variant_t& connectorId, DSIProductsPtr& products) {
  products = nullptr;
  try {
    _variant_t active;
    Check(ErpHost()->GetActiveConnectorId(&active));
    if (SameId(active, connectorId)) return GetConnectedProducts(products);
    DSIConnectorPtr connector;
    if (!ConnectorForRegistration(connectorId, connector)) return false;
    return Child(connector, &DSIConnector::GetProducts, products);
  } catch (const _com_error&) {
    return false;
  }
}

bool CEPTools::GetCustomersForRegistration(const _variant_t& connectorId, DSICustomersPtr& customers) {
  customers = nullptr;
  try {
    _variant_t active;
    Check(ErpHost()->GetActiveConnectorId(&active));
    if (SameId(active, connectorId)) return GetConnectedCustomers(customers);
    DSIConnectorPtr connector;
    if (!ConnectorForRegistration(connectorId, connector)) return false;
    return Child(connector, &DSIConnector::GetCustomers, customers);
  } catch (const _com_error&) {
    return false;
  }
}
