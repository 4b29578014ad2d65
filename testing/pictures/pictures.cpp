#include "testing/pictures/pictures.h"

#include <Magick++.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

using MagickCore::Quantum;

namespace testpictures {
namespace {

void Init() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    // One thread, as the picture layer decodes: no thread pool outlives the tests.
    Magick::ResourceLimits::thread(1);
  });
}

std::string Encode(Magick::Image& picture, const char* format, int quality) {
  picture.magick(format);
  picture.quality(static_cast<size_t>(quality));
  Magick::Blob blob;
  picture.write(&blob);
  return std::string(static_cast<const char*>(blob.data()), blob.length());
}

uint32_t Crc(const std::string& data) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : data) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c ^ 0xFFFFFFFFu;
}

void Be32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Be32(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  Be32(out, Crc(body));
}

}  // namespace

std::string Quadrants(const char* format, int width, int height, int quality) {
  Init();
  Magick::Image picture(Magick::Geometry(width, height), Magick::Color("red"));
  picture.type(Magick::TrueColorType);
  picture.fillColor(Magick::Color("blue"));
  picture.draw(Magick::DrawableRectangle(width / 2, 0, width - 1, height - 1));
  picture.fillColor(Magick::Color("lime"));
  picture.draw(Magick::DrawableRectangle(0, height - 1, width - 1, height - 1));
  return Encode(picture, format, quality);
}

namespace {
Magick::Image PhotoPicture(int width, int height, unsigned seed) {
  Init();
  std::string rgb(static_cast<size_t>(width) * height * 3, '\0');
  uint32_t s = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      s ^= s << 13;
      s ^= s >> 17;
      s ^= s << 5;
      const int noise = static_cast<int>(s & 31) - 16;
      const size_t i = (static_cast<size_t>(y) * width + x) * 3;
      auto clamp = [](int v) { return static_cast<char>(v < 0 ? 0 : v > 255 ? 255 : v); };
      rgb[i] = clamp(x * 255 / width + noise);
      rgb[i + 1] = clamp(y * 255 / height + noise);
      rgb[i + 2] = clamp(((x + y) * 128 / (width + height)) + 64 + noise);
    }
  return Magick::Image(static_cast<size_t>(width), static_cast<size_t>(height), "RGB", Magick::CharPixel, rgb.data());
}
}  // namespace

std::string Photo(const char* format, int width, int height, int quality, unsigned seed) {
  Magick::Image picture = PhotoPicture(width, height, seed);
  return Encode(picture, format, quality);
}

std::string PhotoJpeg(int width, int height, const std::string& kind) {
  Magick::Image picture = PhotoPicture(width, height, 1);
  if (kind == "gray") picture.type(Magick::GrayscaleType);
  if (kind == "cmyk") picture.colorSpace(Magick::CMYKColorspace);
  if (kind == "progressive") picture.interlaceType(Magick::PlaneInterlace);
  return Encode(picture, "JPEG", 90);
}

std::string JpegWithMetadata(int width, int height, const std::string& marker) {
  Init();
  Magick::Image picture(Magick::Geometry(width, height), Magick::Color("gray"));
  picture.comment(marker);
  std::string exif = "Exif";
  exif.push_back('\0');
  exif.push_back('\0');
  exif += "MM";
  exif += marker;
  picture.profile("EXIF", Magick::Blob(exif.data(), exif.size()));
  return Encode(picture, "JPEG", 90);
}

std::string PngHeaderOnly(unsigned width, unsigned height) {
  std::string out = "\x89PNG\r\n\x1A\n";
  std::string ihdr;
  Be32(ihdr, width);
  Be32(ihdr, height);
  ihdr += std::string("\x08\x00\x00\x00\x00", 5);   // 8-bit greyscale
  Chunk(out, "IHDR", ihdr);
  // A zlib stream of one empty stored block: far too little for the rows.
  Chunk(out, "IDAT", std::string("\x78\x01\x01\x00\x00\xFF\xFF\x00\x00\x00\x01", 11));
  Chunk(out, "IEND", "");
  return out;
}

std::string GrayPng(unsigned width, unsigned height, unsigned char value) {
  std::string out = "\x89PNG\r\n\x1A\n";
  std::string ihdr;
  Be32(ihdr, width);
  Be32(ihdr, height);
  ihdr += std::string("\x08\x00\x00\x00\x00", 5);
  Chunk(out, "IHDR", ihdr);
  std::string raw;
  for (unsigned y = 0; y < height; ++y) {
    raw.push_back('\0');
    raw.append(width, static_cast<char>(value));
  }
  // zlib with stored blocks and its Adler-32.
  std::string z = "\x78\x01";
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + n >= raw.size();
    z.push_back(last ? '\x01' : '\x00');
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, at, n);
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Be32(z, (b << 16) | a);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", "");
  return out;
}

std::string ManyFrameGif(int frames) {
  std::string out = "GIF89a";
  out += std::string("\x01\x00\x01\x00\x80\x00\x00", 7);        // 1 x 1, two-colour table
  out += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);            // black, white
  for (int i = 0; i < frames; ++i) {
    out += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
    out += std::string("\x02\x02\x44\x01\x00", 5);              // clear, 0, end
  }
  out.push_back('\x3B');
  return out;
}

IStreamPtr StreamOf(const std::string& bytes) {
  IStream* raw = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &raw);
  ULONG written = 0;
  if (!bytes.empty()) raw->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero{};
  raw->Seek(zero, STREAM_SEEK_SET, nullptr);
  return IStreamPtr(raw, false);
}

std::string BytesOf(IStream* stream) {
  std::string out;
  if (!stream) return out;
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  char chunk[65536];
  while (true) {
    ULONG got = 0;
    if (FAILED(stream->Read(chunk, sizeof chunk, &got)) || got == 0) break;
    out.append(chunk, got);
  }
  return out;
}

Decoded Inspect(const std::string& bytes) {
  Init();
  Decoded d;
  try {
    Magick::Image picture;
    picture.read(Magick::Blob(bytes.data(), bytes.size()));
    d.width = picture.columns();
    d.height = picture.rows();
    d.format = picture.magick();
    d.quality = picture.quality();
    d.ok = true;
  } catch (const std::exception&) {
  }
  return d;
}

unsigned PixelOf(const std::string& bytes, size_t x, size_t y) {
  Init();
  try {
    Magick::Image picture;
    picture.read(Magick::Blob(bytes.data(), bytes.size()));
    unsigned char rgb[3] = {0, 0, 0};
    picture.write(static_cast<ssize_t>(x), static_cast<ssize_t>(y), 1, 1, "RGB", Magick::CharPixel, rgb);
    return (static_cast<unsigned>(rgb[0]) << 16) | (static_cast<unsigned>(rgb[1]) << 8) | rgb[2];
  } catch (const std::exception&) {
    return 0xFFFFFFFFu;
  }
}

}  // namespace testpictures
