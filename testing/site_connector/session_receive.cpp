// The reference session's downloads: the data file's records through the manager's callbacks.
#include "testing/site_connector/session_receive.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "platform/base/utf8.h"
#include "platform/com/error.h"
#include "platform/strings/oledatetime.h"

namespace reference {
namespace {

using nlohmann::json;

// A data file value that does not fit its field: the download fails with the field's name.
[[noreturn]] void Refuse(const std::string& field, const char* why) {
  const std::wstring text = L"Plik danych serwisu wzorcowego: pole " + platform::utf8::ToWide(field) + L" " +
                            platform::utf8::ToWide(why) + L".";
  platform::com::Raise(E_INVALIDARG, text.c_str(), L"Reference.SiteConnector");
}

_variant_t Null() {
  _variant_t v;
  v.vt = VT_NULL;
  return v;
}

// "YYYY-MM-DD", optionally with "THH:MM" and ":SS".
bool ParseDate(const std::string& text, DATE& out) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char rest = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &rest);
  if (n != 3 && n != 5 && n != 6) return false;
  const COleDateTime date(y, mo, d, h, mi, s);
  if (date.GetStatus() != COleDateTime::valid) return false;
  out = date.m_dt;
  return true;
}

_variant_t ValueFor(const std::string& name, DataTypeEnum type, const json& value) {
  if (value.is_null()) return Null();
  _variant_t v;
  switch (type) {
    case adInteger:
      if (!value.is_number_integer()) Refuse(name, "nie jest liczbą całkowitą");
      if (value.get<long long>() < INT32_MIN || value.get<long long>() > INT32_MAX) Refuse(name, "jest poza zakresem");
      return _variant_t(static_cast<LONG>(value.get<long long>()));
    case adBigInt:
      if (!value.is_number_integer()) Refuse(name, "nie jest liczbą całkowitą");
      v.vt = VT_I8;
      v.llVal = value.get<long long>();
      return v;
    case adCurrency: {
      if (!value.is_number()) Refuse(name, "nie jest kwotą");
      const double amount = value.get<double>();
      if (!(std::fabs(amount) < 9e14)) Refuse(name, "jest poza zakresem");
      v.vt = VT_CY;
      v.cyVal.int64 = std::llround(amount * 10000.0);
      return v;
    }
    case adDouble:
      if (!value.is_number()) Refuse(name, "nie jest liczbą");
      return _variant_t(value.get<double>());
    case adDate: {
      DATE date = 0;
      if (!value.is_string() || !ParseDate(value.get<std::string>(), date)) Refuse(name, "nie jest datą");
      v.vt = VT_DATE;
      v.date = date;
      return v;
    }
    case adBoolean:
      if (!value.is_boolean()) Refuse(name, "nie jest wartością logiczną");
      v.vt = VT_BOOL;
      v.boolVal = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
      return v;
    case adLongVarBinary: {
      std::string bytes;
      if (!value.is_string() || !DecodeBase64(value.get<std::string>(), bytes)) Refuse(name, "nie jest tekstem base64");
      SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
      if (!array) _com_issue_error(E_OUTOFMEMORY);
      void* data = nullptr;
      SafeArrayAccessData(array, &data);
      if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(array);
      v.vt = VT_ARRAY | VT_UI1;
      v.parray = array;
      return v;
    }
    default:
      if (value.is_string()) return _variant_t(platform::utf8::ToWide(value.get<std::string>()).c_str());
      if (value.is_number_integer()) return _variant_t(std::to_wstring(value.get<long long>()).c_str());
      Refuse(name, "nie jest tekstem");
  }
}

// A new row of the container with the object's values of its fields (the others NULL); the
// container stays on it.
void AddRow(_Recordset* rs, const json& object, const json* more = nullptr) {
  rs->AddNew();
  FieldsPtr fields = rs->GetFields();
  const LONG count = fields->GetCount();
  for (LONG i = 0; i < count; ++i) {
    FieldPtr field = fields->GetItem(_variant_t(i));
    const std::string name = platform::utf8::FromWide(static_cast<const wchar_t*>(field->GetName()));
    const json* source = object.contains(name) ? &object : more && more->contains(name) ? more : nullptr;
    if (source) field->PutValue(ValueFor(name, field->GetType(), (*source)[name]));
  }
  rs->Update();
}

std::string Text(const json& object, const char* key) {
  if (!object.contains(key)) return std::string();
  const json& v = object[key];
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number_integer()) return std::to_string(v.get<long long>());
  return std::string();
}

// Logins compare as the site compares them: ignoring the case of ASCII letters.
bool SameLogin(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
long long Integer(const json& object, const char* key, long long fallback) {
  if (!object.contains(key) || !object[key].is_number_integer()) return fallback;
  return object[key].get<long long>();
}
const json& Section(const json& data, const char* name) {
  static const json empty = json::array();
  if (!data.is_object() || !data.contains(name) || !data[name].is_array()) return empty;
  return data[name];
}

// A field of a row as the record shows it.
std::wstring Shown(_Recordset* rs, const wchar_t* name) {
  const _variant_t v = rs->GetFields()->GetItem(_variant_t(name))->GetValue();
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return L"null";
  if (v.vt == VT_BOOL) return v.boolVal ? L"1" : L"0";
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) return L"?";
  return text.bstrVal ? text.bstrVal : L"";
}

// The work of one download: the callback, the termination check and the record count.
class Run {
 public:
  Run(const Delivery& delivery, LONG slot) : m_d(delivery), m_slot(slot) {
    if (!m_d.sync) _com_issue_error(E_POINTER);
    m_killAfter = Integer(m_d.data, "kill_after", -1);
    m_pauseAfter = Integer(m_d.data, "pause_after", -1);
    m_pausePipe = Text(m_d.data, "pause_pipe");
  }
  // Whether the job is to end (asked before every record).
  bool Terminated() {
    VARIANT_BOOL terminated = VARIANT_FALSE;
    Check(m_d.sync->IsTerminated(&terminated));
    if (terminated != VARIANT_FALSE) m_d.record(std::to_wstring(m_slot) + L" terminated");
    return terminated != VARIANT_FALSE;
  }
  // After a record was handed over.
  void Delivered() {
    ++m_delivered;
    if (m_killAfter >= 0 && m_delivered >= m_killAfter) {
      std::fflush(nullptr);
      ::kill(::getpid(), SIGKILL);
    }
    if (m_pauseAfter >= 0 && m_delivered == m_pauseAfter && !m_pausePipe.empty()) Pause();
  }
  // Whether a record belongs to the session: its site, and the account that listed it (a
  // listing names its seller's login; records without one belong to every account).
  bool OnSite(const json& object) const {
    const long long site = Integer(object, "site", 0);
    if (site != 0 && m_d.site != 0 && site != m_d.site) return false;
    const std::string seller = Text(object, "seller");
    return seller.empty() || m_d.seller.empty() || SameLogin(seller, m_d.seller);
  }
  // Raises a failed callback: the connector stops its download with the manager's error.
  static void Check(HRESULT hr) {
    if (FAILED(hr)) platform::com::RaiseWithThreadInfo(hr);
  }
  const Delivery& d() const { return m_d; }

 private:
  // Tells the test that the receive is held here and waits for its answer (a minute at most).
  void Pause() {
    // The answer's end is open before the test is told, so that its answer always finds it.
    const int go = ::open((m_pausePipe + ".go").c_str(), O_RDONLY | O_NONBLOCK);
    if (go < 0) return;
    const int paused = ::open((m_pausePipe + ".paused").c_str(), O_WRONLY | O_NONBLOCK);
    const char p = 'p';
    const bool told = paused >= 0 && ::write(paused, &p, 1) == 1;
    if (paused >= 0) ::close(paused);
    if (told) ::unlink((m_pausePipe + ".paused").c_str());
    if (!told) {
      ::close(go);
      return;
    }
    pollfd wait{go, POLLIN, 0};
    char answer = 0;
    for (int waited = 0; waited < 600 && ::read(go, &answer, 1) != 1; ++waited) ::poll(&wait, 1, 100);
    ::close(go);
  }

  const Delivery& m_d;
  LONG m_slot;
  long long m_killAfter = -1;
  long long m_pauseAfter = -1;
  std::string m_pausePipe;
  long long m_delivered = 0;
};

const json* AuctionOf(const json& data, const std::string& number) {
  for (const json& auction : Section(data, "auctions"))
    if (Text(auction, "number") == number) return &auction;
  return nullptr;
}

// Hands one auction over (with its images into `images` when given) and records the answers.
void DeliverAuction(Run& run, const json& auction, _Recordset* auctions, _Recordset* images, bool full, LONG slot) {
  json row = auction;
  if (!full) row.erase("description");
  if (!row.contains("blocked")) row["blocked"] = false;
  const std::string number = Text(auction, "number");
  if (run.d().counted.count(number)) row["counted"] = true;
  AddRow(auctions, row);
  if (images && full && auction.contains("images") && auction["images"].is_array()) {
    const json key = {{"auction_number", number}};
    for (const json& image : auction["images"]) AddRow(images, image, &key);
  }
  Run::Check(run.d().sync->AuctionReceived(auctions, full ? images : nullptr, VARIANT_FALSE));
  run.Delivered();
  if (Shown(auctions, L"counted") == L"1") run.d().counted.insert(number);
  run.d().record(std::to_wstring(slot) + L" auction " + Shown(auctions, L"number") + L" id=" +
                 Shown(auctions, L"auction_id") + L" counted=" + Shown(auctions, L"counted") + L" sold_sum=" +
                 Shown(auctions, L"sold_sum") + L" errors=" + Shown(auctions, L"errors"));
}

}  // namespace

bool DecodeBase64(const std::string& text, std::string& bytes) {
  bytes.clear();
  unsigned buffer = 0;
  int bits = 0;
  size_t padding = 0;
  for (char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else if (c == '=') {
      ++padding;
      continue;
    } else if (c == '\n' || c == '\r' || c == ' ') {
      continue;
    } else {
      return false;
    }
    if (padding) return false;  // data after the padding
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return padding <= 2 && bits < 6;
}

HRESULT ReceiveTransactions(const Delivery& delivery, _Recordset* customers, _Recordset* transactions,
                            _Recordset* auctions, LONG mode, LotrixRegCustData* customData) {
  if (!customers || !transactions || !auctions) return E_POINTER;
  if (mode != 1 && mode != 2) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    Run run(delivery, 40);
    long long position = 0;
    if (mode == 2 && customData) {
      _variant_t stored;
      Run::Check(customData->GetValue(_variant_t(kJournalPositionName), &stored));
      _variant_t converted;
      if (stored.vt != VT_NULL && stored.vt != VT_EMPTY && SUCCEEDED(VariantChangeType(&converted, &stored, 0, VT_I8)))
        position = converted.llVal;
      delivery.record(L"40 journal from " + std::to_wstring(position));
    }
    const bool fromJournal = mode == 2 && customData;
    long long reached = position;
    // The first purchase the manager cannot have stored for want of its buyer (not delivered, or
    // answered with no customer): the position stays before it, so that it comes again.
    long long held = std::numeric_limits<long long>::max();
    std::set<std::string> auctionsGiven;
    std::map<long long, bool> buyersStored;  // the buyers delivered, and whether they were stored
    for (const json& purchase : Section(delivery.data, "transactions")) {
      const long long journal = Integer(purchase, "journal", 0);
      if (fromJournal && journal <= position) continue;
      const std::string number = Text(purchase, "item_number");
      const json* auction = AuctionOf(delivery.data, number);
      if (auction && !run.OnSite(*auction)) continue;
      if (run.Terminated()) return;
      // The auction of the purchase, then its buyer, then the purchase.
      if (auction && auctionsGiven.insert(number).second) {
        DeliverAuction(run, *auction, auctions, nullptr, false, 40);
        if (run.Terminated()) return;
      }
      const long long buyer = Integer(purchase, "user_id", 0);
      if (!buyersStored.count(buyer)) {
        buyersStored[buyer] = false;
        for (const json& customer : Section(delivery.data, "customers")) {
          if (Integer(customer, "user_id", -1) != buyer) continue;
          AddRow(customers, customer);
          Run::Check(delivery.sync->CustomerReceived(customers));
          run.Delivered();
          const _variant_t answer = customers->GetFields()->GetItem(_variant_t(L"customer_id"))->GetValue();
          _variant_t id;
          buyersStored[buyer] = answer.vt != VT_NULL && answer.vt != VT_EMPTY &&
                                SUCCEEDED(VariantChangeType(&id, &answer, 0, VT_I4)) && id.lVal > 0;
          delivery.record(L"40 customer " + Shown(customers, L"user_id") + L" customer_id=" +
                          Shown(customers, L"customer_id"));
          if (run.Terminated()) return;
          break;
        }
      }
      json row = purchase;
      if (!row.contains("item_name") && auction && auction->contains("title")) row["item_name"] = (*auction)["title"];
      AddRow(transactions, row);
      Run::Check(delivery.sync->TransactionReceived(transactions));
      run.Delivered();
      delivery.record(L"40 transaction " + Shown(transactions, L"item_number") + L" " + Shown(transactions, L"user_id"));
      if (journal > reached) reached = journal;
      if (!buyersStored[buyer] && journal < held) held = journal;
    }
    if (held != std::numeric_limits<long long>::max()) reached = std::max(position, std::min(reached, held - 1));
    if (fromJournal && reached != position) {
      _variant_t value(static_cast<LONG>(reached));
      Run::Check(customData->SetValue(_variant_t(kJournalPositionName), value));
      delivery.record(L"40 journal to " + std::to_wstring(reached));
    }
  });
}

HRESULT ReceiveAuctions(const Delivery& delivery, _Recordset* auctions, _Recordset* images, LONG flags) {
  if (!auctions || !images) return E_POINTER;
  return platform::com::Boundary([&] {
    Run run(delivery, 41);
    const bool full = (flags & lotrixAuctionFullData) == lotrixAuctionFullData;
    const std::map<std::string, LONG> kinds = {{"running", lotrixAuctionRunning}, {"sold", lotrixAuctionSold}, {"unsold", lotrixAuctionUnsold}};
    for (const json& auction : Section(delivery.data, "auctions")) {
      const auto kind = kinds.find(Text(auction, "state"));
      if (kind == kinds.end() || !(flags & kind->second) || !run.OnSite(auction)) continue;
      if (run.Terminated()) return;
      DeliverAuction(run, auction, auctions, images, full, 41);
    }
  });
}

HRESULT ReceiveComments(const Delivery& delivery, _Recordset* auctions, LONG kind, _Recordset* comments, LONG count) {
  if (!auctions || !comments) return E_POINTER;
  if (kind != 0 && kind != 1) return E_INVALIDARG;
  if (count < 0) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    Run run(delivery, 42);
    std::vector<const json*> wanted;
    for (const json& comment : Section(delivery.data, "comments")) {
      if (Integer(comment, "type", -1) != kind) continue;
      const json* auction = AuctionOf(delivery.data, Text(comment, "auction_number"));
      if (auction && !run.OnSite(*auction)) continue;
      wanted.push_back(&comment);
    }
    // The last ones of the site's list, in its order.
    const size_t first = count > 0 && wanted.size() > static_cast<size_t>(count) ? wanted.size() - count : 0;
    for (size_t i = first; i < wanted.size(); ++i) {
      if (run.Terminated()) return;
      AddRow(comments, *wanted[i]);
      Run::Check(delivery.sync->CommentReceived(comments));
      run.Delivered();
      delivery.record(L"42 comment " + Shown(comments, L"auction_number") + L" type=" + std::to_wstring(kind));
    }
  });
}

}  // namespace reference
