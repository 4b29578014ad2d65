#pragma once
// The product's owner-drawn buttons: a button whose highlight fades in and out on hover and
// press (CHxBtn), a bitmap button (CHxButton), the alpha-blended button with its three-layer
// drawing (CHxBlendingButton) and the tab-like button (CHxTabCtrlButton).
//
// The fade runs on one worker thread per button at most, ticking every 20 ms on the platform
// clock. The worker only changes the fade fields (atomics, read by painting) and marks the window
// for repainting; the button joins it before its window goes and at the start of its destructors.
// In a remote desktop session no worker runs: a hover or a leave jumps to the end at once.
#include <atomic>
#include <vector>

#include "platform/gui/afxwin.h"
#include "shared/controls/hxmousemgr.h"

class CHxBtn : public CWnd {
 public:
  explicit CHxBtn(int maxState);
  ~CHxBtn() override;

  // A visible child with the tab stop (style 0x50010000), the text (empty when null) and the id.
  virtual BOOL Create(const wchar_t* text, const CRect& rect, CWnd* parent, int id);
  virtual void OnThreadTick();
  virtual void OnThreadEnd();
  virtual bool Selected2() const { return m_selected; }
  virtual void HxOnDraw(CDC& dc);
  virtual BOOL HxOnEraseBkgnd(CDC& dc);
  virtual void HxOnTimer() {}
  virtual void HxOnButtonClicked();
  virtual void HxOnLButtonDown(UINT flags, CPoint point);
  virtual void HxOnMouseIn() { FadeIn(); }
  virtual void HxOnMouseOut() { FadeOut(); }
  virtual BOOL HxOnSetCursor(CWnd* window, UINT hitTest, UINT message);

  // The state, less the maximum when above it.
  int GetExactState() const;
  int GetSelExactState() const { return m_selState; }
  bool AtLowState() const { return m_state == 0; }
  bool AtHighState() const { return m_state >= m_maxState; }
  int GetMaxState() const { return m_maxState; }
  void SetMaxState(int maxState) { m_maxState = maxState; }
  void SetMaxState() { m_state = m_maxState.load(); }
  bool Pushed() const { return m_pushed; }
  void Select2(bool selected);
  void FadeIn();
  void FadeOut();
  void StartThread();

  // What the worker and painting share, for the host's drawing and for tests.
  int FadeDirection() const { return m_fadeDirection; }
  int SelectionDirection() const { return m_selDirection; }
  bool Running() const { return m_running; }
  int ThreadCount() const { return m_threadCount; }
  CHxMouseMgr& MouseMgr() { return m_mouse; }

 protected:
  enum Direction { kNone = 0, kRising = 1, kFalling = 2 };
  // Ends the worker (terminating set) and waits for it; every destructor of the family calls it
  // first, so no tick runs on a half-destroyed button.
  void StopThread();
  bool ShouldTerminate() const;
  CString& CachedText() { return m_text; }

  void PreSubclassWindow() override;
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnMouseLeave() override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

  std::atomic<bool> m_running{false};
  std::atomic<bool> m_terminating{false};
  HANDLE m_mutex;
  std::atomic<int> m_threadCount{0};
  bool m_pushed = false;
  std::atomic<int> m_fadeDirection{kNone};
  std::atomic<int> m_selDirection{kNone};
  std::atomic<int> m_state{0};
  std::atomic<int> m_selState{0};
  std::atomic<int> m_maxState;
  std::atomic<bool> m_selected{false};
  CHxMouseMgr m_mouse;
  CString m_text;

 private:
  static DWORD Worker(LPVOID self);
  void Attached();
  HANDLE m_thread = nullptr;        // the worker, joined before it is forgotten
  HANDLE m_stop;                    // set to end the tick's wait at once
  std::atomic<HWND> m_window{nullptr};   // the window the worker checks and marks
};

class CHxButton : public CHxBtn {
 public:
  CHxButton() : CHxBtn(20) {}
  ~CHxButton() override;
  // The stock ANSI_VAR_FONT; subclasses make their own.
  virtual CFont* GetFont();
  void OnThreadTick() override;

  // Deletes every stored bitmap but `bitmap` and keeps only it, current; null empties the list.
  void SetBitmap(HBITMAP bitmap);
  void AddBitmap(HBITMAP bitmap);
  HBITMAP GetBitmap() const;
  bool GetBitmap(BITMAP* info) const;
  // Only an index inside the list is taken.
  void SetCurrentBitmap(int index);
  int GetCurrentBitmap() const { return m_current; }
  int GetBitmapCount() const { return static_cast<int>(m_bitmaps.size()); }
  // The current bitmap at its own size, its top-left colour transparent.
  void DrawBitmap(CDC& dc, int x, int y);

 protected:
  CFont m_font;
  std::vector<HBITMAP> m_bitmaps;
  int m_current = 0;
};

// Three layers composed off screen: the background, the variable part blended over it with the
// fade's alpha, and the constant part on top.
class CHxBlendingButton : public CHxButton {
 public:
  ~CHxBlendingButton() override;
  int GetMaxAlpha() const { return 254; }
  int GetMinAlpha() const { return 0; }
  // 254 at the maximum, 0 at 0, else state x (254 / maximum).
  virtual int GetAlpha() const;
  virtual void HxDrawBkgnd(CDC& dc) = 0;
  virtual void HxDrawConstantPart(CDC& dc) = 0;
  virtual void HxDrawVarPart(CDC& dc) = 0;
  void HxOnDraw(CDC& dc) override;
  BOOL HxOnEraseBkgnd(CDC& dc) override;
};

class CHxTabCtrlButton : public CHxBlendingButton {
 public:
  ~CHxTabCtrlButton() override;
  // "Trebuchet MS", height 19, bold, East European, anti-aliased; made once.
  CFont* GetFont() override;
  void SetLineColor(COLORREF color) { m_lineColor = color; }
  COLORREF GetLineColor() const { return m_lineColor; }
  // The text's extent in the tab's font, 20 wider (40 when selected).
  CSize SizeOfContent();
  void HxDrawBkgnd(CDC& dc) override;
  void HxDrawVarPart(CDC& dc) override;
  void HxDrawConstantPart(CDC& dc) override;

 protected:
  COLORREF m_lineColor = RGB(0, 0, 0);
};
