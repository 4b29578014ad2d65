// The selection lists: their statements as written and what they select from the product
// database, and the 30-day cut-offs on the product schema's date columns.
#include "zone/translist.h"
#include "zone/tests/manager_fixture.h"

namespace vorlen::test {
namespace {

using Selection = ManagerTest;

std::vector<LONG> Ids(const CTransactionList& list) { return list.Ids(); }

// A list over a statement that gives every id twice.
class DoubledList : public CTransactionList {
 public:
  void BaseQuery(CString& query) const override {
    query = L"SELECT tr_Id FROM (SELECT tr_Id FROM tr__Transaction UNION ALL SELECT tr_Id FROM tr__Transaction) AS t ";
  }
};

TEST_F(Selection, StatementsAreTheBaseQueryAndTheConditionsAsWritten) {
  CTransactionList none;
  EXPECT_EQ(std::wstring(none.Statement()), L"SELECT tr_Id FROM   tr__Transaction ");
  CTransactionList two;
  two.AddCondition(L"tr_Grouped = 0");
  two.AddCondition(L"tr_RegId", 5);
  EXPECT_EQ(std::wstring(two.Statement()), L"SELECT tr_Id FROM   tr__Transaction  WHERE tr_Grouped = 0 AND tr_RegId = 5");

  CTransactionList send;
  SelectTransactionsToSend(send, 7, true);
  EXPECT_EQ(std::wstring(send.Statement()),
            L"SELECT tr_Id FROM   tr__Transaction  WHERE tr_StatusDisabled = 0 AND tr_StatusNotSupported = 0 AND "
            L"tr_Grouped = 0 AND tr_StatusDataModified = 1 AND tr_StatusPageId IS NOT NULL AND ( (tr_Group = 0 AND "
            L"tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) ) AND tr_RegId = 7");
  CTransactionList forced;
  SelectTransactionsToSend(forced, 7, false);
  EXPECT_NE(std::wstring(forced.Statement()).find(L"AND tr_StatusDataModified = 0 AND"), std::wstring::npos);
}

TEST_F(Selection, ExecuteFillsTheListAgainWithEachIdOnceInOrder) {
  AddCustomer(1, 501, L"Jan");
  for (LONG id : {30, 10, 20}) AddTransaction(id, kAccountA, 1, 0);
  DoubledList doubled;
  doubled.AddUnique(20);  // dropped by Execute: a run starts from an empty list
  EXPECT_EQ(doubled.Execute(), S_OK);
  ASSERT_EQ(doubled.GetCount(), 3u);
  std::vector<LONG> first = Ids(doubled);
  EXPECT_EQ(doubled.Execute(), S_OK);
  EXPECT_EQ(Ids(doubled), first);
  const LONG held = first[1];
  doubled.AddUnique(held);
  doubled.AddUnique(99);
  EXPECT_EQ(Ids(doubled), (std::vector<LONG>{first[0], first[1], first[2], 99}));

  CTransactionList bad;
  bad.AddCondition(L"tr_NoSuchColumn = 1");
  bad.AddUnique(4);
  EXPECT_EQ(bad.Execute(), static_cast<HRESULT>(0x80040E14u));
  EXPECT_TRUE(bad.IsEmpty());
}

TEST_F(Selection, TheSendSelectionAndTheTransactionsOfModifiedPackages) {
  AddCustomer(1, 501, L"Jan");
  AddAuction(1, L"1000-1", kAccountA);
  const std::wstring page = L"tr_StatusPageId = ";
  AddTransaction(1, kAccountA, 1, 1, page + L"101, tr_StatusDataModified = 1");             // modified
  AddTransaction(2, kAccountA, 1, 1, page + L"102");                                        // not modified
  AddTransaction(3, kAccountA, 1, 0, page + L"103, tr_Group = 1, tr_StatusDataModified = 1");  // a group
  AddTransaction(4, kAccountA, 1, 0, page + L"104, tr_StatusDataModified = 1");             // single, no auction
  AddTransaction(5, kAccountA, 1, 1, page + L"105, tr_StatusDataModified = 1, tr_StatusDisabled = 1");
  AddTransaction(6, kAccountA, 1, 1, page + L"106, tr_StatusDataModified = 1, tr_StatusNotSupported = 1");
  AddTransaction(7, kAccountA, 1, 1, page + L"107, tr_StatusDataModified = 1, tr_Grouped = 1");
  AddTransaction(8, kAccountA, 1, 1, L"tr_StatusDataModified = 1");                         // no page
  AddTransaction(9, kAccountB, 1, 1, page + L"109, tr_StatusDataModified = 1");             // other account
  AddTransaction(10, kAccountA, 1, 1, page + L"110");                                       // package modified
  AddTransaction(11, kAccountA, 1, 1, page + L"111, tr_StatusDisabled = 1");                // ... but disabled
  Exec(L"INSERT INTO pc__Package (pc_Id, pc_TransId, pc_RegId, pc_StatusDataModified) VALUES "
       L"(1, 10, 1, 1), (2, 10, 1, 1), (3, 11, 1, 1), (4, 2, 1, 0), (5, 1, 1, 1), (6, 9, 2, 1)");

  CTransactionList modified;
  EXPECT_EQ(SelectTransactionsToSend(modified, kAccountA, true), S_OK);
  EXPECT_EQ(Ids(modified), (std::vector<LONG>{1, 3, 10}));
  CTransactionList forced;
  EXPECT_EQ(SelectTransactionsToSend(forced, kAccountA, false), S_OK);
  EXPECT_EQ(Ids(forced), (std::vector<LONG>{2, 10, 1}));
}

TEST_F(Selection, CutOffsCompareWithMidnightOfTheDayThirtyDaysBack) {
  // The product schema's date columns against 'YYYYMMDD' literals, as the jobs write them.
  AddCustomer(1, 501, L"Jan");
  const LONG before = 1, midnight = 2, after = 3;
  AddTransaction(before, kAccountA, 1, 0);
  AddTransaction(midnight, kAccountA, 1, 0);
  AddTransaction(after, kAccountA, 1, 0);
  Exec(L"UPDATE tr__Transaction SET tr_CreationDate = " + DayText(-30, -1) + L", tr_LastModified = " + DayText(-30, -1) +
       L" WHERE tr_Id = 1");
  Exec(L"UPDATE tr__Transaction SET tr_CreationDate = " + DayText(-30) + L", tr_LastModified = " + DayText(-30) +
       L" WHERE tr_Id = 2");
  Exec(L"UPDATE tr__Transaction SET tr_CreationDate = " + DayText(-30, 1) + L", tr_LastModified = " + DayText(-30, 1) +
       L" WHERE tr_Id = 3");
  CTransactionList created;
  created.AddCondition(L"tr_CreationDate > '20240516'");
  ASSERT_EQ(created.Execute(), S_OK);
  EXPECT_EQ(Ids(created), std::vector<LONG>{after});
  CTransactionList old;
  old.AddCondition(L"tr_LastModified < '20240516'");
  ASSERT_EQ(old.Execute(), S_OK);
  EXPECT_EQ(Ids(old), std::vector<LONG>{before});
  CTransactionList exact;
  exact.AddCondition(L"tr_LastModified = '20240516 00:00:00'");
  ASSERT_EQ(exact.Execute(), S_OK);
  EXPECT_EQ(Ids(exact), std::vector<LONG>{midnight});
}

}  // namespace
}  // namespace vorlen::test
