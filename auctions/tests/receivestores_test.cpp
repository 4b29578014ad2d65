// The stores of received customers, transactions and comments, over the host's objects and a
// real product database.
#include "auctions/tests/receive_fixture.h"

namespace receive_test {
namespace {

using lotrix::StoreReceivedComment;
using lotrix::StoreReceivedCustomer;
using lotrix::StoreReceivedTransaction;

constexpr LONG kWarning = 1;
constexpr LONG kError = 2;

class CustomerStore : public ReceiveTest {
 protected:
  void Store(const _RecordsetPtr& row) {
    InLotrix([&] { StoreReceivedCustomer(context, row, accountSite); });
  }
  _RecordsetPtr Buyer(LONG userId, const wchar_t* nick, std::vector<std::pair<const wchar_t*, _variant_t>> more = {}) {
    rows = lotrix::CreateCustomersContainer();
    more.insert(more.begin(), {{L"user_id", _variant_t(userId)}, {L"user_name", _variant_t(nick)}});
    return AddRow(rows, more);
  }
  _RecordsetPtr rows;
};

TEST_F(CustomerStore, ANewBuyerIsStoredWithEverythingCutToItsColumnsAndAnsweredInTheRow) {
  const std::wstring longName(200, L'ą');
  _RecordsetPtr row = Buyer(
      501, std::wstring(80, L'n').c_str(),
      {{L"user_rank", _variant_t(LONG{12})}, {L"first_name", _variant_t(longName.c_str())},
       {L"last_name", _variant_t(L"Kowalski")}, {L"company", _variant_t(std::wstring(255, L'c').c_str())},
       {L"email", _variant_t(L"jan@example.com")}, {L"street", _variant_t(std::wstring(100, L's').c_str())},
       {L"postcode", _variant_t(std::wstring(40, L'0').c_str())}, {L"city", _variant_t(std::wstring(70, L'ł').c_str())},
       {L"country_id", _variant_t(LONG{7})}, {L"phone", _variant_t(std::wstring(60, L'1').c_str())},
       {L"phone2", _variant_t(L"600 700 800")}, {L"activated", _variant_t(true)}});
  Store(row);
  EXPECT_TRUE(context.reported.empty());
  const LONG id = Long(L"SELECT cs_Id FROM cs__Customer WHERE cs_ExtServiceId = 501 AND cs_SvcProvId = 1");
  ASSERT_GT(id, 0);
  EXPECT_EQ(static_cast<LONG>(row->GetFields()->GetItem(_variant_t(L"customer_id"))->GetValue()), id);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveCustomers], 1);
  // A missing country name comes from the site's dictionary by its number, into the row too.
  EXPECT_EQ(std::wstring(_bstr_t(row->GetFields()->GetItem(_variant_t(L"country_name"))->GetValue())), L"Polska");
  EXPECT_EQ(Long(L"SELECT LEN(cs_Name) FROM cs__Customer"), 129);
  EXPECT_EQ(Long(L"SELECT LEN(cs_Nick) FROM cs__Customer"), 50);
  EXPECT_EQ(Long(L"SELECT LEN(cs_AddressName) FROM cs__Customer"), 129);
  EXPECT_EQ(Long(L"SELECT LEN(cs_Street) FROM cs__Customer"), 64);
  EXPECT_EQ(Long(L"SELECT LEN(cs_Postcode) FROM cs__Customer"), 32);
  EXPECT_EQ(Long(L"SELECT LEN(cs_City) FROM cs__Customer"), 64);
  EXPECT_EQ(Long(L"SELECT LEN(cs_Company) FROM cs__Customer"), 255);
  EXPECT_EQ(Long(L"SELECT LEN(cs_Phone) FROM cs__Customer"), 50);
  EXPECT_EQ(String(L"SELECT cs_CountryName FROM cs__Customer"), L"Polska");
  EXPECT_EQ(String(L"SELECT cs_Email FROM cs__Customer"), L"jan@example.com");
  EXPECT_EQ(Long(L"SELECT cs_Rank FROM cs__Customer"), 12);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs_CustomerPhone WHERE cp_Number = '600 700 800'"), 1);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveCustomers, kWarning).empty());
}

TEST_F(CustomerStore, TheCountryNameIsKeptOrLeftEmptyForAnUnknownNumber) {
  _RecordsetPtr row = Buyer(1, L"a", {{L"country_name", _variant_t(L"Niemcy")}, {L"country_id", _variant_t(LONG{7})}});
  Store(row);
  EXPECT_EQ(std::wstring(_bstr_t(row->GetFields()->GetItem(_variant_t(L"country_name"))->GetValue())), L"Niemcy");
  _RecordsetPtr unknown = Buyer(2, L"b", {{L"country_id", _variant_t(LONG{99})}});
  Store(unknown);
  EXPECT_EQ(unknown->GetFields()->GetItem(_variant_t(L"country_name"))->GetValue().vt, VT_NULL);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer WHERE cs_ExtServiceId = 2 AND cs_CountryName IS NULL"), 1);
}

TEST_F(CustomerStore, ABuyerFoundByServiceIdIsUpdatedWithoutANoteAndKeepsItsPhones) {
  Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId, cs_Phone) VALUES (40, 'stary', 77, 1, '111')");
  Run(L"INSERT INTO cs_CustomerPhone (cp_Id, cp_CustomerId, cp_Number) VALUES (1, 40, '222')");
  _RecordsetPtr row = Buyer(77, L"nowy", {{L"phone", _variant_t(L"")}, {L"phone2", _variant_t(L"222")}});
  Store(row);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer"), 1);
  EXPECT_EQ(String(L"SELECT cs_Nick FROM cs__Customer WHERE cs_Id = 40"), L"nowy");
  // An empty phone leaves the stored one; a second phone already listed is not added again.
  EXPECT_EQ(String(L"SELECT cs_Phone FROM cs__Customer WHERE cs_Id = 40"), L"111");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs_CustomerPhone"), 1);
  EXPECT_EQ(static_cast<LONG>(row->GetFields()->GetItem(_variant_t(L"customer_id"))->GetValue()), 40);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveCustomers, kWarning).empty());
}

TEST_F(CustomerStore, ANickWithAnApostropheAndNoSurnameFindsTheCustomerEnteredByHand) {
  // Entered by hand: a name without a surname, no service id yet.
  Run(L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Nick, cs_SvcProvId) VALUES (41, N'Jan', N'o''brien', 1)");
  _RecordsetPtr row = Buyer(88, L"o'brien", {{L"first_name", _variant_t(L"Jan")}, {L"last_name", _variant_t(L"O'Brien")}});
  Store(row);
  EXPECT_TRUE(context.reported.empty());
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer"), 1);
  EXPECT_EQ(Long(L"SELECT cs_ExtServiceId FROM cs__Customer WHERE cs_Id = 41"), 88);
  EXPECT_EQ(String(L"SELECT cs_Name FROM cs__Customer WHERE cs_Id = 41"), L"Jan O'Brien");
  EXPECT_EQ(static_cast<LONG>(row->GetFields()->GetItem(_variant_t(L"customer_id"))->GetValue()), 41);
  EXPECT_EQ(Lines(CHxLog::jsReceiveCustomers, kWarning),
            std::vector<std::wstring>{L"Odnaleziono klienta o nazwie 'o'brien' z tego samego serwisu aukcyjnego wpisanego "
                                      L"ręcznie.\r\nJego dane zostały zaktualizowane. Poprzednie dane to: "});
  // The next download finds the customer by the service id, without a note.
  Store(row);
  EXPECT_EQ(Lines(CHxLog::jsReceiveCustomers, kWarning).size(), 1u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer"), 1);
}

// The note names the previous name and surname: of a customer entered by hand, and of one an
// earlier receive stored (its whole name in cs_Name, its surname empty).
TEST_F(CustomerStore, TheNoteNamesThePreviousNameAndSurname) {
  Run(L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Surname, cs_Nick, cs_ExtServiceId, cs_SvcProvId) "
      L"VALUES (42, N'Anna', N'Nowak', N'ania', 5, 1)");
  Store(Buyer(50, L"ewa", {{L"first_name", _variant_t(L"Ewa")}, {L"last_name", _variant_t(L"Lis")}}));
  EXPECT_EQ(String(L"SELECT cs_Surname FROM cs__Customer WHERE cs_ExtServiceId = 50"), L"");
  struct Case {
    LONG buyer;
    const wchar_t* nick;
    const wchar_t* previous;
  };
  size_t notes = 0;
  for (const Case& c : {Case{6, L"ania", L"Anna Nowak"}, Case{51, L"ewa", L"Ewa Lis "}}) {
    SCOPED_TRACE(c.nick);
    Store(Buyer(c.buyer, c.nick));
    const std::vector<std::wstring> warnings = Lines(CHxLog::jsReceiveCustomers, kWarning);
    ASSERT_EQ(warnings.size(), ++notes);
    const std::wstring said = warnings.back();
    EXPECT_EQ(said.substr(said.find(L"Poprzednie dane to: ")), std::wstring(L"Poprzednie dane to: ") + c.previous);
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer WHERE cs_Nick = '" + std::wstring(c.nick) +
                   L"' AND cs_ExtServiceId = " + std::to_wstring(c.buyer)),
              1);
  }
}

TEST_F(CustomerStore, ARowOfNullsIsRefusedWithTheStepsLineAndStoresNothing) {
  rows = lotrix::CreateCustomersContainer();
  AddRow(rows, {});
  Store(rows);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer"), 0);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveCustomers], 0);
  const auto errors = Lines(CHxLog::jsReceiveCustomers, kError);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], L"Nie udało się zapisać danych klienta  (0)\r\nNie podano nazwy ani nicku klienta.\r\n");
  // A cancelled job stores nothing.
  context.terminated = true;
  _RecordsetPtr row = Buyer(9, L"późny");
  Store(row);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer"), 0);
}

class TransactionStore : public ReceiveTest {
 protected:
  void SetUp() override {
    ReceiveTest::SetUp();
    AddSellerAccount();
    Run(L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_UserId, au_RegId, au_RegSiteId, au_SvcProvId) "
        L"VALUES (10, '1000', N'Kubek', 1, 3, 9, 1), (11, 'o''1', N'Talerz', 1, 3, 9, 1)");
    Run(L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_UserId, au_RegId, au_RegSiteId, au_SvcProvId, "
        L"au_ProductId) VALUES (12, '1002', N'Produkt', 1, 3, 9, 1, 55)");
    Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (20, N'kupiec', 700, 1)");
  }
  void Store(const _RecordsetPtr& row) {
    InLotrix([&] { StoreReceivedTransaction(context, row, accountSite); });
  }
  _RecordsetPtr Purchase(const wchar_t* number, LONG quantity, _variant_t id = _variant_t(), LONG buyer = 700) {
    rows = lotrix::CreateTransactionsContainer();
    return AddRow(rows, {{L"id", id},
                         {L"item_number", _variant_t(number)},
                         {L"item_name", _variant_t(L"Kubek")},
                         {L"user_id", _variant_t(buyer)},
                         {L"user_name", _variant_t(L"kupiec")},
                         {L"quantity", _variant_t(quantity)},
                         {L"price", Money(12.5)},
                         {L"currency", _variant_t(L"PLN")},
                         {L"date", Date(45592.5)}});
  }
  _RecordsetPtr rows;
};

TEST_F(TransactionStore, AFirstPurchaseStoresTheWholeQuantityWithANamedPosition) {
  Store(Purchase(L"1000", 3));
  EXPECT_TRUE(context.reported.empty());
  EXPECT_EQ(context.counts[CHxLog::jsReceiveTransactions], 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_AuctionId = 10 AND tr_CustomerId = 20 AND "
                 L"tr_OrigQuantity = 3 AND tr_Original = 1 AND tr_Remainder = 0 AND tr_Kind = 2 AND tr_KindDetail = 1 "
                 L"AND tr_RegId = 3 AND tr_RegSiteId = 9 AND tr_AuctionOwnerId = 1 AND tr_Currency = 'PLN' AND "
                 L"tr_ValueCurrency = 'PLN' AND tr_Name = 'Kubek (1000)'"),
            1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Position WHERE tp_Name = 'Kubek' AND tp_Quantity = 3 AND tp_Price = 12.5 "
                 L"AND tp_ProductId IS NULL"),
            1);
  // The same purchase delivered again without a service id: nothing is left over.
  Store(Purchase(L"1000", 3));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 1);
}

TEST_F(TransactionStore, AnAuctionOfAProductGetsAProductPosition) {
  Store(Purchase(L"1002", 1));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Position WHERE tp_ProductId = 55 AND tp_Quantity = 1"), 1);
}

TEST_F(TransactionStore, WhatIsLeftAfterEarlierPurchasesIsARemainder) {
  Store(Purchase(L"1000", 3));
  Store(Purchase(L"1000", 5));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_OrigQuantity = 2 AND tr_Original = 0 AND tr_Remainder = 1"),
            1);
  EXPECT_EQ(Long(L"SELECT SUM(tp_Quantity) FROM tr_Position"), 5);
  // Five bought in all: a purchase of five has nothing left.
  Store(Purchase(L"1000", 5));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 2);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveTransactions], 2);
}

TEST_F(TransactionStore, APurchaseTheSiteNamesIsStoredOnceForItsBuyer) {
  Store(Purchase(L"1000", 2, _variant_t(LONG{9001})));
  Store(Purchase(L"1000", 4, _variant_t(LONG{9002})));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 1);
}

TEST_F(TransactionStore, AnUnknownAuctionOrBuyerIsRefusedWithItsLine) {
  Store(Purchase(L"9999", 1));
  Store(Purchase(L"1000", 1, _variant_t(), 701));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 0);
  EXPECT_EQ(Lines(CHxLog::jsReceiveTransactions, kError),
            (std::vector<std::wstring>{
                L"Nie znaleziono aukcji nr 9999 i nie można zapisać transakcji dla klienta kupiec (700)",
                L"Nie udało się zapisać transakcji do aukcji nr 1000.\r\nNie istnieje klient kupiec (701)"}));
  // Once the buyer has arrived, the purchase is stored.
  Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (21, N'kupiec', 701, 1)");
  Store(Purchase(L"1000", 1, _variant_t(), 701));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_CustomerId = 21"), 1);
}

TEST_F(TransactionStore, ShippingToABuyerWithoutAddressLeavesCollectionInPersonWithAWarning) {
  // The auction sends parcels: its purchases get the shipment method from its delivery options.
  Run(L"INSERT INTO au_SiteDetail (aal_AuctionId, aal_ShippingOptions) VALUES (10, 3)");
  Store(Purchase(L"1000", 1));
  EXPECT_EQ(Lines(CHxLog::jsReceiveTransactions, kWarning),
            std::vector<std::wstring>{L"Transakcja do aukcji nr 1000.\r\nUżytkownik kupiec (700) nie podał danych "
                                      L"adresowych, więc możliwy jest tylko odbiór osobisty."});
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_DeliveryMethod IS NULL"), 1);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveTransactions], 1);
  // A buyer with an address keeps the shipment.
  Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId, cs_Street, cs_Postcode, cs_City) "
      L"VALUES (23, N'z_adresem', 702, 1, N'Długa 1', N'00-950', N'Łódź')");
  Store(Purchase(L"1000", 1, _variant_t(), 702));
  EXPECT_EQ(Long(L"SELECT tr_DeliveryMethod FROM tr__Transaction WHERE tr_CustomerId = 23"), 1);
  EXPECT_EQ(Lines(CHxLog::jsReceiveTransactions, kWarning).size(), 1u);
}

TEST_F(TransactionStore, AnAuctionNumberWithAnApostropheIsFound) {
  Store(Purchase(L"o'1", 1));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_AuctionId = 11"), 1);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveTransactions, kError).empty());
}

TEST_F(TransactionStore, ARowWithoutQuantityIsReportedWithTheAnalysisStep) {
  rows = lotrix::CreateTransactionsContainer();
  AddRow(rows, {{L"item_number", _variant_t(L"1000")}, {L"user_id", _variant_t(LONG{700})},
                {L"user_name", _variant_t(L"kupiec")}});
  Store(rows);
  const auto errors = Lines(CHxLog::jsReceiveTransactions, kError);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind(L"Nie udało się przeanalizować transakcji do aukcji nr 1000 dla klienta kupiec (700)\r\n", 0),
            0u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 0);
}

class CommentStore : public ReceiveTest {
 protected:
  void SetUp() override {
    ReceiveTest::SetUp();
    AddSellerAccount();
    Run(L"INSERT INTO au__Auction (au_Id, au_Number, au_SvcProvId) VALUES (10, '1000', 1), (13, '', 1)");
    // A buyer whose service id needs 64 bits.
    Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (20, N'kupiec', 9007199254740993, 1)");
    Run(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_AuctionId, tr_CustomerId) VALUES (30, 3, 10, 20), (31, 3, 13, 20)");
  }
  void Store(const _RecordsetPtr& row) {
    InLotrix([&] { StoreReceivedComment(context, row, accountSite); });
  }
  _RecordsetPtr Comment(const _variant_t& number, LONG type, const wchar_t* text, LONGLONG buyer = 9007199254740993LL) {
    rows = lotrix::CreateCommentsContainer();
    return AddRow(rows, {{L"auction_number", number},
                         {L"from_user_id", Big(type == 0 ? buyer : 1)},
                         {L"to_user_id", Big(type == 1 ? buyer : 1)},
                         {L"id", _variant_t(LONG{4711})},
                         {L"comment", _variant_t(text)},
                         {L"score", _variant_t(LONG{1})},
                         {L"date", Date(45592.5)},
                         {L"type", _variant_t(type)},
                         {L"user_name", _variant_t(L"kupiec")}});
  }
  _RecordsetPtr rows;
};

TEST_F(CommentStore, EachSideIsWrittenAloneAndANewRecordIsCountedOnce) {
  Store(Comment(_variant_t(L"1000"), 0, L"Polecam"));
  EXPECT_TRUE(context.reported.empty());
  EXPECT_EQ(context.counts[CHxLog::jsReceiveComments], 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment WHERE tc_TransId = 30 AND tc_ReceivedComment = 'Polecam' AND "
                 L"tc_ReceivedScore = 1 AND tc_SentComment IS NULL AND tc_SentExternalId IS NULL"),
            1);
  Store(Comment(_variant_t(L"1000"), 1, L"Dziękuję"));
  EXPECT_EQ(context.counts[CHxLog::jsReceiveComments], 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment WHERE tc_ReceivedComment = 'Polecam' AND tc_SentComment = 'Dziękuję' "
                 L"AND tc_SentExternalId = 4711 AND tc_SentScore = 1"),
            1);
}

TEST_F(CommentStore, AnUnknownAuctionIsDroppedQuietlyAndABuyerWithoutTransactionRefused) {
  Store(Comment(_variant_t(L"5555"), 0, L"Nic"));
  EXPECT_TRUE(Lines(CHxLog::jsReceiveComments, kError).empty());
  Store(Comment(_variant_t(L"1000"), 0, L"Obcy", 12));
  EXPECT_EQ(Lines(CHxLog::jsReceiveComments, kError),
            std::vector<std::wstring>{L"Nie udało się zapisać komentarza do aukcji nr 1000.\r\nNie istnieje transakcja "
                                      L"dla użytkownika kupiec (12)"});
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment"), 0);
}

TEST_F(CommentStore, ACommentWithoutAuctionNumberReportsTheUnknownNumber) {
  rows = lotrix::CreateCommentsContainer();
  AddRow(rows, {{L"from_user_id", Big(9007199254740993LL)}, {L"type", _variant_t(LONG{0})},
                {L"comment", _variant_t(L"bez daty")}});
  Store(rows);
  const auto errors = Lines(CHxLog::jsReceiveComments, kError);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind(L"Nie udało się zapisać komentarza do aukcji nr (nieznany).\r\n", 0), 0u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment"), 0);
}

TEST_F(CommentStore, ACommentOfAnotherTypeWritesNoSideButIsSaved) {
  // The record is found through the transaction of buyer 0's lookup: none, so nothing happens.
  Store(Comment(_variant_t(L"1000"), 2, L"Inny"));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment"), 0);
  EXPECT_TRUE(context.reported.empty());
  // A buyer whose service id is 0 does have a transaction: the record is saved without a side.
  Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (22, N'zero', 0, 1)");
  Run(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_AuctionId, tr_CustomerId) VALUES (32, 3, 10, 22)");
  Store(Comment(_variant_t(L"1000"), 2, L"Inny"));
  EXPECT_TRUE(context.reported.empty());
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment"), 0);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveComments], 1);
}

}  // namespace
}  // namespace receive_test
