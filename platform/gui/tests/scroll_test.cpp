// Scroll bars, scrolling, wheel, key and dialog-code messages, clip regions and tooltips of the
// headless layer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"
#include "platform/gui/input.h"

namespace {

// A window that writes down what reached its handlers.
class Listening : public CWnd {
 public:
  std::vector<std::wstring> log;
  std::vector<CSize> sizes;

 protected:
  void OnSize(UINT, int cx, int cy) override { sizes.emplace_back(cx, cy); }
  void OnHScroll(UINT code, UINT position, CScrollBar* bar) override {
    log.push_back(L"h " + std::to_wstring(code) + L" " + std::to_wstring(static_cast<int>(position)) +
                  (bar ? L" bar" : L""));
  }
  void OnVScroll(UINT code, UINT position, CScrollBar*) override {
    log.push_back(L"v " + std::to_wstring(code) + L" " + std::to_wstring(static_cast<int>(position)));
  }
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override {
    log.push_back(L"wheel " + std::to_wstring(flags) + L" " + std::to_wstring(delta) + L" " + std::to_wstring(point.x) +
                  L"," + std::to_wstring(point.y));
    return TRUE;
  }
  void OnKeyDown(UINT key, UINT repeat, UINT) override {
    log.push_back(L"key " + std::to_wstring(key) + L" " + std::to_wstring(repeat));
  }
  void OnLButtonDblClk(UINT, CPoint point) override {
    log.push_back(L"dblclk " + std::to_wstring(point.x) + L"," + std::to_wstring(point.y));
  }
  UINT OnGetDlgCode() override { return DLGC_WANTARROWS | DLGC_BUTTON; }
};

class Scrolling : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
  // A top-level window of 200 x 100 with a client area of the same size.
  bool Make(Listening& w, UINT classStyle = 0) {
    LPCWSTR cls = AfxRegisterWndClass(classStyle, LoadCursorW(nullptr, IDC_ARROW));
    return w.CreateEx(0, cls, L"lista", WS_POPUP | WS_VISIBLE, CRect(50, 40, 250, 140), nullptr, 0) != FALSE;
  }
  static SCROLLINFO Info(int min, int max, UINT page, int pos, UINT mask = SIF_ALL) {
    return SCROLLINFO{sizeof(SCROLLINFO), mask, min, max, page, pos, 0};
  }
  static CRect Client(const CWnd& w) {
    CRect r;
    w.GetClientRect(&r);
    return r;
  }
};

TEST_F(Scrolling, PositionsAreHeldInsideTheRangeLessThePage) {
  Listening w;
  ASSERT_TRUE(Make(w));
  SCROLLINFO si = Info(0, 499, 100, 450);
  EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), 400);   // 499 - (100 - 1)
  EXPECT_EQ(w.GetScrollLimit(SB_VERT), 400);
  si = Info(0, 0, 0, -5, SIF_POS);
  EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), 0);
  EXPECT_EQ(SetScrollPos(w, SB_VERT, 250, TRUE), 0);       // the previous position
  EXPECT_EQ(GetScrollPos(w, SB_VERT), 250);
  // A page larger than the range shrinks to it; the position then has no room at all.
  si = Info(0, 49, 80, 0, SIF_RANGE | SIF_PAGE);
  EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), 0);
  SCROLLINFO out = Info(0, 0, 0, 0);
  ASSERT_TRUE(w.GetScrollInfo(SB_VERT, &out));
  EXPECT_EQ(out.nMin, 0);
  EXPECT_EQ(out.nMax, 49);
  EXPECT_EQ(out.nPage, 50u);
  EXPECT_EQ(out.nPos, 0);
  // A reversed range is 0 to 0; page 0 leaves the whole range to the position.
  EXPECT_TRUE(SetScrollRange(w, SB_HORZ, 10, 3, TRUE));
  int lo = -1, hi = -1;
  EXPECT_TRUE(GetScrollRange(w, SB_HORZ, &lo, &hi));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  SetScrollRange(w, SB_HORZ, 0, 300, TRUE);
  EXPECT_EQ(SetScrollPos(w, SB_HORZ, 1000, TRUE), 0);
  EXPECT_EQ(GetScrollPos(w, SB_HORZ), 300);
  // Only the window's own two bars exist.
  EXPECT_EQ(SetScrollInfo(w, SB_CTL, &si, TRUE), 0);
  EXPECT_FALSE(GetScrollInfo(w, SB_BOTH, &out));
}

TEST_F(Scrolling, ShownBarsTakeTheirRoomFromTheClientAreaAndResizeIt) {
  Listening w;
  ASSERT_TRUE(Make(w));
  w.sizes.clear();
  EXPECT_EQ(Client(w), CRect(0, 0, 200, 100));
  w.ShowScrollBar(SB_VERT, TRUE);
  EXPECT_EQ(Client(w), CRect(0, 0, 200 - GetSystemMetrics(SM_CXVSCROLL), 100));
  w.ShowScrollBar(SB_HORZ, TRUE);
  EXPECT_EQ(Client(w), CRect(0, 0, 183, 100 - GetSystemMetrics(SM_CYHSCROLL)));
  EXPECT_TRUE(w.GetStyle() & WS_HSCROLL);
  w.ShowScrollBar(SB_VERT, TRUE);   // no change, no message
  w.ShowScrollBar(SB_BOTH, FALSE);
  EXPECT_EQ(Client(w), CRect(0, 0, 200, 100));
  ASSERT_EQ(w.sizes.size(), 3u);
  EXPECT_EQ(w.sizes[0], CSize(183, 100));
  EXPECT_EQ(w.sizes[1], CSize(183, 83));
  EXPECT_EQ(w.sizes[2], CSize(200, 100));
  // The position is kept while the bar is hidden.
  SetScrollRange(w, SB_VERT, 0, 500, FALSE);
  SetScrollPos(w, SB_VERT, 120, FALSE);
  EXPECT_EQ(GetScrollPos(w, SB_VERT), 120);
  // Disabled and enabled again; nothing changed answers FALSE.
  EXPECT_TRUE(w.EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH));
  EXPECT_FALSE(platform::gui::ScrollBarEnabled(w, SB_VERT));
  EXPECT_FALSE(w.EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH));
  w.EnableScrollBarCtrl(SB_VERT, TRUE);
  EXPECT_TRUE(platform::gui::ScrollBarEnabled(w, SB_VERT));
}

TEST_F(Scrolling, ABarIsPaintedBesideTheClientArea) {
  Listening w;
  ASSERT_TRUE(Make(w));
  SetScrollRange(w, SB_VERT, 0, 399, FALSE);
  SCROLLINFO si = Info(0, 399, 100, 0, SIF_PAGE);
  SetScrollInfo(w, SB_VERT, &si, FALSE);
  w.ShowScrollBar(SB_VERT, TRUE);
  const platform::gui::Image image = platform::gui::CaptureWindow(w);
  // The up arrow's face, the trough below the thumb, and the thumb at the top.
  EXPECT_EQ(image.Pixel(187, 12), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(image.Pixel(191, 60), GetSysColor(COLOR_SCROLLBAR));
  EXPECT_EQ(image.Pixel(191, 25), GetSysColor(COLOR_BTNFACE));
  SetScrollPos(w, SB_VERT, 300, TRUE);
  const platform::gui::Image moved = platform::gui::CaptureWindow(w);
  EXPECT_EQ(moved.Pixel(191, 25), GetSysColor(COLOR_SCROLLBAR));
  EXPECT_EQ(moved.Pixel(191, 75), GetSysColor(COLOR_BTNFACE));
}

TEST_F(Scrolling, ScrollWindowMovesTheChildrenAndRepaints) {
  Listening w;
  ASSERT_TRUE(Make(w));
  HWND child = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 20, 30, 10, 10, w, nullptr, nullptr, nullptr);
  UpdateWindow(w);
  w.ScrollWindow(-5, -12);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(CRect(r), CRect(50 + 15, 40 + 18, 50 + 25, 40 + 28));
  // With a rectangle the children stay where they are.
  w.ScrollWindow(0, 40, CRect(0, 0, 200, 100));
  GetWindowRect(child, &r);
  EXPECT_EQ(r.top, 58);
}

TEST_F(Scrolling, ScrollWheelKeyDoubleClickAndDialogCodeReachTheirHandlers) {
  Listening w;
  ASSERT_TRUE(Make(w, CS_DBLCLKS));
  w.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 77), 0);
  w.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  w.SendMessage(WM_KEYDOWN, VK_END, 1);
  platform::gui::MouseWheel(w, 10, 20, -WHEEL_DELTA);
  platform::gui::DoubleClick(w, 30, 40);
  EXPECT_EQ(w.SendMessage(WM_GETDLGCODE), DLGC_WANTARROWS | DLGC_BUTTON);
  const std::vector<std::wstring> expected = {L"h 5 77", L"v 1 0", L"key 35 1", L"wheel 0 -120 60,60",
                                              L"dblclk 30,40"};
  EXPECT_EQ(w.log, expected);
  // A window of a class without double clicks gets two presses.
  Listening plain;
  ASSERT_TRUE(Make(plain));
  platform::gui::DoubleClick(plain, 30, 40);
  EXPECT_TRUE(plain.log.empty());
}

TEST_F(Scrolling, AClipRegionAndTheViewportOriginPlaceTheDrawing) {
  Listening w;
  ASSERT_TRUE(Make(w));
  UpdateWindow(w);
  CClientDC dc(&w);
  dc.FillSolidRect(CRect(0, 0, 200, 100), RGB(255, 255, 255));
  CRgn region;
  ASSERT_TRUE(region.CreateRectRgn(40, 20, 80, 50));
  EXPECT_EQ(dc.SelectClipRgn(&region), SIMPLEREGION);
  dc.SetViewportOrg(40, 20);
  // In the region's own corner, drawn from logical (0, 0): everything outside is clipped.
  dc.FillSolidRect(CRect(-10, -10, 100, 100), RGB(200, 0, 0));
  CRect box;
  dc.GetClipBox(&box);
  EXPECT_EQ(box, CRect(0, 0, 40, 30));
  // The region is copied: changing it later changes nothing.
  region.SetRectRgn(0, 0, 200, 100);
  dc.SetViewportOrg(0, 0);
  EXPECT_EQ(dc.SelectClipRgn(nullptr), SIMPLEREGION);
  dc.FillSolidRect(CRect(150, 80, 160, 90), RGB(0, 0, 200));
  const platform::gui::Image image = platform::gui::CaptureClient(w);
  EXPECT_EQ(image.Pixel(40, 20), RGB(200, 0, 0));
  EXPECT_EQ(image.Pixel(79, 49), RGB(200, 0, 0));
  EXPECT_EQ(image.Pixel(80, 49), RGB(255, 255, 255));
  EXPECT_EQ(image.Pixel(39, 30), RGB(255, 255, 255));
  EXPECT_EQ(image.Pixel(155, 85), RGB(0, 0, 200));
  RECT r{};
  EXPECT_EQ(region.GetRgnBox(&r), SIMPLEREGION);
  EXPECT_EQ(CRect(r), CRect(0, 0, 200, 100));
}

TEST_F(Scrolling, ATooltipKeepsTheLatestTextOfEachTool) {
  Listening w;
  ASSERT_TRUE(Make(w));
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, w,
                             nullptr, nullptr, nullptr);
  ASSERT_TRUE(tip);
  HWND other = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, w, nullptr, nullptr, nullptr);
  wchar_t first[] = L"Wysłana";
  wchar_t second[] = L"Odebrana";
  TOOLINFOW info{sizeof(TOOLINFOW), TTF_IDISHWND | TTF_SUBCLASS, w, reinterpret_cast<UINT_PTR>(w.m_hWnd), {},
                 nullptr, first, 0};
  EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
  info.lpszText = second;
  EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  EXPECT_EQ(platform::gui::TooltipText(w), L"Odebrana");
  EXPECT_EQ(platform::gui::TooltipText(other), L"");
  wchar_t buffer[4] = {};
  TOOLINFOW query{sizeof(TOOLINFOW), 0, w, reinterpret_cast<UINT_PTR>(w.m_hWnd), {}, nullptr, buffer, 0};
  SendMessageW(tip, TTM_GETTEXTW, 4, reinterpret_cast<LPARAM>(&query));
  EXPECT_EQ(std::wstring(buffer), L"Ode");
  SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(platform::gui::TooltipText(w), L"");
  EXPECT_FALSE(IsWindowVisible(tip));
}

}  // namespace
