#pragma once
// The application bar: its buttons and captions, the painter that makes a child look
// transparent over its parent's background, and the cache of images kept as module resources.
#include <memory>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"
#include "shared/controls/hxbutton.h"

// Paints a window's background; the window that owns the background implements it.
class CHxBkgnd {
 public:
  // Draws the background of `window` (the part in `rect`, in its client coordinates; null: all).
  virtual void DrawBkgnd(CDC* dc, CWnd* window, CRect* rect) = 0;
  virtual ~CHxBkgnd() = default;
};

// Copies the parent's background under a child window, once: the copy is kept until
// InvalidateBkgnd.
class CHxTransparentBkgnd : public CHxBkgnd {
 public:
  void DrawBkgnd(CDC* dc, CWnd* window, CRect* rect) override;
  virtual void InvalidateBkgnd() { m_cached = false; }
  void SetParentBkgnd(CHxBkgnd* parent) { m_parent = parent; }
  bool Cached() const { return m_cached; }

 private:
  void Fill(CWnd* window);
  CHxBkgnd* m_parent = nullptr;
  bool m_cached = false;
  CBitmap m_cache;
};

// Images stored as module resources of one type, decoded on first use and kept.
class CHxResImageList {
 public:
  CHxResImageList(HINSTANCE module, const wchar_t* resType);
  ~CHxResImageList();
  CHxResImageList(const CHxResImageList&) = delete;
  CHxResImageList& operator=(const CHxResImageList&) = delete;
  // The image of that exact name (owned by the list); null while its resource cannot be found
  // (looked for again on the next call) or is not a picture.
  Gdiplus::Image* GetImage(const wchar_t* name);
  HINSTANCE Instance() const { return m_instance; }
  const CString& ResType() const { return m_resType; }
  int GetCount() const { return static_cast<int>(m_entries.size()); }

 private:
  struct Entry {
    CHxResImageList* owner;
    CString name;
    std::unique_ptr<Gdiplus::Image> image;
    bool failed = false;   // found, but not a picture
    Gdiplus::Image* Get();
  };
  HINSTANCE m_instance;
  CString m_resType;
  std::vector<std::unique_ptr<Entry>> m_entries;
};

// What an application-bar element shows: an image, a text, and a translucent rounded frame.
class CHxAppBarItem {
 public:
  void SetImageList(CHxResImageList* list) { m_imageList = list; }
  void SetImage(const wchar_t* name) { m_image = name ? name : L""; }
  void SetBold(bool bold) { m_bold = bold; }
  void SetTextColor(COLORREF color) { m_textColor = color; }
  void SetFontHeight(int points) { m_fontHeight = points; }
  void SetLeftMargin(int margin) { m_leftMargin = margin; }
  // 0 left, 1 centre, 2 right (the DT_ bits).
  void SetHorzAligment(int alignment) { m_horzAlignment = alignment; }
  void SetDrawRoundRect(bool draw) { m_drawRoundRect = draw; }
  void SetRoundTop(bool round) { m_roundTop = round; }
  bool GetDrawRoundRect() const { return m_drawRoundRect; }
  // White, alpha 64, radius 5, over the client area less one pixel each way: all corners round,
  // or only the bottom ones without the round top.
  void DrawRoundRect(CWnd* window, CDC& dc);
  // The image and the window's text.
  void DrawFace(CWnd* window, CDC& dc);

 private:
  CHxResImageList* m_imageList = nullptr;
  CString m_image;
  bool m_bold = false;
  bool m_drawRoundRect = true;
  bool m_roundTop = true;
  int m_fontHeight = 10;
  int m_horzAlignment = 0;
  int m_leftMargin = 0;
  COLORREF m_textColor = 0xFFFFFF;
};

class CHxAppBarButton : public CHxBlendingButton {
 public:
  ~CHxAppBarButton() override;
  void SetHighlightColor(COLORREF color) { m_highlight = color; }
  COLORREF GetHighlightColor() const { return m_highlight; }
  void HxDrawBkgnd(CDC& dc) override;
  void HxDrawVarPart(CDC& dc) override;
  void HxDrawConstantPart(CDC& dc) override;
  BOOL HxOnEraseBkgnd(CDC& dc) override;
  BOOL HxOnSetCursor(CWnd* window, UINT hitTest, UINT message) override;

  CHxTransparentBkgnd m_bkgnd;
  CHxAppBarItem m_item;

 protected:
  COLORREF m_highlight = 0xFFFFFF;
  int m_reserved = 0;
};

// A caption of the application bar, painted off screen in one copy.
class CHxAppBarStatic : public CWnd {
 public:
  CHxAppBarStatic() { m_item.SetDrawRoundRect(false); }
  CHxTransparentBkgnd m_bkgnd;
  CHxAppBarItem m_item;

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }
};
