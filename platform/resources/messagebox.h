#pragma once
// The system message box, headless: every box is recorded (owner, text, caption, type) and
// answered at once, by the next answer the test scripted or else by its default button. Boxes
// are also printed to the standard error stream unless switched off.
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_ICONHAND 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFBUTTON4 0x00000300u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONMASK 0x000000F0u
#define MB_DEFMASK 0x00000F00u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
inline int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  return MessageBoxW(owner, text, caption, type);
}

namespace platform::messagebox {

struct Record {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
  int answer;
};

// The answers of the next boxes, in order; a box without a scripted answer takes its default.
void Script(std::vector<int> answers);
// The boxes shown since the last Clear, oldest first.
std::vector<Record> Recorded();
// Forgets the recorded boxes and the answers left in the script.
void Clear();
// Whether boxes are printed (on by default; tests turn it off).
void SetPrinted(bool printed);
// The button a box of `type` takes when nobody answers it.
int DefaultAnswer(UINT type);

}  // namespace platform::messagebox
