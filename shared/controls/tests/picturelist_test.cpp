// The picture list: its cells, scroll bars, scrolling, keys, dragging, the preview on a double
// click, and the ownership of its pictures.
#include <memory>
#include <string>
#include <vector>

#include "shared/controls/hximagelist.h"
#include "shared/controls/hxpictureview.h"
#include "shared/controls/tests/support.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/pictures/pictures.h"

namespace {

using testpictures::StreamOf;

// A picture of a fixed side that fills whatever it is given in its colour and counts deletions.
class Swatch : public CHxImageAbstr {
 public:
  Swatch(int side, COLORREF color, int* deleted = nullptr) : m_side(side), m_color(color), m_deleted(deleted) {}
  ~Swatch() override {
    if (m_deleted) ++*m_deleted;
  }
  int Width() override { return m_side; }
  int Height() override { return m_side; }
  CString Name() override { return L"swatch"; }
  void Draw(CDC& dc, const CRect& rect, bool selected) override {
    // Far beyond its cell: the list's clipping keeps it inside.
    dc.FillSolidRect(CRect(rect.left - 500, rect.top - 500, rect.right + 500, rect.bottom + 500), m_color);
    if (selected) dc.FillSolidRect(CRect(0, 0, 4, 4), RGB(0, 0, 0));
    drawnAt = rect;
  }
  CRect drawnAt;

 private:
  int m_side;
  COLORREF m_color;
  int* m_deleted;
};

// The parent: records the list's notifications.
class Parent : public controls_test::Host {
 public:
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_NOTIFY) {
      const auto* header = reinterpret_cast<NMHDR*>(lParam);
      notes.push_back({wParam, *header});
    }
    return Host::OnWndMsg(message, wParam, lParam, result);
  }
  std::vector<std::pair<WPARAM, NMHDR>> notes;
};

class PictureList : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    CoInitialize(nullptr);
    CHxInstance::SetInstance(doubles.instancePtr);
    SetBox(100, 75);
    ASSERT_TRUE(parent.Make(600, 400));
  }
  void TearDown() override {
    list.reset();
    CHxInstance::SetInstance(nullptr);
    CoUninitialize();
    Fixture::TearDown();
  }
  void SetBox(LONG cx, LONG cy) { controls_test::SetThumbnailBox(*doubles.instance, cx, cy); }
  CImageListCtrl& Make(int width, int height) {
    list = std::make_unique<CImageListCtrl>();
    EXPECT_TRUE(list->Create(WS_VISIBLE, CRect(10, 10, 10 + width, 10 + height), &parent, 77));
    return *list;
  }
  std::vector<Swatch*> Swatches(int count, int side = 100, int* deleted = nullptr) {
    std::vector<Swatch*> out;
    for (int i = 0; i < count; ++i) {
      out.push_back(new Swatch(side, RGB(10 + i * 20, 100, 200), deleted));
      list->AddImage(out.back());
    }
    return out;
  }
  CHxImageWithId* WithId(LONG id) {
    IStreamPtr stream = StreamOf(testpictures::Quadrants("PNG", 64, 48));
    auto* image = new CHxImageWithId(id, (L"p" + std::to_wstring(id)).c_str(), stream, 64, 48, 2048);
    list->AddImage(image);
    return image;
  }
  static CRect Cell(CImageListCtrl& l, CHxImageAbstr* image) {
    const CPoint o = l.GetOrigin(image);
    return CRect(o.x, o.y, o.x + image->Width(), o.y + image->Width());
  }
  static SCROLLINFO Bar(CWnd& w, int bar) {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    w.GetScrollInfo(bar, &info);
    return info;
  }
  static CRect Client(CWnd& w) {
    CRect r;
    w.GetClientRect(&r);
    return r;
  }
  void Key(UINT key) { list->SendMessage(WM_KEYDOWN, key, 1); }

  doubles::HostDoubles doubles;
  Parent parent;
  std::unique_ptr<CImageListCtrl> list;
};

// --- cells

TEST_F(PictureList, CellsFollowTheModeAndWrapAtTheClientWidth) {
  CImageListCtrl& l = Make(350, 300);
  const std::vector<Swatch*> s = Swatches(4);
  // A new list wraps: three cells in the first row, the fourth below.
  EXPECT_EQ(Cell(l, s[0]), CRect(0, 0, 100, 100));
  EXPECT_EQ(Cell(l, s[2]), CRect(200, 0, 300, 100));
  EXPECT_EQ(Cell(l, s[3]), CRect(0, 100, 100, 200));
  EXPECT_EQ(l.CalcWidth(), 300);
  EXPECT_EQ(l.CalcHeight(), 200);
  l.SetMode(CImageListCtrl::lmHorizontal);
  EXPECT_EQ(Cell(l, s[3]), CRect(300, 0, 400, 100));
  EXPECT_EQ(l.CalcWidth(), 400);
  l.SetMode(CImageListCtrl::lmVertical);
  EXPECT_EQ(Cell(l, s[3]), CRect(0, 300, 100, 400));
  EXPECT_EQ(l.CalcHeight(), 400);
  // Cells are squares of the picture's width.
  Swatch* wide = new Swatch(150, RGB(1, 1, 1));
  l.AddImage(wide);
  EXPECT_EQ(Cell(l, wide), CRect(0, 400, 150, 550));
  EXPECT_EQ(l.ImageIndex(wide), 4);
  Swatch stranger(10, 0);
  EXPECT_EQ(l.ImageIndex(&stranger), -1);
  EXPECT_EQ(l.GetOrigin(&stranger), CPoint(0, 0));
}

TEST_F(PictureList, NarrowerThanACellEveryPictureStartsItsOwnRow) {
  CImageListCtrl& l = Make(60, 500);
  const std::vector<Swatch*> s = Swatches(3);
  EXPECT_EQ(Cell(l, s[0]), CRect(0, 0, 100, 100));
  EXPECT_EQ(Cell(l, s[1]), CRect(0, 100, 100, 200));
  EXPECT_EQ(Cell(l, s[2]), CRect(0, 200, 100, 300));
}

// --- scroll bars

TEST_F(PictureList, BarsAreShownAsTheContentNeedsThemOneBringingTheOther) {
  CImageListCtrl& l = Make(300, 140);
  l.SetMode(CImageListCtrl::lmHorizontal);
  list->AddImage(new Swatch(100, RGB(9, 9, 9)));
  list->AddImage(new Swatch(100, RGB(9, 9, 9)));
  EXPECT_FALSE(l.GetStyle() & (WS_HSCROLL | WS_VSCROLL));
  // A third cell fills the width exactly: still no bar.
  list->AddImage(new Swatch(100, RGB(9, 9, 9)));
  EXPECT_FALSE(l.GetStyle() & (WS_HSCROLL | WS_VSCROLL));
  // A fourth: wider than the client; the bar's height still leaves room for the row.
  Swatch* fourth = new Swatch(100, RGB(9, 9, 9));
  list->AddImage(fourth);
  EXPECT_EQ(l.GetStyle() & (WS_HSCROLL | WS_VSCROLL), static_cast<DWORD>(WS_HSCROLL));
  SCROLLINFO h = Bar(l, SB_HORZ);
  EXPECT_EQ(h.nMin, 0);
  EXPECT_EQ(h.nMax, 399);
  EXPECT_EQ(h.nPage, 300u);
  EXPECT_TRUE(platform::gui::ScrollBarEnabled(l, SB_HORZ));
  EXPECT_EQ(Client(l), CRect(0, 0, 300, 140 - 17));
  l.RemoveImage(fourth);
  EXPECT_FALSE(l.GetStyle() & (WS_HSCROLL | WS_VSCROLL));
  // A taller cell: the vertical bar takes 17 pixels of width, and then the row of 300 no longer
  // fits: the horizontal bar follows.
  list->AddImage(new Swatch(150, RGB(9, 9, 9)));
  l.RemoveImage(l.InnerImageList().front());
  l.RemoveImage(l.InnerImageList().front());
  list->AddImage(new Swatch(50, RGB(9, 9, 9)));
  ASSERT_EQ(l.CalcWidth(), 300);
  ASSERT_EQ(l.CalcHeight(), 150);
  EXPECT_EQ(l.GetStyle() & (WS_HSCROLL | WS_VSCROLL), static_cast<DWORD>(WS_HSCROLL | WS_VSCROLL));
  EXPECT_EQ(Client(l), CRect(0, 0, 283, 123));
  h = Bar(l, SB_HORZ);
  const SCROLLINFO v = Bar(l, SB_VERT);
  EXPECT_EQ(h.nMax, 299);
  EXPECT_EQ(h.nPage, 283u);
  EXPECT_EQ(v.nMax, 149);
  EXPECT_EQ(v.nPage, 123u);
  // Scrolled away, then emptied: no bars, and the positions are back at 0.
  l.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  EXPECT_EQ(l.GetScrollPos(SB_HORZ), 17);
  l.RemoveAll();
  EXPECT_FALSE(l.GetStyle() & (WS_HSCROLL | WS_VSCROLL));
  EXPECT_EQ(l.GetScrollPos(SB_HORZ), 0);
  EXPECT_EQ(Client(l), CRect(0, 0, 300, 140));
}

TEST_F(PictureList, ScrollingMovesByTenthsAndPagesAndPaintsTheShiftedCells) {
  CImageListCtrl& l = Make(300, 200);
  l.SetMode(CImageListCtrl::lmVertical);
  const std::vector<Swatch*> s = Swatches(10);
  ASSERT_TRUE(l.GetStyle() & WS_VSCROLL);
  auto scroll = [&](UINT code, int position = 0) {
    l.SendMessage(WM_VSCROLL, MAKEWPARAM(code, position), 0);
    return l.GetScrollPos(SB_VERT);
  };
  EXPECT_EQ(scroll(SB_LINEDOWN), 20);
  EXPECT_EQ(scroll(SB_PAGEDOWN), 220);
  EXPECT_EQ(scroll(SB_LINEUP), 200);
  EXPECT_EQ(scroll(SB_PAGEUP), 0);
  EXPECT_EQ(scroll(SB_THUMBTRACK, 530), 530);
  EXPECT_EQ(scroll(SB_ENDSCROLL), 530);
  EXPECT_EQ(scroll(SB_BOTTOM), 800);     // the range's end held at max - (page - 1)
  EXPECT_EQ(scroll(SB_THUMBPOSITION, 150), 150);
  // The cell under a point is found with the scroll position; the painting shows it there.
  EXPECT_EQ(l.ImageFromPoint(CPoint(20, 10)), s[1]);
  EXPECT_EQ(l.ImageFromPoint(CPoint(20, 60)), s[2]);
  EXPECT_EQ(l.ImageFromPoint(CPoint(150, 60)), nullptr);
  platform::gui::Image shown = platform::gui::CaptureClient(l);
  EXPECT_EQ(shown.Pixel(20, 10), RGB(30, 100, 200));
  EXPECT_EQ(shown.Pixel(20, 60), RGB(50, 100, 200));
  // Outside the cells: the window colour (the swatches' oversized fills are clipped).
  EXPECT_EQ(shown.Pixel(150, 60), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(shown.Pixel(100, 10), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(s[1]->drawnAt, CRect(0, 0, 100, 100));
  EXPECT_EQ(scroll(SB_TOP), 0);
  // The wheel: a line down towards the user, up otherwise.
  platform::gui::MouseWheel(l, 5, 5, -WHEEL_DELTA);
  EXPECT_EQ(l.GetScrollPos(SB_VERT), 20);
  platform::gui::MouseWheel(l, 5, 5, WHEEL_DELTA);
  EXPECT_EQ(l.GetScrollPos(SB_VERT), 0);
  EXPECT_EQ(l.SendMessage(WM_GETDLGCODE), 0x2001);
}

// --- keys

TEST_F(PictureList, KeysWrapRoundTheListAndNotifyTheParent) {
  CImageListCtrl& l = Make(300, 200);
  l.SetMode(CImageListCtrl::lmVertical);
  const std::vector<Swatch*> s = Swatches(4);
  Key(VK_DOWN);   // nothing selected: the first
  EXPECT_EQ(l.GetCurSel(), s[0]);
  Key(VK_UP);     // before the first: the last
  EXPECT_EQ(l.GetCurSel(), s[3]);
  EXPECT_EQ(l.GetScrollPos(SB_VERT), l.GetScrollLimit(SB_VERT));   // scrolled towards it
  Key(VK_RIGHT);  // after the last: the first
  EXPECT_EQ(l.GetCurSel(), s[0]);
  EXPECT_EQ(l.GetScrollPos(SB_VERT), 0);
  Key(VK_NEXT);
  Key(VK_NEXT);
  EXPECT_EQ(l.GetCurSel(), s[2]);
  Key(VK_PRIOR);
  Key(VK_LEFT);
  EXPECT_EQ(l.GetCurSel(), s[0]);
  EXPECT_EQ(l.Selection().size(), 1u);
  // End adds the last picture to the selection, once.
  Key(VK_END);
  Key(VK_END);
  EXPECT_EQ(l.Selection(), (std::list<CHxImageAbstr*>{s[0], s[3]}));
  Key(VK_HOME);
  EXPECT_EQ(l.Selection().size(), 2u);
  l.DeselectAll();
  Key(VK_HOME);
  EXPECT_EQ(l.GetCurSel(), s[0]);
  // Insert and Delete go to the parent with the control's header.
  Key(VK_INSERT);
  Key(VK_DELETE);
  ASSERT_EQ(parent.notes.size(), 2u);
  EXPECT_EQ(parent.notes[0].first, 77u);
  EXPECT_EQ(parent.notes[0].second.hwndFrom, l.m_hWnd);
  EXPECT_EQ(parent.notes[0].second.idFrom, 77u);
  EXPECT_EQ(parent.notes[0].second.code, 8001u);
  EXPECT_EQ(parent.notes[1].second.code, 8000u);
  // An empty list takes every key without a selection.
  l.RemoveAll();
  for (UINT k : {VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_LEFT, VK_RIGHT, VK_HOME, VK_END}) Key(k);
  EXPECT_EQ(l.GetCurSel(), nullptr);
}

// --- the mouse

TEST_F(PictureList, DraggingMovesTheSelectionAfterOrBeforeTheTarget) {
  CImageListCtrl& l = Make(500, 120);
  l.SetMode(CImageListCtrl::lmHorizontal);
  CHxImageWithId* a = WithId(1);
  CHxImageWithId* b = WithId(2);
  CHxImageWithId* c = WithId(3);
  CHxImageWithId* d = WithId(4);
  auto order = [&] { return std::vector<CHxImageAbstr*>(l.InnerImageList().begin(), l.InnerImageList().end()); };
  platform::gui::MouseDown(l, 50, 50);   // on a
  EXPECT_EQ(l.GetCurSel(), a);
  EXPECT_EQ(::GetFocus(), l.m_hWnd);
  platform::gui::MouseMove(l, 250, 50);  // over c, which a stood before: a goes after it
  EXPECT_EQ(order(), (std::vector<CHxImageAbstr*>{b, c, a, d}));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZEALL));
  platform::gui::MouseMove(l, 50, 50);   // over b, which a stands after: a goes before it
  EXPECT_EQ(order(), (std::vector<CHxImageAbstr*>{a, b, c, d}));
  platform::gui::MouseMove(l, 450, 50);  // over no picture: nothing
  EXPECT_EQ(order(), (std::vector<CHxImageAbstr*>{a, b, c, d}));
  platform::gui::MouseUp(l, 450, 50);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  platform::gui::MouseMove(l, 350, 50);  // not dragging any more
  EXPECT_EQ(order(), (std::vector<CHxImageAbstr*>{a, b, c, d}));
  // A press beside the pictures clears the selection and drags nothing.
  platform::gui::MouseDown(l, 450, 50);
  EXPECT_EQ(l.GetCurSel(), nullptr);
  platform::gui::MouseMove(l, 50, 50);
  platform::gui::MouseUp(l, 50, 50);
  EXPECT_EQ(order(), (std::vector<CHxImageAbstr*>{a, b, c, d}));
  // A picture without an id is no target.
  Swatch* plain = new Swatch(100, RGB(0, 0, 0));
  l.AddImage(plain);
  platform::gui::MouseDown(l, 50, 50);
  platform::gui::MouseMove(l, 450, 50);
  platform::gui::MouseUp(l, 450, 50);
  EXPECT_EQ(l.ImageIndex(a), 0);
}

TEST_F(PictureList, ADoubleClickShowsTheRepositoryPictureTitledWithItsSize) {
  IUnknownPtr holder;
  doubles::FakeImageRepository* repository = doubles::FakeImageRepository::New(doubles.recorder, holder);
  repository->pictures[7] = {L"lampa.jpg", testpictures::Quadrants("JPEG", 640, 480), 640, 480, 12595};
  repository->pictures[8] = {L"zepsuty.jpg", "nie obraz", 10, 10, 9};
  doubles.instance->imageRepository = holder;
  CImageListCtrl& l = Make(500, 120);
  l.SetMode(CImageListCtrl::lmHorizontal);
  WithId(7);
  WithId(8);
  WithId(9);
  doubles.recorder->Clear();
  platform::gui::DoubleClick(l, 50, 50);
  const std::vector<std::wstring> expected = {L"IHxAppServices::GetImageRepository()",
                                              L"IHxImageRepository::EndTransaction(0)",
                                              L"IHxImageRepository::GetPicture(7)"};
  EXPECT_EQ(doubles.recorder->Calls(), expected);
  std::vector<platform::gui::ModalRun> runs = platform::gui::ModalRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].dialog, L"IDD_BMP_VIEW");
  EXPECT_EQ(runs[0].caption, L"lampa.jpg - 640 x 480 (12.3 KB)");
  // Bytes that do not decode, and a picture the repository does not have: no preview.
  platform::gui::DoubleClick(l, 150, 50);
  platform::gui::DoubleClick(l, 250, 50);
  EXPECT_EQ(platform::gui::ModalRuns().size(), 1u);
  EXPECT_EQ(doubles.recorder->ArgsOf(L"IHxImageRepository::GetPicture"), (std::vector<std::wstring>{L"7", L"8", L"9"}));
  // A failing repository is dropped.
  doubles.recorder->FailOn(L"IHxImageRepository::GetPicture", E_FAIL);
  platform::gui::DoubleClick(l, 50, 50);
  doubles.recorder->FailOn(L"IHxAppServices::GetImageRepository", E_FAIL);
  platform::gui::DoubleClick(l, 50, 50);
  EXPECT_EQ(platform::gui::ModalRuns().size(), 1u);
  // A picture without an id opens nothing.
  doubles.recorder->ClearFailures();
  doubles.recorder->Clear();
  l.RemoveAll();
  l.AddImage(new Swatch(100, 0));
  platform::gui::DoubleClick(l, 50, 50);
  EXPECT_EQ(doubles.recorder->Count(L"IHxImageRepository::GetPicture"), 0);
}

// --- ownership

TEST_F(PictureList, PicturesAreDeletedExactlyOnce) {
  int deleted = 0;
  Make(300, 200);
  std::vector<Swatch*> s = Swatches(4, 100, &deleted);
  list->AddImage(s[0]);   // already there: not a second time
  list->AddImage(nullptr);
  EXPECT_EQ(list->InnerImageList().size(), 4u);
  list->Select(s[1]);
  list->RemoveImage(s[1]);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(list->GetCurSel(), nullptr);
  list->RemoveImage(s[1]);   // gone already: left alone
  Swatch stranger(100, 0, &deleted);
  list->RemoveImage(&stranger);
  EXPECT_EQ(deleted, 1);
  list->RemoveAll();
  EXPECT_EQ(deleted, 4);
  s = Swatches(2, 100, &deleted);
  list->DestroyWindow();
  EXPECT_EQ(deleted, 6);
  s = Swatches(3, 100, &deleted);   // a list without a window still owns what it holds
  list.reset();
  EXPECT_EQ(deleted, 9);
}

}  // namespace
