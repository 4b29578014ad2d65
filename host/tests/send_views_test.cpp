// What the send job reads and writes in the product database: the views of prepared auctions
// and comments, and the sent side of a transaction's comment record.
#include "host/objects.h"
#include "host/tests/host_fixture.h"
#include "shared/objtools.h"

namespace {

class SendViews : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    Exec(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_AuctionProgId) VALUES (7, N'Inny', 'Inny.Auction')");
    AddAccounts({3, 4});
  }
  void Exec(const wchar_t* sql) { host->Connection()->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords); }
  std::vector<std::wstring> Column(const wchar_t* sql) {
    std::vector<std::wstring> out;
    _RecordsetPtr rs = host->Connection()->Execute(_bstr_t(sql), nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      const _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
      out.push_back(v.vt == VT_NULL ? L"NULL" : static_cast<const wchar_t*>(_bstr_t(v)));
    }
    return out;
  }
  static _RecordsetPtr DataSet(const IFlgItemPtr& item, LONG index) { return DataSetOf(item, index); }
};

TEST_F(SendViews, PreparedAuctionsAreThoseInState1WithTheirProvidersAuctionClass) {
  Exec(L"INSERT INTO au__Auction (au_Id, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) VALUES "
       L"(1, N'Kubek', 3, 5, 7, 1), (2, N'Dzbanek', 3, 5, 7, 3), (3, N'Talerz', 4, 6, 7, 4), "
       L"(4, N'Miska', 4, 6, 7, 1), (5, N'Bez stanu', 3, 5, 7, NULL), (6, N'Bez dostawcy', 3, 5, 99, 1)");
  EXPECT_EQ(Column(L"SELECT au_Id FROM vw_AuctionsPrepared"), (std::vector<std::wstring>{L"1", L"4", L"6"}));
  // The send reads it by account and local site, and by ids; an unknown provider has no class.
  EXPECT_EQ(Column(L"SELECT ss_AuctionProgId FROM vw_AuctionsPrepared WHERE au_RegId=3 AND au_SiteId=5"),
            (std::vector<std::wstring>{L"Inny.Auction", L"NULL"}));
  EXPECT_EQ(Column(L"SELECT au_Title FROM vw_AuctionsPrepared WHERE au_RegId=4 AND au_SiteId=6 AND au_Id IN (1,4,9)"),
            (std::vector<std::wstring>{L"Miska"}));
}

TEST_F(SendViews, PreparedCommentsAreGivenCommentsNotYetSentWithTheAuctionAndTheBuyer) {
  Exec(L"INSERT INTO au__Auction (au_Id, au_Number, au_RegId, au_SiteId, au_SvcProvId, au_State) VALUES "
       L"(1, '1001', 3, 5, 7, 3), (2, '1002', 4, 6, 7, 4)");
  Exec(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES "
       L"(1, N'ania', 9007199254740993, 7)");
  Exec(L"INSERT INTO tr__Transaction (tr_Id, tr_AuctionId, tr_CustomerId) VALUES "
       L"(10, 1, 1), (11, 1, 1), (12, 2, 1), (13, 2, NULL), (14, 2, 1), (15, NULL, 1), (16, 1, 1)");
  Exec(L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_ReceivedComment, tc_SentComment, tc_SentScore, tc_SentDate) "
       L"VALUES (1, 10, N'Polecam', N'Dziękuję', 1, NULL), (2, 11, NULL, N'Już wysłany', 1, '2026-01-02'), "
       L"(3, 12, N'Tylko odebrany', NULL, NULL, NULL), (4, 13, NULL, N'Bez kupującego', -1, NULL), "
       L"(5, 14, NULL, N'', 0, NULL), (6, 15, NULL, N'Bez aukcji', 1, NULL)");
  EXPECT_EQ(Column(L"SELECT tr_Id FROM vw_CommentsPrepared"), (std::vector<std::wstring>{L"10", L"13"}));
  _RecordsetPtr rs = host->Connection()->Execute(
      _bstr_t(L"SELECT * FROM vw_CommentsPrepared WHERE au_RegId=3 AND au_SiteId=5 AND tr_Id IN (10,16)"), nullptr,
      adCmdText);
  ASSERT_FALSE(rs->GetadoEOF());
  FieldsPtr f = rs->GetFields();
  EXPECT_EQ(std::wstring(_bstr_t(f->GetItem(_variant_t(L"au_Number"))->GetValue())), L"1001");
  EXPECT_EQ(static_cast<LONGLONG>(f->GetItem(_variant_t(L"cs_ExtServiceId"))->GetValue()), 9007199254740993LL);
  EXPECT_EQ(std::wstring(_bstr_t(f->GetItem(_variant_t(L"cs_Nick"))->GetValue())), L"ania");
  rs->MoveNext();
  EXPECT_TRUE(rs->GetadoEOF());
  // A comment without a buyer is still listed, so that its send names the failure.
  EXPECT_EQ(Column(L"SELECT cs_Nick FROM vw_CommentsPrepared WHERE tr_Id = 13"), (std::vector<std::wstring>{L"NULL"}));
}

TEST_F(SendViews, TheCommentRecordsSentSideIsWrittenThroughItsDataSet) {
  Exec(L"INSERT INTO au__Auction (au_Id, au_Number, au_RegId, au_SiteId, au_State) VALUES (1, '1001', 3, 5, 3)");
  Exec(L"INSERT INTO tr__Transaction (tr_Id, tr_AuctionId) VALUES (10, 1)");
  Exec(L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore, tc_SentExternalId) "
       L"VALUES (1, 10, N'Dziękuję', 1, 77)");
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransactionComment), 10, CHxObjTools::omEdit);
  _RecordsetPtr set = DataSet(item, 1);
  ASSERT_EQ(set->GetRecordCount(), 1);
  set->MoveFirst();
  FieldsPtr f = set->GetFields();
  EXPECT_EQ(std::wstring(_bstr_t(f->GetItem(_variant_t(L"tc_SentComment"))->GetValue())), L"Dziękuję");
  EXPECT_EQ(static_cast<LONG>(f->GetItem(_variant_t(L"tc_SentScore"))->GetValue()), 1);
  EXPECT_EQ(static_cast<LONG>(f->GetItem(_variant_t(L"tc_ExternalId"))->GetValue()), 77);
  f->GetItem(_variant_t(L"tc_ExternalId"))->PutValue(_variant_t(LONG{4711}));
  _variant_t sent;
  sent.vt = VT_DATE;
  sent.date = 46000.5;
  f->GetItem(_variant_t(L"tc_SentDate"))->PutValue(sent);
  CHxObjTools::Save(item);
  EXPECT_EQ(Long(host->Connection(), L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentExternalId = 4711 "
                                     L"AND tc_SentDate IS NOT NULL AND tc_SentComment = N'Dziękuję'"),
            1);
  EXPECT_EQ(Long(host->Connection(), L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
}

}  // namespace
