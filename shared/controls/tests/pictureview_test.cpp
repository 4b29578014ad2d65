// The picture preview and the state picture.
#include <memory>
#include <string>

#include "framework/kdtools.h"
#include "shared/controls/hxpictureview.h"
#include "shared/controls/tests/support.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/pictures/pictures.h"

namespace {

using testpictures::StreamOf;

// What the preview showed while it was open.
struct Seen {
  CRect client;
  int displayWidth = 0, displayHeight = 0;
  platform::gui::Image image;
  std::wstring title;
};

class Preview : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    Fixture::TearDown();
  }
  Seen Show(const std::string& bytes, const wchar_t* title = L"podgląd") {
    Seen seen;
    Gdiplus::Bitmap bitmap(static_cast<IStream*>(StreamOf(bytes)));
    CHxGdiplusPictureViewDlg dialog(&bitmap, title);
    platform::gui::QueueModal(platform::gui::ModalScript(L"IDD_BMP_VIEW").Do([&](HWND h) {
      GetClientRect(h, &seen.client);
      seen.displayWidth = dialog.DisplayWidth();
      seen.displayHeight = dialog.DisplayHeight();
      seen.image = platform::gui::CaptureClient(h);
      wchar_t text[200] = {};
      GetWindowTextW(h, text, 200);
      seen.title = text;
    }));
    result = dialog.DoModal();
    return seen;
  }
  INT_PTR result = 0;
};

TEST_F(Preview, AWidePictureIsNarrowedToTheWorkArea) {
  const Seen seen = Show(testpictures::Quadrants("PNG", 3000, 500), L"lampa.jpg - 3000 x 500 (1.0 KB)");
  EXPECT_EQ(seen.displayWidth, 1024);
  EXPECT_EQ(seen.displayHeight, 170);
  EXPECT_EQ(seen.client, CRect(0, 0, 1024, 170));
  EXPECT_EQ(seen.title, L"lampa.jpg - 3000 x 500 (1.0 KB)");
  // Red on the left, blue on the right.
  EXPECT_TRUE(controls_test::Near(seen.image.Pixel(100, 80), RGB(255, 0, 0), 8));
  EXPECT_TRUE(controls_test::Near(seen.image.Pixel(900, 80), RGB(0, 0, 255), 8));
  // Centred on the desktop.
  const std::vector<platform::gui::ModalRun> runs = platform::gui::ModalRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].dialog, L"IDD_BMP_VIEW");
  EXPECT_EQ(runs[0].caption, L"lampa.jpg - 3000 x 500 (1.0 KB)");
}

TEST_F(Preview, ASmallPictureKeepsItsSizeCentredOnBlackInADoubledClientArea) {
  const Seen seen = Show(testpictures::Quadrants("PNG", 40, 30));
  EXPECT_EQ(seen.displayWidth, 40);
  EXPECT_EQ(seen.displayHeight, 30);
  EXPECT_EQ(seen.client, CRect(0, 0, 160, 120));
  EXPECT_EQ(seen.image.Pixel(10, 10), RGB(0, 0, 0));
  EXPECT_EQ(seen.image.Pixel(59, 60), RGB(0, 0, 0));
  EXPECT_EQ(seen.image.Pixel(100, 60), RGB(0, 0, 0));
  EXPECT_EQ(seen.image.Pixel(80, 44), RGB(0, 0, 0));
  EXPECT_TRUE(controls_test::Near(seen.image.Pixel(62, 50), RGB(255, 0, 0), 8));
  EXPECT_TRUE(controls_test::Near(seen.image.Pixel(97, 50), RGB(0, 0, 255), 8));
  EXPECT_EQ(seen.image.Pixel(80, 75), RGB(0, 0, 0));
}

TEST_F(Preview, ATallPictureFitsTheHeightAndNoSideComesBelowOnePixel) {
  const Seen tall = Show(testpictures::GrayPng(20, 2000, 90));
  EXPECT_EQ(tall.displayWidth, 7);   // 20 x 740 / 2000
  EXPECT_EQ(tall.displayHeight, 740);
  // One pixel wide and 16,000 high: the width would be 0 and the doubling would never end.
  const Seen thread = Show(testpictures::GrayPng(1, 16000, 90));
  EXPECT_EQ(thread.displayWidth, 1);
  EXPECT_EQ(thread.displayHeight, 740);
  EXPECT_EQ(thread.client.Width(), 128);
  EXPECT_EQ(thread.client.Height(), 740);   // no taller than the work area
  // A work area set by the test.
  platform::gui::SetWorkArea(RECT{0, 0, 400, 300});
  const Seen small = Show(testpictures::Quadrants("PNG", 800, 800));
  EXPECT_EQ(small.displayWidth, 300);
  EXPECT_EQ(small.displayHeight, 300);
}

TEST_F(Preview, ABitmapThatDidNotDecodeIsNotShown) {
  Show("nie obraz");
  EXPECT_EQ(result, IDCANCEL);
  Show("");
  CHxGdiplusPictureViewDlg none(nullptr, L"nic");
  EXPECT_EQ(none.DoModal(), IDCANCEL);
  EXPECT_TRUE(platform::gui::ModalRuns().empty());
}

// --- the state picture

class StatePicture : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    CoInitialize(nullptr);
    CHxInstance::SetInstance(doubles.instancePtr);
    doubles.instance->skinBitmaps[40] = {60, 20};   // three frames of 20 x 20
    doubles.instance->skinBitmaps[41] = {30, 10};
    ASSERT_TRUE(host.Make(200, 100));
    ASSERT_TRUE(picture.Create(CRect(10, 10, 50, 40), &host, 5));
  }
  void TearDown() override {
    picture.DestroyWindow();
    CHxInstance::SetInstance(nullptr);
    CoUninitialize();
    Fixture::TearDown();
  }
  doubles::HostDoubles doubles;
  controls_test::Host host;
  CStatePicture picture;
};

TEST_F(StatePicture, TheCurrentFrameIsDrawnTransparentlyInTheMiddleOfItsFrame) {
  doubles.recorder->Clear();
  picture.SetBitmap(40, 3);
  EXPECT_EQ(doubles.recorder->ArgsOf(L"IFlgSkin::LoadBitmap"), std::vector<std::wstring>{L"40,-1"});
  EXPECT_EQ(picture.FrameWidth(), 20);
  EXPECT_EQ(picture.FrameHeight(), 20);
  EXPECT_EQ(picture.CurrentFrame(), 0);
  picture.SetCurrBitmap(1, L"Wysłana");
  EXPECT_EQ(picture.CurrentFrame(), 1);
  const platform::gui::Image shown = platform::gui::CaptureClient(picture);
  // The client is 40 x 30: the frame lies at (10, 5); its column k shows the strip's column 20 + k.
  EXPECT_EQ(shown.Pixel(10 + 5, 10), RGB(25, 40, 0));
  EXPECT_EQ(shown.Pixel(10 + 19, 24), RGB(39, 40, 0));
  // The frame's first column is its transparent colour: the window colour shows through.
  EXPECT_EQ(shown.Pixel(10, 10), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(shown.Pixel(5, 10), GetSysColor(COLOR_WINDOW));
  // The outline in the button-face colour.
  EXPECT_EQ(shown.Pixel(0, 0), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(shown.Pixel(39, 29), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(platform::gui::TooltipText(picture), L"Wysłana");
  HWND tip = CKdTooltip::GetToolTip();
  ASSERT_TRUE(tip);
  EXPECT_TRUE(GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
  // One frame's size, in the same place.
  picture.SizeToContent();
  RECT r;
  GetWindowRect(picture, &r);
  EXPECT_EQ(CRect(r), CRect(50 + 10, 50 + 10, 50 + 30, 50 + 30));
}

TEST_F(StatePicture, AnIndexOutsideTheStripKeepsTheFrameButStillSetsTheTooltip) {
  picture.SetBitmap(40, 3);
  picture.SetCurrBitmap(2, L"Opłacona");
  picture.SetCurrBitmap(3, L"Nieznany stan");
  EXPECT_EQ(picture.CurrentFrame(), 2);
  EXPECT_EQ(platform::gui::TooltipText(picture), L"Nieznany stan");
  picture.SetCurrBitmap(-1, L"Ujemny");
  EXPECT_EQ(picture.CurrentFrame(), 2);
  EXPECT_EQ(platform::gui::TooltipText(picture), L"Ujemny");
  // The tooltip keeps one tool for the control.
  EXPECT_EQ(SendMessageW(CKdTooltip::GetToolTip(), TTM_GETTOOLCOUNT, 0, 0), 1);
}

TEST_F(StatePicture, TheStripIsReplacedAndReleasedAndBadStripsLoadNothing) {
  picture.SetBitmap(40, 3);
  HBITMAP first = picture.Strip();
  ASSERT_TRUE(first);
  picture.SetBitmap(41, 2);
  EXPECT_EQ(GetObjectType(first), 0u);   // deleted
  EXPECT_EQ(picture.FrameWidth(), 15);
  EXPECT_EQ(picture.FrameHeight(), 10);
  // Fewer than one frame: nothing is loaded and nothing is drawn.
  doubles.recorder->Clear();
  HBITMAP second = picture.Strip();
  picture.SetBitmap(40, 0);
  EXPECT_EQ(GetObjectType(second), 0u);
  EXPECT_EQ(doubles.recorder->Count(L"IFlgSkin::LoadBitmap"), 0);
  EXPECT_EQ(picture.Strip(), nullptr);
  EXPECT_EQ(picture.FrameWidth(), 0);
  picture.SetBitmap(40, -3);
  picture.SetCurrBitmap(0, L"pusty");
  const platform::gui::Image empty = platform::gui::CaptureClient(picture);
  EXPECT_EQ(empty.Pixel(20, 15), GetSysColor(COLOR_WINDOW));
  // A skin that refuses, or no skin: no strip, no error.
  picture.SetBitmap(99, 2);
  EXPECT_EQ(picture.Strip(), nullptr);
  doubles.recorder->FailOn(L"IFlgSkin::LoadBitmap", E_FAIL);
  picture.SetBitmap(40, 3);
  EXPECT_EQ(picture.Strip(), nullptr);
  doubles.instance->hidden.insert(L"IFlgSkin");
  picture.SetBitmap(40, 3);
  EXPECT_EQ(picture.Strip(), nullptr);
  // Clicks do nothing.
  platform::gui::DoubleClick(picture, 5, 5);
  EXPECT_EQ(host.commands.size(), 0u);
}

}  // namespace
