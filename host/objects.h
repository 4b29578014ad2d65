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
//
// A purchase received from an auction site is written through the put methods; its positions
// (AddProductPosition, AddNamedPosition) are rows of tr_Position written with it. Check answers
// HX_E_DELIVERY_NEEDS_ADDRESS when the delivery method (any but collection in person) needs an
// address that the buyer lacks (street, postcode or city of the customer).
class CHostTransaction : public CHostItem, public IHxTransaction {
 public:
  CHostTransaction();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(Check)() override;

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

  STDMETHOD(PutName)(BSTR name) override;
  STDMETHOD(PutDeliveryOptions)(IUnknown* options) override;
  STDMETHOD(PutCustomerId)(LONG customer) override;
  STDMETHOD(PutAuctionId)(LONG auction) override;
  STDMETHOD(PutRegId)(LONG account) override;
  STDMETHOD(PutRegSiteId)(LONG accountSite) override;
  STDMETHOD(PutDate)(VARIANT date) override;
  STDMETHOD(PutCurrency)(BSTR currency) override;
  STDMETHOD(PutValueCurrency)(BSTR currency) override;
  STDMETHOD(AddProductPosition)(LONG product, LONG quantity, CY price) override;
  STDMETHOD(AddNamedPosition)(BSTR name, LONG quantity, CY price) override;
  STDMETHOD(PutOriginal)(LONG original) override;
  STDMETHOD(PutOrigQuantity)(LONG quantity) override;
  STDMETHOD(PutKind)(LONG kind, LONG detail) override;
  STDMETHOD(PutDeliveryMethod)(VARIANT method) override;
  STDMETHOD(PutAuctionOwnerId)(LONG user) override;
  STDMETHOD(PutRemainder)(VARIANT_BOOL remainder) override;

 protected:
  void BeforeWrite(bool inserting) override;
  void AfterWrite(bool inserting) override;
  void BeforeDelete(const _ConnectionPtr& connection, LONG id) override;

 private:
  struct NewPosition {
    _variant_t product;  // VT_I4, or NULL for a named position
    std::wstring name;
    LONG quantity = 0;
    CY price{};
  };
  HRESULT PutText(const wchar_t* column, BSTR text);

  _RecordsetPtr m_addresses;
  std::vector<NewPosition> m_positions;  // added, not yet written
};

// Customer: a row of cs__Customer (cs_Id) holding its address (IHxAddress over the cs_ address
// columns), its main e-mail address and phone; its further phones are rows of cs_CustomerPhone,
// written with the row. A customer needs a name or a nick; no text may pass its column's size;
// one saved without a surname has the empty text as its surname.
class CHostCustomer : public CHostItem, public IHxCustomer {
 public:
  CHostCustomer();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(Check)() override;

  // The address's columns, for the address object.
  HRESULT AddressText(const wchar_t* column, BSTR* out) const { return GetText(column, out); }
  HRESULT PutAddressText(const wchar_t* column, BSTR value);
  // The phone list (GetPhones, IAuctionImages over texts): the main phone and the further ones,
  // compared without surrounding blanks.
  bool HasPhone(const std::wstring& phone);
  void AddPhone(const std::wstring& phone);

  STDMETHOD(GetAddress)(IUnknown** address) override;
  STDMETHOD(GetPhones)(IUnknown** phones) override;
  STDMETHOD(PutEmail)(BSTR email, LONG flags) override;
  // With `flags` non-zero an earlier, different main phone stays in the phone list.
  STDMETHOD(PutPhone)(BSTR phone, LONG flags) override;
  // The name (and surname), else the nick, else "Klient nr <id>".
  STDMETHOD(GetDisplayName)(BSTR* name) override;
  // cs_ExtServiceId: VT_I4 when it fits, else VT_I8; VT_NULL when unknown.
  STDMETHOD(GetServiceUserId)(VARIANT* id) override;

 protected:
  void BeforeWrite(bool inserting) override;
  void AfterWrite(bool inserting) override;

 private:
  void ReadPhones();
  std::vector<std::wstring> m_phones;   // the further phones, stored and new
  size_t m_storedPhones = 0;            // how many of them are stored
  bool m_phonesRead = false;
};

// The comment record of a transaction: loaded by the transaction's id (data set 0 its key alone, read
// only), its comment row in data set 1 (tr_Comment; none until a comment is saved), added when a
// side is first written and saved with the record.
class CHostTransactionComment : public CHostItem, public ITransactionComment {
 public:
  CHostTransactionComment();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(InitNew)(IFlgDataFactory* factory, VARIANT init) override;
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override;
  STDMETHOD(GetDataSet)(LONG index, IUnknown** recordset) override;

  STDMETHOD(PutReceivedComment)(BSTR comment) override;
  STDMETHOD(PutReceivedDate)(DATE date) override;
  STDMETHOD(PutReceivedScore)(LONG score) override;
  STDMETHOD(PutSentComment)(BSTR comment) override;
  STDMETHOD(PutSentDate)(DATE date) override;
  STDMETHOD(PutSentScore)(LONG score) override;
  STDMETHOD(PutSentExternalId)(VARIANT id) override;

 protected:
  void AfterWrite(bool inserting) override;

 private:
  HRESULT PutComment(const wchar_t* column, const _variant_t& value);
  _RecordsetPtr m_comments;
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

// The host's image store: each image a row of kd_Image. An image whose bytes are stored already
// answers the stored image's id (its name stays as first given); image data is a byte array
// (VT_ARRAY | VT_UI1), at most 64 MB, never empty.
class CHostImageStore : public IHxImageStore {
 public:
  explicit CHostImageStore(_ConnectionPtr connection) : m_connection(std::move(connection)) {}
  virtual ~CHostImageStore() = default;
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(AddImage)(BSTR name, VARIANT image, LONG* id) override;

 private:
  _ConnectionPtr m_connection;
};

// The host's picture repository over kd_Image: a picture by id with its name, bytes, size and
// byte count; and the transaction scope of a batch of picture work. BeginTransaction begins a
// transaction on the connection and answers its level; EndTransaction commits the one of that
// level (it must be the newest this repository began); 0 ends nothing.
class CHostImageRepository : public IHxImageRepository {
 public:
  explicit CHostImageRepository(_ConnectionPtr connection) : m_connection(std::move(connection)) {}
  virtual ~CHostImageRepository();
  void* FlgGetInterface(REFIID iid);
  STDMETHOD(GetPicture)(LONG id, BSTR* name, IUnknown** stream, LONG* width, LONG* height, LONG* size,
                        VARIANT_BOOL* found) override;
  STDMETHOD(EndTransaction)(LONG state) override;
  STDMETHOD(BeginTransaction)(LONG* state) override;

 private:
  _ConnectionPtr m_connection;
  std::vector<LONG> m_levels;   // the transactions begun and not yet ended, oldest first
};

// The registrations of the host's business-object classes, for the host's lifetime.
std::vector<CFlgClassRegistration> RegisterBusinessObjectClasses();

}  // namespace host
