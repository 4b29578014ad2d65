#pragma once
// The part of GDI+ drawing the system uses, over a device context of the headless layer: a
// graphics object with smoothing and pixel-offset modes, solid brushes and filled ellipses.
//
// Coordinates: with PixelOffsetModeHalf or HighQuality a pixel covers [x, x + 1); with the other
// modes its centre lies on the integer coordinate, as on the platform. Anti-aliasing (smoothing
// modes AntiAlias and HighQuality) blends the edge pixels by coverage.
#include "platform/gui/windows.h"

namespace Gdiplus {

using INT = int;
using REAL = float;
using ARGB = DWORD;

enum Status { Ok = 0, GenericError = 1, InvalidParameter = 2, OutOfMemory = 3, NotImplemented = 6 };

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

 private:
  Color m_color;
};

class Graphics {
 public:
  explicit Graphics(HDC dc) : m_dc(dc) {}
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
  Status FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height);
  Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
  Status GetLastStatus() const { return m_last; }

 private:
  HDC m_dc;
  SmoothingMode m_smoothing = SmoothingModeDefault;
  PixelOffsetMode m_offset = PixelOffsetModeDefault;
  Status m_last = Ok;
};

}  // namespace Gdiplus
