// Dialogs: resource-script templates, creation, the dialog procedure and the dialog calls.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>

#include "platform/gui/internal.h"
#include "platform/resources/resources.h"
#include "platform/strings/strings.h"

namespace platform::gui {
namespace {

constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

struct Named {
  const wchar_t* name;
  DWORD value;
};

const Named kNames[] = {
    {L"WS_OVERLAPPED", WS_OVERLAPPED}, {L"WS_POPUP", WS_POPUP}, {L"WS_CHILD", WS_CHILD},
    {L"WS_MINIMIZE", WS_MINIMIZE}, {L"WS_VISIBLE", WS_VISIBLE}, {L"WS_DISABLED", WS_DISABLED},
    {L"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS}, {L"WS_CLIPCHILDREN", WS_CLIPCHILDREN}, {L"WS_MAXIMIZE", WS_MAXIMIZE},
    {L"WS_CAPTION", WS_CAPTION}, {L"WS_BORDER", WS_BORDER}, {L"WS_DLGFRAME", WS_DLGFRAME},
    {L"WS_VSCROLL", WS_VSCROLL}, {L"WS_HSCROLL", WS_HSCROLL}, {L"WS_SYSMENU", WS_SYSMENU},
    {L"WS_THICKFRAME", WS_THICKFRAME}, {L"WS_GROUP", WS_GROUP}, {L"WS_TABSTOP", WS_TABSTOP},
    {L"WS_MINIMIZEBOX", WS_MINIMIZEBOX}, {L"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
    {L"WS_OVERLAPPEDWINDOW", WS_OVERLAPPEDWINDOW}, {L"WS_POPUPWINDOW", WS_POPUPWINDOW},
    {L"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME}, {L"WS_EX_NOPARENTNOTIFY", WS_EX_NOPARENTNOTIFY},
    {L"WS_EX_TOPMOST", WS_EX_TOPMOST}, {L"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
    {L"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW}, {L"WS_EX_WINDOWEDGE", WS_EX_WINDOWEDGE},
    {L"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE}, {L"WS_EX_CONTEXTHELP", WS_EX_CONTEXTHELP},
    {L"WS_EX_RIGHT", WS_EX_RIGHT}, {L"WS_EX_CONTROLPARENT", WS_EX_CONTROLPARENT},
    {L"WS_EX_STATICEDGE", WS_EX_STATICEDGE}, {L"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
    {L"DS_ABSALIGN", DS_ABSALIGN}, {L"DS_SYSMODAL", DS_SYSMODAL}, {L"DS_3DLOOK", DS_3DLOOK},
    {L"DS_FIXEDSYS", DS_FIXEDSYS}, {L"DS_LOCALEDIT", DS_LOCALEDIT}, {L"DS_SETFONT", DS_SETFONT},
    {L"DS_MODALFRAME", DS_MODALFRAME}, {L"DS_NOIDLEMSG", DS_NOIDLEMSG}, {L"DS_SETFOREGROUND", DS_SETFOREGROUND},
    {L"DS_CONTROL", DS_CONTROL}, {L"DS_CENTER", DS_CENTER}, {L"DS_CENTERMOUSE", DS_CENTERMOUSE},
    {L"DS_CONTEXTHELP", DS_CONTEXTHELP}, {L"DS_SHELLFONT", DS_SHELLFONT},
    {L"SS_LEFT", SS_LEFT}, {L"SS_CENTER", SS_CENTER}, {L"SS_RIGHT", SS_RIGHT}, {L"SS_ICON", SS_ICON},
    {L"SS_BLACKRECT", SS_BLACKRECT}, {L"SS_GRAYRECT", SS_GRAYRECT}, {L"SS_WHITERECT", SS_WHITERECT},
    {L"SS_BLACKFRAME", SS_BLACKFRAME}, {L"SS_GRAYFRAME", SS_GRAYFRAME}, {L"SS_WHITEFRAME", SS_WHITEFRAME},
    {L"SS_SIMPLE", SS_SIMPLE}, {L"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP}, {L"SS_OWNERDRAW", SS_OWNERDRAW},
    {L"SS_BITMAP", SS_BITMAP}, {L"SS_ETCHEDHORZ", SS_ETCHEDHORZ}, {L"SS_ETCHEDVERT", SS_ETCHEDVERT},
    {L"SS_ETCHEDFRAME", SS_ETCHEDFRAME}, {L"SS_NOPREFIX", SS_NOPREFIX}, {L"SS_NOTIFY", SS_NOTIFY},
    {L"SS_CENTERIMAGE", SS_CENTERIMAGE}, {L"SS_SUNKEN", SS_SUNKEN}, {L"SS_ENDELLIPSIS", SS_ENDELLIPSIS},
    {L"BS_PUSHBUTTON", BS_PUSHBUTTON}, {L"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON}, {L"BS_CHECKBOX", BS_CHECKBOX},
    {L"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX}, {L"BS_RADIOBUTTON", BS_RADIOBUTTON}, {L"BS_3STATE", BS_3STATE},
    {L"BS_AUTO3STATE", BS_AUTO3STATE}, {L"BS_GROUPBOX", BS_GROUPBOX}, {L"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
    {L"BS_OWNERDRAW", BS_OWNERDRAW}, {L"BS_LEFTTEXT", BS_LEFTTEXT}, {L"BS_LEFT", BS_LEFT}, {L"BS_RIGHT", BS_RIGHT},
    {L"BS_CENTER", BS_CENTER}, {L"BS_TOP", BS_TOP}, {L"BS_BOTTOM", BS_BOTTOM}, {L"BS_VCENTER", BS_VCENTER},
    {L"BS_PUSHLIKE", BS_PUSHLIKE}, {L"BS_MULTILINE", BS_MULTILINE}, {L"BS_NOTIFY", BS_NOTIFY}, {L"BS_FLAT", BS_FLAT},
    {L"ES_LEFT", ES_LEFT}, {L"ES_CENTER", ES_CENTER}, {L"ES_RIGHT", ES_RIGHT}, {L"ES_MULTILINE", ES_MULTILINE},
    {L"ES_UPPERCASE", ES_UPPERCASE}, {L"ES_LOWERCASE", ES_LOWERCASE}, {L"ES_PASSWORD", ES_PASSWORD},
    {L"ES_AUTOVSCROLL", ES_AUTOVSCROLL}, {L"ES_AUTOHSCROLL", ES_AUTOHSCROLL}, {L"ES_NOHIDESEL", ES_NOHIDESEL},
    {L"ES_READONLY", ES_READONLY}, {L"ES_WANTRETURN", ES_WANTRETURN}, {L"ES_NUMBER", ES_NUMBER},
    {L"CBS_SIMPLE", CBS_SIMPLE}, {L"CBS_DROPDOWN", CBS_DROPDOWN}, {L"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
    {L"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED}, {L"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL}, {L"CBS_SORT", CBS_SORT},
    {L"CBS_HASSTRINGS", CBS_HASSTRINGS}, {L"CBS_NOINTEGRALHEIGHT", CBS_NOINTEGRALHEIGHT},
    {L"LBS_NOTIFY", LBS_NOTIFY}, {L"LBS_SORT", LBS_SORT}, {L"LBS_NOREDRAW", LBS_NOREDRAW},
    {L"LBS_MULTIPLESEL", LBS_MULTIPLESEL}, {L"LBS_HASSTRINGS", LBS_HASSTRINGS},
    {L"LBS_NOINTEGRALHEIGHT", LBS_NOINTEGRALHEIGHT}, {L"LBS_EXTENDEDSEL", LBS_EXTENDEDSEL},
    {L"LBS_STANDARD", LBS_STANDARD},
    {L"IDOK", IDOK}, {L"IDCANCEL", IDCANCEL}, {L"IDABORT", IDABORT}, {L"IDRETRY", IDRETRY},
    {L"IDIGNORE", IDIGNORE}, {L"IDYES", IDYES}, {L"IDNO", IDNO}, {L"IDCLOSE", IDCLOSE}, {L"IDHELP", IDHELP},
    {L"IDC_STATIC", static_cast<DWORD>(-1)}, {L"ID_HELP", 0xE146},
};

struct Token {
  enum Kind { Word, Number, String, Punct, End } kind = End;
  std::wstring text;
  LONG number = 0;
  int line = 0;
};

class Lexer {
 public:
  explicit Lexer(const std::wstring& s) : m_s(s) {}
  Token Next() {
    Skip();
    Token t;
    t.line = m_line;
    if (m_i >= m_s.size()) return t;
    const wchar_t c = m_s[m_i];
    if (c == L'"') {
      t.kind = Token::String;
      ++m_i;
      while (m_i < m_s.size()) {
        wchar_t d = m_s[m_i++];
        if (d == L'"') {
          if (m_i < m_s.size() && m_s[m_i] == L'"') {
            t.text.push_back(L'"');
            ++m_i;
            continue;
          }
          return t;
        }
        if (d == L'\\' && m_i < m_s.size()) {
          const wchar_t e = m_s[m_i++];
          d = e == L'n' ? L'\n' : e == L't' ? L'\t' : e == L'r' ? L'\r' : e;
        }
        if (d == L'\n') ++m_line;
        t.text.push_back(d);
      }
      m_error = true;
      return t;
    }
    if (c == L',' || c == L'|' || c == L'{' || c == L'}') {
      t.kind = Token::Punct;
      t.text.assign(1, c);
      ++m_i;
      return t;
    }
    if (std::iswdigit(c) || (c == L'-' && m_i + 1 < m_s.size() && std::iswdigit(m_s[m_i + 1]))) {
      t.kind = Token::Number;
      bool negative = false;
      if (c == L'-') negative = true, ++m_i;
      long long v = 0;
      if (m_s.compare(m_i, 2, L"0x") == 0 || m_s.compare(m_i, 2, L"0X") == 0) {
        m_i += 2;
        while (m_i < m_s.size() && std::iswxdigit(m_s[m_i])) {
          const wchar_t d = m_s[m_i++];
          v = v * 16 + (std::iswdigit(d) ? d - L'0' : (std::towlower(d) - L'a' + 10));
          if (v > 0xFFFFFFFFLL) m_error = true;
        }
      } else {
        while (m_i < m_s.size() && std::iswdigit(m_s[m_i])) {
          v = v * 10 + (m_s[m_i++] - L'0');
          if (v > 0xFFFFFFFFLL) m_error = true;
        }
      }
      while (m_i < m_s.size() && (m_s[m_i] == L'L' || m_s[m_i] == L'l' || m_s[m_i] == L'U' || m_s[m_i] == L'u')) ++m_i;
      t.number = static_cast<LONG>(static_cast<DWORD>(negative ? -v : v));
      return t;
    }
    if (std::iswalpha(c) || c == L'_' || c == L'#') {
      t.kind = Token::Word;
      while (m_i < m_s.size() && (std::iswalnum(m_s[m_i]) || m_s[m_i] == L'_' || m_s[m_i] == L'#')) t.text.push_back(m_s[m_i++]);
      return t;
    }
    m_error = true;
    ++m_i;
    t.kind = Token::Punct;
    t.text.assign(1, c);
    return t;
  }
  bool Failed() const { return m_error; }

 private:
  void Skip() {
    while (m_i < m_s.size()) {
      const wchar_t c = m_s[m_i];
      if (c == L'\n') {
        ++m_line;
        ++m_i;
      } else if (std::iswspace(c)) {
        ++m_i;
      } else if (c == L'/' && m_i + 1 < m_s.size() && m_s[m_i + 1] == L'/') {
        while (m_i < m_s.size() && m_s[m_i] != L'\n') ++m_i;
      } else {
        break;
      }
    }
  }
  const std::wstring& m_s;
  size_t m_i = 0;
  int m_line = 1;
  bool m_error = false;
};

class Parser {
 public:
  explicit Parser(const std::wstring& text) : m_lex(text) { Advance(); }

  bool Parse(DialogTemplate& out) {
    if (Is(L"DIALOGEX") || Is(L"DIALOG")) {
      Advance();
    } else if (m_t.kind == Token::Word) {
      Advance();   // a resource name before the keyword
      if (!Is(L"DIALOGEX") && !Is(L"DIALOG")) return Fail(L"DIALOGEX expected");
      Advance();
    } else {
      return Fail(L"DIALOGEX expected");
    }
    LONG n[4];
    for (int i = 0; i < 4; ++i) {
      if (i && !Comma()) return false;
      if (!Value(n[i])) return false;
    }
    out.units = RECT{n[0], n[1], n[0] + n[2], n[1] + n[3]};
    while (!Is(L"BEGIN") && !IsPunct(L"{")) {
      if (m_t.kind == Token::End) return Fail(L"BEGIN expected");
      if (Is(L"STYLE")) {
        Advance();
        DWORD set = 0, clear = 0;
        if (!Expression(set, clear)) return false;
        out.style = set & ~clear;
      } else if (Is(L"EXSTYLE")) {
        Advance();
        DWORD set = 0, clear = 0;
        if (!Expression(set, clear)) return false;
        out.exStyle = set & ~clear;
      } else if (Is(L"CAPTION")) {
        Advance();
        if (!Text(out.caption)) return false;
      } else if (Is(L"CLASS")) {
        Advance();
        if (!Text(out.className)) return false;
      } else if (Is(L"MENU")) {
        Advance();
        out.menu = m_t.kind == Token::Number ? std::to_wstring(m_t.number) : m_t.text;
        Advance();
      } else if (Is(L"FONT")) {
        Advance();
        LONG points = 0;
        if (!Value(points) || !Comma() || !Text(out.face)) return false;
        out.pointSize = static_cast<WORD>(points);
        if (IsPunct(L",")) {
          Advance();
          LONG weight = 0;
          if (!Value(weight)) return false;
          out.weight = static_cast<WORD>(weight);
          if (IsPunct(L",")) {
            Advance();
            LONG italic = 0;
            if (!Value(italic)) return false;
            out.italic = italic != 0;
            if (IsPunct(L",")) {
              Advance();
              LONG charset = 0;
              if (!Value(charset)) return false;
            }
          }
        }
      } else {
        return Fail(L"unknown statement " + m_t.text);
      }
    }
    Advance();
    while (!Is(L"END") && !IsPunct(L"}")) {
      if (m_t.kind == Token::End) return Fail(L"END expected");
      DialogItem item;
      if (!Control(item)) return false;
      out.items.push_back(std::move(item));
    }
    Advance();
    if (m_t.kind != Token::End) return Fail(L"text after END");
    if (m_lex.Failed()) return Fail(L"malformed token");
    return true;
  }

  std::wstring error;

 private:
  bool Control(DialogItem& item) {
    const std::wstring keyword = Upper(m_t.text);
    if (m_t.kind != Token::Word) return Fail(L"control expected");
    Advance();
    DWORD defaults = WS_CHILD | WS_VISIBLE;
    bool hasText = true;
    bool generic = false;
    if (keyword == L"CONTROL") {
      generic = true;
    } else if (keyword == L"LTEXT" || keyword == L"RTEXT" || keyword == L"CTEXT") {
      item.className = L"Static";
      defaults |= WS_GROUP | (keyword == L"RTEXT" ? SS_RIGHT : keyword == L"CTEXT" ? SS_CENTER : SS_LEFT);
    } else if (keyword == L"PUSHBUTTON" || keyword == L"DEFPUSHBUTTON") {
      item.className = L"Button";
      defaults |= WS_TABSTOP | (keyword == L"DEFPUSHBUTTON" ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    } else if (keyword == L"CHECKBOX" || keyword == L"AUTOCHECKBOX") {
      item.className = L"Button";
      defaults |= WS_TABSTOP | (keyword == L"CHECKBOX" ? BS_CHECKBOX : BS_AUTOCHECKBOX);
    } else if (keyword == L"RADIOBUTTON" || keyword == L"AUTORADIOBUTTON") {
      item.className = L"Button";
      defaults |= keyword == L"RADIOBUTTON" ? BS_RADIOBUTTON : BS_AUTORADIOBUTTON;
    } else if (keyword == L"GROUPBOX") {
      item.className = L"Button";
      defaults |= BS_GROUPBOX;
    } else if (keyword == L"EDITTEXT") {
      item.className = L"Edit";
      defaults |= ES_LEFT | WS_BORDER | WS_TABSTOP;
      hasText = false;
    } else if (keyword == L"COMBOBOX") {
      item.className = L"ComboBox";
      defaults |= CBS_SIMPLE | WS_TABSTOP;
      hasText = false;
    } else if (keyword == L"LISTBOX") {
      item.className = L"ListBox";
      defaults |= LBS_NOTIFY | WS_BORDER;
      hasText = false;
    } else {
      return Fail(L"unknown control " + keyword);
    }
    if (hasText) {
      if (!Text(item.text) || !Comma()) return false;
    }
    LONG id = 0;
    if (!Value(id) || !Comma()) return false;
    item.id = id;
    DWORD set = 0, clear = 0;
    if (generic) {
      if (!Text(item.className) || !Comma() || !Expression(set, clear) || !Comma()) return false;
    }
    LONG n[4];
    for (int i = 0; i < 4; ++i) {
      if (i && !Comma()) return false;
      if (!Value(n[i])) return false;
    }
    item.units = RECT{n[0], n[1], n[0] + n[2], n[1] + n[3]};
    if (!generic && IsPunct(L",")) {
      Advance();
      if (!Expression(set, clear)) return false;
    }
    if (IsPunct(L",")) {
      Advance();
      DWORD exSet = 0, exClear = 0;
      if (!Expression(exSet, exClear)) return false;
      item.exStyle = exSet & ~exClear;
    }
    item.style = (defaults | set) & ~clear;
    return true;
  }

  bool Expression(DWORD& set, DWORD& clear) {
    while (true) {
      bool negate = false;
      if (Is(L"NOT")) {
        negate = true;
        Advance();
      }
      LONG v = 0;
      if (!Value(v)) return false;
      if (negate) clear |= static_cast<DWORD>(v);
      else set |= static_cast<DWORD>(v);
      if (!IsPunct(L"|")) return true;
      Advance();
    }
  }

  bool Value(LONG& v) {
    if (m_t.kind == Token::Number) {
      v = m_t.number;
      Advance();
      return true;
    }
    if (m_t.kind == Token::Word) {
      const std::wstring name = Upper(m_t.text);
      for (const Named& n : kNames)
        if (name == n.name) {
          v = static_cast<LONG>(n.value);
          Advance();
          return true;
        }
      return Fail(L"unknown name " + m_t.text);
    }
    return Fail(L"value expected");
  }

  bool Text(std::wstring& out) {
    if (m_t.kind != Token::String) return Fail(L"text in quotes expected");
    out = m_t.text;
    Advance();
    return true;
  }

  bool Comma() {
    if (!IsPunct(L",")) return Fail(L"comma expected");
    Advance();
    return true;
  }

  bool Is(const wchar_t* word) const { return m_t.kind == Token::Word && Upper(m_t.text) == word; }
  bool IsPunct(const wchar_t* p) const { return m_t.kind == Token::Punct && m_t.text == p; }
  void Advance() { m_t = m_lex.Next(); }
  bool Fail(const std::wstring& message) {
    if (error.empty()) error = L"line " + std::to_wstring(m_t.line) + L": " + message;
    return false;
  }
  static std::wstring Upper(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s) out.push_back(static_cast<wchar_t>(std::towupper(c)));
    return out;
  }

  Lexer m_lex;
  Token m_t;
};

HFONT DialogFont(const DialogTemplate& t) {
  static auto* cache = new std::map<std::wstring, HFONT>;
  const LONG height = -MulDiv(t.pointSize ? t.pointSize : 8, 96, 72);
  const std::wstring key = t.face + L"|" + std::to_wstring(height) + L"|" + std::to_wstring(t.weight) + L"|" +
                           (t.italic ? L"i" : L"");
  auto it = cache->find(key);
  if (it != cache->end() && detail::FindFont(it->second)) return it->second;
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = t.weight ? t.weight : FW_NORMAL;
  lf.lfItalic = t.italic ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::wcsncpy(lf.lfFaceName, t.face.c_str(), LF_FACESIZE - 1);
  HFONT f = CreateFontIndirectW(&lf);
  if (detail::Object* o = detail::Find(detail::FromHandle(f))) o->stock = true;
  (*cache)[key] = f;
  return f;
}

std::map<INT_PTR, INT_PTR>& ModalResults() {
  static auto* results = new std::map<INT_PTR, INT_PTR>;
  return *results;
}

HWND Create(HINSTANCE module, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
            const std::wstring& name, bool modal) {
  const RECT px = DialogUnitsToPixels(t.units);
  DWORD style = t.style & ~static_cast<DWORD>(WS_VISIBLE);
  DWORD exStyle = t.exStyle;
  if (t.style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
  if (parent == GetDesktopWindow()) parent = nullptr;
  RECT r{0, 0, px.right - px.left, px.bottom - px.top};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const LONG width = r.right - r.left, height = r.bottom - r.top;
  POINT at{px.left, px.top};
  if (style & WS_CHILD) {
    // A child dialog: in its parent's client coordinates.
  } else if (style & (DS_CENTER | DS_CENTERMOUSE)) {
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (parent) GetWindowRect(parent, &around);
    at = POINT{around.left + (around.right - around.left - width) / 2, around.top + (around.bottom - around.top - height) / 2};
    at.x = std::max<LONG>(0, at.x);
    at.y = std::max<LONG>(0, at.y);
  } else if (!(style & DS_ABSALIGN) && parent) {
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    at.x += origin.x;
    at.y += origin.y;
  }
  const std::wstring cls = t.className.empty() ? std::wstring(L"#32770") : t.className;
  HWND h = CreateWindowExW(exStyle, cls.c_str(), t.caption.c_str(), style, at.x, at.y, width, height, parent, nullptr,
                           module, nullptr);
  if (!h) return nullptr;
  detail::Window* w = detail::FindWindow(h);
  w->dialog = true;
  w->modal = modal;
  w->dlgProc = proc;
  w->templateName = name;
  HFONT font = DialogFont(t);
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (const DialogItem& item : t.items) {
    if (!IsWindow(h)) return nullptr;
    const RECT c = DialogUnitsToPixels(item.units);
    DWORD itemStyle = item.style | WS_CHILD;
    DWORD itemEx = item.exStyle;
    const std::wstring lower = [&] {
      std::wstring s;
      for (wchar_t ch : item.className) s.push_back(platform::ToLowerChar(ch));
      return s;
    }();
    if ((lower == L"edit" || lower == L"listbox") && (itemStyle & WS_BORDER)) {
      itemStyle &= ~static_cast<DWORD>(WS_BORDER);
      itemEx |= WS_EX_CLIENTEDGE;
    }
    HWND control = CreateWindowExW(itemEx, item.className.c_str(), item.text.c_str(), itemStyle, c.left, c.top,
                                   c.right - c.left, c.bottom - c.top, h,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), module, nullptr);
    if (!control) {
      DestroyWindow(h);
      return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (lower == L"button" && (itemStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      if (detail::Window* dw = detail::FindWindow(h)) dw->defaultId = item.id;
    }
  }
  HWND first = GetNextDlgTabItem(h, nullptr, FALSE);
  const LRESULT focus = SendMessageW(h, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(h)) return nullptr;
  if (focus) {
    HWND target = GetNextDlgTabItem(h, nullptr, FALSE);
    if (target) SetFocus(target);
  }
  if ((t.style & WS_VISIBLE) || modal) ShowWindow(h, SW_SHOW);
  return IsWindow(h) ? h : nullptr;
}

}  // namespace

RECT DialogUnitsToPixels(const RECT& u) {
  return RECT{MulDiv(u.left, kBaseX, 4), MulDiv(u.top, kBaseY, 8), MulDiv(u.right, kBaseX, 4), MulDiv(u.bottom, kBaseY, 8)};
}

bool ParseDialogTemplate(std::string_view script, DialogTemplate& out, std::wstring* error) {
  const std::wstring text = platform::Utf8ToWide(script);
  Parser parser(text);
  DialogTemplate parsed;
  if (!parser.Parse(parsed)) {
    if (error) *error = parser.error;
    return false;
  }
  out = std::move(parsed);
  return true;
}

const DialogTemplate* FindDialogTemplate(HINSTANCE module, LPCWSTR name) {
  if (!name) return nullptr;
  HRSRC found = FindResourceW(module, name, RT_DIALOG);
  if (!found) return nullptr;
  const DWORD size = SizeofResource(module, found);
  const void* data = LockResource(LoadResource(module, found));
  if (!data) return nullptr;
  static auto* cache = new std::map<std::pair<const void*, DWORD>, std::unique_ptr<DialogTemplate>>;
  auto key = std::make_pair(data, size);
  auto it = cache->find(key);
  if (it != cache->end()) return it->second.get();
  auto parsed = std::make_unique<DialogTemplate>();
  if (!ParseDialogTemplate(std::string_view(static_cast<const char*>(data), size), *parsed)) {
    (*cache)[key] = nullptr;
    return nullptr;
  }
  return ((*cache)[key] = std::move(parsed)).get();
}

HWND CreateDialogFromTemplate(HINSTANCE module, const DialogTemplate& dialog, HWND parent, DLGPROC proc, LPARAM param,
                              const std::wstring& name) {
  return Create(module, dialog, parent, proc, param, name, false);
}

namespace detail {

std::wstring TemplateNameOf(LPCWSTR name) {
  if (!name) return L"";
  if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name));
  return name;
}

HWND CreateDialogNamed(HINSTANCE module, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
                       const std::wstring& name, bool modal) {
  return Create(module, t, parent, proc, param, name, modal);
}

INT_PTR RunDialogBox(HINSTANCE module, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
                     const std::wstring& name) {
  if (parent == GetDesktopWindow()) parent = nullptr;
  const bool ownerEnabled = parent && IsWindowEnabled(parent);
  if (parent) EnableWindow(parent, FALSE);
  HWND h = Create(module, t, parent, proc, param, name, true);
  INT_PTR result = -1;
  if (h) {
    result = RunModal(h);
    if (IsWindow(h)) DestroyWindow(h);
  }
  if (parent && ownerEnabled) {
    EnableWindow(parent, TRUE);
    SetActiveWindow(parent);
  }
  return result;
}

void StoreModalResult(HWND h, INT_PTR result) { ModalResults()[reinterpret_cast<INT_PTR>(h)] = result; }

bool TakeModalResult(HWND h, INT_PTR& result) {
  auto it = ModalResults().find(reinterpret_cast<INT_PTR>(h));
  if (it == ModalResults().end()) return false;
  result = it->second;
  ModalResults().erase(it);
  return true;
}

}  // namespace detail

INT_PTR DialogBoxFromTemplate(HINSTANCE module, const DialogTemplate& dialog, HWND parent, DLGPROC proc, LPARAM param,
                              const std::wstring& name) {
  return detail::RunDialogBox(module, dialog, parent, proc, param, name);
}

}  // namespace platform::gui

using namespace platform::gui;
using namespace platform::gui::detail;

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  const DialogTemplate* t = FindDialogTemplate(instance, name);
  if (!t) {
    TakeCreationHook();
    return nullptr;
  }
  return CreateDialogNamed(instance, *t, parent, proc, param, TemplateNameOf(name), false);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  const DialogTemplate* t = FindDialogTemplate(instance, name);
  if (!t) {
    TakeCreationHook();
    return -1;
  }
  return RunDialogBox(instance, *t, parent, proc, param, TemplateNameOf(name));
}

BOOL EndDialog(HWND h, INT_PTR result) {
  Window* w = FindWindow(h);
  if (!w || !w->dialog) return FALSE;
  w->ended = true;
  w->result = result;
  StoreModalResult(h, result);
  if (!w->modal) ShowWindow(h, SW_HIDE);
  return TRUE;
}

LRESULT DefDlgProcW(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  if (w->dlgProc) {
    DLGPROC proc = w->dlgProc;
    w->msgResult = 0;
    const INT_PTR handled = proc(h, message, wParam, lParam);
    w = FindWindow(h);
    if (!w) return 0;
    if (handled) {
      switch (message) {
        case WM_INITDIALOG:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC: return handled;
        default: return w->msgResult;
      }
    }
  }
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      HBRUSH brush = reinterpret_cast<HBRUSH>(Deliver(h, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(h)));
      if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
      RECT r;
      GetClientRect(h, &r);
      FillRect(dc, &r, brush);
      return 1;
    }
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(h, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) return 0;
      Deliver(h, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case DM_GETDEFID: return MAKELONG(w->defaultId, DC_HASDEFID);
    case DM_SETDEFID: w->defaultId = static_cast<int>(wParam); return TRUE;
    case WM_COMMAND: return 0;
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* w = FindWindow(dialog);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (Window* cw = FindWindow(c); cw && static_cast<int>(cw->id) == id) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND h) {
  Window* w = FindWindow(h);
  return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND c = GetDlgItem(dialog, id);
  return c ? SetWindowTextW(c, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int size) {
  if (text && size > 0) text[0] = 0;
  HWND c = GetDlgItem(dialog, id);
  return c ? static_cast<UINT>(GetWindowTextW(c, text, size)) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL signedValue) {
  const std::wstring text = signedValue ? std::to_wstring(static_cast<int>(value)) : std::to_wstring(value);
  return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL signedValue) {
  if (translated) *translated = FALSE;
  wchar_t buffer[64];
  if (!GetDlgItemTextW(dialog, id, buffer, 64)) return 0;
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(buffer, &end, 10);
  while (end && *end == L' ') ++end;
  if (!end || *end || end == buffer) return 0;
  if (signedValue ? (v < INT32_MIN || v > INT32_MAX) : (v < 0 || v > UINT32_MAX)) return 0;
  if (translated) *translated = TRUE;
  return static_cast<UINT>(v);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND c = GetDlgItem(dialog, id);
  return c ? SendMessageW(c, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND c = GetDlgItem(dialog, id);
  if (!c) return FALSE;
  SendMessageW(c, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND c = GetDlgItem(dialog, id);
  return c ? static_cast<UINT>(SendMessageW(c, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  Window* w = FindWindow(dialog);
  if (!w) return FALSE;
  for (HWND c : w->children) {
    const int id = GetDlgCtrlID(c);
    if (id >= first && id <= last) SendMessageW(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  if (!rect || !IsWindow(dialog)) return FALSE;
  *rect = DialogUnitsToPixels(*rect);
  return TRUE;
}

LONG GetDialogBaseUnits() { return MAKELONG(6, 13); }

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  Window* w = FindWindow(dialog);
  if (!w || w->children.empty()) return nullptr;
  std::vector<HWND> order = w->children;
  if (previous) std::reverse(order.begin(), order.end());
  auto usable = [](HWND c) {
    Window* cw = FindWindow(c);
    return cw && (cw->style & WS_TABSTOP) && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED);
  };
  auto start = control ? std::find(order.begin(), order.end(), control) : order.end();
  const size_t n = order.size();
  const size_t from = start == order.end() ? n - 1 : static_cast<size_t>(start - order.begin());
  for (size_t k = 1; k <= n; ++k) {
    HWND c = order[(from + k) % n];
    if (usable(c)) return c;
  }
  return nullptr;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  Window* w = FindWindow(dialog);
  if (!w || w->children.empty()) return nullptr;
  std::vector<HWND> order = w->children;
  if (previous) std::reverse(order.begin(), order.end());
  auto at = std::find(order.begin(), order.end(), control);
  if (at == order.end()) return nullptr;
  for (auto it = at + 1; it != order.end(); ++it) {
    Window* cw = FindWindow(*it);
    if (!cw) continue;
    if (!previous && (cw->style & WS_GROUP)) break;
    if ((cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) return *it;
    if (previous && (cw->style & WS_GROUP)) break;
  }
  return control;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !IsWindow(dialog)) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    HWND focus = GetFocus();
    Window* fw = FindWindow(focus);
    const bool button = fw && fw->className == L"Button";
    switch (msg->wParam) {
      case VK_RETURN: {
        if (fw && (fw->style & ES_MULTILINE) && (fw->style & ES_WANTRETURN) && fw->className == L"Edit") break;
        // A control that wants every key (a grid) takes Enter itself.
        if (fw && !button && (SendMessageW(focus, WM_GETDLGCODE, VK_RETURN, 0) & DLGC_WANTALLKEYS)) break;
        int id = 0;
        HWND control = nullptr;
        if (button && (fw->style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON && IsChild(dialog, focus)) {
          id = GetDlgCtrlID(focus);
          control = focus;
        } else {
          const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
          id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
          control = GetDlgItem(dialog, id);
        }
        if (control && !IsWindowEnabled(control)) return TRUE;
        SendMessageW(dialog, WM_COMMAND, MAKELONG(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
        return TRUE;
      }
      case VK_ESCAPE: {
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) return TRUE;
        SendMessageW(dialog, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return TRUE;
      }
      case VK_TAB: {
        const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        if (HWND next = GetNextDlgTabItem(dialog, focus, back)) SetFocus(next);
        return TRUE;
      }
      default: break;
    }
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  DispatchPostedMessages();
  return TRUE;
}
