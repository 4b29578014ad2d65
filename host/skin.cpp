// The skin's state strips: small frames side by side that state pictures show one at a time.
#include <vector>

#include "host/host.h"
#include "platform/gui/gdi.h"

namespace host {
namespace {

constexpr int kFrame = 16;
constexpr COLORREF kKey = RGB(255, 0, 255);   // the transparent colour (the top-left pixel)

DWORD Rgb(COLORREF c) { return (static_cast<DWORD>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// Each frame a disc of its colour with a darker rim; a frame of `hollow` colour is a ring.
HBITMAP Strip(const std::vector<COLORREF>& colours, COLORREF hollow = CLR_INVALID) {
  const int frames = static_cast<int>(colours.size()), width = kFrame * frames;
  std::vector<DWORD> bits(static_cast<size_t>(width) * kFrame, Rgb(kKey));
  for (int f = 0; f < frames; ++f) {
    const COLORREF c = colours[static_cast<size_t>(f)];
    const COLORREF rim = RGB(GetRValue(c) / 2, GetGValue(c) / 2, GetBValue(c) / 2);
    for (int y = 0; y < kFrame; ++y)
      for (int x = 0; x < kFrame; ++x) {
        const int dx = 2 * x - (kFrame - 1), dy = 2 * y - (kFrame - 1);
        const int d = dx * dx + dy * dy;   // (2r)^2 from the frame's middle
        if (d > 13 * 13) continue;
        const bool edge = d > 11 * 11;
        if (!edge && c == hollow) continue;
        bits[static_cast<size_t>(y) * width + f * kFrame + x] = Rgb(edge ? rim : c);
      }
  }
  return CreateBitmap(width, kFrame, 1, 32, bits.data());
}

}  // namespace

HBITMAP LoadSkinStrip(LONG image) {
  const COLORREF grey = RGB(160, 160, 160), green = RGB(40, 170, 60), amber = RGB(235, 170, 30),
                 blue = RGB(50, 110, 210), red = RGB(210, 50, 40);
  switch (image) {
    case 500: return Strip({red, green, amber});
    case 501: return Strip({grey, amber, blue, green});
    case 502: return Strip({grey, green}, grey);
    default: return nullptr;
  }
}

}  // namespace host
