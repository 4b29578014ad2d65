#pragma once
// The full-size preview of one picture ("IDD_BMP_VIEW") and the state picture: one frame of a
// bitmap strip of the framework's skin, with a tooltip.
#include "framework/flgdialog.h"
#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"

extern const wchar_t kIddBmpView[];   // "IDD_BMP_VIEW"

// Shows the bitmap fitted into the desktop's work area, centred on black. The bitmap is the
// caller's.
class CHxGdiplusPictureViewDlg : public CFlgDialog {
 public:
  CHxGdiplusPictureViewDlg(Gdiplus::Bitmap* bitmap, const wchar_t* title, CWnd* parent = nullptr);
  // A bitmap that did not decode (or none) is not shown: IDCANCEL at once.
  INT_PTR DoModal() override;
  // The size the picture is shown at (0 until the dialog is initialised).
  int DisplayWidth() const { return m_displayWidth; }
  int DisplayHeight() const { return m_displayHeight; }

 protected:
  BOOL OnInitDialog() override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }
  void OnSize(UINT type, int cx, int cy) override {}

 private:
  bool Showable() const;

  Gdiplus::Bitmap* m_bitmap;
  CString m_title;
  int m_displayWidth = 0;
  int m_displayHeight = 0;
};

class CStatePicture : public CWnd {
 public:
  CStatePicture() = default;
  ~CStatePicture() override;

  // A child window of the picture's own class.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id);
  // The strip of the skin image, cut into `frames` frames side by side; frame 0 becomes current.
  // Fewer than one frame loads nothing. Every failure is dropped.
  void SetBitmap(DWORD skinImage, int frames);
  // The frame becomes current when it is one of the strip's; the tooltip text is set either way.
  void SetCurrBitmap(int frame, const wchar_t* tooltip);
  // The window's size becomes one frame's, without moving or activating it.
  void SizeToContent();

  int FrameWidth() const { return m_frameWidth; }
  int FrameHeight() const { return m_frameHeight; }
  int FrameCount() const { return m_frameCount; }
  int CurrentFrame() const { return m_currentFrame; }
  HBITMAP Strip() const { return m_strip; }

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override {}
  void OnLButtonDblClk(UINT flags, CPoint point) override {}

 private:
  void DeleteStrip();

  HBITMAP m_strip = nullptr;
  int m_frameWidth = 0;
  int m_frameHeight = 0;
  int m_frameCount = 0;
  int m_currentFrame = 0;
};
