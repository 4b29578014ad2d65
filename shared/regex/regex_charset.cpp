#include "shared/regex/regex_charset.h"

#include <algorithm>
#include <locale.h>
#include <wctype.h>

namespace regex {
namespace detail {

namespace {

// The fixed locale: Unicode rules, independent of the process locale. Falls back to the
// portable "C" locale (ASCII rules) when the C library has no UTF-8 locale built in.
locale_t fixed_locale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (!l) l = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

uint16_t classify(uint32_t c) {
    if (c > 0x10FFFF) return 0;
    locale_t l = fixed_locale();
    wint_t w = static_cast<wint_t>(c);
    uint16_t m = 0;
    if (iswupper_l(w, l)) m |= CT_UPPER;
    if (iswlower_l(w, l)) m |= CT_LOWER;
    if (iswalpha_l(w, l)) m |= 0x100;
    if (iswdigit_l(w, l)) m |= CT_DIGIT;
    if (iswspace_l(w, l)) m |= CT_SPACE;
    if (iswpunct_l(w, l)) m |= CT_PUNCT;
    if (iswcntrl_l(w, l)) m |= CT_CNTRL;
    if (iswblank_l(w, l)) m |= CT_BLANK;
    if (iswxdigit_l(w, l)) m |= CT_XDIGIT;
    return m;
}

struct low_tables {
    uint16_t ctype[256];
    uint8_t upper[256];
    uint8_t lower[256];
    low_tables() {
        locale_t l = fixed_locale();
        for (uint32_t c = 0; c < 256; ++c) {
            ctype[c] = classify(c);
            uint32_t u = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(c), l));
            uint32_t lo = static_cast<uint32_t>(towlower_l(static_cast<wint_t>(c), l));
            upper[c] = static_cast<uint8_t>(u < 256 ? u : c);
            lower[c] = static_cast<uint8_t>(lo < 256 ? lo : c);
        }
    }
};

const low_tables& tables() {
    static const low_tables t;
    return t;
}

}  // namespace

uint16_t ctype_of(uint32_t c) { return c < 256 ? tables().ctype[c] : classify(c); }

uint32_t to_upper(uint32_t c) {
    if (c < 128) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c > 0x10FFFF) return c;
    return static_cast<uint32_t>(towupper_l(static_cast<wint_t>(c), fixed_locale()));
}

uint32_t to_lower(uint32_t c) {
    if (c < 128) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c > 0x10FFFF) return c;
    return static_cast<uint32_t>(towlower_l(static_cast<wint_t>(c), fixed_locale()));
}

uint8_t sb_upper(uint8_t c) { return tables().upper[c]; }
uint8_t sb_lower(uint8_t c) { return tables().lower[c]; }
bool is_space(uint32_t c) { return (ctype_of(c) & CT_SPACE) != 0; }

// ---- membership ----

bool charset::in_ranges(uint32_t c) const {
    // first range whose last is not below c
    unsigned lo = 0, hi = nranges;
    while (lo < hi) {
        unsigned mid = (lo + hi) / 2;
        if (ranges[mid].last < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < nranges && ranges[lo].first <= c;
}

bool charset::extras(uint32_t c, bool nocase) const {
    for (unsigned i = 0; i < nneg; ++i)
        if (!is_ctype(c, neg_classes[i])) return true;
    for (unsigned i = 0; i < nnested; ++i)
        if (nocase ? nested[i]->test_char_nocase(c) : nested[i]->test_char(c)) return true;
    return false;
}

bool charset::test_wide(uint32_t c, bool nocase) const {
    bool ans;
    if (c > 255) {
        if (nocase) {
            uint32_t u = to_upper(c);
            if (in_ranges(u)) return !negated;
            uint32_t l = to_lower(c);
            if (l != u && in_ranges(l)) return !negated;
            if (c != u && c != l && in_ranges(c)) return !negated;
        } else if (in_ranges(c)) {
            return !negated;
        }
        ans = class_mask != 0 && is_ctype(c, class_mask);
    } else {
        ans = bit(c);
    }
    if (!ans && !no_extras) ans = extras(c, nocase);
    return ans != negated;
}

// ---- building ----

void charset_builder::add_char(uint32_t c, bool nocase) {
    if (c > 255) {
        ranges.push_back({c, c});
        return;
    }
    if (nocase) {
        set_bit(sb_upper(static_cast<uint8_t>(c)));
        set_bit(sb_lower(static_cast<uint8_t>(c)));
        set_bit(c);
    } else {
        set_bit(c);
    }
}

void charset_builder::add_range(uint32_t first, uint32_t last, bool nocase) {
    if (last < first) throw bad_regexpr("invalid range specified in character set");
    if (first <= 255) {
        uint32_t top = last < 255 ? last : 255;
        for (uint32_t c = first; c <= top; ++c) add_char(c, nocase);
    }
    if (last > 255) ranges.push_back({first > 256 ? first : 256, last});
}

void charset_builder::merge(const charset& other) {
    if (!other.negated) {
        for (int i = 0; i < 8; ++i) bits[i] |= other.bits[i];
        ranges.insert(ranges.end(), other.ranges, other.ranges + other.nranges);
        class_mask |= other.class_mask;
        neg_classes.insert(neg_classes.end(), other.neg_classes, other.neg_classes + other.nneg);
        nested.insert(nested.end(), other.nested, other.nested + other.nnested);
    } else if (other.class_mask || other.nneg || other.nnested) {
        nested.push_back(&other);
    } else {
        for (int i = 0; i < 8; ++i) bits[i] |= ~other.bits[i];
        uint32_t bound = 255;
        for (unsigned i = 0; i < other.nranges; ++i) {
            const char_range& r = other.ranges[i];
            if (r.first > bound + 1) ranges.push_back({bound + 1, r.first - 1});
            if (r.last > bound) bound = r.last;
            if (bound == 0xFFFFFFFFu) break;
        }
        if (bound != 0xFFFFFFFFu) ranges.push_back({bound + 1, 0xFFFFFFFFu});
    }
}

const charset* charset_builder::finalize(node_arena* arena) {
    std::stable_sort(ranges.begin(), ranges.end(), [](const char_range& a, const char_range& b) {
        return a.first != b.first ? a.first < b.first : a.last < b.last;
    });
    std::vector<char_range> merged;
    for (const char_range& r : ranges) {
        if (!merged.empty() && (merged.back().last == 0xFFFFFFFFu || merged.back().last + 1 >= r.first)) {
            if (r.last > merged.back().last) merged.back().last = r.last;
        } else {
            merged.push_back(r);
        }
    }
    if (class_mask)
        for (uint32_t c = 0; c < 256; ++c)
            if (is_ctype(c, class_mask)) set_bit(c);

    charset* cs = arena ? arena->make<charset>() : new charset();
    cs->negated = negated;
    std::copy(bits, bits + 8, cs->bits);
    cs->class_mask = class_mask;
    auto place = [arena](auto const& v) {
        using T = typename std::decay_t<decltype(v)>::value_type;
        if (v.empty()) return static_cast<T*>(nullptr);
        T* p = arena ? static_cast<T*>(arena->allocate(sizeof(T) * v.size())) : new T[v.size()];
        std::copy(v.begin(), v.end(), p);
        return p;
    };
    cs->ranges = place(merged);
    cs->nranges = static_cast<unsigned>(merged.size());
    cs->neg_classes = place(neg_classes);
    cs->nneg = static_cast<unsigned>(neg_classes.size());
    cs->nested = place(nested);
    cs->nnested = static_cast<unsigned>(nested.size());
    cs->no_extras = neg_classes.empty() && nested.empty();
    for (uint32_t c = 0; c < 256; ++c) {
        if (cs->test_wide(c, false)) cs->low[c >> 5] |= 1u << (c & 31);
        if (cs->test_wide(c, true)) cs->low_nocase[c >> 5] |= 1u << (c & 31);
    }
    return cs;
}

const charset& intrinsic_charset(intrinsic_kind k) {
    static const charset* sets[6] = {};
    static const bool built = [] {
        struct def {
            bool neg;
            uint16_t mask;
            const char* extra;
        };
        const def defs[6] = {{false, CT_ALNUM, "_"}, {false, CT_DIGIT, ""}, {false, CT_SPACE, ""},
                             {true, CT_ALNUM, "_"},  {true, CT_DIGIT, ""},  {true, CT_SPACE, ""}};
        for (int i = 0; i < 6; ++i) {
            charset_builder b;
            b.negated = defs[i].neg;
            b.class_mask = defs[i].mask;
            for (const char* p = defs[i].extra; *p; ++p) b.set_bit(static_cast<unsigned char>(*p));
            sets[i] = b.finalize(nullptr);
        }
        return true;
    }();
    (void)built;
    return *sets[k];
}

}  // namespace detail
}  // namespace regex
