#pragma once
// The framework's window-face helper: what an object's IFlgWnd (its IOleWindow) answers for the
// window it stands for.
#include "framework/interfaces.h"
#include "platform/gui/afxwin.h"

class CUtOleWindow {
 public:
  explicit CUtOleWindow(CWnd* window = nullptr) : m_window(window) {}
  void SetWindow(CWnd* window) { m_window = window; }

  // The window's handle; E_FAIL while the window does not exist.
  HRESULT GetWindow(LONG* hwnd) const {
    if (!hwnd) return E_POINTER;
    *hwnd = 0;
    if (!m_window || !m_window->m_hWnd || !::IsWindow(m_window->m_hWnd)) return E_FAIL;
    *hwnd = static_cast<LONG>(reinterpret_cast<INT_PTR>(m_window->m_hWnd));
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) const { return m_window && m_window->m_hWnd ? S_OK : E_FAIL; }

 private:
  CWnd* m_window;
};
