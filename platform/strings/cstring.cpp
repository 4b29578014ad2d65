#include "platform/strings/cstring.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<StringLoader> g_loader{nullptr};
}

void SetStringLoader(StringLoader loader) { g_loader.store(loader); }

bool LoadResourceString(HINSTANCE module, UINT id, std::wstring& out) {
  StringLoader loader = g_loader.load();
  return loader != nullptr && loader(module, id, out);
}

}  // namespace platform

void AfxFormatStrings(CString& out, LPCWSTR format, LPCWSTR const* texts, int count) {
  out.Empty();
  if (format == nullptr) return;
  for (const wchar_t* p = format; *p; ++p) {
    if (*p == L'%' && p[1] >= L'1' && p[1] <= L'9') {
      int i = p[1] - L'1';
      if (texts != nullptr && i < count && texts[i] != nullptr) out += texts[i];
      ++p;
    } else {
      out += *p;
    }
  }
}

void AfxFormatString1(CString& out, UINT formatId, LPCWSTR text1) {
  CString format;
  format.LoadString(formatId);
  AfxFormatStrings(out, format, &text1, 1);
}

void AfxFormatString2(CString& out, UINT formatId, LPCWSTR text1, LPCWSTR text2) {
  CString format;
  format.LoadString(formatId);
  LPCWSTR texts[] = {text1, text2};
  AfxFormatStrings(out, format, texts, 2);
}

template class CStringT<wchar_t>;
template class CStringT<char>;
