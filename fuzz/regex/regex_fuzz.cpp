// Input: one flag byte, then pattern, subject and replacement separated by 0x00 bytes. Bytes
// 0xF0-0xFF stand for a few characters beyond Latin-1 (Polish letters, Cyrillic, a character
// above U+FFFF). Both matching modes must agree; nothing may crash, hang or leak.
#include <cstdint>
#include <cstdlib>
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

template <class Pattern, class Results, class... Args>
outcome search(const Pattern& p, Results& r, Args... args) {
    outcome o{p.match(args..., r), {}};
    if (o.ok)
        for (size_t i = 0; i < r.cbackrefs(); ++i) o.g.emplace_back(r.rstart(i), r.rlength(i));
    return o;
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
        outcome a = search(p0, r0, subject);
        outcome b = search(p1, r1, subject);
        outcome c = search(pc, rc, subject.data(), subject.data() + subject.size());
        // A search cut short by its step limit may differ between modes; all others must agree.
        bool complete = !r0.cut_short() && !r1.cut_short() && !rc.cut_short();
        if (complete && (a != b || a != c)) std::abort();

        try {
            regex::rpattern s0(pattern, repl, flags, regex::MODE_DEFAULT);
            regex::rpattern s1(pattern, repl, flags, regex::MODE_SAFE);
            s0.set_step_limit(limit);
            s1.set_step_limit(limit);
            std::wstring t0 = subject, t1 = subject;
            regex::subst_results sr0, sr1;
            size_t n0 = s0.substitute(t0, sr0);
            size_t n1 = s1.substitute(t1, sr1);
            if (!sr0.cut_short() && !sr1.cut_short() && (n0 != n1 || t0 != t1)) std::abort();
        } catch (const regex::bad_regexpr&) {
        }
        p0.count(subject.begin(), subject.end());
    } catch (const regex::bad_regexpr&) {
    }
    return 0;
}
