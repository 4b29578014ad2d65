// The store of received auctions, into the reference provider's auction object over a real
// product database.
#include "auctions/tests/receive_fixture.h"
#include "platform/threads/clock.h"

namespace receive_test {
namespace {

using lotrix::StoreReceivedAuction;

constexpr LONG kError = 2;

class AuctionStore : public ReceiveTest {
 protected:
  void SetUp() override {
    ReceiveTest::SetUp();
    AddSellerAccount();
    platform::clock::SetTime(1733740800);  // 2024-12-09 10:40 UTC
    rows = lotrix::CreateAuctionsContainer();
  }
  void TearDown() override {
    platform::clock::UseRealTime();
    ReceiveTest::TearDown();
  }
  // A row with details (blocked set), the number and title given, and more values.
  _RecordsetPtr& Auction(const wchar_t* number, std::vector<std::pair<const wchar_t*, _variant_t>> more = {}) {
    more.insert(more.begin(), {{L"number", _variant_t(number)}, {L"title", _variant_t(L"Kubek")},
                               {L"blocked", _variant_t(false)}});
    return AddRow(rows, more);
  }
  void Store(const _RecordsetPtr& row, const _RecordsetPtr& images = nullptr, bool checkOnly = false) {
    InLotrix([&] { StoreReceivedAuction(context, row, images, accountSite, 1, checkOnly, !images); });
  }
  _variant_t Answer(const wchar_t* field) { return rows->GetFields()->GetItem(_variant_t(field))->GetValue(); }
  _RecordsetPtr rows;
};

TEST_F(AuctionStore, ANewAuctionIsCreatedForTheAccountSiteAndCountedOnce) {
  Store(Auction(L"1000", {{L"category", _variant_t(LONG{44})}, {L"quantity", _variant_t(LONG{5})},
                          {L"start_price", Money(0)}, {L"bin_price", Money(0)}, {L"min_price", Money(0)},
                          {L"description", _variant_t(L"Opis kubka")}, {L"location", _variant_t(L"Łódź")},
                          {L"country", _variant_t(LONG{1})}, {L"private", _variant_t(true)},
                          {L"ship_opts", _variant_t(LONG{3})}, {L"transfer_cost", Money(10)}}));
  EXPECT_TRUE(context.reported.empty());
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction WHERE au_Number = '1000' AND au_RegId = 3 AND au_RegSiteId = 9 "
                 L"AND au_SiteId = 5 AND au_SvcProvId = 1 AND au_UserId = 1 AND au_CatId = 44 AND au_Quantity = 5 "
                 L"AND au_Location = 'Łódź' AND au_Country = 1 AND au_Private = 1 AND au_StartPrice = 0 "
                 L"AND au_BuyNowPrice IS NULL AND au_MinPrice IS NULL"),
            1);
  EXPECT_EQ(String(L"SELECT aal_Description FROM au_SiteDetail"), L"Opis kubka");
  EXPECT_EQ(Long(L"SELECT aal_ShippingOptions FROM au_SiteDetail"), 3);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au_SiteDetail WHERE aal_TransferCost = 10 AND aal_ShippingCost IS NULL"), 1);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveAuctions], 1);
  EXPECT_EQ(Answer(L"counted").vt, VT_BOOL);
  EXPECT_EQ(static_cast<bool>(Answer(L"has_full_header")), false);
  // Handed over again: the auction is the stored one, updated and not counted again.
  rows->GetFields()->GetItem(_variant_t(L"title"))->PutValue(_variant_t(L"Kubek duży"));
  Store(rows);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 1);
  EXPECT_EQ(String(L"SELECT au_Title FROM au__Auction"), L"Kubek duży");
  EXPECT_EQ(context.counts[CHxLog::jsReceiveAuctions], 1);
  EXPECT_EQ(static_cast<LONG>(Answer(L"auction_id")), Long(L"SELECT au_Id FROM au__Auction"));
}

TEST_F(AuctionStore, RowsWithoutTitleOrDetailsStoreNothingAndAnswerNothing) {
  AddRow(rows, {{L"number", _variant_t(L"1")}, {L"blocked", _variant_t(false)}});
  Store(rows);
  EXPECT_EQ(Answer(L"auction_id").vt, VT_NULL);
  AddRow(rows, {{L"number", _variant_t(L"2")}, {L"title", _variant_t(L"Bez szczegółów")}});
  Store(rows);
  EXPECT_EQ(Answer(L"counted").vt, VT_NULL);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 0);
  EXPECT_TRUE(context.reported.empty());
}

TEST_F(AuctionStore, ACheckOnlyRowOfAStoredAuctionGetsItsAnswersAndLeavesItAlone) {
  Run(L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_SvcProvId, au_CatId) VALUES "
      L"(7, '1000', N'Stary', 3, 1, 44), (8, '1001', N'Bez kategorii', 3, 1, 0), (9, '1002', N'Pusty opis', 3, 1, 45)");
  Run(L"INSERT INTO au_SiteDetail (aal_AuctionId, aal_Description) VALUES (7, N'Opis'), (8, N'Opis'), (9, N'')");
  Run(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_AuctionId, tr_OrigQuantity) VALUES (1, 3, 7, 2), (2, 3, 7, 3)");
  Store(Auction(L"1000"), nullptr, true);
  EXPECT_EQ(static_cast<LONG>(Answer(L"auction_id")), 7);
  EXPECT_EQ(static_cast<LONG>(Answer(L"sold_sum")), 5);
  EXPECT_TRUE(static_cast<bool>(Answer(L"has_full_header")));
  EXPECT_TRUE(static_cast<bool>(Answer(L"has_full_data")));
  EXPECT_EQ(String(L"SELECT au_Title FROM au__Auction WHERE au_Id = 7"), L"Stary");
  EXPECT_EQ(context.counts[CHxLog::jsReceiveAuctions], 0);
  // No category: no full header and so no full data, whatever the description.
  Store(Auction(L"1001"), nullptr, true);
  EXPECT_EQ(static_cast<LONG>(Answer(L"sold_sum")), 0);
  EXPECT_FALSE(static_cast<bool>(Answer(L"has_full_header")));
  EXPECT_FALSE(static_cast<bool>(Answer(L"has_full_data")));
  Store(Auction(L"1002"), nullptr, true);
  EXPECT_TRUE(static_cast<bool>(Answer(L"has_full_header")));
  EXPECT_FALSE(static_cast<bool>(Answer(L"has_full_data")));
  // Without the option for full data the answer is not given.
  context.fullData = false;
  Store(Auction(L"1000"), nullptr, true);
  EXPECT_EQ(Answer(L"has_full_data").vt, VT_NULL);
}

TEST_F(AuctionStore, TheSaleTypeFollowsTheShopFlagAndThePrices) {
  Store(Auction(L"1", {{L"shop_item", _variant_t(true)}, {L"start_price", Money(5)}}));
  Store(Auction(L"2", {{L"start_price", Money(0.5)}, {L"bin_price", Money(5)}}));
  Store(Auction(L"3", {{L"start_price", Money(1)}, {L"bin_price", Money(5)}}));
  Store(Auction(L"4"));
  EXPECT_EQ(Long(L"SELECT aal_SaleType FROM au_SiteDetail INNER JOIN au__Auction ON au_Id = aal_AuctionId WHERE au_Number = '1'"), 2);
  EXPECT_EQ(Long(L"SELECT aal_SaleType FROM au_SiteDetail INNER JOIN au__Auction ON au_Id = aal_AuctionId WHERE au_Number = '2'"), 1);
  EXPECT_EQ(Long(L"SELECT aal_SaleType FROM au_SiteDetail INNER JOIN au__Auction ON au_Id = aal_AuctionId WHERE au_Number = '3'"), 0);
  EXPECT_EQ(Long(L"SELECT aal_SaleType FROM au_SiteDetail INNER JOIN au__Auction ON au_Id = aal_AuctionId WHERE au_Number = '4'"), 0);
  // A stored shop item stays one: its own flag replaces the row's.
  Store(Auction(L"1", {{L"shop_item", _variant_t(false)}, {L"start_price", Money(5)}}));
  EXPECT_TRUE(static_cast<bool>(Answer(L"shop_item")));
  EXPECT_EQ(Long(L"SELECT aal_SaleType FROM au_SiteDetail INNER JOIN au__Auction ON au_Id = aal_AuctionId WHERE au_Number = '1'"), 2);
}

TEST_F(AuctionStore, AStartInThePastRunsTheAuctionAndAnEndEndsIt) {
  Store(Auction(L"1", {{L"start_date", Date(45000.0)}}));                              // 2023
  Store(Auction(L"2", {{L"start_date", Date(45000.0)}, {L"ended", _variant_t(true)}}));
  Store(Auction(L"3", {{L"start_date", Date(47000.0)}}));                              // 2028
  EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Number = '1'"), 3);
  EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Number = '2'"), 4);
  EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Number = '3'"), -1);
}

TEST_F(AuctionStore, TypeThreeImagesAreNumberedStoredOnceAndTheFilterIsEmptiedAfterwards) {
  _RecordsetPtr images = lotrix::CreateAuctionImagesContainer();
  AddRow(images, {{L"auction_number", _variant_t(L"o'1")}, {L"type", _variant_t(LONG{3})}, {L"image", Bytes("AAA")}});
  AddRow(images, {{L"auction_number", _variant_t(L"o'1")}, {L"type", _variant_t(LONG{1})}, {L"image", Bytes("mini")}});
  AddRow(images, {{L"auction_number", _variant_t(L"o'1")}, {L"type", _variant_t(LONG{3})}});  // no data: skipped, numbered
  AddRow(images, {{L"auction_number", _variant_t(L"o'1")}, {L"type", _variant_t(LONG{3})}, {L"image", Bytes("CCC")}});
  AddRow(images, {{L"auction_number", _variant_t(L"o'1")}, {L"type", _variant_t(LONG{3})}, {L"image", Bytes("AAA")}});
  AddRow(images, {{L"auction_number", _variant_t(L"2000")}, {L"type", _variant_t(LONG{3})}, {L"image", Bytes("DDD")}});
  Store(Auction(L"o'1"), images);
  EXPECT_TRUE(context.reported.empty());
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(images->GetFilter()))), L"");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_Image"), 2);
  EXPECT_EQ(String(L"SELECT im_Name FROM kd_Image ORDER BY im_Id"), L"Kubek 1");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_Image WHERE im_Name = 'Kubek 3'"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au_Image"), 2);
  EXPECT_EQ(context.counts[CHxLog::jsReceiveAuctions], 1);
  // A single image takes the bare title.
  Store(Auction(L"2000"), images);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_Image WHERE im_Name = 'Kubek'"), 1);
}

TEST_F(AuctionStore, ARefusedCheckFillsTheErrorsAndTheLogAndSavesNothing) {
  _RecordsetPtr images = lotrix::CreateAuctionImagesContainer();
  Store(Auction(L"1", {{L"quantity", _variant_t(LONG{-1})}}), images);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 0);
  EXPECT_EQ(std::wstring(_bstr_t(Answer(L"errors"))), L"Liczba sztuk nie może być ujemna.\r\n");
  EXPECT_EQ(Answer(L"counted").vt, VT_NULL);
  EXPECT_EQ(Lines(CHxLog::jsReceiveAuctions, kError),
            std::vector<std::wstring>{L"Zapisanie aukcji 1 nie powiodło się.\r\nLiczba sztuk nie może być ujemna.\r\n"});
  EXPECT_EQ(context.counts[CHxLog::jsReceiveAuctions], 0);
}

TEST_F(AuctionStore, AnAuctionWithoutNumberOrObjectIsReportedAndStoresNothing) {
  AddRow(rows, {{L"title", _variant_t(L"Bez numeru")}, {L"blocked", _variant_t(false)}});
  Store(rows);
  ASSERT_EQ(context.reported.size(), 1u);
  EXPECT_EQ(context.reported[0], E_UNEXPECTED);
  // A provider without an auction object (as a job finds it: the class found above is kept
  // until the job's end).
  Run(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = NULL WHERE ss_Id = 1");
  context.ForgetAuctionClasses();
  Store(Auction(L"5"));
  EXPECT_EQ(context.reported.size(), 2u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 0);
  EXPECT_EQ(Lines(CHxLog::jsReceiveAuctions, kError).size(), 2u);
}

// A receive job looks the provider's auction class up once and keeps it to its end; a class not
// found is asked for again by the next record.
TEST_F(AuctionStore, TheProvidersAuctionClassIsLookedUpOncePerJob) {
  Run(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = NULL WHERE ss_Id = 1");
  Store(Auction(L"1"));
  EXPECT_EQ(context.reported.size(), 1u);
  Run(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = 'Reference.Auction' WHERE ss_Id = 1");
  Store(Auction(L"2"));
  EXPECT_EQ(context.reported.size(), 1u);
  // Kept: a change of the provider's row is not seen before the job's end.
  Run(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = NULL WHERE ss_Id = 1");
  Store(Auction(L"3"));
  EXPECT_EQ(context.reported.size(), 1u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 2);
  context.ForgetAuctionClasses();
  Store(Auction(L"4"));
  EXPECT_EQ(context.reported.size(), 2u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 2);
}

}  // namespace
}  // namespace receive_test
