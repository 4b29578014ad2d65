#pragma once
// The reference site connector (outside the system): the site connector of the reference
// service provider, an in-process COM server of its own under the ProgID that the provider's
// sl_ServiceProvider row names. The program registers it and adds that row (provider 1).
//
// Its account side (IAuctionSiteAccount) describes the connector, fills a new account's service
// data, runs a scripted account dialog and answers the account's texts from the user id and the
// provider. Tests steer it through IReferenceConnectorControl on the same class: any slot can be
// made to fail, and every call is recorded. The settings and the record belong to the process
// (every connector object Lotrix creates shares them) until Reset.
#include "auctions/lotrix.h"

struct ReferenceConnector;
VANTOR_UUIDOF(ReferenceConnector, "129D5B3C-5DEE-48F7-876B-85399C593FD8");
#define CLSID_ReferenceConnector __uuidof(ReferenceConnector)
// The version-independent ProgID; the versioned one adds ".1".
inline constexpr const wchar_t kReferenceConnectorProgId[] = L"Reference.SiteConnector";
// The provider the program adds for it, and the connector's own description.
inline constexpr LONG kReferenceProviderId = 1;
inline constexpr const wchar_t kReferenceProviderName[] = L"Serwis wzorcowy";
inline constexpr const wchar_t kReferenceConnectorVersion[] = L"1.0.0";

// The provider's auction business object (IFlgItem, IAuction, IAuctionOptions; its image list
// answers IAuctionImages): an au__Auction row with its au_SiteDetail row and au_Image links,
// created new with the account, account-site row, local site and provider ids (InitNew's
// four-value array) or loaded by au_Id, and saved in one transaction. The provider's
// ss_AuctionProgId names it.
struct ReferenceAuction;
VANTOR_UUIDOF(ReferenceAuction, "6F0B7B55-7D9B-4E0A-B43B-2C3E61A9D5E4");
#define CLSID_ReferenceAuction __uuidof(ReferenceAuction)
inline constexpr const wchar_t kReferenceAuctionProgId[] = L"Reference.Auction";
HRESULT CreateReferenceAuction(IUnknown* outer, REFIID iid, void** out);

struct IReferenceConnectorControl : public IUnknown {
  // 3: back to the start: no failures, the default dialog and service data, no calls recorded.
  STDMETHOD(Reset)() = 0;
  // 4: the connector's method at `slot` (of IAuctionSiteAccount) fails with `hr` (S_OK: works).
  STDMETHOD(FailSlot)(LONG slot, HRESULT hr) = 0;
  // 5: the account dialog (slot 9): accepted or cancelled; when accepted it puts the login and
  // the password that are not null, and leaves `info` (a default text when null).
  STDMETHOD(ScriptEditAccount)(VARIANT_BOOL accept, BSTR login, BSTR password, BSTR info) = 0;
  // 6: the sites the accepted dialog leaves in the account's site list, "number=name" separated
  // by ";" (an empty text: no site); null: the list is left as it is.
  STDMETHOD(ScriptEditSites)(BSTR sites) = 0;
  // 7: the service data that connecting a new account (slot 8) fills.
  STDMETHOD(ScriptServiceData)(LONGLONG userId, BSTR name, BSTR fullName, VARIANT_BOOL hasShop) = 0;
  // 8: the "Version" the connector describes itself with.
  STDMETHOD(SetVersion)(BSTR version) = 0;
  // 9, 10: the calls recorded, oldest first: "<slot> <member>[ <arguments>]".
  STDMETHOD(GetCallCount)(LONG* count) = 0;
  STDMETHOD(GetCall)(LONG index, BSTR* call) = 0;
};
VANTOR_UUIDOF(IReferenceConnectorControl, "841E8F96-B0F7-4D7F-86F4-965C45504A52");
_COM_SMARTPTR_TYPEDEF(IReferenceConnectorControl, __uuidof(IReferenceConnectorControl));
