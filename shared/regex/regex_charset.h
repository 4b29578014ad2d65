// Character classification of the engine and character sets.
//
// Classification and case come from one fixed locale (never the process locale), so results do
// not depend on the user's environment. Code points 0-255 follow single-byte rules (a case
// partner outside 0-255 does not count), everything above follows the wide rules.
#pragma once

#include <cstdint>
#include <vector>

#include "shared/regex/regex_core.h"

namespace regex {
namespace detail {

// Character class masks.
enum ctype_mask : uint16_t {
    CT_UPPER = 0x001,
    CT_LOWER = 0x002,
    CT_DIGIT = 0x004,
    CT_SPACE = 0x008,
    CT_PUNCT = 0x010,
    CT_CNTRL = 0x020,
    CT_BLANK = 0x040,
    CT_XDIGIT = 0x080,
    CT_ALPHA = 0x100 | CT_UPPER | CT_LOWER,
    CT_ALNUM = CT_ALPHA | CT_DIGIT,
    CT_GRAPH = CT_PUNCT | CT_ALNUM,
    CT_PRINT = CT_GRAPH | CT_BLANK,
};

uint16_t ctype_of(uint32_t c);                          // wide classification
inline bool is_ctype(uint32_t c, uint16_t mask) { return (ctype_of(c) & mask) != 0; }
uint32_t to_upper(uint32_t c);                          // wide case mapping
uint32_t to_lower(uint32_t c);
uint8_t sb_upper(uint8_t c);                            // single-byte case mapping (0-255)
uint8_t sb_lower(uint8_t c);
bool is_space(uint32_t c);

inline wchar_t wupper(wchar_t c) { return static_cast<wchar_t>(to_upper(static_cast<uint32_t>(c))); }
inline wchar_t wlower(wchar_t c) { return static_cast<wchar_t>(to_lower(static_cast<uint32_t>(c))); }

struct char_range {
    uint32_t first;
    uint32_t last;
};

// A finished character set. Lists live in the arena that built it (or, for the built-in sets,
// in static storage).
class charset {
public:
    bool negated = false;
    bool no_extras = true;
    uint32_t bits[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint16_t class_mask = 0;
    const char_range* ranges = nullptr;
    unsigned nranges = 0;
    const uint16_t* neg_classes = nullptr;
    unsigned nneg = 0;
    const charset* const* nested = nullptr;
    unsigned nnested = 0;

    // The answers for characters below 256, negation and every class included, as tested
    // case-sensitively and case-insensitively (filled in by finalize).
    uint32_t low[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint32_t low_nocase[8] = {0, 0, 0, 0, 0, 0, 0, 0};

    bool bit(uint32_t c) const { return (bits[c >> 5] >> (c & 31)) & 1u; }
    bool test_char(uint32_t c) const { return c < 256 ? (low[c >> 5] >> (c & 31)) & 1u : test_wide(c, false); }
    bool test_char_nocase(uint32_t c) const {
        return c < 256 ? (low_nocase[c >> 5] >> (c & 31)) & 1u : test_wide(c, true);
    }
    // The full test, for any character (finalize fills the tables above with it).
    bool test_wide(uint32_t c, bool nocase) const;

private:
    bool in_ranges(uint32_t c) const;
    bool extras(uint32_t c, bool nocase) const;
};

// Characters that can begin a match: a bitmap for 0-255 and one answer for everything above.
struct start_set {
    uint32_t bits[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    bool wide = false;  // some character above 255 can begin a match
    unsigned work = 0;  // nodes visited to compute it; the computation gives up past a bound

    void add(uint32_t c) {
        if (c < 256)
            bits[c >> 5] |= 1u << (c & 31);
        else
            wide = true;
    }
    void add(const charset& cs, bool nocase) {
        for (int i = 0; i < 8; ++i) bits[i] |= nocase ? cs.low_nocase[i] : cs.low[i];
        if (cs.negated || cs.nranges || cs.class_mask || !cs.no_extras) wide = true;
    }
    bool test(uint32_t c) const { return c < 256 ? (bits[c >> 5] >> (c & 31)) & 1u : wide; }
    // The set below 256 as runs of consecutive characters, when there are at most `max` runs;
    // returns their number (0 when there are more).
    template <class Ranges>
    unsigned low_ranges(Ranges& r) const {
        r.count = 0;
        for (uint32_t c = 0; c < 256;) {
            if (!test(c)) {
                ++c;
                continue;
            }
            uint32_t first = c;
            while (c < 256 && test(c)) ++c;
            if (r.count == Ranges::max) return r.count = 0;
            r.lo[r.count] = first;
            r.span[r.count] = c - 1 - first;
            ++r.count;
        }
        return r.count;
    }
    // The characters below 256 in the set, up to max of them (more: returns max + 1).
    unsigned low_chars(wchar_t* out, unsigned max) const {
        unsigned n = 0;
        for (uint32_t c = 0; c < 256; ++c)
            if ((bits[c >> 5] >> (c & 31)) & 1u) {
                if (n == max) return max + 1;
                out[n++] = static_cast<wchar_t>(c);
            }
        return n;
    }
};

// Builds a set from a bracket expression (or a built-in class).
class charset_builder {
public:
    bool negated = false;
    uint32_t bits[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint16_t class_mask = 0;
    std::vector<char_range> ranges;
    std::vector<uint16_t> neg_classes;
    std::vector<const charset*> nested;

    void set_bit(uint32_t c) { bits[c >> 5] |= 1u << (c & 31); }
    void add_char(uint32_t c, bool nocase);
    void add_range(uint32_t first, uint32_t last, bool nocase);
    void add_class(uint16_t mask) { class_mask |= mask; }
    void add_negated_class(uint16_t mask) { neg_classes.push_back(mask); }
    void merge(const charset& other);
    // Sorts and joins the ranges, folds the classes into the bits for 0-255 and places the set
    // in the arena (or on the heap when arena is null; the built-in sets).
    const charset* finalize(node_arena* arena);
};

// The six built-in class sets (\w \d \s \W \D \S).
enum intrinsic_kind { IC_WORD, IC_DIGIT, IC_SPACE, IC_NOT_WORD, IC_NOT_DIGIT, IC_NOT_SPACE };
const charset& intrinsic_charset(intrinsic_kind k);

}  // namespace detail
}  // namespace regex
