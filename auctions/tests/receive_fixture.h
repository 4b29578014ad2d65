#pragma once
// The receive stores' tests: the host's product database with the reference provider (its site
// connector and auction object registered), received rows in the connector's exchange
// containers, a store context of job logs and counts, and the job-log lines read back.
#include <string>
#include <utility>
#include <vector>

#include "auctions/sync/containers.h"
#include "auctions/sync/receivestores.h"
#include "auctions/tests/accounts_fixture.h"

namespace receive_test {

using accounts_test::AccountsTest;

inline _variant_t Bytes(const std::string& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  for (size_t i = 0; i < bytes.size(); ++i) static_cast<char*>(data)[i] = bytes[i];
  SafeArrayUnaccessData(array);
  _variant_t v;
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = array;
  return v;
}

// A new row of the container with the values, positioned on it (other fields NULL).
inline _RecordsetPtr& AddRow(_RecordsetPtr& rs, const std::vector<std::pair<const wchar_t*, _variant_t>>& values) {
  rs->AddNew();
  for (const auto& [name, value] : values) rs->GetFields()->GetItem(_variant_t(name))->PutValue(value);
  rs->Update();
  return rs;
}
inline _variant_t Money(double value) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal.int64 = static_cast<LONGLONG>(value * 10000.0 + (value < 0 ? -0.5 : 0.5));
  return v;
}
inline _variant_t Date(double value) {
  _variant_t v;
  v.vt = VT_DATE;
  v.date = value;
  return v;
}
inline _variant_t Big(LONGLONG value) {
  _variant_t v;
  v.vt = VT_I8;
  v.llVal = value;
  return v;
}

// The manager's side as the stores see it: started job logs, counts, an error report writing the
// step's text and the error's description, and a cancel flag.
class TestContext : public lotrix::CReceiveContext {
 public:
  TestContext()
      : auctions(CHxLog::jsReceiveAuctions),
        customers(CHxLog::jsReceiveCustomers),
        transactions(CHxLog::jsReceiveTransactions),
        comments(CHxLog::jsReceiveComments) {}
  // Starts the logs (once the host is there) and ends them.
  void Start() {
    for (CHxLog* log : {&auctions, &customers, &transactions, &comments}) log->StartJob();
  }
  void Finish() {
    for (CHxLog* log : {&auctions, &customers, &transactions, &comments}) log->EndJobAutoResult(0);
  }
  bool IsTerminated() override { return terminated; }
  CHxLog& ReceiveLog(CHxLog::JobSubtype subtype) override {
    switch (subtype) {
      case CHxLog::jsReceiveAuctions: return auctions;
      case CHxLog::jsReceiveCustomers: return customers;
      case CHxLog::jsReceiveTransactions: return transactions;
      default: return comments;
    }
  }
  void CountReceived(CHxLog::JobSubtype subtype) override { ++counts[subtype]; }
  bool FullAuctionData() override { return fullData; }
  void ReportError(const _com_error& error, const CString& prefix, CHxLog& log) override {
    const _bstr_t held = error.Description();
    const wchar_t* description = static_cast<const wchar_t*>(held);
    CString text;
    text.Format(L"%ls\r\n%ls", prefix.GetString(), description && *description ? description : L"(bez opisu)");
    log.Error(text);
    reported.push_back(error.Error());
  }

  CHxLog auctions, customers, transactions, comments;
  bool terminated = false;
  bool fullData = true;
  LONG counts[8] = {};
  std::vector<HRESULT> reported;
};

class ReceiveTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    Run(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = 'Reference.Auction' WHERE ss_Id = 1");
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (5, 1, 1, N'Wzorcowo')");
    Run(L"INSERT INTO st_Country (sc_Id, sc_Name, sc_Ident, sc_SvcProvId, sc_SiteId) VALUES (1, N'Polska', 7, 1, 1)");
    context.Start();
    accountSite = cn->Execute(_bstr_t(L"SELECT 3 AS reg_id, 9 AS regsite_id, 5 AS site_id, 1 AS service_id, "
                                      L"N'sprzedawca' AS reg_name, N'Wzorcowo' AS site_name"),
                              nullptr, adCmdText);
  }
  void TearDown() override {
    context.Finish();
    accountSite = nullptr;
    AccountsTest::TearDown();
  }
  // The account of `accountSite` (3), which the stored auctions and transactions name.
  void AddSellerAccount() {
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) VALUES (3, 1, N'sprzedawca')");
  }
  // Runs a store in Lotrix's module state, as the manager's callbacks do.
  template <class F>
  void InLotrix(F work) {
    AFX_MANAGE_STATE(LotrixModule().State());
    work();
  }
  // The lines of the receive jobs of a subtype with the status, oldest first.
  std::vector<std::wstring> Lines(CHxLog::JobSubtype subtype, LONG status) {
    std::vector<std::wstring> out;
    _RecordsetPtr rs = cn->Execute(
        _bstr_t((L"SELECT jll_Text FROM kd_JobLogLine INNER JOIN kd_JobLog ON jl_Id = jll_JobId WHERE jl_Subtype = " +
                 std::to_wstring(subtype) + L" AND jll_Status = " + std::to_wstring(status) + L" ORDER BY jll_Id")
                    .c_str()),
        nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      const _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
      out.push_back(v.vt == VT_BSTR ? v.bstrVal : L"");
    }
    return out;
  }

  _RecordsetPtr accountSite;
  TestContext context;
};

}  // namespace receive_test
