// Vantor's exported HTML conversions.
#include "shared/regex/html/htmlconv.h"

#include <string>

#include "shared/regex/html/htmlengine.h"

namespace {

using namespace vantor::html;

// The working text and the scratch buffer of the rewriting conversions, kept for the next call
// on the same thread: their memory is not mapped and faulted in afresh for every page.
struct Buffers {
  std::wstring work, scratch;
};

CString Rewrite(const std::vector<Pass>& passes, const wchar_t* html) {
  thread_local Buffers buffers;
  buffers.work.assign(html ? html : L"");
  RunPasses<EngineMatcher>(passes, buffers.work, buffers.scratch);
  return CString(buffers.work.data(), int(buffers.work.size()));  // the result: allocated once, to size
}

}  // namespace

CString hxConvertToPlaintext(const wchar_t* html) { return Rewrite(PlaintextPasses(), html); }

CString hxRemoveHTMLHeader(const wchar_t* html) { return Rewrite(HeaderPasses(), html); }

void hxConvertToPlainHTML(const CString& text, CString& html) {
  html = CString(PlainTextToHTML(std::wstring_view(text.GetString(), size_t(text.GetLength()))));
}
