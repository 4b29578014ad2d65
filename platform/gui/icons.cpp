// The system's standard icons, drawn by the layer itself in 32 x 32 pixels: the error sign (a red
// disc with a white cross), the warning sign (a yellow triangle with a black exclamation mark), the
// information sign (a blue disc with a white "i"), the question sign (a blue disc with a white
// "?") and the application's window. Anything else is an icon without artwork: a framed square.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/gui/internal.h"

namespace platform::gui::detail {
namespace {

enum class Sign { None, Error, Warning, Information, Question, Application };

Sign SignOf(const std::wstring& name) {
  // Icons the system keeps are named "0:#<id>" (no module).
  if (name == L"0:#32513") return Sign::Error;
  if (name == L"0:#32515") return Sign::Warning;
  if (name == L"0:#32516") return Sign::Information;
  if (name == L"0:#32514") return Sign::Question;
  if (name == L"0:#32512") return Sign::Application;
  return Sign::None;
}

void Rgb(cairo_t* cr, int r, int g, int b) { cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0); }

// A disc of the colour with a darker rim, shaded lighter towards its top.
void Disc(cairo_t* cr, int r, int g, int b) {
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, 2, 0, 30);
  cairo_pattern_add_color_stop_rgb(shade, 0, std::min(1.0, r / 255.0 + 0.25), std::min(1.0, g / 255.0 + 0.25),
                                   std::min(1.0, b / 255.0 + 0.25));
  cairo_pattern_add_color_stop_rgb(shade, 1, r / 255.0, g / 255.0, b / 255.0);
  cairo_arc(cr, 16, 16, 14, 0, 2 * M_PI);
  cairo_set_source(cr, shade);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(shade);
  Rgb(cr, r * 2 / 3, g * 2 / 3, b * 2 / 3);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void Draw(cairo_t* cr, Sign sign) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  switch (sign) {
    case Sign::Error:
      Disc(cr, 204, 24, 24);
      Rgb(cr, 255, 255, 255);
      cairo_set_line_width(cr, 3.5);
      cairo_move_to(cr, 10.5, 10.5);
      cairo_line_to(cr, 21.5, 21.5);
      cairo_move_to(cr, 21.5, 10.5);
      cairo_line_to(cr, 10.5, 21.5);
      cairo_stroke(cr);
      return;
    case Sign::Warning:
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_move_to(cr, 16, 2.5);
      cairo_line_to(cr, 30, 28.5);
      cairo_line_to(cr, 2, 28.5);
      cairo_close_path(cr);
      Rgb(cr, 250, 204, 20);
      cairo_fill_preserve(cr);
      Rgb(cr, 150, 110, 0);
      cairo_set_line_width(cr, 1.5);
      cairo_stroke(cr);
      Rgb(cr, 0, 0, 0);
      cairo_set_line_width(cr, 3);
      cairo_move_to(cr, 16, 11);
      cairo_line_to(cr, 16, 19.5);
      cairo_stroke(cr);
      cairo_arc(cr, 16, 24, 1.8, 0, 2 * M_PI);
      cairo_fill(cr);
      return;
    case Sign::Information:
      Disc(cr, 30, 90, 200);
      Rgb(cr, 255, 255, 255);
      cairo_arc(cr, 16, 9.5, 2, 0, 2 * M_PI);
      cairo_fill(cr);
      cairo_set_line_width(cr, 3.5);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
      cairo_move_to(cr, 16, 14);
      cairo_line_to(cr, 16, 25);
      cairo_stroke(cr);
      cairo_set_line_width(cr, 1.5);
      cairo_move_to(cr, 12.5, 14.75);
      cairo_line_to(cr, 17, 14.75);
      cairo_move_to(cr, 12.5, 24.25);
      cairo_line_to(cr, 19.5, 24.25);
      cairo_stroke(cr);
      return;
    case Sign::Question:
      Disc(cr, 30, 90, 200);
      Rgb(cr, 255, 255, 255);
      cairo_set_line_width(cr, 3);
      cairo_arc(cr, 16, 12, 4.5, M_PI, 2.25 * M_PI);
      cairo_line_to(cr, 16, 18.5);
      cairo_line_to(cr, 16, 20);
      cairo_stroke(cr);
      cairo_arc(cr, 16, 24.5, 1.8, 0, 2 * M_PI);
      cairo_fill(cr);
      return;
    case Sign::Application:
      Rgb(cr, 255, 255, 255);
      cairo_rectangle(cr, 3, 5, 26, 22);
      cairo_fill(cr);
      Rgb(cr, 10, 36, 106);
      cairo_rectangle(cr, 3, 5, 26, 5);
      cairo_fill(cr);
      Rgb(cr, 0, 0, 0);
      cairo_set_line_width(cr, 1);
      cairo_rectangle(cr, 3.5, 5.5, 25, 21);
      cairo_stroke(cr);
      return;
    case Sign::None: return;
  }
}

}  // namespace

bool DrawSystemIcon(Dc& dc, int x, int y, const std::wstring& name) {
  const Sign sign = SignOf(name);
  Surface* s = dc.Target();
  if (sign == Sign::None || !s) return false;
  const RECT clip = ClipOn(dc.state.clip, *s);
  const POINT at = ToDevice(dc, x, y);
  cairo_surface_flush(s->cairo);
  cairo_t* cr = cairo_create(s->cairo);
  cairo_rectangle(cr, clip.left, clip.top, std::max<LONG>(0, clip.right - clip.left),
                  std::max<LONG>(0, clip.bottom - clip.top));
  cairo_clip(cr);
  cairo_translate(cr, at.x, at.y);
  Draw(cr, sign);
  cairo_destroy(cr);
  cairo_surface_flush(s->cairo);
  cairo_surface_mark_dirty(s->cairo);
  return true;
}

}  // namespace platform::gui::detail
