// The literal searches that pick where the passes ask the matcher, against plain loops over
// random text with many near misses (both cases, keys cut short, spaces and slashes in tags).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "shared/regex/html/htmlpasses.h"
#include "shared/regex/html/tests/pcre_reference.h"
#ifdef VANTOR_HTML_WITH_ENGINE
#include "shared/regex/html/htmlengine.h"
#endif

namespace vantor::html {
namespace {

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

size_t NaiveFind(const std::wstring& s, std::wstring_view lit, size_t from, size_t to) {
  for (size_t i = from; i + lit.size() <= to; ++i) {
    size_t k = 0;
    while (k < lit.size() && Lower(s[i + k]) == Lower(lit[k])) ++k;
    if (k == lit.size()) return i;
  }
  return std::wstring::npos;
}

std::wstring RandomText(std::mt19937& rng, size_t n) {
  static const std::wstring alphabet = L"<</ >>;&adDAhHeEtT\n\x105\x104x";
  std::wstring s(n, L' ');
  for (auto& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

TEST(LiteralSearch, AgreesWithAPlainLoop) {
  std::mt19937 rng(7);
  const std::wstring_view literals[] = {L"<", L"a", L"\n", L"ad", L"</ad>", L"&ad;", L"head", L"\n\n\n", L"<hEad>"};
  for (int round = 0; round < 400; ++round) {
    std::wstring s = RandomText(rng, rng() % 90);
    for (std::wstring_view lit : literals) {
      size_t to = s.empty() ? 0 : rng() % (s.size() + 1);
      size_t from = to == 0 ? 0 : rng() % (to + 1);
      for (size_t f = from; f <= to; f += 1 + rng() % 5)
        ASSERT_EQ(FindNoCase(s, lit, f, to), NaiveFind(s, lit, f, to)) << "literal " << round << " from " << f;
    }
  }
  // A match that ends exactly at the end of the range, in every lane position.
  for (size_t pad = 0; pad < 20; ++pad) {
    std::wstring s = std::wstring(pad, L'x') + L"</HEAD>";
    EXPECT_EQ(FindNoCase(s, L"</head>", 0, s.size()), pad);
    EXPECT_EQ(FindNoCase(s, L"</head>", 0, s.size() - 1), std::wstring::npos);
  }
}

// Where the next candidate of a tag pass starts: an `open` character, any `before`
// characters, then the key.
bool NaiveKeyed(const Pass& p, const std::wstring& s, size_t from, size_t& start, size_t& keyEnd) {
  for (size_t i = from; i < s.size(); ++i) {
    if (s[i] != p.open) continue;
    size_t k = i + 1;
    while (k < s.size() && p.before.find(s[k]) != std::wstring_view::npos) ++k;
    if (NaiveFind(s, p.key, k, std::min(s.size(), k + p.key.size())) == k) {
      start = i;
      keyEnd = k + p.key.size();
      return true;
    }
  }
  return false;
}

TEST(LiteralSearch, TagCandidatesAgreeWithAPlainLoop) {
  std::mt19937 rng(11);
  const Pass passes[] = {
      Pass{L"", L"", Reach::Keyed, L"head", L'<', L" /", L">", nullptr},
      Pass{L"", L"", Reach::Keyed, L"ad", L'<', L" ", L">", nullptr},
      Pass{L"", L"", Reach::Keyed, L"a", L'<', L" ", L">", nullptr},
  };
  for (int round = 0; round < 400; ++round) {
    std::wstring s = RandomText(rng, rng() % 120);
    for (const Pass& p : passes)
      for (size_t from = 0; from <= s.size(); ++from) {
        size_t start = 0, keyEnd = 0, wantStart = 0, wantEnd = 0;
        bool found = FindKeyed(p, s, from, start, keyEnd);
        ASSERT_EQ(found, NaiveKeyed(p, s, from, wantStart, wantEnd)) << round << " from " << from;
        if (found) {
          ASSERT_EQ(start, wantStart);
          ASSERT_EQ(keyEnd, wantEnd);
        }
      }
  }
}

// The driver rewrites over the text itself while the replacements fit and moves to a second
// buffer at the first one that does not, whichever comes first.
TEST(Driver, ReplacementsLongerAndShorterThanTheirMatches) {
  using testing::PcreMatcher;
  auto run = [](const Pass& p, std::wstring s) {
    RunPass<PcreMatcher>(p, s);
    return s;
  };
  const Pass grow{L"a+", L"XYZ", Reach::Whole, L"", 0, L"", L"", nullptr};
  EXPECT_EQ(run(grow, L"aaaa b a c aa d"), L"XYZ b XYZ c XYZ d");
  EXPECT_EQ(run(grow, L"a aaaaaa"), L"XYZ XYZ");
  EXPECT_EQ(run(grow, L"aaa"), L"XYZ");
  EXPECT_EQ(run(grow, L"bbb"), L"bbb");
  // A computed replacement: each run of digits becomes its length in letters.
  const Pass count{L"[0-9]+", L"", Reach::Whole, L"", 0, L"", L"", [](std::wstring_view m, std::wstring& out) {
                     out.append(m.size(), L'#');
                     if (m.size() == 1) out += L"!!";
                   }};
  EXPECT_EQ(run(count, L"12345 x 1 y 22 7"), L"##### x #!! y ## #!!");
  EXPECT_EQ(run(count, L"1 2 3"), L"#!! #!! #!!");
}

#ifdef VANTOR_HTML_WITH_ENGINE
// The engine's matcher, counting the steps of every search the driver asks for.
struct CountingMatcher : EngineMatcher {
  static inline uint64_t steps = 0;
  using EngineMatcher::EngineMatcher;
  bool Find(const std::wstring& s, size_t from, size_t to, size_t& b, size_t& e) {
    bool found = EngineMatcher::Find(s, from, to, b, e);
    steps += Steps();
    return found;
  }
  bool MatchAt(const std::wstring& s, size_t at, size_t to, size_t& e) {
    bool found = EngineMatcher::MatchAt(s, at, to, e);
    steps += Steps();
    return found;
  }
};

// Pages where every candidate of a pass fails before one closing character at the very end:
// ten times the text takes about ten times the work, as a normal page does.
TEST(Driver, FailingCandidatesBeforeADistantTailTakeLinearWork) {
  const struct {
    const wchar_t* unit;
    const wchar_t* tail;
    const std::vector<Pass>& passes;
  } pages[] = {
      {L"&b ", L";", PlaintextPasses()},
      {L"a & b ", L";", PlaintextPasses()},
      {L"<brx ", L">", PlaintextPasses()},
      {L"</bodyx ", L">", HeaderPasses()},
      {L"&#12", L";", PlaintextPasses()},
  };
  auto work = [](const auto& page, size_t length) {
    std::wstring text;
    while (text.size() < length) text += page.unit;
    CountingMatcher::steps = 0;
    RunPasses<CountingMatcher>(page.passes, text + page.tail);
    return CountingMatcher::steps;
  };
  for (const auto& page : pages) {
    uint64_t small = work(page, 16000), large = work(page, 160000);
    EXPECT_GT(small, 0u);
    EXPECT_LE(large, 11 * small) << "unit " << std::wstring(page.unit) << ": " << small << " steps at 16k, " << large
                                 << " at 160k";
  }
}
#endif

}  // namespace
}  // namespace vantor::html
