// Picture objects, their placement and drawing, the picture-file tools, the fitting into a byte
// budget and the repository's transaction scope.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include "platform/files/files.h"
#include "platform/gui/headless.h"
#include "shared/controls/hximage.h"
#include "shared/controls/tests/support.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/pictures/pictures.h"

namespace {

using controls_test::Canvas;
using controls_test::Near;
using testpictures::StreamOf;

// The host doubles with the data parameters' thumbnail box (200 x 150 unless said).
class Pictures : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    CoInitialize(nullptr);
    CHxInstance::SetInstance(doubles.instancePtr);
    SetBox(200, 150);
  }
  void TearDown() override {
    CHxInstance::SetInstance(nullptr);
    CoUninitialize();
    Fixture::TearDown();
  }
  void SetBox(LONG cx, LONG cy) { controls_test::SetThumbnailBox(*doubles.instance, cx, cy); }
  std::wstring TempFile(const std::string& bytes, const char* ext) {
    const std::string path = ::testing::TempDir() + "halvex_" + std::to_string(++m_files) + ext;
    std::ofstream(path, std::ios::binary) << bytes;
    m_paths.push_back(path);
    return std::wstring(path.begin(), path.end());
  }
  ~Pictures() override {
    for (const std::string& p : m_paths) std::remove(p.c_str());
  }

  doubles::HostDoubles doubles;

 private:
  int m_files = 0;
  std::vector<std::string> m_paths;
};

// --- placement

TEST_F(Pictures, PlacementFitsSeventyPercentHighAndNinetyWideWithTheCaptionBelow) {
  Gdiplus::Bitmap landscape(1600, 1200), portrait(1200, 1600);
  int w = -1, h = -1, x = -1, y = -1;
  CRect caption;
  CHalvexImage::CalcThumbnailSize(&landscape, 200, 150, w, h, x, y, &caption);
  EXPECT_EQ(w, 140);
  EXPECT_EQ(h, 105);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 10);
  EXPECT_EQ(caption, CRect(0, 125, 200, 150));
  CHalvexImage::CalcThumbnailSize(&portrait, 200, 150, w, h, x, y, nullptr);
  EXPECT_EQ(w, 78);
  EXPECT_EQ(h, 105);
  EXPECT_EQ(x, 61);
  EXPECT_EQ(y, 10);
  // A wide picture: the width limits.
  Gdiplus::Bitmap wide(1000, 100);
  CHalvexImage::CalcThumbnailSize(&wide, 200, 150, w, h, x, y, nullptr);
  EXPECT_EQ(w, 180);
  EXPECT_EQ(h, 18);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 10 + (105 - 18) / 2);
  // No picture: a zero placement, the caption still where it belongs.
  CHalvexImage::CalcThumbnailSize(nullptr, 200, 150, w, h, x, y, &caption);
  EXPECT_EQ(w + h + x + y, 0);
  EXPECT_EQ(caption, CRect(0, 125, 200, 150));
}

TEST_F(Pictures, TheBoxIsReadFromTheParametersWhileItIsUnknown) {
  doubles.instance->numbered.clear();
  IStreamPtr stream = StreamOf(testpictures::Quadrants("PNG", 160, 120));
  CHalvexImage picture(L"a.png", stream, 160, 120, 2048);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.ThumbWidth(), 0);   // nothing divided by the missing box
  SetBox(400, 300);
  EXPECT_EQ(picture.Width(), 400);
  EXPECT_EQ(picture.Height(), 300);
  const int reads = doubles.recorder->Count(L"IFlgInstance::GetObjectByNumber");
  picture.Width();
  EXPECT_EQ(doubles.recorder->Count(L"IFlgInstance::GetObjectByNumber"), reads);   // known now

  LONG cx = 0, cy = 0;
  EXPECT_EQ(CImgTools::GetDefaultImageSize(cx, cy), 0);
  EXPECT_EQ(cx, 400);
  EXPECT_EQ(cy, 300);
  doubles.recorder->FailOn(L"IFlgInstance::GetObjectByNumber", E_ACCESSDENIED);
  EXPECT_EQ(CImgTools::GetDefaultImageSize(cx, cy), E_ACCESSDENIED);
  CHxInstance::SetInstance(nullptr);
  EXPECT_EQ(CImgTools::GetDefaultImageSize(cx, cy), E_POINTER);
}

TEST_F(Pictures, AFileKeepsOnlyItsThumbnailAndABrokenOneNoPicture) {
  const std::wstring path = TempFile(testpictures::Quadrants("JPEG", 1600, 1200), ".jpg");
  CHalvexImage picture(path.c_str());
  ASSERT_TRUE(picture.Picture());
  EXPECT_EQ(picture.Picture()->GetWidth(), 140u);
  EXPECT_EQ(picture.Picture()->GetHeight(), 105u);
  EXPECT_STREQ(picture.Name(), path.c_str());
  EXPECT_EQ(picture.OriginalWidth(), 0);
  EXPECT_EQ(picture.OriginalSize(), 0);

  const std::wstring svg = TempFile("<svg xmlns=\"http://www.w3.org/2000/svg\"/>", ".jpg");
  CHalvexImage notPicture(svg.c_str());
  EXPECT_FALSE(notPicture.Picture());
  EXPECT_EQ(notPicture.ThumbWidth(), 0);
  CHalvexImage missing(L"/nonexistent/x.jpg");
  EXPECT_FALSE(missing.Picture());
  for (const std::string& bytes : {std::string(), testpictures::Quadrants("PNG", 50, 50).substr(0, 30),
                                   testpictures::ManyFrameGif(10000)}) {
    IStreamPtr stream = StreamOf(bytes);
    CHalvexImage fromStream(L"x", stream, 1, 1, 1);
    Canvas c(200, 150);
    fromStream.Draw(c.dc, CRect(0, 0, 200, 150), false);   // never crashes
  }
}

TEST_F(Pictures, AFileIsDecodedNoLargerThanItsThumbnailNeedsAndShowsTheSamePicture) {
  const std::string photo = testpictures::PhotoJpeg(1600, 1200, "");
  const struct {
    const char* what;
    std::string bytes;
    const char* ext;
    unsigned long long mostDecoded;  // pixels
  } cases[] = {
      // At an eighth: 200 x 150 for the 140 x 105 thumbnail.
      {"JPEG", photo, ".jpg", 200 * 150},
      {"progressive JPEG", testpictures::PhotoJpeg(1600, 1200, "progressive"), ".jpg", 200 * 150},
      {"grey JPEG", testpictures::PhotoJpeg(1600, 1200, "gray"), ".jpg", 200 * 150},
      // Whole, as any picture: four components, damaged data, other formats.
      {"CMYK JPEG", testpictures::PhotoJpeg(800, 600, "cmyk"), ".jpg", 800 * 600},
      {"truncated JPEG", photo.substr(0, photo.size() * 2 / 3), ".jpg", 1600 * 1200},
      {"PNG", testpictures::Photo("PNG", 400, 300), ".png", 400 * 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring path = TempFile(c.bytes, c.ext);
    const unsigned long long before = platform::gui::DecodedPixels();
    CHalvexImage picture(path.c_str());
    EXPECT_LE(platform::gui::DecodedPixels() - before, c.mostDecoded);
    ASSERT_TRUE(picture.Picture());
    // The picture decoded whole and made into a thumbnail of the same size.
    Gdiplus::Image whole(path.c_str());
    ASSERT_EQ(whole.GetLastStatus(), Gdiplus::Ok);
    const UINT w = picture.Picture()->GetWidth(), h = picture.Picture()->GetHeight();
    EXPECT_EQ(picture.ThumbWidth(), static_cast<int>(w));
    std::unique_ptr<Gdiplus::Image> expected(whole.GetThumbnailImage(w, h));
    ASSERT_TRUE(expected);
    ASSERT_EQ(expected->GetWidth(), w);
    ASSERT_EQ(expected->GetHeight(), h);
    const std::vector<Gdiplus::ARGB>& got = picture.Picture()->Pixels();
    const std::vector<Gdiplus::ARGB>& want = expected->Pixels();
    ASSERT_EQ(got.size(), want.size());
    double sum = 0;
    int largest = 0;
    for (size_t i = 0; i < got.size(); ++i)
      for (int shift : {0, 8, 16}) {
        const int d = std::abs(static_cast<int>((got[i] >> shift) & 0xFF) - static_cast<int>((want[i] >> shift) & 0xFF));
        sum += d;
        largest = std::max(largest, d);
      }
    EXPECT_LE(sum / (3.0 * got.size()), 2.0);
    EXPECT_LE(largest, 16);
  }
}

// --- drawing

// Whether the caption's rectangle holds a text written in `ink` (red only) over the window colour (white):
// its most covered pixel is mostly ink, and its red stands above its green and blue by the ink's
// red times the coverage, as a grey-smoothed text in that colour leaves it.
bool CaptionInked(const Canvas& c, const CRect& caption, COLORREF ink) {
  COLORREF darkest = RGB(255, 255, 255);
  for (int y = caption.top; y < caption.bottom; ++y)
    for (int x = caption.left; x < caption.right; ++x)
      if (GetGValue(c.At(x, y)) < GetGValue(darkest)) darkest = c.At(x, y);
  const double coverage = (255 - GetGValue(darkest)) / 255.0;
  const int above = GetRValue(darkest) - GetGValue(darkest);
  return coverage > 0.6 && GetBValue(darkest) == GetGValue(darkest) &&
         std::abs(above - static_cast<int>(std::lround(GetRValue(ink) * coverage))) <= 1;
}

TEST_F(Pictures, DrawingShowsThePictureFramedByBandsWithTheSelectionOutline) {
  IStreamPtr stream = StreamOf(testpictures::Quadrants("PNG", 1600, 1200));
  CHxImageWithId picture(7, L"aukcja.png", stream, 1600, 1200, 512000);
  EXPECT_EQ(static_cast<LONG>(picture), 7);
  ASSERT_TRUE(picture.Picture());
  Canvas c(200, 150, RGB(1, 2, 3));
  picture.Draw(c.dc, CRect(0, 0, 200, 150), true);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  // The picture at (30, 10), 140 x 105: red left, blue right.
  EXPECT_TRUE(Near(c.At(40, 50), RGB(255, 0, 0), 10));
  EXPECT_TRUE(Near(c.At(160, 50), RGB(0, 0, 255), 10));
  // Shadow below and right: grey at the picture, lighter outwards.
  EXPECT_TRUE(Near(c.At(100, 115), RGB(128, 128, 128), 4));
  EXPECT_GT(GetRValue(c.At(100, 117)), GetRValue(c.At(100, 115)));
  EXPECT_TRUE(Near(c.At(170, 60), RGB(128, 128, 128), 4));
  EXPECT_GT(GetRValue(c.At(172, 60)), GetRValue(c.At(170, 60)));
  // Light edge above and left: white outside, 0xC8C8C8 towards the picture.
  EXPECT_TRUE(Near(c.At(100, 6), RGB(255, 255, 255), 4));
  EXPECT_LT(GetRValue(c.At(100, 9)), 240);
  EXPECT_TRUE(Near(c.At(26, 60), RGB(255, 255, 255), 4));
  EXPECT_LT(GetRValue(c.At(29, 60)), 240);
  // The bottom-right corner joins the shadows.
  EXPECT_LT(GetRValue(c.At(170, 115)), 200);
  // Outside the frame: the window colour; the selection outline 3 pixels in.
  EXPECT_EQ(c.At(15, 60), window);
  EXPECT_EQ(c.At(3, 60), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(c.At(196, 60), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(c.At(4, 60), window);
  EXPECT_EQ(c.At(1, 1), window);
  // The caption is written below, in the selected text colour.
  EXPECT_TRUE(CaptionInked(c, CRect(0, 125, 200, 150), RGB(0x0E, 0, 0)));

  Canvas plain(200, 150);
  picture.Draw(plain.dc, CRect(0, 0, 200, 150), false);
  EXPECT_EQ(plain.At(3, 60), window);
}

TEST_F(Pictures, APictureThatDidNotLoadDrawsOnlyItsCaption) {
  IStreamPtr stream = StreamOf("not a picture");
  CHalvexImage picture(L"zepsuty.jpg", stream, 10, 10, 100);
  EXPECT_FALSE(picture.Picture());
  Canvas c(200, 150, RGB(1, 2, 3));
  picture.Draw(c.dc, CRect(0, 0, 200, 150), false);
  for (int y = 0; y < 125; y += 5)
    for (int x = 0; x < 200; x += 5) ASSERT_EQ(c.At(x, y), GetSysColor(COLOR_WINDOW)) << x << "," << y;
  EXPECT_TRUE(CaptionInked(c, CRect(0, 125, 200, 150), RGB(8, 0, 0)));
}

TEST_F(Pictures, ThePlaceholderFillsOutlinesAndCrosses) {
  CHxImage placeholder(L"brak");
  EXPECT_EQ(placeholder.Width(), 400);
  EXPECT_EQ(placeholder.Height(), 300);
  Canvas c(40, 30);
  placeholder.Draw(c.dc, CRect(0, 0, 40, 30), true);
  EXPECT_EQ(c.At(20, 2), static_cast<COLORREF>(0xD2E6C8));
  EXPECT_EQ(c.At(0, 10), RGB(0, 0, 0));   // outline
  EXPECT_EQ(c.At(4, 3), RGB(0, 0, 0));    // a diagonal
  placeholder.Draw(c.dc, CRect(0, 0, 40, 30), false);
  EXPECT_EQ(c.At(20, 2), GetSysColor(COLOR_WINDOW));
}

TEST_F(Pictures, CopiesShareThePictureAndTheLastReleasesIt) {
  IStreamPtr stream = StreamOf(testpictures::Quadrants("PNG", 160, 120));
  auto* first = new CHalvexImage(L"a", stream, 160, 120, 1000);
  Gdiplus::Image* shared = first->Picture();
  ASSERT_TRUE(shared);
  CHalvexImage copy(*first);
  IStreamPtr other = StreamOf(testpictures::Quadrants("GIF", 20, 20));
  CHalvexImage assigned(L"b", other, 20, 20, 10);
  assigned = *first;
  EXPECT_EQ(copy.Picture(), shared);
  EXPECT_EQ(assigned.Picture(), shared);
  delete first;   // the copies keep the picture alive (the sanitizers see any double release)
  Canvas c(200, 150);
  copy.Draw(c.dc, CRect(0, 0, 200, 150), false);
  EXPECT_TRUE(Near(c.At(40, 50), RGB(255, 0, 0), 10));
  assigned = copy;
  EXPECT_EQ(assigned.Picture(), shared);
}

// --- picture-file tools

TEST_F(Pictures, OnlyJpegGifAndPngAreSupportedThoughBmpAndTiffDecode) {
  CImgTools tools;
  ASSERT_TRUE(tools.Valid());
  for (const char* format : {"JPEG", "GIF", "PNG"}) {
    Gdiplus::Image image(StreamOf(testpictures::Quadrants(format, 8, 8)));
    EXPECT_TRUE(tools.IsImgTypeSupported(&image)) << format;
  }
  for (const char* format : {"BMP", "TIFF"}) {
    Gdiplus::Image image(StreamOf(testpictures::Quadrants(format, 8, 8)));
    ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok) << format;
    EXPECT_FALSE(tools.IsImgTypeSupported(&image)) << format;
  }
  Gdiplus::Bitmap memory(4, 4);
  EXPECT_FALSE(tools.IsImgTypeSupported(&memory));
  EXPECT_FALSE(tools.IsImgTypeSupported(nullptr));
  Gdiplus::Image png(StreamOf(testpictures::Quadrants("PNG", 8, 8)));
  GUID clsid{};
  ASSERT_TRUE(tools.GetCodecCLSIDForImage(&png, clsid));
  EXPECT_TRUE(clsid == platform::com::GuidFromText("{557CF406-1A04-11D3-9A73-0000F81EF32E}"));
  ASSERT_TRUE(tools.GetDefaultCodecInfo(clsid));
  EXPECT_TRUE(clsid == platform::com::GuidFromText("{557CF401-1A04-11D3-9A73-0000F81EF32E}"));
}

TEST_F(Pictures, TheFilterListWithAndWithoutAReadableDecoderList) {
  const wchar_t* expected =
      L"Pliki JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)|*.JPG;*.JPEG;*.JPE;*.JFIF|Pliki GIF (*.GIF)|*.GIF|"
      L"Pliki PNG (*.PNG)|*.PNG|Wszystkie obsługiwane pliki|"
      L"*.BMP;*.DIB;*.RLE;*.JPG;*.JPEG;*.JPE;*.JFIF;*.GIF;*.TIF;*.TIFF;*.PNG|Wszystkie pliki(*.*)|*.*|";
  EXPECT_STREQ(CImgTools::GetHandledImagesFilter(), expected);
  platform::gui::SetImageCodecsReadable(false);
  CImgTools tools;
  CString text;
  EXPECT_FALSE(tools.MakeFiltersListForCFileDialog(text));
  EXPECT_STREQ(text,
               L"Pliki JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)|*.JPG;*.JPEG;*.JPE;*.JFIF|Pliki GIF (*.GIF)|*.GIF|"
               L"Pliki PNG (*.PNG)|*.PNG|Wszystkie obsługiwane pliki|*.JPG;*.JPEG;*.JPE;*.JFIF;*.GIF;*.PNG|"
               L"Wszystkie pliki(*.*)|*.*|");
  GUID clsid{};
  EXPECT_FALSE(tools.GetDefaultCodecInfo(clsid));
  Gdiplus::Image png(StreamOf(testpictures::Quadrants("PNG", 8, 8)));
  EXPECT_FALSE(tools.IsImgTypeSupported(&png));
}

TEST_F(Pictures, TemporaryNamesTakeTheFormatAsExtension) {
  CImgTools tools;
  Gdiplus::Image jpeg(StreamOf(testpictures::Quadrants("JPEG", 8, 8)));
  CString name, path, second;
  ASSERT_TRUE(tools.GetTmpFileNameForImage(&jpeg, name));
  ASSERT_TRUE(tools.GetTmpFileNameForImage(&jpeg, second));
  EXPECT_NE(name, second);
  EXPECT_EQ(name.Find(L'/'), -1);
  EXPECT_EQ(name.Right(5), CString(L".JPEG"));
  EXPECT_EQ(name.GetLength(), 36 + 5);   // GUID.JPEG
  Gdiplus::Image png(StreamOf(testpictures::Quadrants("PNG", 8, 8)));
  ASSERT_TRUE(tools.GetTmpPathNameForImage(&png, path));
  EXPECT_EQ(path.Right(4), CString(L".PNG"));
  wchar_t temp[512] = {};
  GetTempPathW(512, temp);
  EXPECT_EQ(path.Find(temp), 0);
  Gdiplus::Bitmap memory(4, 4);
  EXPECT_FALSE(tools.GetTmpFileNameForImage(&memory, name));
  EXPECT_FALSE(tools.GetTmpFileNameForImageEx(nullptr, name, false));
}

// --- fitting into a byte budget

class Fitting : public Pictures {
 protected:
  static std::string EncodedAt(const std::string& picture, ULONG quality) {
    Gdiplus::Image image(StreamOf(picture));
    ULONG q = quality;
    Gdiplus::EncoderParameters params{1, {{Gdiplus::EncoderQuality, 1, Gdiplus::EncoderParameterValueTypeLong, &q}}};
    const CLSID jpeg = platform::com::GuidFromText("{557CF401-1A04-11D3-9A73-0000F81EF32E}");
    IStreamPtr out = StreamOf("");
    image.Save(out, &jpeg, &params);
    return testpictures::BytesOf(out);
  }
  static testpictures::Decoded Fit(const std::string& picture, bool resize, bool exact, int maxSide, int maxBytes,
                                   std::string* bytes = nullptr) {
    IStreamPtr result = hxAdjustImageToLength(StreamOf(picture), resize, exact, maxSide, maxBytes);
    if (!result) return {};
    const std::string b = testpictures::BytesOf(result);
    if (bytes) *bytes = b;
    return testpictures::Inspect(b);
  }
};

TEST_F(Fitting, ASmallerStreamIsHandedBackAndOneOfExactlyMaxBytesReencoded) {
  const std::string png = testpictures::Photo("PNG", 120, 90);
  IStreamPtr source = StreamOf(png);
  LARGE_INTEGER far{};
  far.QuadPart = 17;
  source->Seek(far, STREAM_SEEK_SET, nullptr);
  IStreamPtr same = hxAdjustImageToLength(source, false, false, 0, static_cast<int>(png.size()) + 1);
  EXPECT_EQ(same.GetInterfacePtr(), source.GetInterfacePtr());
  ULARGE_INTEGER at{};
  LARGE_INTEGER zero{};
  same->Seek(zero, STREAM_SEEK_CUR, &at);
  EXPECT_EQ(at.QuadPart, 0u);   // rewound

  IStreamPtr exact = StreamOf(png);
  IStreamPtr encoded = hxAdjustImageToLength(exact, false, false, 0, static_cast<int>(png.size()));
  ASSERT_TRUE(encoded);
  EXPECT_NE(encoded.GetInterfacePtr(), exact.GetInterfacePtr());
  EXPECT_EQ(testpictures::Inspect(testpictures::BytesOf(encoded)).format, "JPEG");
}

TEST_F(Fitting, EveryResultIsAJpegWithinTheLimitAndFiftyIsTriedFirst) {
  const std::string photo = testpictures::Photo("PNG", 400, 300);
  for (int limit : {4000, 9000, 20000, 60000}) {
    std::string bytes;
    const auto d = Fit(photo, false, false, 0, limit, &bytes);
    ASSERT_TRUE(d.ok) << limit;
    EXPECT_EQ(d.format, "JPEG");
    EXPECT_LE(bytes.size(), static_cast<size_t>(limit));
    EXPECT_EQ(d.width, 400u);
    // Raising the quality by one would not fit (the search went as far as it could).
    if (d.quality < 99) {
      EXPECT_GT(EncodedAt(photo, static_cast<ULONG>(d.quality + 1)).size(), static_cast<size_t>(limit));
    }
  }
  // A limit of exactly the size at quality 50 is met by quality 50, to the byte.
  const std::string at50 = EncodedAt(photo, 50);
  std::string bytes;
  const auto d = Fit(photo, false, false, 0, static_cast<int>(at50.size()), &bytes);
  EXPECT_EQ(d.quality, 50u);
  EXPECT_EQ(bytes.size(), at50.size());
  // Nothing fits: quality 0 is never accepted.
  EXPECT_FALSE(Fit(photo, false, false, 0, 200).ok);
  const int lowest = static_cast<int>(EncodedAt(photo, 1).size());
  EXPECT_TRUE(Fit(photo, false, false, 0, lowest).ok);
  EXPECT_FALSE(Fit(photo, false, false, 0, lowest - 1).ok);
}

TEST_F(Fitting, ExactSizesFollowTheLongerSide) {
  const auto landscape = Fit(testpictures::Photo("JPEG", 1600, 1200), true, true, 1000, 400000);
  EXPECT_EQ(landscape.width, 1000u);
  EXPECT_EQ(landscape.height, 750u);
  const auto portrait = Fit(testpictures::Photo("JPEG", 1200, 1600), true, true, 1000, 400000);
  EXPECT_EQ(portrait.width, 750u);
  EXPECT_EQ(portrait.height, 1000u);
  // A longer side below maxSide keeps the size.
  const auto small = Fit(testpictures::Photo("PNG", 300, 200), true, true, 1000, 1000);
  EXPECT_EQ(small.width, 300u);
}

TEST_F(Fitting, WithoutExactTheScaleStepsUntilWithinATenth) {
  // Within a tenth at once: the size is kept (and the picture redrawn all the same).
  const auto near = Fit(testpictures::Photo("JPEG", 1050, 700), true, false, 1000, 400000);
  EXPECT_EQ(near.width, 1050u);
  EXPECT_EQ(near.height, 700u);
  // 2000 at 100 and 75 percent is off; 50 percent lands on 1000.
  const auto half = Fit(testpictures::Photo("JPEG", 2000, 1000), true, false, 1000, 400000);
  EXPECT_EQ(half.width, 1000u);
  EXPECT_EQ(half.height, 500u);
  // 1300 at 75 percent gives 975.
  const auto threeQuarters = Fit(testpictures::Photo("JPEG", 900, 1300), true, false, 1000, 400000);
  EXPECT_EQ(threeQuarters.height, 975u);
  EXPECT_EQ(threeQuarters.width, 675u);
  // 1600 for 1000 lands on no step down to 5 percent: the target is maxSide itself.
  const auto noStep = Fit(testpictures::Photo("JPEG", 1600, 1200), true, false, 1000, 400000);
  EXPECT_EQ(noStep.width, 1000u);
  EXPECT_EQ(noStep.height, 750u);
}

// A JPEG cut short decodes with the decoder's warning (what arrived is kept) and draws as a
// thumbnail; it encodes as any other picture, so it is fitted like one.
TEST_F(Fitting, ATruncatedJpegThatDecodesIsFitted) {
  const std::string whole = testpictures::Photo("JPEG", 400, 300);
  const std::string cut = whole.substr(0, whole.size() * 2 / 3);
  Gdiplus::Image decoded(StreamOf(cut));
  ASSERT_EQ(decoded.GetLastStatus(), Gdiplus::Ok);
  EXPECT_FALSE(EncodedAt(cut, 50).empty());
  std::string bytes;
  const auto d = Fit(cut, false, false, 0, static_cast<int>(cut.size()) - 1, &bytes);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.format, "JPEG");
  EXPECT_EQ(d.width, 400u);
  EXPECT_LT(bytes.size(), cut.size());
}

TEST_F(Fitting, BadInputGivesNoStream) {
  const std::string photo = testpictures::Photo("JPEG", 200, 150);
  EXPECT_FALSE(hxAdjustImageToLength(nullptr, false, false, 0, 100));
  EXPECT_FALSE(Fit(photo, true, false, 0, 100000).ok);
  EXPECT_FALSE(Fit(photo, true, true, -5, 100000).ok);
  EXPECT_FALSE(Fit(photo, false, false, 0, 0).ok);
  EXPECT_FALSE(Fit(photo, false, false, 0, -1).ok);
  EXPECT_FALSE(Fit(std::string(5000, 'x'), false, false, 0, 100).ok);
  EXPECT_FALSE(Fit("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9000\" height=\"9000\"/>", false, false, 0, 10).ok);
  EXPECT_FALSE(Fit(testpictures::PngHeaderOnly(20000, 20000), true, true, 1000, 10).ok);
  EXPECT_FALSE(Fit(testpictures::GrayPng(1, 20000, 9), true, false, 1000, 10).ok);
  EXPECT_FALSE(Fit(photo.substr(0, 40), false, false, 0, 10).ok);
  // An empty stream is smaller than any positive budget: handed back as it is.
  IStreamPtr empty = StreamOf("");
  EXPECT_EQ(hxAdjustImageToLength(empty, true, true, 100, 10).GetInterfacePtr(), empty.GetInterfacePtr());
  // A GIF of many frames: its first frame is fitted.
  EXPECT_TRUE(Fit(testpictures::ManyFrameGif(10000), true, true, 100, 1000).ok);
}

// --- the repository scope

TEST_F(Pictures, TheRepositoryScopeHandsBackTheBegunValue) {
  IUnknownPtr holder;
  doubles::FakeImageRepository* repository = doubles::FakeImageRepository::New(doubles.recorder, holder);
  repository->beginState = 42;
  doubles.instance->imageRepository = holder;
  doubles.recorder->Clear();
  {
    CImaRepositoryTransStatus scope;
    EXPECT_EQ(doubles.recorder->Count(L"IHxImageRepository::EndTransaction"), 0);
  }
  EXPECT_EQ(doubles.recorder->ArgsOf(L"IHxImageRepository::EndTransaction"), std::vector<std::wstring>{L"42"});
  const auto calls = doubles.recorder->Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_NE(calls[1].find(L"BeginTransaction"), std::wstring::npos);
  EXPECT_NE(calls[3].find(L"EndTransaction"), std::wstring::npos);

  // A failing beginning ends with 0; a failing end is dropped.
  doubles.recorder->Clear();
  doubles.recorder->FailOn(L"IHxImageRepository::BeginTransaction", E_FAIL);
  doubles.recorder->FailOn(L"IHxImageRepository::EndTransaction", E_FAIL);
  { CImaRepositoryTransStatus scope; }
  EXPECT_EQ(doubles.recorder->ArgsOf(L"IHxImageRepository::EndTransaction"), std::vector<std::wstring>{L"0"});

  // No repository, no services, no instance: nothing is called and nothing raises.
  doubles.recorder->ClearFailures();
  doubles.instance->imageRepository = nullptr;
  { CImaRepositoryTransStatus scope; }
  doubles.instance->hidden.insert(L"IHxAppServices");
  { CImaRepositoryTransStatus scope; }
  CHxInstance::SetInstance(nullptr);
  { CImaRepositoryTransStatus scope; }
  EXPECT_EQ(repository->beginState, 42);
}

}  // namespace
