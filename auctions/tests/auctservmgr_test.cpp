// The auction services manager: its queues of ids to send, its creation by ProgID, and the run
// over the host's product database against the reference site connector.
#include "accounts_fixture.h"
#include "auctions/sync/auctservmgr.h"

namespace accounts_test {
namespace {

using lotrix::IdQueue;

_variant_t Long(LONG value) {
  _variant_t v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

// A one-dimensional VT_I4 array of the values, starting at index `lower`.
_variant_t Array(std::initializer_list<LONG> values, LONG lower = 0) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(values.size()), lower};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 1, &bound);
  LONG index = lower;
  for (LONG value : values) {
    SafeArrayPutElement(array, &index, &value);
    ++index;
  }
  _variant_t v;
  v.vt = VT_ARRAY | VT_I4;
  v.parray = array;
  return v;
}

TEST(IdQueueTest, SingleIdsAreQueuedAsTheyAre) {
  IdQueue queue;
  EXPECT_EQ(queue.Enqueue(Long(0)), 1);
  EXPECT_EQ(queue.Enqueue(Long(-5)), 1);
  EXPECT_EQ(queue.Enqueue(Long(12)), 1);
  EXPECT_EQ(queue.Ids(), (std::vector<LONG>{0, -5, 12}));
  EXPECT_EQ(queue.Count(), 3);
}

TEST(IdQueueTest, ArraysQueueTheirPositiveIdsInOrder) {
  IdQueue queue;
  EXPECT_EQ(queue.Enqueue(Array({7, 0, -3, 4, 9})), 3);
  EXPECT_EQ(queue.Enqueue(Array({11, 2}, 5)), 2);
  EXPECT_EQ(queue.Ids(), (std::vector<LONG>{7, 4, 9, 11, 2}));
  EXPECT_EQ(queue.Enqueue(Array({})), 0);
  EXPECT_EQ(queue.Enqueue(Array({0, -1})), 0);
  EXPECT_EQ(queue.Count(), 5);
}

TEST(IdQueueTest, OtherTypesQueueNothing) {
  IdQueue queue;
  EXPECT_EQ(queue.Enqueue(_variant_t(L"12")), 0);
  _variant_t wide;
  wide.vt = VT_I2;
  wide.iVal = 3;
  EXPECT_EQ(queue.Enqueue(wide), 0);
  EXPECT_EQ(queue.Enqueue(_variant_t()), 0);
  // A two-dimensional array is no list of ids.
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  _variant_t square;
  square.vt = VT_ARRAY | VT_I4;
  square.parray = SafeArrayCreate(VT_I4, 2, bounds);
  EXPECT_EQ(queue.Enqueue(square), 0);
  // Nor is an array of another element type.
  SAFEARRAYBOUND bound{2, 0};
  _variant_t texts;
  texts.vt = VT_ARRAY | VT_BSTR;
  texts.parray = SafeArrayCreate(VT_BSTR, 1, &bound);
  EXPECT_EQ(queue.Enqueue(texts), 0);
  EXPECT_TRUE(queue.IsEmpty());
}

TEST(IdQueueTest, IdsAreTakenOutFirstFirst) {
  IdQueue queue;
  queue.Enqueue(Array({5, 6, 7}));
  LONG id = 0;
  ASSERT_TRUE(queue.TakeFirst(id));
  EXPECT_EQ(id, 5);
  ASSERT_TRUE(queue.TakeFirst(id));
  EXPECT_EQ(id, 6);
  EXPECT_EQ(queue.Clear(), 1);
  EXPECT_FALSE(queue.TakeFirst(id));
  EXPECT_EQ(id, 6);
  EXPECT_EQ(queue.Clear(), 0);
}

TEST(AccountRightTest, TheAccountIdFillsTheHighWord) {
  EXPECT_EQ(lotrix::AccountRight(3, 1), 0x30001);
  EXPECT_EQ(lotrix::AccountRight(0x7FFF, 3), 0x7FFF0003);
  // 32 bits: the high half of the account id is lost.
  EXPECT_EQ(lotrix::AccountRight(0x10000, 1), 1);
  EXPECT_EQ(lotrix::AccountRight(1, 0x10002), 0x10002);
}

class AuctServMgr : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    manager = CreateNamed(L"Vantor.AuctServMgr");
    ASSERT_TRUE(manager);
  }
  void TearDown() override {
    manager = nullptr;
    AccountsTest::TearDown();
  }
  // The lines of the jobs of a subtype, oldest first, as "status text".
  std::vector<std::wstring> Lines(CHxLog::JobSubtype subtype) {
    std::vector<std::wstring> out;
    _RecordsetPtr rs = cn->Execute(
        _bstr_t((L"SELECT jll_Status, jll_Text FROM kd_JobLogLine INNER JOIN kd_JobLog ON jl_Id = jll_JobId WHERE "
                 L"jl_Subtype = " + std::to_wstring(subtype) + L" ORDER BY jll_Id")
                    .c_str()),
        nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      const _variant_t status = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
      const _variant_t text = rs->GetFields()->GetItem(_variant_t(LONG{1}))->GetValue();
      out.push_back(std::to_wstring(static_cast<LONG>(status)) + L" " + (text.vt == VT_BSTR ? text.bstrVal : L""));
    }
    return out;
  }
  LONG Jobs(CHxLog::JobSubtype subtype) {
    return Long(L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_Subtype = " + std::to_wstring(subtype));
  }

  IAuctServMgrPtr manager;
};

TEST_F(AuctServMgr, IsServedByItsProgIdWithTheCallbackInterface) {
  LotrixSyncPtr sync(manager);
  ASSERT_TRUE(sync);
  ISupportErrorInfoPtr errors(manager);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(IAuctServMgr)), S_OK);
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(L"Vantor.AuctServMgr.1", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_CoAuctServMgr);
}

TEST_F(AuctServMgr, SendingWithNoIdQueuedStartsNoLog) {
  EXPECT_EQ(manager->SendAuctions(_variant_t(L"5")), S_OK);
  EXPECT_EQ(manager->SendFeedbacks(Array({0, -2})), S_OK);
  EXPECT_EQ(manager->SendAuctionsNotes(_variant_t()), S_OK);
  EXPECT_EQ(Jobs(CHxLog::jsSendAuctions), 0);
  EXPECT_EQ(Jobs(CHxLog::jsSendComments), 0);
}

}  // namespace
}  // namespace accounts_test
