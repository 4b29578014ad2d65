// Substitution: the replacement language, global replacement and the kept records.
#include "shared/regex/tests/regex_test_util.h"

using namespace regex_test;
using regex::GLOBAL;

TEST(RegexSubstitute, ReferencesAndCaseOperations) {
    EXPECT_EQ(subst(L"(\\w+)@(\\w+)", L"$2 at $1", L"me@host."), L"host at me.");
    EXPECT_EQ(subst(L"b", L"[$`|$&|$']", L"abc"), L"a[a|b|c]c");
    EXPECT_EQ(subst(L"x+", L"$&", L"axxb"), L"axxb");
    EXPECT_EQ(subst(L"(\\w+) (\\w+)", L"\\u$1 $2", L"ala ma"), L"Ala ma");
    EXPECT_EQ(subst(L"(\\w+) (\\w+)", L"\\U$1\\E-$2", L"ala ma"), L"ALA-ma");
    EXPECT_EQ(subst(L"(\\w+)", L"\\L$1", L"\u0141\u00d3D\u0179"), L"\u0142\u00f3d\u017a");
    EXPECT_EQ(subst(L"(a)", L"\\$1", L"a"), L"$1");
    EXPECT_EQ(subst(L"(a)", L"\\Q$1\\E!", L"a"), L"$1!");
    EXPECT_EQ(subst(L"(a)(b)?", L"<$2>", L"a"), L"<>");
    EXPECT_EQ(subst(L"(a)", L"$12", L"a"), L"a2");  // the digit that takes the number too high stays text
    EXPECT_EQ(subst(L"a", L"", L"banana"), L"bnn");
}

TEST(RegexSubstitute, ReplacementErrors) {
    auto err = [](const wchar_t* repl) -> std::string {
        try {
            regex::rpattern p(L"(a)", repl);
        } catch (const regex::bad_regexpr& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(err(L"x$"), "invalid backreference in substitution");
    EXPECT_EQ(err(L"$0"), "invalid backreference in substitution");
    EXPECT_EQ(err(L"$x"), "invalid backreference in substitution");
    EXPECT_EQ(err(L"x\\"), "expecting escape sequence in substitution string");
}

TEST(RegexSubstitute, EscapeTranslation) {
    EXPECT_EQ(subst(L"a", L"\\t\\n", L"a", GLOBAL | regex::NORMALIZE), L"\t\n");
    EXPECT_EQ(subst(L"a", L"\\t", L"a", GLOBAL), L"t");
    EXPECT_EQ(subst(L"a", L"x\\\\\\\\y", L"a", GLOBAL | regex::NORMALIZE), L"x\\y");
}

TEST(RegexSubstitute, GlobalEmptyMatchesAdvance) {
    size_t n = 0;
    EXPECT_EQ(subst(L"x*", L"-", L"abc", GLOBAL, &n), L"-a-b-c-");
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(subst(L"x*", L"-", L"axc", GLOBAL, &n), L"-a--c-");
    EXPECT_EQ(subst(L"", L".", L"ab"), L".a.b.");
    EXPECT_EQ(subst(L"a", L"b", L"aaa", 0, &n), L"baa");
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(subst(L"^a", L"b", L"aaa"), L"baa");  // ^ keeps meaning the text start
    EXPECT_EQ(subst(L"\\ba", L"X", L"a aa"), L"X Xa");
    EXPECT_EQ(subst(L"<[^>]*>", L"", L"<p>a<br/>b</p>"), L"ab");
    EXPECT_EQ(subst(L"<b>", L"<strong>", L"<B>x</b><b>", GLOBAL | regex::NOCASE), L"<strong>x</b><strong>");
}

TEST(RegexSubstitute, RangeAndDirectMode) {
    std::wstring s = L"aaaa";
    regex::rpattern p(L"a", L"b", GLOBAL);
    regex::subst_results r;
    EXPECT_EQ(p.substitute(s, r, 1, 2), 2u);
    EXPECT_EQ(s, L"abba");

    // without group references and with NOBACKREFS the subject is rewritten directly
    std::wstring d = L"a-a-a";
    regex::rpattern q(L"a", L"xyz", GLOBAL | regex::NOBACKREFS);
    EXPECT_EQ(q.substitute(d, r), 3u);
    EXPECT_EQ(d, L"xyz-xyz-xyz");
    EXPECT_EQ(r.cbackrefs(), 0u);
    std::wstring e = L"abc";
    regex::rpattern q2(L"x*", L"-", GLOBAL | regex::NOBACKREFS);
    q2.substitute(e, r);
    EXPECT_EQ(e, L"-a-b-c-");

    // Whether records are kept changes nothing else: every search sees the subject as it was,
    // never the text already put in before it.
    for (unsigned records : {0u, unsigned(regex::NOBACKREFS)}) {
        EXPECT_EQ(subst(L"(?<!x)a", L"x", L"aa", GLOBAL | records), L"xx");
        EXPECT_EQ(subst(L"\\ba", L"-", L"aaa a", GLOBAL | records), L"-aa -");
        EXPECT_EQ(subst(L"^a", L"\n", L"aa", GLOBAL | regex::MULTILINE | records), L"\na");
    }
}

TEST(RegexSubstitute, KeptRecords) {
    regex::subst_results r;
    std::wstring s = L"a1 b2 c3";
    regex::rpattern last(L"(\\w)(\\d)", L"$2", GLOBAL);
    last.substitute(s, r);
    EXPECT_EQ(s, L"1 2 3");
    ASSERT_EQ(r.cbackrefs(), 3u);
    EXPECT_EQ(r.str(1), L"c");
    EXPECT_EQ(r.rstart(0), 6u);  // offsets refer to the copy of the subject

    s = L"a1 b2 c3";
    regex::rpattern first(L"(\\w)(\\d)", L"$2", GLOBAL | regex::FIRSTBACKREFS);
    first.substitute(s, r);
    ASSERT_EQ(r.cbackrefs(), 3u);
    EXPECT_EQ(r.str(0), L"a1");
    EXPECT_EQ(r.str(2), L"c3");

    s = L"a1 b2";
    regex::rpattern all(L"(\\w)(\\d)", L"$2", GLOBAL | regex::ALLBACKREFS);
    all.substitute(s, r);
    ASSERT_EQ(r.cbackrefs(), 6u);
    EXPECT_EQ(r.str(4), L"b");
}

TEST(RegexPatternObject, ReinitialisationAndReplacement) {
    regex::rpattern p(L"a+", L"x", GLOBAL);
    EXPECT_THROW(p.init(L"(b"), regex::bad_regexpr);
    std::wstring s = L"caab";
    regex::subst_results r;
    p.substitute(s, r);
    EXPECT_EQ(s, L"cxb");  // unchanged by the failed re-initialisation
    p.init(L"b", L"y", GLOBAL);
    p.substitute(s, r);
    EXPECT_EQ(s, L"cxy");
    p.set_substitution(L"[$&]");
    p.substitute(s, r);
    EXPECT_EQ(s, L"cxy");
    s = L"abc";
    p.substitute(s, r);
    EXPECT_EQ(s, L"a[b]c");
    EXPECT_EQ(p.get_pat(), L"b");
}
