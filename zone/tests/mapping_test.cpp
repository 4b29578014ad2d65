// The recordset-to-service mapping: money, dates and texts; the request classes built from
// containers; the answer converters.
#include <cmath>

#include "zone/tests/fixtures.h"

namespace vorlen::test {
namespace {

_variant_t Money(LONGLONG tenThousandths) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal.int64 = tenThousandths;
  return v;
}

_variant_t Null() {
  _variant_t v;
  v.vt = VT_NULL;
  return v;
}

HRESULT RaisedBy(const std::function<void()>& f) {
  try {
    f();
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

TEST(Money, TheServiceGetsTheNearestDoubleOfTheAmount) {
  // Amounts past 131,072 reach the buyer to the cent (single precision gave 1234567.875).
  EXPECT_EQ(MoneyToService(Money(12345678900)), 1234567.89);
  EXPECT_EQ(MoneyToService(Money(1234567800)), 123456.78);
  EXPECT_EQ(MoneyToService(Money(99999999999999)), 9999999999.9999);
  EXPECT_EQ(MoneyToService(Money(1)), 0.0001);
  EXPECT_EQ(MoneyToService(Money(0)), 0.0);
  // Null and negative amounts are none; a text that is no amount is 0.
  EXPECT_EQ(MoneyToService(Null()), -1.0);
  EXPECT_EQ(MoneyToService(Money(-1)), -1.0);
  EXPECT_EQ(MoneyToService(_variant_t(L"sto złotych")), 0.0);
  EXPECT_EQ(MoneyToService(_variant_t(12.5)), 12.5);
}

class Dates : public ::testing::Test {
 protected:
  void SetUp() override { PinTimeZone(); }
};

TEST_F(Dates, LocalDatesBecomeSecondsAcrossDaylightSavingChanges) {
  EXPECT_EQ(DateToService(Date(1970, 1, 1, 1, 0, 0)), 0);  // midnight UTC in Warsaw's winter
  EXPECT_EQ(DateToService(Date(2024, 7, 1, 12, 0, 0)), 1719828000);  // summer time: UTC+2
  EXPECT_EQ(DateToService(Date(2024, 12, 1, 12, 0, 0)), 1733050800);  // winter time: UTC+1
  // Around the spring change (02:00 -> 03:00) and the autumn one (03:00 -> 02:00) the seconds
  // are what the C library makes of the local time.
  EXPECT_EQ(DateToService(Date(2024, 3, 31, 1, 59, 59)), LocalSeconds(2024, 3, 31, 1, 59, 59));
  EXPECT_EQ(DateToService(Date(2024, 3, 31, 3, 0, 0)) - DateToService(Date(2024, 3, 31, 1, 59, 59)), 1);
  EXPECT_EQ(DateToService(Date(2024, 3, 31, 2, 30, 0)), LocalSeconds(2024, 3, 31, 2, 30, 0));
  EXPECT_EQ(DateToService(Date(2024, 10, 27, 4, 0, 0)) - DateToService(Date(2024, 10, 27, 1, 0, 0)), 4 * 3600);
  // And back: seconds become the local date.
  EXPECT_DOUBLE_EQ(DateFromService(1719828000), Date(2024, 7, 1, 12, 0, 0));
  EXPECT_DOUBLE_EQ(DateFromService(1733050800), Date(2024, 12, 1, 12, 0, 0));
  EXPECT_DOUBLE_EQ(DateFromService(LocalSeconds(2024, 10, 27, 2, 30, 0)), Date(2024, 10, 27, 2, 30, 0));
  for (DATE d : {Date(1999, 12, 31, 23, 59, 59), Date(2024, 3, 31, 3, 0, 1), Date(2038, 1, 19, 4, 14, 8)})
    EXPECT_DOUBLE_EQ(DateFromService(DateToService(d)), d);
}

TEST_F(Dates, DatesThatCannotConvertAreRefused) {
  EXPECT_EQ(RaisedBy([] { DateToService(Date(1899, 12, 31)); }), E_FAIL);     // year below 1900
  EXPECT_EQ(RaisedBy([] { DateToService(std::nan("")); }), E_INVALIDARG);     // no date at all
  EXPECT_EQ(RaisedBy([] { DateToService(1.0e9); }), E_INVALIDARG);            // past year 9999
  EXPECT_EQ(RaisedBy([] { DateFromService(static_cast<time_t>(1) << 50); }), DISP_E_OVERFLOW);
}

TEST(Texts, IdentifiersAndTextsTravelAsUtf8) {
  EXPECT_EQ(TextToService(L"Łódź-Żółć"), "\xC5\x81\xC3\xB3\x64\xC5\xBA-\xC5\xBB\xC3\xB3\xC5\x82\xC4\x87");
  EXPECT_EQ(TextFromService("\xC5\x81\xC3\xB3\x64\xC5\xBA"), L"Łódź");
  EXPECT_EQ(TextFromService(nullptr), L"");
  _RecordsetPtr bids = OneBid(L"Łódź-1", 501);
  ArrayOfAuctionBidInfoEx array(bids);
  ASSERT_EQ(array.__size, 1);
  EXPECT_STREQ(array.__ptr[0]->auction.auctionId, "\xC5\x81\xC3\xB3\x64\xC5\xBA-1");
}

_RecordsetPtr Items(std::initializer_list<std::tuple<LONG, const wchar_t*, _variant_t>> rows) {
  _RecordsetPtr rs = CreateItemInfoContainer();
  LONG order = 0;
  for (const auto& [id, name, price] : rows) {
    rs->AddNew();
    PutRecordsetField(rs, L"id", id);
    PutRecordsetField(rs, L"name", name);
    PutRecordsetField(rs, L"quantity", LONG{2});
    PutRecordsetField(rs, L"price", price);
    PutRecordsetField(rs, L"sort_order", order++);
  }
  return rs;
}

TEST(Requests, ItemPricesAndPackageItems) {
  _RecordsetPtr items = Items({{7, L"kubek", Null()}, {7, L"talerz", Money(0)}, {8, L"łyżka", Money(-10000)},
                               {8, L"widelec", Money(1234567800)}});
  ArrayOfItemInfoEx all(items);
  ASSERT_EQ(all.__size, 4);
  EXPECT_EQ(all.__ptr[0]->price, nullptr);  // Null: no price
  ASSERT_NE(all.__ptr[1]->price, nullptr);  // 0 is a price
  EXPECT_EQ(*all.__ptr[1]->price, 0.0);
  EXPECT_EQ(all.__ptr[2]->price, nullptr);  // negative: no price
  ASSERT_NE(all.__ptr[3]->price, nullptr);
  EXPECT_EQ(*all.__ptr[3]->price, 123456.78);
  EXPECT_STREQ(all.__ptr[2]->name, "\xC5\x82y\xC5\xBCka");
  EXPECT_EQ(all.__ptr[3]->quantity, 2);
  EXPECT_EQ(all.__ptr[3]->sortOrder, 3);

  _RecordsetPtr packages = CreatePackageInfoContainer();
  for (LONG id : {8, 7, 9}) {
    packages->AddNew();
    PutRecordsetField(packages, L"id", id);
    PutRecordsetField(packages, L"symbol", L"PX");
    PutRecordsetField(packages, L"charge_currency", id == 9 ? L"" : L"PLN");
    PutRecordsetField(packages, L"charge", Money(id == 9 ? -1 : 155000));
    PutRecordsetField(packages, L"sort_order", id);
  }
  ArrayOfPackageInfoEx sent(packages, items);
  ASSERT_EQ(sent.__size, 3);
  // Package 8 gets exactly the rows of package 8, package 9 none; items of packages carry no price.
  ASSERT_NE(sent.__ptr[0]->items, nullptr);
  ASSERT_EQ(sent.__ptr[0]->items->__size, 2);
  EXPECT_STREQ(sent.__ptr[0]->items->__ptr[0]->name, "\xC5\x82y\xC5\xBCka");
  EXPECT_STREQ(sent.__ptr[0]->items->__ptr[1]->name, "widelec");
  EXPECT_EQ(sent.__ptr[0]->items->__ptr[1]->price, nullptr);
  ASSERT_EQ(sent.__ptr[1]->items->__size, 2);
  EXPECT_STREQ(sent.__ptr[1]->items->__ptr[0]->name, "kubek");
  EXPECT_EQ(sent.__ptr[1]->items->__ptr[1]->price, nullptr);
  EXPECT_EQ(sent.__ptr[2]->items->__size, 0);
  // An empty currency and a negative charge are left out.
  EXPECT_STREQ(sent.__ptr[0]->chargeCurrency, "PLN");
  ASSERT_NE(sent.__ptr[0]->charge, nullptr);
  EXPECT_EQ(*sent.__ptr[0]->charge, 15.5);
  EXPECT_EQ(sent.__ptr[2]->chargeCurrency, nullptr);
  EXPECT_EQ(sent.__ptr[2]->charge, nullptr);
  EXPECT_EQ(sent.__ptr[2]->sentDate, nullptr);
  EXPECT_EQ(sent.__ptr[2]->statusLink, nullptr);  // Null: left out
  // The item container stays filtered by the last package's key.
  EXPECT_EQ(items->GetRecordCount(), 0);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(items->GetFilter()))), L"id = 9");
}

TEST(Requests, EmptyContainersGiveEmptyListsAndAbsentParts) {
  ArrayOfAuctionBidInfoEx bids(CreateAuctionBidInfoContainer());
  EXPECT_EQ(bids.__size, 0);
  ArrayOf_xsd_intEx pages(CreatePageIdsContainer());
  EXPECT_EQ(pages.__size, 0);
  ss__BuyerDataInfoEx buyer(CreateBuyerDataInfoContainer());
  EXPECT_EQ(buyer.notes, nullptr);
  EXPECT_EQ(buyer.billingAddress, nullptr);
  EXPECT_EQ(buyer.deliveryAddress, nullptr);
  EXPECT_EQ(buyer.bids, nullptr);
  ss__StatusPageDataInfoEx data(CreatePageDataInfoContainer());
  EXPECT_FALSE(data.sentAll);
  EXPECT_EQ(data.payment, nullptr);
  EXPECT_EQ(data.buyDate, nullptr);
  EXPECT_EQ(data.baseCurrency, nullptr);
}

TEST(Requests, BuyerDataOfTheFirstRowGatedByItsTrustedFields) {
  PinTimeZone();
  _RecordsetPtr rs = CreateBuyerDataInfoContainer();
  for (int row = 0; row < 3; ++row) {
    rs->AddNew();
    PutRecordsetField(rs, L"notes", row == 0 ? L"Proszę o fakturę" : L"inny wiersz");
    PutRecordsetField(rs, L"notes_trusted", static_cast<short>(-1));
    PutRecordsetField(rs, L"bill_name", L"Jan Kowalski");  // without bill_trusted: no billing address
    PutRecordsetField(rs, L"deliv_trusted", static_cast<short>(0));
    PutRecordsetField(rs, L"deliv_name", L"Anna Nowak");
    PutRecordsetField(rs, L"deliv_city", L"Łódź");
  }
  ss__BuyerDataInfoEx buyer(rs);
  ASSERT_NE(buyer.notes, nullptr);
  EXPECT_TRUE(buyer.notes->trusted);
  EXPECT_STREQ(*buyer.notes->notes, "Prosz\xC4\x99 o faktur\xC4\x99");  // the first row only
  EXPECT_EQ(buyer.billingAddress, nullptr);
  ASSERT_NE(buyer.deliveryAddress, nullptr);
  EXPECT_FALSE(buyer.deliveryAddress->trusted);
  EXPECT_STREQ(buyer.deliveryAddress->name, "Anna Nowak");
  EXPECT_STREQ(buyer.deliveryAddress->city, "\xC5\x81\xC3\xB3\x64\xC5\xBA");
  // The parts left Null are present and empty.
  ASSERT_NE(buyer.deliveryAddress->nip, nullptr);
  EXPECT_STREQ(*buyer.deliveryAddress->nip, "");
  EXPECT_STREQ(buyer.deliveryAddress->secondLine, "");

  _RecordsetPtr page = CreatePageDataInfoContainer();
  page->AddNew();
  PutRecordsetField(page, L"base_currency", L"");
  PutRecordsetField(page, L"payment_currency", L"EUR");
  PutRecordsetField(page, L"payment", Money(12345678900));
  PutRecordsetField(page, L"sent_all", true);
  PutRecordsetField(page, L"buy_date", static_cast<double>(Date(2024, 3, 31, 3, 30)));
  ss__StatusPageDataInfoEx data(page);
  EXPECT_EQ(data.baseCurrency, nullptr);
  EXPECT_STREQ(data.paymentCurrency, "EUR");
  ASSERT_NE(data.payment, nullptr);
  EXPECT_EQ(*data.payment, 1234567.89);
  EXPECT_TRUE(data.sentAll);
  EXPECT_EQ(data.remittanceDate, nullptr);
  ASSERT_NE(data.buyDate, nullptr);
  EXPECT_EQ(*data.buyDate, LocalSeconds(2024, 3, 31, 3, 30));

  // A date out of range fails the request with the conversion's code.
  PutRecordsetField(page, L"remittance_date", static_cast<double>(Date(1800, 1, 1)));
  EXPECT_EQ(RaisedBy([&] { ss__StatusPageDataInfoEx refused(page); }), E_FAIL);
}

using Credentials = ConnectorTest;

TEST_F(Credentials, TheAccountsRecordGivesTheServiceCredentials) {
  host->instance->registrations[2] = {_variant_t(LONGLONG{8000000001}), _variant_t(LONG{4}), _variant_t(L"REJ-Ł")};
  host->instance->registrations[3] = {_variant_t(LONG{-2}), _variant_t(LONG{0x1202}), Null()};
  ss__RegisteredServiceUserInfoEx wide(2);
  EXPECT_EQ(wide.serviceUserId, 8000000001);
  EXPECT_EQ(wide.serviceId, 1);  // 4 is sent as 1
  ASSERT_NE(wide.registrationId, nullptr);
  EXPECT_STREQ(*wide.registrationId, "REJ-\xC5\x81");
  ss__RegisteredServiceUserInfoEx narrow(3);
  EXPECT_EQ(narrow.serviceUserId, -2);  // sign-extended
  EXPECT_EQ(narrow.serviceId, 2);      // the low byte
  ASSERT_NE(narrow.registrationId, nullptr);
  EXPECT_STREQ(*narrow.registrationId, "");  // always present
  EXPECT_EQ(host->recorder->ArgsOf(L"IHxRegistrationTable::GetRecord"), (std::vector<std::wstring>{L"I4:2", L"I4:3"}));
}

TEST_F(Credentials, AFailingLookupLeavesTheCredentialsIncomplete) {
  ss__RegisteredServiceUserInfoEx unknown(77);
  EXPECT_EQ(unknown.serviceUserId, 0);
  EXPECT_EQ(unknown.serviceId, 0);
  EXPECT_STREQ(*unknown.registrationId, "");
  host->recorder->FailOn(L"IHxRegistrationSource::GetRegistrationTable", E_ACCESSDENIED);
  ss__RegisteredServiceUserInfoEx refused(kAccount);
  EXPECT_EQ(refused.serviceUserId, 0);
  host->recorder->ClearFailures();
  // A record without user_id keeps the rest at their defaults too.
  host->instance->registrations[9] = {_variant_t(), _variant_t(LONG{2}), _variant_t(L"R")};
  ss__RegisteredServiceUserInfoEx partial(9);
  EXPECT_EQ(partial.serviceUserId, 0);
  EXPECT_EQ(partial.serviceId, 0);
  EXPECT_STREQ(*partial.registrationId, "");
}

// ---- answers -------------------------------------------------------------------------

struct Answers : public ::testing::Test {
  void SetUp() override { PinTimeZone(); }
  void TearDown() override {
    soap_destroy(s);
    soap_end(s);
    soap_free(s);
  }
  ss__BuyerDataInfo* Buyer(std::initializer_list<LONGLONG> buyers) {
    auto* b = soap_new_ss__BuyerDataInfo(s);
    b->bids = soap_new_ArrayOfAuctionBidInfo(s);
    b->bids->__size = static_cast<int>(buyers.size());
    b->bids->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(s, sizeof(void*) * buyers.size()));
    int i = 0;
    for (LONGLONG buyer : buyers) {
      auto* bid = soap_new_ss__AuctionBidInfo(s);
      bid->auction.auctionId = soap_strdup(s, "1000-1");
      bid->auction.serviceId = 2;
      bid->buyerId = buyer;
      b->bids->__ptr[i++] = bid;
    }
    return b;
  }
  struct soap* s = soap_new();
};

TEST_F(Answers, BuyerEntriesAndTheirBidsBecomeRowsNumberedByEntry) {
  ArrayOfBuyerDataInfo data;
  ss__BuyerDataInfo* entries[2] = {Buyer({501, 502, 503}), Buyer({601})};
  entries[0]->notes = soap_new_ss__NotesInfo(s);
  entries[0]->notes->trusted = true;
  entries[0]->notes->notes = static_cast<char**>(soap_malloc(s, sizeof(char*)));
  *entries[0]->notes->notes = soap_strdup(s, "Zap\xC5\x82" "ac\xC4\x99 przelewem");
  entries[1]->billingAddress = soap_new_ss__AddressInfo(s);
  entries[1]->billingAddress->trusted = false;
  entries[1]->billingAddress->name = soap_strdup(s, "Firma");
  data.__ptr = entries;
  data.__size = 2;
  _RecordsetPtr buyers, bids;
  BuyerDataToRecordsets(data, buyers, bids);
  ASSERT_EQ(Rows(buyers), 2);
  ASSERT_EQ(Rows(bids), 4);
  buyers->MoveFirst();
  EXPECT_EQ(Long(buyers, L"id"), 0);
  EXPECT_EQ(Text(buyers, L"notes"), L"Zapłacę przelewem");
  EXPECT_EQ(Value(buyers, L"notes_trusted").boolVal, VARIANT_TRUE);
  EXPECT_EQ(Value(buyers, L"bill_trusted").vt, VT_NULL);
  buyers->MoveNext();
  EXPECT_EQ(Long(buyers, L"id"), 1);
  EXPECT_EQ(Value(buyers, L"bill_trusted").boolVal, VARIANT_FALSE);
  EXPECT_EQ(Text(buyers, L"bill_name"), L"Firma");
  EXPECT_EQ(Text(buyers, L"bill_city"), L"");  // an absent part is an empty text
  EXPECT_EQ(Value(buyers, L"notes").vt, VT_NULL);
  std::vector<LONG> ids, buyerIds;
  for (bids->MoveFirst(); !bids->GetadoEOF(); bids->MoveNext()) {
    ids.push_back(Long(bids, L"id"));
    buyerIds.push_back(Long(bids, L"buyer_id"));
    EXPECT_EQ(Text(bids, L"auction_id"), L"1000-1");
    EXPECT_EQ(Long(bids, L"service_id"), 2);
  }
  EXPECT_EQ(ids, (std::vector<LONG>{0, 0, 0, 1}));
  EXPECT_EQ(buyerIds, (std::vector<LONG>{501, 502, 503, 601}));
}

TEST_F(Answers, ABuyerIdBeyondThirtyTwoBitsFailsWithTheRecordsetsError) {
  ArrayOfBuyerDataInfo data;
  ss__BuyerDataInfo* entries[1] = {Buyer({LONGLONG{1} << 40})};
  data.__ptr = entries;
  data.__size = 1;
  _RecordsetPtr buyers, bids;
  EXPECT_EQ(RaisedBy([&] { BuyerDataToRecordsets(data, buyers, bids); }), static_cast<HRESULT>(0x80040E21u));
  EXPECT_FALSE(buyers);
  EXPECT_FALSE(bids);
}

TEST_F(Answers, PagesSettingsAndChanges) {
  ss__PageConfigInfo config;
  config.statusesEnabled = true;
  config.allowBillingAddressEntry = false;
  config.allowDeliveryAddressEntry = true;
  _RecordsetPtr options = PageConfigToRecordset(config);
  ASSERT_EQ(Rows(options), 1);
  EXPECT_EQ(Text(options, L"Description"), L"");  // absent: an empty text
  EXPECT_EQ(Text(options, L"WWW"), L"");
  EXPECT_EQ(Value(options, L"StatusesServiceActive").boolVal, VARIANT_TRUE);
  EXPECT_EQ(Value(options, L"ShowDocumentAddressForm").boolVal, VARIANT_FALSE);
  EXPECT_EQ(Value(options, L"ShowDeliveryAddressForm").boolVal, VARIANT_TRUE);

  ss__StatusPageInfo page;
  page.pageId = 12;
  _RecordsetPtr info, buyers, bids;
  StatusPageInfoToRecordsets(page, info, buyers, bids);
  EXPECT_EQ(Long(info, L"page_id"), 12);
  EXPECT_EQ(Value(info, L"page_urlPart").vt, VT_NULL);
  EXPECT_EQ(Value(info, L"last_entryDate").vt, VT_NULL);
  EXPECT_FALSE(buyers);  // no untrusted buyer data: no containers
  EXPECT_FALSE(bids);

  time_t entered = LocalSeconds(2024, 10, 27, 2, 30);
  ss__StatusPageInfo dated, undated;
  dated.pageId = 1;
  dated.lastBuyerDataEntryDate = &entered;
  undated.pageId = 2;
  ss__StatusPageInfo* list[3] = {&dated, nullptr, &undated};
  ArrayOfStatusPageInfo pages;
  pages.__ptr = list;
  pages.__size = 3;
  _RecordsetPtr changes = PageChangesToRecordset(pages);
  ASSERT_EQ(Rows(changes), 2);
  changes->MoveFirst();
  EXPECT_DOUBLE_EQ(Value(changes, L"last_dataEntry_date").date, Date(2024, 10, 27, 2, 30));
  changes->MoveNext();
  EXPECT_EQ(Long(changes, L"page_id"), 2);
  EXPECT_DOUBLE_EQ(Value(changes, L"last_dataEntry_date").date, Date(2000, 1, 1));
}

}  // namespace
}  // namespace vorlen::test
