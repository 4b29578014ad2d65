// The embedded browser dialog and printing through the browser control.
#include "shared/browser.h"

#include <vector>

#include "framework/svcapp.h"
#include "platform/base/utf8.h"
#include "shared/hxinstance.h"

const wchar_t kIddHtmlInnerBrowser[] = L"IDD_HTML_INNER_BROWSER";
const wchar_t kIddDrukDlg[] = L"IDD_DRUK_DLG";

namespace {

constexpr wchar_t kEncryptedSuffix[] = L"  (Połączenie szyfrowane)";
constexpr wchar_t kPrintHeader[] = L"&b&D";
constexpr wchar_t kPrintFooter[] = L"Vantor, Kordel&bStrona &p z &P";
constexpr wchar_t kTemplateElement[] = L"KordelVX";
// The print command's options: at once, or asking with the print dialog.
constexpr OLECMDEXECOPT kPrintAtOnce = 0;
constexpr OLECMDEXECOPT kPrintAsking = 2;

IFlgSkinPtr InstanceSkin() {
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  IFlgSkinPtr skin;
  if (instance) skin = instance;
  return skin;
}

bool IsSecure(const _bstr_t& url) {
  const wchar_t* text = static_cast<const wchar_t*>(url);
  return text && platform::CompareNoCase(std::wstring_view(text).substr(0, std::min<size_t>(8, url.length())), L"https://") == 0;
}

// The browser's web-browser interface from the control hosted in `host`.
IWebBrowser2Ptr BrowserOf(CWnd& host) {
  IWebBrowser2Ptr browser;
  if (IUnknown* control = host.GetControlUnknown()) browser = control;
  return browser;
}

// The folder of the module current in the caller's module state, without a final separator.
CString ModuleFolder() {
  wchar_t buffer[261] = {};
  GetModuleFileNameW(AfxGetInstanceHandle(), buffer, 260);
  CString path(buffer);
  int end = path.GetLength();
  while (end > 0 && path[end - 1] != L'/' && path[end - 1] != L'\\') --end;
  if (end > 0) --end;
  return path.Left(end);
}

// A stream over the text, UTF-8 with its byte-order mark.
IStreamPtr StreamOver(const CString& text) {
  const std::string bytes = "\xEF\xBB\xBF" + platform::utf8::FromWide(std::wstring_view(text.GetString(), text.GetLength()));
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw)) || !raw) _com_issue_error(E_OUTOFMEMORY);
  IStreamPtr stream(raw, false);
  ULONG written = 0;
  HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr)) _com_issue_error(hr);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

void Check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}

// The document's HTML, saved through its persist-stream interface.
CString SavedHtml(const IWebBrowser2Ptr& browser) {
  if (!browser) return CString();
  IDispatch* raw = nullptr;
  Check(browser->get_Document(&raw));
  IDispatchPtr document(raw, false);
  IPersistStreamInitPtr persist;
  if (document) persist = document;
  if (!persist) return CString();
  IStream* rawStream = nullptr;
  Check(CreateStreamOnHGlobal(nullptr, TRUE, &rawStream));
  IStreamPtr stream(rawStream, false);
  Check(persist->Save(stream, FALSE));
  HGLOBAL block = nullptr;
  Check(GetHGlobalFromStream(stream, &block));
  STATSTG stat{};
  Check(stream->Stat(&stat, STATFLAG_NONAME));
  const char* bytes = static_cast<const char*>(GlobalLock(block));
  std::wstring text = bytes ? platform::utf8::ToWide(std::string_view(bytes, static_cast<size_t>(stat.cbSize.QuadPart)))
                            : std::wstring();
  GlobalUnlock(block);
  return CString(text.c_str());
}

bool IsDocumentComplete(LPARAM lParam, HWND browserWindow) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  return header && header->code == WBN_DOCUMENTCOMPLETE && browserWindow && header->hwndFrom == browserWindow;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxInnerHtmlBrowserDlg

CHxInnerHtmlBrowserDlg::CHxInnerHtmlBrowserDlg(CWnd* parent) : CFlgDialog(kIddHtmlInnerBrowser, parent) {
  SetFrameworkName(L"Okno_wewnetrzna_przegladarka");
  if (IFlgSkinPtr skin = InstanceSkin()) SetSkin(skin);
}

void CHxInnerHtmlBrowserDlg::SetTitle(_bstr_t title) {
  m_title = title;
  if (m_hWnd) SetWindowText(static_cast<const wchar_t*>(m_title) ? static_cast<const wchar_t*>(m_title) : L"");
}

BOOL CHxInnerHtmlBrowserDlg::OnInitDialog() {
  AfxEnableControlContainer();
  CFlgDialog::OnInitDialog();
  ShowWindow(SW_MAXIMIZE);
  if (CWnd* placeholder = GetDlgItem(IDC_BROWSER)) {
    CRect rect;
    placeholder->GetWindowRect(rect);
    ScreenToClient(rect);
    HWND old = placeholder->m_hWnd;
    if (m_browserHost.CreateControl(CLSID_WebBrowser, nullptr, WS_VISIBLE | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                    rect, this, IDC_BROWSER))
      m_browser = BrowserOf(m_browserHost);
    ::DestroyWindow(old);
  }
  const wchar_t* title = static_cast<const wchar_t*>(m_title);
  CString caption(title ? title : L"");
  if (IsSecure(m_url)) caption += kEncryptedSuffix;
  SetWindowText(caption);
  if (m_url.length() == 0) return 0;
  std::wstring address(static_cast<const wchar_t*>(m_url));
  Navigate(address.data());
  return 1;
}

void CHxInnerHtmlBrowserDlg::AddFlexConstraints() {
  AddFlexConstraint(IDOK, kFlexMoveRight | kFlexMoveDown);
  AddFlexConstraint(IDHELP, kFlexMoveRight | kFlexMoveDown);
  AddFlexConstraint(IDC_PRINT, kFlexMoveDown);
  AddFlexConstraint(IDC_LOADING, kFlexGrowRight | kFlexGrowDown);
  AddFlexConstraint(IDC_BROWSER, kFlexGrowRight | kFlexGrowDown);
}

void CHxInnerHtmlBrowserDlg::Navigate(wchar_t* address) {
  if (!m_browser || !address) return;
  m_browser->Navigate(_bstr_t(address), nullptr, nullptr, nullptr, nullptr);
}

void CHxInnerHtmlBrowserDlg::OnDocumentComplete(IDispatch*, VARIANT*) {
  if (CWnd* notice = GetDlgItem(IDC_LOADING)) notice->ShowWindow(SW_HIDE);
}

void CHxInnerHtmlBrowserDlg::OnOK() {
  const wchar_t* title = static_cast<const wchar_t*>(m_title);
  CString question;
  question.Format(L"Czy na pewno zamknąć okno %ls?", title ? title : L"");
  if (MessageBox(question, AfxGetAppName(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) EndDialog(IDOK);
}

void CHxInnerHtmlBrowserDlg::OnBnClickedDrukuj() {
  CString html;
  try {
    html = SavedHtml(m_browser);
  } catch (const _com_error& e) {
    ShowComError(e);
    return;
  }
  CDrukowanie print(html, kPrintHeader, kPrintFooter, nullptr);
  print.Print(0, 1);
}

BOOL CHxInnerHtmlBrowserDlg::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (id == IDC_PRINT && code == BN_CLICKED && !extra) {
    OnBnClickedDrukuj();
    return TRUE;
  }
  return CFlgDialog::OnCmdMsg(id, code, extra, handlerInfo);
}

BOOL CHxInnerHtmlBrowserDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (IsDocumentComplete(lParam, m_browserHost.m_hWnd)) {
    const auto* nm = reinterpret_cast<const NMWEBBROWSER*>(lParam);
    OnDocumentComplete(nm->browser, nm->url);
    if (result) *result = 0;
    return TRUE;
  }
  return CFlgDialog::OnNotify(wParam, lParam, result);
}

// ---------------------------------------------------------------------------------------------
// CDrukowanie

CDrukowanie::CDrukowanie(const wchar_t* html, CWnd* parent) : CDrukowanie(html, L" ", L"Vantor, Kordel ", parent) {}

CDrukowanie::CDrukowanie(const wchar_t* html, const wchar_t* header, const wchar_t* footer, CWnd* parent)
    : CFlgDialog(kIddDrukDlg, parent), m_header(header ? header : L""), m_footer(footer ? footer : L""), m_html(html ? html : L"") {}

CString CDrukowanie::TemplateAddress(const CString& folder) {
  CString address;
  address.Format(L"mk:@MSITStore:%s\\%s::/%s", folder.GetString(), L"Schematy\\Schemat.chm", L"Schemat.htm");
  return address;
}

int CDrukowanie::Print(int templateMode, int noPrompt) {
  m_templateMode = templateMode;
  m_noPrompt = noPrompt;
  m_completed = false;
  if (noPrompt) CFlgMessageHook::Suspend();
  const INT_PTR result = DoModal();
  if (noPrompt) CFlgMessageHook::Resume();
  return result == 1 ? 1 : 0;
}

BOOL CDrukowanie::OnInitDialog() {
  AfxEnableControlContainer();
  CFlgDialog::OnInitDialog();
  if (m_browserWnd.CreateControl(CLSID_WebBrowser, nullptr, WS_VISIBLE | WS_CHILD, CRect(0, 0, 400, 300), this,
                                 IDC_BROWSER))
    m_browser = BrowserOf(m_browserWnd);
  if (!m_browser) {
    if (m_browserWnd.m_hWnd) m_browserWnd.DestroyWindow();
    return 0;
  }
  m_browser->put_Silent(VARIANT_TRUE);
  IDispatch* raw = nullptr;
  m_browser->get_Document(&raw);
  IDispatchPtr document(raw, false);
  if (!document) {
    CString address = m_templateMode ? TemplateAddress(ModuleFolder()) : CString(L"about:blank");
    Navigate(address.GetBuffer());
    address.ReleaseBuffer();
  }
  if (!m_templateMode) {
    try {
      m_browser->get_Document(&raw);
      IDispatchPtr loaded(raw, false);
      IPersistStreamInitPtr persist;
      if (loaded) persist = loaded;
      if (!persist) _com_issue_error(E_NOINTERFACE);
      Check(persist->InitNew());
      Check(persist->Load(StreamOver(m_html)));
    } catch (const _com_error& e) {
      // Nothing of the text is printed: not the empty page instead of it.
      m_completed = true;
      ShowComError(e);
      EndDialog(0);
    }
  }
  return TRUE;
}

void CDrukowanie::Navigate(wchar_t* address) {
  if (!m_browser || !address) return;
  m_browser->Navigate(_bstr_t(address), nullptr, nullptr, nullptr, nullptr);
}

void CDrukowanie::OnDocumentComplete(IDispatch*, VARIANT*) {
  if (m_completed) return;
  m_completed = true;
  bool filled = false;
  try {
    IDispatch* raw = nullptr;
    Check(m_browser->get_Document(&raw));
    IDispatchPtr document(raw, false);
    IHTMLDocument3Ptr html;
    if (document) html = document;
    if (!html) _com_issue_error(E_NOINTERFACE);
    IHTMLElement* rawElement = nullptr;
    Check(html->getElementById(_bstr_t(kTemplateElement), &rawElement));
    IHTMLElementPtr element(rawElement, false);
    if (element) {
      Check(element->put_innerHTML(_bstr_t(m_html.GetString())));
      filled = true;
    }
  } catch (const _com_error&) {
    filled = false;
  }
  if ((m_templateMode && !filled) || FAILED(PrintContent())) EndDialog(0);
  else EndDialog(1);
}

LONG CDrukowanie::PrintContent() {
  if (!m_browser) return E_POINTER;
  SAFEARRAYBOUND bound{5, 0};
  SAFEARRAY* inputs = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (!inputs) return E_OUTOFMEMORY;
  _variant_t values[5] = {_variant_t(m_header.GetString()), _variant_t(m_footer.GetString()), _variant_t(), _variant_t(),
                          _variant_t(static_cast<LONG>(2))};
  values[2].vt = VT_NULL;
  values[3].vt = VT_NULL;
  for (LONG i = 0; i < 5; ++i) SafeArrayPutElement(inputs, &i, &values[i]);
  VARIANT in;
  VariantInit(&in);
  in.vt = VT_ARRAY | VT_VARIANT;
  in.parray = inputs;
  const HRESULT hr = m_browser->ExecWB(OLECMDID_PRINT, m_noPrompt ? kPrintAtOnce : kPrintAsking, &in, nullptr);
  VariantClear(&in);
  SetFocus();
  return hr;
}

void CDrukowanie::OnWindowPosChanging(WINDOWPOS* position) {
  if (position && m_shown == 0) position->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
}

BOOL CDrukowanie::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_WINDOWPOSCHANGING) {
    OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
    if (result) *result = 0;
    return TRUE;
  }
  return CFlgDialog::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDrukowanie::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (id == IDC_PRINT && code == BN_CLICKED && !extra) {
    OnBnClickedDrukuj();
    return TRUE;
  }
  return CFlgDialog::OnCmdMsg(id, code, extra, handlerInfo);
}

BOOL CDrukowanie::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (IsDocumentComplete(lParam, m_browserWnd.m_hWnd)) {
    const auto* nm = reinterpret_cast<const NMWEBBROWSER*>(lParam);
    OnDocumentComplete(nm->browser, nm->url);
    if (result) *result = 0;
    return TRUE;
  }
  return CFlgDialog::OnNotify(wParam, lParam, result);
}
