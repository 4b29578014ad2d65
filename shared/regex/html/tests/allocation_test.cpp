// What the conversions ask of the allocator: every allocation of this test program is counted
// while a test asks for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "shared/regex/html/tests/conversions.h"

namespace {
bool g_counting = false;
size_t g_calls = 0, g_bytes = 0;

struct Counted {
  size_t calls, bytes;
};
template <class F>
Counted CountAllocations(F&& f) {
  g_calls = g_bytes = 0;
  g_counting = true;
  f();
  g_counting = false;
  return {g_calls, g_bytes};
}
}  // namespace

void* operator new(size_t n) {
  if (g_counting) {
    ++g_calls;
    g_bytes += n;
  }
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

#ifdef VANTOR_HTML_WITH_ENGINE
namespace vantor::html::testing {
namespace {

// A text dense with "<", ">" and line feeds, each of which grows by three characters.
std::wstring TagDense(size_t units) {
  std::wstring t;
  for (size_t i = 0; i < units; ++i) t += L"<b>x</b>\n";
  return t;
}

TEST(Allocation, PlainHTMLIsAllocatedOnceToSize) {
  const CString text(TagDense(20000).c_str());
  CString html;
  Counted c = CountAllocations([&] { hxConvertToPlainHTML(text, html); });
  EXPECT_EQ(c.calls, 1u);
  EXPECT_EQ(c.bytes, (size_t(html.GetLength()) + 1) * sizeof(wchar_t));
}

// Converting a page again takes, beside the compiled passes, only the memory of its result: the
// working text and the scratch buffer of the first conversion serve again.
TEST(Allocation, RewritingConversionsKeepTheirWorkingBuffers) {
  std::wstring page;
  while (page.size() < 1000000) page += L"<p class=x>Cena&nbsp;100 z\u0142 &amp; wysy\u0142ka</p>\r\n<td> a </td>";
  for (CString (*convert)(const wchar_t*) : {hxConvertToPlaintext, hxRemoveHTMLHeader}) {
    CString first = convert(page.c_str());
    CString again;
    Counted c = CountAllocations([&] { again = convert(page.c_str()); });
    EXPECT_EQ(again, first);
    const size_t result = (size_t(again.GetLength()) + 1) * sizeof(wchar_t);
    EXPECT_GE(c.bytes, result);
    EXPECT_LE(c.bytes, result + 512 * 1024) << "beside the result: the compiled passes only";
  }
}

}  // namespace
}  // namespace vantor::html::testing
#endif
