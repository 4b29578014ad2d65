// GDI+ drawing on the headless layer's surfaces through cairo and pango: fills, paths and text.
#include "platform/gui/gdiplus.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "platform/gui/internal.h"
#include "platform/strings/convert.h"

using namespace platform::gui::detail;

namespace Gdiplus {
namespace {

bool HalfOffset(PixelOffsetMode offset) { return offset == PixelOffsetModeHalf || offset == PixelOffsetModeHighQuality; }
bool Smooth(SmoothingMode mode) { return mode == SmoothingModeAntiAlias || mode == SmoothingModeHighQuality; }

// A cairo context on the DC's surface: clipped to the DC, its origin at the DC's logical (0, 0)
// plus the pixel offset of the mode. Null when the DC has no surface.
cairo_t* Begin(HDC h, Surface** surface, SmoothingMode smoothing, double shift) {
  Dc* dc = FindDc(h);
  Surface* s = dc ? dc->Target() : nullptr;
  if (!s) return nullptr;
  cairo_t* cr = cairo_create(s->cairo);
  const RECT c = ClipOn(dc->state.clip, *s);
  cairo_rectangle(cr, c.left, c.top, std::max<LONG>(0, c.right - c.left), std::max<LONG>(0, c.bottom - c.top));
  cairo_clip(cr);
  const POINT o = ToDevice(*dc, 0, 0);
  cairo_translate(cr, o.x + shift, o.y + shift);
  cairo_set_antialias(cr, Smooth(smoothing) ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  *surface = s;
  return cr;
}

void End(cairo_t* cr, Surface* s) {
  cairo_destroy(cr);
  cairo_surface_flush(s->cairo);
}

bool SourceOf(const Brush* brush, Color& color) {
  const auto* solid = dynamic_cast<const SolidBrush*>(brush);
  if (!solid) return false;
  solid->GetColor(&color);
  return true;
}

void SetSource(cairo_t* cr, const Color& c) {
  cairo_set_source_rgba(cr, c.GetR() / 255.0, c.GetG() / 255.0, c.GetB() / 255.0, c.GetA() / 255.0);
}

enum class Shape { Ellipse, Rectangle };

Status Fill(HDC h, const Brush* brush, INT x, INT y, INT width, INT height, SmoothingMode smoothing,
            PixelOffsetMode offset, Shape shape) {
  Color color;
  if (!FindDc(h) || !SourceOf(brush, color) || width < 0 || height < 0) return InvalidParameter;
  Surface* s = nullptr;
  cairo_t* cr = Begin(h, &s, smoothing, HalfOffset(offset) ? 0.0 : 0.5);
  if (!cr) return GenericError;
  if (width > 0 && height > 0) {
    SetSource(cr, color);
    if (shape == Shape::Ellipse) {
      cairo_save(cr);
      cairo_translate(cr, x + width / 2.0, y + height / 2.0);
      cairo_scale(cr, width / 2.0, height / 2.0);
      cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
      cairo_restore(cr);
    } else {
      cairo_rectangle(cr, x, y, width, height);
    }
    cairo_fill(cr);
  }
  End(cr, s);
  return Ok;
}

double Radians(REAL degrees) { return degrees * M_PI / 180.0; }

// --- the font table

struct FaceEntry {
  const wchar_t* name;
  const char* pango;
};
constexpr FaceEntry kFaces[] = {
    {L"dejavu sans", "DejaVu Sans"},
    {L"dejavu serif", "DejaVu Serif"},
    {L"dejavu sans mono", "DejaVu Sans Mono"},
};

std::wstring Folded(const WCHAR* name) {
  std::wstring out;
  for (const WCHAR* p = name; p && *p; ++p) out.push_back(static_cast<wchar_t>(std::towlower(*p)));
  return out;
}

std::wstring Text(const WCHAR* text, INT length) {
  if (!text) return std::wstring();
  return length < 0 ? std::wstring(text) : std::wstring(text, static_cast<size_t>(length));
}

// A layout of the text in the font; wrapped at `width` pixels when that is above 0.
PangoLayout* LayoutOf(const Font& font, const std::wstring& text, double width, StringAlignment align) {
  PangoLayout* layout = NewTextLayout();
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, platform::WideToUtf8(font.Face()).c_str());
  pango_font_description_set_absolute_size(d, font.EmPixels() * PANGO_SCALE);
  pango_font_description_set_weight(d, (font.GetStyle() & FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, (font.GetStyle() & FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  PangoAttrList* attrs = pango_attr_list_new();
  if (font.GetStyle() & FontStyleUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font.GetStyle() & FontStyleStrikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  std::wstring flat;
  for (wchar_t c : text)
    if (c != L'\r') flat.push_back(c);
  const std::string utf8 = platform::WideToUtf8(flat);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  if (width > 0) {
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(layout, align == StringAlignmentCenter ? PANGO_ALIGN_CENTER
                                       : align == StringAlignmentFar  ? PANGO_ALIGN_RIGHT
                                                                      : PANGO_ALIGN_LEFT);
  }
  return layout;
}

// Where the text's box lies for a layout rectangle and format: its top-left corner and size.
struct Placed {
  double x, y, width, height;
  double wrap;   // the wrapping width given to the layout (0: none)
};

Placed Place(const Font& font, const std::wstring& text, const RectF& rect, const StringFormat* format,
             PangoLayout** out) {
  const StringAlignment align = format ? format->GetAlignment() : StringAlignmentNear;
  const StringAlignment line = format ? format->GetLineAlignment() : StringAlignmentNear;
  const bool wrap = rect.Width > 0 && !(format && (format->GetFormatFlags() & StringFormatFlagsNoWrap));
  PangoLayout* layout = LayoutOf(font, text, wrap ? rect.Width : 0, align);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  Placed p{rect.X, rect.Y, static_cast<double>(logical.width) / PANGO_SCALE,
           static_cast<double>(logical.height) / PANGO_SCALE, wrap ? rect.Width : 0};
  if (!wrap) {
    const double room = rect.Width > 0 ? rect.Width : 0;
    if (align == StringAlignmentCenter) p.x += (room - p.width) / 2;
    else if (align == StringAlignmentFar) p.x += room - p.width;
  }
  const double height = rect.Height > 0 ? rect.Height : 0;
  if (line == StringAlignmentCenter) p.y += (height - p.height) / 2;
  else if (line == StringAlignmentFar) p.y += height - p.height;
  if (out) *out = layout;
  else g_object_unref(layout);
  return p;
}

}  // namespace

// --- paths

Status GraphicsPath::Add(Segment segment) {
  segment.startsFigure = m_newFigure;
  m_newFigure = false;
  m_segments.push_back(segment);
  return Ok;
}

Status GraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
  Segment s;
  s.a = x1, s.b = y1, s.c = x2, s.d = y2;
  return Add(s);
}

Status GraphicsPath::AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle) {
  if (!(width > 0) || !(height > 0) || !std::isfinite(startAngle) || !std::isfinite(sweepAngle))
    return m_last = InvalidParameter;
  Segment s;
  s.arc = true;
  s.a = x, s.b = y, s.c = width, s.d = height;
  s.start = startAngle;
  s.sweep = std::clamp(sweepAngle, -360.0f, 360.0f);
  return Add(s);
}

Status GraphicsPath::AddRectangle(const RectF& r) {
  if (r.Width < 0 || r.Height < 0) return m_last = InvalidParameter;
  StartFigure();
  AddLine(r.X, r.Y, r.X + r.Width, r.Y);
  AddLine(r.X + r.Width, r.Y + r.Height, r.X, r.Y + r.Height);
  return CloseFigure();
}

Status GraphicsPath::StartFigure() {
  m_newFigure = true;
  return Ok;
}

Status GraphicsPath::CloseFigure() {
  if (!m_segments.empty() && !m_newFigure) m_segments.back().closesFigure = true;
  m_newFigure = true;
  return Ok;
}

Status GraphicsPath::Reset() {
  m_segments.clear();
  m_newFigure = true;
  m_last = Ok;
  return Ok;
}

// --- fonts

FontFamily::FontFamily(const WCHAR* name, const FontCollection*) : m_last(FontFamilyNotFound) {
  const std::wstring folded = Folded(name);
  for (const FaceEntry& f : kFaces)
    if (folded == f.name) {
      m_face = platform::Utf8ToWide(f.pango);
      m_last = Ok;
    }
}

const FontFamily* FontFamily::GenericSansSerif() {
  static const FontFamily family(L"DejaVu Sans");
  return &family;
}
const FontFamily* FontFamily::GenericSerif() {
  static const FontFamily family(L"DejaVu Serif");
  return &family;
}
const FontFamily* FontFamily::GenericMonospace() {
  static const FontFamily family(L"DejaVu Sans Mono");
  return &family;
}

Status FontFamily::GetFamilyName(WCHAR name[32], WCHAR) const {
  if (!name) return InvalidParameter;
  const size_t n = std::min<size_t>(m_face.size(), 31);
  std::copy(m_face.begin(), m_face.begin() + static_cast<std::ptrdiff_t>(n), name);
  name[n] = 0;
  return m_last;
}

Font::Font(const FontFamily* family, REAL emSize, INT style, Unit unit)
    : m_family(family ? *family : FontFamily()), m_size(emSize), m_style(style), m_unit(unit), m_last(Ok) {
  if (!family || !(emSize > 0) || (unit != UnitPoint && unit != UnitPixel && unit != UnitWorld)) m_last = InvalidParameter;
  else if (!m_family.IsAvailable()) m_last = FontFamilyNotFound;
}

Font::Font(const WCHAR* familyName, REAL emSize, INT style, Unit unit, const FontCollection* collection)
    : m_family(familyName, collection), m_size(emSize), m_style(style), m_unit(unit), m_last(Ok) {
  if (!m_family.IsAvailable()) m_last = FontFamilyNotFound;
  else if (!(emSize > 0) || (unit != UnitPoint && unit != UnitPixel && unit != UnitWorld)) m_last = InvalidParameter;
}

Status Font::GetFamily(FontFamily* family) const {
  if (!family) return InvalidParameter;
  *family = m_family;
  return Ok;
}

REAL Font::EmPixels() const { return m_unit == UnitPoint ? m_size * 96.0f / 72.0f : m_size; }

const StringFormat* StringFormat::GenericDefault() {
  static const StringFormat format;
  return &format;
}

// --- drawing

Status Graphics::FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height) {
  const Status s = Fill(m_dc, brush, x, y, width, height, m_smoothing, m_offset, Shape::Ellipse);
  if (s != Ok) m_last = s;
  return s;
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
  const Status s = Fill(m_dc, brush, x, y, width, height, m_smoothing, m_offset, Shape::Rectangle);
  if (s != Ok) m_last = s;
  return s;
}

Status Graphics::FillPath(const Brush* brush, const GraphicsPath* path) {
  Color color;
  if (!path || !SourceOf(brush, color)) return m_last = InvalidParameter;
  Surface* s = nullptr;
  cairo_t* cr = Begin(m_dc, &s, m_smoothing, HalfOffset(m_offset) ? 0.0 : 0.5);
  if (!cr) return m_last = InvalidParameter;
  cairo_set_fill_rule(cr, path->GetFillMode() == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  cairo_new_path(cr);
  for (const GraphicsPath::Segment& seg : path->Segments()) {
    if (seg.startsFigure) cairo_new_sub_path(cr);
    if (seg.arc) {
      const double rx = seg.c / 2.0, ry = seg.d / 2.0;
      const double a0 = Radians(seg.start), a1 = Radians(seg.start + seg.sweep);
      cairo_save(cr);
      cairo_translate(cr, seg.a + rx, seg.b + ry);
      cairo_scale(cr, rx, ry);
      if (seg.sweep >= 0) cairo_arc(cr, 0, 0, 1, a0, a1);
      else cairo_arc_negative(cr, 0, 0, 1, a0, a1);
      cairo_restore(cr);
    } else {
      if (cairo_has_current_point(cr)) cairo_line_to(cr, seg.a, seg.b);
      else cairo_move_to(cr, seg.a, seg.b);
      cairo_line_to(cr, seg.c, seg.d);
    }
    if (seg.closesFigure) cairo_close_path(cr);
  }
  SetSource(cr, color);
  cairo_fill(cr);
  End(cr, s);
  return Ok;
}

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                            const StringFormat* format, const Brush* brush) {
  Color color;
  if (!text || !font || !SourceOf(brush, color)) return m_last = InvalidParameter;
  if (!font->IsAvailable()) return m_last = font->GetLastStatus();
  const std::wstring t = Text(text, length);
  if (t.empty()) return Ok;
  Surface* s = nullptr;
  cairo_t* cr = Begin(m_dc, &s, SmoothingModeNone, 0.0);
  if (!cr) return m_last = InvalidParameter;
  PangoLayout* pango = nullptr;
  const Placed p = Place(*font, t, layout, format, &pango);
  if (!layout.IsEmptyArea() && !(format && (format->GetFormatFlags() & StringFormatFlagsNoClip))) {
    cairo_rectangle(cr, layout.X, layout.Y, layout.Width, layout.Height);
    cairo_clip(cr);
  }
  cairo_font_options_t* options = cairo_font_options_create();
  const bool mono = m_textHint == TextRenderingHintSingleBitPerPixel || m_textHint == TextRenderingHintSingleBitPerPixelGridFit;
  cairo_font_options_set_antialias(options, mono ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  // Lines (underline, strike-out) blend like the glyphs; the text sits on whole pixels.
  cairo_set_antialias(cr, mono ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
  pango_cairo_update_layout(cr, pango);
  SetSource(cr, color);
  cairo_move_to(cr, std::round(p.x), std::round(p.y));
  pango_cairo_show_layout(cr, pango);
  g_object_unref(pango);
  End(cr, s);
  return Ok;
}

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin, const Brush* brush) {
  return DrawString(text, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr, brush);
}

Status Graphics::MeasureString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                               const StringFormat* format, RectF* bounding, INT* codepointsFitted,
                               INT* linesFilled) const {
  if (!text || !font || !bounding) return m_last = InvalidParameter;
  if (!font->IsAvailable()) return m_last = font->GetLastStatus();
  const std::wstring t = Text(text, length);
  PangoLayout* pango = nullptr;
  const Placed p = Place(*font, t, layout, format, &pango);
  if (linesFilled) *linesFilled = t.empty() ? 0 : pango_layout_get_line_count(pango);
  g_object_unref(pango);
  if (codepointsFitted) *codepointsFitted = static_cast<INT>(t.size());
  *bounding = t.empty() ? RectF(layout.X, layout.Y, 0, 0)
                        : RectF(static_cast<REAL>(p.x), static_cast<REAL>(p.y), static_cast<REAL>(p.width),
                                static_cast<REAL>(p.height));
  return Ok;
}

Status Graphics::MeasureString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                               RectF* bounding) const {
  return MeasureString(text, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr, bounding);
}

Status Graphics::DrawImage(Image* image, INT x, INT y) {
  if (!image) return m_last = InvalidParameter;
  return DrawImage(image, x, y, static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight()));
}

namespace detail {
Status DrawOnPicture(Image* target, Image* source, INT x, INT y, INT width, INT height, bool smooth);
Status ClearPicture(Image* target, const Color& color);
}  // namespace detail

namespace {
bool SmoothScaling(InterpolationMode mode) {
  return mode == InterpolationModeHighQualityBicubic || mode == InterpolationModeHighQualityBilinear ||
         mode == InterpolationModeBicubic || mode == InterpolationModeBilinear || mode == InterpolationModeHighQuality;
}
}  // namespace

Status Graphics::Clear(const Color& color) {
  if (m_image) return m_last = detail::ClearPicture(m_image, color);
  Dc* dc = FindDc(m_dc);
  Surface* s = dc ? dc->Target() : nullptr;
  if (!s) return m_last = InvalidParameter;
  Surface* surface = nullptr;
  cairo_t* cr = Begin(m_dc, &surface, SmoothingModeNone, 0.0);
  if (!cr) return m_last = InvalidParameter;
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  SetSource(cr, color);
  cairo_paint(cr);
  End(cr, surface);
  return Ok;
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
  if (!image || image->GetLastStatus() != Ok || width < 0 || height < 0) return m_last = InvalidParameter;
  const UINT iw = image->GetWidth(), ih = image->GetHeight();
  if (iw == 0 || ih == 0 || width == 0 || height == 0) return Ok;
  if (m_image) return m_last = detail::DrawOnPicture(m_image, image, x, y, width, height, SmoothScaling(m_interpolation));
  Surface* s = nullptr;
  cairo_t* cr = Begin(m_dc, &s, SmoothingModeNone, 0.0);
  if (!cr) return m_last = InvalidParameter;
  cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(iw), static_cast<int>(ih));
  if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(picture);
    End(cr, s);
    return m_last = OutOfMemory;
  }
  cairo_surface_flush(picture);
  unsigned char* data = cairo_image_surface_get_data(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  const std::vector<ARGB>& pixels = image->Pixels();
  if (pixels.size() != static_cast<size_t>(iw) * ih) {
    cairo_surface_destroy(picture);
    End(cr, s);
    return m_last = OutOfMemory;
  }
  for (UINT j = 0; j < ih; ++j) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(j) * stride);
    for (UINT i = 0; i < iw; ++i) {
      const ARGB c = pixels[static_cast<size_t>(j) * iw + i];
      const uint32_t a = c >> 24;
      auto pre = [a](uint32_t v) { return (v * a + 127) / 255; };
      row[i] = (a << 24) | (pre((c >> 16) & 0xFF) << 16) | (pre((c >> 8) & 0xFF) << 8) | pre(c & 0xFF);
    }
  }
  cairo_surface_mark_dirty(picture);
  cairo_translate(cr, x, y);
  cairo_scale(cr, static_cast<double>(width) / iw, static_cast<double>(height) / ih);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr),
                           SmoothScaling(m_interpolation) ? CAIRO_FILTER_BEST : CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, iw, ih);
  cairo_fill(cr);
  cairo_surface_destroy(picture);
  End(cr, s);
  return Ok;
}

}  // namespace Gdiplus
