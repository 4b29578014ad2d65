// Runs one pattern in every matching mode and in both forms and checks that they agree.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "shared/regex/rpattern.h"

namespace regex_test {

// Group offsets of a match; (-1, -1) for a group that did not take part.
struct outcome {
    bool matched = false;
    std::vector<std::pair<long, long>> groups;
    bool operator==(const outcome&) const = default;
};

inline std::string describe(const outcome& o) {
    if (!o.matched) return "no match";
    std::string s = "match";
    for (auto& g : o.groups) s += " (" + std::to_string(g.first) + "," + std::to_string(g.second) + ")";
    return s;
}

inline std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += (c > 31 && c < 127) ? char(c) : '?';
    return s;
}

template <class Results>
outcome collect(bool ok, const Results& r) {
    outcome o;
    o.matched = ok;
    if (!ok) return o;
    for (size_t i = 0; i < r.cbackrefs(); ++i) {
        if (r.matched(i))
            o.groups.emplace_back(long(r.rstart(i)), long(r.rstart(i) + r.rlength(i)));
        else
            o.groups.emplace_back(-1, -1);
    }
    return o;
}

// Matches in modes 0, 1 and 2 over the wide string and over a pointer; all must agree.
inline outcome run(const std::wstring& pat, const std::wstring& subject, unsigned flags = 0) {
    outcome first;
    bool have = false;
    for (unsigned mode : {0u, 1u, 2u}) {
        regex::rpattern p(pat, flags, mode);
        regex::match_results r;
        outcome a = collect(p.match(subject, r), r);
        regex::rpattern_c pc(pat, flags, mode);
        regex::match_results_c rc;
        outcome b = collect(pc.match(subject.data(), subject.data() + subject.size(), rc), rc);
        EXPECT_EQ(a, b) << "iterator and pointer forms differ, mode " << mode << ": " << narrow(pat);
        if (!have) {
            first = a;
            have = true;
        } else {
            EXPECT_EQ(first, a) << "mode " << mode << " differs from mode 0: " << describe(first) << " vs "
                                << describe(a) << ": " << narrow(pat);
        }
    }
    return first;
}

// Whole-match span, or (-1, -1).
inline std::pair<long, long> span(const std::wstring& pat, const std::wstring& subject, unsigned flags = 0) {
    outcome o = run(pat, subject, flags);
    return o.matched ? o.groups[0] : std::pair<long, long>(-1, -1);
}

inline std::pair<long, long> at(long a, long b) { return {a, b}; }
inline const std::pair<long, long> none{-1, -1};

// Message of the compile error of pat, or "" when it compiles.
inline std::string compile_error(const std::wstring& pat, unsigned flags = 0) {
    try {
        regex::rpattern p(pat, flags);
        regex::rpattern_c pc(pat, flags);
    } catch (const regex::bad_regexpr& e) {
        return e.what();
    }
    return "";
}

inline std::wstring subst(const std::wstring& pat, const std::wstring& repl, std::wstring subject,
                          unsigned flags = regex::GLOBAL, size_t* count = nullptr) {
    std::wstring result;
    for (unsigned mode : {0u, 1u}) {
        std::wstring s = subject;
        regex::rpattern p(pat, repl, flags, mode);
        regex::subst_results r;
        size_t n = p.substitute(s, r);
        if (mode == 0) {
            result.swap(s);
            if (count) *count = n;
        } else {
            EXPECT_EQ(result, s) << "substitution differs between modes";
        }
    }
    return result;
}

}  // namespace regex_test
