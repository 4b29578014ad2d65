#pragma once
// GDI of the headless window layer: device contexts on cairo image surfaces with GDI's rules.
//
// - Selecting an object returns the object it replaced; stock objects are never deleted.
// - A pen of width 0 or 1 draws one pixel wide; lines leave out their last pixel.
// - Rectangles fill [left, right) x [top, bottom); empty or inverted rectangles draw nothing.
// - Gradients interpolate 16-bit channels; see GradientFill.
// - Text is drawn by pango: the dialog faces ("MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif",
//   "Microsoft Sans Serif", "Tahoma") in Carlito, whose widths at 8 points match the ones dialog
//   templates are laid out for; every other face in DejaVu Sans (fixed-pitch and serif faces in
//   DejaVu Sans Mono and DejaVu Serif); grey anti-aliasing, no hinting.
// - Every surface is 32-bit RGB; COLORREF keeps red in the low byte.
// Handles are 32-bit values, as on the platform, so they cross COM as longs.
#include "platform/base/wintypes.h"

struct POINT {
  LONG x;
  LONG y;
};
using LPPOINT = POINT*;
using PPOINT = POINT*;
struct SIZE {
  LONG cx;
  LONG cy;
};
using LPSIZE = SIZE*;
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;
using PRECT = RECT*;
struct POINTS {
  SHORT x;
  SHORT y;
};

// --- rectangles and points
BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT dst, const RECT* src);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b);
BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT pt);
int MulDiv(int number, int numerator, int denominator);

// --- colours
using COLOR16 = USHORT;
#define CLR_INVALID 0xFFFFFFFF
#define CLR_NONE 0xFFFFFFFFL
#define CLR_DEFAULT 0xFF000000L

// --- objects
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define OEM_FIXED_FONT 10
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define DEFAULT_PALETTE 15
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19

#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6

#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
};
struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};

#define LF_FACESIZE 32
struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
using LOGFONT = LOGFONTW;
using LPLOGFONTW = LOGFONTW*;
using LPLOGFONT = LOGFONTW*;
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900
#define DEFAULT_CHARSET 1
#define ANSI_CHARSET 0
#define EASTEUROPE_CHARSET 238
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
using TEXTMETRIC = TEXTMETRICW;
using LPTEXTMETRICW = TEXTMETRICW*;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

HGDIOBJ GetStockObject(int index);
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face);
inline HFONT CreateFontIndirect(const LOGFONTW* font) { return CreateFontIndirectW(font); }
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
BOOL DeleteObject(HGDIOBJ object);
// The object's description: LOGPEN, LOGBRUSH, LOGFONTW or BITMAP; returns the bytes written,
// with a null buffer the bytes needed, 0 for no object.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
inline int GetObject(HGDIOBJ object, int size, LPVOID buffer) { return GetObjectW(object, size, buffer); }
DWORD GetObjectType(HGDIOBJ object);

// --- device contexts
HDC GetDC(HWND window);            // the client area; null: the screen
HDC GetWindowDC(HWND window);      // the whole window
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);    // a memory DC holding a 1x1 bitmap
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);   // negative: relative to the newest
HWND WindowFromDC(HDC dc);

#define TRANSPARENT 1
#define OPAQUE 2
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous);
BOOL DPtoLP(HDC dc, LPPOINT points, int count);
BOOL LPtoDP(HDC dc, LPPOINT points, int count);

#define RGN_ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, LPRECT rect);
// Rectangular regions, in device coordinates (the viewport origin does not move them).
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
int GetRgnBox(HRGN region, LPRECT rect);
int OffsetRgn(HRGN region, int dx, int dy);
// The clip becomes (a copy of) the region within what the DC may draw on; a null region takes
// the clip away again.
int SelectClipRgn(HDC dc, HRGN region);

#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define TECHNOLOGY 2
#define DT_RASDISPLAY 1
int GetDeviceCaps(HDC dc, int index);

// --- drawing
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);   // CLR_INVALID outside the surface or the clip
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetCurrentPositionEx(HDC dc, LPPOINT position);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL Polygon(HDC dc, const POINT* points, int count);
// The part of the ellipse in the box from the radial through the start point counter-clockwise to
// the radial through the end point, in the current pen (one pixel wide for pens of width 0 and 1).
BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* rect);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

#define BDR_RAISEDOUTER 0x0001
#define BDR_SUNKENOUTER 0x0002
#define BDR_RAISEDINNER 0x0004
#define BDR_SUNKENINNER 0x0008
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define EDGE_BUMP (BDR_RAISEDOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001
#define BF_TOP 0x0002
#define BF_RIGHT 0x0004
#define BF_BOTTOM 0x0008
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
#define BF_ADJUST 0x2000
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
BOOL DrawFocusRect(HDC dc, const RECT* rect);

#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define NOTSRCCOPY 0x00330008
#define PATCOPY 0x00F00021
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Nearest-pixel scaling.
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);

// Constant-alpha blending (BLENDFUNCTION.AlphaFormat 0): per channel
//   dst = (src * alpha + dst * (255 - alpha) + 127) / 255
// over the source rectangle scaled to the target (nearest pixel). Per-pixel alpha (AC_SRC_ALPHA)
// is refused: the layer's surfaces carry no alpha.
struct BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
};
#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend);
// A copy that leaves out the source pixels of the colour `transparent` (nearest-pixel scaling).
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent);

// Gradients. Each channel of a vertex is 16 bits (the 8-bit value shifted left by 8). Along a
// rectangle's gradient axis of n pixels, pixel i (0 at the side of the first vertex) takes
//   c(i) = c0 + (c1 - c0) * i / (n - 1)      (integer division, truncating; c0 alone when n = 1)
// and keeps the high byte of c(i). A triangle's pixel (x, y) is filled when the point (x, y) lies
// inside the triangle or on its edges, with the barycentric mix of the three corners' 16-bit
// channels (integer arithmetic, truncating).
struct TRIVERTEX {
  LONG x;
  LONG y;
  COLOR16 Red;
  COLOR16 Green;
  COLOR16 Blue;
  COLOR16 Alpha;
};
using PTRIVERTEX = TRIVERTEX*;
struct GRADIENT_RECT {
  ULONG UpperLeft;
  ULONG LowerRight;
};
struct GRADIENT_TRIANGLE {
  ULONG Vertex1;
  ULONG Vertex2;
  ULONG Vertex3;
};
#define GRADIENT_FILL_RECT_H 0x00000000
#define GRADIENT_FILL_RECT_V 0x00000001
#define GRADIENT_FILL_TRIANGLE 0x00000002
BOOL GradientFill(HDC dc, const TRIVERTEX* vertices, ULONG vertexCount, const void* meshes, ULONG meshCount,
                  ULONG mode);

// --- text
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int length);
inline BOOL TextOut(HDC dc, int x, int y, LPCWSTR text, int length) { return TextOutW(dc, x, y, text, length); }
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length, const int* dx);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int length, LPSIZE size);
inline BOOL GetTextExtentPoint32(HDC dc, LPCWSTR text, int length, LPSIZE size) {
  return GetTextExtentPoint32W(dc, text, length, size);
}
BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics);
inline BOOL GetTextMetrics(HDC dc, LPTEXTMETRICW metrics) { return GetTextMetricsW(dc, metrics); }
int GetTextFaceW(HDC dc, int size, LPWSTR face);

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_EDITCONTROL 0x00002000
#define DT_PATH_ELLIPSIS 0x00004000
#define DT_END_ELLIPSIS 0x00008000
#define DT_WORD_ELLIPSIS 0x00040000
#define DT_HIDEPREFIX 0x00100000
// Draws the text in the rectangle; returns the height of the text (0 on failure). Without
// DT_NOPREFIX "&x" underlines x and "&&" is one ampersand.
int DrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format);
inline int DrawText(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
  return DrawTextW(dc, text, length, rect, format);
}
