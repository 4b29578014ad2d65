#include "testing/zone_service/ZoneModel.h"

#include <fstream>
#include <sstream>

namespace zone_service {

void Model::Seed(unsigned seed) {
  const std::int64_t base = 1000 + static_cast<std::int64_t>(seed % 1000) * 10;
  for (int i = 0; i < 2; ++i) {
    Account a;
    a.key = {base + i, 1};
    a.registrationId = "REG-" + std::to_string(base + i);
    a.config.sellerShortDescription = "Sprzedawca " + std::to_string(base + i);
    a.config.sellerUrl = "http://sklep.example/" + std::to_string(base + i);
    AddAccount(a);
    for (int j = 1; j <= 3; ++j) {
      Auction au;
      au.auctionId = std::to_string(base + i) + "-" + std::to_string(j);
      au.serviceId = 1;
      au.seller = a.key;
      au.bidders = {500 + j, 600 + j};
      AddAuction(au);
    }
  }
}

bool Model::LoadAccountsFile(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  auto malformed = [&](const char* expected) {
    if (error) *error = path + ":" + std::to_string(number) + ": expected " + expected;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    std::string first;
    if (!(fields >> first)) continue;  // blank line
    if (first == "auction") {
      Auction a;
      if (!(fields >> a.auctionId >> a.serviceId >> a.seller.serviceUserId))
        return malformed("auction auctionId serviceId sellerUserId bidder...");
      a.seller.serviceId = a.serviceId;
      std::int64_t bidder = 0;
      while (fields >> bidder) a.bidders.push_back(bidder);
      if (!fields.eof() || a.bidders.empty()) return malformed("auction auctionId serviceId sellerUserId bidder...");
      AddAuction(a);
      continue;
    }
    if (first == "page") {
      Page p;
      Bid bid;
      std::string state;
      if (!(fields >> p.id >> p.owner.serviceUserId >> p.owner.serviceId >> bid.auctionId >> bid.buyerId) || p.id <= 0)
        return malformed("page pageId sellerUserId serviceId auctionId buyerId [closed]");
      if (fields >> state && state != "closed") return malformed("page pageId sellerUserId serviceId auctionId buyerId [closed]");
      bid.serviceId = p.owner.serviceId;
      p.bids = {bid};
      p.closed = state == "closed";
      p.urlPart = "s/" + std::to_string(p.id) + "-" + std::to_string(p.owner.serviceUserId);
      std::lock_guard<std::mutex> lock(mutex_);
      pages_[p.id] = p;
      if (nextPageId_ <= p.id) nextPageId_ = p.id + 1;
      continue;
    }
    Account a;
    std::istringstream account(line);
    if (!(account >> a.key.serviceUserId >> a.key.serviceId >> a.registrationId))
      return malformed("serviceUserId serviceId registrationId");
    AddAccount(a);
  }
  return true;
}

void Model::InjectFault(const std::string& operation, const std::string& fault, int times) {
  std::lock_guard<std::mutex> lock(mutex_);
  injected_[operation] = Injection{fault, times};
}

void Model::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  injected_.clear();
}

int Model::Calls(const std::string& operation) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = calls_.find(operation);
  return it == calls_.end() ? 0 : it->second;
}

std::optional<std::string> Model::TakeFault(const std::string& operation) {
  ++calls_[operation];
  auto it = injected_.find(operation);
  if (it == injected_.end() || it->second.times == 0) return std::nullopt;
  std::string fault = it->second.fault;
  if (it->second.times > 0 && --it->second.times == 0) injected_.erase(it);
  return fault;
}

void Model::AddAccount(const Account& account) {
  std::lock_guard<std::mutex> lock(mutex_);
  accounts_[account.key] = account;
}

void Model::AddAuction(const Auction& auction) {
  std::lock_guard<std::mutex> lock(mutex_);
  auctions_.push_back(auction);
}

bool Model::EnterBuyerData(int pageId, const BuyerData& data, std::time_t when) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = pages_.find(pageId);
  if (it == pages_.end()) return false;
  Page& page = it->second;
  BuyerData entered = data;
  if (!entered.bids) entered.bids = page.bids;
  page.untrustedBuyerData.push_back(entered);
  page.lastBuyerDataEntryDate = when;
  page.buyerOpened = true;
  return true;
}

void Model::SetUnavailable(bool unavailable) {
  std::lock_guard<std::mutex> lock(mutex_);
  unavailable_ = unavailable;
}

const Auction* Model::FindAuction(const std::string& id, int serviceId) const {
  for (const Auction& a : auctions_)
    if (a.auctionId == id && a.serviceId == serviceId) return &a;
  return nullptr;
}

}  // namespace zone_service
