#pragma once
// Pictures for tests and benchmarks, as encoded bytes.
#include <string>

#include "platform/com/com.h"

namespace testpictures {

// A picture of `width` x `height` in the format ("JPEG", "PNG", "GIF", "BMP", "TIFF"): its left
// half red, its right half blue, its bottom row green (for finding edges after scaling).
std::string Quadrants(const char* format, int width, int height, int quality = 90);
// A photograph-like picture (smooth gradients with fine noise), for byte budgets.
std::string Photo(const char* format, int width, int height, int quality = 92, unsigned seed = 1);
// The photograph-like picture as a JPEG of a kind: "gray" (one component), "cmyk" (four),
// "progressive"; any other kind a plain one.
std::string PhotoJpeg(int width, int height, const std::string& kind);
// A JPEG with a comment and an EXIF-like profile holding `marker`.
std::string JpegWithMetadata(int width, int height, const std::string& marker);
// A PNG whose header says `width` x `height` with one tiny compressed row after it.
std::string PngHeaderOnly(unsigned width, unsigned height);
// A valid 8-bit greyscale PNG of one value, written without an encoder (any size).
std::string GrayPng(unsigned width, unsigned height, unsigned char value);
// A GIF of `frames` frames of 1 x 1 pixel.
std::string ManyFrameGif(int frames);
// A stream over the bytes, at its start.
IStreamPtr StreamOf(const std::string& bytes);
// The whole stream's bytes (it is rewound first and left at its end).
std::string BytesOf(IStream* stream);
// The size, format ("JPEG" ...) and quality Magick++ reads from encoded bytes.
struct Decoded {
  size_t width = 0, height = 0;
  std::string format;
  size_t quality = 0;
  bool ok = false;
};
Decoded Inspect(const std::string& bytes);
// The colour of the decoded picture's pixel (0x00RRGGBB).
unsigned PixelOf(const std::string& bytes, size_t x, size_t y);

}  // namespace testpictures
