// The handle table of the window layer and the surfaces behind device contexts.
#include <pango/pango.h>

#include <algorithm>
#include <unordered_map>

#include "platform/gui/afxwin.h"
#include "platform/gui/internal.h"

namespace platform::gui::detail {
namespace {

struct Table {
  std::unordered_map<DWORD, std::unique_ptr<Object>> objects;
  std::vector<std::unique_ptr<Object>> retired;
  DWORD next = 0x00010002;
};

Table& TheTable() {
  static auto* table = new Table;
  return *table;
}

}  // namespace

int g_deliveryDepth = 0;

DWORD NewHandle() {
  Table& t = TheTable();
  const DWORD h = t.next;
  t.next += 2;
  if (t.next >= 0x7FFFFFF0u) t.next = 0x00010002;   // never reached in practice
  return h;
}

void Register(Object* object) {
  if (!object->handle) object->handle = NewHandle();
  TheTable().objects[object->handle].reset(object);
}

Object* Find(DWORD handle) {
  if (!handle) return nullptr;
  Table& t = TheTable();
  auto it = t.objects.find(handle);
  return it == t.objects.end() ? nullptr : it->second.get();
}

void Retire(DWORD handle) {
  Table& t = TheTable();
  auto it = t.objects.find(handle);
  if (it == t.objects.end()) return;
  t.retired.push_back(std::move(it->second));
  t.objects.erase(it);
  if (g_deliveryDepth == 0) CollectRetired();
}

void CollectRetired() {
  Table& t = TheTable();
  while (!t.retired.empty()) {
    std::vector<std::unique_ptr<Object>> batch;
    batch.swap(t.retired);
    batch.clear();
  }
}

std::vector<DWORD> LiveHandles(Kind kind) {
  std::vector<DWORD> out;
  for (auto& [h, o] : TheTable().objects)
    if (o->kind == kind && !o->stock) out.push_back(h);
  std::sort(out.begin(), out.end());
  return out;
}

Font::~Font() {
  if (description) pango_font_description_free(description);
}

Window::Window() : Object(Kind::Window) {}
Window::~Window() = default;

Surface::Surface(int w, int h, DWORD fill) : width(w < 1 ? 1 : w), height(h < 1 ? 1 : h) {
  cairo = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(cairo);
  for (int y = 0; y < height; ++y) {
    DWORD* row = Row(y);
    for (int x = 0; x < width; ++x) row[x] = fill;
  }
  cairo_surface_mark_dirty(cairo);
}

Surface::~Surface() { cairo_surface_destroy(cairo); }

DWORD* Surface::Row(int y) {
  return reinterpret_cast<DWORD*>(cairo_image_surface_get_data(cairo) +
                                  static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(cairo));
}

void Surface::Resize(int w, int h, DWORD fill) {
  w = w < 1 ? 1 : w;
  h = h < 1 ? 1 : h;
  if (w == width && h == height) return;
  cairo_surface_t* grown = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_t* cr = cairo_create(grown);
  cairo_set_source_rgb(cr, ((fill >> 16) & 0xFF) / 255.0, ((fill >> 8) & 0xFF) / 255.0, (fill & 0xFF) / 255.0);
  cairo_paint(cr);
  cairo_set_source_surface(cr, cairo, 0, 0);
  cairo_rectangle(cr, 0, 0, std::min(w, width), std::min(h, height));
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(cairo);
  cairo = grown;
  width = w;
  height = h;
  cairo_surface_flush(cairo);
}

Surface* Dc::Target() const {
  if (memory) {
    Bitmap* b = FindBitmap(state.bitmap);
    return b ? b->surface.get() : nullptr;
  }
  if (window) {
    Window* w = FindWindow(window);
    if (!w) return nullptr;
    return &TopSurface(TopLevel(w));
  }
  return &ScreenSurface();
}

}  // namespace platform::gui::detail
