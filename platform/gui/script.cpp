// Scripted modal runs, message boxes and pop-up menus, and what they recorded.
#include <cstdio>
#include <deque>
#include <optional>
#include <set>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"
#include "platform/gui/internal.h"
#include "platform/resources/resources.h"
#include "platform/strings/strings.h"

namespace platform::gui {
namespace {

struct Scripts {
  std::deque<ModalScript> modal;
  std::deque<int> boxes;
  std::deque<UINT> popups;
  std::set<int> held;
  std::vector<ModalRun> runs;
  std::vector<MessageBoxCall> boxCalls;
  std::vector<PopupMenuCall> popupCalls;
  std::vector<UINT> beeps;
  bool echo = true;
};

Scripts& S() {
  static auto* s = new Scripts;
  return *s;
}

void Echo(const std::wstring& line) {
  if (!S().echo) return;
  std::fputs(platform::WideToUtf8(line).c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = {0};
  GetClassNameW(h, name, 64);
  std::wstring lower;
  for (const wchar_t* p = name; *p; ++p) lower.push_back(platform::ToLowerChar(*p));
  return lower;
}

bool Usable(HWND control) { return control && IsWindowVisible(control) && IsWindowEnabled(control); }

void NotifyParent(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (parent)
    SendMessageW(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(GetDlgCtrlID(control)), code),
                 reinterpret_cast<LPARAM>(control));
}

bool SelectIndex(HWND control, int index) {
  const std::wstring cls = ClassOf(control);
  if (cls == L"combobox") {
    if (SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return false;
    NotifyParent(control, CBN_SELCHANGE);
    return true;
  }
  if (cls == L"listbox") {
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
      if (SendMessageW(control, LB_SETSEL, TRUE, index) == LB_ERR) return false;
    } else if (SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0) == LB_ERR) {
      return false;
    }
    if (style & LBS_NOTIFY) NotifyParent(control, LBN_SELCHANGE);
    return true;
  }
  return false;
}

// Offers a key to the class-library objects from the target up to the dialog, as a message
// loop does before it dispatches.
bool PreTranslate(HWND dialog, MSG& msg) {
  for (HWND h = msg.hwnd; h; h = GetParent(h)) {
    if (CWnd* w = CWnd::FromHandlePermanent(h))
      if (w->PreTranslateMessage(&msg)) return true;
    if (h == dialog) break;
  }
  return false;
}

void Play(HWND dialog, const ModalScript::Step& step, ModalRun& run) {
  auto refuse = [&](const std::wstring& what) { run.refused.push_back(what); };
  HWND control = step.kind == ModalScript::Step::Key || step.kind == ModalScript::Step::Action
                     ? nullptr
                     : GetDlgItem(dialog, step.id);
  const std::wstring id = std::to_wstring(step.id);
  switch (step.kind) {
    case ModalScript::Step::Type: {
      const std::wstring cls = ClassOf(control);
      if (!Usable(control) || (GetWindowLongW(control, GWL_STYLE) & ES_READONLY && cls != L"combobox")) {
        refuse(L"Type " + id);
        return;
      }
      if (cls == L"combobox") {
        SetWindowTextW(control, step.text.c_str());
        NotifyParent(control, CBN_EDITCHANGE);
        return;
      }
      // Edits, and controls of other classes that are edits underneath (they keep a selection).
      const bool editLike = cls == L"edit" || cls.rfind(L"richedit", 0) == 0 ||
                            (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0;
      if (!editLike) {
        refuse(L"Type " + id);
        return;
      }
      SendMessageW(control, EM_SETSEL, 0, -1);
      SendMessageW(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(step.text.c_str()));
      return;
    }
    case ModalScript::Step::Check: {
      if (!Usable(control) || ClassOf(control) != L"button") {
        refuse(L"Check " + id);
        return;
      }
      const bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (checked != (step.value != 0)) SendMessageW(control, BM_CLICK, 0, 0);
      return;
    }
    case ModalScript::Step::Select:
      if (!Usable(control) || !SelectIndex(control, step.value)) refuse(L"Select " + id);
      return;
    case ModalScript::Step::SelectText: {
      if (!Usable(control)) {
        refuse(L"Select " + id);
        return;
      }
      const std::wstring cls = ClassOf(control);
      const UINT find = cls == L"combobox" ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT;
      const LRESULT index = SendMessageW(control, find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(step.text.c_str()));
      if (index < 0 || !SelectIndex(control, static_cast<int>(index))) refuse(L"Select " + id + L" " + step.text);
      return;
    }
    case ModalScript::Step::Click: {
      if (!control) {
        SendMessageW(dialog, WM_COMMAND, MAKELONG(static_cast<WORD>(step.id), 0), 0);
        return;
      }
      if (!Usable(control)) {
        refuse(L"Click " + id);
        return;
      }
      if (ClassOf(control) == L"button") {
        SendMessageW(control, BM_CLICK, 0, 0);
      } else {
        SendMessageW(control, WM_LBUTTONDOWN, 0, 0);
        SendMessageW(control, WM_LBUTTONUP, 0, 0);
      }
      return;
    }
    case ModalScript::Step::Key: {
      HWND focus = GetFocus();
      MSG msg{focus && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog, WM_KEYDOWN,
              static_cast<WPARAM>(step.value), 0, 0, POINT{}};
      if (!PreTranslate(dialog, msg) && !IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      return;
    }
    case ModalScript::Step::Action:
      if (step.action) step.action(dialog);
      return;
  }
}

bool Matches(const ModalScript& script, const std::wstring& name, const std::wstring& caption) {
  if (script.Dialog().empty()) return true;
  return platform::CompareNoCase(script.Dialog(), name) == 0 || script.Dialog() == caption;
}

std::wstring WindowText(HWND h) {
  const int n = GetWindowTextLengthW(h);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(h, text.data(), n + 1);
  text.resize(static_cast<size_t>(n));
  return text;
}

std::vector<int> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {IDOK};
  }
}

}  // namespace

ModalScript& ModalScript::Type(int id, std::wstring text) {
  m_steps.push_back(Step{Step::Type, id, std::move(text), 0, {}});
  return *this;
}
ModalScript& ModalScript::Check(int id, bool checked) {
  m_steps.push_back(Step{Step::Check, id, L"", checked ? 1 : 0, {}});
  return *this;
}
ModalScript& ModalScript::Select(int id, int index) {
  m_steps.push_back(Step{Step::Select, id, L"", index, {}});
  return *this;
}
ModalScript& ModalScript::Select(int id, std::wstring text) {
  m_steps.push_back(Step{Step::SelectText, id, std::move(text), 0, {}});
  return *this;
}
ModalScript& ModalScript::Click(int id) {
  m_steps.push_back(Step{Step::Click, id, L"", 0, {}});
  return *this;
}
ModalScript& ModalScript::Key(UINT virtualKey) {
  m_steps.push_back(Step{Step::Key, 0, L"", static_cast<int>(virtualKey), {}});
  return *this;
}
ModalScript& ModalScript::Do(std::function<void(HWND)> action) {
  m_steps.push_back(Step{Step::Action, 0, L"", 0, std::move(action)});
  return *this;
}

void QueueModal(ModalScript script) { S().modal.push_back(std::move(script)); }
void QueueMessageBoxAnswer(int button) { S().boxes.push_back(button); }
void QueuePopupCommand(UINT command) { S().popups.push_back(command); }
void SetKeyDown(int key, bool down) {
  if (down) S().held.insert(key & 0xFF);
  else S().held.erase(key & 0xFF);
}
void ClearScripts() {
  Scripts& s = S();
  s.modal.clear();
  s.boxes.clear();
  s.popups.clear();
  s.held.clear();
}

std::vector<ModalRun> ModalRuns() { return S().runs; }
std::vector<MessageBoxCall> MessageBoxes() { return S().boxCalls; }
std::vector<PopupMenuCall> PopupMenus() { return S().popupCalls; }
std::vector<UINT> MessageBeeps() { return S().beeps; }
void ClearRecords() {
  S().runs.clear();
  S().boxCalls.clear();
  S().popupCalls.clear();
  S().beeps.clear();
}
void SetEcho(bool on) { S().echo = on; }

namespace detail {

INT_PTR RunModal(HWND dialog) {
  Scripts& s = S();
  Window* w = FindWindow(dialog);
  if (!w) return -1;
  ModalRun run;
  run.dialog = w->templateName;
  run.owner = w->owner;
  const std::wstring caption = WindowText(dialog);
  std::optional<ModalScript> script;
  if (!s.modal.empty() && Matches(s.modal.front(), run.dialog, caption)) {
    script = std::move(s.modal.front());
    s.modal.pop_front();
  }
  run.scripted = script.has_value();
  auto ended = [&] {
    Window* d = FindWindow(dialog);
    return !d || d->ended;
  };
  DispatchPostedMessages();
  if (script)
    for (const ModalScript::Step& step : script->Steps()) {
      if (ended()) break;
      Play(dialog, step, run);
      DispatchPostedMessages();
    }
  if (!ended()) {
    // The default answer: closed as the Escape key closes it.
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    SendMessageW(dialog, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    DispatchPostedMessages();
    if (!ended()) EndDialog(dialog, IDCANCEL);
  }
  INT_PTR result = IDCANCEL;
  if (!TakeModalResult(dialog, result)) result = IDCANCEL;
  run.result = result;
  run.caption = IsWindow(dialog) ? WindowText(dialog) : caption;
  if (!run.scripted) Echo(L"[okno] " + (run.dialog.empty() ? run.caption : run.dialog) + L" -> " + std::to_wstring(result));
  s.runs.push_back(run);
  return result;
}

UINT AnswerPopup(HMENU menu, UINT flags, int x, int y, HWND owner) {
  Scripts& s = S();
  PopupMenuCall call;
  call.owner = owner;
  call.at = POINT{x, y};
  call.flags = flags;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    if (state & MF_SEPARATOR) {
      call.items.push_back(L"-");
      continue;
    }
    wchar_t text[256] = {0};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    call.items.push_back(text);
  }
  if (!s.popups.empty()) {
    call.command = s.popups.front();
    s.popups.pop_front();
    call.scripted = true;
  } else {
    Echo(L"[menu] " + std::to_wstring(count) + L" pozycji -> 0");
  }
  s.popupCalls.push_back(call);
  return call.command;
}

}  // namespace detail
}  // namespace platform::gui

using namespace platform::gui;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  Scripts& s = S();
  MessageBoxCall call;
  call.owner = owner;
  call.text = text ? text : L"";
  call.caption = caption ? caption : L"Błąd";
  call.type = type;
  const std::vector<int> buttons = ButtonsOf(type);
  if (!s.boxes.empty()) {
    call.answer = s.boxes.front();
    s.boxes.pop_front();
    call.scripted = true;
  } else {
    const size_t index = (type & MB_DEFMASK) >> 8;
    call.answer = index < buttons.size() ? buttons[index] : buttons.front();
    Echo(L"[komunikat] " + call.caption + L": " + call.text + L" -> " + std::to_wstring(call.answer));
  }
  s.boxCalls.push_back(call);
  return call.answer;
}

BOOL MessageBeep(UINT type) {
  platform::gui::S().beeps.push_back(type);
  return TRUE;
}

SHORT GetKeyState(int key) { return S().held.count(key & 0xFF) ? static_cast<SHORT>(0x8000) : 0; }
SHORT GetAsyncKeyState(int key) { return GetKeyState(key); }
