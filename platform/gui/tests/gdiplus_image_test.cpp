// GDI+ images on Magick++: the codec list, decoding with its safe-input rules, thumbnails,
// drawing onto bitmaps, encoding with the quality parameter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"
#include "platform/gui/headless.h"
#include "testing/pictures/pictures.h"
#include "testing/support/canvas.h"

namespace {

using testpictures::StreamOf;

bool NearRgb(unsigned a, unsigned b, int tolerance) {
  auto ch = [](unsigned v, int s) { return static_cast<int>((v >> s) & 0xFF); };
  return std::abs(ch(a, 16) - ch(b, 16)) <= tolerance && std::abs(ch(a, 8) - ch(b, 8)) <= tolerance &&
         std::abs(ch(a, 0) - ch(b, 0)) <= tolerance;
}

class Images : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override {
    Gdiplus::GdiplusShutdown(m_token);
    platform::gui::ResetHeadless();
  }

  std::vector<Gdiplus::ImageCodecInfo> Decoders(std::vector<BYTE>& buffer) {
    UINT count = 0, size = 0;
    EXPECT_EQ(Gdiplus::GetImageDecodersSize(&count, &size), Gdiplus::Ok);
    buffer.assign(size, 0);
    auto* info = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    EXPECT_EQ(Gdiplus::GetImageDecoders(count, size, info), Gdiplus::Ok);
    return std::vector<Gdiplus::ImageCodecInfo>(info, info + count);
  }

  CLSID JpegEncoder() {
    std::vector<BYTE> buffer;
    for (const auto& c : Decoders(buffer))
      if (std::wstring(c.MimeType) == L"image/jpeg") return c.Clsid;
    return CLSID{};
  }

  std::string SaveJpeg(Gdiplus::Image& image, ULONG quality) {
    Gdiplus::EncoderParameters params{};
    params.Count = 1;
    params.Parameter[0].Guid = Gdiplus::EncoderQuality;
    params.Parameter[0].NumberOfValues = 1;
    params.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    params.Parameter[0].Value = &quality;
    IStreamPtr out = StreamOf("");
    const CLSID jpeg = JpegEncoder();
    EXPECT_EQ(image.Save(out, &jpeg, &params), Gdiplus::Ok);
    return testpictures::BytesOf(out);
  }

  ULONG_PTR m_token = 0;
};

TEST_F(Images, CodecListHasTheFiveRasterCodecsInOrderAndCanBeMadeUnreadable) {
  std::vector<BYTE> buffer;
  const auto codecs = Decoders(buffer);
  ASSERT_EQ(codecs.size(), 5u);
  const wchar_t* descriptions[] = {L"BMP", L"JPEG", L"GIF", L"TIFF", L"PNG"};
  const wchar_t* mimes[] = {L"image/bmp", L"image/jpeg", L"image/gif", L"image/tiff", L"image/png"};
  const GUID formats[] = {Gdiplus::ImageFormatBMP, Gdiplus::ImageFormatJPEG, Gdiplus::ImageFormatGIF,
                          Gdiplus::ImageFormatTIFF, Gdiplus::ImageFormatPNG};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(std::wstring(codecs[i].FormatDescription), descriptions[i]);
    EXPECT_EQ(std::wstring(codecs[i].MimeType), mimes[i]);
    EXPECT_TRUE(codecs[i].FormatID == formats[i]) << i;
  }
  EXPECT_EQ(std::wstring(codecs[1].FilenameExtension), L"*.JPG;*.JPEG;*.JPE;*.JFIF");
  EXPECT_TRUE(codecs[1].Clsid == platform::com::GuidFromText("{557CF401-1A04-11D3-9A73-0000F81EF32E}"));
  // The texts live in the caller's buffer.
  EXPECT_GE(reinterpret_cast<const BYTE*>(codecs[4].MimeType), buffer.data());
  EXPECT_LT(reinterpret_cast<const BYTE*>(codecs[4].MimeType), buffer.data() + buffer.size());

  UINT count = 0, size = 0;
  ASSERT_EQ(Gdiplus::GetImageEncodersSize(&count, &size), Gdiplus::Ok);
  std::vector<BYTE> small(size - 1);
  EXPECT_EQ(Gdiplus::GetImageEncoders(count, size - 1, reinterpret_cast<Gdiplus::ImageCodecInfo*>(small.data())),
            Gdiplus::InsufficientBuffer);

  platform::gui::SetImageCodecsReadable(false);
  EXPECT_NE(Gdiplus::GetImageDecodersSize(&count, &size), Gdiplus::Ok);
  EXPECT_EQ(count, 0u);
  EXPECT_NE(Gdiplus::GetImageDecoders(5, 4096, reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data())), Gdiplus::Ok);
}

TEST_F(Images, FormatsAreKnownByTheirBytesWithRawFormatAndResolution) {
  struct Case {
    const char* magick;
    GUID format;
  } cases[] = {{"JPEG", Gdiplus::ImageFormatJPEG}, {"PNG", Gdiplus::ImageFormatPNG}, {"GIF", Gdiplus::ImageFormatGIF},
               {"BMP", Gdiplus::ImageFormatBMP}, {"TIFF", Gdiplus::ImageFormatTIFF}};
  for (const Case& c : cases) {
    Gdiplus::Bitmap image(StreamOf(testpictures::Quadrants(c.magick, 40, 30)));
    ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok) << c.magick;
    EXPECT_EQ(image.GetWidth(), 40u);
    EXPECT_EQ(image.GetHeight(), 30u);
    GUID raw{};
    ASSERT_EQ(image.GetRawFormat(&raw), Gdiplus::Ok);
    EXPECT_TRUE(raw == c.format) << c.magick;
    EXPECT_TRUE(NearRgb(image.PixelAt(5, 5) & 0xFFFFFF, 0xFF0000, 12)) << c.magick;
    EXPECT_TRUE(NearRgb(image.PixelAt(35, 5) & 0xFFFFFF, 0x0000FF, 12)) << c.magick;
    EXPECT_GT(image.GetHorizontalResolution(), 0.0f);
  }
  Gdiplus::Bitmap memory(10, 8);
  GUID raw{};
  ASSERT_EQ(memory.GetRawFormat(&raw), Gdiplus::Ok);
  EXPECT_TRUE(raw == Gdiplus::ImageFormatMemoryBMP);
  EXPECT_EQ(memory.PixelAt(3, 3), 0u);   // transparent black
  EXPECT_EQ(memory.GetHorizontalResolution(), 96.0f);
  EXPECT_EQ(memory.SetResolution(72, 150), Gdiplus::Ok);
  EXPECT_EQ(memory.GetHorizontalResolution(), 72.0f);
  EXPECT_EQ(memory.GetVerticalResolution(), 150.0f);
  EXPECT_EQ(memory.SetResolution(0, 72), Gdiplus::InvalidParameter);
}

TEST_F(Images, HostileInputGetsAStatusNeverAPicture) {
  auto status = [](const std::string& bytes) { return Gdiplus::Image(StreamOf(bytes)).GetLastStatus(); };
  EXPECT_EQ(status(""), Gdiplus::UnknownImageFormat);
  // Vector and text formats never reach a coder, whatever the file is called.
  EXPECT_EQ(status("<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                   "<image href=\"/etc/passwd\"/></svg>"),
            Gdiplus::UnknownImageFormat);
  EXPECT_EQ(status("push graphic-context\nviewbox 0 0 10 10\nimage over 0,0 0,0 'https://example.com/x.png'\n"),
            Gdiplus::UnknownImageFormat);
  EXPECT_EQ(status("@/etc/passwd"), Gdiplus::UnknownImageFormat);
  // Corrupt and truncated pictures.
  std::string png = testpictures::Quadrants("PNG", 64, 64);
  EXPECT_NE(status(png.substr(0, 40)), Gdiplus::Ok);
  std::string gif = testpictures::Quadrants("GIF", 64, 64);
  EXPECT_NE(status(gif.substr(0, 12)), Gdiplus::Ok);
  EXPECT_NE(status(std::string("\xFF\xD8\xFF\xE0", 4) + std::string(200, 'x')), Gdiplus::Ok);
  // Headers saying more than the bounds: refused before decoding.
  EXPECT_EQ(status(testpictures::PngHeaderOnly(10000, 10000)), Gdiplus::OutOfMemory);   // 100 megapixels
  EXPECT_NE(status(testpictures::PngHeaderOnly(20000, 20000)), Gdiplus::Ok);
  EXPECT_NE(status(testpictures::PngHeaderOnly(16385, 1)), Gdiplus::Ok);
  EXPECT_NE(status(testpictures::GrayPng(1, 20000, 7)), Gdiplus::Ok);
  EXPECT_EQ(status(testpictures::GrayPng(1, 16000, 7)), Gdiplus::Ok);   // within the system policy too
  // A stream that fails while being read.
  Gdiplus::Image none(static_cast<IStream*>(nullptr));
  EXPECT_EQ(none.GetLastStatus(), Gdiplus::InvalidParameter);
  EXPECT_EQ(none.GetThumbnailImage(10, 10), nullptr);
  GUID raw{};
  EXPECT_NE(none.GetRawFormat(&raw), Gdiplus::Ok);
  Gdiplus::Image missing(L"/nonexistent/picture.jpg");
  EXPECT_NE(missing.GetLastStatus(), Gdiplus::Ok);
}

TEST_F(Images, TruncatedJpegKeepsWhatWasDecodedAndGifsGiveTheirFirstFrame) {
  const std::string jpeg = testpictures::Photo("JPEG", 200, 160, 90);
  Gdiplus::Image cut(StreamOf(jpeg.substr(0, jpeg.size() * 2 / 3)));
  ASSERT_EQ(cut.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(cut.GetWidth(), 200u);
  EXPECT_EQ(cut.GetHeight(), 160u);

  Gdiplus::Image frames(StreamOf(testpictures::ManyFrameGif(10000)));
  ASSERT_EQ(frames.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(frames.GetWidth(), 1u);
  EXPECT_EQ(frames.PixelAt(0, 0) & 0xFFFFFF, 0u);   // the first frame's black pixel
}

TEST_F(Images, ThumbnailsAndBicubicRedrawKeepThePicture) {
  Gdiplus::Image source(StreamOf(testpictures::Quadrants("PNG", 400, 300)));
  std::unique_ptr<Gdiplus::Image> thumb(source.GetThumbnailImage(40, 30));
  ASSERT_TRUE(thumb);
  EXPECT_EQ(thumb->GetWidth(), 40u);
  EXPECT_EQ(thumb->GetHeight(), 30u);
  EXPECT_TRUE(NearRgb(thumb->PixelAt(5, 10) & 0xFFFFFF, 0xFF0000, 16));
  EXPECT_TRUE(NearRgb(thumb->PixelAt(35, 10) & 0xFFFFFF, 0x0000FF, 16));
  GUID raw{};
  thumb->GetRawFormat(&raw);
  EXPECT_TRUE(raw == Gdiplus::ImageFormatPNG);

  Gdiplus::Bitmap target(200, 100, Gdiplus::PixelFormat32bppARGB);
  target.SetResolution(72, 72);
  {
    Gdiplus::Graphics g(&target);
    ASSERT_EQ(g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic), Gdiplus::Ok);
    ASSERT_EQ(g.DrawImage(&source, 0, 0, 200, 100), Gdiplus::Ok);
  }
  EXPECT_EQ(target.GetWidth(), 200u);
  EXPECT_EQ(target.GetHorizontalResolution(), 72.0f);
  EXPECT_TRUE(NearRgb(target.PixelAt(20, 40) & 0xFFFFFF, 0xFF0000, 8));
  EXPECT_TRUE(NearRgb(target.PixelAt(180, 40) & 0xFFFFFF, 0x0000FF, 8));
  EXPECT_EQ(target.PixelAt(20, 40) >> 24, 0xFFu);

  // Part of a bitmap: the rest stays transparent.
  Gdiplus::Bitmap part(100, 100);
  Gdiplus::Graphics(&part).DrawImage(&source, 50, 50, 40, 30);
  EXPECT_EQ(part.PixelAt(10, 10), 0u);
  EXPECT_TRUE(NearRgb(part.PixelAt(55, 60) & 0xFFFFFF, 0xFF0000, 16));

  // Onto a device context, smoothly.
  testutil::Canvas canvas(60, 40, RGB(0, 255, 0));
  Gdiplus::Graphics dc(canvas.dc.m_hDC);
  dc.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  ASSERT_EQ(dc.DrawImage(&source, 10, 5, 40, 30), Gdiplus::Ok);
  EXPECT_EQ(canvas.At(14, 15), RGB(255, 0, 0));
  EXPECT_EQ(canvas.At(45, 15), RGB(0, 0, 255));
  EXPECT_EQ(canvas.At(5, 2), RGB(0, 255, 0));
}

TEST_F(Images, JpegQualityCountsFromZeroAndNoMetadataIsWritten) {
  Gdiplus::Image photo(StreamOf(testpictures::Photo("PNG", 320, 240)));
  ASSERT_EQ(photo.GetLastStatus(), Gdiplus::Ok);
  const std::string q0 = SaveJpeg(photo, 0), q50 = SaveJpeg(photo, 50), q100 = SaveJpeg(photo, 100);
  EXPECT_LT(q0.size(), q50.size());
  EXPECT_LT(q50.size(), q100.size());
  const auto d = testpictures::Inspect(q50);
  EXPECT_EQ(d.format, "JPEG");
  EXPECT_EQ(d.width, 320u);
  EXPECT_EQ(d.quality, 50u);
  EXPECT_LE(testpictures::Inspect(q0).quality, 1u);   // the lowest, never the encoder's default

  const std::string marker = "SECRET-CAMERA-OWNER";
  Gdiplus::Image tagged(StreamOf(testpictures::JpegWithMetadata(64, 48, marker)));
  ASSERT_EQ(tagged.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(SaveJpeg(tagged, 80).find(marker), std::string::npos);

  // An unknown encoder and a quality out of range.
  IStreamPtr out = StreamOf("");
  const CLSID unknown{};
  EXPECT_NE(photo.Save(out, &unknown, nullptr), Gdiplus::Ok);
  ULONG tooHigh = 101;
  Gdiplus::EncoderParameters params{1, {{Gdiplus::EncoderQuality, 1, Gdiplus::EncoderParameterValueTypeLong, &tooHigh}}};
  const CLSID jpeg = JpegEncoder();
  EXPECT_EQ(photo.Save(out, &jpeg, &params), Gdiplus::InvalidParameter);

  // A transparent bitmap saved as JPEG shows white.
  Gdiplus::Bitmap blank(16, 16);
  const std::string white = SaveJpeg(blank, 90);
  EXPECT_TRUE(NearRgb(testpictures::PixelOf(white, 8, 8), 0xFFFFFF, 6));
}

TEST_F(Images, StartUpIsCountedAndChecksItsInput) {
  ULONG_PTR a = 0, b = 0;
  Gdiplus::GdiplusStartupInput input;
  EXPECT_EQ(Gdiplus::GdiplusStartup(&a, &input, nullptr), Gdiplus::Ok);
  EXPECT_EQ(Gdiplus::GdiplusStartup(&b, &input, nullptr), Gdiplus::Ok);
  EXPECT_NE(a, b);
  Gdiplus::GdiplusShutdown(a);
  Gdiplus::GdiplusShutdown(b);
  Gdiplus::GdiplusStartupInput wrong;
  wrong.GdiplusVersion = 2;
  EXPECT_EQ(Gdiplus::GdiplusStartup(&a, &wrong, nullptr), Gdiplus::InvalidParameter);
  EXPECT_EQ(Gdiplus::GdiplusStartup(nullptr, &input, nullptr), Gdiplus::InvalidParameter);
}

}  // namespace
