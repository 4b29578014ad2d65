// Control containment and the headless web-browser control over libxml2's HTML parser.
#include "platform/gui/webbrowser.h"

#include <fcntl.h>
#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "platform/base/utf8.h"
#include "platform/gui/headless.h"
#include "platform/resources/resources.h"
#include "platform/xml/libxml.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Control containment.

struct Containment {
  bool enabled = false;
  std::map<std::wstring, std::wstring> classes;   // CLSID text -> window class
  std::map<HWND, IUnknownPtr> objects;
};
Containment& C() {
  static auto* c = new Containment;
  return *c;
}
std::wstring Key(REFCLSID clsid) {
  wchar_t text[64] = {};
  StringFromGUID2(clsid, text, 64);
  return text;
}

// ---------------------------------------------------------------------------------------------
// Records and settings.

constexpr size_t kMaxDocument = 64u * 1024 * 1024;
constexpr int kMaxDepth = 1000;
constexpr UINT kLoadMessage = WM_APP + 0x3A1;
constexpr HRESULT kMediumFull = static_cast<HRESULT>(0x80030070u);   // STG_E_MEDIUMFULL

struct BrowserState {
  std::vector<platform::gui::Navigation> navigations;
  std::vector<platform::gui::PrintJob> prints;
  std::wstring spool;
  std::map<std::wstring, std::wstring> helpStores;
  unsigned jobCounter = 0;
};
BrowserState& B() {
  static auto* b = new BrowserState;
  return *b;
}

std::string Native(const std::wstring& path) {
  std::wstring p = path;
  for (wchar_t& c : p)
    if (c == L'\\') c = L'/';
  return platform::utf8::FromWide(p);
}

BSTR Bstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

bool StartsNoCase(const std::wstring& text, const wchar_t* prefix) {
  const size_t n = std::wcslen(prefix);
  return text.size() >= n && platform::CompareNoCase(std::wstring_view(text).substr(0, n), prefix) == 0;
}

// Reads a whole file of at most kMaxDocument bytes.
bool ReadWholeFile(const std::string& path, std::string& out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxDocument) {
    close(fd);
    return false;
  }
  out.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || out.size() + static_cast<size_t>(n) > kMaxDocument) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

// ---------------------------------------------------------------------------------------------
// HTML documents.

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

int Depth(xmlNode* root) {
  int depth = 0, deepest = 0;
  xmlNode* n = root;
  while (n) {
    if (n->children) {
      n = n->children;
      deepest = std::max(deepest, ++depth);
      if (deepest > kMaxDepth) return deepest;
      continue;
    }
    while (n && !n->next && n != root) {
      n = n->parent;
      --depth;
    }
    if (!n || n == root) break;
    n = n->next;
  }
  return deepest;
}

// Bytes as the parser gets them: UTF-16 with a byte-order mark becomes UTF-8; the encoding to
// name (null: the page's own charset is looked for).
std::string Prepare(const std::string& bytes, const char*& encoding) {
  encoding = "UTF-8";
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF && static_cast<unsigned char>(bytes[1]) == 0xBB &&
      static_cast<unsigned char>(bytes[2]) == 0xBF)
    return bytes.substr(3);
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      const bool little = b0 == 0xFF;
      std::u16string units;
      for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[i + (little ? 0 : 1)]);
        const auto hi = static_cast<unsigned char>(bytes[i + (little ? 1 : 0)]);
        units.push_back(static_cast<char16_t>(lo | (hi << 8)));
      }
      std::wstring wide;
      for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
          c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        wide.push_back(static_cast<wchar_t>(c));
      }
      return platform::utf8::FromWide(wide);
    }
  }
  // A page naming its charset is read in it.
  const std::string head = bytes.substr(0, 4096);
  std::string lower(head.size(), ' ');
  std::transform(head.begin(), head.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  if (lower.find("charset") != std::string::npos) encoding = nullptr;
  return bytes;
}

Doc EmptyDoc() {
  static const char kBlank[] = "<html><head></head><body></body></html>";
  return Doc(htmlReadMemory(kBlank, sizeof kBlank - 1, "about:blank", "UTF-8", HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
}

// Parses HTML bytes; malformed markup is repaired as the parser does, markup nested too deep
// gives an empty document.
Doc ParseHtml(const std::string& bytes, const std::string& url) {
  platform::xml::InitLibraries();
  platform::xml::ErrorCapture capture;
  const char* encoding = nullptr;
  const std::string data = Prepare(bytes, encoding);
  if (data.empty()) return EmptyDoc();
  Doc doc(htmlReadMemory(data.data(), static_cast<int>(data.size()), url.c_str(), encoding,
                         HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER |
                             XML_PARSE_HUGE));
  if (!doc || !xmlDocGetRootElement(doc.get()) || Depth(reinterpret_cast<xmlNode*>(doc.get())) > kMaxDepth)
    return EmptyDoc();
  return doc;
}

std::string Dump(xmlDoc* doc, xmlNode* node) {
  xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
  if (!out) return std::string();
  if (node) htmlNodeDumpFormatOutput(out, doc, node, "UTF-8", 0);
  else htmlDocContentDumpFormatOutput(out, doc, "UTF-8", 0);
  xmlOutputBufferFlush(out);
  std::string text(reinterpret_cast<const char*>(xmlOutputBufferGetContent(out)), xmlOutputBufferGetSize(out));
  xmlOutputBufferClose(out);
  return text;
}

bool Block(const xmlNode* n) {
  static const char* const kBlocks[] = {"p", "div", "br", "h1", "h2", "h3", "h4", "h5", "h6", "li", "tr", "table", "ul", "ol", "hr", "title"};
  if (n->type != XML_ELEMENT_NODE) return false;
  for (const char* b : kBlocks)
    if (xmlStrcasecmp(n->name, BAD_CAST b) == 0) return true;
  return false;
}
bool Hidden(const xmlNode* n) {
  return n->type == XML_ELEMENT_NODE &&
         (xmlStrcasecmp(n->name, BAD_CAST "script") == 0 || xmlStrcasecmp(n->name, BAD_CAST "style") == 0);
}

// The text of a subtree, blocks on lines of their own; at most `limit` characters.
std::wstring TextOf(xmlNode* root, size_t limit) {
  std::string text;
  xmlNode* n = root->children;
  while (n && text.size() < limit) {
    if (n->type == XML_TEXT_NODE && n->content) text += reinterpret_cast<const char*>(n->content);
    if (Block(n) && !text.empty() && text.back() != '\n') text += '\n';
    if (n->children && !Hidden(n)) {
      n = n->children;
      continue;
    }
    while (n && n != root && !n->next) {
      n = n->parent;
      if (n && n != root && Block(n) && !text.empty() && text.back() != '\n') text += '\n';
    }
    if (!n || n == root) break;
    n = n->next;
  }
  return platform::utf8::ToWide(text.substr(0, limit));
}

bool Within(const xmlNode* node, const xmlNode* ancestor) {
  for (const xmlNode* n = node; n; n = n->parent)
    if (n == ancestor) return true;
  return false;
}

// What a document holds, shared with the elements handed out.
struct DocState {
  Doc doc = EmptyDoc();
  std::wstring url = L"about:blank";
  bool complete = false;
  std::set<class CElement*> elements;
};
// Detaches the elements whose node lies strictly under `root`, before those nodes go.
void DetachUnder(DocState& state, const xmlNode* root);

#define VANTOR_NO_TYPE_INFO                                                                               \
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {                                                   \
    if (count) *count = 0;                                                                                \
    return S_OK;                                                                                          \
  }                                                                                                       \
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {                                       \
    if (info) *info = nullptr;                                                                            \
    return E_NOTIMPL;                                                                                     \
  }                                                                                                       \
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }      \
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {    \
    return E_NOTIMPL;                                                                                     \
  }

class CElement final : public platform::com::ComObject<IHTMLElement> {
 public:
  CElement(std::shared_ptr<DocState> state, xmlNode* node) : m_state(std::move(state)), m_node(node) {
    m_state->elements.insert(this);
  }
  ~CElement() override {
    if (m_state) m_state->elements.erase(this);
  }
  void Detach() { m_node = nullptr; }
  void DetachIfUnder(const xmlNode* root) {
    if (m_node && m_node != root && Within(m_node, root)) m_node = nullptr;
  }

  VANTOR_NO_TYPE_INFO

  STDMETHODIMP get_id(BSTR* out) override { return Attribute("id", out); }
  STDMETHODIMP get_tagName(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_node) return E_ACCESSDENIED;
    std::wstring name = platform::xml::FromXml(m_node->name);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    *out = Bstr(name);
    return S_OK;
  }
  STDMETHODIMP get_innerHTML(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_node) return E_ACCESSDENIED;
    std::string html;
    for (xmlNode* c = m_node->children; c; c = c->next) html += Dump(m_state->doc.get(), c);
    *out = Bstr(platform::utf8::ToWide(html));
    return S_OK;
  }
  STDMETHODIMP put_innerHTML(BSTR html) override {
    if (!m_node) return E_ACCESSDENIED;
    const std::wstring text = html ? std::wstring(html, SysStringLen(html)) : std::wstring();
    const std::string wrapped = "<html><body>" + platform::utf8::FromWide(text) + "</body></html>";
    if (wrapped.size() > kMaxDocument) return E_OUTOFMEMORY;
    platform::xml::InitLibraries();
    platform::xml::ErrorCapture capture;
    Doc fragment(htmlReadMemory(wrapped.data(), static_cast<int>(wrapped.size()), nullptr, "UTF-8",
                                HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER |
                                    XML_PARSE_HUGE));
    xmlNode* body = nullptr;
    for (xmlNode* r = fragment ? xmlDocGetRootElement(fragment.get()) : nullptr, *c = r ? r->children : nullptr; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE && xmlStrcasecmp(c->name, BAD_CAST "body") == 0) body = c;
    int depthHere = 0;
    for (xmlNode* n = m_node; n; n = n->parent) ++depthHere;
    if (body && Depth(body) + depthHere > kMaxDepth) return E_INVALIDARG;
    DetachUnder(*m_state, m_node);
    while (xmlNode* c = m_node->children) {
      xmlUnlinkNode(c);
      xmlFreeNode(c);
    }
    for (xmlNode* c = body ? body->children : nullptr; c; c = c->next) {
      xmlNode* copy = xmlDocCopyNode(c, m_state->doc.get(), 1);
      if (copy && !xmlAddChild(m_node, copy)) xmlFreeNode(copy);
    }
    return S_OK;
  }
  STDMETHODIMP get_innerText(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_node) return E_ACCESSDENIED;
    *out = Bstr(TextOf(m_node, kMaxDocument));
    return S_OK;
  }
  STDMETHODIMP get_outerHTML(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_node) return E_ACCESSDENIED;
    *out = Bstr(platform::utf8::ToWide(Dump(m_state->doc.get(), m_node)));
    return S_OK;
  }

 private:
  HRESULT Attribute(const char* name, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_node) return E_ACCESSDENIED;
    xmlChar* value = xmlGetProp(m_node, BAD_CAST name);
    *out = Bstr(platform::xml::FromXml(value));
    xmlFree(value);
    return S_OK;
  }

  std::shared_ptr<DocState> m_state;
  xmlNode* m_node;
};

void DetachUnder(DocState& state, const xmlNode* root) {
  for (CElement* e : state.elements) e->DetachIfUnder(root);
}

class CBrowser;

class CDocument final : public platform::com::ComObject<IHTMLDocument2, IHTMLDocument3, IPersistStreamInit> {
 public:
  explicit CDocument(CBrowser* browser) : m_browser(browser), m_state(std::make_shared<DocState>()) {}
  ~CDocument() override { DetachElements(); }

  VANTOR_NO_TYPE_INFO

  // --- IHTMLDocument2
  STDMETHODIMP get_body(IHTMLElement** out) override { return Find(nullptr, "body", out); }
  STDMETHODIMP get_title(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    xmlNode* title = Search(nullptr, "title");
    *out = Bstr(title ? TextOf(title, 4096) : std::wstring());
    return S_OK;
  }
  STDMETHODIMP get_URL(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = Bstr(m_state->url);
    return S_OK;
  }
  STDMETHODIMP get_readyState(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = Bstr(m_state->complete ? L"complete" : L"loading");
    return S_OK;
  }
  // --- IHTMLDocument3
  STDMETHODIMP get_documentElement(IHTMLElement** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (xmlNode* root = xmlDocGetRootElement(m_state->doc.get())) *out = new CElement(m_state, root);
    return S_OK;
  }
  STDMETHODIMP getElementById(BSTR id, IHTMLElement** out) override {
    if (!id) {
      if (out) *out = nullptr;
      return out ? S_OK : E_POINTER;
    }
    return Find(id, nullptr, out);
  }
  // --- IPersistStreamInit
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = GUID_NULL;
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL) override {
    if (!stream) return E_POINTER;
    const std::string html = Dump(m_state->doc.get(), nullptr);
    ULONG written = 0;
    HRESULT hr = stream->Write(html.data(), static_cast<ULONG>(html.size()), &written);
    if (FAILED(hr)) return hr;
    return written == html.size() ? S_OK : kMediumFull;
  }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
    if (!size) return E_POINTER;
    size->QuadPart = Dump(m_state->doc.get(), nullptr).size();
    return S_OK;
  }
  STDMETHODIMP InitNew() override {
    Replace(EmptyDoc(), L"about:blank");
    return S_OK;
  }

  // --- the browser's side
  void Replace(Doc doc, const std::wstring& url) {
    DetachElements();
    m_state->doc = std::move(doc);
    m_state->url = url;
  }
  void SetComplete(bool complete) { m_state->complete = complete; }
  bool Complete() const { return m_state->complete; }
  xmlDoc* Raw() const { return m_state->doc.get(); }
  void ForgetBrowser() { m_browser = nullptr; }

 private:
  void DetachElements() {
    for (CElement* e : m_state->elements) e->Detach();
  }
  xmlNode* Search(const wchar_t* id, const char* tag) const {
    xmlNode* root = xmlDocGetRootElement(m_state->doc.get());
    const std::string wanted = id ? platform::utf8::FromWide(id) : std::string();
    xmlNode* n = root;
    while (n) {
      if (n->type == XML_ELEMENT_NODE) {
        if (tag && xmlStrcasecmp(n->name, BAD_CAST tag) == 0) return n;
        if (id) {
          xmlChar* value = xmlGetProp(n, BAD_CAST "id");
          const bool match = value && wanted == reinterpret_cast<const char*>(value);
          xmlFree(value);
          if (match) return n;
        }
      }
      if (n->children) {
        n = n->children;
        continue;
      }
      while (n && n != root && !n->next) n = n->parent;
      if (!n || n == root) break;
      n = n->next;
    }
    return nullptr;
  }
  HRESULT Find(const wchar_t* id, const char* tag, IHTMLElement** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (xmlNode* n = Search(id, tag)) *out = new CElement(m_state, n);
    return S_OK;
  }

  void* QueryMore(REFIID iid) override {
    if (iid == __uuidof(IDispatch)) return static_cast<IHTMLDocument2*>(this);
    if (iid == __uuidof(IPersist)) return static_cast<IPersistStreamInit*>(this);
    return nullptr;
  }

  CBrowser* m_browser;
  std::shared_ptr<DocState> m_state;
};

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// The print dialog.

constexpr char kPrintDialog[] = R"(DIALOGEX 0, 0, 232, 62
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Drukowanie"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  LTEXT           "Drukarka: kolejka wydruków programu", -1, 7, 9, 218, 8
  DEFPUSHBUTTON   "Drukuj", IDOK, 122, 41, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 175, 41, 50, 14
END
)";

INT_PTR PrintDialogProc(HWND h, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(h, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

bool AskToPrint(HWND owner) {
  static platform::gui::DialogTemplate t;
  static const bool parsed = platform::gui::ParseDialogTemplate(kPrintDialog, t);
  if (!parsed) return false;
  HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  return platform::gui::DialogBoxFromTemplate(nullptr, t, top, PrintDialogProc, 0, L"PRINTDLG") == IDOK;
}

std::wstring TextValue(const _variant_t& v) {
  if (v.vt == VT_BSTR && v.bstrVal) return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
  return std::wstring();
}

std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\n' || c == L'\r') c = L' ';
  return text;
}

// Writes the job into the spool folder; the file's path, or the failure.
HRESULT WriteJob(const std::wstring& header, const std::wstring& footer, const std::string& html, std::wstring& file) {
  const std::wstring folder = B().spool;
  if (folder.empty()) return HRESULT_FROM_WIN32(3);   // ERROR_PATH_NOT_FOUND
  const std::string native = Native(folder);
  // The folder, with the folders it is in when they are missing (a shared database's, say).
  std::error_code made;
  std::filesystem::create_directories(native, made);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return HRESULT_FROM_WIN32(3);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string text = "header: " + platform::utf8::FromWide(OneLine(header)) + "\nfooter: " +
                           platform::utf8::FromWide(OneLine(footer)) + "\n\n" + html;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string name = native + (native.back() == '/' ? "" : "/") + "job-" + stamp + "-" +
                             std::to_string(getpid()) + "-" + std::to_string(++B().jobCounter) + ".txt";
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return HRESULT_FROM_WIN32(5);   // ERROR_ACCESS_DENIED
    }
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    const bool ok = done == text.size() && close(fd) == 0;
    if (!ok) {
      unlink(name.c_str());
      return HRESULT_FROM_WIN32(29);   // ERROR_WRITE_FAULT
    }
    file = platform::utf8::ToWide(name);
    return S_OK;
  }
  return HRESULT_FROM_WIN32(80);   // ERROR_FILE_EXISTS
}

// ---------------------------------------------------------------------------------------------
// Addresses.

struct Loaded {
  platform::gui::LoadKind kind = platform::gui::LoadKind::Offline;
  Doc doc;
};

// The file of a help store page: "mk:@MSITStore:STORE::/PAGE".
bool HelpStorePage(const std::wstring& address, std::string& path) {
  static const wchar_t kPrefix[] = L"mk:@MSITStore:";
  if (!StartsNoCase(address, kPrefix)) return false;
  const std::wstring rest = address.substr(std::wcslen(kPrefix));
  const size_t sep = rest.find(L"::");
  if (sep == std::wstring::npos) return false;
  std::wstring store = rest.substr(0, sep);
  std::wstring page = rest.substr(sep + 2);
  while (!page.empty() && (page[0] == L'/' || page[0] == L'\\')) page.erase(0, 1);
  if (page.empty() || page.find(L"..") != std::wstring::npos) return false;
  const std::string storeNative = Native(store);
  std::string folder = storeNative;
  for (const auto& [from, to] : B().helpStores)
    if (Native(from) == storeNative) folder = Native(to);
  path = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + Native(page);
  return true;
}

std::string FilePath(const std::wstring& address) {
  if (StartsNoCase(address, L"file://")) {
    std::wstring rest = address.substr(7);
    if (StartsNoCase(rest, L"localhost/")) rest = rest.substr(9);
    std::string native = Native(rest);
    // %XX escapes of a file address.
    std::string out;
    for (size_t i = 0; i < native.size(); ++i) {
      if (native[i] == '%' && i + 2 < native.size() && std::isxdigit(static_cast<unsigned char>(native[i + 1])) &&
          std::isxdigit(static_cast<unsigned char>(native[i + 2]))) {
        out += static_cast<char>(std::stoi(native.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        out += native[i];
      }
    }
    return out;
  }
  if (!address.empty() && address[0] == L'/') return Native(address);
  return std::string();
}

Loaded Open(const std::wstring& address) {
  Loaded out;
  const std::string url = platform::utf8::FromWide(address);
  if (platform::CompareNoCase(address, L"about:blank") == 0) {
    out.kind = platform::gui::LoadKind::Blank;
    out.doc = EmptyDoc();
    return out;
  }
  std::string path;
  std::string bytes;
  bool local = HelpStorePage(address, path);
  if (!local) {
    path = FilePath(address);
    local = !path.empty();
  }
  if (local) {
    if (ReadWholeFile(path, bytes)) {
      out.kind = platform::gui::LoadKind::Page;
      out.doc = ParseHtml(bytes, url);
    } else {
      out.kind = platform::gui::LoadKind::Missing;
      out.doc = EmptyDoc();
    }
    return out;
  }
  if (StartsNoCase(address, L"res://")) {
    std::vector<BYTE> data;
    if (platform::ReadResourceUrl(address, data) && data.size() <= kMaxDocument) {
      out.kind = platform::gui::LoadKind::Page;
      out.doc = ParseHtml(std::string(data.begin(), data.end()), url);
    } else {
      out.kind = platform::gui::LoadKind::Missing;
      out.doc = EmptyDoc();
    }
    return out;
  }
  out.kind = platform::gui::LoadKind::Offline;
  out.doc = EmptyDoc();
  return out;
}

// ---------------------------------------------------------------------------------------------
// The browser.

class CBrowser final : public platform::com::ComObject<IWebBrowser2> {
 public:
  explicit CBrowser(HWND window) : m_window(window) {}
  ~CBrowser() override { DropDocument(); }

  VANTOR_NO_TYPE_INFO

  STDMETHODIMP Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
    if (!url) return E_INVALIDARG;
    const std::wstring address(url, SysStringLen(url));
    Loaded loaded = Open(address);
    B().navigations.push_back({address, loaded.kind});
    DropDocument();
    m_document = new CDocument(this);
    m_location = address;
    m_pendingDoc = std::move(loaded.doc);
    Start();
    return S_OK;
  }
  STDMETHODIMP Stop() override {
    if (m_pending) {
      m_pending = false;
      if (m_pendingDoc && m_document) m_document->Replace(std::move(m_pendingDoc), m_location);
      Finish(false);
    }
    return S_OK;
  }
  STDMETHODIMP get_Document(IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (m_document) {
      *out = static_cast<IHTMLDocument2*>(m_document);
      m_document->AddRef();
    }
    return S_OK;
  }
  STDMETHODIMP get_LocationURL(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = Bstr(m_location);
    return S_OK;
  }
  STDMETHODIMP get_Busy(VARIANT_BOOL* busy) override {
    if (!busy) return E_POINTER;
    *busy = m_pending ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP get_ReadyState(READYSTATE* state) override {
    if (!state) return E_POINTER;
    *state = !m_document ? READYSTATE_UNINITIALIZED : m_pending ? READYSTATE_LOADING : READYSTATE_COMPLETE;
    return S_OK;
  }
  STDMETHODIMP get_Silent(VARIANT_BOOL* silent) override {
    if (!silent) return E_POINTER;
    *silent = m_silent;
    return S_OK;
  }
  STDMETHODIMP put_Silent(VARIANT_BOOL silent) override {
    m_silent = silent ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP ExecWB(OLECMDID command, OLECMDEXECOPT option, VARIANT* in, VARIANT*) override {
    if (command != OLECMDID_PRINT) return OLECMDERR_E_NOTSUPPORTED;
    platform::gui::PrintJob job;
    job.option = option;
    job.inputs = Inputs(in);
    if (!job.inputs.empty()) job.header = TextValue(job.inputs[0]);
    if (job.inputs.size() > 1) job.footer = TextValue(job.inputs[1]);
    if (!m_document || m_pending || !m_document->Complete()) {
      job.result = OLECMDERR_E_DISABLED;
    } else if (option != 0 && !AskToPrint(m_window)) {
      job.result = OLECMDERR_E_CANCELED;
    } else {
      const std::string html = Dump(m_document->Raw(), nullptr);
      job.html = platform::utf8::ToWide(html);
      job.result = WriteJob(job.header, job.footer, html, job.file);
    }
    B().prints.push_back(job);
    return job.result;
  }

  // --- the window's side
  // A stream was loaded into `document`: that is this browser's load now.
  void StreamLoaded(CDocument* document) {
    if (document != m_document) return;
    m_pendingDoc.reset();
    Start();
  }
  void Complete(WPARAM sequence) {
    if (!m_pending || sequence != m_sequence) return;
    m_pending = false;
    if (m_pendingDoc && m_document) m_document->Replace(std::move(m_pendingDoc), m_location);
    Finish(true);
  }
  void Detach() {
    m_window = nullptr;
    m_pending = false;
    DropDocument();
  }
  CDocument* Document() const { return m_document; }

 private:
  void Start() {
    m_pending = true;
    if (m_document) m_document->SetComplete(false);
    ++m_sequence;
    if (!m_window || !PostMessageW(m_window, kLoadMessage, m_sequence, 0)) Complete(m_sequence);
  }
  void Finish(bool notify) {
    if (m_document) m_document->SetComplete(true);
    if (m_window) InvalidateRect(m_window, nullptr, TRUE);
    HWND parent = m_window ? GetParent(m_window) : nullptr;
    if (!notify || !parent) return;
    AddRef();
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = Bstr(m_location);
    NMWEBBROWSER nm{};
    nm.hdr.hwndFrom = m_window;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_window));
    nm.hdr.code = WBN_DOCUMENTCOMPLETE;
    nm.browser = this;
    nm.url = &url;
    SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    VariantClear(&url);
    Release();
  }
  void DropDocument() {
    if (!m_document) return;
    m_document->ForgetBrowser();
    m_document->Release();
    m_document = nullptr;
  }
  static std::vector<_variant_t> Inputs(VARIANT* in) {
    std::vector<_variant_t> out;
    if (!in) return out;
    const VARIANT* v = in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    if (v->vt == (VT_ARRAY | VT_VARIANT) && v->parray && SafeArrayGetDim(v->parray) == 1) {
      LONG low = 0, high = -1;
      SafeArrayGetLBound(v->parray, 1, &low);
      SafeArrayGetUBound(v->parray, 1, &high);
      for (LONG i = low; i <= high && out.size() < 64; ++i) {
        VARIANT item;
        VariantInit(&item);
        if (SUCCEEDED(SafeArrayGetElement(v->parray, &i, &item))) out.emplace_back(item, false);
        else out.emplace_back();
      }
    } else if (v->vt != VT_EMPTY && v->vt != VT_ERROR) {
      out.emplace_back(*v);
    }
    return out;
  }

  HWND m_window;
  CDocument* m_document = nullptr;   // one reference held
  Doc m_pendingDoc;                  // what the pending navigation shows once complete
  std::wstring m_location;
  VARIANT_BOOL m_silent = VARIANT_FALSE;
  bool m_pending = false;
  WPARAM m_sequence = 0;

  void* QueryMore(REFIID iid) override { return iid == __uuidof(IDispatch) ? static_cast<IWebBrowser2*>(this) : nullptr; }
};

std::map<HWND, CBrowser*>& Browsers() {
  static auto* m = new std::map<HWND, CBrowser*>;
  return *m;
}

STDMETHODIMP CDocument::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ULONG read = 0;
    const HRESULT hr = stream->Read(buffer, sizeof buffer, &read);
    if (FAILED(hr)) return hr;
    if (bytes.size() + read > kMaxDocument) return E_OUTOFMEMORY;
    bytes.append(buffer, read);
    if (read == 0 || hr == S_FALSE) break;
  }
  Replace(ParseHtml(bytes, platform::utf8::FromWide(m_state->url)), m_state->url);
  if (m_browser) {
    m_browser->StreamLoaded(this);
  } else {
    SetComplete(true);
  }
  return S_OK;
}

void PaintBrowser(HWND h) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  if (!dc) return;
  RECT r{};
  GetClientRect(h, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
  auto it = Browsers().find(h);
  CDocument* doc = it == Browsers().end() ? nullptr : it->second->Document();
  xmlNode* root = doc ? xmlDocGetRootElement(doc->Raw()) : nullptr;
  if (root) {
    xmlNode* body = root;
    for (xmlNode* c = root->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE && xmlStrcasecmp(c->name, BAD_CAST "body") == 0) body = c;
    const std::wstring text = TextOf(body, 8192);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    InflateRect(&r, -8, -8);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  EndPaint(h, &ps);
}

LRESULT BrowserProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* browser = new CBrowser(h);
      Browsers()[h] = browser;
      platform::gui::SetControlObject(h, static_cast<IWebBrowser2*>(browser));
      browser->Release();
      return 0;
    }
    case kLoadMessage: {
      auto it = Browsers().find(h);
      if (it != Browsers().end()) it->second->Complete(wParam);
      return 0;
    }
    case WM_PAINT: PaintBrowser(h); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCDESTROY: {
      auto it = Browsers().find(h);
      if (it != Browsers().end()) {
        CBrowser* browser = it->second;
        Browsers().erase(it);
        browser->Detach();
      }
      platform::gui::SetControlObject(h, nullptr);
      break;
    }
    default: break;
  }
  return DefWindowProcW(h, message, wParam, lParam);
}

constexpr wchar_t kBrowserClass[] = L"VantorWebBrowser";

void RegisterBuiltInControls() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSW wc{};
  wc.lpfnWndProc = BrowserProc;
  wc.lpszClassName = kBrowserClass;
  wc.style = CS_GLOBALCLASS;
  RegisterClassW(&wc);
  platform::gui::RegisterControlClass(CLSID_WebBrowser, kBrowserClass);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public side.

void AfxEnableControlContainer() { C().enabled = true; }

namespace platform::gui {

bool ControlContainerEnabled() { return C().enabled; }

bool RegisterControlClass(REFCLSID clsid, const wchar_t* windowClass) {
  if (!windowClass || !*windowClass) return false;
  C().classes[Key(clsid)] = windowClass;
  return true;
}

void SetControlObject(HWND window, IUnknown* object) {
  if (object) C().objects[window] = object;
  else C().objects.erase(window);
}

IUnknown* ControlObject(HWND window) {
  auto it = C().objects.find(window);
  return it == C().objects.end() ? nullptr : it->second.GetInterfacePtr();
}

std::vector<Navigation> Navigations() { return B().navigations; }
std::vector<PrintJob> PrintJobs() { return B().prints; }
void ClearBrowserRecords() {
  B().navigations.clear();
  B().prints.clear();
}
void SetPrintSpoolFolder(const std::wstring& folder) { B().spool = folder; }
std::wstring PrintSpoolFolder() { return B().spool; }
void MapHelpStore(const std::wstring& store, const std::wstring& folder) {
  if (folder.empty()) B().helpStores.erase(store);
  else B().helpStores[store] = folder;
}

}  // namespace platform::gui

BOOL CWnd::CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  RegisterBuiltInControls();
  if (!C().enabled || m_hWnd) return FALSE;
  auto it = C().classes.find(Key(clsid));
  if (it == C().classes.end()) return FALSE;
  if (!Create(it->second.c_str(), windowName, style | WS_CHILD, rect, parent, id)) return FALSE;
  if (!platform::gui::ControlObject(m_hWnd)) {
    DestroyWindow();
    return FALSE;
  }
  return TRUE;
}

IUnknown* CWnd::GetControlUnknown() const { return m_hWnd ? platform::gui::ControlObject(m_hWnd) : nullptr; }
