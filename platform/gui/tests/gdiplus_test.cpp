// Blending, arcs, transparent copies, and the GDI+ paths, text and images over the headless DCs.
#include <gtest/gtest.h>

#include <Magick++.h>

#include <cstdlib>

#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"
#include "platform/gui/headless.h"
#include "testing/support/canvas.h"

namespace {

using testutil::Canvas;

bool Near(COLORREF a, COLORREF b, int tolerance = 2) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
};

TEST_F(Drawing, ConstantAlphaBlendsChannelByChannel) {
  Canvas target(4, 4, RGB(0, 0, 0)), source(4, 4, RGB(255, 100, 0));
  BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
  ASSERT_TRUE(AlphaBlend(target.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, 2, half));
  EXPECT_EQ(target.At(0, 0), RGB(128, 50, 0));
  EXPECT_EQ(target.At(2, 2), RGB(0, 0, 0));   // outside the rectangle
  BLENDFUNCTION opaque{AC_SRC_OVER, 0, 255, 0}, none{AC_SRC_OVER, 0, 0, 0};
  AlphaBlend(target.dc, 2, 0, 1, 1, source.dc, 0, 0, 1, 1, opaque);
  EXPECT_EQ(target.At(2, 0), RGB(255, 100, 0));
  AlphaBlend(target.dc, 3, 0, 1, 1, source.dc, 0, 0, 1, 1, none);
  EXPECT_EQ(target.At(3, 0), RGB(0, 0, 0));
  BLENDFUNCTION perPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_FALSE(AlphaBlend(target.dc, 0, 0, 1, 1, source.dc, 0, 0, 1, 1, perPixel));
}

TEST_F(Drawing, TransparentCopiesLeaveTheKeyColourOut) {
  Canvas target(3, 1, RGB(0, 0, 255)), source(3, 1, RGB(255, 0, 255));
  SetPixel(source.dc, 1, 0, RGB(10, 20, 30));
  ASSERT_TRUE(TransparentBlt(target.dc, 0, 0, 3, 1, source.dc, 0, 0, 3, 1, RGB(255, 0, 255)));
  EXPECT_EQ(target.At(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(target.At(1, 0), RGB(10, 20, 30));
}

TEST_F(Drawing, ArcsRunCounterClockwiseFromStartToEnd) {
  Canvas c(20, 20);
  // The upper half of the circle in (0, 0)-(20, 20): from the right radial to the left one.
  ASSERT_TRUE(Arc(c.dc, 0, 0, 20, 20, 20, 10, 0, 10));
  EXPECT_EQ(c.At(10, 0), RGB(0, 0, 0));
  EXPECT_EQ(c.At(10, 19), RGB(255, 255, 255));
  EXPECT_EQ(c.At(10, 10), RGB(255, 255, 255));
  Canvas d(20, 20);
  Arc(d.dc, 0, 0, 20, 20, 0, 10, 20, 10);   // the other way round: the lower half
  EXPECT_EQ(d.At(10, 19), RGB(0, 0, 0));
  EXPECT_EQ(d.At(10, 0), RGB(255, 255, 255));
}

TEST_F(Drawing, PathsOfArcsAndLinesFillWithBlendedColours) {
  Canvas c(20, 20);
  Gdiplus::Graphics g(c.dc.m_hDC);
  Gdiplus::GraphicsPath path;
  EXPECT_EQ(path.AddArc(0, 0, 0, 10, 0.0f, 90.0f), Gdiplus::InvalidParameter);
  EXPECT_EQ(path.GetLastStatus(), Gdiplus::InvalidParameter);
  EXPECT_EQ(path.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(path.GetSegmentCount(), 0);
  // A square with one round corner (top left, radius 8).
  path.AddArc(0, 0, 16, 16, 180.0f, 90.0f);
  path.AddLine(19, 0, 19, 19);
  path.AddLine(0, 19, 0, 8);
  path.CloseFigure();
  Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
  ASSERT_EQ(g.FillPath(&black, &path), Gdiplus::Ok);
  EXPECT_EQ(c.At(0, 0), RGB(255, 255, 255));   // cut off by the arc
  EXPECT_EQ(c.At(18, 1), RGB(0, 0, 0));
  EXPECT_EQ(c.At(10, 10), RGB(0, 0, 0));
  EXPECT_EQ(g.FillPath(nullptr, &path), Gdiplus::InvalidParameter);
  EXPECT_EQ(g.GetLastStatus(), Gdiplus::InvalidParameter);

  Canvas d(4, 4, RGB(0, 0, 0));
  Gdiplus::Graphics h(d.dc.m_hDC);
  Gdiplus::GraphicsPath square;
  square.AddRectangle(Gdiplus::RectF(0, 0, 4, 4));
  Gdiplus::SolidBrush translucent(Gdiplus::Color(64, 255, 255, 255));
  h.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  ASSERT_EQ(h.FillPath(&translucent, &square), Gdiplus::Ok);
  EXPECT_TRUE(Near(d.At(1, 1), RGB(64, 64, 64))) << std::hex << d.At(1, 1);
}

TEST_F(Drawing, FontFamiliesComeFromTheLayersTable) {
  Gdiplus::FontFamily unknown(L"Trebuchet MS");
  EXPECT_EQ(unknown.GetLastStatus(), Gdiplus::FontFamilyNotFound);
  Gdiplus::Font fromUnknown(L"Trebuchet MS", 10);
  EXPECT_FALSE(fromUnknown.IsAvailable());
  Gdiplus::FontFamily serif(L"dejavu SERIF");
  EXPECT_TRUE(serif.IsAvailable());
  WCHAR name[32];
  serif.GetFamilyName(name);
  EXPECT_STREQ(name, L"DejaVu Serif");
  Gdiplus::Font points(Gdiplus::FontFamily::GenericSansSerif(), 9, Gdiplus::FontStyleBold);
  EXPECT_TRUE(points.IsAvailable());
  EXPECT_FLOAT_EQ(points.EmPixels(), 12.0f);
  Gdiplus::Font bad(Gdiplus::FontFamily::GenericSansSerif(), 0);
  EXPECT_EQ(bad.GetLastStatus(), Gdiplus::InvalidParameter);
}

TEST_F(Drawing, StringsAreMeasuredAndAlignedInTheirRectangle) {
  Canvas c(200, 40);
  Gdiplus::Graphics g(c.dc.m_hDC);
  Gdiplus::Font regular(Gdiplus::FontFamily::GenericSansSerif(), 10);
  Gdiplus::Font bold(Gdiplus::FontFamily::GenericSansSerif(), 10, Gdiplus::FontStyleBold);
  Gdiplus::Font underlined(Gdiplus::FontFamily::GenericSansSerif(), 10, Gdiplus::FontStyleUnderline);
  Gdiplus::RectF plain, heavy, lined;
  const Gdiplus::RectF none;
  ASSERT_EQ(g.MeasureString(L"Zamówienia", -1, &regular, none, nullptr, &plain), Gdiplus::Ok);
  g.MeasureString(L"Zamówienia", -1, &bold, none, nullptr, &heavy);
  g.MeasureString(L"Zamówienia", -1, &underlined, none, nullptr, &lined);
  EXPECT_GT(plain.Width, 40.0f);
  EXPECT_GT(plain.Height, 10.0f);
  EXPECT_GT(heavy.Width, plain.Width);
  EXPECT_FLOAT_EQ(lined.Width, plain.Width);
  EXPECT_EQ(g.MeasureString(L"x", -1, &bold, none, nullptr, nullptr), Gdiplus::InvalidParameter);

  Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
  Gdiplus::StringFormat right;
  right.SetAlignment(Gdiplus::StringAlignmentFar);
  right.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  ASSERT_EQ(g.DrawString(L"WWW", -1, &bold, Gdiplus::RectF(0, 0, 200, 40), &right, &black), Gdiplus::Ok);
  auto inked = [&](int x0, int x1) {
    for (int x = x0; x < x1; ++x)
      for (int y = 0; y < 40; ++y)
        if (c.At(x, y) != RGB(255, 255, 255)) return true;
    return false;
  };
  EXPECT_FALSE(inked(0, 150));
  EXPECT_TRUE(inked(170, 200));
  EXPECT_EQ(g.DrawString(L"x", -1, &bold, Gdiplus::RectF(0, 0, 10, 10), nullptr, nullptr), Gdiplus::InvalidParameter);
}

// A picture of the named format: the left column red and opaque, the right blue and transparent.
std::string Encoded(const char* format) {
  Magick::InitializeMagick(nullptr);
  Magick::Image picture(Magick::Geometry(2, 3), Magick::Color("red"));
  picture.type(Magick::TrueColorMatteType);
  picture.matte(true);
  for (int y = 0; y < 3; ++y) picture.pixelColor(1, y, Magick::Color("#0000FF00"));
  Magick::Blob blob;
  picture.magick(format);
  picture.write(&blob);
  return std::string(static_cast<const char*>(blob.data()), blob.length());
}

IStreamPtr StreamOf(const std::string& bytes) {
  IStream* raw = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &raw);
  ULONG written = 0;
  raw->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero{};
  raw->Seek(zero, STREAM_SEEK_SET, nullptr);
  return IStreamPtr(raw, false);
}

TEST_F(Drawing, ImagesDecodeFromStreamsAndDrawAtTheirOwnSize) {
  for (const char* format : {"PNG", "GIF", "JPEG"}) {
    Gdiplus::Image image(StreamOf(Encoded(format)));
    ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok) << format;
    EXPECT_EQ(image.GetWidth(), 2u);
    EXPECT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(image.FormatName(), format);
    EXPECT_TRUE(Near(image.PixelAt(0, 0) & 0xFFFFFF, 0xFF0000, 8)) << format;
  }
  Gdiplus::Image png(StreamOf(Encoded("PNG")));
  EXPECT_EQ(png.PixelAt(1, 0) >> 24, 0u);   // transparent
  Canvas c(6, 6, RGB(0, 255, 0));
  Gdiplus::Graphics g(c.dc.m_hDC);
  ASSERT_EQ(g.DrawImage(&png, 2, 1), Gdiplus::Ok);
  EXPECT_EQ(c.At(2, 1), RGB(255, 0, 0));
  EXPECT_EQ(c.At(3, 1), RGB(0, 255, 0));   // the transparent column shows what was there
  EXPECT_EQ(c.At(2, 4), RGB(0, 255, 0));   // below the picture

  Gdiplus::Image empty(StreamOf(""));
  EXPECT_EQ(empty.GetLastStatus(), Gdiplus::UnknownImageFormat);
  Gdiplus::Image garbage(StreamOf("not a picture at all"));
  EXPECT_NE(garbage.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(garbage.GetWidth(), 0u);
  std::string cut = Encoded("PNG");
  cut.resize(cut.size() / 2);
  Gdiplus::Image truncated(StreamOf(cut));
  EXPECT_NE(truncated.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(g.DrawImage(&garbage, 0, 0), Gdiplus::InvalidParameter);
  Gdiplus::Image none(static_cast<IStream*>(nullptr));
  EXPECT_EQ(none.GetLastStatus(), Gdiplus::InvalidParameter);
}

}  // namespace
