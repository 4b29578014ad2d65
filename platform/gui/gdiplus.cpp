// GDI+ drawing on the headless layer's surfaces through cairo.
#include "platform/gui/gdiplus.h"

#include <cmath>

#include "platform/gui/internal.h"

using namespace platform::gui::detail;

namespace Gdiplus {
namespace {

enum class Shape { Ellipse, Rectangle };

Status Fill(HDC h, const Brush* brush, INT x, INT y, INT width, INT height, SmoothingMode smoothing,
            PixelOffsetMode offset, Shape shape) {
  Dc* dc = FindDc(h);
  const auto* solid = dynamic_cast<const SolidBrush*>(brush);
  if (!dc || !solid || width < 0 || height < 0) return InvalidParameter;
  Surface* s = dc->Target();
  if (!s) return GenericError;
  if (width == 0 || height == 0) return Ok;
  Color color;
  solid->GetColor(&color);
  const POINT o = ToDevice(*dc, 0, 0);
  const double shift = (offset == PixelOffsetModeHalf || offset == PixelOffsetModeHighQuality) ? 0.0 : 0.5;
  cairo_t* cr = cairo_create(s->cairo);
  const RECT c = ClipOn(dc->state.clip, *s);
  cairo_rectangle(cr, c.left, c.top, std::max<LONG>(0, c.right - c.left), std::max<LONG>(0, c.bottom - c.top));
  cairo_clip(cr);
  const bool smooth = smoothing == SmoothingModeAntiAlias || smoothing == SmoothingModeHighQuality;
  cairo_set_antialias(cr, smooth ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgba(cr, color.GetR() / 255.0, color.GetG() / 255.0, color.GetB() / 255.0, color.GetA() / 255.0);
  const double left = o.x + x + shift, top = o.y + y + shift;
  if (shape == Shape::Ellipse) {
    cairo_save(cr);
    cairo_translate(cr, left + width / 2.0, top + height / 2.0);
    cairo_scale(cr, width / 2.0, height / 2.0);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
  } else {
    cairo_rectangle(cr, left, top, width, height);
  }
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s->cairo);
  return Ok;
}

}  // namespace

Status Graphics::FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height) {
  return m_last = Fill(m_dc, brush, x, y, width, height, m_smoothing, m_offset, Shape::Ellipse);
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
  return m_last = Fill(m_dc, brush, x, y, width, height, m_smoothing, m_offset, Shape::Rectangle);
}

}  // namespace Gdiplus
