// The reference session's sends: listings and given comments written into the site's document.
#include "testing/site_connector/session_send.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

#include "platform/com/error.h"
#include "platform/strings/convert.h"
#include "platform/strings/oledatetime.h"
#include "testing/site_connector/reference_connector.h"
#include "testing/site_connector/state.h"

namespace reference {
namespace {

constexpr long long kFirstAuctionNumber = 100001;

HRESULT Refuse(const std::wstring& reason) {
  return platform::com::ReportError(E_FAIL, (L"Serwis wzorcowy: " + reason).c_str(), kReferenceConnectorProgId,
                                    __uuidof(IAuctionSiteConnector));
}

bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

_variant_t Field(Fields* fields, const wchar_t* name) { return fields->GetItem(_variant_t(name))->GetValue(); }

std::string Utf8(const _variant_t& v) {
  if (IsNull(v)) return std::string();
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) return std::string();
  return platform::WideToUtf8(text.bstrVal ? text.bstrVal : L"");
}

std::string DateText(DATE date) {
  return platform::WideToUtf8(COleDateTime(date).Format(L"%Y-%m-%dT%H:%M:%S").GetString());
}

// A value of a row for the document: integers, amounts, dates and texts; null stays null.
Json ValueOf(const _variant_t& v) {
  if (IsNull(v)) return nullptr;
  switch (v.vt) {
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_I8: return v.llVal;
    case VT_UI1: return v.bVal;
    case VT_BOOL: return v.boolVal != VARIANT_FALSE;
    case VT_R8: return v.dblVal;
    case VT_CY: return static_cast<double>(v.cyVal.int64) / 10000.0;
    case VT_DATE: return DateText(v.date);
    default: return Utf8(v);
  }
}

// An entry's members, added in the order of their keys: each goes in at the end of the
// document's map of members, with no search and no intermediate value.
class Members {
 public:
  Members& Add(const char* key, Json value) {
    members_.emplace_hint(members_.end(), key, std::move(value));
    return *this;
  }
  Json Take() { return Json(std::move(members_)); }

 private:
  Json::object_t members_;
};

// A send killed or held midway, as a test asks by the document's "kill_after_sends" or
// "stop_after_sends": after that many sends of the process reached the site, before the manager
// writes the last one back, the process ends at once (SIGKILL) or stops (SIGSTOP) until it is
// let go on (SIGCONT).
struct Interruption {
  long long killAfter = 0;
  long long stopAfter = 0;
};
std::atomic<long long> g_sends{0};
void InterruptWhenAsked(const Interruption& asked) {
  const long long sends = ++g_sends;
  if (asked.killAfter > 0 && sends >= asked.killAfter) ::kill(::getpid(), SIGKILL);
  if (asked.stopAfter > 0 && sends == asked.stopAfter) ::raise(SIGSTOP);
}
Interruption InterruptionAsked(const Json& doc) {
  auto number = [&](const char* key) {
    return doc.contains(key) && doc[key].is_number_integer() ? doc[key].get<long long>() : 0;
  };
  return Interruption{number("kill_after_sends"), number("stop_after_sends")};
}

}  // namespace

HRESULT SendAuction(const SendTarget& target, IHxAuction* auction) {
  if (!auction) return E_POINTER;
  IReferenceAuctionDataPtr data;
  if (FAILED(auction->QueryInterface(__uuidof(IReferenceAuctionData), reinterpret_cast<void**>(&data))) || !data)
    return Refuse(L"aukcja nie jest aukcją dostawcy wzorcowego.");
  IUnknown* rawRow = nullptr;
  IUnknown* rawDetail = nullptr;
  HRESULT hr = data->GetRows(&rawRow, &rawDetail);
  IUnknownPtr rowUnknown(rawRow, false), detailUnknown(rawDetail, false);
  if (FAILED(hr)) return hr;
  _RecordsetPtr row(rowUnknown), detail(detailUnknown);
  if (!row || !detail) return E_NOINTERFACE;

  if (target.site == 0) return Refuse(L"nie wybrano serwisu, na którym ma być wystawiona aukcja.");
  const FieldsPtr rowFields = row->GetFields();
  const std::string title = Utf8(Field(rowFields, L"au_Title"));
  if (title.find_first_not_of(" \t") == std::string::npos) return Refuse(L"aukcja nie ma tytułu.");
  const _variant_t quantity = Field(rowFields, L"au_Quantity");
  if (!IsNull(quantity) && static_cast<LONG>(quantity) < 0) return Refuse(L"liczba sztuk nie może być ujemna.");

  // The listing: its start now unless the auction names one, its end after its duration in days.
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const _variant_t startValue = Field(rowFields, L"au_StartDate");
  const DATE start = IsNull(startValue) ? now.m_dt : static_cast<DATE>(startValue);
  const _variant_t durationValue = Field(rowFields, L"au_Duration");
  const LONG duration = IsNull(durationValue) ? 0 : static_cast<LONG>(durationValue);
  const std::string seller = platform::WideToUtf8(target.seller);
  const _variant_t binPrice = Field(rowFields, L"au_BuyNowPrice");
  const _variant_t endDate = Field(rowFields, L"au_EndDate");
  Json category = ValueOf(Field(rowFields, L"au_CatId"));
  Json startPrice = ValueOf(Field(rowFields, L"au_StartPrice"));
  Json minPrice = ValueOf(Field(rowFields, L"au_MinPrice"));
  Json location = ValueOf(Field(rowFields, L"au_Location"));
  Json description = ValueOf(Field(detail->GetFields(), L"aal_Description"));
  Json endsOn = IsNull(endDate) && duration > 0 ? Json(DateText(start + duration)) : ValueOf(endDate);
  Json listing = Members()
                     .Add("bid_count", 0)
                     .Add("bin_price", ValueOf(binPrice))
                     .Add("category", std::move(category))
                     .Add("description", std::move(description))
                     .Add("duration", duration)
                     .Add("end_date", std::move(endsOn))
                     .Add("ended", false)
                     .Add("has_bin_price", !IsNull(binPrice))
                     .Add("location", std::move(location))
                     .Add("min_price", std::move(minPrice))
                     .Add("quantity", IsNull(quantity) ? Json(1) : ValueOf(quantity))
                     .Add("seller", seller)
                     .Add("site", target.site)
                     .Add("sold", 0)
                     .Add("start_date", DateText(start))
                     .Add("start_price", std::move(startPrice))
                     .Add("state", "running")
                     .Add("title", title)
                     .Take();

  std::string number;
  Interruption asked;
  CurrentSiteData()->Append([&](const Json& doc, SiteData::Numbers& numbers) {
    asked = InterruptionAsked(doc);
    const long long next = std::max({numbers.Highest("auctions", "number"), numbers.Highest("auctions_sent", "number"),
                                     kFirstAuctionNumber - 1}) +
                           1;
    number = std::to_string(next);
    listing["number"] = number;
    numbers.Append("auctions", std::move(listing));
    numbers.Append("auctions_sent", Members()
                                        .Add("date", DateText(now.m_dt))
                                        .Add("number", number)
                                        .Add("seller", seller)
                                        .Add("site", target.site)
                                        .Add("title", title)
                                        .Take());
  });
  hr = auction->PutNumber(_bstr_t(platform::Utf8ToWide(number).c_str()));
  if (SUCCEEDED(hr)) hr = auction->PutState(kReferenceAuctionRunning);
  InterruptWhenAsked(asked);
  return hr;
}

HRESULT SendComments(const SendTarget& target, _Recordset* comments, LONG* id) {
  if (!comments || !id) return E_POINTER;
  *id = 0;
  if (comments->GetadoEOF() && comments->GetBOF()) return Refuse(L"nie podano komentarza.");
  comments->MoveFirst();
  const FieldsPtr fields = comments->GetFields();
  const std::string number = Utf8(Field(fields, L"auction_number"));
  const _variant_t buyer = Field(fields, L"to_user_id");
  const std::string text = Utf8(Field(fields, L"comment"));
  if (number.empty()) return Refuse(L"komentarz nie wskazuje aukcji.");
  if (IsNull(buyer)) return Refuse(L"komentarz nie wskazuje kupującego.");
  if (text.empty()) return Refuse(L"komentarz jest pusty.");
  _variant_t buyerId;
  if (FAILED(VariantChangeType(&buyerId, &buyer, 0, VT_I8))) return Refuse(L"kupujący nie jest liczbą.");
  const _variant_t score = Field(fields, L"score");
  const std::string now = DateText(COleDateTime::GetCurrentTime().m_dt);

  LONG given = 0;
  Interruption asked;
  CurrentSiteData()->Append([&](const Json& doc, SiteData::Numbers& numbers) {
    asked = InterruptionAsked(doc);
    const bool gives = !doc.contains("comment_ids") || !doc["comment_ids"].is_boolean() || doc["comment_ids"].get<bool>();
    if (gives)
      given = static_cast<LONG>(std::max(numbers.Highest("comments", "id"), numbers.Highest("comment_sent", "id")) + 1);
    Json entry = Members()
                     .Add("auction_number", number)
                     .Add("comment", text)
                     .Add("date", now)
                     .Add("id", gives ? Json(given) : Json(nullptr))
                     .Add("score", ValueOf(score))
                     .Add("seller", platform::WideToUtf8(target.seller))
                     .Add("site", target.site)
                     .Add("to_user_id", buyerId.llVal)
                     .Add("type", 1)
                     .Take();
    numbers.Append("comments", entry);
    numbers.Append("comment_sent", std::move(entry));
  });
  *id = given;
  InterruptWhenAsked(asked);
  return S_OK;
}

}  // namespace reference
