#pragma once
// The host's business objects that the system loads by class id: transaction (with its
// addresses, ERP document link and item positions), customer, auction, package (with its items)
// and the connection settings; and the registration lookup that gives an account's seller-zone
// credentials. Each object serves one row of its table (CHostItem) and the interface its callers
// reach by slot (framework/interfaces.h).
#include <vector>

#include "host/item.h"

namespace host {

// The host setting that switches the automatic messages to buyers on ("1").
inline constexpr wchar_t kMailSettingSection[] = L"Mail";
inline constexpr wchar_t kAutomaticMessagesKey[] = L"AutomaticMessages";

// Transaction: a row of tr__Transaction (tr_Id). Its billing/document (kind 3) and delivery
// (kind 2) addresses are rows of tr_Address, written with the transaction. Saving stamps
// tr_LastModified (and tr_CreationDate of a new one). Deleting a transaction that has a status
// page leaves a row of tr_TransStatus (page, account, ts_ClosePage 1), written in the delete's
// transaction, so that the page is still closed. Its automatic message to the buyer is a row of
// the outbox kd_MessageOutbox (buyer, transaction, page address).
class CHostTransaction : public CHostItem, public IHxTransaction {
 public:
  CHostTransaction();
  void* FlgGetInterface(REFIID iid);

  // The address rows (created on first use), for the address objects.
  _RecordsetPtr Addresses();

  STDMETHOD(GetIsGroup)(VARIANT_BOOL* group) override;
  STDMETHOD(GetPayment)(CY* amount) override;
  STDMETHOD(GetCustomerId)(LONG* customer) override;
  STDMETHOD(GetAddressLocked)(VARIANT_BOOL* locked) override;
  STDMETHOD(GetAllLocked)(VARIANT_BOOL* locked) override;
  STDMETHOD(GetRemittanceDate)(VARIANT* date) override;
  STDMETHOD(GetPaid)(VARIANT_BOOL* paid) override;
  STDMETHOD(GetSentAll)(VARIANT_BOOL* sent) override;
  STDMETHOD(GetItemsSent)(VARIANT_BOOL* sent) override;
  STDMETHOD(GetCompletionState)(LONG* state) override;
  STDMETHOD(GetBaseCurrency)(BSTR* currency) override;
  STDMETHOD(GetPaymentCurrency)(BSTR* currency) override;
  STDMETHOD(GetAccountId)(LONG* account) override;
  STDMETHOD(GetAddress)(LONG kind, IUnknown** address) override;
  STDMETHOD(GetDocumentLink)(IUnknown** link) override;
  STDMETHOD(GetPositions)(IUnknown** positions) override;
  STDMETHOD(GetPositionData)(VARIANT key, LONG mode, BSTR* name, VARIANT* extra1, VARIANT* extra2, CY* quantity,
                             CY* price) override;
  STDMETHOD(GetDisplayText)(BSTR* text) override;
  // The purchase date, else the creation date (never 0).
  STDMETHOD(GetBuyDate)(DATE* date) override;
  STDMETHOD(GetAuctionLink)(VARIANT* auction) override;
  STDMETHOD(GetStatusPageAddress)(BSTR* address) override;
  STDMETHOD(PutStatusPageAddress)(BSTR address) override;
  STDMETHOD(GetAddressText)(BSTR* text) override;
  STDMETHOD(GetStatusDataModified)(VARIANT_BOOL* modified) override;
  STDMETHOD(PutStatusDataModified)(VARIANT_BOOL modified) override;
  STDMETHOD(GetStatusPageId)(VARIANT* page) override;
  STDMETHOD(PutStatusPageId)(VARIANT page) override;
  STDMETHOD(GetBuyerDataTrusted)(VARIANT* trusted) override;
  STDMETHOD(PutBuyerDataTrusted)(VARIANT trusted) override;
  STDMETHOD(GetBuyerDataAcknowledged)(VARIANT* acknowledged) override;
  STDMETHOD(PutBuyerDataAcknowledged)(VARIANT acknowledged) override;
  STDMETHOD(GetBuyerEntryDate)(VARIANT* date) override;
  STDMETHOD(PutBuyerEntryDate)(VARIANT date) override;
  STDMETHOD(GetNotes)(VARIANT* notes) override;
  STDMETHOD(PutNotes)(VARIANT notes) override;
  STDMETHOD(GetStatusReceiveState)(LONG* state) override;
  STDMETHOD(PutStatusReceiveState)(LONG state) override;
  // Queues the message in the outbox; S_FALSE when the automatic messages are off.
  STDMETHOD(CreateBuyerMessage)() override;
  STDMETHOD(ClearStatusPageInfo)() override;
  STDMETHOD(GetStatusSendState)(LONG* state) override;
  STDMETHOD(PutStatusSendState)(LONG state) override;

 protected:
  void BeforeWrite(bool inserting) override;
  void AfterWrite(bool inserting) override;
  void BeforeDelete(const _ConnectionPtr& connection, LONG id) override;

 private:
  _RecordsetPtr m_addresses;
};

// Customer: a row of cs__Customer (cs_Id).
class CHostCustomer : public CHostItem, public IHxCustomer {
 public:
  CHostCustomer();
  void* FlgGetInterface(REFIID iid);
  // The name (and surname), else the nick, else "Klient nr <id>".
  STDMETHOD(GetDisplayName)(BSTR* name) override;
  // cs_ExtServiceId: VT_I4 when it fits, else VT_I8; VT_NULL when unknown.
  STDMETHOD(GetServiceUserId)(VARIANT* id) override;
};

// Auction: a row of au__Auction (au_Id).
class CHostAuction : public CHostItem, public IHxAuction {
 public:
  CHostAuction();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetNumber)(BSTR* number) override;
  STDMETHOD(GetServiceId)(LONG* service) override;
};

// Package of a transaction: a row of pc__Package (pc_Id) with its items (pc_PackageItem, in
// their order), read when the package is loaded.
class CHostPackage : public CHostItem, public IHxPackage {
 public:
  CHostPackage();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override;

  STDMETHOD(GetChargePresent)(VARIANT_BOOL* present) override;
  STDMETHOD(GetCharge)(CY* charge) override;
  STDMETHOD(GetItemCount)(LONG* count) override;
  STDMETHOD(GetItemName)(LONG index, BSTR* name) override;
  STDMETHOD(GetItemPrice)(LONG index, CY* price) override;
  STDMETHOD(GetItemQuantity)(LONG index, LONG* quantity) override;
  // pc_Value := the sum of the items' quantity times price.
  STDMETHOD(Recompute)() override;
  STDMETHOD(GetSendDate)(VARIANT* date) override;
  STDMETHOD(GetSymbol)(BSTR* symbol) override;
  STDMETHOD(GetChargeCurrency)(BSTR* currency) override;
  STDMETHOD(GetTrackingLink)(BSTR* link) override;
  STDMETHOD(GetModified)(VARIANT_BOOL* modified) override;
  STDMETHOD(PutModified)(LONG modified) override;

 private:
  struct Item {
    std::wstring name;
    LONG quantity = 0;
    CY price{};
  };
  std::vector<Item> m_items;
};

// The connection settings: a row of kd_ConnectionSettings (record 1 is the host's).
class CHostConnectionSettings : public CHostItem, public IHxConnectionSettings {
 public:
  CHostConnectionSettings();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetProxyHost)(BSTR* host) override;
  STDMETHOD(GetProxyPort)(LONG* port) override;
  STDMETHOD(GetProxyUser)(BSTR* user) override;
  STDMETHOD(GetProxyPassword)(BSTR* password) override;
  STDMETHOD(GetUseSystemSettings)(VARIANT_BOOL* use) override;
};

// The registration lookup's table: the record of an account is the field collection of
// user_id (VT_I8, reg_SvcUserId), service_id (reg_SvcProvId) and registration_id (the seller-zone
// registration id of kd_SellerZoneAccount, NULL when the account has none). An unknown account
// fails with E_INVALIDARG and a description. A field collection reads its recordset, which the
// table keeps (the last one it answered) for as long as it lives.
class CHostRegistrationTable : public IHxRegistrationTable {
 public:
  explicit CHostRegistrationTable(_ConnectionPtr connection) : m_connection(std::move(connection)) {}
  virtual ~CHostRegistrationTable() = default;
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetRecord)(VARIANT account, IUnknown** fields) override;

 private:
  _ConnectionPtr m_connection;
  _RecordsetPtr m_record;
};

// The registrations of the host's business-object classes, for the host's lifetime.
std::vector<CFlgClassRegistration> RegisterBusinessObjectClasses();

}  // namespace host
