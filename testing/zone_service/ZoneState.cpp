// The model's pages as a text file, so that a service started again goes on from where the last
// one stopped. One record a line, fields separated by spaces; texts are written percent-encoded
// after "'" and a missing value is "~". Records after a "page" line belong to that page.
//   zone-service-state 1
//   next N
//   page id sellerUserId serviceId closed autoRegroup buyerOpened regroupedInto urlPart lastEntry
//   bid auctionId serviceId buyerId
//   buyer untrusted|acknowledged hasBids          (then its "bbid" lines, "notes", "address")
//   pagedata remittance buy sentAll baseCurrency paymentCurrency payment
//   items | packages | constraints all bill deliv notes
//   item name quantity price sortOrder             (of the last "items" or "package" line)
//   package symbol statusLink chargeCurrency charge sentDate sortOrder hasItems
#include <cstdio>
#include <fstream>
#include <sstream>

#include "testing/zone_service/ZoneModel.h"

namespace zone_service {
namespace {

std::string Encode(const std::string& text) {
  std::string out = "'";
  for (unsigned char c : text) {
    if (c <= ' ' || c == '%' || c == 0x7F) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Put(const std::optional<std::string>& v) { return v ? Encode(*v) : "~"; }
std::string Put(const std::optional<double>& v) {
  if (!v) return "~";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", *v);
  return text;
}
template <class T>
std::string PutNumber(const std::optional<T>& v) {
  return v ? std::to_string(*v) : "~";
}

bool Decode(const std::string& token, std::optional<std::string>& out) {
  if (token == "~") {
    out.reset();
    return true;
  }
  if (token.empty() || token[0] != '\'') return false;
  std::string text;
  for (size_t i = 1; i < token.size(); ++i) {
    if (token[i] != '%') {
      text += token[i];
      continue;
    }
    if (i + 2 >= token.size()) return false;
    text += static_cast<char>(std::stoi(token.substr(i + 1, 2), nullptr, 16));
    i += 2;
  }
  out = text;
  return true;
}

// Reads the fields of one line.
class Fields {
 public:
  explicit Fields(const std::string& line) : in_(line) {}
  bool Word(std::string& out) { return static_cast<bool>(in_ >> out); }
  bool Text(std::optional<std::string>& out) {
    std::string token;
    return Word(token) && Decode(token, out);
  }
  bool Text(std::string& out) {
    std::optional<std::string> text;
    if (!Text(text) || !text) return false;
    out = *text;
    return true;
  }
  template <class T>
  bool Number(T& out) {
    return static_cast<bool>(in_ >> out);
  }
  template <class T>
  bool Number(std::optional<T>& out) {
    std::string token;
    if (!Word(token)) return false;
    if (token == "~") {
      out.reset();
      return true;
    }
    std::istringstream value(token);
    T v{};
    if (!(value >> v)) return false;
    out = v;
    return true;
  }
  bool Flag(bool& out) {
    int v = 0;
    if (!Number(v)) return false;
    out = v != 0;
    return true;
  }
  bool End() {
    std::string rest;
    return !(in_ >> rest);
  }

 private:
  std::istringstream in_;
};

void WriteItems(std::ostream& out, const std::vector<Item>& items) {
  for (const Item& i : items)
    out << "item " << Put(i.name) << ' ' << i.quantity << ' ' << Put(i.price) << ' ' << i.sortOrder << '\n';
}

void WriteAddress(std::ostream& out, const char* kind, const Address& a) {
  out << "address " << kind << ' ' << a.trusted;
  for (const auto* part : {&a.name, &a.firstLine, &a.secondLine, &a.zipCode, &a.city, &a.country, &a.company, &a.nip})
    out << ' ' << Put(*part);
  out << '\n';
}

void WriteBuyer(std::ostream& out, const char* kind, const BuyerData& b) {
  out << "buyer " << kind << ' ' << b.bids.has_value() << '\n';
  if (b.bids)
    for (const Bid& bid : *b.bids)
      out << "bbid " << Encode(bid.auctionId) << ' ' << bid.serviceId << ' ' << bid.buyerId << '\n';
  if (b.notes) out << "notes " << b.notes->trusted << ' ' << Put(b.notes->text) << '\n';
  if (b.billingAddress) WriteAddress(out, "bill", *b.billingAddress);
  if (b.deliveryAddress) WriteAddress(out, "deliv", *b.deliveryAddress);
}

}  // namespace

bool Model::SaveState(const std::string& path, std::string* error) {
  std::ostringstream out;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    out << "zone-service-state 1\nnext " << nextPageId_ << '\n';
    for (const auto& [id, p] : pages_) {
      out << "page " << p.id << ' ' << p.owner.serviceUserId << ' ' << p.owner.serviceId << ' ' << p.closed << ' '
          << p.autoRegroup << ' ' << p.buyerOpened << ' ' << PutNumber(p.regroupedInto) << ' ' << Encode(p.urlPart)
          << ' ' << PutNumber(p.lastBuyerDataEntryDate) << '\n';
      for (const Bid& bid : p.bids)
        out << "bid " << Encode(bid.auctionId) << ' ' << bid.serviceId << ' ' << bid.buyerId << '\n';
      for (const BuyerData& b : p.untrustedBuyerData) WriteBuyer(out, "untrusted", b);
      if (p.acknowledgedBuyerData) WriteBuyer(out, "acknowledged", *p.acknowledgedBuyerData);
      if (p.pageData) {
        const PageData& d = *p.pageData;
        out << "pagedata " << PutNumber(d.remittanceDate) << ' ' << PutNumber(d.buyDate) << ' ' << d.sentAll << ' '
            << Put(d.baseCurrency) << ' ' << Put(d.paymentCurrency) << ' ' << Put(d.payment) << '\n';
      }
      if (p.items) {
        out << "items\n";
        WriteItems(out, *p.items);
      }
      if (p.packages) {
        out << "packages\n";
        for (const Package& k : *p.packages) {
          out << "package " << Put(k.symbol) << ' ' << Put(k.statusLink) << ' ' << Put(k.chargeCurrency) << ' '
              << Put(k.charge) << ' ' << PutNumber(k.sentDate) << ' ' << k.sortOrder << ' ' << k.items.has_value()
              << '\n';
          if (k.items) WriteItems(out, *k.items);
        }
      }
      if (p.constraints) {
        const EntryConstraints& c = *p.constraints;
        out << "constraints " << c.allEnabled << ' ' << c.billAddressEnabled << ' ' << c.delivAddressEnabled << ' '
            << c.notesEnabled << '\n';
      }
    }
  }
  // Written beside the file and renamed over it: a reader never sees half a state.
  const std::string temporary = path + ".new";
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << out.str();
    if (!file.flush()) {
      if (error) *error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot replace " + path;
    return false;
  }
  return true;
}

bool Model::LoadState(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::map<int, Page> pages;
  int next = 1;
  Page* page = nullptr;
  BuyerData* buyer = nullptr;
  std::vector<Item>* items = nullptr;
  std::string line;
  int number = 0;
  auto bad = [&] {
    if (error) *error = path + ":" + std::to_string(number) + ": malformed state";
    return false;
  };
  auto readItem = [&](Fields& f) {
    Item i;
    return items && f.Text(i.name) && f.Number(i.quantity) && f.Number(i.price) && f.Number(i.sortOrder) && f.End() &&
           (items->push_back(i), true);
  };
  while (std::getline(in, line)) {
    ++number;
    Fields f(line);
    std::string kind;
    if (!f.Word(kind)) continue;
    if (number == 1) {
      int version = 0;
      if (kind != "zone-service-state" || !f.Number(version) || version != 1) return bad();
      continue;
    }
    bool ok = false;
    if (kind == "next") {
      ok = f.Number(next) && f.End();
    } else if (kind == "page") {
      Page p;
      ok = f.Number(p.id) && f.Number(p.owner.serviceUserId) && f.Number(p.owner.serviceId) && f.Flag(p.closed) &&
           f.Flag(p.autoRegroup) && f.Flag(p.buyerOpened) && f.Number(p.regroupedInto) && f.Text(p.urlPart) &&
           f.Number(p.lastBuyerDataEntryDate) && f.End();
      if (ok) {
        page = &(pages[p.id] = p);
        buyer = nullptr;
        items = nullptr;
      }
    } else if (!page) {
      return bad();
    } else if (kind == "bid" || kind == "bbid") {
      Bid bid;
      ok = f.Text(bid.auctionId) && f.Number(bid.serviceId) && f.Number(bid.buyerId) && f.End();
      if (ok && kind == "bid") page->bids.push_back(bid);
      if (ok && kind == "bbid") ok = buyer && buyer->bids && (buyer->bids->push_back(bid), true);
    } else if (kind == "buyer") {
      std::string which;
      bool hasBids = false;
      ok = f.Word(which) && f.Flag(hasBids) && f.End() && (which == "untrusted" || which == "acknowledged");
      if (ok) {
        if (which == "untrusted") {
          buyer = &page->untrustedBuyerData.emplace_back();
        } else {
          page->acknowledgedBuyerData.emplace();
          buyer = &*page->acknowledgedBuyerData;
        }
        if (hasBids) buyer->bids.emplace();
      }
    } else if (kind == "notes") {
      Notes n;
      ok = buyer && f.Flag(n.trusted) && f.Text(n.text) && f.End();
      if (ok) buyer->notes = n;
    } else if (kind == "address") {
      std::string which;
      Address a;
      ok = buyer && f.Word(which) && f.Flag(a.trusted);
      for (auto* part : {&a.name, &a.firstLine, &a.secondLine, &a.zipCode, &a.city, &a.country, &a.company, &a.nip})
        ok = ok && f.Text(*part);
      ok = ok && f.End() && (which == "bill" || which == "deliv");
      if (ok) (which == "bill" ? buyer->billingAddress : buyer->deliveryAddress) = a;
    } else if (kind == "pagedata") {
      PageData d;
      ok = f.Number(d.remittanceDate) && f.Number(d.buyDate) && f.Flag(d.sentAll) && f.Text(d.baseCurrency) &&
           f.Text(d.paymentCurrency) && f.Number(d.payment) && f.End();
      if (ok) page->pageData = d;
    } else if (kind == "items") {
      ok = f.End();
      if (ok) items = &page->items.emplace();
    } else if (kind == "packages") {
      ok = f.End();
      if (ok) page->packages.emplace();
    } else if (kind == "package") {
      Package k;
      bool hasItems = false;
      ok = page->packages && f.Text(k.symbol) && f.Text(k.statusLink) && f.Text(k.chargeCurrency) &&
           f.Number(k.charge) && f.Number(k.sentDate) && f.Number(k.sortOrder) && f.Flag(hasItems) && f.End();
      if (ok) {
        Package& added = page->packages->emplace_back(k);
        items = hasItems ? &added.items.emplace() : nullptr;
      }
    } else if (kind == "item") {
      ok = readItem(f);
    } else if (kind == "constraints") {
      EntryConstraints c;
      ok = f.Flag(c.allEnabled) && f.Flag(c.billAddressEnabled) && f.Flag(c.delivAddressEnabled) &&
           f.Flag(c.notesEnabled) && f.End();
      if (ok) page->constraints = c;
    }
    if (!ok) return bad();
  }
  if (number == 0) return bad();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [id, p] : pages) pages_[id] = std::move(p);
  nextPageId_ = std::max(nextPageId_, next);
  return true;
}

int Model::EnterDemoBuyerData(std::int64_t seller, std::time_t when) {
  std::vector<int> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, p] : pages_)
      if (p.owner.serviceUserId == seller && !p.closed && !p.regroupedInto) open.push_back(id);
  }
  for (int id : open) {
    BuyerData data;
    data.notes = Notes{true, "Proszę o wysyłkę po 15:00, dziękuję."};
    Address billing;
    billing.trusted = true;
    billing.name = "Kupujący " + std::to_string(id);
    billing.firstLine = "ul. Piotrkowska 104";
    billing.zipCode = "90-926";
    billing.city = "Łódź";
    billing.country = "Polska";
    billing.company = "Sklep Przykładowy sp. z o.o.";
    billing.nip = "7251234567";
    Address delivery = billing;
    delivery.firstLine = "ul. Zielona 7";
    delivery.secondLine = "m. 12";
    delivery.zipCode = "90-601";
    delivery.company.reset();
    delivery.nip.reset();
    data.billingAddress = billing;
    data.deliveryAddress = delivery;
    EnterBuyerData(id, data, when);
  }
  return static_cast<int>(open.size());
}

}  // namespace zone_service
