// Finding a literal in wide text: two of its characters, chosen for being rare in text, are
// tested sixteen positions at a time, and only where both are in place is the whole literal
// compared. Each character of a literal may stand in two forms (its two cases).
#pragma once

#include <cstddef>
#include <cstdint>

namespace regex {
namespace detail {

// One character of a literal as the scan tests it: at offset `off`, either form.
struct scan_probe {
    size_t off;
    wchar_t a, b;
};

// The first i in [from, last] where base[i + p.off] is one of p's forms and likewise for q; last
// + 1 when there is none. base[last + max(p.off, q.off)] must be readable.
size_t scan_pair(const wchar_t* base, size_t from, size_t last, scan_probe p, scan_probe q);

// Up to four ranges of characters: c is in range k when c - lo[k] <= span[k] (unsigned).
struct char_ranges {
    static constexpr unsigned max = 4;
    unsigned count = 0;
    uint32_t lo[max] = {0, 0, 0, 0};
    uint32_t span[max] = {0, 0, 0, 0};
};

// The first i in [from, to) where base[i] is in one of the ranges; to when there is none.
size_t scan_ranges(const wchar_t* base, size_t from, size_t to, const char_ranges& r);

// How common a character is in the text of web pages and descriptions: 0 rare to 7 very common.
unsigned char_commonness(wchar_t c);

// A literal of len characters in one form (`other` null) or in two forms per character, its
// probes placed on its two rarest characters.
class literal_finder {
public:
    literal_finder() = default;
    literal_finder(const wchar_t* forms, const wchar_t* other, size_t len);

    size_t length() const { return m_len; }
    // The first occurrence starting in [from, to - length()], or `to` when none.
    size_t find(const wchar_t* base, size_t from, size_t to) const;
    bool matches_at(const wchar_t* at) const {
        for (size_t i = 0; i < m_len; ++i)
            if (at[i] != m_forms[i] && (!m_other || at[i] != m_other[i])) return false;
        return true;
    }

private:
    const wchar_t* m_forms = nullptr;
    const wchar_t* m_other = nullptr;
    size_t m_len = 0;
    scan_probe m_p{0, 0, 0}, m_q{0, 0, 0};
};

}  // namespace detail
}  // namespace regex
