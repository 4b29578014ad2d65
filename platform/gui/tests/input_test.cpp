// Pointer input, leave tracking, cursors, the posted-message queue, deferred positioning, the
// remote-session switch, and what other threads may ask of the layer.
#include <gtest/gtest.h>

#include <thread>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"
#include "platform/gui/input.h"

namespace {

using platform::gui::MouseDown;
using platform::gui::MouseLeave;
using platform::gui::MouseMove;
using platform::gui::MouseUp;

// A window that lists the mouse messages it gets.
class Spy : public CWnd {
 public:
  std::vector<std::wstring> log;
  HCURSOR cursor = nullptr;
  void OnMouseMove(UINT flags, CPoint p) override {
    log.push_back(L"move " + std::to_wstring(p.x) + L"," + std::to_wstring(p.y) + ((flags & MK_LBUTTON) ? L" L" : L""));
  }
  void OnMouseLeave() override { log.push_back(L"leave"); }
  void OnLButtonDown(UINT, CPoint p) override { log.push_back(L"down " + std::to_wstring(p.x)); }
  void OnLButtonUp(UINT, CPoint p) override { log.push_back(L"up " + std::to_wstring(p.x)); }
  BOOL OnSetCursor(CWnd* w, UINT hit, UINT message) override {
    log.push_back(L"cursor " + std::to_wstring(hit) + L" " + std::to_wstring(message));
    if (!cursor) return CWnd::OnSetCursor(w, hit, message);
    SetCursor(cursor);
    return TRUE;
  }
};

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    ASSERT_TRUE(top.CreateEx(0, nullptr, L"top", WS_POPUP | WS_VISIBLE, CRect(100, 100, 400, 300), nullptr, 0));
    ASSERT_TRUE(a.Create(nullptr, L"a", WS_CHILD | WS_VISIBLE, CRect(10, 10, 60, 40), &top, 1));
    ASSERT_TRUE(b.Create(nullptr, L"b", WS_CHILD | WS_VISIBLE, CRect(100, 10, 150, 40), &top, 2));
  }
  void TearDown() override {
    platform::gui::ResetHeadless();
  }
  static void Track(HWND h, DWORD flags) {
    TRACKMOUSEEVENT t{sizeof t, flags, h, 0};
    ASSERT_TRUE(TrackMouseEvent(&t));
  }
  CWnd top;
  Spy a, b;
};

TEST_F(Input, MovesSetTheCursorFirstAndLeaveComesOnlyWhenAskedFor) {
  a.cursor = LoadCursorW(nullptr, IDC_HAND);
  MouseMove(a, 5, 6);
  ASSERT_EQ(a.log.size(), 2u);
  EXPECT_EQ(a.log[0], L"cursor 1 512");
  EXPECT_EQ(a.log[1], L"move 5,6");
  EXPECT_EQ(platform::gui::WindowUnderMouse(), a.m_hWnd);
  const auto records = platform::gui::CursorRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].window, a.m_hWnd);
  EXPECT_EQ(records[0].cursor, LoadCursorW(nullptr, IDC_HAND));
  EXPECT_TRUE(records[0].handled);

  MouseMove(b, 1, 1);   // not tracked: a hears nothing
  EXPECT_EQ(a.log.size(), 2u);
  MouseMove(a, 2, 2);
  Track(a, TME_LEAVE);
  EXPECT_TRUE(platform::gui::TracksLeave(a));
  MouseMove(b, 1, 1);
  EXPECT_EQ(a.log.back(), L"leave");
  EXPECT_FALSE(platform::gui::TracksLeave(a));
  MouseMove(a, 2, 2);
  MouseLeave();   // one request, one leave
  EXPECT_NE(a.log.back(), L"leave");

  MouseMove(a, 2, 2);
  Track(a, TME_LEAVE);
  Track(a, TME_LEAVE | TME_CANCEL);
  const size_t before = a.log.size();
  MouseLeave();
  EXPECT_EQ(a.log.size(), before);
  TRACKMOUSEEVENT query{sizeof query, TME_QUERY, a.m_hWnd, 0};
  EXPECT_TRUE(TrackMouseEvent(&query));
  EXPECT_EQ(query.dwFlags, 0u);
}

TEST_F(Input, TrackingAWindowThePointerIsNotOverPostsItsLeaveAtOnce) {
  MouseMove(b, 1, 1);
  Track(a, TME_LEAVE);
  const auto posted = platform::gui::PostedMessages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].hwnd, a.m_hWnd);
  EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_MOUSELEAVE));
  DispatchPostedMessages();
  EXPECT_EQ(a.log.back(), L"leave");
  EXPECT_TRUE(platform::gui::PostedMessages().empty());
  TRACKMOUSEEVENT bad{sizeof bad - 1, TME_LEAVE, a.m_hWnd, 0};
  EXPECT_FALSE(TrackMouseEvent(&bad));
}

TEST_F(Input, ButtonsCarryTheHeldStateAndSkipDisabledWindows) {
  MouseDown(a, 7, 8);
  MouseMove(a, 9, 8);
  MouseUp(a, 9, 8);
  EXPECT_EQ(a.log[2], L"down 7");
  EXPECT_EQ(a.log[4], L"move 9,8 L");
  EXPECT_EQ(a.log.back(), L"up 9");
  b.EnableWindow(FALSE);
  platform::gui::Click(b, 3, 3);
  EXPECT_TRUE(b.log.empty());
  SetCapture(a);
  MouseUp(b, 4, 4);   // the capturing window takes it, in its own coordinates
  EXPECT_EQ(a.log.back(), L"up 94");
  ReleaseCapture();
}

TEST_F(Input, PostedMessagesWaitUntilDrainedAndGoWithTheirWindow) {
  a.PostMessage(WM_COMMAND, 5, 0);
  b.PostMessage(WM_COMMAND, 6, 0);
  EXPECT_EQ(platform::gui::PostedMessages().size(), 2u);
  b.DestroyWindow();
  const auto left = platform::gui::PostedMessages();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].wParam, 5u);
  EXPECT_EQ(platform::gui::DiscardPostedMessages(), 1u);
  EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x7777), WM_NULL, 0, 0));
}

TEST_F(Input, DeferredMovesHappenTogetherAndABadWindowDropsTheSet) {
  HDWP set = BeginDeferWindowPos(2);
  set = DeferWindowPos(set, a, nullptr, 20, 0, 30, 10, SWP_NOZORDER | SWP_NOACTIVATE);
  set = DeferWindowPos(set, b, nullptr, 50, 0, 40, 10, SWP_NOZORDER | SWP_NOACTIVATE);
  CRect r;
  a.GetWindowRect(&r);
  EXPECT_EQ(r.left, 110);   // nothing moved yet
  ASSERT_TRUE(EndDeferWindowPos(set));
  a.GetWindowRect(&r);
  top.ScreenToClient(&r);
  EXPECT_EQ(r, CRect(20, 0, 50, 10));
  b.GetWindowRect(&r);
  top.ScreenToClient(&r);
  EXPECT_EQ(r, CRect(50, 0, 90, 10));
  HDWP broken = BeginDeferWindowPos(1);
  EXPECT_EQ(DeferWindowPos(broken, reinterpret_cast<HWND>(0x7777), nullptr, 0, 0, 1, 1, 0), nullptr);
  EXPECT_FALSE(EndDeferWindowPos(broken));
}

TEST_F(Input, TheRemoteSessionIsASwitch) {
  EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 0);
  platform::gui::SetRemoteSession(true);
  EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 1);
  platform::gui::ResetHeadless();
  EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 0);
}

TEST_F(Input, AnotherThreadSeesWindowsAndMarksThemForRepainting) {
  top.UpdateWindow();
  const HWND h = a.m_hWnd;
  BOOL seen = FALSE, marked = FALSE, gone = TRUE;
  std::thread([&] {
    seen = IsWindow(h);
    marked = InvalidateRect(h, nullptr, FALSE);
    gone = IsWindow(reinterpret_cast<HWND>(0x7777));
  }).join();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(marked);
  EXPECT_FALSE(gone);
  // The mark is applied when the window updates: a repaints (it gets WM_PAINT again).
  struct Painter : CWnd {
    int paints = 0;
    void OnPaint() override {
      ++paints;
      CPaintDC dc(this);
    }
  } p;
  ASSERT_TRUE(p.Create(nullptr, L"p", WS_CHILD | WS_VISIBLE, CRect(0, 50, 10, 60), &top, 3));
  top.UpdateWindow();
  const int first = p.paints;
  top.UpdateWindow();
  EXPECT_EQ(p.paints, first);
  std::thread([&] { InvalidateRect(p.m_hWnd, nullptr, FALSE); }).join();
  top.UpdateWindow();
  EXPECT_EQ(p.paints, first + 1);
  a.DestroyWindow();
  std::thread([&] { seen = IsWindow(h); }).join();
  EXPECT_FALSE(seen);
}

}  // namespace
