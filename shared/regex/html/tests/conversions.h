#pragma once
// The conversions as the tests run them: through the reference engine with the product's driver,
// and, when the product's engine is built, through the exported functions.
#include <string>

#include "shared/regex/html/htmlpasses.h"
#include "shared/regex/html/tests/pcre_reference.h"
#ifdef VANTOR_HTML_WITH_ENGINE
#include "shared/regex/html/htmlconv.h"
#endif

namespace vantor::html::testing {

struct ViaReference {
  static std::wstring Plain(const std::wstring& s) { return RunPasses<PcreMatcher>(PlaintextPasses(), s); }
  static std::wstring Header(const std::wstring& s) { return RunPasses<PcreMatcher>(HeaderPasses(), s); }
  static std::wstring ToHTML(const std::wstring& s) { return PlainTextToHTML(s); }
};

#ifdef VANTOR_HTML_WITH_ENGINE
struct ViaExports {
  static std::wstring Plain(const std::wstring& s) { return std::wstring(LPCWSTR(hxConvertToPlaintext(s.c_str()))); }
  static std::wstring Header(const std::wstring& s) { return std::wstring(LPCWSTR(hxRemoveHTMLHeader(s.c_str()))); }
  static std::wstring ToHTML(const std::wstring& s) {
    CString html(L"stale");
    hxConvertToPlainHTML(CString(s.c_str()), html);
    return std::wstring(LPCWSTR(html));
  }
};
#endif

// Wide text of a file's bytes: UTF-8 where it is valid, otherwise each byte as its own character
// (so that pages saved in a single-byte code page still come through whole).
std::wstring WidenBytes(const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace vantor::html::testing
