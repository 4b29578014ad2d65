#include "host/command.h"

#include <algorithm>
#include <cstdlib>

#include "platform/strings/cstring.h"
#include "platform/com/com.h"

namespace host {
namespace {

std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

}  // namespace

bool RegisterCommand(const Command& command) {
  Table().push_back(command);
  return true;
}

std::vector<Command> Commands() {
  std::vector<Command> sorted = Table();
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Command& a, const Command& b) { return a.order < b.order; });
  return sorted;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Table())
    if (name == command.name) return &command;
  return nullptr;
}

void Write(FILE* stream, const std::wstring& text) {
  std::fputs(static_cast<const char*>(_bstr_t(text.c_str())), stream);
  std::fflush(stream);
}

std::wstring Widen(const std::string& text) { return CString(text.c_str()).GetString(); }

std::wstring Count(unsigned long long n, const wchar_t* one, const wchar_t* few, const wchar_t* many) {
  const unsigned long long units = n % 10, tens = n % 100;
  const wchar_t* noun = n == 1 ? one : (units >= 2 && units <= 4 && !(tens >= 12 && tens <= 14)) ? few : many;
  return std::to_wstring(n) + L" " + noun;
}

bool ParsePositive(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && end && !*end && value > 0 && value <= 0x7fffffff;
}

std::wstring ValueText(const VARIANT& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return std::wstring();
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR)) || !text.bstrVal) return std::wstring();
  return text.bstrVal;
}

int ReportFailure(const std::wstring& what, HRESULT hr) {
  CString code;
  code.Format(L" (błąd 0x%08X)", static_cast<unsigned>(hr));
  std::wstring text = L"vantor: " + what + code.GetString() + L"\n";
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description) {
      CString lines(description);
      lines.Replace(L"\r\n", L"\n");
      lines.TrimRight();
      if (!lines.IsEmpty()) text += std::wstring(lines.GetString()) + L"\n";
    }
    SysFreeString(description);
    info->Release();
  }
  Write(stderr, text);
  return 1;
}

}  // namespace host
