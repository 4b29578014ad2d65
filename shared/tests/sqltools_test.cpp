#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "shared/sqltools.h"
#include "shared/tests/fixture.h"
#include "testing/processes/expect.h"

namespace {

using testutil::Exec;
using testutil::HostTest;

class SqlHelpers : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Exec(cn, L"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name nvarchar(50) NULL, owner int NULL)");
    Exec(cn, L"INSERT INTO t (id, name, owner) VALUES (1, 'jeden', 7)");
    Exec(cn, L"INSERT INTO t (id, name, owner) VALUES (2, NULL, NULL)");
    Exec(cn, L"INSERT INTO t (id, name, owner) VALUES (3, 'O''Brien', 7)");
  }
  LONG Count(const CString& where) {
    return hxGetLongFromSql(CString(L"SELECT COUNT(*) FROM t WHERE ") + where);
  }
};

TEST_F(SqlHelpers, SingleValues) {
  _variant_t out;
  EXPECT_EQ(hxGetValueFromSql(L"SELECT name FROM t WHERE id = 99", out), 0);
  EXPECT_EQ(out.vt, VT_NULL);
  EXPECT_EQ(hxGetValueFromSql(L"SELECT name FROM t WHERE id = 2", out), 0);
  EXPECT_EQ(out.vt, VT_NULL);
  EXPECT_EQ(hxGetValueFromSql(cn, L"SELECT name FROM t WHERE id = 1", out), 0);
  EXPECT_STREQ(out.bstrVal, L"jeden");
  // A bad statement returns its HRESULT and leaves NULL.
  EXPECT_LT(hxGetValueFromSql(L"SELECT nothing FROM missing_table", out), 0);
  EXPECT_EQ(out.vt, VT_NULL);

  EXPECT_EQ(hxGetLongFromSql(L"SELECT owner FROM t WHERE id = 1"), 7);
  EXPECT_EQ(hxGetLongFromSql(L"SELECT owner FROM t WHERE id = 99"), kNoLongValue);
  EXPECT_EQ(hxGetLongFromSqlWithId(L"SELECT owner FROM t WHERE id = %ld", 3), 7);
  try {
    hxGetLongFromSql(L"SELECT owner FROM t WHERE id = 2");
    FAIL() << "NULL must raise";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_UNEXPECTED);
  }
  EXPECT_THROW(hxGetLongFromSql(L"SELECT nothing FROM missing_table"), _com_error);
}

TEST_F(SqlHelpers, ExecuteAndParameters) {
  // 1: a text command run with options 1 hands back a recordset object, a closed one for a
  // statement without rows.
  EXPECT_EQ(hxExecuteSql(cn, L"SELECT id FROM t"), 1);
  EXPECT_EQ(hxExecuteSql(cn, L"UPDATE t SET owner = 8 WHERE id = 2"), 1);
  EXPECT_EQ(hxGetLongFromSql(L"SELECT owner FROM t WHERE id = 2"), 8);
  EXPECT_THROW(hxExecuteSql(cn, L"UPDATE missing_table SET x = 1"), _com_error);
  for (auto run : {+[](_ConnectionPtr c) { hxExecuteSql(c, nullptr); }, +[](_ConnectionPtr) { hxExecuteSql(nullptr, L"SELECT 1"); }}) {
    try {
      run(cn);
      ADD_FAILURE() << "a missing text or connection must raise";
    } catch (const _com_error& e) {
      EXPECT_EQ(e.Error(), E_POINTER);
    }
  }

  ExSqlParamEntry params[2];
  params[0] = {adParamInput, adInteger, 4, {}};
  VariantInit(&params[0].value);
  params[0].value.vt = VT_I4;
  params[0].value.lVal = 3;
  params[1] = {adParamInput, adVarWChar, 50, {}};
  VariantInit(&params[1].value);
  params[1].value.vt = VT_BSTR;
  params[1].value.bstrVal = SysAllocString(L"Ann's");
  EXPECT_EQ(exeSqlWithParams(cn, L"UPDATE t SET name = ? WHERE id = ?", nullptr, 0, false, nullptr), E_FAIL);
  ExSqlParamEntry ordered[2] = {params[1], params[0]};
  EXPECT_EQ(exeSqlWithParams(cn, L"UPDATE t SET name = ? WHERE id = ?", ordered, 2, false, nullptr), 0);
  _variant_t name;
  hxGetValueFromSql(L"SELECT name FROM t WHERE id = 3", name);
  EXPECT_STREQ(name.bstrVal, L"Ann's");
  EXPECT_EQ(exeSqlWithParams(cn, L"SELECT * FROM t", params, 1, true, nullptr), E_FAIL);
  IDispatch* rs = nullptr;
  EXPECT_EQ(exeSqlWithParams(cn, L"SELECT name FROM t WHERE id = ?", params, 1, true, &rs), S_OK);
  ASSERT_NE(rs, nullptr);
  _RecordsetPtr result(rs);
  rs->Release();
  EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(result->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue())), L"Ann's");
  VariantClear(&params[0].value);
  VariantClear(&params[1].value);
  EXPECT_LT(exeSqlWithParams(cn, L"UPDATE missing_table SET x = ?", params, 1, false, nullptr), 0);
}

TEST_F(SqlHelpers, RowChecks) {
  EXPECT_TRUE(CDBTools::GetUsed(cn, L"t", L"id", 1));
  EXPECT_FALSE(CDBTools::GetUsed(cn, L"t", L"id", 99));
  EXPECT_TRUE(CDBTools::GetUsed(cn, L"missing_table", L"id", 1));  // a failed check counts as used
  EXPECT_EQ(CDBTools::Records(cn, L"t", nullptr), 3);
  EXPECT_EQ(CDBTools::Records(cn, L"t", L"owner = 7"), 2);
  EXPECT_EQ(CDBTools::Records(cn, L"missing_table", L""), -1);
}

TEST_F(SqlHelpers, IdListsAndQuotedTexts) {
  CString out = L"old";
  hxStringWithIDs(out, std::list<LONG>{});
  EXPECT_TRUE(out.IsEmpty());
  hxStringWithIDs(out, std::vector<LONG>{3, 5});
  EXPECT_STREQ(out, L"3,5");

  // A text with an apostrophe stays one value of the list and finds its row.
  hxStringWithIDs(out, std::list<CString>{CString(L"jeden"), CString(L"O'Brien")});
  EXPECT_STREQ(out, L"'jeden','O''Brien'");
  EXPECT_EQ(Count(CString(L"name IN (") + out + L")"), 2);
  hxStringWithIDs(out, std::list<CString>{CString(L"x') OR ('1'='1")});
  EXPECT_EQ(Count(CString(L"name IN (") + out + L")"), 0);

  _RecordsetPtr rs;
  ASSERT_EQ(OpenRS(rs, cn, L"SELECT owner FROM t ORDER BY id"), S_OK);
  hxStringWithIDs(out, rs, _variant_t(L"owner"));
  EXPECT_STREQ(out, L"7,7");  // the NULL row is skipped
  EXPECT_TRUE(rs->GetadoEOF());
  ASSERT_EQ(OpenRS(rs, cn, L"SELECT owner FROM t WHERE id = 99"), S_OK);
  hxStringWithIDs(out, rs, _variant_t(L"owner"));
  EXPECT_TRUE(out.IsEmpty());
  ASSERT_EQ(OpenRS(rs, cn, L"SELECT owner FROM t"), S_OK);
  EXPECT_THROW(hxStringWithIDs(out, rs, _variant_t(L"missing")), _com_error);
}

TEST_F(SqlHelpers, Conditions) {
  CString where;
  hxAddCond(where, CString());
  EXPECT_TRUE(where.IsEmpty());
  hxAddCond(where, CString(L"a = 1"));
  hxAddCond(where, CString(L"b = 2"));
  EXPECT_STREQ(where, L"(a = 1) AND (b = 2)");

  // Account filter: none selected adds nothing; exact and with the rows without an account.
  where.Empty();
  EXPECT_EQ(hxAddRegSql(where, L"owner", true), 0);
  EXPECT_TRUE(where.IsEmpty());
  host->instance->account = 7;
  EXPECT_EQ(hxAddRegSql(where, L"owner", true), 0);
  EXPECT_STREQ(where, L"(owner = 7)");
  where.Empty();
  EXPECT_EQ(hxAddRegSql(where, L"owner", false), 0);
  EXPECT_STREQ(where, L"(owner = 7 OR owner IS NULL)");
  EXPECT_EQ(Count(where), 3);

  // Owner filter: current user, no owner, anything else.
  where.Empty();
  host->instance->ownerFilter = 1;
  host->instance->userId = 7;
  EXPECT_EQ(hxAddOwnerSql(where, L"owner"), 0);
  EXPECT_STREQ(where, L"(owner = 7)");
  where.Empty();
  host->instance->ownerFilter = 2;
  EXPECT_EQ(hxAddOwnerSql(where, L"owner"), 0);
  EXPECT_STREQ(where, L"(owner IS NULL)");
  where.Empty();
  host->instance->ownerFilter = 3;
  EXPECT_EQ(hxAddOwnerSql(where, L"owner"), 0);
  EXPECT_TRUE(where.IsEmpty());

  // Sites.
  host->instance->site = 0;
  EXPECT_EQ(hxAddSiteSql(where, L"acc", L"site"), 0);
  EXPECT_STREQ(where, L"(acc = 7)");
  where.Empty();
  host->instance->site = 4;
  EXPECT_EQ(hxAddSiteSql(where, L"acc", L"site"), 0);
  EXPECT_STREQ(where, L"(acc = 7 AND site = 4)");
  where.Empty();
  host->instance->accountSite = 9;
  EXPECT_EQ(hxAddSiteSql(where, L"accsite"), 0);
  EXPECT_STREQ(where, L"(accsite = 9)");
}

TEST_F(SqlHelpers, ConditionFailuresAreReturned) {
  CString where;
  host->recorder->FailOn(L"IHxStartCheck::GetSelectedAccount", E_ACCESSDENIED);
  EXPECT_EQ(hxAddRegSql(where, L"owner", true), E_ACCESSDENIED);
  EXPECT_EQ(hxAddSiteSql(where, L"a", L"s"), E_ACCESSDENIED);
  host->instance->ownerFilter = 1;
  host->recorder->FailOn(L"IHxUser::GetUserId", E_UNEXPECTED);
  EXPECT_EQ(hxAddOwnerSql(where, L"owner"), E_UNEXPECTED);
  host->instance->hidden.insert(L"IHxStartCheck");
  EXPECT_LT(hxAddSiteSql(where, L"accsite"), 0);
  EXPECT_TRUE(where.IsEmpty());
}

TEST_F(SqlHelpers, RecordsetTools) {
  _RecordsetPtr rs;
  ASSERT_EQ(OpenRS(rs, cn, L"SELECT id, name FROM t ORDER BY id"), S_OK);
  EXPECT_TRUE(hxSeek(rs, L"id", 3));
  EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(_variant_t(L"name"))->GetValue())),
               L"O'Brien");
  EXPECT_FALSE(hxSeek(rs, L"id", 42));

  EXPECT_TRUE(CAdoRsTools::ValdateRsOpen(rs));
  EXPECT_FALSE(CAdoRsTools::ValdateRsOpen(nullptr));
  EXPECT_TRUE(CAdoRsTools::ValdateRsFieldId(_variant_t(LONG{2})));
  EXPECT_TRUE(CAdoRsTools::ValdateRsFieldId(_variant_t(L"x")));
  EXPECT_FALSE(CAdoRsTools::ValdateRsFieldId(_variant_t(2.0)));

  FieldPtr name = rs->GetFields()->GetItem(_variant_t(L"name"));
  EXPECT_STREQ(CAdoRsTools::CreateFindMask(rs->GetFields()->GetItem(_variant_t(L"id")), _variant_t(LONG{5})), L"id = 5");
  EXPECT_STREQ(CAdoRsTools::CreateFindMask(name, _variant_t(L"O'Brien")), L"name = 'O''Brien'");
  EXPECT_TRUE(CAdoRsTools::CreateFindMask(name, _variant_t(1.5)).IsEmpty());
  rs->MoveFirst();
  rs->Find(_bstr_t(static_cast<const wchar_t*>(CAdoRsTools::CreateFindMask(name, _variant_t(L"O'Brien")))), 0,
           adSearchForward, vtMissing);
  ASSERT_FALSE(rs->GetadoEOF());
  EXPECT_EQ(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(L"id"))->GetValue()), 3);
}

TEST_F(SqlHelpers, CopiesAColumnBetweenRecordsets) {
  Exec(cn, L"CREATE TABLE target (k int NOT NULL PRIMARY KEY, v nvarchar(50) NULL)");
  Exec(cn, L"INSERT INTO target (k, v) VALUES (1, 'stare')");
  _RecordsetPtr source, target;
  ASSERT_EQ(OpenRS(source, cn, L"SELECT id, name FROM t WHERE id <> 2 ORDER BY id"), S_OK);
  ASSERT_EQ(OpenRS(target, cn, L"SELECT k, v FROM target", adOpenStatic, adLockBatchOptimistic), S_OK);
  target->PutRefActiveConnection(nullptr);

  EXPECT_EQ(CAdoRsTools::UpdateTableColumnFromTableColumn(source, _variant_t(L"id"), _variant_t(L"name"), target,
                                                          _variant_t(L"k"), _variant_t(L"v"), true),
            0);
  EXPECT_EQ(target->GetRecordCount(), 1);
  ASSERT_TRUE(hxSeek(target, L"k", 1));
  EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(target->GetFields()->GetItem(_variant_t(L"v"))->GetValue())), L"jeden");

  source->MoveFirst();
  EXPECT_EQ(CAdoRsTools::UpdateTableColumnFromTableColumn(source, _variant_t(L"id"), _variant_t(L"name"), target,
                                                          _variant_t(L"k"), _variant_t(L"v"), false),
            0);
  EXPECT_EQ(target->GetRecordCount(), 2);
  ASSERT_TRUE(hxSeek(target, L"k", 3));
  EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(target->GetFields()->GetItem(_variant_t(L"v"))->GetValue())), L"O'Brien");

  EXPECT_EQ(CAdoRsTools::UpdateTableColumnFromTableColumn(source, _variant_t(2.0), _variant_t(L"name"), target,
                                                          _variant_t(L"k"), _variant_t(L"v"), false),
            E_FAIL);
}

// A framework container whose current row answers one named value.
class OneValueCnt : public CBaseCnt {
 public:
  OneValueCnt(const wchar_t* name, _variant_t value, HRESULT hr = S_OK) : m_name(name), m_value(std::move(value)), m_hr(hr) {}
  HRESULT GetCurrentValue(const wchar_t* name, _variant_t& value) const override {
    if (FAILED(m_hr)) return m_hr;
    if (m_name != name) return E_INVALIDARG;
    value = m_value;
    return S_OK;
  }

 private:
  std::wstring m_name;
  _variant_t m_value;
  HRESULT m_hr;
};

TEST(LongFromContainer, OnlyALongIsAValue) {
  OneValueCnt seven(L"id", _variant_t(LONG{7}));
  EXPECT_EQ(hxGetLongFromCnt(seven, L"id"), 7);
  EXPECT_EQ(hxGetLongFromCnt(seven, L"other"), kNoLongValue);
  _variant_t shortValue;
  shortValue.vt = VT_I2;
  shortValue.iVal = 7;
  OneValueCnt small(L"id", shortValue);
  EXPECT_EQ(hxGetLongFromCnt(small, L"id"), kNoLongValue);
  OneValueCnt text(L"id", _variant_t(L"7"));
  EXPECT_EQ(hxGetLongFromCnt(text, L"id"), kNoLongValue);
  OneValueCnt failing(L"id", _variant_t(LONG{7}), E_FAIL);
  EXPECT_EQ(hxGetLongFromCnt(failing, L"id"), kNoLongValue);
}

class AutoNumbers : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Exec(cn, L"CREATE TABLE kd_counter (cn_Object int NOT NULL, cn_Key int NOT NULL, cn_MaxNumber int NOT NULL, "
             L"PRIMARY KEY (cn_Object, cn_Key))");
  }
};

TEST_F(AutoNumbers, NewKeyStartsAtOneAndCounts) {
  CHxAutoNumberList list(5);
  EXPECT_EQ(list.GetNext(10), 1);
  EXPECT_EQ(list.GetNext(10), 2);
  EXPECT_EQ(list.GetNext(11), 1);
  EXPECT_EQ(CHxAutoNumberList(6).GetNext(10), 1);
  EXPECT_EQ(hxGetLongFromSql(L"SELECT cn_MaxNumber FROM kd_counter WHERE cn_Object = 5 AND cn_Key = 10"), 2);
}

TEST_F(AutoNumbers, WithoutTheTableRaises) {
  Exec(cn, L"DROP TABLE kd_counter");
  EXPECT_THROW(CHxAutoNumberList(5).GetNext(1), _com_error);
  CHxInstance::SetInstance(nullptr);
  EXPECT_THROW(CHxAutoNumberList(5).GetNext(1), _com_error);
}

// Four workstations drawing from the same key at once get every number once, without a gap.
TEST_F(AutoNumbers, FourProcessesDrawingAtOnceGetEveryNumberOnce) {
  constexpr int kDraws = 40, kProcesses = 4;
  int pipes[kProcesses][2];
  pid_t children[kProcesses];
  for (int c = 0; c < kProcesses; ++c) {
    ASSERT_EQ(pipe(pipes[c]), 0);
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      close(pipes[c][0]);
      int status = 0;
      try {
        doubles::HostDoubles own;
        own.instance->connection = db.Open();
        CHxInstance::SetInstance(own.instancePtr);
        CHxAutoNumberList list(1);
        for (int i = 0; i < kDraws; ++i) {
          LONG n = list.GetNext(1);
          if (write(pipes[c][1], &n, sizeof n) != sizeof n) status = 3;
        }
        CHxInstance::SetInstance(nullptr);
      } catch (...) {
        status = 2;
      }
      close(pipes[c][1]);
      _exit(status);
    }
    close(pipes[c][1]);
  }
  std::multiset<LONG> drawn;
  for (int c = 0; c < kProcesses; ++c) {
    LONG n;
    while (read(pipes[c][0], &n, sizeof n) == sizeof n) drawn.insert(n);
    close(pipes[c][0]);
    int status = -1;
    waitpid(children[c], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ASSERT_EQ(drawn.size(), static_cast<size_t>(kProcesses * kDraws));
  std::set<LONG> unique(drawn.begin(), drawn.end());
  EXPECT_EQ(unique.size(), drawn.size());
  EXPECT_EQ(*unique.rbegin(), kProcesses * kDraws);
}

// Numbers drawn through the gateway on `connection`, as a workstation of its own draws them.
testproc::Draw CounterOn(const _ConnectionPtr& connection) {
  auto own = std::make_shared<doubles::HostDoubles>();
  own->instance->connection = connection;
  return [own] {
    CHxInstance::SetInstance(own->instancePtr);
    struct Reset {
      ~Reset() { CHxInstance::SetInstance(nullptr); }
    } reset;
    return CHxAutoNumberList(1).GetNext(1);
  };
}

// Another workstation holding the write lock past the busy timeout: each draw is refused after
// one wait with the database's error and draws nothing; when the lock goes, the waiting draws
// get every number once, without a gap.
TEST_F(AutoNumbers, AHeldLockRefusesADrawAfterOneWaitAndNumbersStayUnique) {
  constexpr int kRounds = 20, kDrawers = 3, kDraws = 4, kBusyMs = 150;
  const auto start = std::chrono::steady_clock::now();
  testproc::Draws draws = testproc::DrawUnderHeldLock(db.Path(), kRounds, kDrawers, kDraws, kBusyMs, CounterOn);
  testproc::ExpectOneWaitAndEveryNumberOnce(draws, kRounds, kDrawers, kDraws, kBusyMs);
  // A bound against a hang, not a speed check: a loaded machine may take minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(300));
}

// Inside the caller's transaction the number is drawn within it: rolled back with it.
TEST_F(AutoNumbers, InsideTheCallersTransactionTheDrawIsPartOfIt) {
  CHxAutoNumberList list(2);
  EXPECT_EQ(list.GetNext(1), 1);
  cn->BeginTrans();
  EXPECT_EQ(list.GetNext(1), 2);
  EXPECT_EQ(list.GetNext(7), 1);
  cn->RollbackTrans();
  EXPECT_EQ(list.GetNext(1), 2);
  EXPECT_EQ(list.GetNext(7), 1);
}

}  // namespace
