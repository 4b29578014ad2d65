// The embedded browser dialog and printing through the browser control.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/svcapp.h"
#include "platform/base/utf8.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/headless.h"
#include "shared/browser.h"

namespace {

namespace fs = std::filesystem;
using platform::gui::ModalScript;
using platform::gui::PrintJob;

std::string Utf8(const std::wstring& s) { return platform::utf8::FromWide(s); }

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(Utf8(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The folder of the test program: the printing template ships beside it.
std::wstring ProgramFolder() {
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
  return platform::utf8::ToWide(path.substr(0, path.rfind('/')));
}

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    char pattern[] = "/tmp/vantor-print-XXXXXX";
    folder = mkdtemp(pattern);
    platform::gui::SetPrintSpoolFolder(platform::utf8::ToWide(folder + "/spool"));
    platform::gui::ClearBrowserRecords();
  }
  void TearDown() override {
    platform::gui::MapHelpStore(Store(), L"");
    platform::gui::SetPrintSpoolFolder(L"");
    platform::gui::ClearBrowserRecords();
    platform::gui::ResetHeadless();
    fs::remove_all(folder);
  }
  static std::wstring Store() { return ProgramFolder() + L"\\Schematy\\Schemat.chm"; }
  // Serves the template from a folder of the test holding `page` as "Schemat.htm".
  void TemplatePage(const std::string& page) {
    fs::create_directories(folder + "/store");
    std::ofstream(folder + "/store/Schemat.htm") << page;
    platform::gui::MapHelpStore(Store(), platform::utf8::ToWide(folder + "/store"));
  }
  std::vector<PrintJob> Jobs() const { return platform::gui::PrintJobs(); }
  size_t SpooledFiles() const {
    if (!fs::exists(folder + "/spool")) return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder + "/spool"), fs::directory_iterator()));
  }
  std::string folder;
};

// Records what was true when the page had loaded.
class WatchedPrint : public CDrukowanie {
 public:
  using CDrukowanie::CDrukowanie;
  void OnDocumentComplete(IDispatch* browser, VARIANT* url) override {
    ++completions;
    visible = IsWindowVisible();
    hookSuspended = CFlgMessageHook::IsSuspended();
    CDrukowanie::OnDocumentComplete(browser, url);
  }
  int completions = 0;
  bool visible = true;
  bool hookSuspended = false;
};

TEST_F(PrintTest, PrintingAtOncePrintsTheTextWithOptionZeroAndItsFiveInputs) {
  WatchedPrint print(L"<p>Zażółć gęślą jaźń</p>", L"&b&D", L"Vantor, Kordel&bStrona &p z &P", nullptr);
  EXPECT_EQ(print.Print(0, 1), 1);
  EXPECT_EQ(print.completions, 1);
  EXPECT_FALSE(print.visible);
  EXPECT_TRUE(print.hookSuspended);
  EXPECT_FALSE(CFlgMessageHook::IsSuspended());

  const std::vector<PrintJob> jobs = Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  const PrintJob& job = jobs[0];
  EXPECT_EQ(job.option, 0);
  EXPECT_EQ(job.result, S_OK);
  ASSERT_EQ(job.inputs.size(), 5u);
  EXPECT_EQ(job.inputs[0].vt, VT_BSTR);
  EXPECT_STREQ(job.inputs[0].bstrVal, L"&b&D");
  EXPECT_STREQ(job.inputs[1].bstrVal, L"Vantor, Kordel&bStrona &p z &P");
  EXPECT_EQ(job.inputs[2].vt, VT_NULL);
  EXPECT_EQ(job.inputs[3].vt, VT_NULL);
  EXPECT_EQ(job.inputs[4].vt, VT_I4);
  EXPECT_EQ(job.inputs[4].lVal, 2);
  // The page is the text itself, loaded into "about:blank"; nothing asked the user.
  ASSERT_EQ(platform::gui::Navigations().size(), 1u);
  EXPECT_EQ(platform::gui::Navigations()[0].address, L"about:blank");
  for (const auto& run : platform::gui::ModalRuns()) EXPECT_NE(run.dialog, L"PRINTDLG");
  const std::string spooled = ReadAll(job.file);
  EXPECT_EQ(spooled.rfind("header: &b&D\nfooter: Vantor, Kordel&bStrona &p z &P\n\n", 0), 0u);
  EXPECT_NE(spooled.find("<p>Zażółć gęślą jaźń</p>"), std::string::npos);
  EXPECT_EQ(SpooledFiles(), 1u);
}

TEST_F(PrintTest, EachRunPrintsOnceWithTheDefaultHeaderAndFooter) {
  CDrukowanie print(L"<b>raz</b>", nullptr);
  EXPECT_STREQ(print.Header(), L" ");
  EXPECT_STREQ(print.Footer(), L"Vantor, Kordel ");
  EXPECT_EQ(print.Print(0, 1), 1);
  EXPECT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(print.Print(0, 1), 1);
  ASSERT_EQ(Jobs().size(), 2u);
  EXPECT_EQ(SpooledFiles(), 2u);
  EXPECT_STREQ(Jobs()[1].inputs[0].bstrVal, L" ");
}

TEST_F(PrintTest, TheShippedTemplateTakesTheTextIntoItsElement) {
  WatchedPrint print(L"<table><tr><td>Lp.</td></tr></table>", nullptr);
  EXPECT_EQ(print.Print(1, 1), 1);
  ASSERT_EQ(platform::gui::Navigations().size(), 1u);
  EXPECT_EQ(platform::gui::Navigations()[0].address,
            L"mk:@MSITStore:" + ProgramFolder() + L"\\Schematy\\Schemat.chm::/Schemat.htm");
  EXPECT_EQ(platform::gui::Navigations()[0].kind, platform::gui::LoadKind::Page);
  ASSERT_EQ(Jobs().size(), 1u);
  const std::wstring html = Jobs()[0].html;
  const size_t element = html.find(L"id=\"KordelVX\"");
  ASSERT_NE(element, std::wstring::npos);
  EXPECT_NE(html.find(L"<td>Lp.</td>", element), std::wstring::npos);
}

TEST_F(PrintTest, ATemplateWithoutTheElementPrintsNothing) {
  TemplatePage("<html><body><div id=\"inny\"></div></body></html>");
  WatchedPrint print(L"<p>tekst</p>", nullptr);
  EXPECT_EQ(print.Print(1, 1), 0);
  EXPECT_EQ(print.completions, 1);
  EXPECT_TRUE(Jobs().empty());
  EXPECT_EQ(SpooledFiles(), 0u);

  // A store without the page: the same.
  platform::gui::MapHelpStore(Store(), platform::utf8::ToWide(folder + "/nowhere"));
  EXPECT_EQ(print.Print(1, 1), 0);
  EXPECT_EQ(platform::gui::Navigations().back().kind, platform::gui::LoadKind::Missing);
  EXPECT_TRUE(Jobs().empty());
}

TEST_F(PrintTest, OutsideTemplateModeAPageWithoutTheElementPrints) {
  TemplatePage("<html><body></body></html>");
  CDrukowanie print(L"<p>bez szablonu</p>", nullptr);
  EXPECT_EQ(print.Print(0, 1), 1);
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_NE(Jobs()[0].html.find(L"bez szablonu"), std::wstring::npos);
}

TEST_F(PrintTest, AskingFollowsThePrintDialogAndItsCancelFails) {
  platform::gui::QueueModal(ModalScript(L"PRINTDLG").Click(IDOK));
  WatchedPrint asked(L"<p>z pytaniem</p>", nullptr);
  EXPECT_EQ(asked.Print(0, 0), 1);
  EXPECT_FALSE(asked.hookSuspended);
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].option, 2);
  EXPECT_FALSE(Jobs()[0].file.empty());

  platform::gui::QueueModal(ModalScript(L"PRINTDLG").Click(IDCANCEL));
  CDrukowanie cancelled(L"<p>anulowane</p>", nullptr);
  EXPECT_EQ(cancelled.Print(0, 0), 0);
  ASSERT_EQ(Jobs().size(), 2u);
  EXPECT_EQ(Jobs()[1].result, OLECMDERR_E_CANCELED);
  EXPECT_TRUE(Jobs()[1].file.empty());
  EXPECT_EQ(SpooledFiles(), 1u);
}

TEST_F(PrintTest, AFailedPrintGivesZero) {
  platform::gui::SetPrintSpoolFolder(L"");
  CDrukowanie print(L"<p>x</p>", nullptr);
  EXPECT_EQ(print.Print(0, 1), 0);
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].result, HRESULT_FROM_WIN32(3));
}

TEST_F(PrintTest, MalformedAndHugeTextsPrintWithoutHarm) {
  std::wstring deep;
  for (int i = 0; i < 5000; ++i) deep += L"<div>";
  for (const std::wstring& text : {std::wstring(L"<p><b>niedomknięte <i>znaczniki</table></tr>&bogus;"),
                                   std::wstring(L"\x01\x02<<<>>>"), deep, std::wstring(3 << 20, L'x')}) {
    CDrukowanie print(text.c_str(), nullptr);
    EXPECT_EQ(print.Print(0, 1), 1);
  }
  EXPECT_EQ(Jobs().size(), 4u);
}

// --- the embedded browser dialog

class InnerBrowser : public PrintTest {
 protected:
  std::wstring Page(const std::string& html) {
    std::ofstream(folder + "/strona.html") << html;
    return platform::utf8::ToWide(folder + "/strona.html");
  }
};

TEST_F(InnerBrowser, WithoutAnAddressItOpensMaximisedWithoutNavigating) {
  CHxInnerHtmlBrowserDlg dialog;
  dialog.SetTitle(L"Podgląd");
  ASSERT_TRUE(dialog.Create(kIddHtmlInnerBrowser));
  EXPECT_TRUE(platform::gui::Navigations().empty());
  ASSERT_TRUE(dialog.GetBrowser());
  CString caption;
  dialog.GetWindowText(caption);
  EXPECT_STREQ(caption, L"Podgląd");
  CRect window;
  dialog.GetWindowRect(window);
  EXPECT_EQ(window, CRect(0, 0, 1024, 740));
  // The browser took the placeholder's place and follows the edges.
  CWnd* browser = dialog.GetDlgItem(CHxInnerHtmlBrowserDlg::IDC_BROWSER);
  ASSERT_TRUE(browser);
  EXPECT_EQ(browser->GetControlUnknown() != nullptr, true);
  CRect client, inside, close;
  dialog.GetClientRect(client);
  browser->GetWindowRect(inside);
  dialog.ScreenToClient(inside);
  dialog.GetDlgItem(IDOK)->GetWindowRect(close);
  dialog.ScreenToClient(close);
  const RECT full = platform::gui::DialogUnitsToPixels(RECT{0, 0, 578, 359});
  const RECT placeholder = platform::gui::DialogUnitsToPixels(RECT{7, 7, 570, 330});
  const RECT button = platform::gui::DialogUnitsToPixels(RECT{467, 338, 517, 352});
  EXPECT_GT(client.Width(), full.right);
  EXPECT_EQ(inside.left, placeholder.left);
  EXPECT_EQ(client.right - inside.right, full.right - placeholder.right);
  EXPECT_EQ(client.bottom - inside.bottom, full.bottom - placeholder.bottom);
  EXPECT_EQ(client.right - close.right, full.right - button.right);
  EXPECT_EQ(client.bottom - close.bottom, full.bottom - button.bottom);
  // A new title shows at once.
  dialog.SetTitle(L"Inny");
  dialog.GetWindowText(caption);
  EXPECT_STREQ(caption, L"Inny");
}

TEST_F(InnerBrowser, OnlyAnHttpsAddressIsMarkedEncrypted) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"https://strefa.example/s/1", L"Strona  (Połączenie szyfrowane)"},
      {L"HTTPS://strefa.example/s/1", L"Strona  (Połączenie szyfrowane)"},
      {L"http://strefa.example/s/1", L"Strona"},
      {L"httpsx", L"Strona"},
  };
  for (const auto& [url, expected] : cases) {
    CHxInnerHtmlBrowserDlg dialog;
    dialog.SetTitle(L"Strona");
    dialog.SetUrl(url);
    ASSERT_TRUE(dialog.Create(kIddHtmlInnerBrowser));
    CString caption;
    dialog.GetWindowText(caption);
    EXPECT_STREQ(caption, expected) << url;
  }
  // Addresses on the network are not opened: recorded, completed empty.
  ASSERT_EQ(platform::gui::Navigations().size(), 4u);
  EXPECT_EQ(platform::gui::Navigations()[0].kind, platform::gui::LoadKind::Offline);
}

TEST_F(InnerBrowser, TheLoadedPageHidesTheNoticeAndPrintsThroughCDrukowanie) {
  CHxInnerHtmlBrowserDlg dialog;
  dialog.SetTitle(L"Status");
  dialog.SetUrl(Page("<html><body><h1>Status zamówienia</h1><p>Paczka nadana</p></body></html>").c_str());
  ASSERT_TRUE(dialog.Create(kIddHtmlInnerBrowser));
  CWnd* notice = dialog.GetDlgItem(CHxInnerHtmlBrowserDlg::IDC_LOADING);
  notice->ShowWindow(SW_SHOW);
  READYSTATE state = READYSTATE_UNINITIALIZED;
  dialog.GetBrowser()->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_LOADING);
  DispatchPostedMessages();
  dialog.GetBrowser()->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_COMPLETE);
  EXPECT_FALSE(notice->IsWindowVisible());

  dialog.SendMessage(WM_COMMAND, MAKELONG(CHxInnerHtmlBrowserDlg::IDC_PRINT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(dialog.GetDlgItem(CHxInnerHtmlBrowserDlg::IDC_PRINT)->m_hWnd));
  ASSERT_EQ(Jobs().size(), 1u);
  EXPECT_EQ(Jobs()[0].option, 0);
  EXPECT_EQ(Jobs()[0].header, L"&b&D");
  EXPECT_EQ(Jobs()[0].footer, L"Vantor, Kordel&bStrona &p z &P");
  EXPECT_NE(Jobs()[0].html.find(L"<h1>Status zamówienia</h1>"), std::wstring::npos);
}

TEST_F(InnerBrowser, ClosingAsksAndNoKeepsTheWindowOpen) {
  CHxInnerHtmlBrowserDlg dialog;
  dialog.SetTitle(L"Regulamin");
  platform::gui::QueueModal(ModalScript(L"IDD_HTML_INNER_BROWSER").Click(IDCANCEL).Click(IDOK));
  platform::gui::QueueMessageBoxAnswer(IDNO);
  platform::gui::QueueMessageBoxAnswer(IDYES);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, L"Czy na pewno zamknąć okno Regulamin?");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(boxes[0].answer, IDNO);
  EXPECT_EQ(boxes[1].answer, IDYES);
}

}  // namespace
