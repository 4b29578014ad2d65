#pragma once
// The receive stores' tests: the host's product database with the reference provider (its site
// connector and auction object registered), received rows in containers of the connector's field
// lists, a store context of job logs and counts, and the job-log lines read back.
#include <string>
#include <utility>
#include <vector>

#include "auctions/sync/receivestores.h"
#include "auctions/tests/accounts_fixture.h"

namespace receive_test {

using accounts_test::AccountsTest;

// A field of a received row's container: name, ADO type, size.
struct Column {
  const wchar_t* name;
  DataTypeEnum type;
  LONG size;
};

inline const std::vector<Column>& CustomerColumns() {
  static const std::vector<Column> columns = {
      {L"user_id", adInteger, 4},       {L"user_name", adVarWChar, 255}, {L"user_rank", adInteger, 4},
      {L"first_name", adVarWChar, 255}, {L"last_name", adVarWChar, 255}, {L"company", adVarWChar, 255},
      {L"email", adVarWChar, 255},      {L"street", adVarWChar, 255},    {L"postcode", adVarWChar, 255},
      {L"city", adVarWChar, 255},       {L"country_name", adVarWChar, 50}, {L"country_id", adInteger, 4},
      {L"phone", adVarWChar, 255},      {L"phone2", adVarWChar, 255},    {L"service_id", adInteger, 4},
      {L"customer_id", adInteger, 4},   {L"activated", adBoolean, 1},    {L"closed", adBoolean, 1},
      {L"blocked", adBoolean, 1},       {L"terminated", adBoolean, 1}};
  return columns;
}
inline const std::vector<Column>& TransactionColumns() {
  static const std::vector<Column> columns = {
      {L"id", adInteger, 4},        {L"item_number", adVarWChar, 255}, {L"item_name", adVarWChar, 255},
      {L"user_id", adInteger, 4},   {L"user_name", adVarWChar, 255},   {L"country", adInteger, 4},
      {L"quantity", adInteger, 4},  {L"price", adCurrency, 8},         {L"currency", adVarChar, 4},
      {L"date", adDate, 8},         {L"service_id", adInteger, 4}};
  return columns;
}
inline const std::vector<Column>& CommentColumns() {
  static const std::vector<Column> columns = {
      {L"auction_number", adVarChar, 50}, {L"from_user_id", adBigInt, 8}, {L"to_user_id", adBigInt, 8},
      {L"id", adInteger, 4},              {L"comment", adVarWChar, 255},  {L"score", adInteger, 4},
      {L"date", adDate, 8},               {L"answer_date", adDate, 8},    {L"answer_comment", adVarWChar, 255},
      {L"type", adInteger, 4},            {L"user_name", adVarWChar, 50}};
  return columns;
}

inline const std::vector<Column>& AuctionColumns() {
  static const std::vector<Column> columns = {
      {L"number", adVarChar, 255},      {L"title", adVarWChar, 255},        {L"category", adInteger, 4},
      {L"country", adInteger, 4},       {L"region", adInteger, 4},          {L"location", adVarWChar, 100},
      {L"description", adVarWChar, 5000}, {L"quantity", adInteger, 4},      {L"start_price", adCurrency, 8},
      {L"price", adCurrency, 8},        {L"min_price", adCurrency, 8},      {L"bin_price", adCurrency, 8},
      {L"has_bin_price", adBoolean, 1}, {L"duration", adInteger, 4},        {L"start_date", adDate, 8},
      {L"end_date", adDate, 8},         {L"ended", adBoolean, 1},           {L"sold", adInteger, 4},
      {L"sold_sum", adInteger, 4},      {L"bid_count", adInteger, 4},       {L"hit_count", adInteger, 4},
      {L"watcher_count", adInteger, 4}, {L"fee", adCurrency, 8},            {L"commission", adCurrency, 8},
      {L"shipping_pay", adInteger, 4},  {L"blocked", adBoolean, 1},         {L"private", adBoolean, 1},
      {L"future", adBoolean, 1},        {L"enh_opts", adInteger, 4},        {L"pay_opts", adInteger, 4},
      {L"ship_opts", adInteger, 4},     {L"additional_info", adVarWChar, 255}, {L"shipping_cost", adCurrency, 8},
      {L"transfer_cost", adCurrency, 8}, {L"shop_item", adBoolean, 1},      {L"service_id", adInteger, 4},
      {L"auction_id", adInteger, 4},    {L"counted", adBoolean, 1},         {L"has_full_data", adBoolean, 1},
      {L"has_full_header", adBoolean, 1}, {L"errors", adVarWChar, 1000}};
  return columns;
}
inline const std::vector<Column>& ImageColumns() {
  static const std::vector<Column> columns = {
      {L"auction_number", adVarChar, 50}, {L"type", adInteger, 4}, {L"url", adVarChar, 2000},
      {L"image", adLongVarBinary, 16}};
  return columns;
}
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

// An empty, open container with the columns.
inline _RecordsetPtr Container(const std::vector<Column>& columns) {
  _RecordsetPtr rs;
  EXPECT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
  for (const Column& c : columns) rs->GetFields()->Append(_bstr_t(c.name), c.type, c.size, adFldUpdatable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  return rs;
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
