// Compile errors, the tokenizer and the character sets.
#include "shared/regex/regex_charset.h"
#include "shared/regex/regex_syntax.h"
#include "shared/regex/tests/regex_test_util.h"

using namespace regex_test;
using regex::perl_syntax;

TEST(RegexCompileErrors, EveryMessage) {
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"(a", "mismatched parenthesis"},
        {L"a)", "mismatched parenthesis"},
        {L"*a", "quantifier not expected"},
        {L"^*", "quantifier not expected"},
        {L"a|*b", "quantifier not expected"},
        {L"\\b+", "quantifier not expected"},
        {L"a{3,2}", "Can't do {n, m} with n > m"},
        {L"?a", "ill-formed regular expression"},
        {L"(?", "ill-formed regular expression"},
        {L"(?:", "ill-formed regular expression"},
        {L"(?q)", "bad extension sequence"},
        {L"(?--i)", "bad extension sequence"},
        {L"(?<x)", "bad extension sequence"},
        {L"(?(a)b)", "bad extension sequence"},
        {L"(?(0)b)", "bad extension sequence"},
        {L"(?Rx)", "bad extension sequence"},
        {L"(?#abc", "Expecting end of comment"},
        {L"(a)(?(1)b|c|d)", "Too many alternates in conditional subexpression"},
        {L"\\c", "incomplete escape sequence \\c"},
        {L"a\\E", "quotemeta turned off, but was never turned on"},
        {L"[abc", "expecting end of character set"},
        {L"[\\", "expecting end of character set"},
        {L"[a\\x", "expecting end of character set"},
        {L"[z-a]", "invalid range specified in character set"},
        {L"(a)\\5", "reference to nonexistent group"},
        {L"(a)*+", "quantifier not expected"},
        {L"a**", "quantifier not expected"},
        {L"(?R)*", "recursion sub-expression cannot be quantified"},
        {L"(?=a)*", "quantifier not expected"},
        {L"(?<=a){2}", "quantifier not expected"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(compile_error(c.first), c.second);
    }
}

TEST(RegexCompileErrors, ValidEdgeForms) {
    for (const wchar_t* ok : {L"a{2,}", L"a{,2}", L"a{2", L"a{x}", L"[]a]", L"[a-]", L"[^]a]", L"\\1(a)", L"(?i)",
                              L"(?:)", L"()", L"(?i-m:x)", L"a{4294967295}", L"(?=)", L"(?!)", L"x(?#c)y"})
        EXPECT_EQ(compile_error(ok), "") << narrow(ok);
}

// Back-references are renumbered and checked once, after the whole pattern is read: also when
// they stand after an unbounded alternative or inside a group that is itself referenced.
TEST(RegexCompileErrors, BackReferencesCheckedExactlyOnce) {
    EXPECT_EQ(compile_error(L"(.*|\\5)x"), "reference to nonexistent group");
    EXPECT_EQ(compile_error(L"(?:x)((y)\\2)\\1"), "");
    auto o = run(L"(?:x)((y)\\2)\\1", L"xyyyy");
    ASSERT_TRUE(o.matched);
    EXPECT_EQ(o.groups[0], at(0, 5));
    EXPECT_EQ(o.groups[1], at(1, 3));
    EXPECT_EQ(o.groups[2], at(1, 2));
    EXPECT_EQ(span(L"(?:a)(.*|(b)\\2)c", L"abbc"), at(0, 4));
    EXPECT_EQ(compile_error(L"(?:a)(.*|(b)\\3)c"), "reference to nonexistent group");
}

// A repetition bound that does not fit in 32 bits is refused instead of wrapping around.
TEST(RegexCompileErrors, RepetitionBoundAbove32BitsRefused) {
    EXPECT_EQ(compile_error(L"a{4294967296}"), "repetition bound out of range");
    EXPECT_EQ(compile_error(L"a{1,99999999999}"), "repetition bound out of range");
    EXPECT_EQ(span(L"a{4294967295}", L"a{4294967295}"), at(0, 13));  // minimum "unbounded": a plain brace
    EXPECT_EQ(span(L"a{1,4294967295}", L"aaa"), at(0, 3));
}

TEST(RegexCompileErrors, HostilePatternsGetAnError) {
    std::wstring deep(5000, L'(');
    deep += L"a";
    deep += std::wstring(5000, L')');
    EXPECT_EQ(compile_error(deep), "regular expression too complex");
    std::wstring wide;
    for (int i = 0; i < 3000; ++i) wide += L"a?";
    EXPECT_EQ(compile_error(wide), "");
}

TEST(RegexTokenizer, TokensByContext) {
    perl_syntax<wchar_t> syn(regex::EXTENDED);
    std::wstring t = L" a * ?";
    auto c = t.cbegin();
    EXPECT_EQ(syn.next_token(c, t.cend()), regex::NO_TOKEN);
    EXPECT_EQ(*c, L'a');
    ++c;
    EXPECT_EQ(syn.next_quantifier(c, t.cend()), regex::tok_star_lazy);

    perl_syntax<wchar_t> plain(0);
    std::wstring e = L"?i-m:x)";
    c = e.cbegin();
    plain.set_flags(regex::MULTILINE);
    EXPECT_EQ(plain.next_extension(c, e.cend()), regex::tok_ext_plain);
    EXPECT_EQ(plain.get_flags(), unsigned(regex::NOCASE));
    EXPECT_EQ(*c, L'x');
    std::wstring m = L"?i)";
    c = m.cbegin();
    EXPECT_EQ(plain.next_extension(c, m.cend()), regex::tok_ext_plain);
    EXPECT_EQ(*c, L')');
    std::wstring lb = L"?< =x)";
    c = lb.cbegin();
    EXPECT_EQ(syn.next_extension(c, lb.cend()), regex::tok_ext_behind);
    c = lb.cbegin();
    EXPECT_EQ(plain.next_extension(c, lb.cend()), regex::tok_ext_unknown);

    std::wstring s = L"$`$'$&$";
    c = s.cbegin();
    EXPECT_EQ(plain.next_substitution_token(c, s.cend()), regex::tok_subst_before);
    EXPECT_EQ(plain.next_substitution_token(c, s.cend()), regex::tok_subst_after);
    EXPECT_EQ(plain.next_substitution_token(c, s.cend()), regex::tok_subst_match);
    EXPECT_EQ(plain.next_substitution_token(c, s.cend()), regex::tok_subst_group);
    EXPECT_EQ(c, s.cend());

    std::wstring n = L"1234";
    c = n.cbegin();
    EXPECT_EQ(perl_syntax<wchar_t>::read_number(c, n.cend(), 999), 123u);
    EXPECT_EQ(*c, L'4');
}

TEST(RegexCharsets, BuildingAndMembership) {
    using namespace regex::detail;
    node_arena arena;
    charset_builder b;
    b.add_range(0xFF, 0x101, false);
    b.add_range(300, 310, false);
    b.add_range(311, 320, false);
    b.add_range(330, 340, false);
    const charset* cs = b.finalize(&arena);
    EXPECT_TRUE(cs->bit(0xFF));
    ASSERT_EQ(cs->nranges, 3u);
    EXPECT_EQ(cs->ranges[0].first, 256u);
    EXPECT_EQ(cs->ranges[1].first, 300u);
    EXPECT_EQ(cs->ranges[1].last, 320u);
    EXPECT_TRUE(cs->test_char(315));
    EXPECT_FALSE(cs->test_char(325));
    EXPECT_TRUE(cs->test_char(0x100));

    charset_builder n;
    n.merge(intrinsic_charset(IC_NOT_DIGIT));
    const charset* nd = n.finalize(&arena);
    EXPECT_TRUE(nd->test_char('x'));
    EXPECT_FALSE(nd->test_char('5'));
    EXPECT_TRUE(nd->test_char(0x105));
    EXPECT_FALSE(nd->no_extras);

    charset_builder neg;  // a negated set of bits and ranges only is merged as its complement
    neg.negated = true;
    neg.add_char('a', false);
    neg.add_range(0x400, 0x4FF, false);
    const charset* ns = neg.finalize(&arena);
    charset_builder m;
    m.merge(*ns);
    const charset* ms = m.finalize(&arena);
    EXPECT_FALSE(ms->test_char('a'));
    EXPECT_TRUE(ms->test_char('b'));
    EXPECT_FALSE(ms->test_char(0x430));
    EXPECT_TRUE(ms->test_char(0x3A9));
    EXPECT_TRUE(ms->no_extras);
}

TEST(RegexCharsets, ClassificationIgnoresTheProcessLocale) {
    using namespace regex::detail;
    EXPECT_TRUE(is_ctype(0x105, CT_ALPHA));
    EXPECT_EQ(to_upper(0x105), 0x104u);
    EXPECT_EQ(sb_upper(0xFF), 0xFF);  // single-byte rule: the partner U+0178 is out of range
    EXPECT_EQ(sb_upper(0xE9), 0xC9);
    EXPECT_TRUE(is_ctype(0x10428, CT_LOWER));  // a letter above U+FFFF
    EXPECT_EQ(to_upper(0x10428), 0x10400u);
    EXPECT_FALSE(is_ctype('5', CT_ALPHA));
}
