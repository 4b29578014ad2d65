#pragma once
// Two small classes for the host and the site connectors: CoConnectorInfo hands out the empty,
// typed fields in which a connector describes itself; CoRegistrationExampleData answers fixed
// sample values through the account interface, for previews before an account exists.
#include "auctions/flgobject.h"
#include "auctions/lotrix.h"
#include "auctions/regface.h"
#include "platform/com/server.h"

class CCoConnectorInfo : public platform::com::ServerObject<IConnectorInfo> {
 public:
  CCoConnectorInfo() = default;
  ~CCoConnectorInfo() override;

  // --- IConnectorInfo
  STDMETHOD(GetFields)(IDispatch** fields) override;

 private:
  _RecordsetPtr m_fields;  // "ConnectorInfoFields", made on the first call
};

class CCoRegistrationExampleData : public CComFlgObject, public CLotrixRegistrationFace {
 public:
  CCoRegistrationExampleData() = default;

  void* FlgGetInterface(REFIID iid);
  CLSID GetObjectClsid() override { return CLSID_CoRegistrationExampleData; }

  // --- LotrixRegistration: the sample values; every other member answers E_NOTIMPL
  STDMETHOD(GetUsername)(BSTR* value) override;
  STDMETHOD(GetMyAuctionsUrl)(BSTR* url) override;
  STDMETHOD(GetMyPageUrl)(BSTR* url) override;
  STDMETHOD(GetName)(BSTR* value) override;
  STDMETHOD(GetFullName)(BSTR* value) override;

 private:
  HRESULT Sample(UINT id, BSTR* value);
};
