// GDI+ images on ImageMagick's Magick++: decoding with the safe-input rules, scaling, drawing
// onto pictures, encoding, the codec list, start-up.
#include <Magick++.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>

#include "platform/gui/gdiplus.h"
#include "platform/gui/headless.h"
#include "platform/gui/internal.h"
#include "platform/strings/convert.h"

using MagickCore::Quantum;

namespace Gdiplus::detail {

// What an Image holds: the decoded picture and its format.
struct Picture {
  Magick::Image image;
  GUID format{};
  std::string name;     // "JPEG", "PNG", ... "MemoryBMP"
  bool blank = false;   // a new bitmap nothing was drawn on yet
  bool opaque = false;  // every pixel is known to be opaque (its alpha channel says nothing)
};

}  // namespace Gdiplus::detail

namespace platform::gui {
namespace {
std::atomic<bool> g_codecsReadable{true};
std::atomic<unsigned long long> g_decodedPixels{0};
}  // namespace
void SetImageCodecsReadable(bool readable) { g_codecsReadable = readable; }
unsigned long long DecodedPixels() { return g_decodedPixels; }
}  // namespace platform::gui

namespace platform::gui::detail {

void InitImageCodecs() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    // One decoding thread: the layer belongs to the user-interface thread.
    Magick::ResourceLimits::thread(1);
    // The pixel cache stays in memory within these bounds, never on disk.
    Magick::ResourceLimits::memory(2048ull << 20);
    Magick::ResourceLimits::map(2048ull << 20);
    Magick::ResourceLimits::disk(0);
    Magick::ResourceLimits::area(256ull << 20);
  });
}

}  // namespace platform::gui::detail

namespace Gdiplus {
namespace {

using detail::Picture;

constexpr ULONGLONG kMaxStreamBytes = kMaxPictureBytes;
constexpr size_t kMaxSide = 16384;
constexpr ULONGLONG kMaxPixels = 64ull << 20;

// --- the codec table

struct Codec {
  GUID clsid;
  GUID format;
  const wchar_t* name;
  const wchar_t* description;
  const wchar_t* extensions;
  const wchar_t* mime;
  const char* magick;
};

const Codec kCodecs[] = {
    {platform::com::GuidFromText("{557CF400-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatBMP, L"Built-in BMP Codec", L"BMP",
     L"*.BMP;*.DIB;*.RLE", L"image/bmp", "BMP3"},
    {platform::com::GuidFromText("{557CF401-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatJPEG, L"Built-in JPEG Codec", L"JPEG",
     L"*.JPG;*.JPEG;*.JPE;*.JFIF", L"image/jpeg", "JPEG"},
    {platform::com::GuidFromText("{557CF402-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatGIF, L"Built-in GIF Codec", L"GIF", L"*.GIF",
     L"image/gif", "GIF"},
    {platform::com::GuidFromText("{557CF405-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatTIFF, L"Built-in TIFF Codec", L"TIFF",
     L"*.TIF;*.TIFF", L"image/tiff", "TIFF"},
    {platform::com::GuidFromText("{557CF406-1A04-11D3-9A73-0000F81EF32E}"), ImageFormatPNG, L"Built-in PNG Codec", L"PNG", L"*.PNG",
     L"image/png", "PNG"},
};
constexpr UINT kCodecCount = sizeof kCodecs / sizeof kCodecs[0];
constexpr DWORD kCodecFlags = 0x1 | 0x2 | 0x4 | 0x10000;   // encoder, decoder, raster, built in

UINT TextChars(const wchar_t* text) { return static_cast<UINT>(std::wcslen(text) + 1); }

UINT CodecListSize() {
  UINT size = kCodecCount * sizeof(ImageCodecInfo);
  for (const Codec& c : kCodecs)
    size += (TextChars(c.name) + TextChars(c.description) + TextChars(c.extensions) + TextChars(c.mime)) *
            sizeof(wchar_t);
  return size;
}

Status CodecsSize(UINT* count, UINT* size) {
  if (!count || !size) return InvalidParameter;
  if (!platform::gui::g_codecsReadable) {
    *count = *size = 0;
    return GenericError;
  }
  *count = kCodecCount;
  *size = CodecListSize();
  return Ok;
}

Status Codecs(UINT count, UINT size, ImageCodecInfo* out) {
  if (!out) return InvalidParameter;
  if (!platform::gui::g_codecsReadable) return GenericError;
  if (count != kCodecCount || size < CodecListSize()) return InsufficientBuffer;
  auto* text = reinterpret_cast<wchar_t*>(out + kCodecCount);
  auto put = [&text](const wchar_t* value) {
    const UINT n = TextChars(value);
    std::wmemcpy(text, value, n);
    const wchar_t* at = text;
    text += n;
    return at;
  };
  for (UINT i = 0; i < kCodecCount; ++i) {
    const Codec& c = kCodecs[i];
    ImageCodecInfo& info = out[i];
    info = ImageCodecInfo{};
    info.Clsid = c.clsid;
    info.FormatID = c.format;
    info.CodecName = put(c.name);
    info.DllName = nullptr;
    info.FormatDescription = put(c.description);
    info.FilenameExtension = put(c.extensions);
    info.MimeType = put(c.mime);
    info.Flags = kCodecFlags;
    info.Version = 1;
  }
  return Ok;
}

const Codec* CodecByMagick(const std::string& magick) {
  for (const Codec& c : kCodecs)
    if (magick == c.magick) return &c;
  return nullptr;
}

// The codec of the bytes' format by their first bytes; null for anything else.
const Codec* Sniff(const std::vector<BYTE>& b) {
  auto starts = [&b](const char* sig, size_t n) { return b.size() >= n && std::memcmp(b.data(), sig, n) == 0; };
  if (starts("\xFF\xD8\xFF", 3)) return CodecByMagick("JPEG");
  if (starts("\x89PNG\r\n\x1A\n", 8)) return CodecByMagick("PNG");
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return CodecByMagick("GIF");
  if (starts("II*\0", 4) || starts("MM\0*", 4)) return CodecByMagick("TIFF");
  if (starts("BM", 2) && b.size() >= 26) return CodecByMagick("BMP3");
  return nullptr;
}

}  // namespace

bool IsPictureHeader(const BYTE* bytes, size_t size) {
  return bytes && Sniff(std::vector<BYTE>(bytes, bytes + size)) != nullptr;
}

namespace {

// The whole stream from its current position, or false when it breaks off or is too large.
bool ReadAll(IStream* stream, std::vector<BYTE>& bytes) {
  BYTE chunk[65536];
  while (true) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(chunk, sizeof chunk, &got);
    if (FAILED(hr)) return false;
    if (got == 0) return true;
    if (bytes.size() + got > kMaxStreamBytes) return false;
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (hr == S_FALSE) return true;
  }
}

bool ReadFileBytes(const WCHAR* name, std::vector<BYTE>& bytes) {
  if (!name) return false;
  std::ifstream in(platform::WideToUtf8(name), std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<ULONGLONG>(size) > kMaxStreamBytes) return false;
  in.seekg(0, std::ios::beg);
  bytes.resize(static_cast<size_t>(size));
  return size == 0 || static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), size));
}

// Reads the first frame of the named format from the blob into `image`; a warning keeps what was
// decoded.
void ReadFirstFrame(Magick::Image& image, const Magick::Blob& blob, const char* magick, bool ping) {
  image.quiet(true);
  image.subImage(0);
  image.subRange(1);
  image.magick(magick);
  try {
    if (ping) image.ping(blob);
    else image.read(blob);
  } catch (const Magick::Warning&) {
  }
}

// Decodes the bytes into a picture, or says why not.
Status Decode(const std::vector<BYTE>& bytes, std::unique_ptr<Picture>& out) {
  if (bytes.empty()) return UnknownImageFormat;
  const Codec* codec = Sniff(bytes);
  if (!codec) return UnknownImageFormat;
  platform::gui::detail::InitImageCodecs();
  try {
    const Magick::Blob blob(bytes.data(), bytes.size());
    {
      Magick::Image header;
      ReadFirstFrame(header, blob, codec->magick, true);
      const size_t w = header.columns(), h = header.rows();
      if (w == 0 || h == 0) return UnknownImageFormat;
      if (w > kMaxSide || h > kMaxSide || static_cast<ULONGLONG>(w) * h > kMaxPixels) return OutOfMemory;
    }
    auto picture = std::make_unique<Picture>();
    ReadFirstFrame(picture->image, blob, codec->magick, false);
    const size_t w = picture->image.columns(), h = picture->image.rows();
    platform::gui::g_decodedPixels += static_cast<unsigned long long>(w) * h;
    if (w == 0 || h == 0) return UnknownImageFormat;
    if (w > kMaxSide || h > kMaxSide || static_cast<ULONGLONG>(w) * h > kMaxPixels) return OutOfMemory;
    picture->image.quiet(true);
    picture->format = codec->format;
    picture->name = codec->magick == std::string("BMP3") ? "BMP" : codec->magick;
    out = std::move(picture);
    return Ok;
  } catch (const Magick::ErrorResourceLimit&) {
    return OutOfMemory;
  } catch (const std::exception&) {
    return UnknownImageFormat;
  }
}

// --- JPEG decoded at a reduced scale (for thumbnails), by libjpeg directly. Every C++ object of a
// decode lives outside the functions that libjpeg's errors jump out of.

struct JpegReader {
  jpeg_decompress_struct info{};
  jpeg_error_mgr manager{};
  std::jmp_buf jump{};
  bool created = false;
  bool warned = false;
  JpegReader() = default;
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;
  ~JpegReader() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

JpegReader& ReaderOf(j_common_ptr info) { return *static_cast<JpegReader*>(info->client_data); }
[[noreturn]] void JpegFailed(j_common_ptr info) { std::longjmp(ReaderOf(info).jump, 1); }
void JpegMessage(j_common_ptr info, int level) {
  if (level < 0) ReaderOf(info).warned = true;  // damaged data: the general path decodes it
}

// The header; false on an error or a warning.
bool JpegHeader(JpegReader& r, const BYTE* data, size_t size) {
  r.info.err = jpeg_std_error(&r.manager);
  r.info.client_data = &r;
  r.manager.error_exit = JpegFailed;
  r.manager.emit_message = JpegMessage;
  if (setjmp(r.jump)) return false;
  r.created = true;
  jpeg_create_decompress(&r.info);
  jpeg_mem_src(&r.info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&r.info, TRUE);
  return !r.warned;
}

// The output's size at scale eighths/8, as RGB; false on an error.
bool JpegScale(JpegReader& r, unsigned eighths) {
  if (setjmp(r.jump)) return false;
  r.info.scale_num = eighths;
  r.info.scale_denom = 8;
  r.info.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&r.info);
  return true;
}

// The scaled picture's rows into `out` (output_width x output_height x 3); false on an error or a
// warning.
bool JpegRows(JpegReader& r, BYTE* out) {
  if (setjmp(r.jump)) return false;
  jpeg_start_decompress(&r.info);
  const size_t stride = static_cast<size_t>(r.info.output_width) * 3;
  while (r.info.output_scanline < r.info.output_height) {
    JSAMPROW row = out + static_cast<size_t>(r.info.output_scanline) * stride;
    if (jpeg_read_scanlines(&r.info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&r.info);
  return !r.warned;
}

enum class Scaled { kDone, kNotWanted, kRefused, kDeclined };

// A JPEG decoded at the smallest scale M/8 whose sides are at least the thumbnail's, which `size`
// answers for the picture's size (`asked` then holds it). Declined (the general path decodes it)
// for colour spaces other than grey, YCbCr and RGB, for a picture the full scale is needed for, and
// on any error or warning; refused (`status`) for a picture larger than the layer decodes.
Scaled DecodeScaledJpeg(const std::vector<BYTE>& bytes, const Image::ThumbnailSize& size, Status& status,
                        bool& asked, UINT& width, UINT& height, std::unique_ptr<Picture>& out) {
  JpegReader r;
  if (!JpegHeader(r, bytes.data(), bytes.size())) return Scaled::kDeclined;
  const UINT w = r.info.image_width, h = r.info.image_height;
  if (w == 0 || h == 0) return Scaled::kDeclined;
  if (w > kMaxSide || h > kMaxSide || static_cast<ULONGLONG>(w) * h > kMaxPixels) {
    status = OutOfMemory;
    return Scaled::kRefused;
  }
  asked = true;
  if (!size(w, h, width, height) || width == 0 || height == 0) return Scaled::kNotWanted;
  const J_COLOR_SPACE space = r.info.jpeg_color_space;
  if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) return Scaled::kDeclined;
  unsigned eighths = 1;
  auto side = [](UINT full, unsigned m) { return (static_cast<ULONGLONG>(full) * m + 7) / 8; };
  while (eighths < 8 && (side(w, eighths) < width || side(h, eighths) < height)) ++eighths;
  if (eighths == 8 || !JpegScale(r, eighths)) return Scaled::kDeclined;
  std::vector<BYTE> rgb(static_cast<size_t>(r.info.output_width) * r.info.output_height * 3);
  if (!JpegRows(r, rgb.data())) return Scaled::kDeclined;
  platform::gui::g_decodedPixels += static_cast<unsigned long long>(r.info.output_width) * r.info.output_height;
  auto picture = std::make_unique<Picture>();
  picture->image = Magick::Image(r.info.output_width, r.info.output_height, "RGB", Magick::CharPixel, rgb.data());
  if (r.info.density_unit == 1 || r.info.density_unit == 2) {
    picture->image.resolutionUnits(r.info.density_unit == 1 ? Magick::PixelsPerInchResolution
                                                            : Magick::PixelsPerCentimeterResolution);
    picture->image.density(Magick::Geometry(r.info.X_density, r.info.Y_density));
  }
  picture->image.quiet(true);
  picture->format = ImageFormatJPEG;
  picture->name = "JPEG";
  out = std::move(picture);
  return Scaled::kDone;
}

// The ARGB bitmap of `width` x `height`, transparent black (opaque black without alpha).
std::unique_ptr<Picture> BlankPicture(size_t width, size_t height, bool alpha) {
  platform::gui::detail::InitImageCodecs();
  auto picture = std::make_unique<Picture>();
  picture->image = Magick::Image(Magick::Geometry(width, height), Magick::Color(0, 0, 0, alpha ? QuantumRange : 0));
  picture->image.quiet(true);
  picture->image.matte(alpha);
  picture->image.density(Magick::Geometry(96, 96));
  picture->image.resolutionUnits(Magick::PixelsPerInchResolution);
  picture->format = ImageFormatMemoryBMP;
  picture->name = "MemoryBMP";
  picture->blank = true;
  return picture;
}

REAL Resolution(const Magick::Image& image, bool horizontal) {
  try {
    const Magick::Geometry d = image.density();
    double v = horizontal ? d.width() : d.height();
    if (v <= 0) return 96.0f;
    if (image.resolutionUnits() == Magick::PixelsPerCentimeterResolution) v *= 2.54;
    return static_cast<REAL>(v);
  } catch (const std::exception&) {
    return 96.0f;
  }
}

// The picture scaled to width x height: smooth (cubic) or the nearest pixel.
Magick::Image Scaled(const Magick::Image& source, size_t width, size_t height, bool smooth) {
  Magick::Image copy = source;
  const Magick::Geometry size(width, height);
  Magick::Geometry exact = size;
  exact.aspect(true);
  if (source.columns() == width && source.rows() == height) return copy;
  if (smooth) {
    copy.filterType(Magick::CatromFilter);
    copy.resize(exact);
  } else {
    copy.sample(exact);
  }
  return copy;
}

}  // namespace

// --- start-up

namespace {
std::mutex g_startMutex;
ULONG_PTR g_nextToken = 1;
int g_started = 0;
}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input) return InvalidParameter;
  if (input->GdiplusVersion != 1) return InvalidParameter;
  if (input->SuppressBackgroundThread && !output) return InvalidParameter;
  try {
    platform::gui::detail::InitImageCodecs();
  } catch (const std::exception&) {
    return GenericError;
  }
  std::lock_guard<std::mutex> lock(g_startMutex);
  ++g_started;
  *token = g_nextToken++;
  if (output) *output = GdiplusStartupOutput{};
  return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
  std::lock_guard<std::mutex> lock(g_startMutex);
  if (token != 0 && g_started > 0) --g_started;
}

Status GetImageDecodersSize(UINT* count, UINT* size) { return CodecsSize(count, size); }
Status GetImageDecoders(UINT count, UINT size, ImageCodecInfo* decoders) { return Codecs(count, size, decoders); }
Status GetImageEncodersSize(UINT* count, UINT* size) { return CodecsSize(count, size); }
Status GetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders) { return Codecs(count, size, encoders); }

// --- Image

Image::Image() = default;
Image::~Image() = default;

void Image::Adopt(std::unique_ptr<Picture> data) {
  m_data = std::move(data);
  m_width = m_data ? static_cast<UINT>(m_data->image.columns()) : 0;
  m_height = m_data ? static_cast<UINT>(m_data->image.rows()) : 0;
  m_pixels.clear();
  m_pixelsMade = false;
  m_last = m_data ? Ok : GenericError;
}

Image::Image(IStream* stream, BOOL) {
  if (!stream) {
    m_last = InvalidParameter;
    return;
  }
  std::vector<BYTE> bytes;
  if (!ReadAll(stream, bytes)) {
    m_last = Win32Error;
    return;
  }
  std::unique_ptr<Picture> picture;
  m_last = Decode(bytes, picture);
  if (m_last == Ok) Adopt(std::move(picture));
}

Image::Image(const WCHAR* fileName, BOOL) {
  std::vector<BYTE> bytes;
  if (!fileName) {
    m_last = InvalidParameter;
    return;
  }
  if (!ReadFileBytes(fileName, bytes)) {
    m_last = Win32Error;
    return;
  }
  std::unique_ptr<Picture> picture;
  m_last = Decode(bytes, picture);
  if (m_last == Ok) Adopt(std::move(picture));
}

Image* Image::FromStream(IStream* stream, BOOL useEmbeddedColorManagement) {
  return new Image(stream, useEmbeddedColorManagement);
}

Image* Image::FromFile(const WCHAR* fileName, BOOL useEmbeddedColorManagement) {
  return new Image(fileName, useEmbeddedColorManagement);
}

Image* Image::Clone() const {
  auto* copy = new Image();
  if (!m_data) {
    copy->m_last = m_last == Ok ? GenericError : m_last;
    return copy;
  }
  try {
    copy->Adopt(std::make_unique<Picture>(*m_data));
  } catch (const std::exception&) {
    copy->m_last = OutOfMemory;
  }
  return copy;
}

Status Image::GetRawFormat(GUID* format) const {
  if (!format) return InvalidParameter;
  if (!m_data) return m_last == Ok ? GenericError : m_last;
  *format = m_data->format;
  return Ok;
}

PixelFormat Image::GetPixelFormat() const {
  if (!m_data) return 0;
  return m_data->image.matte() ? PixelFormat32bppARGB : PixelFormat24bppRGB;
}

REAL Image::GetHorizontalResolution() const { return m_data ? Resolution(m_data->image, true) : 0; }
REAL Image::GetVerticalResolution() const { return m_data ? Resolution(m_data->image, false) : 0; }

std::string Image::FormatName() const { return m_data ? m_data->name : std::string(); }

void Image::Touch() {
  m_pixels.clear();
  m_pixelsMade = false;
  if (m_data) m_data->blank = false;
}

const std::vector<ARGB>& Image::Pixels() const {
  if (m_pixelsMade || !m_data) return m_pixels;
  m_pixelsMade = true;
  try {
    const size_t w = m_width, h = m_height;
    std::vector<BYTE> bgra(w * h * 4);
    Magick::Image copy = m_data->image;
    copy.write(0, 0, w, h, "BGRA", Magick::CharPixel, bgra.data());
    m_pixels.resize(w * h);
    for (size_t i = 0; i < m_pixels.size(); ++i) {
      const BYTE* p = &bgra[i * 4];
      m_pixels[i] = Color::MakeARGB(p[3], p[2], p[1], p[0]);
    }
  } catch (const std::exception&) {
    m_pixels.clear();
  }
  return m_pixels;
}

ARGB Image::PixelAt(UINT x, UINT y) const {
  const std::vector<ARGB>& p = Pixels();
  return x < m_width && y < m_height && !p.empty() ? p[static_cast<size_t>(y) * m_width + x] : 0;
}

Image* Image::GetThumbnailImage(UINT width, UINT height, GetThumbnailImageAbort, void*) {
  if (!m_data) return nullptr;
  if (width == 0 && height == 0) {
    // The picture's own thumbnail size: within 120 x 120, keeping the proportion.
    const double scale = std::min(120.0 / m_width, 120.0 / m_height);
    width = std::max<UINT>(1, static_cast<UINT>(m_width * scale));
    height = std::max<UINT>(1, static_cast<UINT>(m_height * scale));
  }
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  try {
    auto picture = std::make_unique<Picture>();
    picture->image = m_data->image;
    Magick::Geometry exact(width, height);
    exact.aspect(true);
    picture->image.thumbnail(exact);
    picture->format = m_data->format;
    picture->name = m_data->name;
    auto* thumbnail = new Image();
    thumbnail->Adopt(std::move(picture));
    return thumbnail;
  } catch (const std::exception&) {
    return nullptr;
  }
}

Image* Image::ThumbnailFromFile(const WCHAR* fileName, const ThumbnailSize& size, Status* status) {
  Status local = Ok;
  Status& result = status ? *status : local;
  result = Ok;
  std::vector<BYTE> bytes;
  if (!fileName) {
    result = InvalidParameter;
    return nullptr;
  }
  if (!ReadFileBytes(fileName, bytes)) {
    result = Win32Error;
    return nullptr;
  }
  bool asked = false;
  UINT width = 0, height = 0;
  const Codec* codec = Sniff(bytes);
  if (codec && codec->format == ImageFormatJPEG) {
    platform::gui::detail::InitImageCodecs();
    std::unique_ptr<Picture> scaled;
    try {
      switch (DecodeScaledJpeg(bytes, size, result, asked, width, height, scaled)) {
        case Scaled::kNotWanted:
        case Scaled::kRefused:
          return nullptr;
        case Scaled::kDone: {
          // The reduced picture averaged over each thumbnail pixel's area (a box filter): as
          // smooth as a filtered resize at a quarter of its cost. (The general thumbnail first
          // samples a picture to five times the thumbnail's sides, which would enlarge a picture
          // this small before shrinking it.)
          Magick::Geometry exact(width, height);
          exact.aspect(true);
          scaled->image.scale(exact);
          auto* thumbnail = new Image();
          thumbnail->Adopt(std::move(scaled));
          return thumbnail;
        }
        case Scaled::kDeclined:
          break;
      }
    } catch (const std::exception&) {
      // decoded whole below
    }
  }
  Image full;
  std::unique_ptr<Picture> picture;
  result = Decode(bytes, picture);
  if (result != Ok) return nullptr;
  full.Adopt(std::move(picture));
  if (!asked && !size(full.m_width, full.m_height, width, height)) return nullptr;
  if (width == 0 || height == 0) return nullptr;
  Image* thumbnail = full.GetThumbnailImage(width, height);
  if (!thumbnail) result = OutOfMemory;
  return thumbnail;
}

Status Image::Save(IStream* stream, const CLSID* encoder, const EncoderParameters* parameters) {
  if (!stream || !encoder) return InvalidParameter;
  if (!m_data) return m_last == Ok ? GenericError : m_last;
  const Codec* codec = nullptr;
  for (const Codec& c : kCodecs)
    if (c.clsid == *encoder) codec = &c;
  if (!codec) return FileNotFound;   // as the platform answers an unknown encoder
  LONG quality = 75;
  if (parameters) {
    for (UINT i = 0; i < parameters->Count; ++i) {
      const EncoderParameter& p = parameters->Parameter[i];
      if (p.Guid == EncoderQuality) {
        if (p.NumberOfValues < 1 || !p.Value) return InvalidParameter;
        const ULONG v = *static_cast<const ULONG*>(p.Value);
        if (v > 100) return InvalidParameter;
        quality = static_cast<LONG>(v);
      }
    }
  }
  try {
    // A picture that decoded with a warning (a JPEG cut short) still carries it, and every change
    // of the copy and its encoding would raise it again: warnings are not failures here.
    Magick::Image copy = m_data->image;
    copy.quiet(true);
    copy.strip();
    if (codec->format == ImageFormatJPEG) {
      // JPEG has no alpha: transparent parts show white, as the platform's encoder gives.
      if (copy.matte() && m_data->opaque) {
        copy.matte(false);
      } else if (copy.matte()) {
        Magick::Image white(Magick::Geometry(copy.columns(), copy.rows()), Magick::Color("white"));
        white.composite(copy, 0, 0, Magick::OverCompositeOp);
        white.density(copy.density());
        white.resolutionUnits(copy.resolutionUnits());
        copy = white;
      }
      copy.depth(8);
      // Magick++ takes 0 for "its default"; the lowest quality it knows is 1.
      copy.quality(static_cast<size_t>(std::max<LONG>(1, quality)));
    }
    copy.magick(codec->magick);
    Magick::Blob blob;
    try {
      copy.write(&blob);
    } catch (const Magick::Warning&) {
    }
    if (blob.length() == 0) return GenericError;
    ULONG written = 0;
    const HRESULT hr = stream->Write(blob.data(), static_cast<ULONG>(blob.length()), &written);
    if (FAILED(hr) || written != blob.length()) return Win32Error;
    return Ok;
  } catch (const Magick::ErrorResourceLimit&) {
    return OutOfMemory;
  } catch (const std::exception&) {
    return GenericError;
  }
}

Status Image::Save(const WCHAR* fileName, const CLSID* encoder, const EncoderParameters* parameters) {
  if (!fileName) return InvalidParameter;
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw))) return OutOfMemory;
  IStreamPtr stream(raw, false);
  const Status s = Save(stream, encoder, parameters);
  if (s != Ok) return s;
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  std::vector<char> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  ULONG got = 0;
  if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
  std::ofstream out(platform::WideToUtf8(fileName), std::ios::binary | std::ios::trunc);
  if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(got))) return Win32Error;
  return Ok;
}

// --- Bitmap

Bitmap::Bitmap(INT width, INT height, PixelFormat format) {
  if (width <= 0 || height <= 0 || static_cast<size_t>(width) > kMaxSide || static_cast<size_t>(height) > kMaxSide) {
    m_last = InvalidParameter;
    return;
  }
  if (format != PixelFormat32bppARGB && format != PixelFormat32bppRGB && format != PixelFormat24bppRGB) {
    m_last = InvalidParameter;
    return;
  }
  try {
    Adopt(BlankPicture(static_cast<size_t>(width), static_cast<size_t>(height), format == PixelFormat32bppARGB));
  } catch (const std::exception&) {
    m_last = OutOfMemory;
  }
}

Status Bitmap::SetResolution(REAL xdpi, REAL ydpi) {
  if (xdpi <= 0 || ydpi <= 0) return InvalidParameter;
  if (!m_data) return m_last == Ok ? GenericError : m_last;
  try {
    m_data->image.resolutionUnits(Magick::PixelsPerInchResolution);
    m_data->image.density(Magick::Geometry(static_cast<size_t>(xdpi + 0.5f), static_cast<size_t>(ydpi + 0.5f)));
    return Ok;
  } catch (const std::exception&) {
    return GenericError;
  }
}

Status Bitmap::GetPixel(INT x, INT y, Color* color) const {
  if (!color) return InvalidParameter;
  if (!m_data) return m_last == Ok ? GenericError : m_last;
  if (x < 0 || y < 0 || static_cast<UINT>(x) >= m_width || static_cast<UINT>(y) >= m_height) return InvalidParameter;
  *color = Color(PixelAt(static_cast<UINT>(x), static_cast<UINT>(y)));
  return Ok;
}

// --- drawing onto pictures

namespace detail {

Status DrawOnPicture(Image* target, Image* source, INT x, INT y, INT width, INT height, bool smooth) {
  Picture* t = target ? target->Data() : nullptr;
  Picture* s = source ? source->Data() : nullptr;
  if (!t || !s) return InvalidParameter;
  if (width == 0 || height == 0) return Ok;
  if (width > static_cast<INT>(kMaxSide) || height > static_cast<INT>(kMaxSide)) return OutOfMemory;
  try {
    Magick::Image scaled = Scaled(s->image, static_cast<size_t>(width), static_cast<size_t>(height), smooth);
    const bool whole = x == 0 && y == 0 && static_cast<size_t>(width) == t->image.columns() &&
                       static_cast<size_t>(height) == t->image.rows();
    if (whole && t->blank && !scaled.matte()) {
      // Drawing an opaque picture over the whole of a new bitmap: the picture is the result.
      const Magick::Geometry density = t->image.density();
      const Magick::ResolutionType units = t->image.resolutionUnits();
      const bool alpha = t->image.matte();
      t->image = scaled;
      t->image.matte(alpha);
      t->image.density(density);
      t->image.resolutionUnits(units);
      t->opaque = true;
    } else {
      // Drawn over an opaque picture, the picture stays opaque.
      t->image.composite(scaled, x, y, Magick::OverCompositeOp);
    }
    target->Touch();
    return Ok;
  } catch (const Magick::ErrorResourceLimit&) {
    return OutOfMemory;
  } catch (const std::exception&) {
    return GenericError;
  }
}

Status ClearPicture(Image* target, const Color& color) {
  Picture* t = target ? target->Data() : nullptr;
  if (!t) return InvalidParameter;
  try {
    const double q = QuantumRange / 255.0;
    Magick::Color c(static_cast<MagickCore::Quantum>(color.GetR() * q), static_cast<MagickCore::Quantum>(color.GetG() * q),
                    static_cast<MagickCore::Quantum>(color.GetB() * q),
                    static_cast<MagickCore::Quantum>((255 - color.GetA()) * q));
    const Magick::Geometry density = t->image.density();
    const bool alpha = t->image.matte();
    t->image = Magick::Image(Magick::Geometry(t->image.columns(), t->image.rows()), c);
    t->image.matte(alpha);
    t->image.density(density);
    t->opaque = color.GetA() == 255;
    target->Touch();
    return Ok;
  } catch (const std::exception&) {
    return GenericError;
  }
}

}  // namespace detail
}  // namespace Gdiplus
