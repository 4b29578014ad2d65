#pragma once
// Inside the headless window layer: the handle table, windows, device contexts and surfaces.
#include <cairo.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/dialogs.h"
#include "platform/gui/headless.h"
#include "platform/gui/windows.h"

class CWnd;
typedef struct _PangoFontDescription PangoFontDescription;
typedef struct _PangoLayout PangoLayout;

namespace platform::gui::detail {

enum class Kind { Window, Pen, Brush, Font, Bitmap, Dc, Menu, Cursor, Icon, Region };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  DWORD handle = 0;
  bool stock = false;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  int style = PS_SOLID;
  int width = 0;
  COLORREF color = 0;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
};

struct Font : Object {
  Font() : Object(Kind::Font) {}
  ~Font() override;
  LOGFONTW lf{};
  PangoFontDescription* description = nullptr;   // made on first use
};

// A surface in 32-bit RGB (0x00RRGGBB).
struct Surface {
  explicit Surface(int width, int height, DWORD fill = 0);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  int width;
  int height;
  cairo_surface_t* cairo;
  DWORD* Row(int y);
  void Resize(int width, int height, DWORD fill);
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  std::unique_ptr<Surface> surface;
  int bitsPerPixel = 32;
  HDC selectedIn = nullptr;
};

struct DcState {
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;
  HGDIOBJ bitmap = nullptr;
  int bkMode = OPAQUE;
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF dcBrushColor = RGB(255, 255, 255);
  COLORREF dcPenColor = RGB(0, 0, 0);
  UINT textAlign = TA_LEFT | TA_TOP;
  POINT position{};
  POINT viewport{};
  RECT clip{};          // in surface coordinates
};

struct Dc : Object {
  Dc() : Object(Kind::Dc) {}
  bool memory = false;
  HWND window = nullptr;        // the window drawn on (null: screen or memory)
  bool fromPaint = false;       // made by the layer for a paint message
  POINT origin{};               // where logical (0, 0) lies on the surface, before the viewport
  RECT bounds{};                // the area this DC may draw on, in surface coordinates
  DcState state;
  std::vector<DcState> saved;
  Surface* Target() const;      // the surface drawn on
};

struct MenuItem {
  UINT flags = 0;
  UINT_PTR id = 0;
  std::wstring text;
  HMENU submenu = nullptr;
};

struct Menu : Object {
  Menu() : Object(Kind::Menu) {}
  bool popup = false;
  std::vector<MenuItem> items;
  HWND window = nullptr;       // the window whose bar it is
  UINT defaultItem = 0xFFFFFFFF;
};

// A rectangular region, in device coordinates.
struct Region : Object {
  Region() : Object(Kind::Region) {}
  RECT rect{};
};

struct Cursor : Object {
  Cursor() : Object(Kind::Cursor) {}
  std::wstring name;
};

// A window class: its procedure and defaults.
struct WindowClass {
  std::wstring name;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HCURSOR cursor = nullptr;
  HINSTANCE instance = nullptr;
  UINT style = 0;
  bool system = false;
};

// A window's scroll bar: its range, page and position (kept while hidden) and its disabled arrows.
struct ScrollBar {
  int min = 0;
  int max = 0;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  UINT disabled = ESB_ENABLE_BOTH;
};

// A tool of a tooltip window.
struct Tool {
  UINT flags = 0;
  HWND window = nullptr;
  UINT_PTR id = 0;
  RECT rect{};
  std::wstring text;
};

// Items of combo and list boxes.
struct ListItem {
  std::wstring text;
  LPARAM data = 0;
  bool selected = false;
};

struct Window : Object {
  Window();
  ~Window() override;
  const WindowClass* cls = nullptr;
  std::wstring className;      // as the class was registered
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  std::wstring text;
  HWND parent = nullptr;       // children
  HWND owner = nullptr;        // pop-ups
  std::vector<HWND> children;  // in window order: the first is on top
  RECT rect{};                 // the window rectangle: in the parent's client coordinates for a
                               // child, in screen coordinates for a top-level window
  HFONT font = nullptr;
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  HINSTANCE instance = nullptr;
  HMENU menu = nullptr;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  CWnd* cwnd = nullptr;                  // the class-library object attached to it
  std::unique_ptr<CWnd> temporary;       // the wrapper CWnd::FromHandle made
  bool destroying = false;
  bool needsPaint = true;
  bool maximized = false;
  RECT restore{};                        // the rectangle before it was maximized
  std::unique_ptr<Surface> surface;      // top-level windows: what they show
  HDC paintDc = nullptr;                 // the DC BeginPaint hands out while painting
  // dialogs
  bool dialog = false;
  std::wstring templateName;
  DLGPROC dlgProc = nullptr;
  LONG_PTR msgResult = 0;
  LONG_PTR dlgUser = 0;
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  int defaultId = IDOK;
  // controls
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  UINT limit = 30000;
  bool modified = false;
  DWORD selStart = 0;
  DWORD selEnd = 0;
  std::vector<ListItem> items;
  int current = -1;
  int top = 0;
  bool dropped = false;
  HANDLE image = nullptr;
  // scroll bars and tooltips
  ScrollBar hbar;
  ScrollBar vbar;
  std::vector<Tool> tools;
};

// --- the handle table
DWORD NewHandle();
void Register(Object* object);   // takes ownership
Object* Find(DWORD handle);
template <class T>
T* Find(const void* handle, Kind kind) {
  Object* o = Find(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(handle)));
  return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
inline Window* FindWindow(HWND h) { return Find<Window>(h, Kind::Window); }
inline Dc* FindDc(HDC h) { return Find<Dc>(h, Kind::Dc); }
inline Menu* FindMenu(HMENU h) { return Find<Menu>(h, Kind::Menu); }
inline Font* FindFont(HGDIOBJ h) { return Find<Font>(h, Kind::Font); }
inline Bitmap* FindBitmap(HGDIOBJ h) { return Find<Bitmap>(h, Kind::Bitmap); }
inline Pen* FindPen(HGDIOBJ h) { return Find<Pen>(h, Kind::Pen); }
inline Brush* FindBrush(HGDIOBJ h) { return Find<Brush>(h, Kind::Brush); }
inline Region* FindRegion(HGDIOBJ h) { return Find<Region>(h, Kind::Region); }
// Removes the object from the table; it is freed once no message is being delivered.
void Retire(DWORD handle);
void CollectRetired();
std::vector<DWORD> LiveHandles(Kind kind);
template <class H>
H ToHandle(DWORD value) {
  return reinterpret_cast<H>(static_cast<UINT_PTR>(value));
}
template <class H>
DWORD FromHandle(H handle) {
  return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(handle));
}

// --- windows (window.cpp)
const WindowClass* FindClass(const std::wstring& name);
RECT NonClientInsets(DWORD style, DWORD exStyle, bool menuBar);
bool HasMenuBar(const Window& w);
// The window's scroll bars that are shown (WS_HSCROLL, WS_VSCROLL); none for a combo box.
DWORD ShownScrollBars(const Window& w);
RECT ClientRectInWindow(const Window& w);    // the client area in window coordinates (without its bars)
POINT ScreenOrigin(const Window& w);         // the window rectangle's top-left corner on the screen
POINT ClientScreenOrigin(const Window& w);
Window* TopLevel(Window* w);
// Where the window's top-left corner lies on its top-level window's surface.
POINT SurfaceOrigin(Window* w);
Surface& TopSurface(Window* top);
Surface& ScreenSurface();
bool IsShown(Window* w);    // the window and all its parents are visible
extern int g_deliveryDepth;
// Delivering messages: depth counts nested calls, so retired objects wait until it is 0.
LRESULT Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The creation hook of the class library: attaches the CWnd to the next window created.
void SetCreationHook(CWnd* object);
CWnd* TakeCreationHook();
void AttachCwnd(HWND window, CWnd* object);
void SetTemplateName(HWND window, const std::wstring& name);
void RegisterClassDirect(const std::wstring& name, WNDPROC proc, HBRUSH background);
void ResetWindows();
// The posted messages waiting for delivery.
std::deque<MSG>& PostedQueue();
// Invalidations other threads marked, applied on the user-interface thread.
void ApplyMarkedInvalidations();

// --- images (gdiplus_image.cpp): Magick++ set up once, before any picture is decoded or encoded.
void InitImageCodecs();

// --- pointer input and positioning (input.cpp, position.cpp)
bool RemoteSession();
void ResetInput();
void ResetPositions();

// --- painting (render.cpp)
void PaintTree(HWND window);    // paints the window and its children onto its top-level surface
HDC MakeWindowDc(Window* w, bool client);
void FreeDc(HDC dc);
void PaintNonClient(HWND window, HDC dc);
// Draws the shown scroll bars into the window DC, whose (0, 0) is the window's corner.
void PaintScrollBars(const Window& w, HDC dc);

// --- controls (controls.cpp)
void RegisterSystemClasses();
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListBoxProc(HWND, UINT, WPARAM, LPARAM);
void RegisterTreeViewClass();   // treeview.cpp
LRESULT TooltipProc(HWND, UINT, WPARAM, LPARAM);
// Draws a 3D edge in GDI's colours.
void DrawEdge3d(HDC dc, RECT rect, COLORREF topLeft, COLORREF bottomRight);

// --- dialogs and modal runs (dialog.cpp, script.cpp)
INT_PTR RunModal(HWND dialog);
bool RefuseStep(Window* dialog, const std::wstring& step);
void RecordModal(const ModalRun& run);
std::wstring TemplateNameOf(LPCWSTR name);
HWND CreateDialogNamed(HINSTANCE module, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
                       const std::wstring& name, bool modal);
INT_PTR RunDialogBox(HINSTANCE module, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
                     const std::wstring& name);
void StoreModalResult(HWND dialog, INT_PTR result);
bool TakeModalResult(HWND dialog, INT_PTR& result);

// --- text (text.cpp)
PangoFontDescription* DescriptionOf(HFONT font);
HFONT DefaultFont();    // the system font
// An empty layout on the layer's text context (96 pixels per inch, grey anti-aliasing, no hinting).
PangoLayout* NewTextLayout();
void DrawTextOnSurface(Dc& dc, const std::wstring& text, int x, int y, COLORREF color);

// --- GDI (gdi.cpp)
COLORREF ReadPixel(Surface& s, int x, int y);
void WritePixel(Surface& s, int x, int y, COLORREF color);
void FillSurfaceRect(Surface& s, RECT r, COLORREF color, const RECT& clip);
DWORD ToRgb(COLORREF c);
COLORREF FromRgb(DWORD rgb);
HBRUSH StockBrush(int index);
RECT DeviceClip(const Dc& dc);   // the clip in surface coordinates
// The clip within the surface (cairo cannot take coordinates of any size).
RECT ClipOn(const RECT& clip, const Surface& s);
// Draws the system's standard icon of that name (icons.cpp) with its top-left corner at (x, y);
// false for an icon the layer has no artwork for.
bool DrawSystemIcon(Dc& dc, int x, int y, const std::wstring& name);
POINT ToDevice(const Dc& dc, int x, int y);
void ResetGdi();

}  // namespace platform::gui::detail
