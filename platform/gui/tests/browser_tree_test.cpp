// The web-browser control, the tree control, menu items replaced by pop-ups, maximised windows
// and the show request a window may refuse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"
#include "platform/gui/treectrl.h"
#include "platform/gui/webbrowser.h"

namespace {

namespace fs = std::filesystem;

// A frame that keeps the browser's completions and the tree's notifications.
class Frame : public CWnd {
 public:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == WBN_DOCUMENTCOMPLETE) {
      const auto* nm = reinterpret_cast<const NMWEBBROWSER*>(lParam);
      completed.push_back(nm->url && nm->url->vt == VT_BSTR ? nm->url->bstrVal : L"?");
    } else if (header->code == TVN_SELCHANGINGW) {
      *result = refuseSelection ? 1 : 0;
      return TRUE;
    } else if (header->code == TVN_SELCHANGEDW) {
      selected.push_back(reinterpret_cast<const NMTREEVIEWW*>(lParam)->itemNew.lParam);
    }
    return CWnd::OnNotify(wParam, lParam, result);
  }
  std::vector<std::wstring> completed;
  std::vector<LPARAM> selected;
  bool refuseSelection = false;
};

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    platform::gui::ClearBrowserRecords();
    char pattern[] = "/tmp/vantor-browser-XXXXXX";
    folder = mkdtemp(pattern);
    ASSERT_TRUE(frame.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 500, 400), nullptr, 0));
    AfxEnableControlContainer();
    ASSERT_TRUE(host.CreateControl(CLSID_WebBrowser, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 500, 400), &frame, 7));
    if (IUnknown* control = host.GetControlUnknown()) browser = control;
    ASSERT_TRUE(browser);
  }
  void TearDown() override {
    browser = nullptr;
    platform::gui::ResetHeadless();
    platform::gui::SetPrintSpoolFolder(L"");
    platform::gui::ClearBrowserRecords();
    fs::remove_all(folder);
  }
  std::wstring File(const std::string& name, const std::string& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
    return std::wstring(folder.begin(), folder.end()) + L"/" + std::wstring(name.begin(), name.end());
  }
  IHTMLDocument3Ptr Document() {
    IDispatch* raw = nullptr;
    browser->get_Document(&raw);
    IDispatchPtr held(raw, false);
    IHTMLDocument3Ptr document;
    if (held) document = held;
    return document;
  }
  // The document saved through its persist-stream interface, as bytes.
  IPersistStreamInitPtr Persist() {
    IDispatch* raw = nullptr;
    browser->get_Document(&raw);
    IDispatchPtr held(raw, false);
    IPersistStreamInitPtr persist;
    persist = held;
    return persist;
  }
  static IStreamPtr NewStream() {
    IStream* s = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &s);
    return IStreamPtr(s, false);
  }
  std::string Saved() {
    IStreamPtr stream = NewStream();
    Persist()->Save(stream, FALSE);
    STATSTG stat{};
    stream->Stat(&stat, 0);
    HGLOBAL block = nullptr;
    GetHGlobalFromStream(stream, &block);
    const std::string bytes(static_cast<const char*>(GlobalLock(block)), static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(block);
    return bytes;
  }
  HRESULT LoadStream(const std::string& bytes) {
    IStreamPtr stream = NewStream();
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return Persist()->Load(stream);
  }
  std::wstring Inner(const wchar_t* id) {
    IHTMLElement* raw = nullptr;
    Document()->getElementById(_bstr_t(id), &raw);
    IHTMLElementPtr element(raw, false);
    if (!element) return L"<none>";
    BSTR html = nullptr;
    element->get_innerHTML(&html);
    _bstr_t held(html, false);
    return static_cast<const wchar_t*>(held) ? static_cast<const wchar_t*>(held) : L"";
  }

  std::string folder;
  Frame frame;
  CWnd host;
  IWebBrowser2Ptr browser;
};

TEST_F(Browser, ControlsNeedContainmentAndARegisteredClass) {
  CWnd other;
  EXPECT_FALSE(other.CreateControl(GUID_NULL, nullptr, WS_CHILD, CRect(0, 0, 10, 10), &frame, 8));
  EXPECT_EQ(host.GetControlUnknown() != nullptr, true);
  host.DestroyWindow();
  EXPECT_EQ(platform::gui::ControlObject(host.m_hWnd), nullptr);
  // The object outlives its window as long as it is held; its calls then do no harm.
  EXPECT_EQ(browser->Navigate(_bstr_t(L"about:blank"), nullptr, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(Browser, EachLoadCompletesOnceFromThePostedMessages) {
  READYSTATE state = READYSTATE_COMPLETE;
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_UNINITIALIZED);
  EXPECT_FALSE(Document());
  const std::wstring page = File("a.html", "<html><body><p id=\"x\">Tekst</p></body></html>");
  browser->Navigate(_bstr_t(page.c_str()), nullptr, nullptr, nullptr, nullptr);
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_LOADING);
  EXPECT_TRUE(frame.completed.empty());
  DispatchPostedMessages();
  ASSERT_EQ(frame.completed, std::vector<std::wstring>{page});
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_COMPLETE);
  EXPECT_EQ(Inner(L"x"), L"Tekst");
  DispatchPostedMessages();
  EXPECT_EQ(frame.completed.size(), 1u);

  // A load begun before the previous one completed replaces it: one completion.
  browser->Navigate(_bstr_t(L"about:blank"), nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(LoadStream("<div id=\"y\">ze strumienia</div>"), S_OK);
  DispatchPostedMessages();
  EXPECT_EQ(frame.completed.size(), 2u);
  EXPECT_EQ(Inner(L"y"), L"ze strumienia");
  EXPECT_EQ(Inner(L"x"), L"<none>");
}

TEST_F(Browser, AddressesWithoutNetwork) {
  const std::wstring page = File("b.html", "<p>plik</p>");
  for (const std::wstring& address :
       {std::wstring(L"about:blank"), page, L"file://" + page, std::wstring(L"http://sklep.example/"),
        std::wstring(L"https://strefa.example/"), page + L".brak"})
    browser->Navigate(_bstr_t(address.c_str()), nullptr, nullptr, nullptr, nullptr);
  using K = platform::gui::LoadKind;
  const auto records = platform::gui::Navigations();
  ASSERT_EQ(records.size(), 6u);
  const K kinds[] = {K::Blank, K::Page, K::Page, K::Offline, K::Offline, K::Missing};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(records[i].kind, kinds[i]) << i;
  DispatchPostedMessages();
  EXPECT_EQ(frame.completed.size(), 1u);   // the last one
  EXPECT_EQ(Inner(L"any"), L"<none>");
}

TEST_F(Browser, ElementsTheirInnerHtmlAndTheSavedPage) {
  browser->Navigate(_bstr_t(L"about:blank"), nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(LoadStream("<html><body><div id=\"KordelVX\"><p id=\"old\">stare</p></div></body></html>"), S_OK);
  DispatchPostedMessages();
  IHTMLElement* raw = nullptr;
  ASSERT_EQ(Document()->getElementById(_bstr_t(L"old"), &raw), S_OK);
  IHTMLElementPtr old(raw, false);
  ASSERT_EQ(Document()->getElementById(_bstr_t(L"KordelVX"), &raw), S_OK);
  IHTMLElementPtr target(raw, false);
  ASSERT_EQ(target->put_innerHTML(_bstr_t(L"<b>Zażółć</b> <i>gęślą")), S_OK);
  EXPECT_EQ(Inner(L"KordelVX"), L"<b>Zażółć</b> <i>gęślą</i>");
  // The element that was replaced is gone; asking it fails instead of reading freed nodes.
  BSTR text = nullptr;
  EXPECT_EQ(old->get_innerHTML(&text), E_ACCESSDENIED);
  ASSERT_EQ(Document()->getElementById(_bstr_t(L"brak"), &raw), S_OK);
  EXPECT_EQ(raw, nullptr);
  // The page is saved as UTF-8 and reads back the same.
  EXPECT_NE(Saved().find("<b>Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87</b>"), std::string::npos);
  EXPECT_EQ(target->get_innerText(&text), S_OK);
  EXPECT_EQ(_bstr_t(text, false), _bstr_t(L"Zażółć gęślą"));
}

TEST_F(Browser, StreamsInTheirEncodingsAndHostileMarkup) {
  browser->Navigate(_bstr_t(L"about:blank"), nullptr, nullptr, nullptr, nullptr);
  static const char kUtf16[] = "\xFF\xFE<\0p\0 \0i\0d\0=\0\"\0u\0\"\0>\0\x7C\x01<\0/\0p\0>\0";   // "<p id="u">ż</p>"
  ASSERT_EQ(LoadStream(std::string(kUtf16, sizeof kUtf16 - 1)), S_OK);
  DispatchPostedMessages();
  EXPECT_EQ(Inner(L"u"), L"ż");
  ASSERT_EQ(LoadStream("<meta charset=\"windows-1250\"><p id=\"w\">\xBF</p>"), S_OK);
  DispatchPostedMessages();
  EXPECT_EQ(Inner(L"w"), L"ż");
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "<div>";
  deep += "<p id=\"deep\">x</p>";
  ASSERT_EQ(LoadStream(deep), S_OK);
  DispatchPostedMessages();
  EXPECT_EQ(Inner(L"deep"), L"<none>");   // too deep: an empty page
  ASSERT_EQ(LoadStream("<p id=\"bad\"><b>x</i></table>&nosuch;\x01</p><!-- "), S_OK);
  DispatchPostedMessages();
  EXPECT_NE(Inner(L"bad"), L"<none>");
}

TEST_F(Browser, PrintingWritesTheJobIntoTheSpool) {
  platform::gui::SetPrintSpoolFolder(std::wstring(folder.begin(), folder.end()) + L"/spool");
  // Before any document there is nothing to print.
  EXPECT_EQ(browser->ExecWB(OLECMDID_PRINT, 0, nullptr, nullptr), OLECMDERR_E_DISABLED);
  browser->Navigate(_bstr_t(L"about:blank"), nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(LoadStream("<p>do druku</p>"), S_OK);
  EXPECT_EQ(browser->ExecWB(OLECMDID_PRINT, 0, nullptr, nullptr), OLECMDERR_E_DISABLED);   // still loading
  DispatchPostedMessages();
  _variant_t header(L"Nagłówek\nw dwóch wierszach");
  EXPECT_EQ(browser->ExecWB(OLECMDID_PRINT, 0, &header, nullptr), S_OK);
  EXPECT_EQ(browser->ExecWB(OLECMDID_PRINTPREVIEW, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  const auto jobs = platform::gui::PrintJobs();
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[2].header, L"Nagłówek\nw dwóch wierszach");
  std::ifstream in(std::string(jobs[2].file.begin(), jobs[2].file.end()));
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "header: Nagłówek w dwóch wierszach");
  // The print dialog's cancel: the command fails, nothing is written.
  platform::gui::QueueModal(platform::gui::ModalScript(L"Drukowanie").Click(IDCANCEL));
  EXPECT_EQ(browser->ExecWB(OLECMDID_PRINT, 2, nullptr, nullptr), OLECMDERR_E_CANCELED);
  EXPECT_TRUE(platform::gui::PrintJobs().back().file.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder + "/spool"), fs::directory_iterator()), 1);
}

// --- the tree control

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    ASSERT_TRUE(frame.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, CRect(0, 0, 300, 200), &frame, 9));
    a = tree.InsertItem(TVIF_TEXT | TVIF_PARAM, L"Alfa", 0, 0, 0, 0, 1, TVI_ROOT, TVI_LAST);
    a1 = tree.InsertItem(TVIF_TEXT | TVIF_PARAM, L"Alfa jeden", 0, 0, 0, 0, 11, a, TVI_LAST);
    b = tree.InsertItem(TVIF_TEXT | TVIF_PARAM, L"Beta", 0, 0, 0, 0, 2, TVI_ROOT, TVI_LAST);
  }
  void TearDown() override { platform::gui::ResetHeadless(); }
  Frame frame;
  CTreeCtrl tree;
  HTREEITEM a = nullptr, a1 = nullptr, b = nullptr;
};

TEST_F(Tree, ItemsTheirDataAndOrder) {
  EXPECT_EQ(tree.GetCount(), 3u);
  EXPECT_EQ(tree.GetRootItem(), a);
  EXPECT_EQ(tree.GetNextSiblingItem(a), b);
  EXPECT_EQ(tree.GetPrevSiblingItem(b), a);
  EXPECT_EQ(tree.GetChildItem(a), a1);
  EXPECT_EQ(tree.GetParentItem(a1), a);
  EXPECT_EQ(tree.GetParentItem(a), nullptr);
  EXPECT_EQ(tree.GetItemData(a1), 11u);
  EXPECT_TRUE(tree.SetItemData(a1, 12));
  EXPECT_EQ(tree.GetItemData(a1), 12u);
  EXPECT_STREQ(tree.GetItemText(b), L"Beta");
  HTREEITEM first = tree.InsertItem(L"Zero", TVI_ROOT, TVI_FIRST);
  EXPECT_EQ(tree.GetRootItem(), first);
  EXPECT_EQ(tree.InsertItem(L"x", reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(999999)), TVI_LAST), nullptr);
  EXPECT_TRUE(tree.DeleteItem(a));
  EXPECT_EQ(tree.GetCount(), 2u);
  EXPECT_EQ(tree.GetItemData(a1), 0u);   // gone with its parent
  EXPECT_FALSE(tree.DeleteItem(a));
}

TEST_F(Tree, HitTestsFollowTheRowsShown) {
  UINT flags = 0;
  EXPECT_EQ(tree.HitTest(CPoint(30, 5), &flags), a);
  EXPECT_EQ(flags, static_cast<UINT>(TVHT_ONITEMLABEL));
  EXPECT_EQ(tree.HitTest(CPoint(30, 20), &flags), b);   // the child is hidden
  EXPECT_EQ(tree.HitTest(CPoint(10, 5), &flags), a);
  EXPECT_EQ(flags, static_cast<UINT>(TVHT_ONITEMBUTTON));
  EXPECT_EQ(tree.HitTest(CPoint(290, 5), &flags), a);
  EXPECT_EQ(flags, static_cast<UINT>(TVHT_ONITEMRIGHT));
  EXPECT_EQ(tree.HitTest(CPoint(30, 100), &flags), nullptr);
  EXPECT_EQ(flags, static_cast<UINT>(TVHT_NOWHERE));
  EXPECT_EQ(tree.HitTest(CPoint(30, 500), &flags), nullptr);
  EXPECT_EQ(flags, static_cast<UINT>(TVHT_BELOW));
  // A click on the button opens the item; its child takes the second row.
  tree.SendMessage(WM_LBUTTONDOWN, 0, MAKELONG(10, 5));
  EXPECT_TRUE(tree.GetItemState(a, TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_EQ(tree.HitTest(CPoint(45, 20), &flags), a1);
  EXPECT_EQ(flags, static_cast<UINT>(TVHT_ONITEMLABEL));
  CRect rect;
  EXPECT_TRUE(tree.GetItemRect(b, rect, FALSE));
  EXPECT_EQ(rect, CRect(0, 32, 300, 48));
}

TEST_F(Tree, SelectionNotifiesTheParentWhichMayRefuse) {
  EXPECT_TRUE(tree.SelectItem(a1));
  EXPECT_EQ(tree.GetSelectedItem(), a1);
  EXPECT_TRUE(tree.GetItemState(a, TVIS_EXPANDED) & TVIS_EXPANDED);   // made visible
  EXPECT_EQ(frame.selected, std::vector<LPARAM>{11});
  frame.refuseSelection = true;
  EXPECT_FALSE(tree.SelectItem(b));
  EXPECT_EQ(tree.GetSelectedItem(), a1);
  frame.refuseSelection = false;
  // Collapsing hides the selection: it moves to the collapsed item.
  tree.Expand(a, TVE_COLLAPSE);
  EXPECT_EQ(tree.GetSelectedItem(), a);
  tree.SetFocus();
  tree.SendMessage(WM_KEYDOWN, 0x28);   // down
  EXPECT_EQ(tree.GetSelectedItem(), b);
  tree.SendMessage(WM_LBUTTONDOWN, 0, MAKELONG(30, 5));
  EXPECT_EQ(tree.GetSelectedItem(), a);
  EXPECT_TRUE(tree.SelectItem(nullptr));
  EXPECT_EQ(tree.GetSelectedItem(), nullptr);
  const platform::gui::Image picture = platform::gui::CaptureWindow(frame.m_hWnd);
  EXPECT_EQ(picture.Width(), 300);
}

// --- menus and windows

TEST(MenuEditing, AnItemReplacedByAPopupDestroysTheOneItHad) {
  HMENU menu = CreatePopupMenu();
  HMENU first = CreatePopupMenu();
  HMENU second = CreatePopupMenu();
  AppendMenuW(first, MF_STRING, 5, L"w środku");
  AppendMenuW(menu, MF_STRING, 1, L"<MENU_TAG>");
  EXPECT_FALSE(ModifyMenuW(menu, 0, MF_BYPOSITION | MF_POPUP, 12345678, L"zły"));
  EXPECT_TRUE(ModifyMenuW(menu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(first), L"Autotekst"));
  EXPECT_EQ(GetSubMenu(menu, 0), first);
  wchar_t text[32] = {};
  GetMenuStringW(menu, 0, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Autotekst");
  EXPECT_TRUE(ModifyMenuW(menu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(second), L"Inny"));
  EXPECT_FALSE(IsMenu(first));
  EXPECT_TRUE(IsMenu(second));
  DestroyMenu(menu);
  EXPECT_FALSE(IsMenu(second));
  platform::gui::ResetHeadless();
}

class Hidden : public CWnd {
 public:
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    return CWnd::OnWndMsg(message, wParam, lParam, result);
  }
};

TEST(WindowState, AWindowMayRefuseToBeShownAndMaximisingFillsTheWorkArea) {
  Hidden hidden;
  ASSERT_TRUE(hidden.CreateEx(0, nullptr, L"", WS_POPUP, CRect(10, 10, 100, 100), nullptr, 0));
  hidden.ShowWindow(SW_SHOW);
  EXPECT_FALSE(hidden.IsWindowVisible());

  CWnd frame;
  ASSERT_TRUE(frame.CreateEx(0, nullptr, L"", WS_POPUP | WS_CAPTION, CRect(10, 20, 210, 120), nullptr, 0));
  frame.ShowWindow(SW_MAXIMIZE);
  CRect r;
  frame.GetWindowRect(r);
  EXPECT_EQ(r, CRect(0, 0, 1024, 740));
  EXPECT_TRUE(frame.GetStyle() & WS_MAXIMIZE);
  EXPECT_TRUE(frame.IsWindowVisible());
  frame.ShowWindow(SW_RESTORE);
  frame.GetWindowRect(r);
  EXPECT_EQ(r, CRect(10, 20, 210, 120));
  EXPECT_FALSE(frame.GetStyle() & WS_MAXIMIZE);
  platform::gui::ResetHeadless();
}

}  // namespace
