// Every pass of both conversions, run over the HTML corpus, must give the same text with the
// product's engine and driver as PCRE2's own global substitution gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "shared/regex/html/tests/conversions.h"
#ifdef VANTOR_HTML_WITH_ENGINE
#include "shared/regex/html/htmlengine.h"
#endif

namespace vantor::html::testing {
namespace {

std::vector<std::filesystem::path> CorpusFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(VANTOR_HTML_CORPUS_DIR))
    if (e.is_regular_file() && e.path().extension() == ".html") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

template <class M>
std::wstring Rewritten(const Pass& pass, std::wstring s) {
  RunPass<M>(pass, s);
  return s;
}

// Runs the passes one by one and stops at the first pass where an implementation differs.
void CrossCheck(const char* conversion, const std::vector<Pass>& passes, const std::wstring& input,
                const std::string& file) {
  std::wstring s = input;
  for (size_t i = 0; i < passes.size(); ++i) {
    std::wstring expected = ReferencePass(passes[i], s);
    ASSERT_EQ(Rewritten<PcreMatcher>(passes[i], s), expected)
        << conversion << " pass " << i + 1 << " through the driver, " << file;
#ifdef VANTOR_HTML_WITH_ENGINE
    ASSERT_EQ(Rewritten<EngineMatcher>(passes[i], s), expected)
        << conversion << " pass " << i + 1 << " with the engine, " << file;
#endif
    s = std::move(expected);
  }
#ifdef VANTOR_HTML_WITH_ENGINE
  std::wstring exported = std::string(conversion) == "plaintext" ? ViaExports::Plain(input) : ViaExports::Header(input);
  EXPECT_EQ(exported, s) << conversion << " exported, " << file;
#endif
}

TEST(CrossCheck, CorpusIsThere) { EXPECT_GE(CorpusFiles().size(), 8u); }

TEST(CrossCheck, EveryPassOnTheCorpus) {
  for (const auto& path : CorpusFiles()) {
    std::wstring text = WidenBytes(ReadFile(path.string()));
    ASSERT_FALSE(text.empty()) << path;
    CrossCheck("plaintext", PlaintextPasses(), text, path.filename().string());
    CrossCheck("header", HeaderPasses(), text, path.filename().string());
  }
}

// The whole corpus as one page, and cut at odd places so that tags and references break open.
TEST(CrossCheck, CorpusJoinedAndCut) {
  std::wstring all;
  for (const auto& path : CorpusFiles()) all += WidenBytes(ReadFile(path.string()));
  CrossCheck("plaintext", PlaintextPasses(), all, "whole corpus");
  CrossCheck("header", HeaderPasses(), all, "whole corpus");
  for (size_t cut = 1; cut < all.size(); cut += all.size() / 7 + 13) {
    CrossCheck("plaintext", PlaintextPasses(), all.substr(cut, 3000), "piece at " + std::to_string(cut));
    CrossCheck("header", HeaderPasses(), all.substr(cut, 3000), "piece at " + std::to_string(cut));
  }
}

}  // namespace
}  // namespace vantor::html::testing
