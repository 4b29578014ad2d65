// Fuzzes hxConvertToPlaintext, hxRemoveHTMLHeader and hxConvertToPlainHTML. Inputs are taken as
// UTF-8 (other bytes as single characters). With the product's engine built, both rewriting
// conversions must give the text that PCRE2 gives for the same passes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "shared/regex/html/tests/conversions.h"
#ifdef VANTOR_HTML_WITH_ENGINE
#include "shared/regex/html/htmlengine.h"  // the engine's templates, instrumented in this unit
#endif

using namespace vantor::html;
using namespace vantor::html::testing;

namespace {

void Agree(const std::wstring& ours, const std::vector<Pass>& passes, const std::wstring& input, const char* what) {
  std::wstring reference;
  try {
    reference = ReferencePasses(passes, input);
  } catch (const std::runtime_error&) {
    return;  // PCRE2 gave up (match limit): nothing to compare with
  }
  if (ours != reference) {
    std::fprintf(stderr, "%s differs from PCRE2\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  std::wstring input = WidenBytes(std::string(reinterpret_cast<const char*>(data), size));
  if (input.find(L'\0') != std::wstring::npos) input.resize(input.find(L'\0'));  // the functions take C strings
#ifdef VANTOR_HTML_WITH_ENGINE
  using Conv = ViaExports;
#else
  using Conv = ViaReference;
#endif
  std::wstring plain = Conv::Plain(input);
  std::wstring header = Conv::Header(input);
  std::wstring html = Conv::ToHTML(input);
  if (html.size() < input.size()) std::abort();
#ifdef VANTOR_HTML_WITH_ENGINE
  if (RunPasses<EngineMatcher>(PlaintextPasses(), input) != plain) std::abort();
  if (RunPasses<EngineMatcher>(HeaderPasses(), input) != header) std::abort();
  Agree(plain, PlaintextPasses(), input, "plain text");
  Agree(header, HeaderPasses(), input, "header removal");
#else
  Agree(plain, PlaintextPasses(), input, "plain text through the driver");
  Agree(header, HeaderPasses(), input, "header removal through the driver");
#endif
  return 0;
}
