#include "platform/resources/messagebox.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/base/utf8.h"

namespace {

std::mutex& Mutex() {
  static auto* m = new std::mutex;
  return *m;
}
struct State {
  std::deque<int> script;
  std::vector<platform::messagebox::Record> recorded;
  bool printed = true;
};
State& Boxes() {
  static auto* state = new State;
  return *state;
}

}  // namespace

namespace platform::messagebox {

int DefaultAnswer(UINT type) {
  static const std::vector<int> kButtons[] = {
      {IDOK},          {IDOK, IDCANCEL},   {IDABORT, IDRETRY, IDIGNORE},      {IDYES, IDNO, IDCANCEL},
      {IDYES, IDNO},   {IDRETRY, IDCANCEL}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
  };
  const UINT set = type & MB_TYPEMASK;
  const std::vector<int>& buttons = set < std::size(kButtons) ? kButtons[set] : kButtons[0];
  const UINT index = (type & MB_DEFMASK) >> 8;
  return index < buttons.size() ? buttons[index] : buttons[0];
}

void Script(std::vector<int> answers) {
  std::lock_guard<std::mutex> lock(Mutex());
  Boxes().script.assign(answers.begin(), answers.end());
}

std::vector<Record> Recorded() {
  std::lock_guard<std::mutex> lock(Mutex());
  return Boxes().recorded;
}

void Clear() {
  std::lock_guard<std::mutex> lock(Mutex());
  Boxes().recorded.clear();
  Boxes().script.clear();
}

void SetPrinted(bool printed) {
  std::lock_guard<std::mutex> lock(Mutex());
  Boxes().printed = printed;
}

}  // namespace platform::messagebox

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  std::lock_guard<std::mutex> lock(Mutex());
  State& boxes = Boxes();
  int answer = platform::messagebox::DefaultAnswer(type);
  if (!boxes.script.empty()) {
    answer = boxes.script.front();
    boxes.script.pop_front();
  }
  boxes.recorded.push_back({owner, text ? text : L"", caption ? caption : L"", type, answer});
  if (boxes.printed)
    std::fprintf(stderr, "[%s] %s\n", platform::utf8::FromWide(caption ? caption : L"").c_str(),
                 platform::utf8::FromWide(text ? text : L"").c_str());
  return answer;
}
