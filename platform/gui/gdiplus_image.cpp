// GDI+ images decoded by ImageMagick's Magick++.
#include <Magick++.h>

#include <cstring>
#include <mutex>

#include "platform/gui/gdiplus.h"
#include "platform/gui/internal.h"

namespace platform::gui::detail {

void InitImageCodecs() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    // One decoding thread: the layer belongs to the user-interface thread, and pictures are small.
    Magick::ResourceLimits::thread(1);
  });
}

}  // namespace platform::gui::detail

namespace Gdiplus {
namespace {

constexpr ULONGLONG kMaxStreamBytes = 64ull << 20;    // an encoded picture larger than this is refused
constexpr ULONGLONG kMaxPixels = 64ull << 20;          // as is one that decodes to more pixels

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

}  // namespace

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
  if (bytes.empty()) {
    m_last = UnknownImageFormat;
    return;
  }
  platform::gui::detail::InitImageCodecs();
  try {
    Magick::Image picture;
    try {
      picture.read(Magick::Blob(bytes.data(), bytes.size()));
    } catch (const Magick::Warning&) {
      // A recoverable flaw: what was decoded is used.
    }
    const std::string format = picture.magick();
    if (format != "PNG" && format != "JPEG" && format != "GIF" && format != "BMP" && format != "BMP3") {
      m_last = UnknownImageFormat;
      return;
    }
    const size_t width = picture.columns(), height = picture.rows();
    if (width == 0 || height == 0 || static_cast<ULONGLONG>(width) * height > kMaxPixels) {
      m_last = width == 0 || height == 0 ? UnknownImageFormat : OutOfMemory;
      return;
    }
    std::vector<BYTE> bgra(width * height * 4);
    picture.write(0, 0, width, height, "BGRA", Magick::CharPixel, bgra.data());
    m_pixels.resize(width * height);
    for (size_t i = 0; i < m_pixels.size(); ++i) {
      const BYTE* p = &bgra[i * 4];
      m_pixels[i] = Color::MakeARGB(p[3], p[2], p[1], p[0]);
    }
    m_width = static_cast<UINT>(width);
    m_height = static_cast<UINT>(height);
    m_format = format == "BMP3" ? "BMP" : format;
    m_last = Ok;
  } catch (const std::exception&) {
    m_pixels.clear();
    m_width = m_height = 0;
    m_last = UnknownImageFormat;
  }
}

Image* Image::FromStream(IStream* stream, BOOL useEmbeddedColorManagement) {
  return new Image(stream, useEmbeddedColorManagement);
}

}  // namespace Gdiplus
