#pragma once
// Caption-like separator lines that replace bordered statics or chosen controls of a dialog,
// the window tools that enable, show or embolden runs of controls, and a data exchange bound to
// a framework dialog.
#include <vector>

#include "framework/flgdialog.h"
#include "platform/gui/afxwin.h"

// A line: a gradient from the active-caption colour to the framework's stock colour 17 with the
// window text in the variable-pitch font. It lives as long as its window.
class CHxDialogLine : public CWnd {
 protected:
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }
  void PostNcDestroy() override { delete this; }
};

class CHxDialogLines {
 public:
  // The line height is the variable-pitch font's height plus 4 (0 when it cannot be read).
  explicit CHxDialogLines(CWnd* parent = nullptr);

  void SetParent(CWnd* parent) { m_pParent = parent; }
  void SetLineHeight(int height) { m_lineHeight = height; }
  int GetLineHeight() const { return m_lineHeight; }
  // Remember a control id or a window handle to turn into a line (each once).
  void Add(UINT id);
  void AddWnd(HWND window);
  void Remove(UINT id);
  // Every child "Static" (compared without regard to case over at most 10 characters) with the
  // client-edge bit in its extended style.
  void AddStaticWithBorders();
  // Replaces the remembered ids, then the remembered handles, by line controls.
  void SubclassControls();
  // The control's rectangle in the parent (its height the line height when set) and text become
  // a line with the id in the control's place; the control is destroyed. Null without a control.
  CHxDialogLine* CreateLineCtrl(CWnd* control, UINT id);
  CHxDialogLine* CreateLineCtrl(int id);

  // The lines made so far (each belongs to its window).
  const std::vector<CHxDialogLine*>& Lines() const { return m_lines; }

 private:
  CWnd* m_pParent;
  std::vector<CHxDialogLine*> m_lines;
  std::vector<UINT> m_ids;
  std::vector<HWND> m_windows;
  int m_lineHeight;
};

// Turns the bordered statics of the dialog into lines, which stay in the dialog.
void hxSubclassStaticsWithBorders(CWnd* dialog);

class CWndTools {
 public:
  // From the control firstId (the first child when 0) through the following siblings in window
  // order, up to the control lastId (or the last sibling).
  static void EnableControls(HWND parent, int firstId, int lastId, BOOL enable);
  // `count` controls in window order from `first`, else the control firstId, else the first child.
  static void EnableControls(HWND parent, int firstId, HWND first, int count, BOOL enable);
  static void ShowControls(HWND parent, int firstId, int lastId, int showCommand);
  // The control before `id` in window order (its label) gets the framework's bold stock font.
  static void SetControlLabelBold(HWND parent, int id);
  // The same for each id of a list ended by 0.
  static void SetControlLabelBold(HWND parent, const int* ids);
};

// A framework data exchange over a dialog's error list, window and template name, reading the
// controls.
class CHxDataExchange : public CFlgDataExchange {
 public:
  explicit CHxDataExchange(CFlgDialog* dialog) : CFlgDataExchange(dialog, TRUE) {}
  CHxDataExchange(const CHxDataExchange&) = default;
  CHxDataExchange& operator=(const CHxDataExchange&) = default;
  ~CHxDataExchange() override = default;
};
