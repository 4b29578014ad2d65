// The framework's tip message box, headless: recorded and printed.
#include <cstdio>
#include <mutex>

#include "framework/messages.h"

namespace {
std::mutex g_mutex;
std::vector<zephra::TipRecord> g_tips;
bool g_printed = true;
}  // namespace

int TipMsgBox(HWND, const wchar_t* caption, const wchar_t* text, UINT flags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_tips.push_back({caption ? caption : L"", text ? text : L"", flags});
  if (g_printed) {
    const char* kind = (flags & KD_TIP_ICONERROR) ? "error" : "info";
    std::fprintf(stderr, "[%s] %s: %s\n", kind, static_cast<const char*>(_bstr_t(caption ? caption : L"")),
                 static_cast<const char*>(_bstr_t(text ? text : L"")));
  }
  return 1;
}

namespace zephra {
std::vector<TipRecord> RecordedTips() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_tips;
}
void ClearTips() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_tips.clear();
}
void SetTipsPrinted(bool printed) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_printed = printed;
}
}  // namespace zephra
