#pragma once
// The account object CoRegistration: one seller account at one auction service (the account row
// of reg__Registration), its typed custom values (reg_Data) and the sites it works on (reg_Site),
// served as a data object with IRegistration and the extension interfaces LotrixRegistration and
// LotrixRegCustData.
//
// The account's site list is a disconnected recordset (site_id: the site's own number at the
// service, site_name) built on the first request from the account's reg_Site rows; every
// validation writes it back into reg_Site, creating the st__Site rows it needs. The password goes
// through the access-key converter (an outside object) between its typed and its stored form.
#include "auctions/flgobject.h"
#include "auctions/lotrix.h"
#include "auctions/regface.h"

class CCoRegistration : public CComFlgObject,
                        public IRegistration,
                        public CLotrixRegistrationFace,
                        public platform::com::DispatchFace<LotrixRegCustData> {
 public:
  // Creates the access-key converter; raises when it cannot be created (a class that does not
  // answer the converter's interface leaves it to be created on first use).
  CCoRegistration();
  ~CCoRegistration() override;

  void* FlgGetInterface(REFIID iid);
  CLSID GetObjectClsid() override { return CLSID_CoRegistration; }

  // Whether the account has its seller-zone registration id.
  bool ZoneRegistered() const { return !m_registrationId.IsEmpty(); }

  // --- CComFlgObject's operations
  INT_PTR ShowEditDialog(CWnd* parent) override;
  HRESULT InitNewDefaults(const VARIANT& init) override;
  HRESULT Validate() override;

  // --- IRegistration
  STDMETHOD(GetConnectorClsid)(GUID* clsid) override;
  using CComFlgObject::InitNew;
  STDMETHOD(InitNew)(LONG svcProvId) override;
  STDMETHOD(GetDefaultCtx)(LONG* regId, LONG* regSiteId) override;
  STDMETHOD(GetInfo)(BSTR* info) override;
  STDMETHOD(StatusesOptionsEdit)(IUnknown* window, IUnknown* instance) override;
  STDMETHOD(GetST_StatusesServiceActive)(BOOL* value) override;
  STDMETHOD(PutST_StatusesServiceActive)(BOOL value) override;
  STDMETHOD(GetST_ShowDocumentAddressForm)(BOOL* value) override;
  STDMETHOD(PutST_ShowDocumentAddressForm)(BOOL value) override;
  STDMETHOD(GetST_ShowDeliveryAddressForm)(BOOL* value) override;
  STDMETHOD(PutST_ShowDeliveryAddressForm)(BOOL value) override;
  STDMETHOD(GetST_Description)(BSTR* value) override;
  STDMETHOD(PutST_Description)(BSTR value) override;
  STDMETHOD(GetST_WWW)(BSTR* value) override;
  STDMETHOD(PutST_WWW)(BSTR value) override;
  STDMETHOD(GetST_LastSynch)(VARIANT* value) override;
  STDMETHOD(PutST_LastSynch)(VARIANT value) override;

  // --- LotrixRegistration
  STDMETHOD(GetUsername)(BSTR* value) override;
  STDMETHOD(PutUsername)(BSTR value) override;
  STDMETHOD(GetAccesskey)(BSTR* value) override;
  STDMETHOD(PutAccesskey)(BSTR value) override;
  STDMETHOD(GetDescription)(BSTR* value) override;
  STDMETHOD(PutDescription)(BSTR value) override;
  STDMETHOD(GetSvcProvId)(LONG* value) override;
  STDMETHOD(GetServiceName)(BSTR* value) override;
  STDMETHOD(GetSvcUserId)(LONGLONG* value) override;
  STDMETHOD(PutSvcUserId)(LONGLONG value) override;
  STDMETHOD(GetVersion)(BSTR* value) override;
  STDMETHOD(PutVersion)(BSTR value) override;
  STDMETHOD(GetCustData)(LotrixRegCustData** data) override;
  STDMETHOD(GetSubData)(IUnknown** sites) override;
  STDMETHOD(GetValid)(VARIANT_BOOL* valid) override;
  using CComFlgObject::GetErrorList;
  STDMETHOD(GetErrorList)(LONG* list) override;
  STDMETHOD(GetActive)(BOOL* value) override;
  STDMETHOD(PutActive)(BOOL value) override;
  STDMETHOD(GetHasShop)(BOOL* value) override;
  STDMETHOD(PutHasShop)(BOOL value) override;
  STDMETHOD(GetConnectorValue)(BSTR* value) override;
  STDMETHOD(GetMyAuctionsUrl)(BSTR* url) override;
  STDMETHOD(GetMyPageUrl)(BSTR* url) override;
  STDMETHOD(GetName)(BSTR* value) override;
  STDMETHOD(PutName)(BSTR value) override;
  STDMETHOD(GetFullName)(BSTR* value) override;
  STDMETHOD(PutFullName)(BSTR value) override;
  STDMETHOD(GetEmailId)(LONG* value) override;
  STDMETHOD(PutEmailId)(LONG value) override;

  // --- LotrixRegCustData
  STDMETHOD(GetCount)(LONG* count) override;
  STDMETHOD(GetValue)(VARIANT name, VARIANT* value) override;
  STDMETHOD(SetValue)(VARIANT name, VARIANT value) override;

  // The account's error list behind an ErrorList handle (null for an unknown handle).
  static const CObjErrorInfoArray* ErrorListOf(LONG handle);

 protected:
  HRESULT SaveAccount() override;

 private:
  // The boolean columns (the text and long ones are the base's main-row columns).
  BOOL Bool(const wchar_t* column);
  void PutBool(const wchar_t* column, BOOL value);
  HRESULT GetBoolOf(const wchar_t* column, BOOL* value, HRESULT nullOut);
  HRESULT PutBoolOf(const wchar_t* column, BOOL value);

  // A column of the account's service provider's row; false when the provider has no row.
  bool ProviderColumn(const wchar_t* column, _variant_t& value);
  IAccessKeyConverterPtr Converter();
  // The account's site connector, running, answering IAuctionSiteAccount (E_POINTER when it
  // does not); raises.
  IAuctionSiteAccountPtr Connector();
  enum class AccountText { ConnectorValue, AuctionsUrl, PageUrl };
  HRESULT AskConnector(AccountText which, BSTR* text);
  void BuildSiteList();
  // Withdraws the account's ErrorList handle.
  void ForgetErrorList();
  void WriteSiteListBack();

  BYTE m_dialogMode = 0;
  CString m_registrationId;
  _RecordsetPtr m_sites;
  IAccessKeyConverterPtr m_converter;
  _bstr_t m_info;
  LONG m_errorListHandle = 0;
};
