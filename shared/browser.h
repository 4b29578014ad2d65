#pragma once
// The embedded browser dialog and printing through the browser control.
//
// CHxInnerHtmlBrowserDlg shows a web page inside the program: a title, a loading notice and a
// print button. CDrukowanie prints an HTML text: it loads the text into an invisible browser,
// optionally inside the product's printing template (the page "Schemat.htm" of the help store
// "Schematy\\Schemat.chm" beside the module current in the caller's module state; the element
// with the id "KordelVX" receives the text), and starts the browser's print command with a page
// header and footer, with or without the print dialog.
#include "framework/flgdialog.h"
#include "platform/gui/webbrowser.h"

extern const wchar_t kIddHtmlInnerBrowser[];   // "IDD_HTML_INNER_BROWSER"
extern const wchar_t kIddDrukDlg[];            // "IDD_DRUK_DLG"

class CHxInnerHtmlBrowserDlg : public CFlgDialog {
 public:
  enum { IDC_LOADING = 5033, IDC_BROWSER = 5032, IDC_PRINT = 5034 };

  explicit CHxInnerHtmlBrowserDlg(CWnd* parent = nullptr);

  void SetUrl(_bstr_t url) { m_url = url; }
  // Keeps the title; shows it as the window text when the window exists.
  void SetTitle(_bstr_t title);
  const _bstr_t& GetUrl() const { return m_url; }
  const _bstr_t& GetTitle() const { return m_title; }
  IWebBrowser2Ptr GetBrowser() const { return m_browser; }

  void Navigate(wchar_t* address);
  virtual void OnDocumentComplete(IDispatch* browser, VARIANT* url);
  // Prints the page shown (its HTML, saved by the document) through CDrukowanie.
  void OnBnClickedDrukuj();

 protected:
  BOOL OnInitDialog() override;
  void AddFlexConstraints() override;
  // Both ask "Czy na pewno zamknąć okno <title>?" and close the dialog on Yes.
  void OnOK() override;
  void OnCancel() override { OnOK(); }
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  _bstr_t m_url;
  _bstr_t m_title;
  CWnd m_browserHost;
  IWebBrowser2Ptr m_browser;
};

class CDrukowanie : public CFlgDialog {
 public:
  enum { IDC_BROWSER = 102, IDC_PRINT = 105 };

  // Header " " and footer "Vantor, Kordel ".
  CDrukowanie(const wchar_t* html, CWnd* parent);
  CDrukowanie(const wchar_t* html, const wchar_t* header, const wchar_t* footer, CWnd* parent);

  // Loads and prints the text (inside the printing template when `templateMode` is set; with
  // `noPrompt` without the print dialog, and with the framework's message hook suspended for the
  // run). 1 when it was printed, 0 when not.
  int Print(int templateMode, int noPrompt);
  // The browser's print command with the header, the footer, two NULLs and 2 as its input; the
  // dialog takes the focus afterwards. The command's HRESULT.
  LONG PrintContent();
  void Navigate(wchar_t* address);
  virtual void OnDocumentComplete(IDispatch* browser, VARIANT* url);
  void OnBnClickedDrukuj() { PrintContent(); }
  // While the dialog is not to be shown, a request to show it is taken away.
  virtual void OnWindowPosChanging(WINDOWPOS* position);

  const CString& Header() const { return m_header; }
  const CString& Footer() const { return m_footer; }
  const CString& Html() const { return m_html; }
  // The printing template's address for the module folder `folder`.
  static CString TemplateAddress(const CString& folder);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  BYTE m_shown = 0;
  int m_templateMode = 0;
  int m_noPrompt = 0;
  CWnd m_browserWnd;
  IWebBrowser2Ptr m_browser;
  CString m_header;
  CString m_footer;
  CString m_html;
  bool m_completed = false;   // the one load of the run has been handled
};
