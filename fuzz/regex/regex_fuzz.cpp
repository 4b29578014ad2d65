// Input: one flag byte, then pattern, subject and replacement separated by 0x00 bytes. Bytes
// 0xF0-0xFF stand for a few characters beyond Latin-1 (Polish letters, Cyrillic, a character
// above U+FFFF). Both matching modes must agree; nothing may crash, hang or leak.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "shared/regex/rpattern.h"

namespace {

std::wstring widen(const uint8_t* p, size_t n) {
    static const wchar_t high[16] = {0x104,  0x105,  0x141, 0x142, 0x17B, 0x17C, 0x410, 0x430,
                                     0x3A9,  0x3C9,  0x2003, 0xFB01, 0x10400, 0x10428, 0x1F600, 0xFF};
    std::wstring w;
    for (size_t i = 0; i < n; ++i) w += p[i] >= 0xF0 ? high[p[i] - 0xF0] : static_cast<wchar_t>(p[i]);
    return w;
}

struct outcome {
    bool ok;
    std::vector<std::pair<size_t, size_t>> g;
    bool operator==(const outcome&) const = default;
};

// The outcome of a search; none when it ran past its step limit or too deep for the stack.
template <class Pattern, class Results, class... Args>
std::optional<outcome> search(const Pattern& p, Results& r, Args... args) {
    try {
        outcome o{p.match(args..., r), {}};
        if (r.cut_short()) return std::nullopt;
        if (o.ok)
            for (size_t i = 0; i < r.cbackrefs(); ++i) o.g.emplace_back(r.rstart(i), r.rlength(i));
        return o;
    } catch (const regex::search_budget_exceeded&) {
        return std::nullopt;
    }
}

// The count and text of a substitution; none when a search ran past its limit, which must leave
// the subject as it was.
template <class Pattern>
std::optional<std::pair<size_t, std::wstring>> substitute(const Pattern& p, const std::wstring& subject) {
    std::wstring t = subject;
    regex::subst_results r;
    try {
        size_t n = p.substitute(t, r);
        if (r.cut_short()) return std::nullopt;
        return std::make_pair(n, t);
    } catch (const regex::search_budget_exceeded&) {
        if (t != subject) std::abort();
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    unsigned flags = data[0] & (regex::NOCASE | regex::GLOBAL | regex::MULTILINE | regex::SINGLELINE | regex::RIGHTMOST |
                                regex::NOBACKREFS | regex::FIRSTBACKREFS | regex::ALLBACKREFS);
    if (data[0] & 0x80) flags |= regex::NORMALIZE;
    if (data[0] & 0x40) flags |= regex::EXTENDED;
    const uint8_t* p = data + 1;
    const uint8_t* end = data + size;
    const uint8_t* parts[3] = {p, end, end};
    size_t lens[3] = {0, 0, 0};
    int k = 0;
    const uint8_t* start = p;
    for (const uint8_t* q = p; q <= end && k < 3; ++q) {
        if (q == end || *q == 0) {
            parts[k] = start;
            lens[k] = static_cast<size_t>(q - start);
            ++k;
            start = q + 1;
        }
    }
    std::wstring pattern = widen(parts[0], lens[0] > 256 ? 256 : lens[0]);
    std::wstring subject = widen(parts[1], lens[1] > 512 ? 512 : lens[1]);
    std::wstring repl = widen(parts[2], lens[2] > 64 ? 64 : lens[2]);

    const uint64_t limit = 2000000;
    try {
        regex::rpattern p0(pattern, flags, regex::MODE_DEFAULT);
        regex::rpattern p1(pattern, flags, regex::MODE_SAFE);
        regex::rpattern_c pc(pattern, flags, regex::MODE_MIXED);
        p0.set_step_limit(limit);
        p1.set_step_limit(limit);
        pc.set_step_limit(limit);
        regex::match_results r0, r1;
        regex::match_results_c rc;
        auto a = search(p0, r0, subject);
        auto b = search(p1, r1, subject);
        auto c = search(pc, rc, subject.data(), subject.data() + subject.size());
        // A search stopped by its step limit may stop at another point in another mode; all
        // others must agree.
        if (a && b && c && (*a != *b || *a != *c)) std::abort();

        try {
            regex::rpattern s0(pattern, repl, flags, regex::MODE_DEFAULT);
            regex::rpattern s1(pattern, repl, flags, regex::MODE_SAFE);
            s0.set_step_limit(limit);
            s1.set_step_limit(limit);
            auto t0 = substitute(s0, subject), t1 = substitute(s1, subject);
            if (t0 && t1 && *t0 != *t1) std::abort();
        } catch (const regex::bad_regexpr&) {
        }
        try {
            p0.count(subject.begin(), subject.end());
        } catch (const regex::search_budget_exceeded&) {
        }
    } catch (const regex::bad_regexpr&) {
    }
    return 0;
}
