#pragma once
// GDI+ drawing helpers of the product's controls: translucent rounded rectangles, and text in a
// point-sized font with its extent.
//
// Rounded rectangles fill a closed path with a solid brush of the colour at the alpha given
// (0 to 255); corner arcs use a box of twice the radius (at most the rectangle's smaller side);
// a radius of 0 or below gives square corners. Path failures stay in the path's status; nothing
// raises.
//
// Text: the family is `face` ("Trebuchet MS" when null); when the layer has no such family, or
// no font can be made of it, the generic sans-serif family is used. Size in points, bold and
// underline as given.
#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"

// All four corners round.
void hxDrawRoundRect(Gdiplus::Graphics& graphics, COLORREF color, int x, int y, int width, int height, int radius,
                     int alpha);
// The two bottom corners round.
void hxDrawDownRoundRect(Gdiplus::Graphics& graphics, COLORREF color, int x, int y, int width, int height, int radius,
                         int alpha);
// The two left corners round.
void hxDrawLeftRoundRect(Gdiplus::Graphics& graphics, COLORREF color, int x, int y, int width, int height, int radius,
                         int alpha);
// Only the bottom-left corner round.
void hxDrawLeftUpRoundRect(Gdiplus::Graphics& graphics, COLORREF color, int x, int y, int width, int height,
                           int radius, int alpha);
// The two right corners round.
void hxDrawRightRoundRect(Gdiplus::Graphics& graphics, COLORREF color, int x, int y, int width, int height, int radius,
                          int alpha);

// Draws the whole text in the rectangle, opaque in `color`: DT_RIGHT far, else DT_CENTER centred,
// else near; DT_BOTTOM at the bottom, else DT_VCENTER centred, else at the top. Nothing for a
// null text.
void hxDrawText(CDC& dc, const wchar_t* text, const CRect& rect, int points, UINT format, COLORREF color, bool bold,
                bool underline, const wchar_t* face);
// The measured size of the text on one line, truncated to whole pixels; 0 x 0 for a null text.
CSize hxTextExtent(CDC& dc, const wchar_t* text, int points, bool bold, bool underline, const wchar_t* face);
