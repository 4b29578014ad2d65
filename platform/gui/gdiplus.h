#pragma once
// The part of GDI+ the system uses, over device contexts of the headless layer (cairo and pango):
// a graphics object with smoothing, pixel-offset and text-rendering modes; solid ARGB brushes;
// filled ellipses, rectangles and paths of lines and arcs; font families, fonts and string
// formats; drawn and measured strings; images and bitmaps decoded, scaled and encoded by Magick++
// (platform/gui/gdiplus_image.cpp).
//
// Coordinates: with PixelOffsetModeHalf or HighQuality a pixel covers [x, x + 1); with the other
// modes its centre lies on the integer coordinate, as on the platform. Anti-aliasing (smoothing
// modes AntiAlias and HighQuality) blends the edge pixels by coverage. Colours with an alpha
// below 255 are blended over what is there.
//
// Fonts: the layer's font table holds the faces installed with it, "DejaVu Sans", "DejaVu Serif"
// and "DejaVu Sans Mono" (any case); any other family name fails with FontFamilyNotFound, as a
// face missing from the system does. Sizes are in points at 96 pixels per inch (or in pixels with
// UnitPixel). Text is laid out by pango on one line per line break; a string is clipped to its
// layout rectangle unless that is empty or StringFormatFlagsNoClip is set.
//
// Failures are kept as the object's last status and returned; nothing raises.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/gui/windows.h"

namespace Gdiplus {

using INT = int;
using REAL = float;
using ARGB = DWORD;

enum Status {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
  FontFamilyNotFound = 14,
  FontStyleNotFound = 15,
  NotTrueTypeFont = 16,
};

enum SmoothingMode {
  SmoothingModeInvalid = -1,
  SmoothingModeDefault = 0,
  SmoothingModeHighSpeed = 1,
  SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3,
  SmoothingModeAntiAlias = 4,
};

enum PixelOffsetMode {
  PixelOffsetModeInvalid = -1,
  PixelOffsetModeDefault = 0,
  PixelOffsetModeHighSpeed = 1,
  PixelOffsetModeHighQuality = 2,
  PixelOffsetModeNone = 3,
  PixelOffsetModeHalf = 4,
};

enum TextRenderingHint {
  TextRenderingHintSystemDefault = 0,
  TextRenderingHintSingleBitPerPixelGridFit = 1,
  TextRenderingHintSingleBitPerPixel = 2,
  TextRenderingHintAntiAliasGridFit = 3,
  TextRenderingHintAntiAlias = 4,
  TextRenderingHintClearTypeGridFit = 5,
};

enum Unit { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3 };

enum FontStyle {
  FontStyleRegular = 0,
  FontStyleBold = 1,
  FontStyleItalic = 2,
  FontStyleBoldItalic = 3,
  FontStyleUnderline = 4,
  FontStyleStrikeout = 8,
};

enum StringAlignment { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };

enum StringFormatFlags { StringFormatFlagsNoWrap = 0x1000, StringFormatFlagsNoClip = 0x4000 };

enum FillMode { FillModeAlternate = 0, FillModeWinding = 1 };

struct PointF {
  PointF() = default;
  PointF(REAL x, REAL y) : X(x), Y(y) {}
  REAL X = 0;
  REAL Y = 0;
};

struct SizeF {
  SizeF() = default;
  SizeF(REAL w, REAL h) : Width(w), Height(h) {}
  REAL Width = 0;
  REAL Height = 0;
};

struct RectF {
  RectF() = default;
  RectF(REAL x, REAL y, REAL w, REAL h) : X(x), Y(y), Width(w), Height(h) {}
  REAL GetLeft() const { return X; }
  REAL GetTop() const { return Y; }
  REAL GetRight() const { return X + Width; }
  REAL GetBottom() const { return Y + Height; }
  bool IsEmptyArea() const { return Width <= 0 || Height <= 0; }
  REAL X = 0;
  REAL Y = 0;
  REAL Width = 0;
  REAL Height = 0;
};

struct Rect {
  Rect() = default;
  Rect(INT x, INT y, INT w, INT h) : X(x), Y(y), Width(w), Height(h) {}
  INT X = 0;
  INT Y = 0;
  INT Width = 0;
  INT Height = 0;
};

class Color {
 public:
  Color() : m_argb(0xFF000000) {}
  Color(BYTE r, BYTE g, BYTE b) : m_argb(MakeARGB(255, r, g, b)) {}
  Color(BYTE a, BYTE r, BYTE g, BYTE b) : m_argb(MakeARGB(a, r, g, b)) {}
  explicit Color(ARGB argb) : m_argb(argb) {}
  BYTE GetA() const { return static_cast<BYTE>(m_argb >> 24); }
  BYTE GetR() const { return static_cast<BYTE>(m_argb >> 16); }
  BYTE GetG() const { return static_cast<BYTE>(m_argb >> 8); }
  BYTE GetB() const { return static_cast<BYTE>(m_argb); }
  ARGB GetValue() const { return m_argb; }
  void SetFromCOLORREF(COLORREF c) { m_argb = MakeARGB(255, GetRValue(c), GetGValue(c), GetBValue(c)); }
  COLORREF ToCOLORREF() const { return RGB(GetR(), GetG(), GetB()); }
  static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
    return (static_cast<ARGB>(a) << 24) | (static_cast<ARGB>(r) << 16) | (static_cast<ARGB>(g) << 8) | b;
  }

 private:
  ARGB m_argb;
};

class Brush {
 public:
  virtual ~Brush() = default;
};

class SolidBrush : public Brush {
 public:
  explicit SolidBrush(const Color& color) : m_color(color) {}
  Status GetColor(Color* color) const {
    if (!color) return InvalidParameter;
    *color = m_color;
    return Ok;
  }
  Status SetColor(const Color& color) {
    m_color = color;
    return Ok;
  }

 private:
  Color m_color;
};

// A path of figures, each a chain of lines and elliptical arcs joined by straight lines;
// CloseFigure closes the current figure and the next segment starts a new one. Angles are in
// degrees, clockwise on the screen from the positive x axis.
class GraphicsPath {
 public:
  explicit GraphicsPath(FillMode mode = FillModeAlternate) : m_fillMode(mode) {}
  Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
  Status AddLine(INT x1, INT y1, INT x2, INT y2) {
    return AddLine(static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2), static_cast<REAL>(y2));
  }
  // The arc of the ellipse in the box; an empty box is InvalidParameter and adds nothing.
  Status AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
  Status AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle) {
    return AddArc(static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width), static_cast<REAL>(height),
                  startAngle, sweepAngle);
  }
  Status AddRectangle(const RectF& rect);
  Status StartFigure();
  Status CloseFigure();
  Status Reset();
  FillMode GetFillMode() const { return m_fillMode; }
  Status SetFillMode(FillMode mode) {
    m_fillMode = mode;
    return Ok;
  }
  INT GetSegmentCount() const { return static_cast<INT>(m_segments.size()); }
  Status GetLastStatus() {
    const Status s = m_last;
    m_last = Ok;
    return s;
  }

  struct Segment {
    bool arc = false;
    REAL a = 0, b = 0, c = 0, d = 0;   // line: x1 y1 x2 y2; arc: x y width height
    REAL start = 0, sweep = 0;
    bool startsFigure = false;
    bool closesFigure = false;
  };
  const std::vector<Segment>& Segments() const { return m_segments; }

 private:
  Status Add(Segment segment);
  std::vector<Segment> m_segments;
  bool m_newFigure = true;
  FillMode m_fillMode;
  Status m_last = Ok;
};

class FontCollection;

class FontFamily {
 public:
  FontFamily() : m_last(FontFamilyNotFound) {}
  explicit FontFamily(const WCHAR* name, const FontCollection* collection = nullptr);
  static const FontFamily* GenericSansSerif();
  static const FontFamily* GenericSerif();
  static const FontFamily* GenericMonospace();
  Status GetFamilyName(WCHAR name[32], WCHAR language = 0) const;
  BOOL IsAvailable() const { return m_last == Ok; }
  Status GetLastStatus() const { return m_last; }
  FontFamily* Clone() const { return new FontFamily(*this); }
  // The face the layer draws with ("DejaVu Sans"); empty when not available.
  const std::wstring& Face() const { return m_face; }

 private:
  std::wstring m_face;
  Status m_last;
};

class Font {
 public:
  Font(const FontFamily* family, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint);
  Font(const WCHAR* familyName, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint,
       const FontCollection* collection = nullptr);
  BOOL IsAvailable() const { return m_last == Ok; }
  Status GetLastStatus() const { return m_last; }
  REAL GetSize() const { return m_size; }
  INT GetStyle() const { return m_style; }
  Unit GetUnit() const { return m_unit; }
  Status GetFamily(FontFamily* family) const;
  // The em in pixels at 96 pixels per inch.
  REAL EmPixels() const;
  const std::wstring& Face() const { return m_family.Face(); }

 private:
  FontFamily m_family;
  REAL m_size;
  INT m_style;
  Unit m_unit;
  Status m_last;
};

class StringFormat {
 public:
  explicit StringFormat(INT flags = 0, WCHAR language = 0) : m_flags(flags) {}
  static const StringFormat* GenericDefault();
  Status SetAlignment(StringAlignment a) {
    m_align = a;
    return Ok;
  }
  Status SetLineAlignment(StringAlignment a) {
    m_lineAlign = a;
    return Ok;
  }
  StringAlignment GetAlignment() const { return m_align; }
  StringAlignment GetLineAlignment() const { return m_lineAlign; }
  Status SetFormatFlags(INT flags) {
    m_flags = flags;
    return Ok;
  }
  INT GetFormatFlags() const { return m_flags; }

 private:
  INT m_flags;
  StringAlignment m_align = StringAlignmentNear;
  StringAlignment m_lineAlign = StringAlignmentNear;
};

class ImageAttributes;

enum InterpolationMode {
  InterpolationModeInvalid = -1,
  InterpolationModeDefault = 0,
  InterpolationModeLowQuality = 1,
  InterpolationModeHighQuality = 2,
  InterpolationModeBilinear = 3,
  InterpolationModeBicubic = 4,
  InterpolationModeNearestNeighbor = 5,
  InterpolationModeHighQualityBilinear = 6,
  InterpolationModeHighQualityBicubic = 7,
};

using PixelFormat = INT;
constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;

// Start-up and shut-down. Start-ups are counted; the codecs are initialised once per process.
struct GdiplusStartupInput {
  UINT GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};
struct GdiplusStartupOutput {
  void* NotificationHook = nullptr;
  void* NotificationUnhook = nullptr;
};
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// The picture formats (raw formats of images, format ids of codecs).
inline constexpr GUID ImageFormatMemoryBMP = platform::com::GuidFromText("{B96B3CAA-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatBMP = platform::com::GuidFromText("{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatJPEG = platform::com::GuidFromText("{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatPNG = platform::com::GuidFromText("{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatGIF = platform::com::GuidFromText("{B96B3CB0-0728-11D3-9D7B-0000F81EF32E}");
inline constexpr GUID ImageFormatTIFF = platform::com::GuidFromText("{B96B3CB1-0728-11D3-9D7B-0000F81EF32E}");

// Encoder parameters: only the quality (one ULONG, 0 lowest to 100) is read.
inline constexpr GUID EncoderQuality = platform::com::GuidFromText("{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}");
enum EncoderParameterValueType { EncoderParameterValueTypeLong = 4 };
struct EncoderParameter {
  GUID Guid;
  ULONG NumberOfValues;
  ULONG Type;
  void* Value;
};
struct EncoderParameters {
  UINT Count;
  EncoderParameter Parameter[1];
};

// One codec's description. The texts live in the buffer the list was copied into.
struct ImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR* CodecName;
  const WCHAR* DllName;
  const WCHAR* FormatDescription;
  const WCHAR* FilenameExtension;
  const WCHAR* MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE* SigPattern;
  const BYTE* SigMask;
};
// The raster codecs, BMP, JPEG, GIF, TIFF and PNG in that order, each both decoder and encoder.
// `size` is the bytes the list takes: the records followed by their texts.
Status GetImageDecodersSize(UINT* count, UINT* size);
Status GetImageDecoders(UINT count, UINT size, ImageCodecInfo* decoders);
Status GetImageEncodersSize(UINT* count, UINT* size);
Status GetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders);

using GetThumbnailImageAbort = BOOL (*)(void* data);

namespace detail {
struct Picture;
}

// The most bytes an encoded picture may have: a larger stream or file is refused unread.
inline constexpr ULONGLONG kMaxPictureBytes = 256ull << 20;
// Whether the first bytes are those of a picture the decoder reads (JPEG, PNG, GIF, TIFF or BMP);
// a caller that reads a file can tell a non-picture by its first 32 bytes.
bool IsPictureHeader(const BYTE* bytes, size_t size);

// A raster picture. Decoding is safe with hostile input: the format is known by its first bytes
// (BMP, JPEG, GIF, TIFF or PNG; anything else is UnknownImageFormat and reaches no decoder), the
// size in the header is checked before decoding (more than 16,384 pixels a side or 64 megapixels
// is OutOfMemory), only the first frame of an animation or a multi-page file is decoded, and a
// picture that decodes with only a warning (a truncated JPEG) keeps what was decoded. Every
// failure is a status; nothing raises.
class Image {
 public:
  explicit Image(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
  explicit Image(const WCHAR* fileName, BOOL useEmbeddedColorManagement = FALSE);
  virtual ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  static Image* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
  static Image* FromFile(const WCHAR* fileName, BOOL useEmbeddedColorManagement = FALSE);
  Image* Clone() const;

  UINT GetWidth() const { return m_width; }
  UINT GetHeight() const { return m_height; }
  Status GetLastStatus() const { return m_last; }
  // The decoded format (ImageFormatJPEG ...); ImageFormatMemoryBMP for a bitmap made in memory.
  Status GetRawFormat(GUID* format) const;
  PixelFormat GetPixelFormat() const;
  REAL GetHorizontalResolution() const;
  REAL GetVerticalResolution() const;
  // A new picture of that size (the picture's own thumbnail size when both are 0), smoothly
  // scaled; null when this picture holds nothing.
  Image* GetThumbnailImage(UINT width, UINT height, GetThumbnailImageAbort callback = nullptr,
                           void* data = nullptr);
  // Encodes into the stream with the encoder of that CLSID (see GetImageEncoders), without
  // metadata. The JPEG encoder reads EncoderQuality (0 to 100; 75 without it).
  Status Save(IStream* stream, const CLSID* encoder, const EncoderParameters* parameters = nullptr);
  Status Save(const WCHAR* fileName, const CLSID* encoder, const EncoderParameters* parameters = nullptr);

  // The decoder's name of the format ("PNG", "JPEG", "GIF", "BMP", "TIFF"); empty when nothing
  // decoded, "MemoryBMP" for a bitmap made in memory.
  std::string FormatName() const;
  // Row-major straight (not premultiplied) ARGB pixels, Width x Height (made on first use).
  const std::vector<ARGB>& Pixels() const;
  ARGB PixelAt(UINT x, UINT y) const;

  // The layer's own: the thumbnail of a picture file as Image(fileName).GetThumbnailImage(w, h)
  // makes it, where `size` answers w and h for the picture's width and height (false: none is
  // wanted), decoded no larger than the thumbnail needs: a JPEG at the smallest of its decoder's
  // scales (1/8 to 1/1) that keeps both sides at least the thumbnail's, the other formats whole.
  // Null when the file cannot be read or decoded (`status` says why: the statuses of Image(file))
  // or no thumbnail is wanted (Ok).
  using ThumbnailSize = std::function<bool(UINT width, UINT height, UINT& thumbWidth, UINT& thumbHeight)>;
  static Image* ThumbnailFromFile(const WCHAR* fileName, const ThumbnailSize& size, Status* status = nullptr);

  // The layer's own: the decoded picture, shared between an image and what draws on it.
  detail::Picture* Data() const { return m_data.get(); }
  // The picture changed (drawn on): the pixels are made again on next use.
  void Touch();

 protected:
  Image();
  void Adopt(std::unique_ptr<detail::Picture> data);
  std::unique_ptr<detail::Picture> m_data;
  UINT m_width = 0;
  UINT m_height = 0;
  Status m_last = Ok;

 private:
  friend class Graphics;
  mutable std::vector<ARGB> m_pixels;
  mutable bool m_pixelsMade = false;
};

class Bitmap : public Image {
 public:
  explicit Bitmap(IStream* stream, BOOL useEmbeddedColorManagement = FALSE) : Image(stream, useEmbeddedColorManagement) {}
  explicit Bitmap(const WCHAR* fileName, BOOL useEmbeddedColorManagement = FALSE)
      : Image(fileName, useEmbeddedColorManagement) {}
  // A transparent black picture (32-bit ARGB, 24- or 32-bit RGB opaque black), 96 dpi.
  Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);
  static Bitmap* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE) {
    return new Bitmap(stream, useEmbeddedColorManagement);
  }
  static Bitmap* FromFile(const WCHAR* fileName, BOOL useEmbeddedColorManagement = FALSE) {
    return new Bitmap(fileName, useEmbeddedColorManagement);
  }
  Status SetResolution(REAL xdpi, REAL ydpi);
  Status GetPixel(INT x, INT y, Color* color) const;
};

class Graphics {
 public:
  explicit Graphics(HDC dc) : m_dc(dc) {}
  // Drawing onto a picture: only DrawImage and Clear draw there; other calls fail.
  explicit Graphics(Image* image) : m_dc(nullptr), m_image(image) {
    if (!image || !image->Data()) m_last = InvalidParameter;
  }
  static Graphics* FromHDC(HDC dc) { return new Graphics(dc); }
  static Graphics* FromImage(Image* image) { return new Graphics(image); }
  HDC GetHDC() { return m_dc; }
  void ReleaseHDC(HDC) {}
  Status SetSmoothingMode(SmoothingMode mode) {
    m_smoothing = mode;
    return Ok;
  }
  SmoothingMode GetSmoothingMode() const { return m_smoothing; }
  Status SetPixelOffsetMode(PixelOffsetMode mode) {
    m_offset = mode;
    return Ok;
  }
  PixelOffsetMode GetPixelOffsetMode() const { return m_offset; }
  Status SetTextRenderingHint(TextRenderingHint hint) {
    m_textHint = hint;
    return Ok;
  }
  TextRenderingHint GetTextRenderingHint() const { return m_textHint; }
  Status SetInterpolationMode(InterpolationMode mode) {
    if (mode == InterpolationModeInvalid) return InvalidParameter;
    m_interpolation = mode;
    return Ok;
  }
  InterpolationMode GetInterpolationMode() const { return m_interpolation; }
  Status Clear(const Color& color);
  Status FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height);
  Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
  Status FillPath(const Brush* brush, const GraphicsPath* path);
  Status DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout, const StringFormat* format,
                    const Brush* brush);
  Status DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin, const Brush* brush);
  Status MeasureString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                       const StringFormat* format, RectF* bounding, INT* codepointsFitted = nullptr,
                       INT* linesFilled = nullptr) const;
  Status MeasureString(const WCHAR* text, INT length, const Font* font, const PointF& origin, RectF* bounding) const;
  // At the image's own size, or scaled into the rectangle: the nearest pixel by default, smooth
  // (cubic) with the bicubic and bilinear interpolation modes.
  Status DrawImage(Image* image, INT x, INT y);
  Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
  Status GetLastStatus() const { return m_last; }

 private:
  HDC m_dc;
  Image* m_image = nullptr;
  InterpolationMode m_interpolation = InterpolationModeDefault;
  SmoothingMode m_smoothing = SmoothingModeDefault;
  PixelOffsetMode m_offset = PixelOffsetModeDefault;
  TextRenderingHint m_textHint = TextRenderingHintSystemDefault;
  mutable Status m_last = Ok;
};

}  // namespace Gdiplus
