// The window container's row layout and the control-state controller.
#include "shared/controls/hxwndcnt.h"
#include "shared/controls/tests/support.h"

namespace {

using controls_test::Fixture;
using controls_test::Host;

class Element : public CHxWnd {
 public:
  Element(CWnd* window, int width, int height) : m_window(window), m_width(width), m_height(height) {}
  CWnd* GetWnd() override { return m_window; }
  void GetSize(CSize& size) override {
    ++asked;
    size = CSize(m_width, m_height);
  }
  int asked = 0;

 private:
  CWnd* m_window;
  int m_width;
  int m_height;
};

CRect PlaceIn(CWnd& parent, CWnd& child) {
  CRect r;
  child.GetWindowRect(&r);
  parent.ScreenToClient(&r);
  return r;
}

class WndCntTest : public Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    ASSERT_TRUE(host.Make(600, 200));
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(children[i].Create(L"Static", L"", WS_CHILD | WS_VISIBLE, CRect(300, 100, 340, 130 + 10 * i), &host,
                                     static_cast<UINT>(100 + i)));
  }
  Host host;
  CWnd children[3];
};

TEST_F(WndCntTest, RowFromTwentyWithoutGapsAtOwnHeights) {
  Element a(&children[0], 50, 11), b(&children[1], 70, 12), c(&children[2], 30, 13);
  CHxWndCnt row;
  row.Add(&a);
  row.Add(&b);
  row.Add(&c);
  row.LineLayout();
  EXPECT_EQ(PlaceIn(host, children[0]), CRect(20, 0, 70, 30));
  EXPECT_EQ(PlaceIn(host, children[1]), CRect(70, 0, 140, 40));
  EXPECT_EQ(PlaceIn(host, children[2]), CRect(140, 0, 170, 50));
}

TEST_F(WndCntTest, CommonHeightAppliesToAll) {
  Element a(&children[0], 50, 11), b(&children[1], 70, 12);
  CHxWndCnt row;
  row.Add(&a);
  row.Add(&b);
  row.SetWndHeight(24);
  row.LineLayout();
  EXPECT_EQ(PlaceIn(host, children[0]), CRect(20, 0, 70, 24));
  EXPECT_EQ(PlaceIn(host, children[1]), CRect(70, 0, 140, 24));
}

TEST_F(WndCntTest, EmptyOrForgottenContainerChangesNothing) {
  CHxWndCnt row;
  row.LineLayout();
  Element a(&children[0], 50, 11);
  row.Add(&a);
  row.RemoveAll();
  row.LineLayout();
  EXPECT_EQ(a.asked, 0);
  EXPECT_EQ(PlaceIn(host, children[0]), CRect(300, 100, 340, 130));
}

TEST_F(WndCntTest, ElementWithoutWindowKeepsItsPlace) {
  CWnd none;
  Element a(&none, 40, 10), b(nullptr, 25, 10), c(&children[1], 60, 10);
  CHxWndCnt row;
  row.Add(&a);
  row.Add(&b);
  row.Add(&c);
  row.Add(nullptr);
  EXPECT_EQ(row.GetCount(), 3);
  row.LineLayout();
  EXPECT_EQ(PlaceIn(host, children[1]), CRect(85, 0, 145, 40));
}

class StateControllerTest : public Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    ASSERT_TRUE(host.Make());
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(buttons[i].Create(L"Button", L"", WS_CHILD | WS_VISIBLE | (i == 2 ? WS_DISABLED : 0),
                                    CRect(0, 0, 10, 10), &host, static_cast<UINT>(7 + i)));
  }
  Host host;
  CWnd buttons[3];
};

TEST_F(StateControllerTest, DisableBeforeEnableWins) {
  CHxCtrlStateController states(host.m_hWnd);
  states.Enable(7, false);
  states.Enable(7, true);
  EXPECT_TRUE(states.Disabled(7));
  EXPECT_TRUE(states.EnabledIds().empty());
  states.UpdateCtrlState();
  EXPECT_FALSE(buttons[0].IsWindowEnabled());
}

TEST_F(StateControllerTest, DisableAfterEnableTakesItOutOfTheEnabledList) {
  CHxCtrlStateController states(host.m_hWnd);
  states.Enable(7, true);
  states.Enable(7, true);
  states.Enable(8, true);
  EXPECT_EQ(states.EnabledIds(), (std::vector<UINT>{7, 7, 8}));
  states.Enable(7, false);
  states.Enable(7, false);
  EXPECT_EQ(states.EnabledIds(), (std::vector<UINT>{8}));
  EXPECT_EQ(states.DisabledIds(), (std::vector<UINT>{7}));
  states.Enable(9, true);
  states.UpdateCtrlState();
  EXPECT_FALSE(buttons[0].IsWindowEnabled());
  EXPECT_TRUE(buttons[1].IsWindowEnabled());
  EXPECT_TRUE(buttons[2].IsWindowEnabled());
}

TEST_F(StateControllerTest, UnknownControlsAndNoDialogAreHarmless) {
  CHxCtrlStateController states(host.m_hWnd);
  states.Enable(4711, false);
  states.Enable(4712, true);
  states.UpdateCtrlState();
  CHxCtrlStateController without(nullptr);
  without.Enable(7, false);
  without.UpdateCtrlState();
  EXPECT_TRUE(buttons[0].IsWindowEnabled());
}

}  // namespace
