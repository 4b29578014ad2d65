// The task pane: layout with margins and gaps, invisible and fixed panels, folding, finding
// panels, clicks reaching the host through containers, creation that stops, and link drawing.
#include "shared/controls/hxpanel.h"
#include "shared/controls/tests/support.h"

namespace {

using controls_test::Host;
using controls_test::Near;

CHxTaskControl* Link(int id, int width, int height) {
  auto* link = new CHxTaskControl(id);
  link->SetDimensions(width, height);
  return link;
}

// A panel whose window cannot be made.
struct Failing : CHxWndPanelImpl {
  Failing() : CHxWndPanelImpl(77) {}
  BOOL Create(CWnd*) override { return FALSE; }
  HWND GetHWND() override { return nullptr; }
};

class Panels : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    ASSERT_TRUE(host.Make());
  }
  static CRect Placed(CWnd& w) {
    CRect r;
    w.GetWindowRect(&r);
    w.GetParent()->ScreenToClient(&r);
    return r;
  }
  Host host;
};

TEST_F(Panels, TheVerticalLayoutStacksWithMarginsAndGaps) {
  CHxWndPanel root;
  root.SetLayout(new CHxVerticalLayout(3));
  CHxTaskControl* a = Link(1, 100, 20);
  a->SetMarginTop(2);
  a->SetMarginLeft(5);
  a->SetMarginBottom(4);
  CHxTaskControl* b = Link(2, 80, 10);
  b->SetMargins(1);
  root.AddElement(a);
  root.AddElement(b);
  EXPECT_EQ(a->GetParentPanel(), &root);
  root.ComputeLayout();
  EXPECT_EQ(a->GetRect(), CRect(5, 2, 105, 22));
  EXPECT_EQ(b->GetRect(), CRect(1, 22 + 4 + 3 + 1, 81, 40));
  EXPECT_EQ(root.CalcRect(), CRect(1, 2, 105, 40));
  // Setting a layout deletes the one before; the default is a vertical one without a gap.
  CHxWndPanel plain;
  plain.AddElement(Link(3, 10, 10));
  plain.AddElement(Link(4, 10, 10));
  plain.ComputeLayout();
  ASSERT_NE(plain.GetLayout(), nullptr);
  EXPECT_EQ(static_cast<CHxVerticalLayout*>(plain.GetLayout())->Gap(), 0);
  EXPECT_EQ(plain.GetElement(1)->GetRect().top, 10);
}

TEST_F(Panels, InvisiblePanelsTakeNoRoomAndFixedOnesKeepTheirPlace) {
  CHxWndPanel root;
  root.SetLayout(new CHxVerticalLayout(5));
  CHxTaskControl* a = Link(1, 50, 10);
  CHxTaskControl* hidden = Link(2, 50, 10);
  hidden->SetMargins(7);
  hidden->SetVisible(false);
  CHxTaskControl* fixed = Link(3, 40, 12);
  fixed->SetRc(CRect(200, 100, 240, 112));
  fixed->SetMovable(false);
  root.AddElement(a);
  root.AddElement(hidden);
  root.AddElement(fixed);
  EXPECT_EQ(hidden->GetRect(), CRect());
  EXPECT_EQ(hidden->GetMarginTop(), 0);
  hidden->SetRc(CRect(1, 2, 3, 4));
  hidden->SetVisible(true);
  EXPECT_EQ(hidden->GetRect(), CRect(0, 0, 50, 10));   // the new rectangle was ignored
  hidden->SetVisible(false);
  root.ComputeLayout();
  EXPECT_EQ(a->GetRect(), CRect(0, 0, 50, 10));
  EXPECT_EQ(fixed->GetRect(), CRect(200, 100, 240, 112));
  // Made fixed with a window, a panel first takes the window's place.
  CHxTaskControl windowed(9);
  ASSERT_TRUE(windowed.Create(&host));
  windowed.MoveWindow(30, 40, 60, 15);
  windowed.SetMovable(false);
  EXPECT_EQ(windowed.GetRect(), CRect(30, 40, 90, 55));
  windowed.SetRc(CRect(0, 0, 10, 10));
  EXPECT_EQ(windowed.GetRect(), CRect(30, 40, 40, 50));
}

// A pane: two groups of a header and tasks in a root container inside the host window.
struct Pane {
  explicit Pane(CWnd& host) {
    root->SetSizingToContent(true);
    root->SetRc(CRect(10, 10, 10, 10));
    for (int g = 0; g < 2; ++g) {
      groups[g] = new CHxTaskPanel(100 + g);
      groups[g]->SetSizingToContent(true);
      auto* header = new CHxTaskGroup(200 + g);
      header->SetDimensions(150, 20);
      groups[g]->AddElement(header);
      for (int t = 0; t < 2; ++t) {
        links[g][t] = Link(300 + 10 * g + t, 150, 16);
        groups[g]->AddElement(links[g][t]);
      }
      root->AddElement(groups[g]);
    }
    created = root->Create(&host);
    root->ComputeLayout();
    root->ApplyLayout();
  }
  std::unique_ptr<CHxWndPanel> root = std::make_unique<CHxWndPanel>();
  CHxTaskPanel* groups[2];
  CHxTaskControl* links[2][2];
  BOOL created;
};

TEST_F(Panels, FoldingAGroupClosesTheStack) {
  Pane pane(host);
  ASSERT_TRUE(pane.created);
  CHxTaskPanel& first = *pane.groups[0];
  EXPECT_EQ(first.GetTaskCount(), 2);
  // Header 20 + bottom margin 5, then two tasks of 16.
  EXPECT_EQ(first.GetRect(), CRect(0, 0, 150, 57));
  EXPECT_EQ(pane.groups[1]->GetRect().top, 57);
  EXPECT_EQ(Placed(*pane.groups[1]), CRect(0, 57, 150, 114));
  EXPECT_EQ(Placed(*pane.root), CRect(10, 10, 160, 124));
  first.SwitchTasksVisible();
  EXPECT_FALSE(first.TasksVisible());
  EXPECT_FALSE(pane.links[0][1]->IsWindowVisible());
  // The folded group is its header's rectangle (the union of what shows).
  EXPECT_EQ(first.GetRect(), CRect(0, 0, 150, 20));
  EXPECT_EQ(Placed(*pane.groups[1]), CRect(0, 20, 150, 77));
  EXPECT_EQ(Placed(*pane.root), CRect(10, 10, 160, 87));
  first.SwitchTasksVisible();
  EXPECT_TRUE(pane.links[0][1]->IsWindowVisible());
  EXPECT_EQ(Placed(*pane.groups[1]).top, 57);
  // A group of only its header folds to itself.
  first.RemoveTasks();
  EXPECT_EQ(first.GetTaskCount(), 0);
  EXPECT_EQ(first.GetElementCount(), 1);
  first.SwitchTasksVisible();
  EXPECT_EQ(first.GetRect(), CRect(0, 0, 150, 20));
  CHxTaskPanel empty(5);
  EXPECT_EQ(empty.GetTaskCount(), 0);
  empty.RemoveTasks();
  empty.SwitchTasksVisible();
  EXPECT_EQ(empty.CalcRect(), CRect());
}

TEST_F(Panels, FindItemLooksThroughNestedContainers) {
  Pane pane(host);
  CHxWndPanel& root = *pane.root;
  EXPECT_EQ(root.Id(), 3450);
  EXPECT_EQ(root.FindItem(3450), &root);
  EXPECT_EQ(root.FindItem(101), pane.groups[1]);
  EXPECT_EQ(root.FindItem(311), pane.links[1][1]);
  EXPECT_EQ(root.FindItem(999), nullptr);
  EXPECT_EQ(pane.links[1][1]->GetRootPanel(), &root);
  // A parent chain that loops ends.
  CHxTaskControl loop(1);
  loop.SetParentPanel(&loop);
  EXPECT_EQ(loop.GetRootPanel(), &loop);
}

TEST_F(Panels, ALinksClickReachesTheHostThroughTwoContainers) {
  Pane pane(host);
  CHxTaskControl& link = *pane.links[1][0];
  EXPECT_EQ(link.GetDlgCtrlID(), 310);
  link.SetWindowText(L"Utwórz paczkę");
  EXPECT_EQ(link.GetCaption(), CString(L"Utwórz paczkę"));
  platform::gui::Click(link, 30, 5);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  DispatchPostedMessages();
  ASSERT_EQ(host.commands.size(), 1u);
  EXPECT_EQ(host.commands[0].first, 310u);
  EXPECT_EQ(host.commands[0].second, reinterpret_cast<LPARAM>(link.m_hWnd));
  // A disabled link takes no clicks.
  link.SetEnabled(false);
  EXPECT_FALSE(link.IsWindowEnabled());
  platform::gui::Click(link, 30, 5);
  DispatchPostedMessages();
  EXPECT_EQ(host.commands.size(), 1u);
}

TEST_F(Panels, CreationStopsAtTheFirstElementThatFails) {
  CHxWndPanel root;
  CHxTaskControl* a = Link(1, 10, 10);
  CHxTaskControl* b = Link(2, 10, 10);
  CHxTaskControl* d = Link(4, 10, 10);
  root.AddElement(a);
  root.AddElement(b);
  root.AddElement(new Failing);
  root.AddElement(d);
  EXPECT_FALSE(root.Create(&host));
  EXPECT_TRUE(root.m_hWnd != nullptr);
  EXPECT_TRUE(a->m_hWnd && b->m_hWnd);
  EXPECT_EQ(d->m_hWnd, nullptr);
  EXPECT_FALSE(CHxWndPanel().Create(nullptr));
  EXPECT_FALSE(CHxTaskControl(5).Create(nullptr));
}

TEST_F(Panels, WindowsGoneBeforeTheirPanelsAndEmptyContainersAreHarmless) {
  auto pane = std::make_unique<Pane>(host);
  host.DestroyWindow();
  pane->root->ComputeLayout();
  pane->root->ApplyLayout();
  EXPECT_EQ(pane->links[0][0]->GetCaption(), CString());
  pane.reset();
  CHxWndPanel empty;
  empty.ComputeLayout();
  empty.ApplyLayout();
  EXPECT_EQ(empty.CalcRect(), CRect());
  EXPECT_EQ(empty.FindItem(1), nullptr);
}

// The darkest pixel of a window, and the longest unbroken run of inked (not white) pixels in a row.
struct Ink {
  COLORREF darkest = RGB(255, 255, 255);
  int longestRun = 0;
};
Ink InkOf(HWND window, int fromX) {
  const platform::gui::Image shot = platform::gui::CaptureClient(window);
  Ink ink;
  auto level = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
  for (int y = 0; y < shot.Height(); ++y)
    for (int x = fromX; x < shot.Width(); ++x)
      if (level(shot.Pixel(x, y)) < level(ink.darkest)) ink.darkest = shot.Pixel(x, y);
  for (int y = 0; y < shot.Height(); ++y) {
    int run = 0;
    for (int x = fromX; x < shot.Width(); ++x) {
      run = level(shot.Pixel(x, y)) < 3 * 250 ? run + 1 : 0;
      ink.longestRun = std::max(ink.longestRun, run);
    }
  }
  return ink;
}

TEST_F(Panels, LinksAreDrawnInTheirColoursAndUnderlinedUnderThePointer) {
  CHxTaskControl link(1);
  ASSERT_TRUE(link.Create(&host));
  link.MoveWindow(0, 0, 200, 20);
  link.SetWindowText(L"Pokaż transakcję");
  const Ink plain = InkOf(link, 20);
  EXPECT_TRUE(Near(plain.darkest, CHxTaskControl::kLinkColor, 40)) << std::hex << plain.darkest;
  EXPECT_LT(plain.longestRun, 30);
  platform::gui::MouseMove(link, 50, 5);
  ASSERT_TRUE(link.MouseMgr().MouseOver());
  const Ink hovered = InkOf(link, 20);
  EXPECT_GT(hovered.longestRun, 60);   // the underline runs under the whole text
  platform::gui::MouseLeave();
  EXPECT_LT(InkOf(link, 20).longestRun, 30);
  link.SetEnabled(false);
  const Ink disabled = InkOf(link, 20);
  EXPECT_TRUE(Near(disabled.darkest, GetSysColor(COLOR_BTNSHADOW), 40)) << std::hex << disabled.darkest;
  // Emphasised text is wider; the icon is the link's and the one it replaces goes.
  const int narrow = link.TextWidth();
  link.SetEmph(true);
  EXPECT_GT(link.TextWidth(), narrow);
  HBITMAP first = CreateBitmap(16, 16, 1, 32, nullptr), second = CreateBitmap(16, 16, 1, 32, nullptr);
  link.SetIcon(first);
  link.SetIcon(first);
  EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
  link.SetIcon(second);
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(link.GetIcon(), second);
}

TEST_F(Panels, AHeaderPaintsItsBackgroundAndCaption) {
  CHxTaskGroup header(1);
  EXPECT_EQ(header.GetMarginBottom(), 5);
  header.SetBkgndColor(RGB(214, 223, 247));
  header.SetTextColor(RGB(10, 36, 106));
  ASSERT_TRUE(header.Create(&host));
  header.MoveWindow(0, 0, 150, 20);
  header.SetWindowText(L"Zadania");
  const platform::gui::Image shot = platform::gui::CaptureClient(header);
  EXPECT_EQ(shot.Pixel(140, 2), RGB(214, 223, 247));
  const Ink ink = InkOf(header, 0);
  EXPECT_TRUE(Near(ink.darkest, RGB(10, 36, 106), 40)) << std::hex << ink.darkest;
}

}  // namespace
