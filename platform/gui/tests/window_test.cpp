// Windows, controls, menus and cursors of the headless layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"

namespace {

std::vector<std::wstring> g_log;

LRESULT Recording(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  wchar_t text[32] = {0};
  DefWindowProcW(h, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text));
  if (message == WM_DESTROY) g_log.push_back(std::wstring(text) + L":destroy");
  if (message == WM_NCDESTROY) g_log.push_back(std::wstring(text) + L":ncdestroy");
  if (message == WM_COMMAND) g_log.push_back(L"command " + std::to_wstring(LOWORD(wParam)) + L" " + std::to_wstring(HIWORD(wParam)));
  return DefWindowProcW(h, message, wParam, lParam);
}

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    g_log.clear();
    WNDCLASSW wc{0, Recording, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"TestFrame"};
    RegisterClassW(&wc);
  }
  void TearDown() override { platform::gui::ResetHeadless(); }
  HWND Frame(const wchar_t* text = L"frame", DWORD style = WS_POPUP | WS_CAPTION | WS_VISIBLE, DWORD ex = 0) {
    return CreateWindowExW(ex, L"TestFrame", text, style, 100, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
  }
  HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, int id, DWORD style = 0, DWORD ex = 0) {
    return CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 10, 10, 80, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
};

TEST_F(Windows, HandlesFitInThirtyTwoBitsAndAreNeverReused) {
  HWND a = Frame();
  ASSERT_TRUE(a);
  EXPECT_LE(reinterpret_cast<UINT_PTR>(a), 0xFFFFFFFFu);
  EXPECT_TRUE(DestroyWindow(a));
  EXPECT_FALSE(IsWindow(a));
  EXPECT_EQ(SendMessageW(a, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_FALSE(DestroyWindow(a));
  HWND b = Frame();
  EXPECT_NE(a, b);
  EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", WS_CHILD, 0, 0, 1, 1, b, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Windows, ChildrenKeepWindowOrderIdsClassesAndStyles) {
  HWND f = Frame();
  HWND one = Child(f, L"Static", L"jeden", 11, SS_LEFT, WS_EX_CLIENTEDGE);
  HWND two = Child(f, L"button", L"dwa", 12, BS_AUTOCHECKBOX);
  HWND three = Child(f, L"Edit", L"trzy", 13);
  EXPECT_EQ(GetWindow(f, GW_CHILD), one);
  EXPECT_EQ(GetWindow(one, GW_HWNDNEXT), two);
  EXPECT_EQ(GetWindow(three, GW_HWNDPREV), two);
  EXPECT_EQ(GetWindow(three, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(one, GW_HWNDPREV), nullptr);
  EXPECT_EQ(GetDlgItem(f, 12), two);
  EXPECT_EQ(GetDlgItem(f, 99), nullptr);
  EXPECT_EQ(GetDlgCtrlID(three), 13);
  wchar_t name[16];
  GetClassNameW(two, name, 16);
  EXPECT_STREQ(name, L"Button");
  EXPECT_EQ(GetWindowLongW(one, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
  EXPECT_EQ(GetParent(two), f);
  SetWindowPos(three, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(f, GW_CHILD), three);
  wchar_t text[8];
  EXPECT_EQ(GetWindowTextW(one, text, 4), 3);
  EXPECT_STREQ(text, L"jed");
}

TEST_F(Windows, RectanglesAccountForCaptionFramesMenusAndEdges) {
  HWND f = Frame(L"f", WS_POPUP | WS_CAPTION | WS_VISIBLE);
  RECT w, c;
  GetWindowRect(f, &w);
  GetClientRect(f, &c);
  EXPECT_EQ(w.left, 100);
  EXPECT_EQ(c.right, 300 - 2 * GetSystemMetrics(SM_CXDLGFRAME));
  EXPECT_EQ(c.bottom, 200 - 2 * GetSystemMetrics(SM_CYDLGFRAME) - GetSystemMetrics(SM_CYCAPTION));
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"", WS_CHILD | WS_VISIBLE, 5, 6, 50, 20, f, nullptr, nullptr, nullptr);
  RECT ew, ec;
  GetWindowRect(edit, &ew);
  GetClientRect(edit, &ec);
  POINT origin{0, 0};
  ClientToScreen(f, &origin);
  EXPECT_EQ(ew.left, origin.x + 5);
  EXPECT_EQ(ec.right, 46);
  POINT p{ew.left, ew.top};
  ScreenToClient(f, &p);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 6);
  // A menu bar takes the menu-bar height from the client area.
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_STRING, 1, L"&Plik");
  SetMenu(f, bar);
  RECT withMenu;
  GetClientRect(f, &withMenu);
  EXPECT_EQ(withMenu.bottom, c.bottom - GetSystemMetrics(SM_CYMENU));
  RECT adjusted{0, 0, 10, 10};
  AdjustWindowRectEx(&adjusted, WS_CAPTION, TRUE, WS_EX_CLIENTEDGE);
  EXPECT_EQ(adjusted.top, -(3 + 2 + 19 + 19));
  DestroyWindow(f);
  EXPECT_FALSE(IsMenu(bar));   // the window takes its menu along
}

TEST_F(Windows, DestroyingTellsTheParentFirstAndFreesChildrenFirst) {
  HWND f = Frame(L"p");
  CreateWindowExW(0, L"TestFrame", L"c", WS_CHILD, 0, 0, 5, 5, f, nullptr, nullptr, nullptr);
  DestroyWindow(f);
  EXPECT_EQ(g_log, (std::vector<std::wstring>{L"p:destroy", L"c:destroy", L"c:ncdestroy", L"p:ncdestroy"}));
  EXPECT_EQ(platform::gui::LiveWindowCount(), 0u);
}

TEST_F(Windows, ShowEnableAndFocus) {
  HWND f = Frame(L"f", WS_POPUP);
  HWND b = Child(f, L"Button", L"b", 1);
  EXPECT_FALSE(IsWindowVisible(b));   // the parent is hidden
  ShowWindow(f, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(b));
  EXPECT_EQ(GetActiveWindow(), f);
  EXPECT_FALSE(EnableWindow(b, FALSE));
  EXPECT_TRUE(EnableWindow(b, TRUE));
  SetFocus(b);
  EXPECT_EQ(GetFocus(), b);
  ShowWindow(f, SW_HIDE);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(Windows, EditsLimitWhatIsTypedButNotWhatIsSet) {
  HWND f = Frame();
  HWND e = Child(f, L"Edit", L"", 5);
  SendMessageW(e, EM_LIMITTEXT, 4, 0);
  SetWindowTextW(e, L"123456");
  EXPECT_EQ(GetWindowTextLengthW(e), 6);
  g_log.clear();
  SendMessageW(e, EM_SETSEL, 0, -1);
  SendMessageW(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"abcdef"));
  wchar_t text[16];
  GetWindowTextW(e, text, 16);
  EXPECT_STREQ(text, L"abcd");
  EXPECT_NE(std::find(g_log.begin(), g_log.end(), L"command 5 " + std::to_wstring(EN_CHANGE)), g_log.end());
  EXPECT_NE(std::find(g_log.begin(), g_log.end(), L"command 5 " + std::to_wstring(EN_MAXTEXT)), g_log.end());
  EXPECT_EQ(SendMessageW(e, EM_GETLIMITTEXT, 0, 0), 4);
}

// A combo box's vertical scroll bar belongs to its dropped list: the closed box gives its whole
// width to the box, while a list box with the same style shows its bar beside its client area.
TEST_F(Windows, AClosedComboBoxShowsNoScrollBarAndAListBoxDoes) {
  HWND f = Frame();
  HWND combo = Child(f, L"ComboBox", L"", 7, CBS_DROPDOWNLIST | WS_VSCROLL);
  HWND list = Child(f, L"ListBox", L"", 8, WS_VSCROLL);
  RECT r{};
  GetClientRect(combo, &r);
  EXPECT_EQ(r.right, 80);
  EXPECT_TRUE(GetWindowLongW(combo, GWL_STYLE) & WS_VSCROLL);   // the list's style is kept
  GetClientRect(list, &r);
  EXPECT_EQ(r.right, 80 - GetSystemMetrics(SM_CXVSCROLL));
}

// The system's standard icons are drawn (each in its colour, the background left as it was);
// an icon the layer has no artwork for is a framed square.
TEST_F(Windows, StandardIconsAreDrawnInTheirColours) {
  struct Case {
    LPCWSTR icon;
    COLORREF colour;   // the sign's colour below its mark
  };
  const Case cases[] = {{IDI_ERROR, RGB(204, 24, 24)},
                        {IDI_WARNING, RGB(250, 204, 20)},
                        {IDI_INFORMATION, RGB(30, 90, 200)},
                        {IDI_QUESTION, RGB(30, 90, 200)}};
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 40, 40);
  SelectObject(dc, bitmap);
  auto near = [](COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 40 && std::abs(GetGValue(a) - GetGValue(b)) <= 40 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 40;
  };
  for (const Case& c : cases) {
    RECT all{0, 0, 40, 40};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    ASSERT_TRUE(DrawIcon(dc, 4, 4, LoadIconW(nullptr, c.icon)));
    EXPECT_TRUE(near(GetPixel(dc, 4 + 11, 4 + 26), c.colour)) << std::hex << GetPixel(dc, 4 + 11, 4 + 26);
    EXPECT_EQ(GetPixel(dc, 4 + 1, 4 + 1), GetSysColor(COLOR_BTNFACE));   // outside the sign
    EXPECT_EQ(GetPixel(dc, 1, 1), GetSysColor(COLOR_BTNFACE));
  }
  // The error sign's cross is white at its middle; the warning's mark black.
  DrawIcon(dc, 4, 4, LoadIconW(nullptr, IDI_ERROR));
  EXPECT_TRUE(near(GetPixel(dc, 4 + 16, 4 + 16), RGB(255, 255, 255)));
  DrawIcon(dc, 4, 4, LoadIconW(nullptr, IDI_WARNING));
  EXPECT_TRUE(near(GetPixel(dc, 4 + 16, 4 + 15), RGB(0, 0, 0)));
  // A module's icon: its square framed.
  RECT all{0, 0, 40, 40};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  ASSERT_TRUE(DrawIcon(dc, 4, 4, LoadIconW(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEW(128))));
  EXPECT_EQ(GetPixel(dc, 4, 4), RGB(0, 0, 0));
  DeleteDC(dc);
  DeleteObject(bitmap);
}

TEST_F(Windows, ComboAndListBoxesKeepItemsDataAndSelection) {
  HWND f = Frame();
  HWND c = Child(f, L"ComboBox", L"", 7, CBS_DROPDOWNLIST);
  SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"jeden"));
  SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"trzy"));
  EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, 1, reinterpret_cast<LPARAM>(L"dwa")), 1);
  EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(L"x")), CB_ERR);
  SendMessageW(c, CB_SETITEMDATA, 1, 0x80000000);
  EXPECT_EQ(static_cast<LONG>(SendMessageW(c, CB_GETITEMDATA, 1, 0)), kNoLongValue);
  EXPECT_EQ(SendMessageW(c, CB_GETITEMDATA, 5, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"TRZY")), 2);
  EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, 2, 0), 2);
  wchar_t text[16];
  GetWindowTextW(c, text, 16);
  EXPECT_STREQ(text, L"trzy");
  EXPECT_EQ(SendMessageW(c, CB_DELETESTRING, 0, 0), 2);
  EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), 1);
  RECT r;
  GetWindowRect(c, &r);
  EXPECT_EQ(r.bottom - r.top, 21);   // a closed drop-down list
  HWND sorted = Child(f, L"ListBox", L"", 8, LBS_SORT | LBS_MULTIPLESEL);
  for (const wchar_t* s : {L"ź", L"a", L"Ć"}) SendMessageW(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  SendMessageW(sorted, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"a");
  SendMessageW(sorted, LB_SETSEL, TRUE, 2);
  EXPECT_EQ(SendMessageW(sorted, LB_GETSELCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(sorted, LB_SETCURSEL, 0, 0), LB_ERR);
}

TEST_F(Windows, ClickingAnAutomaticCheckBoxTogglesItAndTellsTheParent) {
  HWND f = Frame();
  HWND b = Child(f, L"Button", L"x", 21, BS_AUTOCHECKBOX);
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(g_log.back(), L"command 21 0");
  EnableWindow(b, FALSE);
  g_log.clear();
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), BST_CHECKED);
  // Radio buttons of a group exclude each other.
  HWND r1 = Child(f, L"Button", L"r1", 31, BS_AUTORADIOBUTTON | WS_GROUP);
  HWND r2 = Child(f, L"Button", L"r2", 32, BS_AUTORADIOBUTTON);
  SendMessageW(r1, BM_CLICK, 0, 0);
  SendMessageW(r2, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Windows, MenusKeepSubmenusIdsTextsStatesAndSeparators) {
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 100, L"Edytuj");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING | MF_GRAYED, 101, L"Usuń");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Obiekt");
  EXPECT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(GetSubMenu(bar, 0), popup);
  EXPECT_EQ(GetMenuItemID(bar, 0), 0xFFFFFFFFu);
  EXPECT_EQ(GetMenuItemID(popup, 2), 101u);
  EXPECT_EQ(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  EXPECT_EQ(GetMenuState(bar, 101, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));   // found in the submenu
  EXPECT_EQ(EnableMenuItem(bar, 101, MF_ENABLED), static_cast<UINT>(MF_GRAYED));
  wchar_t text[16];
  GetMenuStringW(popup, 100, text, 16, MF_BYCOMMAND);
  EXPECT_STREQ(text, L"Edytuj");
  InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING, 99, L"Nowy");
  EXPECT_EQ(GetMenuItemID(popup, 0), 99u);
  EXPECT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(popup));
  EXPECT_EQ(GetMenuState(bar, 5, MF_BYPOSITION), 0xFFFFFFFFu);
  DestroyMenu(bar);
}

TEST_F(Windows, PopupMenusTakeTheScriptedCommandOrNone) {
  HWND f = Frame();
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 100, L"Edytuj");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  platform::gui::QueuePopupCommand(100);
  EXPECT_TRUE(TrackPopupMenu(popup, TPM_RIGHTBUTTON, 10, 20, 0, f, nullptr));
  EXPECT_EQ(g_log.back(), L"command 100 0");
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, 0, f, nullptr), 0);
  const auto calls = platform::gui::PopupMenus();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].scripted);
  EXPECT_EQ(calls[0].items, (std::vector<std::wstring>{L"Edytuj", L"-"}));
  EXPECT_EQ(calls[0].at.y, 20);
  EXPECT_FALSE(calls[1].scripted);
  DestroyMenu(popup);
}

TEST_F(Windows, CursorsSystemColoursAndFixedMetrics) {
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  EXPECT_NE(arrow, wait);
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(SetCursor(nullptr), wait);
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(99), 0u);
  EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 19);
  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(6, 13));
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(GetStockObject(ANSI_VAR_FONT), sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, 13);
}

// A class-library window attached by subclassing.
class Counting : public CWnd {
 public:
  int commands = 0;
  int reflected = 0;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override {
    if (id == 77) {
      ++commands;
      return TRUE;
    }
    return CWnd::OnCmdMsg(id, code, extra, info);
  }
};
class Reflecting : public CWnd {
 public:
  int notified = 0;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT*) override {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) return ++notified, TRUE;
    return FALSE;
  }
};

TEST_F(Windows, SubclassedWindowsRouteCommandsAndReflectNotifications) {
  HWND f = Frame();
  HWND b = Child(f, L"Button", L"b", 77);
  HWND r = Child(f, L"Button", L"r", 78);
  Counting frame;
  ASSERT_TRUE(frame.SubclassWindow(f));
  EXPECT_EQ(CWnd::FromHandlePermanent(f), &frame);
  EXPECT_FALSE(Counting().SubclassWindow(f));   // already attached
  Reflecting child;
  child.SubclassWindow(r);
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(frame.commands, 1);
  SendMessageW(r, BM_CLICK, 0, 0);
  EXPECT_EQ(child.notified, 1);
  EXPECT_TRUE(g_log.empty() || g_log.back() != L"command 78 0");
  // Text set on the class-library object reaches the window; a temporary wrapper never owns it.
  frame.SetWindowText(L"nowy");
  CString text;
  CWnd::FromHandle(f)->GetWindowText(text);
  EXPECT_EQ(text, L"nowy");
  EXPECT_NE(CWnd::FromHandle(b), nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(b), nullptr);
  frame.DestroyWindow();
  EXPECT_EQ(frame.m_hWnd, nullptr);
  EXPECT_EQ(child.m_hWnd, nullptr);
}

// An exception escaping a handler is shown and the message answers 0.
class Throwing : public CWnd {
 public:
  BOOL OnCmdMsg(UINT, int, void*, AFX_CMDHANDLERINFO*) override { _com_issue_error(E_OUTOFMEMORY); }
};

TEST_F(Windows, AFailingHandlerIsReportedAndDoesNotCrashTheCaller) {
  HWND f = Frame();
  Throwing w;
  w.SubclassWindow(f);
  EXPECT_EQ(SendMessageW(f, WM_COMMAND, 5, 0), 0);
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Błąd");
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
}

}  // namespace
