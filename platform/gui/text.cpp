// Text of the window layer: fonts, metrics and drawing through pango (the dialog faces in Carlito,
// every other face in a DejaVu face).
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "platform/strings/convert.h"
#include "platform/gui/internal.h"

namespace platform::gui::detail {
namespace {

PangoContext* Context() {
  static PangoContext* context = [] {
    PangoFontMap* map = pango_cairo_font_map_new();
    PangoContext* c = pango_font_map_create_context(map);
    g_object_unref(map);   // the context keeps it
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(c, 96);
    return c;
  }();
  return context;
}

bool Contains(const std::wstring& haystack, const wchar_t* needle) {
  std::wstring h, n(needle);
  for (wchar_t c : haystack) h.push_back(static_cast<wchar_t>(std::towlower(c)));
  return h.find(n) != std::wstring::npos;
}

// The dialog faces ("MS Shell Dlg" and the faces it stands for) are drawn in Carlito: at 8 points
// its letters average the width of the faces the dialog templates were laid out in (the base units
// the alphabet gives are 6 x 13 pixels, as there), so the templates' texts fit their controls;
// DejaVu Sans is a tenth wider and cuts their labels.
constexpr const char* kShellDialogFamily = "Carlito";

bool IsShellDialogFace(const std::wstring& face) {
  std::wstring lower;
  for (wchar_t c : face) lower.push_back(static_cast<wchar_t>(std::towlower(c)));
  for (const wchar_t* name : {L"ms shell dlg", L"ms shell dlg 2", L"ms sans serif", L"microsoft sans serif", L"tahoma"})
    if (lower == name) return true;
  return false;
}

// The em size in pixels of a LOGFONT height: negative is the character height, positive the
// cell height (the em of DejaVu Sans is 1 / 1.164 of its cell).
int EmPixels(LONG height) {
  if (height < 0) return static_cast<int>(-height);
  if (height > 0) return std::max(1, static_cast<int>(std::lround(height / 1.164)));
  return 11;
}

struct Metrics {
  int ascent = 0;
  int descent = 0;
  int average = 0;
  int maximum = 0;
};

std::map<DWORD, Metrics>& MetricsCache() {
  static auto* cache = new std::map<DWORD, Metrics>;
  return *cache;
}

HFONT FontOf(const Dc& dc) {
  return FindFont(dc.state.font) ? static_cast<HFONT>(dc.state.font) : DefaultFont();
}

const Metrics& MetricsOf(HFONT font) {
  const DWORD key = FromHandle(font);
  auto& cache = MetricsCache();
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  PangoFontMetrics* m = pango_context_get_metrics(Context(), DescriptionOf(font), nullptr);
  Metrics out;
  out.ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(m));
  out.descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(m));
  out.average = std::max(1, PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(m)));
  out.maximum = std::max(out.average, PANGO_PIXELS(pango_font_metrics_get_approximate_digit_width(m)) * 2);
  pango_font_metrics_unref(m);
  return cache[key] = out;
}

// A layout of one line; `underline` holds character indexes to underline.
PangoLayout* MakeLayout(HFONT font, const std::wstring& text, const std::vector<size_t>& underline = {}) {
  PangoLayout* layout = pango_layout_new(Context());
  pango_layout_set_font_description(layout, DescriptionOf(font));
  const std::string utf8 = platform::WideToUtf8(text);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  Font* f = FindFont(font);
  PangoAttrList* attrs = pango_attr_list_new();
  if (f && f->lf.lfUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (f && f->lf.lfStrikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
  for (size_t index : underline) {
    if (index >= text.size()) continue;
    const size_t start = platform::WideToUtf8(text.substr(0, index)).size();
    const size_t end = start + platform::WideToUtf8(text.substr(index, 1)).size();
    PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    a->start_index = static_cast<guint>(start);
    a->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attrs, a);
  }
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  return layout;
}

int LineWidth(HFONT font, const std::wstring& text) {
  if (text.empty()) return 0;
  PangoLayout* layout = MakeLayout(font, text);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return width;
}

// Draws one line with its cell's top-left corner at device (x, y), clipped to `clip`.
void DrawLine(Surface& s, const RECT& area, HFONT font, const std::wstring& text, int x, int y, COLORREF color,
              const std::vector<size_t>& underline) {
  if (text.empty()) return;
  PangoLayout* layout = MakeLayout(font, text, underline);
  const int baseline = pango_layout_get_baseline(layout) / PANGO_SCALE;
  const RECT clip = ClipOn(area, s);
  cairo_t* cr = cairo_create(s.cairo);
  cairo_rectangle(cr, clip.left, clip.top, std::max<LONG>(0, clip.right - clip.left),
                  std::max<LONG>(0, clip.bottom - clip.top));
  cairo_clip(cr);
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
  cairo_move_to(cr, x, y + MetricsOf(font).ascent - baseline);
  pango_cairo_show_layout(cr, layout);
  cairo_destroy(cr);
  cairo_surface_flush(s.cairo);
  g_object_unref(layout);
}

RECT Clip(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// A line of DrawText with the indexes of its underlined characters.
struct TextLine {
  std::wstring text;
  std::vector<size_t> underline;
};

// Splits the text into lines: at line breaks (unless single line) and, with word breaks, where
// the next word no longer fits the width. A word wider than the width stays whole.
std::vector<TextLine> BreakLines(HFONT font, const std::wstring& text, const std::vector<size_t>& underline,
                                 bool single, bool wordBreak, int width) {
  std::vector<TextLine> out;
  std::vector<std::pair<size_t, size_t>> spans;   // [start, end) in text
  if (single) {
    spans.emplace_back(0, text.size());
  } else {
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i == text.size() || text[i] == L'\n') {
        size_t end = i;
        if (end > start && text[end - 1] == L'\r') --end;
        spans.emplace_back(start, end);
        start = i + 1;
      }
    }
  }
  auto make = [&](size_t a, size_t b) {
    TextLine line;
    line.text = text.substr(a, b - a);
    for (size_t u : underline)
      if (u >= a && u < b) line.underline.push_back(u - a);
    out.push_back(std::move(line));
  };
  for (auto [a, b] : spans) {
    if (!wordBreak || single) {
      make(a, b);
      continue;
    }
    size_t lineStart = a;
    while (true) {
      // Longest run of whole words from lineStart that fits.
      size_t best = 0;   // end of the last fitting word
      size_t i = lineStart;
      while (i < b) {
        size_t wordEnd = i;
        while (wordEnd < b && text[wordEnd] == L' ') ++wordEnd;
        while (wordEnd < b && text[wordEnd] != L' ') ++wordEnd;
        if (LineWidth(font, text.substr(lineStart, wordEnd - lineStart)) > width && best != 0) break;
        best = wordEnd;
        i = wordEnd;
        if (LineWidth(font, text.substr(lineStart, best - lineStart)) > width) break;
      }
      if (best == 0) best = b;
      make(lineStart, best);
      size_t next = best;
      while (next < b && text[next] == L' ') ++next;
      if (next >= b) break;
      lineStart = next;
    }
  }
  return out;
}

}  // namespace

PangoFontDescription* DescriptionOf(HFONT handle) {
  Font* f = FindFont(handle);
  if (!f) f = FindFont(DefaultFont());
  if (f->description) return f->description;
  const std::wstring face = f->lf.lfFaceName;
  const BYTE pitch = f->lf.lfPitchAndFamily;
  const char* family = "DejaVu Sans";
  if (IsShellDialogFace(face))
    family = kShellDialogFamily;
  else if ((pitch & 0x3) == FIXED_PITCH || (pitch & 0xF0) == FF_MODERN || Contains(face, L"courier") ||
      Contains(face, L"mono") || Contains(face, L"consol") || Contains(face, L"fixedsys"))
    family = "DejaVu Sans Mono";
  else if ((pitch & 0xF0) == FF_ROMAN || Contains(face, L"times") || Contains(face, L"serif") ||
           Contains(face, L"georgia"))
    family = Contains(face, L"sans") ? "DejaVu Sans" : "DejaVu Serif";
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, family);
  pango_font_description_set_absolute_size(d, EmPixels(f->lf.lfHeight) * PANGO_SCALE);
  const LONG weight = f->lf.lfWeight == 0 ? FW_NORMAL : f->lf.lfWeight;
  pango_font_description_set_weight(d, static_cast<PangoWeight>(std::clamp<LONG>(weight, 100, 1000)));
  pango_font_description_set_style(d, f->lf.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  f->description = d;
  return d;
}

HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

PangoLayout* NewTextLayout() { return pango_layout_new(Context()); }

void DrawTextOnSurface(Dc& dc, const std::wstring& text, int x, int y, COLORREF color) {
  Surface* s = dc.Target();
  if (!s) return;
  const POINT p = ToDevice(dc, x, y);
  DrawLine(*s, dc.state.clip, FontOf(dc), text, p.x, p.y, color, {});
}

}  // namespace platform::gui::detail

using namespace platform::gui::detail;

namespace {

std::wstring Piece(LPCWSTR text, int length) {
  if (!text) return std::wstring();
  if (length < 0) return std::wstring(text);
  return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace

BOOL GetTextMetricsW(HDC h, LPTEXTMETRICW tm) {
  Dc* dc = FindDc(h);
  if (!dc || !tm) return FALSE;
  const HFONT font = FontOf(*dc);
  const Metrics& m = MetricsOf(font);
  Font* f = FindFont(font);
  *tm = TEXTMETRICW{};
  tm->tmAscent = m.ascent;
  tm->tmDescent = m.descent;
  tm->tmHeight = m.ascent + m.descent;
  tm->tmInternalLeading = std::max(0, tm->tmHeight - EmPixels(f ? f->lf.lfHeight : 0));
  tm->tmAveCharWidth = m.average;
  tm->tmMaxCharWidth = m.maximum;
  tm->tmWeight = f && f->lf.lfWeight ? f->lf.lfWeight : FW_NORMAL;
  tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFFFC;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = f ? f->lf.lfItalic : 0;
  tm->tmUnderlined = f ? f->lf.lfUnderline : 0;
  tm->tmStruckOut = f ? f->lf.lfStrikeOut : 0;
  tm->tmPitchAndFamily = f ? f->lf.lfPitchAndFamily : 0;
  tm->tmCharSet = EASTEUROPE_CHARSET;
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC h, LPCWSTR text, int length, LPSIZE size) {
  Dc* dc = FindDc(h);
  if (!dc || !size || (!text && length != 0)) return FALSE;
  const HFONT font = FontOf(*dc);
  const Metrics& m = MetricsOf(font);
  size->cx = LineWidth(font, Piece(text, length));
  size->cy = m.ascent + m.descent;
  return TRUE;
}

int GetTextFaceW(HDC h, int size, LPWSTR face) {
  Dc* dc = FindDc(h);
  if (!dc) return 0;
  Font* f = FindFont(FontOf(*dc));
  const std::wstring name = f ? f->lf.lfFaceName : L"";
  if (!face) return static_cast<int>(name.size()) + 1;
  if (size <= 0) return 0;
  const size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
  std::wmemcpy(face, name.c_str(), n);
  face[n] = 0;
  return static_cast<int>(n) + 1;
}

BOOL ExtTextOutW(HDC h, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length, const int*) {
  Dc* dc = FindDc(h);
  Surface* s = dc ? dc->Target() : nullptr;
  if (!s) return FALSE;
  const std::wstring line = Piece(text, static_cast<int>(length));
  const HFONT font = FontOf(*dc);
  const Metrics& m = MetricsOf(font);
  const int width = LineWidth(font, line), height = m.ascent + m.descent;
  POINT at{x, y};
  if (dc->state.textAlign & TA_UPDATECP) at = dc->state.position;
  const UINT horizontal = dc->state.textAlign & TA_CENTER;
  if (horizontal == TA_CENTER) at.x -= width / 2;
  else if (horizontal == TA_RIGHT) at.x -= width;
  const UINT vertical = dc->state.textAlign & TA_BASELINE;
  if (vertical == TA_BASELINE) at.y -= m.ascent;
  else if (vertical == TA_BOTTOM) at.y -= height;
  RECT clip = dc->state.clip;
  if (rect) {
    const POINT a = ToDevice(*dc, rect->left, rect->top), b = ToDevice(*dc, rect->right, rect->bottom);
    const RECT device{a.x, a.y, b.x, b.y};
    if (options & ETO_OPAQUE) FillSurfaceRect(*s, device, dc->state.bkColor, dc->state.clip);
    if (options & ETO_CLIPPED) clip = Clip(clip, device);
  }
  const POINT p = ToDevice(*dc, at.x, at.y);
  if (dc->state.bkMode == OPAQUE && !(options & ETO_OPAQUE))
    FillSurfaceRect(*s, RECT{p.x, p.y, p.x + width, p.y + height}, dc->state.bkColor, clip);
  DrawLine(*s, clip, font, line, p.x, p.y, dc->state.textColor, {});
  if (dc->state.textAlign & TA_UPDATECP) dc->state.position.x += width;
  return TRUE;
}

BOOL TextOutW(HDC h, int x, int y, LPCWSTR text, int length) {
  if (!text && length != 0) return FALSE;
  return ExtTextOutW(h, x, y, 0, nullptr, text, static_cast<UINT>(length < 0 ? 0 : length), nullptr);
}

int DrawTextW(HDC h, LPCWSTR text, int length, LPRECT rect, UINT format) {
  Dc* dc = FindDc(h);
  if (!dc || !rect || !text) return 0;
  const HFONT font = FontOf(*dc);
  const Metrics& m = MetricsOf(font);
  const int lineHeight = m.ascent + m.descent;

  // Prefix characters: "&x" underlines x, "&&" is one ampersand.
  std::wstring shown;
  std::vector<size_t> underline;
  const std::wstring raw = Piece(text, length);
  for (size_t i = 0; i < raw.size(); ++i) {
    wchar_t c = raw[i];
    if (!(format & DT_NOPREFIX) && c == L'&' && i + 1 < raw.size()) {
      ++i;
      if (raw[i] != L'&' && !(format & DT_HIDEPREFIX)) underline.push_back(shown.size());
      c = raw[i];
    }
    shown.push_back(c);
  }
  const bool single = (format & DT_SINGLELINE) != 0;
  if (single) {
    std::wstring flat;
    for (wchar_t c : shown)
      if (c != L'\r') flat.push_back(c == L'\n' ? L' ' : c);
    shown.swap(flat);
  }
  if (format & DT_EXPANDTABS) {
    std::wstring expanded;
    for (wchar_t c : shown) expanded += c == L'\t' ? std::wstring(8, L' ') : std::wstring(1, c);
    shown.swap(expanded);
  }

  const int width = rect->right - rect->left;
  std::vector<TextLine> lines = BreakLines(font, shown, underline, single, (format & DT_WORDBREAK) != 0, width);
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
    for (TextLine& line : lines) {
      if (LineWidth(font, line.text) <= width) continue;
      std::wstring t = line.text;
      while (!t.empty() && LineWidth(font, t + L"...") > width) t.pop_back();
      line.text = t + L"...";
    }
  }
  int widest = 0;
  std::vector<int> widths;
  for (const TextLine& line : lines) {
    widths.push_back(LineWidth(font, line.text));
    widest = std::max(widest, widths.back());
  }
  const int total = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    if (!(format & DT_WORDBREAK) || widest > width) rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }

  Surface* s = dc->Target();
  if (!s) return 0;
  int y = rect->top;
  if (single && (format & DT_VCENTER)) y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) y = rect->bottom - lineHeight;
  RECT clip = dc->state.clip;
  if (!(format & DT_NOCLIP)) {
    const POINT a = ToDevice(*dc, rect->left, rect->top), b = ToDevice(*dc, rect->right, rect->bottom);
    clip = Clip(clip, RECT{a.x, a.y, b.x, b.y});
  }
  for (size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - widths[i]) / 2;
    else if (format & DT_RIGHT) x = rect->right - widths[i];
    const POINT p = ToDevice(*dc, x, y);
    if (dc->state.bkMode == OPAQUE)
      FillSurfaceRect(*s, RECT{p.x, p.y, p.x + widths[i], p.y + lineHeight}, dc->state.bkColor, clip);
    DrawLine(*s, clip, font, lines[i].text, p.x, p.y, dc->state.textColor, lines[i].underline);
  }
  return y - rect->top;
}
