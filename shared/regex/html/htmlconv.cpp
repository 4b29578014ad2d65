// Vantor's exported HTML conversions.
#include "shared/regex/html/htmlconv.h"

#include <string>

#include "shared/regex/html/htmlengine.h"

CString hxConvertToPlaintext(const wchar_t* html) {
  using namespace vantor::html;
  return CString(RunPasses<EngineMatcher>(PlaintextPasses(), html ? std::wstring(html) : std::wstring()));
}

CString hxRemoveHTMLHeader(const wchar_t* html) {
  using namespace vantor::html;
  return CString(RunPasses<EngineMatcher>(HeaderPasses(), html ? std::wstring(html) : std::wstring()));
}

void hxConvertToPlainHTML(const CString& text, CString& html) {
  html = CString(vantor::html::PlainTextToHTML(std::wstring_view(text.GetString(), size_t(text.GetLength()))));
}
