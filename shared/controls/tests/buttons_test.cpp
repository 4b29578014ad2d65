// Buttons and the application bar: the fade worker on a stepped clock, clicks, selection, the
// remote session, destruction mid-fade, the blending alpha, bitmaps, hover tracking, the drawing
// of the highlight, the tab and the helpers, the transparent background and the image list.
#include <memory>

#include "framework/kdtools.h"
#include "platform/threads/threads.h"
#include "shared/controls/hxappbar.h"
#include "shared/controls/hxbutton.h"
#include "shared/controls/hxdrawplus.h"
#include "shared/hxinstance.h"
#include "shared/controls/tests/support.h"
#include "testing/host_doubles/host_doubles.h"

namespace {

using controls_test::Canvas;
using controls_test::Host;
using controls_test::Near;
using platform::clock::Step;
using platform::clock::WaitIdle;

class Buttons : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    platform::clock::UseManual();
    ASSERT_TRUE(host.Make());
  }
  void TearDown() override {
    button.reset();
    Fixture::TearDown();
  }
  template <class Button = CHxButton>
  Button& Make(const wchar_t* text = L"Zapisz") {
    auto made = std::make_unique<Button>();
    Button& b = *made;
    button = std::move(made);
    EXPECT_TRUE(b.Create(text, CRect(10, 10, 110, 40), &host, 7));
    return b;
  }
  std::vector<MSG> Commands() {
    std::vector<MSG> out;
    for (const MSG& m : platform::gui::PostedMessages())
      if (m.message == WM_COMMAND) out.push_back(m);
    return out;
  }
  Host host;
  std::unique_ptr<CHxButton> button;
};

TEST_F(Buttons, AHoverFadesInOneStepPerTickAndTheWorkerEndsAtTheTop) {
  CHxButton& b = Make();
  EXPECT_EQ(b.GetStyle() & 0xFFFF0000, 0x50010000u);
  platform::gui::MouseMove(b, 5, 5);
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(b.Running());
  EXPECT_EQ(b.ThreadCount(), 1);
  EXPECT_EQ(b.FadeDirection(), 1);
  for (int expected = 1; expected <= 20; ++expected) {
    EXPECT_EQ(b.GetExactState(), expected);
    ASSERT_TRUE(Step(20));
  }
  // The tick after the top turns the fade off; the next iteration ends the worker.
  EXPECT_EQ(b.FadeDirection(), 0);
  EXPECT_TRUE(b.AtHighState());
  ASSERT_TRUE(Step(20));
  EXPECT_FALSE(b.Running());
  EXPECT_EQ(b.ThreadCount(), 0);
  EXPECT_EQ(platform::clock::RunningThreads(), 0);
  EXPECT_EQ(b.GetExactState(), 20);

  // Leaving fades out on a new worker, the selection falling too.
  platform::gui::MouseLeave();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(b.GetExactState(), 19);
  EXPECT_EQ(b.FadeDirection(), 2);
  EXPECT_EQ(b.ThreadCount(), 1);
}

TEST_F(Buttons, PressAndReleasePostOneCommandButNotAfterALeave) {
  CHxButton& b = Make();
  platform::gui::MouseDown(b, 5, 5);
  EXPECT_TRUE(b.Pushed());
  platform::gui::MouseUp(b, 5, 5);
  std::vector<MSG> posted = Commands();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].hwnd, host.m_hWnd);
  EXPECT_EQ(posted[0].wParam, 7u);
  EXPECT_EQ(posted[0].lParam, reinterpret_cast<LPARAM>(b.m_hWnd));
  DispatchPostedMessages();
  ASSERT_EQ(host.commands.size(), 1u);

  platform::gui::MouseDown(b, 5, 5);
  platform::gui::MouseLeave();
  EXPECT_FALSE(b.Pushed());
  platform::gui::MouseUp(b, 5, 5);
  EXPECT_TRUE(Commands().empty());
  CHxButton untitled;
  ASSERT_TRUE(untitled.Create(nullptr, CRect(0, 50, 20, 60), &host, 8));
  CString text = L"x";
  untitled.GetWindowText(text);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_FALSE(untitled.Create(L"again", CRect(0, 0, 1, 1), &host, 9));
}

TEST_F(Buttons, ASelectedButtonHoldsTheTopAndALeaveDoesNotDropTheSelection) {
  CHxButton& b = Make();
  b.Select2(true);
  EXPECT_EQ(b.GetExactState(), 20);
  platform::gui::MouseMove(b, 5, 5);
  platform::gui::MouseLeave();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(b.GetExactState(), 20);
  EXPECT_EQ(b.SelectionDirection(), 0);
  EXPECT_FALSE(b.Running());
  // Its face: the gradient ends in the full highlight colour (the blend never passes it).
  platform::gui::Image shot = platform::gui::CaptureClient(b);
  EXPECT_EQ(shot.Pixel(3, 28), RGB(255, 128, 0));
  EXPECT_EQ(shot.Pixel(3, 1), GetSysColor(COLOR_BTNFACE));
  // Unselected, it fades out.
  b.Select2(false);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(b.GetExactState(), 19);
}

TEST_F(Buttons, InARemoteSessionTheFadeJumpsWithoutAThread) {
  platform::gui::SetRemoteSession(true);
  CHxButton& b = Make();
  platform::gui::MouseMove(b, 5, 5);
  EXPECT_EQ(b.GetExactState(), 20);
  EXPECT_EQ(b.ThreadCount(), 0);
  EXPECT_EQ(platform::clock::RunningThreads(), 0);
  platform::gui::MouseDown(b, 5, 5);
  EXPECT_EQ(b.GetSelExactState(), 20);
  platform::gui::MouseLeave();
  EXPECT_EQ(b.GetExactState(), 0);
  EXPECT_EQ(b.GetSelExactState(), 0);
  EXPECT_FALSE(b.Running());
}

TEST_F(Buttons, ButtonsAndWindowsDestroyedMidFadeStopTheirWorkers) {
  CHxButton& b = Make();
  platform::gui::MouseMove(b, 5, 5);
  ASSERT_TRUE(Step(20 * 5));
  ASSERT_TRUE(b.Running());
  button.reset();   // joined at once: the tick's wait ends when the button stops it
  EXPECT_EQ(platform::clock::RunningThreads(), 0);

  // The window goes first (its parent destroyed), the object later.
  CHxButton& c = Make();
  platform::gui::MouseMove(c, 5, 5);
  ASSERT_TRUE(WaitIdle());
  host.DestroyWindow();
  EXPECT_EQ(platform::clock::RunningThreads(), 0);
  EXPECT_EQ(c.m_hWnd, nullptr);
  c.FadeIn();   // nothing to fade any more
  EXPECT_EQ(platform::clock::RunningThreads(), 0);
}

// A button that tells of each tick of its worker (the step and the tick's wait done).
class TickingButton : public CHxButton {
 public:
  ~TickingButton() override {
    StopThread();  // no tick comes once the event is gone
    CloseHandle(ticked);
  }
  void OnThreadTick() override {
    CHxButton::OnThreadTick();
    SetEvent(ticked);
  }
  HANDLE ticked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

TEST_F(Buttons, InRealTimeAFadeRunsAndEndsWithTheButton) {
  platform::clock::UseReal();
  TickingButton& b = Make<TickingButton>();
  platform::gui::MouseMove(b, 5, 5);
  while (b.GetExactState() < 3)
    ASSERT_EQ(WaitForSingleObject(b.ticked, 10000), static_cast<DWORD>(WAIT_OBJECT_0)) << "the fade stopped";
  EXPECT_GE(b.GetExactState(), 3);
  b.UpdateWindow();   // paints while the worker runs
  button.reset();
  EXPECT_EQ(platform::clock::RunningThreads(), 0);
}

TEST_F(Buttons, TheBlendingAlphaFollowsTheState) {
  CHxAppBarButton b;
  ASSERT_TRUE(b.Create(L"", CRect(0, 0, 40, 20), &host, 3));
  EXPECT_EQ(b.GetAlpha(), 0);
  b.SetMaxState();
  EXPECT_EQ(b.GetAlpha(), 254);
  b.FadeOut();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(b.GetExactState(), 19);
  EXPECT_EQ(b.GetAlpha(), 228);
  // A maximum of 0 or below never divides and never leaves the range.
  b.SetMaxState(0);
  EXPECT_GE(b.GetAlpha(), 0);
  EXPECT_LE(b.GetAlpha(), 254);
  b.SetMaxState(-5);
  b.FadeIn();
  ASSERT_TRUE(Step(20));
  ASSERT_TRUE(Step(20));
  EXPECT_EQ(b.FadeDirection(), 0);
  EXPECT_GE(b.GetAlpha(), 0);
  EXPECT_LE(b.GetAlpha(), 254);
}

TEST_F(Buttons, TheBitmapListKeepsItsBoundsAndNeverDeletesTheBitmapItKeeps) {
  CHxButton& b = Make();
  EXPECT_EQ(b.GetBitmap(), nullptr);
  BITMAP info{};
  EXPECT_FALSE(b.GetBitmap(&info));
  HBITMAP first = CreateBitmap(4, 3, 1, 32, nullptr), second = CreateBitmap(5, 6, 1, 32, nullptr);
  b.AddBitmap(first);
  b.AddBitmap(second);
  b.SetCurrentBitmap(2);
  b.SetCurrentBitmap(-1);
  EXPECT_EQ(b.GetCurrentBitmap(), 0);
  b.SetCurrentBitmap(1);
  EXPECT_EQ(b.GetBitmap(), second);
  ASSERT_TRUE(b.GetBitmap(&info));
  EXPECT_EQ(info.bmWidth, 5);
  // Keeping one of the stored bitmaps deletes the others, never the one kept.
  b.SetBitmap(second);
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(b.GetBitmapCount(), 1);
  EXPECT_EQ(b.GetCurrentBitmap(), 0);
  b.SetBitmap(second);
  EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
  button.reset();
  EXPECT_EQ(GetObjectType(second), 0u);
}

// A window that records the commands its hover tracker sends.
struct Tracked : CWnd {
  std::vector<WPARAM> commands;
  BOOL OnCommand(WPARAM wParam, LPARAM) override {
    commands.push_back(wParam);
    return TRUE;
  }
};

TEST_F(Buttons, TheHoverTrackerReportsComingAndGoingOnceAndFollowsANewWindow) {
  Tracked owner, other;
  ASSERT_TRUE(owner.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 50), &host, 1));
  ASSERT_TRUE(other.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(60, 0, 110, 50), &host, 2));
  CHxMouseMgr mgr;
  EXPECT_FALSE(mgr.OnMouseMove());   // no owner yet
  mgr.Init(owner, CHxMouseMgr::kInvalidate);
  mgr.Init(other, CHxMouseMgr::kFrameChanged);
  EXPECT_EQ(mgr.Owner(), owner.m_hWnd);
  platform::gui::MouseMove(owner, 1, 1);
  EXPECT_TRUE(mgr.OnMouseMove());
  EXPECT_TRUE(mgr.MouseOver());
  EXPECT_TRUE(platform::gui::TracksLeave(owner));
  EXPECT_FALSE(mgr.OnMouseMove());
  EXPECT_EQ(owner.commands, std::vector<WPARAM>{1025});
  platform::gui::MouseMove(other, 1, 1);
  EXPECT_FALSE(mgr.OnMouseMove(other));
  EXPECT_EQ(mgr.Tracked(), other.m_hWnd);
  EXPECT_FALSE(platform::gui::TracksLeave(owner));
  EXPECT_TRUE(platform::gui::TracksLeave(other));
  EXPECT_FALSE(mgr.OnMouseOut(owner));   // not the tracked window: still hovering
  EXPECT_TRUE(mgr.MouseOver());
  EXPECT_TRUE(mgr.OnMouseOut(other));
  EXPECT_FALSE(mgr.MouseOver());
  EXPECT_FALSE(mgr.OnMouseOut());
  EXPECT_EQ(owner.commands, (std::vector<WPARAM>{1025, 1026, 1026}));
  EXPECT_TRUE(other.commands.empty());
}

// A background of one colour.
struct Plain : CHxBkgnd {
  COLORREF color;
  int calls = 0;
  explicit Plain(COLORREF c) : color(c) {}
  void DrawBkgnd(CDC* dc, CWnd*, CRect* rect) override {
    ++calls;
    dc->FillSolidRect(rect, color);
  }
};

// One channel of white blended over `under` at `alpha` (the rounded highlight of alpha 64).
int Over(int under, int alpha) { return (255 * alpha + under * (255 - alpha) + 127) / 255; }

TEST_F(Buttons, TheHoverHighlightBlendsIntoTheBackgroundByState) {
  const COLORREF base = RGB(0, 64, 128);
  Plain parent(base);
  CHxAppBarButton b;
  b.m_bkgnd.SetParentBkgnd(&parent);
  ASSERT_TRUE(b.Create(L"", CRect(20, 20, 80, 50), &host, 4));
  auto expected = [&](int alpha) {
    auto channel = [&](int c) {
      const int a = Over(c, 64), v = Over(a, 64);
      return (v * alpha + a * (255 - alpha) + 127) / 255;
    };
    return RGB(channel(0), channel(64), channel(128));
  };
  // State 0: the background and the frame drawn on it, no highlight.
  platform::gui::Image shot = platform::gui::CaptureClient(b);
  EXPECT_TRUE(Near(shot.Pixel(30, 15), expected(0))) << std::hex << shot.Pixel(30, 15);
  EXPECT_EQ(shot.Pixel(0, 0), base);   // outside the rounded corner
  // State 10: half way.
  platform::gui::MouseMove(b, 5, 5);
  ASSERT_TRUE(WaitIdle());
  for (int i = 1; i < 10; ++i) ASSERT_TRUE(Step(20));
  ASSERT_EQ(b.GetExactState(), 10);
  shot = platform::gui::CaptureClient(b);
  EXPECT_TRUE(Near(shot.Pixel(30, 15), expected(120))) << std::hex << shot.Pixel(30, 15);
  // State 20: all of it.
  b.SetMaxState();
  shot = platform::gui::CaptureClient(b);
  EXPECT_TRUE(Near(shot.Pixel(30, 15), expected(254))) << std::hex << shot.Pixel(30, 15);
  EXPECT_EQ(shot.Pixel(0, 0), base);
  // The parent's background was drawn once and kept.
  EXPECT_EQ(parent.calls, 1);
  // The button sets the hand cursor.
  platform::gui::MouseMove(b, 6, 6);
  EXPECT_EQ(GetCursor(), CKdStock::GetKdCursor(0));
}

TEST_F(Buttons, TheSelectedTabDrawsItsOutlineInTheLineColour) {
  doubles::HostDoubles doubles;
  doubles.instance->skinColors[9] = RGB(200, 200, 200);
  doubles.instance->skinColors[10] = RGB(0, 0, 255);
  CHxInstance::SetInstance(doubles.instancePtr);
  const COLORREF red = RGB(255, 0, 0);
  CHxTabCtrlButton tab;
  tab.SetLineColor(red);
  tab.Select2(true);
  ASSERT_TRUE(tab.Create(L"Aukcje", CRect(0, 0, 80, 24), &host, 5));
  platform::gui::Image shot = platform::gui::CaptureClient(tab);
  const int w = 80, h = 24;
  // The outline is part of the highlight, blended in at the selected state's alpha (254).
  auto line = [&](int x, int y) { return Near(shot.Pixel(x, y), red); };
  EXPECT_TRUE(line(9, 0));
  EXPECT_TRUE(line(w - 6, 0));
  EXPECT_FALSE(line(w / 2, 1));
  EXPECT_TRUE(line(4, 10));
  EXPECT_TRUE(line(4, h - 1));
  EXPECT_TRUE(line(w - 1, 10));
  EXPECT_TRUE(line(2, h - 1));
  EXPECT_FALSE(line(4, 0));       // the corner is rounded
  EXPECT_TRUE(line(5, 1) || line(5, 2) || line(6, 1));
  EXPECT_TRUE(Near(shot.Pixel(0, 9), 0xF3EFEB, 3));   // the strip's gradient starts at its colour
  EXPECT_LT(GetRValue(shot.Pixel(3, 9)), GetRValue(shot.Pixel(0, 9)));

  CHxTabCtrlButton plain;
  plain.SetLineColor(red);
  ASSERT_TRUE(plain.Create(L"Klienci", CRect(100, 0, 180, 24), &host, 6));
  shot = platform::gui::CaptureClient(plain);
  // At rest only the background shows: the skin's face with its line along the bottom.
  EXPECT_EQ(shot.Pixel(40, h - 1), RGB(0, 0, 255));
  EXPECT_EQ(shot.Pixel(79, 2), RGB(200, 200, 200));
  EXPECT_FALSE(line(9, 0));
  const CSize size = plain.SizeOfContent();
  EXPECT_GT(size.cx, 20);
  EXPECT_GT(size.cy, 0);
  const int selectedWidth = tab.SizeOfContent().cx;
  tab.Select2(false);
  EXPECT_EQ(tab.SizeOfContent().cx, selectedWidth - 20);

  // Without a skin the system's colours are used; nothing fails.
  doubles.instance->hidden.insert(L"IFlgSkin");
  shot = platform::gui::CaptureClient(plain);
  EXPECT_EQ(shot.Pixel(79, 2), GetSysColor(COLOR_BTNFACE));
  CHxInstance::SetInstance(nullptr);
}

TEST_F(Buttons, RoundedRectanglesRoundExactlyTheirCorners) {
  using Draw = void (*)(Gdiplus::Graphics&, COLORREF, int, int, int, int, int, int);
  struct Case {
    Draw draw;
    bool tl, tr, br, bl;
  } cases[] = {{hxDrawRoundRect, true, true, true, true},      {hxDrawDownRoundRect, false, false, true, true},
               {hxDrawLeftRoundRect, true, false, false, true}, {hxDrawLeftUpRoundRect, false, false, false, true},
               {hxDrawRightRoundRect, false, true, true, false}};
  const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
  for (const Case& c : cases) {
    Canvas canvas(20, 20);
    Gdiplus::Graphics g(canvas.dc.m_hDC);
    c.draw(g, black, 0, 0, 20, 20, 5, 255);
    EXPECT_EQ(canvas.At(10, 10), black);
    EXPECT_EQ(canvas.At(0, 0), c.tl ? white : black);
    EXPECT_EQ(canvas.At(19, 0), c.tr ? white : black);
    EXPECT_EQ(canvas.At(19, 19), c.br ? white : black);
    EXPECT_EQ(canvas.At(0, 19), c.bl ? white : black);
  }
  // A radius of 0 gives a plain rectangle; an empty size draws nothing.
  Canvas square(20, 20);
  Gdiplus::Graphics g(square.dc.m_hDC);
  hxDrawRoundRect(g, black, 0, 0, 20, 20, 0, 255);
  EXPECT_EQ(square.At(0, 0), black);
  Canvas none(20, 20);
  Gdiplus::Graphics n(none.dc.m_hDC);
  hxDrawRoundRect(n, black, 0, 0, -3, 20, 5, 255);
  EXPECT_EQ(none.At(10, 10), white);
}

// The inked columns and rows of a canvas (anything not white).
CRect Ink(const Canvas& c, int w, int h) {
  CRect r(w, h, -1, -1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (c.At(x, y) != RGB(255, 255, 255)) {
        r.left = std::min<LONG>(r.left, x), r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x), r.bottom = std::max<LONG>(r.bottom, y);
      }
  return r;
}

TEST_F(Buttons, TextIsAlignedAsTheFormatSays) {
  const CRect box(0, 0, 200, 40);
  auto draw = [&](UINT format) {
    auto c = std::make_unique<Canvas>(200, 40);
    hxDrawText(c->dc, L"Mm", box, 10, format, RGB(0, 0, 0), false, false, nullptr);
    return Ink(*c, 200, 40);
  };
  const CRect left = draw(DT_LEFT), centre = draw(DT_CENTER), right = draw(DT_RIGHT);
  EXPECT_LE(left.left, 3);
  EXPECT_NEAR((centre.left + centre.right) / 2.0, 100, 3);
  EXPECT_GE(right.right, 195);
  const CRect top = draw(DT_LEFT), middle = draw(DT_VCENTER), bottom = draw(DT_BOTTOM);
  EXPECT_LE(top.top, 6);
  EXPECT_NEAR((middle.top + middle.bottom) / 2.0, 20, 4);
  EXPECT_GE(bottom.bottom, 33);
  EXPECT_GT(bottom.top, middle.top);
  EXPECT_GT(middle.top, top.top);
  Canvas untouched(20, 20);
  hxDrawText(untouched.dc, nullptr, CRect(0, 0, 20, 20), 10, 0, RGB(0, 0, 0), false, false, nullptr);
  EXPECT_EQ(Ink(untouched, 20, 20).right, -1);
}

TEST_F(Buttons, TextExtentsFollowSizeWeightAndFace) {
  Canvas c(10, 10);
  const CSize plain = hxTextExtent(c.dc, L"Transakcje", 10, false, false, nullptr);
  EXPECT_GT(plain.cx, 40);
  EXPECT_GT(plain.cy, 10);
  EXPECT_GT(hxTextExtent(c.dc, L"Transakcje", 10, true, false, nullptr).cx, plain.cx);
  EXPECT_EQ(hxTextExtent(c.dc, L"Transakcje", 10, false, true, nullptr), plain);
  EXPECT_GT(hxTextExtent(c.dc, L"Transakcje", 20, false, false, nullptr).cx, plain.cx);
  // Faces the layer does not have fall back to the sans-serif family ("Trebuchet MS" too).
  EXPECT_EQ(hxTextExtent(c.dc, L"Transakcje", 10, false, false, L"Nie Ma Takiej"), plain);
  EXPECT_EQ(hxTextExtent(c.dc, L"Transakcje", 10, false, false, L"DejaVu Sans"), plain);
  EXPECT_NE(hxTextExtent(c.dc, L"Transakcje", 10, false, false, L"DejaVu Serif"), plain);
  EXPECT_EQ(hxTextExtent(c.dc, nullptr, 10, false, false, nullptr), CSize());
}

// A background that gives every parent pixel its own colour.
struct Pattern : CHxBkgnd {
  int shift = 0;
  void DrawBkgnd(CDC* dc, CWnd*, CRect* rect) override {
    for (int y = rect->top; y < rect->bottom; ++y)
      for (int x = rect->left; x < rect->right; ++x) dc->SetPixel(x, y, RGB(x, y, shift));
  }
};

TEST_F(Buttons, TheTransparentBackgroundCopiesTheParentUntilInvalidated) {
  Pattern pattern;
  CWnd child;
  ASSERT_TRUE(child.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(30, 20, 60, 40), &host, 9));
  CHxTransparentBkgnd bkgnd;
  Canvas before(30, 20, RGB(1, 2, 3));
  bkgnd.DrawBkgnd(&before.dc, &child, nullptr);   // no parent painter: nothing
  EXPECT_EQ(before.At(0, 0), RGB(1, 2, 3));
  EXPECT_FALSE(bkgnd.Cached());
  bkgnd.SetParentBkgnd(&pattern);
  Canvas first(30, 20);
  bkgnd.DrawBkgnd(&first.dc, &child, nullptr);
  EXPECT_EQ(first.At(0, 0), RGB(30, 20, 0));
  EXPECT_EQ(first.At(29, 19), RGB(59, 39, 0));
  pattern.shift = 99;
  Canvas kept(30, 20);
  CRect part(0, 0, 10, 10);
  bkgnd.DrawBkgnd(&kept.dc, nullptr, &part);   // cached: a rectangle is enough
  EXPECT_EQ(kept.At(5, 5), RGB(35, 25, 0));
  EXPECT_EQ(kept.At(15, 15), RGB(255, 255, 255));
  bkgnd.InvalidateBkgnd();
  Canvas fresh(30, 20);
  bkgnd.DrawBkgnd(&fresh.dc, &child, nullptr);
  EXPECT_EQ(fresh.At(0, 0), RGB(30, 20, 99));
  // A child outside its parent's client area keeps nothing and draws nothing.
  child.MoveWindow(500, 500, 30, 20);
  bkgnd.InvalidateBkgnd();
  Canvas outside(30, 20, RGB(1, 2, 3));
  bkgnd.DrawBkgnd(&outside.dc, &child, nullptr);
  EXPECT_EQ(outside.At(0, 0), RGB(1, 2, 3));
  EXPECT_TRUE(bkgnd.Cached());
  bkgnd.DrawBkgnd(nullptr, &child, nullptr);
}

const unsigned char kRedPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x9D, 0x74, 0x66, 0x1A, 0x00, 0x00, 0x00, 0x11, 0x49,
    0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x86, 0x19, 0x90, 0x39, 0x00, 0x9B, 0x7E, 0x0B,
    0xF5, 0x72, 0xB0, 0xB9, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
const char kNotAPicture[] = "GIF? no";

platform::ResourceModule g_images(L"controls_images_test", platform::ModuleKind::Library, {},
                                  {{L"PNG", L"LOGO", kRedPng, sizeof kRedPng},
                                   {L"PNG", L"BROKEN", kNotAPicture, sizeof kNotAPicture - 1}});

TEST_F(Buttons, TheImageListDecodesEachResourceOnceAndRetriesAMissingOne) {
  CHxResImageList list(g_images.Handle(), L"PNG");
  EXPECT_EQ(list.Instance(), g_images.Handle());
  EXPECT_EQ(list.ResType(), CString(L"PNG"));
  Gdiplus::Image* logo = list.GetImage(L"LOGO");
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->GetWidth(), 3u);
  EXPECT_EQ(list.GetImage(L"LOGO"), logo);
  EXPECT_EQ(list.GetImage(L"BROKEN"), nullptr);
  EXPECT_EQ(list.GetImage(L"LATER"), nullptr);
  EXPECT_EQ(list.GetImage(nullptr), nullptr);
  g_images.AddResource(L"PNG", L"LATER", kRedPng, sizeof kRedPng);
  EXPECT_NE(list.GetImage(L"LATER"), nullptr);
  EXPECT_EQ(list.GetCount(), 3);

  // An application-bar item draws it centred when the window has no text.
  CHxAppBarStatic caption;
  caption.m_item.SetImageList(&list);
  caption.m_item.SetImage(L"LOGO");
  ASSERT_TRUE(caption.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 11, 10), &host, 8));
  const platform::gui::Image shot = platform::gui::CaptureClient(caption);
  EXPECT_EQ(shot.Pixel(4, 4), RGB(255, 0, 0));
  EXPECT_EQ(shot.Pixel(3, 4), RGB(0, 0, 0));   // no background painter: the bitmap's own black
}

}  // namespace
