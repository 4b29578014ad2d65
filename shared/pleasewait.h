#pragma once
// The please-wait window: a modeless window over the parent telling the user that an operation
// is in progress, with the wait cursor while it is shown.
#include "framework/flgdialog.h"

extern const wchar_t kIddStdPleaseWait[];   // "IDD_STD_PLEASE_WAIT"

class CHxStdPleaseWaitDlg : public CFlgDialog {
 public:
  // Creates the window at once over the parent (or the desktop) and shows it.
  explicit CHxStdPleaseWaitDlg(CWnd* parent = nullptr);
  CHxStdPleaseWaitDlg(const CString& status, CWnd* parent = nullptr);
  // Restores the cursor and destroys the window.
  ~CHxStdPleaseWaitDlg() override;

  // Remembers the current cursor and sets the wait cursor. While this window's wait cursor is
  // current, the cursor remembered first is kept.
  virtual void SetWaitCursor();
  // The remembered cursor again, or the arrow when none was remembered.
  virtual void RestoreCursor();
  virtual void Show();
  virtual void Hide();
  // "%ls\nProszę czekać..." of the status in the window's text.
  virtual void SetStatus(const CString& status);

  const CString& GetStatus() const { return m_status; }

 protected:
  BOOL OnInitDialog() override;
  // Enter and Escape do not close the window.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  void Open(CWnd* parent);

  CString m_status;
  HCURSOR m_previousCursor = nullptr;
};
