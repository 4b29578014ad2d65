// Matching behaviour of the dialect; every case runs in all modes and both forms.
#include <random>

#include "shared/regex/tests/regex_test_util.h"

using namespace regex_test;
using regex::MULTILINE;
using regex::NOCASE;
using regex::NORMALIZE;
using regex::SINGLELINE;
using regex::EXTENDED;

TEST(RegexAnchors, LineAndTextAnchorsInBothLineModes) {
    EXPECT_EQ(span(L"^a", L"b\na"), none);
    EXPECT_EQ(span(L"^a", L"b\na", MULTILINE), at(2, 3));
    EXPECT_EQ(span(L"a$", L"a\n"), at(0, 1));
    EXPECT_EQ(span(L"a$", L"a\nb"), none);
    EXPECT_EQ(span(L"a$", L"a\nb", MULTILINE), at(0, 1));
    EXPECT_EQ(span(L"a\\z", L"a\n"), none);
    EXPECT_EQ(span(L"a\\Z", L"a\n"), at(0, 1));
    EXPECT_EQ(span(L"\\Aa", L"ba", MULTILINE), none);
    EXPECT_EQ(span(L"(?m)^b$", L"a\nb\nc"), at(2, 3));
}

TEST(RegexAnchors, WordBoundaries) {
    EXPECT_EQ(span(L"\\bfoo\\b", L"a foo."), at(2, 5));
    EXPECT_EQ(span(L"\\bfoo\\b", L"afoo"), none);
    EXPECT_EQ(span(L"\\bf", L"foo"), at(0, 1));
    EXPECT_EQ(span(L"o\\B", L"foo"), at(1, 2));
    EXPECT_EQ(span(L"\\b", L"   "), none);
}

TEST(RegexAtoms, DotSingleLineAndEnd) {
    EXPECT_EQ(span(L"a.c", L"a\nc"), none);
    EXPECT_EQ(span(L"a.c", L"a\nc", SINGLELINE), at(0, 3));
    EXPECT_EQ(span(L"a.", L"a"), none);
    EXPECT_EQ(span(L"a.c", L"a\rc"), at(0, 3));
}

TEST(RegexAtoms, LiteralsCaseAndWideCharacters) {
    EXPECT_EQ(span(L"hello", L"say HeLLo", NOCASE), at(4, 9));
    EXPECT_EQ(span(L"hello", L"say HeLLo"), none);
    EXPECT_EQ(span(L"\u0105\u017c", L"x\u0104\u017b", NOCASE), at(1, 3));
    EXPECT_EQ(span(L"\u01c5+", L"x\u01c4\u01c5\u01c6", NOCASE), at(1, 4));  // title case: all three forms
    // characters above U+FFFF match as themselves
    EXPECT_EQ(span(L"\U0001F600+", L"a\U0001F600\U0001F600b"), at(1, 3));
    EXPECT_EQ(span(L"[\U0001F600-\U0001F64F]", L"x\U0001F610"), at(1, 2));
    EXPECT_EQ(span(L"[\U0001F600-\U0001F64F]", L"x\uF610"), none);
}

TEST(RegexAtoms, EscapesWithAndWithoutTranslation) {
    EXPECT_EQ(span(L"a\\nb", L"anb"), at(0, 3));
    EXPECT_EQ(span(L"a\\nb", L"a\nb", NORMALIZE), at(0, 3));
    EXPECT_EQ(span(L"\\t", L"\t", NORMALIZE), at(0, 1));
    EXPECT_EQ(span(L"\\x41\\x4a", L"AJ"), at(0, 2));
    EXPECT_EQ(span(L"\\x414", L"A4"), at(0, 2));
    EXPECT_EQ(span(L"\\cA\\ca", std::wstring(L"\x01\x01")), at(0, 2));
    EXPECT_EQ(span(L"\\e", L"\x1b"), at(0, 1));
    EXPECT_EQ(span(L"\\101", L"A"), at(0, 1));
    EXPECT_EQ(span(L"\\10", std::wstring(1, L'\b')), at(0, 1));  // octal: fewer than eleven groups
    EXPECT_EQ(span(L"a\\", L"a\\"), at(0, 2));
    EXPECT_EQ(span(L"\\.\\*", L"a.*"), at(1, 3));
}

TEST(RegexAtoms, QuotedRuns) {
    EXPECT_EQ(span(L"\\Qa.b*\\E", L"xa.b*+"), at(1, 5));
    EXPECT_EQ(span(L"\\Q(x", L"a(x"), at(1, 3));
}

TEST(RegexSets, BracketSetsAndClasses) {
    EXPECT_EQ(span(L"[a-z]+", L"ABC", NOCASE), at(0, 3));
    EXPECT_EQ(span(L"[]a]+", L"x]a]"), at(1, 4));
    EXPECT_EQ(span(L"[a-]+", L"x-a-"), at(1, 4));
    EXPECT_EQ(span(L"[^<>]+", L"<ab>"), at(1, 3));
    EXPECT_EQ(span(L"[\\n]", L"n"), at(0, 1));
    EXPECT_EQ(span(L"[\\n]", L"\n"), none);
    EXPECT_EQ(span(L"[\\n]", L"\n", NORMALIZE), at(0, 1));
    EXPECT_EQ(span(L"[\\e][\\cj][\\x41][\\101]", L"\x1b\nAA"), at(0, 4));
    EXPECT_EQ(span(L"[\\D]+", L"ab5"), at(0, 2));
    EXPECT_EQ(span(L"[\\D]", L"\u0105"), at(0, 1));
    EXPECT_EQ(span(L"[\\W]+", L"_ !"), at(1, 3));
    EXPECT_EQ(span(L"[[:blank:]]", L"a b"), at(1, 2));
    EXPECT_EQ(span(L"[[:^digit:]]+", L"12\u0105b3"), at(2, 4));
    EXPECT_EQ(span(L"[[:alpha:]_]+", L"1ab_c2"), at(1, 5));
    EXPECT_EQ(span(L"[[:upper:]]+", L"abC", NOCASE), at(0, 3));
    EXPECT_EQ(span(L"[[:lower:]]+", L"abC"), at(0, 2));
    EXPECT_EQ(span(L"[:digit:]", L"d"), at(0, 1));  // no class outside brackets: a set of : d i g t
    EXPECT_EQ(span(L"[\\b]", L"\b"), at(0, 1));
    EXPECT_EQ(span(L"[a\\-z]+", L"b-az"), at(1, 4));
}

TEST(RegexSets, WideRangesFoldAtTestTime) {
    // lower-case Cyrillic only, matched case-insensitively against upper case
    EXPECT_EQ(span(L"[\u0430-\u044f]+", L"\u0410\u0411\u0430", NOCASE), at(0, 3));
    EXPECT_EQ(span(L"[\u0430-\u044f]+", L"\u0410\u0411\u0430"), at(2, 3));
    EXPECT_EQ(span(L"[\u00ff-\u0101]+", L"\u00ff\u0100\u0101\u0102"), at(0, 3));
    EXPECT_EQ(span(L"\\w+", L"\u0142\u00f3d\u017a"), at(0, 4));
    EXPECT_EQ(span(L"\\s+", L"a\u3000\u2003b"), at(1, 3));
}

TEST(RegexQuantifiers, GreedyAndLazyAtoms) {
    EXPECT_EQ(span(L"a*a", L"aaa"), at(0, 3));
    EXPECT_EQ(span(L"a*?b", L"aaab"), at(0, 4));
    EXPECT_EQ(span(L"a{0}b", L"ab"), at(1, 2));
    EXPECT_EQ(span(L"a{0,0}", L"a"), at(0, 0));
    EXPECT_EQ(span(L"a{2,}", L"aaaa"), at(0, 4));
    EXPECT_EQ(span(L"a{,2}", L"aaa"), at(0, 2));
    EXPECT_EQ(span(L"a{2", L"aa{2"), at(1, 4));
    EXPECT_EQ(span(L"a{x}", L"a{x}"), at(0, 4));
    EXPECT_EQ(span(L"a{3}?", L"aaaa"), at(0, 3));
    EXPECT_EQ(span(L"ab*", L"abbb"), at(0, 4));
    EXPECT_EQ(span(L"ab+?", L"abbb"), at(0, 2));
    EXPECT_EQ(span(L"a??b", L"ab"), at(0, 2));
    EXPECT_EQ(span(L"x{2,}", L"xxxxxxxxxxxxxxxxxxxx"), at(0, 20));
    EXPECT_EQ(span(L"<.+?>", L"<a><b>"), at(0, 3));
    EXPECT_EQ(span(L"[ab]{2,3}?c", L"ababc"), at(1, 5));
}

TEST(RegexQuantifiers, RepeatedBackReferences) {
    EXPECT_EQ(span(L"(ab)\\1*", L"ababab"), at(0, 6));
    EXPECT_EQ(span(L"(ab)\\1*?x", L"ababx"), at(0, 5));
    EXPECT_EQ(span(L"()\\1*x", L"x"), at(0, 1));
    EXPECT_EQ(span(L"(a?)\\1+b", L"b"), at(0, 1));
    EXPECT_EQ(span(L"(ab)\\1{2}", L"abababab"), at(0, 6));
}

TEST(RegexQuantifiers, GroupRepetitionAndEmptyIterationGuard) {
    auto o = run(L"(a|b)*c", L"ababc");
    ASSERT_TRUE(o.matched);
    EXPECT_EQ(o.groups[0], at(0, 5));
    EXPECT_EQ(o.groups[1], at(3, 4));
    EXPECT_EQ(span(L"(a?)*", L"b"), at(0, 0));
    EXPECT_EQ(span(L"(a?){3}", L""), at(0, 0));
    EXPECT_EQ(span(L"(ab){2,3}", L"abababab"), at(0, 6));
    EXPECT_EQ(span(L"(ab){2,3}?", L"abababab"), at(0, 4));
    EXPECT_EQ(span(L"(?:a|ab)*c", L"abac"), at(0, 4));
    EXPECT_EQ(span(L"(?:a*)*b", L"aaab"), at(0, 4));
    EXPECT_EQ(span(L"(?:a*?)+?b", L"aab"), at(0, 3));
    EXPECT_EQ(span(L"(a|b)*?c", L"abc"), at(0, 3));
    EXPECT_EQ(span(L"(?:(a)|b){2}\\1", L"aba"), at(0, 3));
    EXPECT_EQ(span(L"(?:x(y)?)+", L"xyx"), at(0, 3));
}

// A greedy group around one character, as in ([^>])*, gives its repeats back one at a time
// and keeps the last one taken, in every mode.
TEST(RegexQuantifiers, RepeatedOneCharacterGroup) {
    auto g1 = [](const std::wstring& pat, const std::wstring& subject, unsigned flags = 0) {
        auto o = run(pat, subject, flags);
        return o.matched && o.groups.size() > 1 ? o.groups[1] : none;
    };
    EXPECT_EQ(span(L"<([^>])*>", L"x<abc>y"), at(1, 6));
    EXPECT_EQ(g1(L"<([^>])*>", L"x<abc>y"), at(4, 5));
    EXPECT_EQ(span(L"<( )*p([^>])*>", L"<  P class=x>", NOCASE), at(0, 13));
    EXPECT_EQ(g1(L"<( )*p([^>])*>", L"<  P class=x>", NOCASE), at(2, 3));
    EXPECT_EQ(span(L"(a)*", L"b"), at(0, 0));
    EXPECT_EQ(g1(L"(a)*", L"b"), none);
    EXPECT_EQ(g1(L"(a)*a", L"aaa"), at(1, 2));
    EXPECT_EQ(span(L"(a)*\\1", L"aaa"), at(0, 3));
    EXPECT_EQ(g1(L"(a)*\\1", L"aaa"), at(1, 2));
    EXPECT_EQ(span(L"(a){2,3}b", L"ab aab aaaab"), at(3, 6));
    EXPECT_EQ(g1(L"(a){2,3}b", L"aaaab"), at(3, 4));
    EXPECT_EQ(g1(L"(?:x(a)*)*y", L"xaaxay"), at(4, 5));
    EXPECT_EQ(g1(L"(?:x(a)*)*y", L"xaaxy"), at(2, 3));
    EXPECT_EQ(span(L"(.)*\\n", L"ab\ncd"), none);
    EXPECT_EQ(span(L"([a-c])*d", L"ABCd", NOCASE), at(0, 4));
    EXPECT_EQ(span(L"(b)?(?(1)a|c)*d", L"baad"), at(0, 4));
    EXPECT_EQ(span(L"(x)(?(1)a)*", L"xaa"), at(0, 3));
    // A run far longer than the recursive mode's stack allows for one frame per repeat.
    std::wstring tag = L"<" + std::wstring(200000, L'a') + L">";
    EXPECT_EQ(span(L"<([^>])*>", tag), at(0, long(tag.size())));
}

TEST(RegexGroups, CapturesAndNumbering) {
    auto o = run(L"(?:x)(y)\\1", L"xyy");
    ASSERT_TRUE(o.matched);
    ASSERT_EQ(o.groups.size(), 2u);
    EXPECT_EQ(o.groups[1], at(1, 2));
    EXPECT_EQ(span(L"(?:a)(?:b)(c)\\1", L"abcc"), at(0, 4));
    EXPECT_EQ(span(L"(?:(a)|b)\\1", L"b"), none);
    EXPECT_EQ(span(L"(ab)\\1", L"abAB", NOCASE), at(0, 4));
    auto n = run(L"(a)|(b)", L"b");
    EXPECT_EQ(n.groups[1], none);
    EXPECT_EQ(n.groups[2], at(0, 1));
}

TEST(RegexGroups, InlineModifiersEndWithTheirGroup) {
    EXPECT_EQ(span(L"a(?i)b", L"aB"), at(0, 2));
    EXPECT_EQ(span(L"(?i)a", L"A"), at(0, 1));
    EXPECT_EQ(span(L"(?i:a)b", L"Ab"), at(0, 2));
    EXPECT_EQ(span(L"(?i:a)b", L"AB"), none);
    EXPECT_EQ(span(L"((?i)a)b", L"AB"), none);
    EXPECT_EQ(span(L"(?s).", L"\n"), at(0, 1));
    EXPECT_EQ(span(L"(?x) a b # note\n c", L"abc"), at(0, 3));
    EXPECT_EQ(span(L"a * ?b", L"aab", EXTENDED), at(0, 3));
    EXPECT_EQ(span(L"[ a]+", L"x a", EXTENDED), at(1, 3));
    EXPECT_EQ(span(L"(?#comment)ab", L"ab"), at(0, 2));
}

TEST(RegexGroups, AtomicGroupsAndLookahead) {
    EXPECT_EQ(span(L"(?>a*)a", L"aaa"), none);
    EXPECT_EQ(span(L"(?>a|ab)c", L"abc"), none);
    EXPECT_EQ(span(L"(?>ab|a)c", L"abc"), at(0, 3));
    EXPECT_EQ(span(L"(?=ab)a", L"ab"), at(0, 1));
    EXPECT_EQ(span(L"(?!b).", L"b"), none);
    EXPECT_EQ(span(L"(?!)", L"abc"), none);
    EXPECT_EQ(span(L"a(?=(b))", L"ab"), at(0, 1));
    EXPECT_EQ(span(L"(?>x+)+y", L"xxxy"), at(0, 4));
    auto o = run(L"(?=(\\w+))\\1:", L"abc:");
    EXPECT_EQ(o.groups[1], at(0, 3));
}

TEST(RegexGroups, LookbehindFixedAndVariable) {
    EXPECT_EQ(span(L"(?<=ab)c", L"abc"), at(2, 3));
    EXPECT_EQ(span(L"(?<=a)b", L"b"), none);
    EXPECT_EQ(span(L"(?<!a)b", L"b"), at(0, 1));
    EXPECT_EQ(span(L"(?<=a|bcd)x", L"bcdx"), at(3, 4));
    EXPECT_EQ(span(L"(?<=\\d+)x", L"a12x"), at(3, 4));
    EXPECT_EQ(span(L"(?<=a(b))c\\1", L"abcb"), at(2, 4));
    EXPECT_EQ(span(L"(?<=ab|b)c", L"xbc"), at(2, 3));
    EXPECT_EQ(span(L"(?<=<b>).*?(?=</b>)", L"<b>bold</b>"), at(3, 7));
}

// A negative look-behind with alternatives of different widths fails when any of them matches
// before the position (not just the first candidate).
TEST(RegexGroups, NegativeVariableLookbehindFailsWhenAnyCandidateMatches) {
    EXPECT_EQ(span(L"(?<!ab|b)c", L"xbc"), none);
    EXPECT_EQ(span(L"(?<!ab|b)c", L"abc"), none);
    EXPECT_EQ(span(L"(?<!ab|b)c", L"xac"), at(2, 3));
    EXPECT_EQ(span(L"(?<!a\\d*)x", L"a123x"), none);
    EXPECT_EQ(span(L"(?<!a\\d*)x", L"b123x"), at(4, 5));
}

TEST(RegexGroups, Conditionals) {
    EXPECT_EQ(span(L"(a)?(?(1)b|c)", L"ab"), at(0, 2));
    EXPECT_EQ(span(L"(a)?(?(1)b|c)", L"c"), at(0, 1));
    EXPECT_EQ(span(L"^(a)?(?(1)b|c)$", L"ac"), none);
    EXPECT_EQ(span(L"(?(?=\\d)\\d+|[a-z]+)", L"--42"), at(2, 4));
    EXPECT_EQ(span(L"(?(?=\\d)\\d+|[a-z]+)", L"--ab"), at(2, 4));
    EXPECT_EQ(span(L"(?(?<=x)a|b)", L"xa"), at(1, 2));
    EXPECT_EQ(span(L"(?(?!x)a|b)+", L"ab"), at(0, 1));
    // a one-branch conditional whose condition fails matches the empty string
    EXPECT_EQ(span(L"(a)?(?(1)b)c", L"c"), at(0, 1));
    EXPECT_EQ(span(L"<(?(?=x)x|y)>", L"<y>"), at(0, 3));
}

TEST(RegexGroups, Recursion) {
    EXPECT_EQ(span(L"\\((?:[^()]|(?R))*\\)", L"x(a(b)c)y"), at(1, 8));
    EXPECT_EQ(span(L"a(?:(?R))?b", L"aaabbb"), at(0, 6));
    EXPECT_EQ(span(L"a(?:(?R))?b", L"aaab"), at(2, 4));
    EXPECT_EQ(span(L"(?:(?R))?x", L"x"), at(0, 1));  // recursion at the attempt's start is skipped
}

TEST(RegexSearch, StartPositions) {
    EXPECT_EQ(span(L"^ab", L"xab"), none);
    EXPECT_EQ(span(L"b", L"abcb", regex::RIGHTMOST), at(3, 4));
    EXPECT_EQ(span(L"b+", L"abbcb", regex::RIGHTMOST), at(4, 5));
    EXPECT_EQ(span(L".*x", L"ab\nx", SINGLELINE), at(0, 4));
    EXPECT_EQ(span(L"abc", L"ab"), none);
    EXPECT_EQ(span(L"needle", L"haystack with a needle and another needle"), at(16, 22));
    EXPECT_EQ(span(L"NEEDLE", L"haystack with a neeDle", NOCASE), at(16, 22));
    EXPECT_EQ(span(L"(?:ab)+c", L"aabababc"), at(1, 8));
}

TEST(RegexSearch, NulTerminatedPointerText) {
    regex::rpattern_c p(L"b+");
    regex::match_results_c r;
    const wchar_t text[] = L"abb\0bbb";
    ASSERT_TRUE(p.match(text, r));
    EXPECT_EQ(r.rstart(0), 1u);
    EXPECT_EQ(r.rlength(0), 2u);
    regex::rpattern_c q(L"c");
    EXPECT_FALSE(q.match(text, r));
    EXPECT_EQ(p.count(L"ab bbb b"), 3u);
}

TEST(RegexSearch, ResultsHoldOnlyCapturingGroups) {
    regex::rpattern p(L"(?:x)(?>y)(z)(?(1)a)");
    regex::match_results r;
    const std::wstring text = L"xyza";
    ASSERT_TRUE(p.match(text, r));
    EXPECT_EQ(r.cbackrefs(), 2u);
    EXPECT_EQ(r.str(1), L"z");
    EXPECT_EQ(p.cgroups(), 2u);
    EXPECT_FALSE(p.match(std::wstring(L"q"), r));
    EXPECT_EQ(r.cbackrefs(), 2u);
    EXPECT_FALSE(r.matched(0));
}

// An alternation of words, looked up in a trie, gives what the plain alternation gives (the
// same words, the first one wrapped in a group so that no trie is built): the first alternative
// in written order that lets the rest of the pattern match, with and without case, in every mode.
TEST(RegexAlternation, WordTrieGivesThePlainAlternationsAnswers) {
    std::mt19937 rng(37);
    const std::wstring letters = L"abAB\u0105\u0104\u212A";
    auto word = [&] {
        std::wstring w;
        for (size_t n = 1 + rng() % 4; n > 0; --n) w += letters[rng() % letters.size()];
        return w;
    };
    const std::wstring tails[] = {L"", L"b", L"\\b", L"a?b", L"(?=a)", L"$"};
    for (int round = 0; round < 300; ++round) {
        std::vector<std::wstring> words;
        for (size_t n = 2 + rng() % 6; n > 0; --n) words.push_back(word());
        std::wstring alts, plain;
        for (size_t i = 0; i < words.size(); ++i) {
            alts += (i ? L"|" : L"") + words[i];
            plain += i ? L"|" + words[i] : L"(?:" + words[i] + L")";
        }
        const std::wstring& tail = tails[rng() % std::size(tails)];
        const unsigned flags = rng() % 2 ? unsigned(regex::NOCASE) : 0u;
        std::wstring subject;
        for (size_t n = rng() % 12; n > 0; --n) subject += rng() % 4 ? word() : L" ";
        for (const std::wstring& pat : {alts, L"(" + alts + L")" + tail, L"x|(?:" + alts + L")+" + tail}) {
            std::wstring same = pat;
            same.replace(same.find(alts), alts.size(), plain);
            ASSERT_EQ(run(pat, subject, flags), run(same, subject, flags)) << narrow(pat) << " on " << narrow(subject);
            ASSERT_EQ(subst(pat, L"[$&]", subject, regex::GLOBAL | flags), subst(same, L"[$&]", subject, regex::GLOBAL | flags))
                << narrow(pat) << " on " << narrow(subject);
        }
    }
    // The work at a position does not grow with the number of words.
    auto words_steps = [](int words, unsigned flags) {
        std::wstring alts;
        for (int i = 0; i < words; ++i) alts += (i ? L"|" : L"") + std::wstring(L"w") + std::to_wstring(1000 + i) + L"x";
        std::wstring text;
        for (int i = 0; i < 2000; ++i) text += L"w" + std::to_wstring(i % 9) + L" ";
        regex::rpattern p(alts, flags);
        regex::match_results r;
        EXPECT_FALSE(p.match(text, r));
        return r.steps();
    };
    for (unsigned flags : {0u, unsigned(regex::NOCASE)})
        EXPECT_LE(words_steps(300, flags), words_steps(3, flags)) << "flags " << flags;
    // where the leftmost-first order decides
    EXPECT_EQ(span(L"(?:ab|a)b", L"abb"), at(0, 3));
    EXPECT_EQ(span(L"(?:a|ab)b", L"ab"), at(0, 2));
    EXPECT_EQ(span(L"(a|ab)(c|bcd)(d*)", L"abcd"), at(0, 4));
    EXPECT_EQ(run(L"(a|ab)(c|bcd)(d*)", L"abcd").groups[1], at(0, 1));
}
