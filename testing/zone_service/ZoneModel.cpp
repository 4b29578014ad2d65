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
  while (std::getline(in, line)) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    Account a;
    if (!(fields >> a.key.serviceUserId)) continue;  // blank line
    if (!(fields >> a.key.serviceId >> a.registrationId)) {
      if (error) *error = path + ":" + std::to_string(number) + ": expected serviceUserId serviceId registrationId";
      return false;
    }
    AddAccount(a);
  }
  return true;
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
