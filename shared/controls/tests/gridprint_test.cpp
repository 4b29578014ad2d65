// Printing a list container's grid as an HTML page.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/base/utf8.h"
#include "platform/gui/headless.h"
#include "platform/gui/webbrowser.h"
#include "shared/controls/gridprint.h"

namespace {

namespace fs = std::filesystem;

const FlgColumnInfo kColumns[] = {
    {L"id", L"Id", nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"nick", L"Kupujący", nullptr, nullptr, nullptr, 20, 0, nullptr, nullptr, L"Tahoma,12,1,1,0,0", L"", 1, 0},
    {L"price", L"Cena", nullptr, nullptr, nullptr, 10, 0, nullptr, nullptr, nullptr, L"Verdana,9,0,0,1,1", 2, 2,
     kFlgFieldAmount},
    {L"kind", L"Typ", nullptr, nullptr, nullptr, 10, 0, nullptr, nullptr, nullptr, nullptr, 0, 1, kFlgFieldChoice,
     L"1=Licytacja\n2=Kup teraz"},
};

class GridPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    CoInitialize(nullptr);
    ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
    rs->Fields->Append(L"id", adInteger, 4, adFldIsNullable);
    rs->Fields->Append(L"nick", adVarWChar, 50, adFldIsNullable);
    rs->Fields->Append(L"price", adCurrency, 8, adFldIsNullable);
    rs->Fields->Append(L"kind", adInteger, 4, adFldIsNullable);
    rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
    FlgListInfo info;
    info.name = L"Druk";
    info.key = L"id";
    list.SetConfig(info, kColumns, 4);
    list.SetTitle(L"Lista transakcji");
  }
  void TearDown() override {
    rs = nullptr;
    platform::gui::ResetHeadless();
    CoUninitialize();
  }
  void Row(LONG id, const _variant_t& nick, const _variant_t& price, const _variant_t& kind) {
    rs->AddNew();
    rs->Fields->Item[L"id"]->Value = _variant_t(id);
    rs->Fields->Item[L"nick"]->Value = nick;
    rs->Fields->Item[L"price"]->Value = price;
    rs->Fields->Item[L"kind"]->Value = kind;
    rs->Update();
  }
  static _variant_t Price(LONGLONG tenThousandths) {
    CY cy;
    cy.int64 = tenThousandths;
    return _variant_t(cy);
  }
  CString Html() {
    printer.SetContainer(&list);
    EXPECT_EQ(printer.GenerateHtml(), 0);
    return printer.Page();
  }
  _RecordsetPtr rs;
  CListCnt list;
  CGridPrint printer;
};

TEST(GridPrintCss, FontRules) {
  EXPECT_EQ(CGridPrint::ColFont2CSS(L"Arial,10,0,0,0,0"), CString(L"font:   normal 10px Arial;"));
  EXPECT_EQ(CGridPrint::ColFont2CSS(L"Tahoma,12,1,1,0,0"), CString(L"font: italic bold 12px Tahoma;"));
  EXPECT_EQ(CGridPrint::ColFont2CSS(L""), CString(L"font:   normal 0px ;"));
  EXPECT_EQ(CGridPrint::ColFont2CSS(L"Arial"), CString(L"font:   normal 0px ;"));
  EXPECT_EQ(CGridPrint::ColFont2CSS(CString(std::wstring(40, L'n').c_str()) + L",8,x"),
            CString((L"font:   normal 8px " + std::wstring(32, L'n') + L";").c_str()));
}

TEST(GridPrintCss, ColumnRules) {
  EXPECT_EQ(CGridPrint::ColCfg2CSS(1, 3, L"", 0),
            CString(L" .h3 { border-bottom: 2px solid black; font:   normal 10px Arial;text-align: left;}"));
  EXPECT_EQ(CGridPrint::ColCfg2CSS(2, 12, L"Tahoma,12,1,1,0,0", 1),
            CString(L" .c12 {  font: italic bold 12px Tahoma;text-align: center;}"));
  EXPECT_EQ(CGridPrint::ColCfg2CSS(2, 1, L"", 7), CString(L" .c1 {  font:   normal 10px Arial;text-align: right;}"));
}

TEST_F(GridPrintTest, StyleSheetHasTheFixedPartAndARulePairPerShownColumn) {
  printer.SetContainer(&list);
  printer.GenerateCSS();
  const CString font = L"font:   normal 10px Arial;";
  const CString expected =
      CString(L"<style type=\"text/css\"> .header { text-align: center; font: normal 14px Arial; } "
              L".filters { text-align: center; font: normal 12px Arial; } "
              L".h0 {text-align: right; border-bottom: 2px solid black; ") +
      font + L"} .c0 {text-align: right;" + font + L"}" + CGridPrint::ColCfg2CSS(1, 1, L"Tahoma,12,1,1,0,0", 1) +
      CGridPrint::ColCfg2CSS(2, 1, L"", 0) + CGridPrint::ColCfg2CSS(1, 2, L"", 2) +
      CGridPrint::ColCfg2CSS(2, 2, L"Verdana,9,0,0,1,1", 2) + CGridPrint::ColCfg2CSS(1, 3, L"", 0) +
      CGridPrint::ColCfg2CSS(2, 3, L"", 1) + L"</style>";
  EXPECT_EQ(printer.Style(), expected);
  EXPECT_EQ(printer.FieldTypes(), (std::vector<LONG>{kFlgFieldText, kFlgFieldAmount, kFlgFieldChoice}));
}

TEST_F(GridPrintTest, PageHasNumberedRowsAmountsChoicesAndBlanks) {
  Row(11, L"anna_k", Price(120000), LONG{2});
  Row(12, L"bartek", Price(125000), LONG{1});
  Row(13, _variant_t(), _variant_t(), _variant_t());
  list.SetRecordset(rs);
  const CString page = Html();
  EXPECT_EQ(page.Find(L"<body id=\"KordelVX\"><style type=\"text/css\">"), 0);
  EXPECT_NE(page.Find(L"</style><div class=\"header\">Lista transakcji</div><hr noshade size=\"1\" "
                      L"style=\"color: black; border: none;\"><table border=\"1\" "
                      L"style=\"width: 98%; border-collapse: collapse\">"),
            -1);
  EXPECT_NE(page.Find(L"<tr><td class=\"h0\">Lp.</td><td class=\"h1\">Kupujący</td><td class=\"h2\">Cena</td>"
                      L"<td class=\"h3\">Typ</td></tr>"),
            -1);
  EXPECT_NE(page.Find(L"<tr><td class=\"c0\">1</td><td class=\"c1\">anna_k</td><td class=\"c2\">12,00</td>"
                      L"<td class=\"c3\">Kup teraz</td></tr>"),
            -1);
  EXPECT_NE(page.Find(L"<tr><td class=\"c0\">2</td><td class=\"c1\">bartek</td><td class=\"c2\">12,5</td>"
                      L"<td class=\"c3\">Licytacja</td></tr>"),
            -1);
  // An empty amount stays empty.
  EXPECT_NE(page.Find(L"<tr><td class=\"c0\">3</td><td class=\"c1\">&nbsp;</td><td class=\"c2\">&nbsp;</td>"
                      L"<td class=\"c3\">&nbsp;</td></tr></table></body>"),
            -1);
  EXPECT_EQ(page.Find(L"filters\">"), -1);
  EXPECT_EQ(list.Grid().GetSelectedCount(), 3);
}

TEST_F(GridPrintTest, ValuesAndTitleAreEscaped) {
  Row(1, L"<b>Tom & Jerry</b>", Price(10000), LONG{9});
  list.SetRecordset(rs);
  list.SetTitle(L"Aukcje <Kubek> & spółka");
  const CString page = Html();
  EXPECT_NE(page.Find(L"<div class=\"header\">Aukcje &lt;Kubek&gt; &amp; spółka</div>"), -1);
  EXPECT_NE(page.Find(L"<td class=\"c1\">&lt;b&gt;Tom &amp; Jerry&lt;/b&gt;</td>"), -1);
  EXPECT_EQ(page.Find(L"<b>"), -1);
  // A value with no choice of its own prints blank.
  EXPECT_NE(page.Find(L"<td class=\"c3\">&nbsp;</td>"), -1);
}

TEST_F(GridPrintTest, EmptyListAsksAndNoPrintsNothing) {
  list.SetRecordset(rs);
  printer.SetContainer(&list);
  platform::gui::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(printer.GenerateHtml(), 1);
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::wstring(CGridPrint::kEmptyListQuestion));
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_TRUE(printer.Page().IsEmpty());
  platform::gui::QueueMessageBoxAnswer(IDYES);
  EXPECT_EQ(printer.GenerateHtml(), 0);
  EXPECT_NE(printer.Page().Find(L"<div class=\"header\">Lista transakcji</div>"), -1);
  EXPECT_EQ(printer.Page().Find(L"<table"), -1);
}

TEST_F(GridPrintTest, GridWithoutColumnsPrintsTheNumbersOnly) {
  Row(1, L"a", Price(0), LONG{1});
  FlgListInfo info;
  CListCnt bare;
  bare.SetConfig(info, nullptr, 0);
  bare.SetRecordset(rs);
  printer.SetContainer(&bare);
  ASSERT_EQ(printer.GenerateHtml(), 0);
  EXPECT_NE(printer.Page().Find(L"<tr><td class=\"h0\">Lp.</td></tr><tr><td class=\"c0\">1</td></tr></table>"), -1);
}

TEST_F(GridPrintTest, PrintCommandSpoolsThePageWithHeaderAndFooter) {
  char pattern[] = "/tmp/vantor-gridprint-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  platform::gui::SetPrintSpoolFolder(platform::utf8::ToWide(folder + "/spool"));
  platform::gui::ClearBrowserRecords();
  Row(1, L"anna_k", Price(120000), LONG{2});
  list.SetRecordset(rs);
  CHtmlPrintGridSupport support(&list);
  EXPECT_EQ(list.GetPrinter(), &CHtmlPrintGridSupport::m_stGridPrinter);
  EXPECT_EQ(list.PrintList(), S_OK);
  const auto jobs = platform::gui::PrintJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].header, L"&b&D");
  EXPECT_EQ(jobs[0].footer, L"Vantor, Kordel&bStrona &p z &P");
  std::ifstream in(platform::utf8::FromWide(jobs[0].file));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("header: &b&D\nfooter: Vantor, Kordel&bStrona &p z &P\n\n", 0), 0u);
  EXPECT_NE(text.str().find("anna_k"), std::string::npos);
  platform::gui::SetPrintSpoolFolder(L"");
  platform::gui::ClearBrowserRecords();
  fs::remove_all(folder);
}

// A recordset that cannot count its records.
TEST_F(GridPrintTest, FailingCountIsRaisedAndTheCommandCatchesIt) {
  list.SetRecordset(rs);
  rs->Close();
  printer.SetContainer(&list);
  EXPECT_THROW(printer.GenerateHtml(), _com_error);
  list.SetPrinter(&printer);
  EXPECT_TRUE(FAILED(list.PrintList()));
  CListCnt none;
  EXPECT_EQ(none.PrintList(), S_FALSE);
}

}  // namespace
