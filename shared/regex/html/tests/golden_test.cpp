// The conversions of the generated token soups (testing/html_corpus/soups) must stay what they
// were when the expected files were written: byte for byte, however the passes are driven. Run
// with VANTOR_WRITE_EXPECTED=1 to write the expected files afresh, only when an output is meant
// to change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/regex/html/tests/conversions.h"
#include "shared/regex/tests/corpus_text.h"

namespace vantor::html::testing {
namespace {

const std::string kSoups = std::string(VANTOR_HTML_CORPUS_DIR) + "/soups/";

#ifdef VANTOR_HTML_WITH_ENGINE
using Product = ViaExports;
#else
using Product = ViaReference;
#endif

// The page that hxConvertToPlainHTML wraps every text in; the expected file holds what stands
// between its two halves.
const std::wstring kPageStart =
    L"<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1250\"></head><body>";
const std::wstring kPageEnd = L"</body></html>";

std::wstring ToHTMLBody(const std::wstring& text) {
  std::wstring html = Product::ToHTML(text);
  if (html.size() < kPageStart.size() + kPageEnd.size() || html.compare(0, kPageStart.size(), kPageStart) != 0 ||
      html.compare(html.size() - kPageEnd.size(), kPageEnd.size(), kPageEnd) != 0)
    return L"(not wrapped in the page) " + html;
  return html.substr(kPageStart.size(), html.size() - kPageStart.size() - kPageEnd.size());
}

struct Conversion {
  const char* file;
  std::wstring (*run)(const std::wstring&);
  std::wstring (*reference)(const std::wstring&);  // the same passes matched by PCRE2, if any
};

const Conversion kConversions[] = {
    {"plaintext.txt", Product::Plain, ViaReference::Plain},
    {"header.txt", Product::Header, ViaReference::Header},
    {"tohtml.txt", ToHTMLBody, nullptr},
};

TEST(Soups, ConversionsGiveTheExpectedText) {
  const std::vector<std::wstring> inputs = corpus_text::read_lines(kSoups + "inputs.txt");
  ASSERT_GE(inputs.size(), 2000u);
  for (const Conversion& c : kConversions) {
    if (corpus_text::writing_expected()) {
      std::vector<std::wstring> out;
      for (const std::wstring& in : inputs) out.push_back(c.run(in));
      corpus_text::write_lines(kSoups + c.file, out);
      continue;
    }
    const std::vector<std::wstring> expected = corpus_text::read_lines(kSoups + c.file);
    ASSERT_EQ(expected.size(), inputs.size()) << c.file;
    for (size_t i = 0; i < inputs.size(); ++i) {
      ASSERT_EQ(c.run(inputs[i]), expected[i]) << c.file << " line " << i + 1;
      if (c.reference) {
        ASSERT_EQ(c.reference(inputs[i]), expected[i]) << c.file << " line " << i + 1 << " with PCRE2";
      }
    }
  }
}

}  // namespace
}  // namespace vantor::html::testing
