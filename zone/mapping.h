#pragma once
// The translation between the exchange containers and the status service's values.
//
// Request side: the classes named after the service type they extend with "Ex" build the
// service value from a container (or from the account id) and own every text and number the
// value points to; they live for one operation and free everything at once. Answer side: the
// converters turn the service's answers into new containers.
//
// The rules everywhere: texts travel as UTF-8 (the account's and the bids' identifiers too);
// money goes as the double nearest to the currency value; dates go as seconds since 1970 made
// from local dates; optional parts are left out (null pointer) rather than sent empty.
// Recordset failures are raised as _com_error, and so are dates that cannot be converted
// (E_FAIL for a part out of range, E_INVALIDARG for a date the local-time conversion cannot
// represent).
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "framework/zephra.h"
#include "zone/protocol/StatusServiceBinding.h"

namespace vorlen {

// ---- single values -------------------------------------------------------------------

// The amount the service receives for a currency value: the double nearest to its four-decimal
// value. Null or a value that is no amount gives -1 (none); so does a negative amount.
double MoneyToService(const _variant_t& value);
// Seconds since 1970 (UTC) of a local OLE date; 0 counts as no date at the service.
time_t DateToService(DATE date);
// The local OLE date of seconds since 1970. Raises DISP_E_OVERFLOW, with a description, for a
// time that no OLE date holds.
DATE DateFromService(time_t seconds);
// Text of the service (UTF-8) as a wide text, and back.
std::wstring TextFromService(const char* text);
std::string TextToService(const wchar_t* text);

// ---- request side --------------------------------------------------------------------

// The account's service credentials, from the host's registration lookup. A failing lookup is
// swallowed: the credentials are then incomplete and the service's answer reports it.
class ss__RegisteredServiceUserInfoEx : public ss__RegisteredServiceUserInfo {
 public:
  explicit ss__RegisteredServiceUserInfoEx(LONG lRegId);
  ss__RegisteredServiceUserInfoEx(const ss__RegisteredServiceUserInfoEx&) = delete;
  ss__RegisteredServiceUserInfoEx& operator=(const ss__RegisteredServiceUserInfoEx&) = delete;

 private:
  std::string m_registrationId;
  char* m_registrationIdText = nullptr;
};

// One auction of a bid: the auction number and the service's number (one byte).
class ss__AuctionInfoEx : public ss__AuctionInfo {
 public:
  ss__AuctionInfoEx(std::string auctionId, char serviceId);
  ss__AuctionInfoEx(const ss__AuctionInfoEx&) = delete;
  ss__AuctionInfoEx& operator=(const ss__AuctionInfoEx&) = delete;

 private:
  std::string m_auctionId;
};

// The bids of an AuctionBidInfoContainer, from its first row to its end (`id` is not read).
class ArrayOfAuctionBidInfoEx : public ArrayOfAuctionBidInfo {
 public:
  explicit ArrayOfAuctionBidInfoEx(const _RecordsetPtr& container);
  ArrayOfAuctionBidInfoEx(const ArrayOfAuctionBidInfoEx&) = delete;
  ArrayOfAuctionBidInfoEx& operator=(const ArrayOfAuctionBidInfoEx&) = delete;

 private:
  std::deque<ss__AuctionInfoEx> m_auctions;
  std::deque<ss__AuctionBidInfo> m_bids;
  std::vector<ss__AuctionBidInfo*> m_pointers;
};

// The page numbers of a PageIdsContainer.
class ArrayOf_xsd_intEx : public ArrayOf_xsd_int {
 public:
  explicit ArrayOf_xsd_intEx(const _RecordsetPtr& container);
  ArrayOf_xsd_intEx(const ArrayOf_xsd_intEx&) = delete;
  ArrayOf_xsd_intEx& operator=(const ArrayOf_xsd_intEx&) = delete;

 private:
  std::vector<int> m_ids;
};

// One row of an ItemInfoContainer.
class ss__ItemInfoEx : public ss__ItemInfo {
 public:
  ss__ItemInfoEx();
  ss__ItemInfoEx(const ss__ItemInfoEx&) = delete;
  ss__ItemInfoEx& operator=(const ss__ItemInfoEx&) = delete;
  // Null leaves the name out.
  void SetName(const _variant_t& value);
  // Null or a negative amount leaves the price out; 0 is sent.
  void SetPrice(const _variant_t& value);

 private:
  std::string m_name;
  double m_price = -1.0;
};

// The items of an ItemInfoContainer: of one package (`packageFilter` 0 or above sets the
// container's filter "id = <package>", which stays set) or all of them, with or without prices.
class ArrayOfItemInfoEx : public ArrayOfItemInfo {
 public:
  explicit ArrayOfItemInfoEx(const _RecordsetPtr& container, LONG packageFilter = -1, bool noPrices = false);
  ArrayOfItemInfoEx(const ArrayOfItemInfoEx&) = delete;
  ArrayOfItemInfoEx& operator=(const ArrayOfItemInfoEx&) = delete;

 private:
  std::deque<ss__ItemInfoEx> m_items;
  std::vector<ss__ItemInfo*> m_pointers;
};

// One row of a PackageInfoContainer, with its items from the item container.
class ss__PackageInfoEx : public ss__PackageInfo {
 public:
  ss__PackageInfoEx();
  ss__PackageInfoEx(const ss__PackageInfoEx&) = delete;
  ss__PackageInfoEx& operator=(const ss__PackageInfoEx&) = delete;
  void SetSymbol(const _variant_t& value);
  void SetStatusLink(const _variant_t& value);
  // Null or negative: no charge.
  void SetCharge(const _variant_t& value);
  // Null or empty: no currency.
  void SetChargeCurrency(const _variant_t& value);
  // Null, or a date that gives 0: no date.
  void SetSentDate(const _variant_t& value);
  // The package's items: the rows of `container` whose id is `packageId`, without prices.
  void SetItems(const _RecordsetPtr& container, LONG packageId);

 private:
  std::string m_symbol, m_statusLink, m_chargeCurrency;
  double m_charge = -1.0;
  time_t m_sentDate = 0;
  std::unique_ptr<ArrayOfItemInfoEx> m_items;
};

// The packages of a PackageInfoContainer, each with its items from `items`.
class ArrayOfPackageInfoEx : public ArrayOfPackageInfo {
 public:
  ArrayOfPackageInfoEx(const _RecordsetPtr& packages, const _RecordsetPtr& items);
  ArrayOfPackageInfoEx(const ArrayOfPackageInfoEx&) = delete;
  ArrayOfPackageInfoEx& operator=(const ArrayOfPackageInfoEx&) = delete;

 private:
  std::deque<ss__PackageInfoEx> m_packages;
  std::vector<ss__PackageInfo*> m_pointers;
};

// The first row of a BuyerDataInfoContainer: the notes when `notes` holds a text, each address
// when its `_trusted` field is not Null. The bids are the caller's to set.
class ss__BuyerDataInfoEx : public ss__BuyerDataInfo {
 public:
  explicit ss__BuyerDataInfoEx(const _RecordsetPtr& container);
  ss__BuyerDataInfoEx(const ss__BuyerDataInfoEx&) = delete;
  ss__BuyerDataInfoEx& operator=(const ss__BuyerDataInfoEx&) = delete;

 private:
  struct Address {
    ss__AddressInfo info;
    std::string texts[8];
    char* pointers[4] = {};  // zipCode, country, company, nip
  };
  void ReadAddress(const _RecordsetPtr& container, const wchar_t* prefix, Address& address);

  ss__NotesInfo m_notes;
  std::string m_notesText;
  char* m_notesPointer = nullptr;
  Address m_billing, m_delivery;
};

// The first row of a PageDataInfoContainer (an empty container sends sentAll false alone).
class ss__StatusPageDataInfoEx : public ss__StatusPageDataInfo {
 public:
  explicit ss__StatusPageDataInfoEx(const _RecordsetPtr& container);
  ss__StatusPageDataInfoEx(const ss__StatusPageDataInfoEx&) = delete;
  ss__StatusPageDataInfoEx& operator=(const ss__StatusPageDataInfoEx&) = delete;

 private:
  std::string m_baseCurrency, m_paymentCurrency;
  double m_payment = -1.0;
  time_t m_remittanceDate = 0, m_buyDate = 0;
};

// ---- answer side ---------------------------------------------------------------------

// A StatusesOptionsContainer with one row.
_RecordsetPtr PageConfigToRecordset(const ss__PageConfigInfo& config);
// A StatusPageInfoContainer with one row; the buyer-data and bid containers when the page
// holds untrusted buyer data, else null.
void StatusPageInfoToRecordsets(const ss__StatusPageInfo& page, _RecordsetPtr& pageInfo, _RecordsetPtr& buyerData,
                                _RecordsetPtr& bids);
// A BuyerDataInfoContainer (a row per entry, `id` its position from 0) and an
// AuctionBidInfoContainer (a row per bid, `id` the position of its entry).
void BuyerDataToRecordsets(const ArrayOfBuyerDataInfo& data, _RecordsetPtr& buyerData, _RecordsetPtr& bids);
// A PageChangesInfoContainer: a row per page, 1 January 2000 00:00 for a page without a date.
_RecordsetPtr PageChangesToRecordset(const ArrayOfStatusPageInfo& pages);

}  // namespace vorlen
