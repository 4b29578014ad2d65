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
  const std::wstring_view text = html ? std::wstring_view(html) : std::wstring_view();
  ReserveLarge(buffers.work, text.size());
  buffers.work.assign(text);
  std::wstring result;  // the last pass writes it: allocated once, to the size of its input
  RunPassesInto<EngineMatcher>(passes, buffers.work, buffers.scratch, result);
  return CString(std::move(result));
}

}  // namespace

CString hxConvertToPlaintext(const wchar_t* html) { return Rewrite(PlaintextPasses(), html); }

CString hxRemoveHTMLHeader(const wchar_t* html) { return Rewrite(HeaderPasses(), html); }

void hxConvertToPlainHTML(const CString& text, CString& html) {
  html = CString(PlainTextToHTML(std::wstring_view(text.GetString(), size_t(text.GetLength()))));
}
