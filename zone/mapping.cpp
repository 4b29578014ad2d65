#include "zone/mapping.h"

#include <cerrno>
#include <cmath>
#include <ctime>

#include "platform/base/utf8.h"
#include "shared/hxinstance.h"
#include "zone/containers.h"

namespace vorlen {
namespace {

// ---- reading container fields ---------------------------------------------------------

_variant_t Value(const _RecordsetPtr& rs, const wchar_t* name) {
  return rs->GetFields()->GetItem(_variant_t(name))->GetValue();
}

bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

// The 32-bit payload of an adInteger field (Null gives 0).
LONG Raw(const _variant_t& v) {
  if (v.vt == VT_I4) return v.lVal;
  if (IsNull(v)) return 0;
  _variant_t converted;
  if (FAILED(VariantChangeType(&converted, &v, 0, VT_I4))) return 0;
  return converted.lVal;
}

// A 64-bit integer by the variant conversion (a failure is raised).
LONGLONG Int64(const _variant_t& v) {
  if (v.vt == VT_I8) return v.llVal;
  if (v.vt == VT_I4) return v.lVal;
  _variant_t converted;
  const HRESULT hr = VariantChangeType(&converted, &v, 0, VT_I8);
  if (FAILED(hr)) _com_issue_error(hr);
  return converted.llVal;
}

// The text of a field as UTF-8; false for Null.
bool Text(const _variant_t& v, std::string& out) {
  if (IsNull(v)) return false;
  if (v.vt == VT_BSTR) {
    out = TextToService(v.bstrVal);
    return true;
  }
  _variant_t converted;
  const HRESULT hr = VariantChangeType(&converted, &v, 0, VT_BSTR);
  if (FAILED(hr)) _com_issue_error(hr);
  out = TextToService(converted.bstrVal);
  return true;
}

// The boolean of a field: true when it is not 0 (Null gives false).
bool Flag(const _variant_t& v) {
  if (IsNull(v)) return false;
  if (v.vt == VT_BOOL) return v.boolVal != VARIANT_FALSE;
  _variant_t converted;
  const HRESULT hr = VariantChangeType(&converted, &v, 0, VT_BOOL);
  if (FAILED(hr)) _com_issue_error(hr);
  return converted.boolVal != VARIANT_FALSE;
}

// The date of a field as seconds; Null gives 0 (no date).
time_t Seconds(const _variant_t& v) {
  if (IsNull(v)) return 0;
  if (v.vt == VT_DATE || v.vt == VT_R8) return DateToService(v.dblVal);
  _variant_t converted;
  const HRESULT hr = VariantChangeType(&converted, &v, 0, VT_DATE);
  if (FAILED(hr)) _com_issue_error(hr);
  return DateToService(converted.date);
}

// Walks the rows of a list container from the first to the end (none when it reports fewer than
// one record).
template <class F>
void ForEachRow(const _RecordsetPtr& rs, F f) {
  if (rs->GetRecordCount() < 1) return;
  for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) f();
}

// Positions a single-row container on its first row; false when it has none.
bool FirstRow(const _RecordsetPtr& rs) {
  if (rs->GetRecordCount() < 1) return false;
  rs->MoveFirst();
  return !rs->GetadoEOF();
}

// ---- writing answer fields --------------------------------------------------------------

void PutText(const _RecordsetPtr& rs, const wchar_t* name, const char* text) {
  PutRecordsetField(rs, name, TextFromService(text).c_str());
}

void PutFlag(const _RecordsetPtr& rs, const wchar_t* name, bool value) {
  PutRecordsetField(rs, name, static_cast<short>(value ? -1 : 0));
}

void PutDate(const _RecordsetPtr& rs, const wchar_t* name, time_t seconds) {
  PutRecordsetField(rs, name, static_cast<double>(DateFromService(seconds)));
}

void PutInt64(const _RecordsetPtr& rs, const wchar_t* name, LONGLONG value) {
  PutRecordsetField(rs, name, _variant_t(value));
}

void PutByte(const _RecordsetPtr& rs, const wchar_t* name, char value) {
  _variant_t v;
  v.vt = VT_I1;
  v.cVal = value;
  PutRecordsetField(rs, name, v);
}

const char* Deref(char* const* p) { return p ? *p : nullptr; }

}  // namespace

// ---- single values ---------------------------------------------------------------------

double MoneyToService(const _variant_t& value) {
  if (IsNull(value)) return -1.0;
  CY cy{};
  if (value.vt == VT_CY) {
    cy = value.cyVal;
  } else {
    _variant_t converted;
    if (FAILED(VariantChangeType(&converted, &value, 0, VT_CY))) return 0.0;
    cy = converted.cyVal;
  }
  // One correctly rounded division of the exact fixed-point value: the nearest double.
  const double amount = static_cast<double>(cy.int64) / 10000.0;
  return amount < 0 ? -1.0 : amount;
}

time_t DateToService(DATE date) {
  SYSTEMTIME st{};
  if (!VariantTimeToSystemTime(date, &st)) _com_issue_error(E_INVALIDARG);
  if (st.wYear < 1900 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wDay > 31 || st.wHour > 23 ||
      st.wMinute > 59 || st.wSecond > 59)
    _com_issue_error(E_FAIL);
  std::tm tm{};
  tm.tm_year = st.wYear - 1900;
  tm.tm_mon = st.wMonth - 1;
  tm.tm_mday = st.wDay;
  tm.tm_hour = st.wHour;
  tm.tm_min = st.wMinute;
  tm.tm_sec = st.wSecond;
  tm.tm_isdst = -1;  // the system decides whether daylight saving applies
  errno = 0;
  const time_t seconds = std::mktime(&tm);
  if (seconds == static_cast<time_t>(-1) && errno != 0) _com_issue_error(E_INVALIDARG);
  return seconds;
}

DATE DateFromService(time_t seconds) {
  std::tm tm{};
  SYSTEMTIME st{};
  DATE date = 0;
  if (localtime_r(&seconds, &tm) && tm.tm_year + 1900 >= 100 && tm.tm_year + 1900 <= 9999) {
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    if (SystemTimeToVariantTime(&st, &date)) return date;
  }
  CString text;
  text.Format(L"Strefa Vantor podała datę spoza zakresu (%I64d s od 1970 roku).", static_cast<LONGLONG>(seconds));
  platform::com::Raise(DISP_E_OVERFLOW, text, L"Vantor.CoVorlenConnector.1");
}

std::wstring TextFromService(const char* text) { return text ? platform::utf8::ToWide(text) : std::wstring(); }

std::string TextToService(const wchar_t* text) { return text ? platform::utf8::FromWide(text) : std::string(); }

// ---- request side ----------------------------------------------------------------------

ss__RegisteredServiceUserInfoEx::ss__RegisteredServiceUserInfoEx(LONG lRegId) {
  m_registrationIdText = m_registrationId.data();
  registrationId = &m_registrationIdText;  // always present, possibly empty
  try {
    IFlgInstancePtr instance = CHxInstance::GetInstance();
    if (!instance) _com_issue_error(E_POINTER);
    IHxRegistrationSourcePtr source;
    HRESULT hr = instance->QueryInterface(__uuidof(IHxRegistrationSource), reinterpret_cast<void**>(&source));
    if (FAILED(hr)) _com_issue_error(hr);
    IUnknown* rawTable = nullptr;
    hr = source->GetRegistrationTable(&rawTable);
    IUnknownPtr tableObject(rawTable, false);
    if (FAILED(hr)) _com_issue_error(hr);
    if (!tableObject) _com_issue_error(E_POINTER);
    IHxRegistrationTablePtr table;
    hr = tableObject->QueryInterface(__uuidof(IHxRegistrationTable), reinterpret_cast<void**>(&table));
    if (FAILED(hr)) _com_issue_error(hr);
    IUnknown* rawFields = nullptr;
    hr = table->GetRecord(_variant_t(lRegId), &rawFields);
    IUnknownPtr fieldsObject(rawFields, false);
    if (FAILED(hr)) _com_issue_error(hr);
    FieldsPtr fields(fieldsObject);
    if (!fields) _com_issue_error(E_NOINTERFACE);

    serviceUserId = Int64(fields->GetItem(_variant_t(L"user_id"))->GetValue());
    const _variant_t registration = fields->GetItem(_variant_t(L"registration_id"))->GetValue();
    if (registration.vt == VT_BSTR) {
      m_registrationId = TextToService(registration.bstrVal);
      m_registrationIdText = m_registrationId.data();
    }
    const _variant_t service = fields->GetItem(_variant_t(L"service_id"))->GetValue();
    char id = static_cast<char>(Raw(service) & 0xFF);
    serviceId = id == 4 ? 1 : id;
  } catch (const _com_error&) {
    // Incomplete credentials: the service answers the call with its authentication fault.
  }
}

ss__AuctionInfoEx::ss__AuctionInfoEx(std::string id, char service) : m_auctionId(std::move(id)) {
  auctionId = m_auctionId.data();
  serviceId = service;
}

ArrayOfAuctionBidInfoEx::ArrayOfAuctionBidInfoEx(const _RecordsetPtr& container) {
  ForEachRow(container, [&] {
    std::string number;
    Text(Value(container, L"auction_id"), number);
    const char service = static_cast<char>(Raw(Value(container, L"service_id")) & 0xFF);
    const LONGLONG buyer = Int64(Value(container, L"buyer_id"));
    ss__AuctionInfoEx& auction = m_auctions.emplace_back(std::move(number), service);
    ss__AuctionBidInfo& bid = m_bids.emplace_back();
    static_cast<ss__AuctionInfo&>(bid.auction) = static_cast<const ss__AuctionInfo&>(auction);
    bid.buyerId = buyer;
    m_pointers.push_back(&bid);
  });
  __ptr = m_pointers.empty() ? nullptr : m_pointers.data();
  __size = static_cast<int>(m_pointers.size());
}

ArrayOf_xsd_intEx::ArrayOf_xsd_intEx(const _RecordsetPtr& container) {
  ForEachRow(container, [&] { m_ids.push_back(Raw(Value(container, L"page_id"))); });
  __ptr = m_ids.empty() ? nullptr : m_ids.data();
  __size = static_cast<int>(m_ids.size());
}

ss__ItemInfoEx::ss__ItemInfoEx() = default;

void ss__ItemInfoEx::SetName(const _variant_t& value) {
  name = Text(value, m_name) ? m_name.data() : nullptr;
}

void ss__ItemInfoEx::SetPrice(const _variant_t& value) {
  m_price = MoneyToService(value);
  price = m_price >= 0 ? &m_price : nullptr;
}

ArrayOfItemInfoEx::ArrayOfItemInfoEx(const _RecordsetPtr& container, LONG packageFilter, bool noPrices) {
  if (packageFilter >= 0) {
    CString filter;
    filter.Format(L"id = %ld", packageFilter);
    container->PutFilter(_variant_t(filter.GetString()));
  }
  ForEachRow(container, [&] {
    ss__ItemInfoEx& item = m_items.emplace_back();
    item.SetName(Value(container, L"name"));
    item.quantity = Raw(Value(container, L"quantity"));
    _variant_t none;
    none.vt = VT_NULL;
    item.SetPrice(noPrices ? none : Value(container, L"price"));
    item.sortOrder = Raw(Value(container, L"sort_order"));
    m_pointers.push_back(&item);
  });
  __ptr = m_pointers.empty() ? nullptr : m_pointers.data();
  __size = static_cast<int>(m_pointers.size());
}

ss__PackageInfoEx::ss__PackageInfoEx() = default;

void ss__PackageInfoEx::SetSymbol(const _variant_t& value) {
  symbol = Text(value, m_symbol) ? m_symbol.data() : nullptr;
}

void ss__PackageInfoEx::SetStatusLink(const _variant_t& value) {
  statusLink = Text(value, m_statusLink) ? m_statusLink.data() : nullptr;
}

void ss__PackageInfoEx::SetCharge(const _variant_t& value) {
  m_charge = MoneyToService(value);
  charge = m_charge >= 0 ? &m_charge : nullptr;
}

void ss__PackageInfoEx::SetChargeCurrency(const _variant_t& value) {
  chargeCurrency = Text(value, m_chargeCurrency) && !m_chargeCurrency.empty() ? m_chargeCurrency.data() : nullptr;
}

void ss__PackageInfoEx::SetSentDate(const _variant_t& value) {
  m_sentDate = Seconds(value);
  sentDate = m_sentDate != 0 ? &m_sentDate : nullptr;
}

void ss__PackageInfoEx::SetItems(const _RecordsetPtr& container, LONG packageId) {
  m_items = std::make_unique<ArrayOfItemInfoEx>(container, packageId, true);
  items = m_items.get();
}

ArrayOfPackageInfoEx::ArrayOfPackageInfoEx(const _RecordsetPtr& packages, const _RecordsetPtr& itemContainer) {
  ForEachRow(packages, [&] {
    ss__PackageInfoEx& package = m_packages.emplace_back();
    package.SetSymbol(Value(packages, L"symbol"));
    package.SetStatusLink(Value(packages, L"status_link"));
    package.SetCharge(Value(packages, L"charge"));
    package.SetChargeCurrency(Value(packages, L"charge_currency"));
    package.SetSentDate(Value(packages, L"send_date"));
    package.sortOrder = Raw(Value(packages, L"sort_order"));
    package.SetItems(itemContainer, Raw(Value(packages, L"id")));
    m_pointers.push_back(&package);
  });
  __ptr = m_pointers.empty() ? nullptr : m_pointers.data();
  __size = static_cast<int>(m_pointers.size());
}

ss__BuyerDataInfoEx::ss__BuyerDataInfoEx(const _RecordsetPtr& container) {
  if (!FirstRow(container)) return;
  if (Text(Value(container, L"notes"), m_notesText)) {
    m_notes.trusted = Flag(Value(container, L"notes_trusted"));
    m_notesPointer = m_notesText.data();
    m_notes.notes = &m_notesPointer;
    notes = &m_notes;
  }
  if (!IsNull(Value(container, L"bill_trusted"))) {
    ReadAddress(container, L"bill_", m_billing);
    billingAddress = &m_billing.info;
  }
  if (!IsNull(Value(container, L"deliv_trusted"))) {
    ReadAddress(container, L"deliv_", m_delivery);
    deliveryAddress = &m_delivery.info;
  }
}

void ss__BuyerDataInfoEx::ReadAddress(const _RecordsetPtr& container, const wchar_t* prefix, Address& address) {
  static const wchar_t* const kParts[8] = {L"name", L"firstLine", L"secondLine", L"zipCode",
                                           L"city", L"country",   L"company",    L"nip"};
  const std::wstring start(prefix);
  address.info.trusted = Flag(Value(container, (start + L"trusted").c_str()));
  for (int i = 0; i < 8; ++i) Text(Value(container, (start + kParts[i]).c_str()), address.texts[i]);
  // Every part is present, empty when the field is Null.
  address.info.name = address.texts[0].data();
  address.info.firstLine = address.texts[1].data();
  address.info.secondLine = address.texts[2].data();
  address.pointers[0] = address.texts[3].data();
  address.info.city = address.texts[4].data();
  address.pointers[1] = address.texts[5].data();
  address.pointers[2] = address.texts[6].data();
  address.pointers[3] = address.texts[7].data();
  address.info.zipCode = &address.pointers[0];
  address.info.country = &address.pointers[1];
  address.info.company = &address.pointers[2];
  address.info.nip = &address.pointers[3];
}

ss__StatusPageDataInfoEx::ss__StatusPageDataInfoEx(const _RecordsetPtr& container) {
  sentAll = false;
  if (!FirstRow(container)) return;
  if (Text(Value(container, L"base_currency"), m_baseCurrency) && !m_baseCurrency.empty())
    baseCurrency = m_baseCurrency.data();
  if (Text(Value(container, L"payment_currency"), m_paymentCurrency) && !m_paymentCurrency.empty())
    paymentCurrency = m_paymentCurrency.data();
  m_remittanceDate = Seconds(Value(container, L"remittance_date"));
  if (m_remittanceDate != 0) remittanceDate = &m_remittanceDate;
  sentAll = Flag(Value(container, L"sent_all"));
  m_payment = MoneyToService(Value(container, L"payment"));
  if (m_payment >= 0) payment = &m_payment;
  m_buyDate = Seconds(Value(container, L"buy_date"));
  if (m_buyDate != 0) buyDate = &m_buyDate;
}

// ---- answer side -----------------------------------------------------------------------

_RecordsetPtr PageConfigToRecordset(const ss__PageConfigInfo& config) {
  _RecordsetPtr rs = CreateStatusesOptionsContainer();
  rs->AddNew();
  PutText(rs, L"Description", Deref(config.sellerShortDescription));
  PutText(rs, L"WWW", config.sellerUrl);
  PutFlag(rs, L"StatusesServiceActive", config.statusesEnabled);
  PutFlag(rs, L"ShowDeliveryAddressForm", config.allowDeliveryAddressEntry);
  PutFlag(rs, L"ShowDocumentAddressForm", config.allowBillingAddressEntry);
  return rs;
}

void StatusPageInfoToRecordsets(const ss__StatusPageInfo& page, _RecordsetPtr& pageInfo, _RecordsetPtr& buyerData,
                                _RecordsetPtr& bids) {
  _RecordsetPtr info = CreateStatusPageInfoContainer();
  info->AddNew();
  if (const char* url = Deref(page.pageUrlPart)) PutText(info, L"page_urlPart", url);
  PutRecordsetField(info, L"page_id", static_cast<LONG>(page.pageId));
  if (page.lastBuyerDataEntryDate) PutDate(info, L"last_entryDate", *page.lastBuyerDataEntryDate);
  _RecordsetPtr buyers, bidRows;
  if (page.lastEnteredUntrustedBuyerData) BuyerDataToRecordsets(*page.lastEnteredUntrustedBuyerData, buyers, bidRows);
  pageInfo = info;
  buyerData = buyers;
  bids = bidRows;
}

void BuyerDataToRecordsets(const ArrayOfBuyerDataInfo& data, _RecordsetPtr& buyerData, _RecordsetPtr& bids) {
  _RecordsetPtr buyers = CreateBuyerDataInfoContainer();
  _RecordsetPtr bidRows = CreateAuctionBidInfoContainer();
  const int count = data.__ptr ? data.__size : 0;
  for (int i = 0; i < count; ++i) {
    buyers->AddNew();
    PutRecordsetField(buyers, L"id", static_cast<LONG>(i));
    const ss__BuyerDataInfo* entry = data.__ptr[i];
    if (!entry) continue;
    if (entry->notes) {
      PutFlag(buyers, L"notes_trusted", entry->notes->trusted);
      PutText(buyers, L"notes", Deref(entry->notes->notes));
    }
    const struct {
      const ss__AddressInfo* address;
      const wchar_t* fields[9];
    } addresses[] = {
        {entry->billingAddress,
         {L"bill_trusted", L"bill_name", L"bill_firstLine", L"bill_secondLine", L"bill_zipCode", L"bill_city",
          L"bill_country", L"bill_company", L"bill_nip"}},
        {entry->deliveryAddress,
         {L"deliv_trusted", L"deliv_name", L"deliv_firstLine", L"deliv_secondLine", L"deliv_zipCode", L"deliv_city",
          L"deliv_country", L"deliv_company", L"deliv_nip"}},
    };
    for (const auto& a : addresses) {
      if (!a.address) continue;
      const ss__AddressInfo& address = *a.address;
      PutFlag(buyers, a.fields[0], address.trusted);
      const char* parts[8] = {address.name,  address.firstLine,     address.secondLine,    Deref(address.zipCode),
                              address.city,  Deref(address.country), Deref(address.company), Deref(address.nip)};
      for (int p = 0; p < 8; ++p) PutText(buyers, a.fields[p + 1], parts[p]);
    }
    const ArrayOfAuctionBidInfo* list = entry->bids;
    const int bidCount = list && list->__ptr ? list->__size : 0;
    for (int b = 0; b < bidCount; ++b) {
      const ss__AuctionBidInfo* bid = list->__ptr[b];
      if (!bid) continue;
      bidRows->AddNew();
      PutRecordsetField(bidRows, L"id", static_cast<LONG>(i));
      PutInt64(bidRows, L"buyer_id", bid->buyerId);
      PutText(bidRows, L"auction_id", bid->auction.auctionId);
      PutByte(bidRows, L"service_id", bid->auction.serviceId);
    }
  }
  buyerData = buyers;
  bids = bidRows;
}

_RecordsetPtr PageChangesToRecordset(const ArrayOfStatusPageInfo& pages) {
  _RecordsetPtr rs = CreatePageChangesInfoContainer();
  DATE noDate = 0;
  SYSTEMTIME start{};
  start.wYear = 2000;
  start.wMonth = 1;
  start.wDay = 1;
  SystemTimeToVariantTime(&start, &noDate);
  const int count = pages.__ptr ? pages.__size : 0;
  for (int i = 0; i < count; ++i) {
    const ss__StatusPageInfo* page = pages.__ptr[i];
    if (!page) continue;
    rs->AddNew();
    PutRecordsetField(rs, L"page_id", static_cast<LONG>(page->pageId));
    if (page->lastBuyerDataEntryDate)
      PutDate(rs, L"last_dataEntry_date", *page->lastBuyerDataEntryDate);
    else
      PutRecordsetField(rs, L"last_dataEntry_date", static_cast<double>(noDate));
  }
  return rs;
}

}  // namespace vorlen
