// Engine internals: the backtracking stack, the arena, the renumbering, and deep matches.
#include "shared/regex/tests/regex_test_util.h"

using namespace regex_test;

TEST(RegexHeteroStack, PushPopTypeCheckAndUnwind) {
    regex::hetero_stack st;
    EXPECT_EQ(st.blocks(), 0u);
    st.push(1.5);
    EXPECT_EQ(st.blocks(), 1u);
    for (int i = 0; i < 1000; ++i) {
        st.push(i);
        EXPECT_EQ(st.pop<int>(), i);
    }
    EXPECT_EQ(st.blocks(), 1u);
    try {
        st.pop<bool>();
        FAIL() << "type error expected";
    } catch (const regex::hetero_stack::type_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("type error in hetero_stack (requested type: bool", 0), 0u) << e.what();
    }
    auto m = st.mark();
    for (int i = 0; i < 100000; ++i) st.push(static_cast<long long>(i));
    EXPECT_GT(st.blocks(), 1u);
    st.unwind(m);
    EXPECT_EQ(st.mark(), m);
    EXPECT_EQ(st.pop<double>(), 1.5);
    EXPECT_TRUE(st.empty());
}

TEST(RegexHeteroStack, TopOfEmptyStackIsATypeError) {
    regex::hetero_stack st;
    EXPECT_THROW(st.top<int>(), regex::hetero_stack::type_error);
}

TEST(RegexArena, RenumberingAndFreshRecords) {
    std::vector<unsigned> none_hidden;
    EXPECT_EQ(regex::detail::renumber(3, none_hidden), 3u);
    std::vector<unsigned> hidden{1, 2};
    EXPECT_EQ(regex::detail::renumber(1, hidden), 3u);
    EXPECT_EQ(regex::detail::renumber(0, hidden), 0u);
    regex::backref_tag<const wchar_t*> r;
    EXPECT_FALSE(r.matched);
    EXPECT_FALSE(r.prev_iter.valid);
    EXPECT_EQ(r.prev_iter.pos, nullptr);
    regex::detail::node_arena a;
    void* p1 = a.allocate(0);
    void* p2 = a.allocate(400);
    EXPECT_NE(p1, p2);
}

// A long run through a repeated group used to recurse once per iteration and overflow the call
// stack. The recursive mode now hands the attempt to the stack-safe driver when its budget runs
// out, with the same result.
TEST(RegexDeepMatches, LongRunsDoNotOverflowTheStack) {
    std::wstring spaces(200000, L' ');
    std::wstring text = L"<" + spaces + L"x>";
    for (unsigned mode : {0u, 1u, 2u}) {
        regex::rpattern p(L"<(?:\\s|\\w)*>", 0, mode);
        regex::match_results r;
        ASSERT_TRUE(p.match(text, r)) << "mode " << mode;
        EXPECT_EQ(r.rlength(0), text.size());
        regex::rpattern q(L"(a|b)*c", 0, mode);
        std::wstring ab;
        for (int i = 0; i < 50000; ++i) ab += L"ab";
        ab += L"c";
        ASSERT_TRUE(q.match(ab, r));
        EXPECT_EQ(r.rstart(1), ab.size() - 2);
    }
    std::wstring long_tag = L"<a " + std::wstring(100000, L'x') + L">";
    EXPECT_EQ(subst(L"<(?:[^>])*>", L"", long_tag + L"t"), L"t");
}

TEST(RegexDeepMatches, TooDeepRecursionIsNoMatchNotACrash) {
    std::wstring nested = std::wstring(100000, L'(') + std::wstring(100000, L')');
    for (unsigned mode : {0u, 1u}) {
        regex::rpattern p(L"\\((?:(?R))*\\)", 0, mode);
        regex::match_results r;
        EXPECT_NO_THROW(p.match(nested, r));
        std::wstring small = L"((()))";
        ASSERT_TRUE(p.match(small, r));
        EXPECT_EQ(r.rlength(0), 6u);
    }
}

TEST(RegexDeepMatches, ManyBacktrackingPointsAgreeAcrossModes) {
    auto o = run(L"(?:(a+)|b)*?(?<=a)c\\1", L"aabaab aabac aaca");
    ASSERT_TRUE(o.matched);
    EXPECT_EQ(o.groups[0], at(13, 17));
    EXPECT_EQ(o.groups[1], at(14, 15));
    EXPECT_FALSE(run(L"(?>(\\w+?)(\\d*))+=\\1", L"ab12cd=cd").matched);
    EXPECT_TRUE(run(L"(?>(\\w+?)(\\d*))+=\\1", L"ab12cd=d").matched);
}

// Every attempt has a step budget: a pattern that backtracks without end is stopped with an error
// of its own, while searches that do not are never stopped, however long their text.
TEST(RegexLimits, StepBudgetStopsRunawaySearchesWithItsOwnError) {
    const uint64_t per_attempt = 10000000, per_char = 256;
    const std::wstring runaway = std::wstring(28, L'a') + L"cb";
    for (unsigned mode : {0u, 1u, 2u}) {
        regex::rpattern p(L"(a+)+b", 0, mode);
        regex::match_results r;
        EXPECT_THROW(p.match(runaway, r), regex::search_budget_exceeded) << "mode " << mode;
        EXPECT_GE(r.steps(), per_attempt);
        EXPECT_LE(r.steps(), per_attempt + per_char * runaway.size()) << "stopped within the first attempt's budget";
        EXPECT_FALSE(r.matched());
        EXPECT_FALSE(p.match(std::wstring(28, L'a'), r)) << "no b at all is a plain no match";
        EXPECT_TRUE(p.match(std::wstring(28, L'a') + L"b", r));
    }
    regex::rpattern p(L"(a+)+b", L"x", regex::GLOBAL);
    std::wstring subject = L"ab " + runaway;
    regex::subst_results sr;
    EXPECT_THROW(p.substitute(subject, sr), regex::search_budget_exceeded);
    EXPECT_EQ(subject, L"ab " + runaway) << "the subject stays as it was";
    EXPECT_THROW(p.count(subject), regex::search_budget_exceeded);

    // The budget is per start position: a search that tries many positions may take more steps
    // in all than one attempt may.
    std::wstring units;
    for (int i = 0; i < 2500000; ++i) units += L"1a";
    regex::rpattern q(L"\\d+[a-z]+\\d+[a-z]+\\d+[bc]");
    regex::match_results r;
    EXPECT_FALSE(q.match(units, r));
    EXPECT_GT(r.steps(), per_attempt);
}

// The bound on a whole search keeps working beside the budget of each attempt.
TEST(RegexLimits, StepLimitOfAWholeSearch) {
    regex::rpattern p(L"(a|aa)*b", 0, regex::MODE_DEFAULT);
    p.set_step_limit(100000);
    regex::match_results r;
    EXPECT_THROW(p.match(std::wstring(30, L'a') + L"cb", r), regex::search_budget_exceeded);
    EXPECT_EQ(r.steps(), 100000u);
    EXPECT_TRUE(p.match(std::wstring(30, L'a') + L"b", r));
    EXPECT_LT(r.steps(), 100000u);
    EXPECT_FALSE(r.cut_short());
}

// A character that every match contains is looked for first: where the text lacks it there is
// no search at all (no step taken), and where a pattern does not need it, it is not asked for.
TEST(RegexRequiredCharacter, NoSearchWhereTheTextLacksIt) {
    std::wstring unclosed = L"<";
    while (unclosed.size() < 1000) unclosed += L"a title=\"x y\" ";
    std::wstring fields = L"pole";
    for (int i = 1; i < 40; ++i) fields += L",pole" + std::to_wstring(i);
    const struct {
        const wchar_t* pattern;
        unsigned flags;
        std::wstring subject;
        bool matches;
        bool searched;
    } cases[] = {
        {L"<([^>]|\"[^\"]*\")*>", 0, unclosed, false, false},
        {L"(.*,){8}P", 0, fields, false, false},
        {L"(a+)+b", 0, std::wstring(28, L'a'), false, false},
        {L"ab+c", 0, L"abbbabb", false, false},
        {L"AB", regex::NOCASE, L"xaa", false, false},
        {L"AB", regex::NOCASE, L"xab", true, true},
        {L"(?>a(b))", 0, L"aaa", false, false},
        {L"x?y", 0, L"y", true, true},
        {L"a|b", 0, L"b", true, true},
        {L"(?:a|b)c", 0, L"bc", true, true},
        {L"(?=.*z)a", 0, L"az", true, true},
        {L"(?!z)a", 0, L"a", true, true},
        {L"(?(1)z|a)", 0, L"a", true, true},
        {L"ab{0}c", 0, L"ac", true, true},
        {L"(?:ab)*c", 0, L"c", true, true},
    };
    for (const auto& c : cases) {
        regex::rpattern p(c.pattern, c.flags);
        regex::match_results r;
        EXPECT_EQ(p.match(c.subject, r), c.matches) << narrow(c.pattern);
        EXPECT_EQ(r.steps() > 0, c.searched) << narrow(c.pattern);
        EXPECT_EQ(run(c.pattern, c.subject, c.flags).matched, c.matches) << narrow(c.pattern);
    }
}

// Start positions are taken only where a match can begin: from the characters a match can
// start with (through classes and assertions) and around the literal that follows a run of one
// class. The work then depends on how many such places the text has, not on its length.
TEST(RegexStartPositions, WorkFollowsThePlacesAMatchCanStart) {
    auto text = [](size_t words, size_t special, const std::wstring& word) {
        std::wstring t;
        for (size_t i = 0; i < words; ++i) t += (i % (words / special) == 0) ? word : std::wstring(L"lorem 42 ");
        return t;
    };
    const struct {
        const wchar_t* pattern;
        const wchar_t* special;  // a word where a match starts
        size_t matches;
    } cases[] = {
        {L"\\b[A-Z]\\w+\\b", L"Kraków ", 1},
        {L"[a-z]+ing", L"testing ", 1},
        {L"[0-9]+ zł", L"42 zł ", 1},
        {L"\\d{2,3}ab", L"42ab ", 1},
    };
    for (const auto& c : cases) {
        regex::rpattern p(c.pattern);
        regex::match_results r;
        std::wstring none = text(2000, 10, L"lorem 42 ");
        EXPECT_FALSE(p.match(none, r)) << narrow(c.pattern);
        const uint64_t without = r.steps();
        std::wstring small = text(2000, 10, c.special), large = text(20000, 10, c.special);
        EXPECT_EQ(p.count(small), 10 * c.matches);
        EXPECT_EQ(p.count(large), 10 * c.matches);
        uint64_t small_steps = 0, large_steps = 0;
        for (auto [t, steps] : {std::pair{&small, &small_steps}, std::pair{&large, &large_steps}})
            for (auto b = t->cbegin(); p.match(b, t->cend(), r); b += std::ptrdiff_t(r.rstart(0) + r.rlength(0)))
                *steps += r.steps();
        EXPECT_EQ(small_steps, large_steps) << narrow(c.pattern) << ": the same ten places in a text ten times longer";
        EXPECT_EQ(without, 0u) << narrow(c.pattern) << ": a text with no such place";
    }
}

TEST(RegexLimits, RightmostRepeatedSearchesEnd) {
    regex::rpattern p(L"x*", regex::RIGHTMOST);
    std::wstring t = L"ab";
    EXPECT_EQ(p.count(t), 1u);  // the rightmost match is the empty one at the end
    EXPECT_EQ(subst(L"x*", L"-", L"ab", regex::GLOBAL | regex::RIGHTMOST), L"ab-");
}

// Messages of nodes that refuse a quantifier; the compiler never asks assertions, so they are
// reached here directly.
TEST(RegexNodes, QuantifyRefusals) {
    using It = const wchar_t*;
    using namespace regex::detail;
    node_arena arena;
    auto message = [&](sub_expr<It>* n) -> std::string {
        try {
            n->quantify(0, 1, true, arena);
        } catch (const regex::bad_regexpr& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(message(arena.make<lookahead_assertion<It>>(arena, true)), "look-ahead assertion cannot be quantified");
    EXPECT_EQ(message(arena.make<lookbehind_assertion<It>>(arena, true)), "sub-expression cannot be quantified");
    EXPECT_EQ(message(arena.make<assert_op<It, BOS>>()), "sub-expression cannot be quantified");
    EXPECT_EQ(message(arena.make<match_recurse<It>>()), "recursion sub-expression cannot be quantified");
    sub_expr<It>* a = arena.make<atom_node<It, char_atom<It>>>(char_atom<It>{L'a'});
    EXPECT_EQ(message(a->quantify(0, 2, true, arena)), "sub-expression cannot be quantified");
}
