// What reads the history for a user: the account list (the account manager's list), a data
// definition of the latest transactions with their positions run by the XML extractor, and the
// printed page of the list of the latest transactions; beside programs that run the same queries
// through SQLite and write the same output directly.
#include <libxml/xmlwriter.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "bench/history/history.h"
#include "bench/support/sqlite_statement.h"
#include "platform/strings/convert.h"
#include "shared/controls/gridprint.h"
#include "shared/hxextractor.h"

namespace history {
namespace {

using benchsupport::Statement;

std::wstring Wide(const std::string& s) { return platform::Utf8ToWide(s); }

// --- the account list: twenty accounts beside the seller's, listed once per twenty records

constexpr long kAccounts = 21;

void AddAccounts(const Context& c) {
  for (long id = 2; id <= kAccounts; ++id) {
    const std::string n = std::to_string(id);
    sqlite3_exec(c.db,
                 ("INSERT OR IGNORE INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, "
                  "reg_Active) VALUES (" + n + ", 1, " + n + "000, 'konto_" + n + "', 1)").c_str(),
                 nullptr, nullptr, nullptr);
  }
}

Result AccountList(Context& c) {
  AddAccounts(c);
  Result r;
  const long listings = (c.records + kAccounts - 1) / kAccounts;
  r.records = listings * kAccounts;
  IRegManagerPtr manager;
  if (FAILED(manager.CreateInstance(CLSID_CoRegManager))) {
    r.failure = "no account manager";
    return r;
  }
  // A listing takes microseconds: each side lists once before it is timed, so that neither pays
  // for caches that the job before it left cold.
  long rows = 0;
  double start = 0;
  for (long i = -1; i < listings; ++i) {
    if (i == 0) {  // the warm-up listing is neither timed nor counted
      start = Now();
      rows = 0;
    }
    _Recordset* raw = nullptr;
    if (manager->GetRegList(&raw) != S_OK || !raw) {
      r.failure = "no list";
      return r;
    }
    _RecordsetPtr list(raw, false);
    rows += list->GetRecordCount();
  }
  r.system = Since(start);
  if (rows != r.records) r.failure = Named("accounts listed: ", rows);
  Statement view(c.db, "SELECT reg_Id, reg_Username, ss_Name, reg_Active, reg_HasShop, reg_SvcUserId, reg_SvcProvId "
                       "FROM reg__Registration LEFT JOIN sl_ServiceProvider ON ss_Id = reg_SvcProvId");
  // Like the system's list, every listing is a new container of the rows' seven columns, the
  // texts as the program's wide strings (as the window layer and the grid take them).
  struct Account {
    long long id = 0, serviceUser = 0, provider = 0;
    std::wstring username, service;
    bool active = false, shop = false;
  };
  long long checksum = 0;
  for (long i = -1; i < listings; ++i) {
    if (i == 0) start = Now();
    std::vector<Account> accounts;
    while (view.Run())
      accounts.push_back({view.Long(0), view.Long(5), view.Long(6), Wide(view.TextAt(1)), Wide(view.TextAt(2)),
                          view.Long(3) != 0, view.Long(4) != 0});
    view.Reset();
    for (const Account& a : accounts) checksum += a.id + static_cast<long long>(a.username.size() + a.service.size());
  }
  r.baseline = Since(start);
  return checksum > 0 ? r : Result{r.records, r.system, r.baseline, "no accounts"};
}

// --- the latest transactions, with their buyers and positions

std::string Latest(long records) {
  return Named("SELECT TOP ", records) +
         " tr_Id, tr_Name, tr_Date, tr_Payment, cs_Nick FROM tr__Transaction INNER JOIN cs__Customer ON "
         "cs_Id = tr_CustomerId ORDER BY tr_Id DESC";
}
std::string LatestDirect(long records) {
  return "SELECT tr_Id, tr_Name, tr_Date, tr_Payment, cs_Nick FROM tr__Transaction INNER JOIN cs__Customer ON "
         "cs_Id = tr_CustomerId ORDER BY tr_Id DESC" + Named(" LIMIT ", records);
}
Result Extractor(Context& c) {
  Result r;
  r.records = c.records;
  const std::wstring definition =
      std::wstring(L"<def:schema xmlns:def=\"") + kHxDefinitionNamespace +
      L"\"><def:element name=\"transakcje\"><def:data><def:sql>" + Wide(Latest(c.records)) +
      L"</def:sql><def:element name=\"transakcja\"><def:attribute name=\"id\" src=\"tr_Id\"/>"
      L"<def:element name=\"nazwa\" src=\"tr_Name\"/><def:element name=\"data\" src=\"tr_Date\"/>"
      L"<def:element name=\"kwota\" src=\"tr_Payment\"/><def:element name=\"kupujacy\" src=\"cs_Nick\"/>"
      L"<def:data><def:sql>SELECT tp_Name, tp_Quantity, tp_Price FROM tr_Position WHERE tp_TransId = %1 ORDER BY "
      L"tp_Order</def:sql><def:param idx=\"1\">tr_Id</def:param><def:element name=\"pozycja\">"
      L"<def:element name=\"nazwa\" src=\"tp_Name\"/><def:element name=\"ilosc\" src=\"tp_Quantity\"/>"
      L"<def:element name=\"cena\" src=\"tp_Price\"/></def:element></def:data></def:element></def:data>"
      L"</def:element></def:schema>";
  double start = Now();
  size_t written = 0;
  {
    CHxExtractor extractor;
    extractor.putref_ActiveConnection(c.connection);
    extractor.put_XMLDefinition(_variant_t(definition.c_str()));
    _variant_t xml;
    if (FAILED(extractor.GetData(CHxExtractor::hxWsResultText, &xml)) || xml.vt != VT_BSTR) r.failure = "no output";
    else written = SysStringLen(xml.bstrVal);
  }
  r.system = Since(start);
  if (written < static_cast<size_t>(c.records) * 100) r.failure = Named("output of ", static_cast<long>(written));
  Statement outer(c.db, LatestDirect(c.records).c_str());
  Statement inner(c.db, "SELECT tp_Name, tp_Quantity, tp_Price FROM tr_Position WHERE tp_TransId = ? ORDER BY tp_Order");
  start = Now();
  xmlBufferPtr buffer = xmlBufferCreate();
  xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
  xmlTextWriterSetIndent(writer, 1);
  xmlTextWriterStartDocument(writer, nullptr, "UTF-8", "no");
  xmlTextWriterStartElement(writer, BAD_CAST "transakcje");
  auto element = [&](const char* name, sqlite3_stmt* s, int column) {
    const unsigned char* value = sqlite3_column_text(s, column);
    xmlTextWriterStartElement(writer, BAD_CAST name);
    if (value && *value) xmlTextWriterWriteString(writer, value);
    xmlTextWriterEndElement(writer);
  };
  while (outer.Run()) {
    xmlTextWriterStartElement(writer, BAD_CAST "transakcja");
    xmlTextWriterWriteAttribute(writer, BAD_CAST "id", sqlite3_column_text(outer.s, 0));
    element("nazwa", outer.s, 1);
    element("data", outer.s, 2);
    element("kwota", outer.s, 3);
    element("kupujacy", outer.s, 4);
    inner.Reset().Int(1, outer.Long(0));
    while (inner.Run()) {
      xmlTextWriterStartElement(writer, BAD_CAST "pozycja");
      element("nazwa", inner.s, 0);
      element("ilosc", inner.s, 1);
      element("cena", inner.s, 2);
      xmlTextWriterEndElement(writer);
    }
    xmlTextWriterEndElement(writer);
  }
  outer.Reset();
  xmlTextWriterEndDocument(writer);
  xmlFreeTextWriter(writer);
  xmlBufferFree(buffer);
  r.baseline = Since(start);
  return r;
}

// --- the printed page of the list of the latest transactions

const FlgColumnInfo kColumns[] = {
    {L"tr_Id", L"Id", nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"tr_Name", L"Transakcja", nullptr, nullptr, nullptr, 30, 0},
    {L"cs_Nick", L"Kupujący", nullptr, nullptr, nullptr, 10, 0},
    {L"tr_Date", L"Data", nullptr, nullptr, nullptr, 10, 0},
    {L"tr_Payment", L"Kwota", nullptr, nullptr, nullptr, 10, 0, nullptr, nullptr, nullptr, nullptr, 2, 2,
     kFlgFieldAmount},
};

void AppendEscaped(std::wstring& page, const std::wstring& text) {
  for (wchar_t ch : text) {
    if (ch == L'&') page += L"&amp;";
    else if (ch == L'<') page += L"&lt;";
    else if (ch == L'>') page += L"&gt;";
    else page += ch;
  }
}

Result Printing(Context& c) {
  Result r;
  r.records = c.records;
  double start = Now();
  int length = 0;
  {
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->PutCursorLocation(adUseClient);
    rs->Open(_variant_t(Wide(Latest(c.records)).c_str()), _variant_t(static_cast<IDispatch*>(c.connection)),
             adOpenStatic, adLockReadOnly, adCmdText);
    CListCnt list;
    FlgListInfo info;
    info.key = L"tr_Id";
    list.SetConfig(info, kColumns, static_cast<int>(std::size(kColumns)));
    list.SetTitle(L"Transakcje");
    list.SetRecordset(rs);
    CGridPrint printer;
    printer.SetContainer(&list);
    if (printer.GenerateHtml() != 0) r.failure = "no page";
    length = printer.Page().GetLength();
  }
  r.system = Since(start);
  if (length < c.records * 100) r.failure = Named("page of ", length);
  // The same page from the same rows: the values as text, escaped, amounts with their cents.
  Statement rows(c.db, LatestDirect(c.records).c_str());
  start = Now();
  std::wstring page = L"<body id=\"KordelVX\"><div class=\"header\">Transakcje</div>"
                      L"<table border=\"1\" style=\"width: 98%; border-collapse: collapse\"><tr><td class=\"h0\">Lp."
                      L"</td><td class=\"h1\">Transakcja</td><td class=\"h2\">Kupujący</td><td class=\"h3\">Data</td>"
                      L"<td class=\"h4\">Kwota</td></tr>";
  long row = 0;
  while (rows.Run()) {
    page += L"<tr><td class=\"c0\">" + std::to_wstring(++row) + L"</td>";
    for (int column = 1; column <= 4; ++column) {
      page += L"<td class=\"c" + std::to_wstring(column) + L"\">";
      std::wstring value = Wide(rows.TextAt(column));
      if (column == 4 && !value.empty()) {
        std::replace(value.begin(), value.end(), L'.', L',');
        if (value.find(L',') == std::wstring::npos) value += L",00";
      }
      if (value.empty()) page += L"&nbsp;";
      else AppendEscaped(page, value);
      page += L"</td>";
    }
    page += L"</tr>";
  }
  rows.Reset();
  page += L"</table></body>";
  r.baseline = Since(start);
  return r;
}

}  // namespace

std::vector<Job> ListJobs() {
  return {{"account list", AccountList}, {"XML extractor", Extractor}, {"grid printing", Printing}};
}

}  // namespace history
