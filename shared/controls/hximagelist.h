#pragma once
// The picture list of an auction: a scrolling list of picture cells with a selection, keyboard
// navigation, reordering by dragging, and the full-size preview of a repository picture on a
// double click.
#include <list>

#include "platform/gui/afxwin.h"
#include "shared/controls/hximage.h"

class CImageListCtrl : public CWnd {
 public:
  // 0: one row left to right; 1: one column top to bottom; 2: rows wrapping at the client width.
  enum ListMode { lmHorizontal = 0, lmVertical = 1, lmWrapping = 2 };
  // The codes the parent is sent by WM_NOTIFY for the Delete and Insert keys.
  static constexpr UINT kNotifyDelete = 8000;
  static constexpr UINT kNotifyInsert = 8001;

  CImageListCtrl() = default;
  ~CImageListCtrl() override;

  // A child window of the list's own class (double clicks on).
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  // The list owns its pictures: removing one, emptying the list or destroying the control
  // deletes them. A null picture, or one already in the list, is not added.
  void AddImage(CHxImageAbstr* image);
  // A picture that is not in the list is left alone.
  void RemoveImage(CHxImageAbstr* image);
  void RemoveAll();
  std::list<CHxImageAbstr*>& InnerImageList() { return m_images; }
  void Init();
  void SetMode(ListMode mode);
  // The current selection: the first selected picture, or null.
  CHxImageAbstr* GetCurSel() const;

  // Moves the cell rectangle on to the cell of the next picture.
  void GetNextRect(CRect& cell, CHxImageAbstr* image);
  // The top-left corner of the picture's cell; (0, 0) for one not in the list.
  CPoint GetOrigin(CHxImageAbstr* image);
  // The picture whose cell, shifted by the scroll positions, holds the client point.
  CHxImageAbstr* ImageFromPoint(CPoint point);
  int ImageIndex(CHxImageAbstr* image) const;
  void MakeImageVisible(CHxImageAbstr* image);
  // The largest right and bottom of all cells.
  int CalcWidth();
  int CalcHeight();

  void Select(CHxImageAbstr* image);
  void ToggleSelection(CHxImageAbstr* image);
  void SelectAll();
  void DeselectAll();
  bool Selected(CHxImageAbstr* image) const;
  void SelectHead();
  void SelectTail();
  // The picture before (after) the current one alone, wrapping round the list; without a current
  // selection the last (first) picture is added. The new current picture is scrolled to.
  void SelectPrior();
  void SelectNext();
  const std::list<CHxImageAbstr*>& Selection() const { return m_selected; }

  void NotifyParent(UINT code);
  // The bars the content needs for the client area, their ranges and pages.
  void UpdateScrollBars();

 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;
  void OnHScroll(UINT code, UINT position, CScrollBar* bar) override;
  void OnVScroll(UINT code, UINT position, CScrollBar* bar) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnLButtonDblClk(UINT flags, CPoint point) override;
  UINT OnGetDlgCode() override { return DLGC_WANTARROWS | DLGC_BUTTON; }

 private:
  CSize Extent();
  void Scroll(int bar, UINT code, int position);
  void ShowPreview(CHxImageWithId& image);
  void DeleteImages();

  std::list<CHxImageAbstr*> m_images;
  std::list<CHxImageAbstr*> m_selected;
  bool m_horizontal = true;
  bool m_wrapping = true;
  bool m_dragging = false;
  int m_reserved = 0;
  bool m_updatingBars = false;
};
