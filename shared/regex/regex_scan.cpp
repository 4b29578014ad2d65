#include "shared/regex/regex_scan.h"

#include <cstring>
#include <cwchar>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace regex {
namespace detail {

namespace {

bool in_pair(const wchar_t* P, const wchar_t* Q, size_t i, const scan_probe& p, const scan_probe& q) {
    return (P[i] == p.a || P[i] == p.b) && (Q[i] == q.a || Q[i] == q.b);
}

bool in_ranges(wchar_t c, const char_ranges& r) {
    for (unsigned k = 0; k < r.count; ++k)
        if (uint32_t(c) - r.lo[k] <= r.span[k]) return true;
    return false;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Sixteen positions a step with AVX2, on processors that have it.

// Unsigned a <= b in each lane.
__attribute__((target("avx2"))) inline __m256i le_u32(__m256i a, __m256i b) {
    return _mm256_cmpeq_epi32(_mm256_min_epu32(a, b), a);
}

__attribute__((target("avx2"))) inline unsigned mask_of(__m256i lo, __m256i hi) {
    return unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(lo))) |
           unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(hi))) << 8;
}

// The lanes of eight positions where both probes are in place.
__attribute__((target("avx2"))) inline __m256i pair_lanes(const wchar_t* P, const wchar_t* Q, size_t at,
                                                          const __m256i (&forms)[4]) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P + at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Q + at));
    return _mm256_and_si256(_mm256_or_si256(_mm256_cmpeq_epi32(a, forms[0]), _mm256_cmpeq_epi32(a, forms[1])),
                            _mm256_or_si256(_mm256_cmpeq_epi32(b, forms[2]), _mm256_cmpeq_epi32(b, forms[3])));
}

__attribute__((target("avx2"))) size_t scan_pair_avx2(const wchar_t* base, size_t i, size_t last, scan_probe p,
                                                      scan_probe q) {
    const __m256i forms[4] = {_mm256_set1_epi32(p.a), _mm256_set1_epi32(p.b), _mm256_set1_epi32(q.a),
                              _mm256_set1_epi32(q.b)};
    const wchar_t* P = base + p.off;
    const wchar_t* Q = base + q.off;
    for (; i + 16 <= last + 1; i += 16)
        if (unsigned m = mask_of(pair_lanes(P, Q, i, forms), pair_lanes(P, Q, i + 8, forms)))
            return i + unsigned(__builtin_ctz(m));
    for (; i <= last; ++i)
        if (in_pair(P, Q, i, p, q)) return i;
    return last + 1;
}

// The lanes of eight positions whose character is in one of the N ranges.
template <unsigned N>
__attribute__((target("avx2"))) inline __m256i range_lanes(const wchar_t* at, const __m256i (&lo)[N],
                                                           const __m256i (&span)[N]) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    __m256i m = le_u32(_mm256_sub_epi32(v, lo[0]), span[0]);
    for (unsigned k = 1; k < N; ++k) m = _mm256_or_si256(m, le_u32(_mm256_sub_epi32(v, lo[k]), span[k]));
    return m;
}

template <unsigned N>
__attribute__((target("avx2"))) size_t scan_ranges_avx2(const wchar_t* base, size_t i, size_t to,
                                                        const char_ranges& r) {
    __m256i lo[N], span[N];
    for (unsigned k = 0; k < N; ++k) {
        lo[k] = _mm256_set1_epi32(int(r.lo[k]));
        span[k] = _mm256_set1_epi32(int(r.span[k]));
    }
    for (; i + 16 <= to; i += 16)
        if (unsigned m = mask_of(range_lanes<N>(base + i, lo, span), range_lanes<N>(base + i + 8, lo, span)))
            return i + unsigned(__builtin_ctz(m));
    for (; i < to; ++i)
        if (in_ranges(base[i], r)) return i;
    return to;
}

const bool has_avx2 = __builtin_cpu_supports("avx2");
#else
constexpr bool has_avx2 = false;
#endif

}  // namespace

size_t scan_pair(const wchar_t* base, size_t i, size_t last, scan_probe p, scan_probe q) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (has_avx2) return scan_pair_avx2(base, i, last, p, q);
#endif
    const wchar_t* P = base + p.off;
    const wchar_t* Q = base + q.off;
    for (; i <= last; ++i)
        if (in_pair(P, Q, i, p, q)) return i;
    return last + 1;
}

size_t scan_ranges(const wchar_t* base, size_t i, size_t to, const char_ranges& r) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (has_avx2) {
        switch (r.count) {
            case 1: return scan_ranges_avx2<1>(base, i, to, r);
            case 2: return scan_ranges_avx2<2>(base, i, to, r);
            case 3: return scan_ranges_avx2<3>(base, i, to, r);
            case 4: return scan_ranges_avx2<4>(base, i, to, r);
            default: break;
        }
    }
#endif
    for (; i < to; ++i)
        if (in_ranges(base[i], r)) return i;
    return to;
}

namespace {

// char_commonness below 128, as a table.
struct commonness_table {
    unsigned char of[128];
    constexpr commonness_table() : of() {
        for (int c = 0; c < 128; ++c) of[c] = 2;
        for (int c = '0'; c <= '9'; ++c) of[c] = 3;
        for (int c = 'a'; c <= 'z'; ++c) of[c] = 3;
        for (const char* p = "lcdmuphwyzkbg"; *p; ++p) of[int(*p)] = 5;
        for (const char* p = "eaoinrst"; *p; ++p) of[int(*p)] = 6;
        for (const char* p = "<>/\"="; *p; ++p) of[int(*p)] = 6;
        for (const char* p = "\n.,;"; *p; ++p) of[int(*p)] = 4;
        of[int(' ')] = 7;
    }
};
constexpr commonness_table commonness;

}  // namespace

unsigned char_commonness(wchar_t c) { return c >= 0 && c < 128 ? commonness.of[c] : 0; }

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
