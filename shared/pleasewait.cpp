#include "shared/pleasewait.h"

const wchar_t kIddStdPleaseWait[] = L"IDD_STD_PLEASE_WAIT";

namespace {
constexpr int kTextId = 1007;
}

CHxStdPleaseWaitDlg::CHxStdPleaseWaitDlg(CWnd* parent) : CFlgDialog(kIddStdPleaseWait, parent) { Open(parent); }

CHxStdPleaseWaitDlg::CHxStdPleaseWaitDlg(const CString& status, CWnd* parent)
    : CFlgDialog(kIddStdPleaseWait, parent), m_status(status) {
  Open(parent);
}

CHxStdPleaseWaitDlg::~CHxStdPleaseWaitDlg() {
  RestoreCursor();
  if (m_hWnd) DestroyWindow();
}

void CHxStdPleaseWaitDlg::Open(CWnd* parent) {
  Create(kIddStdPleaseWait, parent ? parent : CWnd::FromHandle(GetDesktopWindow()));
  Show();
}

BOOL CHxStdPleaseWaitDlg::OnInitDialog() {
  CFlgDialog::OnInitDialog();
  SetStatus(m_status.IsEmpty() ? CString(L"Operacja w toku.") : m_status);
  return TRUE;
}

void CHxStdPleaseWaitDlg::SetStatus(const CString& status) {
  m_status = status;
  CString text;
  text.Format(L"%ls\nProszę czekać...", status.GetString());
  if (m_hWnd) SetDlgItemText(kTextId, text);
}

void CHxStdPleaseWaitDlg::SetWaitCursor() {
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  HCURSOR current = GetCursor();
  if (!(m_previousCursor && current == wait)) m_previousCursor = current;
  SetCursor(wait);
}

void CHxStdPleaseWaitDlg::RestoreCursor() {
  SetCursor(m_previousCursor ? m_previousCursor : LoadCursorW(nullptr, IDC_ARROW));
}

void CHxStdPleaseWaitDlg::Show() {
  SetWaitCursor();
  if (!m_hWnd) return;
  ShowWindow(SW_SHOW);
  UpdateWindow();
}

void CHxStdPleaseWaitDlg::Hide() {
  RestoreCursor();
  if (!m_hWnd) return;
  ShowWindow(SW_HIDE);
  UpdateWindow();
}
