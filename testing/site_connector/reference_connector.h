#pragma once
// The reference site connector (outside the system): the site connector of the reference
// service provider, an in-process COM server of its own under the ProgID that the provider's
// sl_ServiceProvider row names. The program registers it and adds that row (provider 1).
//
// Its account side (IAuctionSiteAccount) describes the connector, fills a new account's service
// data, runs a scripted account dialog, answers the account's texts from the user id and the
// provider and opens a session per account (IAuctionSiteConnector, session.h) over the reference
// site's data (a JSON document, layout below). Tests steer it through IReferenceConnectorControl
// on the same class: any slot of either interface can be made to fail, code can be hooked around
// a session's slot, the site is loaded from a file or a text, and every call is recorded. The
// settings, the site and the record belong to the process (every connector and session object
// shares them) until Reset.
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

// The reference provider's auction states (au_State, IAuction slot 15 reads it, slot 16 writes
// it): 1 prepared (written by the seller, waiting to be listed: the send job sends it), 3 running
// at the site (the connector sets it when the site lists the auction, and a receive when the
// start date has passed), 4 ended (a receive of an ended auction). A refused listing leaves 1.
// IAuctionObjectPrepare::PutExtra (slot 5) takes the extra listing data of the next send: the
// reference provider has none, so only null is accepted. The recordset that SendAuction gets
// beside the auction carries nothing for it, and its result VARIANT stays empty.
inline constexpr LONG kReferenceAuctionPrepared = 1;
inline constexpr LONG kReferenceAuctionRunning = 3;
inline constexpr LONG kReferenceAuctionEnded = 4;

// What the reference connector reads of its provider's auction object when it lists it: the
// object's au__Auction row and its au_SiteDetail row, positioned on the auction (read only).
struct IReferenceAuctionData : public IUnknown {
  STDMETHOD(GetRows)(IUnknown** auction, IUnknown** detail) = 0;   // 3
};
VANTOR_UUIDOF(IReferenceAuctionData, "B1D7A5E2-3C4F-4B8E-9A61-7E2D5C0F1A93");
_COM_SMARTPTR_TYPEDEF(IReferenceAuctionData, __uuidof(IReferenceAuctionData));

// Tests make the auction objects' Save fail, for the whole process (any object of the class
// answers it): `hr` S_OK saves again.
struct IReferenceAuctionControl : public IUnknown {
  STDMETHOD(FailSave)(HRESULT hr) = 0;   // 3
};
VANTOR_UUIDOF(IReferenceAuctionControl, "4E8C2B71-9D3A-4F6E-B5C2-08A1F7D3E6B4");
_COM_SMARTPTR_TYPEDEF(IReferenceAuctionControl, __uuidof(IReferenceAuctionControl));

// The data file of the reference site, and the name of its working copy beside the product
// database (the connector reads and writes only the copy it is given through LoadSiteData).
//
// Layout (JSON, UTF-8): one object with one member per section. A section the connector does not
// know is ignored; a known section of another type, an entry of an array section that is no
// object, a site without its number or name, or a file that is no JSON is refused with an error
// naming the file and the place, and the data loaded before stay.
//   "sites":         [{"number": 1, "name": "Wzorcowo", "currency": "PLN"}]  the sites by their
//                    number at the service (the `subsite_id` SetRegSite passes); a site's own
//                    "versions" stand for the document's
//   "accounts":      [{...}]  the accounts at the service; by "login": "shop": false (the shop is
//                    gone: slot 25 fails, slot 29 answers false), "shop_version", "shop_categories"
//   "auctions":      [{...}]  auctions, each with its "images"
//   "customers", "transactions", "comments":  [{...}]  what a receive delivers
//   "comment_sent", "auctions_sent":  [{...}]  what the sessions were sent (written back)
//   "categories", "category_fields":  [{...}]  the site's catalogue (a field's dictionary in its
//                    "values"; "site" on a row keeps it to the site of that number)
//   "dictionaries":  {"<kind 0-5>": [{...}]}   the site dictionaries
//   "versions":      {"categories": "...", "attributes": "...", "form": "..."}
// Each entry's members are described with the session slot that reads them (session.cpp).
inline constexpr const wchar_t kReferenceSiteDataFile[] = L"reference-site.json";

// A session of the reference connector (IAuctionSiteConnector) as tests and hooks see it.
struct IReferenceSession : public IUnknown {
  // 3: the session's number: 1 for the first session opened since Reset, then 2, ...
  STDMETHOD(GetNumber)(LONG* number) = 0;
  // 4: the site SetRegSite named (VT_I4), VT_NULL before it or when it named none.
  STDMETHOD(GetRegSite)(VARIANT* site) = 0;
  // 5, 6: the manager's callback SetSync gave (null before), and the account the session is of.
  STDMETHOD(GetSync)(LotrixSync** sync) = 0;
  STDMETHOD(GetAccount)(LotrixRegistration** account) = 0;
  // 7: what the send running now was given: the auction object (IHxAuction) of SendAuction, the
  // comments container (_Recordset) of SendComments; null outside a send. A hook reads it and may
  // change it (as a site that queues a listing leaves it prepared).
  STDMETHOD(GetSendObject)(IUnknown** object) = 0;
};
VANTOR_UUIDOF(IReferenceSession, "3E0C7A51-6B2F-4D8E-9A41-7C5D2B8E1F60");
_COM_SMARTPTR_TYPEDEF(IReferenceSession, __uuidof(IReferenceSession));

// Code a test runs around a session slot (HookSessionSlot): Before runs after the call is
// recorded and before the slot's work (a failure is the slot's answer, with whatever error
// information the hook set); After sees the slot's answer. `session` answers IReferenceSession
// and IAuctionSiteConnector.
struct IReferenceSessionHook : public IUnknown {
  STDMETHOD(Before)(IUnknown* session, LONG slot) = 0;
  STDMETHOD(After)(IUnknown* session, LONG slot, HRESULT result) = 0;
};
VANTOR_UUIDOF(IReferenceSessionHook, "A7B3E2C4-1D5F-4B6A-8E9C-0F2D4A6B8C13");
_COM_SMARTPTR_TYPEDEF(IReferenceSessionHook, __uuidof(IReferenceSessionHook));

struct IReferenceConnectorControl : public IUnknown {
  // 3: back to the start: no failures, the default dialog and service data, no calls recorded.
  STDMETHOD(Reset)() = 0;
  // 4: the connector's method at `slot` (of IAuctionSiteAccount) fails with `hr` (S_OK: works).
  STDMETHOD(FailSlot)(LONG slot, HRESULT hr) = 0;
  // 5: the account dialog (slot 9): accepted or cancelled; when accepted it puts the login and
  // the password that are not null, and leaves `info` (a default text when null). The dialog
  // refuses (ends unaccepted, nothing saved) a login or password whose column would cut it, and an
  // account that does not validate.
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
  // 11: the session's method at `slot` (of IAuctionSiteConnector) fails with `hr` and the
  // description (null or empty: the connector's own text); S_OK: works again.
  STDMETHOD(FailSessionSlot)(LONG slot, HRESULT hr, BSTR description) = 0;
  // 12: code run around the session's method at `slot`; null removes it.
  STDMETHOD(HookSessionSlot)(LONG slot, IReferenceSessionHook* hook) = 0;
  // 13: the reference site kept in a data file (the working copy), which the sessions read and
  // write as they go, sharing it with other processes (sitedata.h). A missing, unreadable or
  // malformed file fails with E_INVALIDARG and an error description naming the file and the
  // place; the site is that file all the same, so that the sessions fail until it can be read.
  STDMETHOD(LoadSiteData)(BSTR path) = 0;
  // 14: the reference site from a JSON text (built by a test; nothing is written back), checked
  // as a file is; a text that is refused leaves the site as it was.
  STDMETHOD(SetSiteData)(BSTR json) = 0;
  // 15: the reference site's current document as JSON text ("{}" when none was loaded).
  STDMETHOD(GetSiteData)(BSTR* json) = 0;
  // 16: the text the last account dialog (slot 9) left for the user ("Konto zostało zapisane.",
  // or why the account was not saved: a login or password longer than its column, the account's
  // first validation error); null before any dialog.
  STDMETHOD(GetDialogInfo)(BSTR* text) = 0;
};
VANTOR_UUIDOF(IReferenceConnectorControl, "841E8F96-B0F7-4D7F-86F4-965C45504A52");
_COM_SMARTPTR_TYPEDEF(IReferenceConnectorControl, __uuidof(IReferenceConnectorControl));
