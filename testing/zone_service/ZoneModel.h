#pragma once
// In-memory state of the seller-zone test service: sellers' accounts and page settings,
// auctions with their bidders, status pages with the data sellers sent and buyers entered.
// Plain C++ values; the SOAP side converts to and from them. All members are guarded by
// the model's mutex through the public calls; Lock() gives tests a consistent view.
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zone_service {

struct AccountKey {
  std::int64_t serviceUserId = 0;
  int serviceId = 0;
  auto operator<=>(const AccountKey&) const = default;
};

struct PageConfig {
  bool statusesEnabled = true;
  bool allowBillingAddressEntry = true;
  bool allowDeliveryAddressEntry = true;
  std::optional<std::string> sellerShortDescription;
  std::optional<std::string> sellerUrl;
};

struct Account {
  AccountKey key;
  std::string registrationId;
  PageConfig config;
};

struct Bid {
  std::string auctionId;
  int serviceId = 0;
  std::int64_t buyerId = 0;
  bool operator==(const Bid&) const = default;
};

struct Notes {
  bool trusted = false;
  std::optional<std::string> text;
};

struct Address {
  bool trusted = false;
  std::optional<std::string> name, firstLine, secondLine, zipCode, city, country, company, nip;
};

struct BuyerData {
  std::optional<std::vector<Bid>> bids;
  std::optional<Notes> notes;
  std::optional<Address> billingAddress, deliveryAddress;
};

struct Item {
  std::optional<std::string> name;
  int quantity = 0;
  std::optional<double> price;
  int sortOrder = 0;
};

struct Package {
  std::optional<std::string> symbol, statusLink, chargeCurrency;
  std::optional<double> charge;
  std::optional<std::time_t> sentDate;
  std::optional<std::vector<Item>> items;
  int sortOrder = 0;
};

struct PageData {
  std::optional<std::time_t> remittanceDate, buyDate;
  bool sentAll = false;
  std::optional<std::string> baseCurrency, paymentCurrency;
  std::optional<double> payment;
};

struct EntryConstraints {
  bool allEnabled = false, billAddressEnabled = false, delivAddressEnabled = false, notesEnabled = false;
};

struct Page {
  int id = 0;
  AccountKey owner;
  std::vector<Bid> bids;
  bool closed = false;
  bool autoRegroup = false;
  bool buyerOpened = false;  // the buyer has visited the page and entered data
  std::optional<int> regroupedInto;
  std::string urlPart;
  std::optional<std::time_t> lastBuyerDataEntryDate;
  std::vector<BuyerData> untrustedBuyerData;  // entered by the buyer, not yet acknowledged
  std::optional<BuyerData> acknowledgedBuyerData;
  std::optional<PageData> pageData;
  std::optional<std::vector<Item>> items;
  std::optional<std::vector<Package>> packages;
  std::optional<EntryConstraints> constraints;
};

struct Auction {
  std::string auctionId;
  int serviceId = 0;
  AccountKey seller;
  std::vector<std::int64_t> bidders;
};

class Model {
 public:
  Model() = default;

  // A small fixed set of sellers, auctions and bidders; `seed` varies the numbers.
  void Seed(unsigned seed);
  // Sellers' accounts, with their auctions and pages, one a line ('#' starts a comment):
  //   serviceUserId serviceId registrationId
  //   auction auctionId serviceId sellerUserId bidder...
  //   page pageId sellerUserId serviceId auctionId buyerId [closed]
  // (an auction and a page belong to the seller of that user id at that service). Pages opened
  // later get ids above those of the file. False on an unreadable file or a malformed line (the
  // model keeps the lines read before it).
  bool LoadAccountsFile(const std::string& path, std::string* error);

  // The next `times` calls of `operation` (its name in the service: "closePage",
  // "openTrustedPage", ...) answer the named fault (its class name: "ServiceUnavailableFault");
  // -1 for every call until cleared. An empty name makes them succeed without doing anything
  // and without an answer.
  void InjectFault(const std::string& operation, const std::string& fault, int times = 1);
  void ClearFaults();
  // Calls of `operation` so far.
  int Calls(const std::string& operation);

  void AddAccount(const Account& account);
  void AddAuction(const Auction& auction);
  // Simulates the buyer entering data on a page (untrusted until acknowledged).
  bool EnterBuyerData(int pageId, const BuyerData& data, std::time_t when);
  // The demonstration's buyer entry (notes, billing and delivery addresses, entered at `when`)
  // on every open page of the seller; the number of pages.
  int EnterDemoBuyerData(std::int64_t sellerUserId, std::time_t when);
  void SetUnavailable(bool unavailable);

  // The pages (with what sellers sent and buyers entered) and the next page id, kept in a file
  // between runs of the service (ZoneState.cpp). Loading adds to the pages of the accounts file
  // (a page of the state replaces the file's page of its id). False on a file that cannot be
  // written, or read, or that is malformed (the model is then unchanged).
  bool SaveState(const std::string& path, std::string* error);
  bool LoadState(const std::string& path, std::string* error);

  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }
  // These need Lock() held.
  std::map<AccountKey, Account>& accounts() { return accounts_; }
  std::map<int, Page>& pages() { return pages_; }
  std::vector<Auction>& auctions() { return auctions_; }
  bool unavailable() const { return unavailable_; }
  int NextPageId() { return nextPageId_++; }
  const Auction* FindAuction(const std::string& id, int serviceId) const;
  // Counts the call of `operation` and gives the fault it is to answer, if any (see InjectFault).
  std::optional<std::string> TakeFault(const std::string& operation);

 private:
  std::mutex mutex_;
  std::map<AccountKey, Account> accounts_;
  std::vector<Auction> auctions_;
  std::map<int, Page> pages_;
  int nextPageId_ = 1;
  bool unavailable_ = false;
  struct Injection {
    std::string fault;
    int times = 0;
  };
  std::map<std::string, Injection> injected_;
  std::map<std::string, int> calls_;
};

}  // namespace zone_service
