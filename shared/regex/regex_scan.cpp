#include "shared/regex/regex_scan.h"

#include <cstring>
#include <cwchar>

namespace regex {
namespace detail {

namespace {

using lanes = uint32_t __attribute__((vector_size(32)));
constexpr size_t lane_count = sizeof(lanes) / sizeof(uint32_t);

// Of two masks of 2 x lane_count positions from i: the first position set, in `at`.
[[gnu::always_inline]] inline bool first_set(const lanes& lo, const lanes& hi, size_t i, size_t& at) {
    const lanes any = lo | hi;
    uint64_t w[4];
    std::memcpy(w, &any, sizeof w);
    if ((w[0] | w[1] | w[2] | w[3]) == 0) return false;
    for (size_t k = 0; k < lane_count; ++k)
        if (lo[k]) return at = i + k, true;
    for (size_t k = 0; k < lane_count; ++k)
        if (hi[k]) return at = i + lane_count + k, true;
    return false;
}

// m: the lanes of v in one of the first N ranges (all bits set) or in none (zero).
template <unsigned N>
[[gnu::always_inline]] inline void in_ranges(const lanes& v, const lanes* lo, const lanes* span, lanes& m) {
    m = (v - lo[0]) <= span[0];
    if constexpr (N > 1) m |= (v - lo[1]) <= span[1];
    if constexpr (N > 2) m |= (v - lo[2]) <= span[2];
    if constexpr (N > 3) m |= (v - lo[3]) <= span[3];
}

template <unsigned N>
[[gnu::always_inline]] inline size_t scan_ranges_of(const wchar_t* base, size_t i, size_t to, const char_ranges& r) {
    lanes lo[char_ranges::max], span[char_ranges::max];
    for (unsigned k = 0; k < N; ++k) {
        lo[k] = lanes{} + r.lo[k];
        span[k] = lanes{} + r.span[k];
    }
    constexpr size_t n = lane_count;
    for (; i + 2 * n <= to; i += 2 * n) {
        lanes a, b;
        std::memcpy(&a, base + i, sizeof a);
        std::memcpy(&b, base + i + n, sizeof b);
        lanes ma, mb;
        in_ranges<N>(a, lo, span, ma);
        in_ranges<N>(b, lo, span, mb);
        size_t at;
        if (first_set(ma, mb, i, at)) return at;
    }
    for (; i < to; ++i)
        for (unsigned k = 0; k < N; ++k)
            if (uint32_t(base[i]) - r.lo[k] <= r.span[k]) return i;
    return to;
}

}  // namespace

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
size_t scan_pair(const wchar_t* base, size_t i, size_t last, scan_probe p, scan_probe q) {
    constexpr size_t n = lane_count;
    const lanes pa = lanes{} + uint32_t(p.a), pb = lanes{} + uint32_t(p.b);
    const lanes qa = lanes{} + uint32_t(q.a), qb = lanes{} + uint32_t(q.b);
    const wchar_t* P = base + p.off;
    const wchar_t* Q = base + q.off;
    for (; i + 2 * n <= last + 1; i += 2 * n) {
        lanes a0, a1, b0, b1;
        std::memcpy(&a0, P + i, sizeof a0);
        std::memcpy(&a1, P + i + n, sizeof a1);
        std::memcpy(&b0, Q + i, sizeof b0);
        std::memcpy(&b1, Q + i + n, sizeof b1);
        const lanes lo = ((a0 == pa) | (a0 == pb)) & ((b0 == qa) | (b0 == qb));
        const lanes hi = ((a1 == pa) | (a1 == pb)) & ((b1 == qa) | (b1 == qb));
        size_t at;
        if (first_set(lo, hi, i, at)) return at;
    }
    for (; i <= last; ++i)
        if ((P[i] == p.a || P[i] == p.b) && (Q[i] == q.a || Q[i] == q.b)) return i;
    return last + 1;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
size_t scan_ranges(const wchar_t* base, size_t i, size_t to, const char_ranges& r) {
    switch (r.count) {
        case 1: return scan_ranges_of<1>(base, i, to, r);
        case 2: return scan_ranges_of<2>(base, i, to, r);
        case 3: return scan_ranges_of<3>(base, i, to, r);
        case 4: return scan_ranges_of<4>(base, i, to, r);
        default: return to;
    }
}

unsigned char_commonness(wchar_t c) {
    if (c >= 128 || c < 0) return 0;
    if (c == L' ') return 7;
    if (c >= L'a' && c <= L'z') {
        static const char* const common = "eaoinrst";
        static const char* const middling = "lcdmuphwyzkbg";
        char a = static_cast<char>(c);
        if (std::strchr(common, a)) return 6;
        if (std::strchr(middling, a)) return 5;
        return 3;
    }
    if (c >= L'A' && c <= L'Z') return 2;
    if (c >= L'0' && c <= L'9') return 3;
    switch (c) {
        case L'<': case L'>': case L'/': case L'"': case L'=': return 6;
        case L'\n': case L'.': case L',': case L';': return 4;
        default: return 2;
    }
}

literal_finder::literal_finder(const wchar_t* forms, const wchar_t* other, size_t len)
    : m_forms(forms), m_other(other), m_len(len) {
    auto commonness = [&](size_t i) {
        unsigned a = char_commonness(forms[i]), b = other ? char_commonness(other[i]) : a;
        return a > b ? a : b;
    };
    // the two rarest positions, the earlier one first when they tie
    size_t first = 0;
    for (size_t i = 1; i < len; ++i)
        if (commonness(i) < commonness(first)) first = i;
    size_t second = first;
    for (size_t i = 0; i < len; ++i)
        if (i != first && (second == first || commonness(i) < commonness(second))) second = i;
    auto probe = [&](size_t i) { return scan_probe{i, forms[i], other ? other[i] : forms[i]}; };
    m_p = probe(first);
    m_q = probe(second);
}

size_t literal_finder::find(const wchar_t* base, size_t from, size_t to) const {
    if (m_len == 0 || to < m_len || from > to - m_len) return to;
    const size_t last = to - m_len;
    if (m_len == 1 && m_p.a == m_p.b) {
        const wchar_t* at = std::wmemchr(base + from, m_p.a, last + 1 - from);
        return at ? size_t(at - base) : to;
    }
    for (size_t i = scan_pair(base, from, last, m_p, m_q); i <= last; i = scan_pair(base, i + 1, last, m_p, m_q))
        if (matches_at(base + i)) return i;
    return to;
}

}  // namespace detail
}  // namespace regex
