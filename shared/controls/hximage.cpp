#include "shared/controls/hximage.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "framework/interfaces.h"
#include "shared/filetools.h"
#include "shared/hxcheck.h"
#include "shared/hxhelpers.h"

namespace {

constexpr COLORREF kShadow = 0x808080;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kLight = 0xC8C8C8;

// The thumbnail box from the data parameters; raises what fails.
void ReadThumbnailBox(LONG& cx, LONG& cy) {
  IFlgInstancePtr instance = hx::Instance();
  IUnknown* raw = nullptr;
  const HRESULT hr = instance->GetObjectByNumber(5000, &raw);
  IUnknownPtr object(raw, false);
  hx::Check(hr);
  if (!object) _com_issue_error(E_POINTER);
  _RecordsetPtr params(object);
  if (!params) _com_issue_error(E_NOINTERFACE);
  FieldsPtr fields = params->GetFields();
  cx = static_cast<LONG>(static_cast<int>(fields->GetItem(_variant_t(L"pd_IR_ThumbnailCX"))->GetValue()));
  cy = static_cast<LONG>(static_cast<int>(fields->GetItem(_variant_t(L"pd_IR_ThumbnailCY"))->GetValue()));
}

}  // namespace

IHxImageRepositoryPtr hx::ImageRepository() {
  IHxAppServicesPtr services(hx::Instance());
  if (!services) return nullptr;
  IUnknown* raw = nullptr;
  hx::Check(services->GetImageRepository(&raw));
  IUnknownPtr object(raw, false);
  if (!object) return nullptr;
  return IHxImageRepositoryPtr(object);
}

// --- CHxImage

void CHxImage::Draw(CDC& dc, const CRect& rect, bool selected) {
  dc.FillSolidRect(&rect, selected ? static_cast<COLORREF>(0xD2E6C8) : GetSysColor(COLOR_WINDOW));
  {
    CObjectDC brush(dc.m_hDC, GetStockObject(NULL_BRUSH));
    dc.Rectangle(&rect);
  }
  dc.MoveTo(rect.left, rect.top);
  dc.LineTo(rect.right, rect.bottom);
  dc.MoveTo(rect.right, rect.top);
  dc.LineTo(rect.left, rect.bottom);
  CObjectDC font(dc.m_hDC, GetStockObject(ANSI_VAR_FONT));
  CBkModeDC mode(dc.m_hDC, TRANSPARENT);
  CRect text = rect;
  DrawTextW(dc.m_hDC, m_name.GetString(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// --- CHalvexImage

CHalvexImage::CHalvexImage(const wchar_t* path) : m_name(path ? path : L"") {
  try {
    // The picture is decoded no larger than the thumbnail of its placement needs.
    Gdiplus::Status status = Gdiplus::Ok;
    auto place = [this](UINT width, UINT height, UINT& thumbWidth, UINT& thumbHeight) {
      Place(width, height, Width(), Height(), m_thumbWidth, m_thumbHeight, m_thumbX, m_thumbY, &m_caption);
      thumbWidth = static_cast<UINT>(m_thumbWidth);
      thumbHeight = static_cast<UINT>(m_thumbHeight);
      return m_thumbWidth > 0 && m_thumbHeight > 0;
    };
    m_picture.reset(Gdiplus::Image::ThumbnailFromFile(m_name.GetString(), place, &status));
    if (status != Gdiplus::Ok) CalcThumbnailSize(nullptr);
  } catch (const std::exception&) {
    m_picture.reset();
  }
}

CHalvexImage::CHalvexImage(const wchar_t* name, IStreamPtr& stream, LONG originalWidth, LONG originalHeight,
                           LONG originalSize)
    : m_name(name ? name : L""),
      m_originalWidth(originalWidth),
      m_originalHeight(originalHeight),
      m_originalSize(originalSize) {
  if (stream) {
    auto picture = std::make_shared<Gdiplus::Image>(static_cast<IStream*>(stream));
    if (picture->GetLastStatus() == Gdiplus::Ok) m_picture = std::move(picture);
  }
  CalcThumbnailSize(m_picture.get());
}

void CHalvexImage::ReadBox() {
  if (m_boxWidth > 0 && m_boxHeight > 0) return;
  try {
    LONG cx = 0, cy = 0;
    ReadThumbnailBox(cx, cy);
    m_boxWidth = cx;
    m_boxHeight = cy;
  } catch (const _com_error&) {
  }
}

int CHalvexImage::Width() {
  if (m_boxWidth <= 0) ReadBox();
  return m_boxWidth;
}

int CHalvexImage::Height() {
  if (m_boxHeight <= 0) ReadBox();
  return m_boxHeight;
}

void CHalvexImage::CalcThumbnailSize(Gdiplus::Image* image, LONG boxWidth, LONG boxHeight, int& width, int& height,
                                     int& x, int& y, CRect* caption) {
  Place(image ? image->GetWidth() : 0, image ? image->GetHeight() : 0, boxWidth, boxHeight, width, height, x, y,
        caption);
}

void CHalvexImage::Place(UINT imageWidth, UINT imageHeight, LONG boxWidth, LONG boxHeight, int& width, int& height,
                         int& x, int& y, CRect* caption) {
  const long long a = static_cast<long long>(boxHeight) * 7 / 10;
  const long long b = static_cast<long long>(boxWidth) * 9 / 10;
  const long long m = (boxWidth - b) / 2;
  if (caption) *caption = CRect(0, static_cast<int>(m + a + 10), boxWidth, boxHeight);
  const long long iw = imageWidth, ih = imageHeight;
  if (iw <= 0 || ih <= 0) {
    width = height = x = y = 0;
    return;
  }
  long long w, h;
  if (a * iw / ih < b) {
    w = a * iw / ih;
    h = a;
  } else {
    w = b;
    h = b * ih / iw;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  x = static_cast<int>(m + (b - w) / 2);
  y = static_cast<int>(m + (a - h) / 2);
}

void CHalvexImage::CalcThumbnailSize(Gdiplus::Image* image) {
  CalcThumbnailSize(image, Width(), Height(), m_thumbWidth, m_thumbHeight, m_thumbX, m_thumbY, &m_caption);
}

void CHalvexImage::Draw(CDC& dc, const CRect& rect, bool selected) {
  const int w = rect.Width(), h = rect.Height();
  if (w <= 0 || h <= 0) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(&dc)) return;
  CBitmap bitmap;
  if (!bitmap.CreateCompatibleBitmap(&dc, w, h)) return;
  CBitmap* old = memory.SelectObject(&bitmap);
  _Draw(memory, CRect(0, 0, w, h), selected);
  dc.BitBlt(0, 0, w, h, &memory, 0, 0, SRCCOPY);
  memory.SelectObject(old);
}

void CHalvexImage::_Draw(CDC& dc, const CRect& rect, bool selected) {
  dc.FillSolidRect(&rect, GetSysColor(COLOR_WINDOW));
  if (selected) {
    CRect outline = rect;
    outline.DeflateRect(3, 3);
    CPen pen(PS_SOLID, 1, GetSysColor(COLOR_ACTIVECAPTION));
    CObjectDC penScope(dc, pen);
    CObjectDC brush(dc.m_hDC, GetStockObject(NULL_BRUSH));
    dc.Rectangle(&outline);
  }
  if (m_picture) {
    const int x = rect.left + m_thumbX, y = rect.top + m_thumbY, w = m_thumbWidth, h = m_thumbHeight;
    {
      Gdiplus::Graphics graphics(dc.m_hDC);
      graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
      graphics.DrawImage(m_picture.get(), x, y, w, h);
    }
    // The frame: a shadow below and right, a light edge above and left, joined at the corners.
    RECT below{x, y + h, x + w, y + h + 3};
    hxFillGradientRect(dc.m_hDC, &below, kShadow, kWhite, 1);
    RECT right{x + w, y, x + w + 3, y + h};
    hxFillGradientRect(dc.m_hDC, &right, kShadow, kWhite, 0);
    RECT above{x, y - 4, x + w, y};
    hxFillGradientRect(dc.m_hDC, &above, kWhite, kLight, 1);
    RECT left{x - 4, y, x, y + h};
    hxFillGradientRect(dc.m_hDC, &left, kWhite, kLight, 0);
    // Bottom right (3 x 3), top right (3 x 4), bottom left (4 x 3), top left (4 x 4): each from
    // the shadow at the picture's corner to white outside.
    hxFillGradientTriangle(dc.m_hDC, CPoint(x + w, y + h), CPoint(x + w + 3, y + h), CPoint(x + w, y + h + 3), kShadow,
                           kWhite, kWhite);
    hxFillGradientTriangle(dc.m_hDC, CPoint(x + w + 3, y + h), CPoint(x + w, y + h + 3),
                           CPoint(x + w + 3, y + h + 3), kWhite, kWhite, kWhite);
    hxFillGradientTriangle(dc.m_hDC, CPoint(x + w, y), CPoint(x + w + 3, y), CPoint(x + w, y - 4), kShadow, kWhite,
                           kWhite);
    hxFillGradientTriangle(dc.m_hDC, CPoint(x, y + h), CPoint(x - 4, y + h), CPoint(x, y + h + 3), kShadow, kWhite,
                           kWhite);
    hxFillGradientTriangle(dc.m_hDC, CPoint(x, y), CPoint(x - 4, y), CPoint(x, y - 4), kShadow, kWhite, kWhite);
  }
  CString caption;
  caption.Format(L"%ls\n%ld x %ld (%.1f KB)", m_name.GetString(), m_originalWidth, m_originalHeight,
                 m_originalSize / 1024.0);
  CObjectDC font(dc.m_hDC, GetStockObject(ANSI_VAR_FONT));
  CBkModeDC mode(dc.m_hDC, TRANSPARENT);
  CTextColorDC color(dc.m_hDC, selected ? 0x00000E : 0x000008);
  CRect text = m_caption;
  text.OffsetRect(rect.left, rect.top);
  DrawTextW(dc.m_hDC, caption.GetString(), -1, &text, DT_CENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// --- CImgTools

const wchar_t* const CImgTools::g_aMIMEs[3] = {L"image/jpeg", L"image/gif", L"image/png"};

CImgTools::CImgTools() : m_startupStatus(Gdiplus::GdiplusStartup(&m_token, &m_startupInput, nullptr)) {}

CImgTools::~CImgTools() {
  if (m_startupStatus == Gdiplus::Ok) Gdiplus::GdiplusShutdown(m_token);
}

bool CImgTools::ReadDecoders() {
  if (m_decoders) return true;
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageDecodersSize(&count, &size) != Gdiplus::Ok || count == 0 || size == 0) return false;
  auto buffer = std::make_unique<BYTE[]>(size);
  if (Gdiplus::GetImageDecoders(count, size, reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get())) != Gdiplus::Ok)
    return false;
  m_decoders = std::move(buffer);
  m_decoderCount = count;
  return true;
}

const Gdiplus::ImageCodecInfo* CImgTools::DecoderOf(Gdiplus::Image* image) {
  if (!image || !ReadDecoders()) return nullptr;
  GUID format{};
  if (image->GetRawFormat(&format) != Gdiplus::Ok) return nullptr;
  const auto* codecs = reinterpret_cast<const Gdiplus::ImageCodecInfo*>(m_decoders.get());
  for (UINT i = 0; i < m_decoderCount; ++i)
    if (codecs[i].FormatID == format) return &codecs[i];
  return nullptr;
}

bool CImgTools::MakeFiltersListForCFileDialog(CString& out) {
  CString extensions;
  const bool read = ReadDecoders();
  if (read) {
    const auto* codecs = reinterpret_cast<const Gdiplus::ImageCodecInfo*>(m_decoders.get());
    for (UINT i = 0; i < m_decoderCount; ++i) {
      if (!extensions.IsEmpty()) extensions += L";";
      extensions += codecs[i].FilenameExtension;
    }
  } else {
    extensions = L"*.JPG;*.JPEG;*.JPE;*.JFIF;*.GIF;*.PNG";
  }
  out.Format(L"Pliki JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)|*.JPG;*.JPEG;*.JPE;*.JFIF|Pliki GIF (*.GIF)|*.GIF|"
             L"Pliki PNG (*.PNG)|*.PNG|Wszystkie obsługiwane pliki|%s|Wszystkie pliki(*.*)|*.*|",
             extensions.GetString());
  return read;
}

CString CImgTools::GetHandledImagesFilter() {
  CImgTools tools;
  CString out;
  tools.MakeFiltersListForCFileDialog(out);
  return out;
}

bool CImgTools::GetDefaultCodecInfo(GUID& clsid) {
  if (!ReadDecoders()) return false;
  if (m_jpegClsid == GUID_NULL) {
    const auto* codecs = reinterpret_cast<const Gdiplus::ImageCodecInfo*>(m_decoders.get());
    for (UINT i = 0; i < m_decoderCount; ++i)
      if (codecs[i].MimeType && _wcsicmp(codecs[i].MimeType, L"image/jpeg") == 0) {
        m_jpegClsid = codecs[i].Clsid;
        break;
      }
  }
  clsid = m_jpegClsid;
  return true;
}

bool CImgTools::IsImgTypeSupported(Gdiplus::Image* image) {
  const Gdiplus::ImageCodecInfo* decoder = DecoderOf(image);
  if (!decoder || !decoder->MimeType) return false;
  for (const wchar_t* mime : g_aMIMEs)
    if (_wcsicmp(decoder->MimeType, mime) == 0) return true;
  return false;
}

bool CImgTools::GetCodecCLSIDForImage(Gdiplus::Image* image, GUID& clsid) {
  const Gdiplus::ImageCodecInfo* decoder = DecoderOf(image);
  if (!decoder) return false;
  clsid = decoder->Clsid;
  return true;
}

LONG CImgTools::GetDefaultImageSize(LONG& cx, LONG& cy) {
  try {
    ReadThumbnailBox(cx, cy);
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

bool CImgTools::GetTmpFileNameForImageEx(Gdiplus::Image* image, CString& out, bool nameOnly) {
  const Gdiplus::ImageCodecInfo* decoder = DecoderOf(image);
  if (!decoder || !decoder->FormatDescription) return false;
  return CHxFileTools::GetGUIDTempFile(decoder->FormatDescription, out, nameOnly ? 12 : 255);
}

// --- fitting into a byte budget

namespace {

// The JPEG encoder's CLSID, looked up once per process; false when there is none.
bool JpegEncoder(CLSID& clsid) {
  static std::mutex mutex;
  static bool found = false;
  static CLSID cached{};
  std::lock_guard<std::mutex> lock(mutex);
  if (!found) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || count == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i)
      if (codecs[i].MimeType && _wcsicmp(codecs[i].MimeType, L"image/jpeg") == 0) {
        cached = codecs[i].Clsid;
        found = true;
        break;
      }
    if (!found) return false;
  }
  clsid = cached;
  return true;
}

// The scales the longer side is tried at without exact, in percent.
constexpr int kSteps[] = {100, 75, 50, 45, 40, 35, 30, 25, 20, 15, 10, 5};

// The new width and height for the picture, or false when it keeps its size.
bool NewSize(LONG width, LONG height, bool exact, int maxSide, LONG& newWidth, LONG& newHeight) {
  const bool landscape = width > height;
  const long long longer = landscape ? width : height;
  if (longer < maxSide) return false;
  long long target = maxSide;
  if (!exact) {
    // The first step within a tenth of maxSide; when none lands, maxSide itself.
    for (int p : kSteps) {
      const long long c = longer * p / 100;
      if (std::llabs(c - maxSide) <= maxSide / 10) {
        target = c;
        break;
      }
    }
  }
  if (landscape) {
    newWidth = static_cast<LONG>(target);
    newHeight = static_cast<LONG>(static_cast<long long>(height) * target / width);
  } else {
    newHeight = static_cast<LONG>(target);
    newWidth = static_cast<LONG>(static_cast<long long>(width) * target / height);
  }
  return true;
}

IStreamPtr NewMemoryStream() {
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw)) || !raw) return nullptr;
  return IStreamPtr(raw, false);
}

ULONGLONG StreamSize(IStream* stream) {
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return ~0ull;
  return stat.cbSize.QuadPart;
}

void Rewind(IStream* stream) {
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

}  // namespace

IStreamPtr hxAdjustImageToLength(IStreamPtr picture, bool resize, bool exact, int maxSide, int maxBytes) {
  try {
    if (!picture || maxBytes <= 0) return nullptr;
    if (resize && maxSide <= 0) return nullptr;
    Rewind(picture);
    const ULONGLONG size = StreamSize(picture);
    if (size == ~0ull) return nullptr;
    if (size < static_cast<ULONGLONG>(maxBytes)) return picture;

    CImgTools tools;   // GDI+ started for the work
    if (!tools.Valid()) return nullptr;
    std::unique_ptr<Gdiplus::Image> image(new Gdiplus::Bitmap(static_cast<IStream*>(picture)));
    if (image->GetLastStatus() != Gdiplus::Ok) return nullptr;
    CLSID jpeg{};
    if (!JpegEncoder(jpeg)) return nullptr;

    LONG newWidth = 0, newHeight = 0;
    const LONG width = static_cast<LONG>(image->GetWidth()), height = static_cast<LONG>(image->GetHeight());
    if (resize && NewSize(width, height, exact, maxSide, newWidth, newHeight)) {
      const LONG redrawnHeight =
          std::max<LONG>(1, static_cast<LONG>(static_cast<long long>(height) * newWidth / width));
      newWidth = std::max<LONG>(1, newWidth);
      auto redrawn = std::make_unique<Gdiplus::Bitmap>(newWidth, redrawnHeight, Gdiplus::PixelFormat32bppARGB);
      if (redrawn->GetLastStatus() != Gdiplus::Ok) return nullptr;
      redrawn->SetResolution(image->GetHorizontalResolution(), image->GetVerticalResolution());
      Gdiplus::Graphics graphics(redrawn.get());
      graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
      if (graphics.DrawImage(image.get(), 0, 0, newWidth, redrawnHeight) != Gdiplus::Ok) return nullptr;
      image = std::move(redrawn);
    }

    // Binary search of the JPEG quality, starting at 50.
    int lo = 0, hi = 100;
    while (true) {
      const int quality = (lo + hi) / 2;
      if (quality <= 0) return nullptr;
      IStreamPtr encoded = NewMemoryStream();
      if (!encoded) return nullptr;
      ULONG value = static_cast<ULONG>(quality);
      Gdiplus::EncoderParameters params{};
      params.Count = 1;
      params.Parameter[0].Guid = Gdiplus::EncoderQuality;
      params.Parameter[0].NumberOfValues = 1;
      params.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
      params.Parameter[0].Value = &value;
      if (image->Save(encoded, &jpeg, &params) != Gdiplus::Ok) return nullptr;
      const bool fits = StreamSize(encoded) <= static_cast<ULONGLONG>(maxBytes);
      if (fits) lo = quality;
      else hi = quality;
      if (fits && hi - lo <= 1) {
        Rewind(encoded);
        return encoded;
      }
    }
  } catch (const std::exception&) {
    return nullptr;
  } catch (const _com_error&) {
    return nullptr;
  }
}

// --- CImaRepositoryTransStatus

CImaRepositoryTransStatus::CImaRepositoryTransStatus() {
  try {
    if (IHxImageRepositoryPtr repository = hx::ImageRepository()) hx::Check(repository->BeginTransaction(&m_status));
  } catch (const _com_error&) {
  }
}

CImaRepositoryTransStatus::~CImaRepositoryTransStatus() {
  try {
    if (IHxImageRepositoryPtr repository = hx::ImageRepository()) repository->EndTransaction(m_status);
  } catch (const _com_error&) {
  }
}
