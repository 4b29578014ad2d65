#pragma once
// OLE controls in windows and the headless web-browser control.
//
// Control containment. After AfxEnableControlContainer, CWnd::CreateControl makes a child window
// hosting a registered control class (the web browser is one) and GetControlUnknown gives the
// control's object; the object lives as long as its window.
//
// The web browser ({8856F961-340A-11D0-A96B-00C04FD705A2}). Documents are parsed by libxml2's
// HTML parser (no network, no scripts, nesting at most 1000 deep, at most 64 MB). It opens
// "about:blank", local files ("file://" addresses and absolute paths), pages of compiled help
// stores ("mk:@MSITStore:STORE::/PAGE", a store being read as a folder holding its pages) and
// module resources ("res://"); any other address completes with an empty document, without
// network, and is recorded. A load (navigation, or a stream given to the document's
// IPersistStreamInit::Load) completes from the posted-message queue, so from the modal loop of
// the dialog holding the browser: then the ready state is READYSTATE_COMPLETE and the parent
// gets the WM_NOTIFY WBN_DOCUMENTCOMPLETE (NMWEBBROWSER), once per load; a load begun before the
// previous one completed replaces it. IPersistStreamInit::Save writes the document as UTF-8
// HTML. A stream without a byte-order mark is read as UTF-8 unless the page names a charset.
//
// Printing (ExecWB with OLECMDID_PRINT = 6). Option 0 prints at once; any other option first
// asks with the print dialog (a modal run named "PRINTDLG", caption "Drukowanie"), whose cancel
// fails the command with OLECMDERR_E_CANCELED. The input is an array of up to five values
// (header, footer, ...). A print writes one job file, UTF-8, into the spool folder:
//   header: <header>\nfooter: <footer>\n\n<the document's HTML>
// Every print command is recorded (PrintJobs), also a refused one.
#include <functional>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/gui/afxwin.h"

// --- control containment
void AfxEnableControlContainer();

namespace platform::gui {
// A control class: the window class whose windows host it. The window procedure attaches the
// control's object on WM_CREATE (SetControlObject); the object is released with the window.
bool RegisterControlClass(REFCLSID clsid, const wchar_t* windowClass);
void SetControlObject(HWND window, IUnknown* object);
IUnknown* ControlObject(HWND window);   // not counted
bool ControlContainerEnabled();
}  // namespace platform::gui

// --- the browser's interfaces
enum READYSTATE {
  READYSTATE_UNINITIALIZED = 0,
  READYSTATE_LOADING = 1,
  READYSTATE_LOADED = 2,
  READYSTATE_INTERACTIVE = 3,
  READYSTATE_COMPLETE = 4,
};
using OLECMDID = LONG;
using OLECMDEXECOPT = LONG;
constexpr OLECMDID OLECMDID_PRINT = 6;
constexpr OLECMDID OLECMDID_PRINTPREVIEW = 7;
constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = static_cast<HRESULT>(0x80040100u);
constexpr HRESULT OLECMDERR_E_DISABLED = static_cast<HRESULT>(0x80040101u);
constexpr HRESULT OLECMDERR_E_CANCELED = static_cast<HRESULT>(0x80040104u);

struct IPersist : IUnknown {
  STDMETHOD(GetClassID)(CLSID* clsid) = 0;
};
VANTOR_UUIDOF(IPersist, "0000010C-0000-0000-C000-000000000046");

struct IPersistStreamInit : IPersist {
  STDMETHOD(IsDirty)() = 0;
  STDMETHOD(Load)(IStream* stream) = 0;
  STDMETHOD(Save)(IStream* stream, BOOL clearDirty) = 0;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) = 0;
  STDMETHOD(InitNew)() = 0;
};
VANTOR_UUIDOF(IPersistStreamInit, "7FD52380-4E07-101B-AE2D-08002B2EC713");

struct IHTMLElement : IDispatch {
  STDMETHOD(get_id)(BSTR* id) = 0;
  STDMETHOD(get_tagName)(BSTR* name) = 0;
  STDMETHOD(get_innerHTML)(BSTR* html) = 0;
  // Replaces the element's content by the parsed HTML.
  STDMETHOD(put_innerHTML)(BSTR html) = 0;
  STDMETHOD(get_innerText)(BSTR* text) = 0;
  STDMETHOD(get_outerHTML)(BSTR* html) = 0;
};
VANTOR_UUIDOF(IHTMLElement, "3050F1FF-98B5-11CF-BB82-00AA00BDCE0B");

struct IHTMLDocument2 : IDispatch {
  STDMETHOD(get_body)(IHTMLElement** body) = 0;
  STDMETHOD(get_title)(BSTR* title) = 0;
  STDMETHOD(get_URL)(BSTR* url) = 0;
  STDMETHOD(get_readyState)(BSTR* state) = 0;   // "loading" or "complete"
};
VANTOR_UUIDOF(IHTMLDocument2, "332C4425-26CB-11D0-B483-00C04FD90119");

struct IHTMLDocument3 : IDispatch {
  STDMETHOD(get_documentElement)(IHTMLElement** root) = 0;
  // S_OK with a null element when no element has the id.
  STDMETHOD(getElementById)(BSTR id, IHTMLElement** element) = 0;
};
VANTOR_UUIDOF(IHTMLDocument3, "3050F485-98B5-11CF-BB82-00AA00BDCE0B");

struct IWebBrowser2 : IDispatch {
  STDMETHOD(Navigate)(BSTR url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData, VARIANT* headers) = 0;
  STDMETHOD(Stop)() = 0;
  // The current document (S_OK with null before the first navigation).
  STDMETHOD(get_Document)(IDispatch** document) = 0;
  STDMETHOD(get_LocationURL)(BSTR* url) = 0;
  STDMETHOD(get_Busy)(VARIANT_BOOL* busy) = 0;
  STDMETHOD(get_ReadyState)(READYSTATE* state) = 0;
  STDMETHOD(get_Silent)(VARIANT_BOOL* silent) = 0;
  STDMETHOD(put_Silent)(VARIANT_BOOL silent) = 0;
  STDMETHOD(ExecWB)(OLECMDID command, OLECMDEXECOPT option, VARIANT* in, VARIANT* out) = 0;
};
VANTOR_UUIDOF(IWebBrowser2, "D30C1661-CDAF-11D0-8A3E-00C04FC9E26E");

struct WebBrowser;
VANTOR_UUIDOF(WebBrowser, "8856F961-340A-11D0-A96B-00C04FD705A2");
#define CLSID_WebBrowser __uuidof(WebBrowser)

_COM_SMARTPTR_TYPEDEF(IPersistStreamInit, __uuidof(IPersistStreamInit));
_COM_SMARTPTR_TYPEDEF(IHTMLElement, __uuidof(IHTMLElement));
_COM_SMARTPTR_TYPEDEF(IHTMLDocument2, __uuidof(IHTMLDocument2));
_COM_SMARTPTR_TYPEDEF(IHTMLDocument3, __uuidof(IHTMLDocument3));
_COM_SMARTPTR_TYPEDEF(IWebBrowser2, __uuidof(IWebBrowser2));

// The notification of a completed load, sent to the browser window's parent.
constexpr UINT WBN_DOCUMENTCOMPLETE = 0xFFFFF600u;
struct NMWEBBROWSER {
  NMHDR hdr;
  IDispatch* browser;   // the browser (IWebBrowser2)
  VARIANT* url;         // the address loaded (VT_BSTR)
};

namespace platform::gui {

enum class LoadKind { Page, Blank, Stream, Offline, Missing };
struct Navigation {
  std::wstring address;
  LoadKind kind = LoadKind::Page;   // Offline: not opened (no network); Missing: unreadable
};
// The navigations of every browser since ClearBrowserRecords.
std::vector<Navigation> Navigations();

struct PrintJob {
  LONG option = 0;
  std::vector<_variant_t> inputs;   // the input array's values, in order
  HRESULT result = S_OK;
  std::wstring file;                // the job written (empty when nothing was printed)
  std::wstring header;
  std::wstring footer;
  std::wstring html;                // the document as printed
};
std::vector<PrintJob> PrintJobs();
void ClearBrowserRecords();

// Where print jobs are written (the folder is made when missing, its parent must exist); an
// empty folder makes every print fail with HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND).
void SetPrintSpoolFolder(const std::wstring& folder);
std::wstring PrintSpoolFolder();

// Reads the pages of the compiled help store `store` from `folder` instead of the store path
// itself (tests); an empty folder removes the mapping.
void MapHelpStore(const std::wstring& store, const std::wstring& folder);

}  // namespace platform::gui
