#include "shared/regex/regex_syntax.h"

#include <cwchar>

#include "shared/regex/regex_charset.h"

namespace regex {

using detail::is_space;

namespace {

struct tables {
    unsigned char plain[256] = {};
    unsigned char escaped[256] = {};
    tables() {
        plain[static_cast<unsigned char>('(')] = tok_group_open;
        plain[static_cast<unsigned char>(')')] = tok_group_close;
        plain[static_cast<unsigned char>('|')] = tok_alternation;
        plain[static_cast<unsigned char>('^')] = tok_line_start;
        plain[static_cast<unsigned char>('$')] = tok_line_end;
        plain[static_cast<unsigned char>('[')] = tok_set_open;
        plain[static_cast<unsigned char>('.')] = tok_any;
        plain[static_cast<unsigned char>('\\')] = tok_escape;
        escaped[static_cast<unsigned char>('d')] = tok_digit;
        escaped[static_cast<unsigned char>('D')] = tok_not_digit;
        escaped[static_cast<unsigned char>('s')] = tok_space;
        escaped[static_cast<unsigned char>('S')] = tok_not_space;
        escaped[static_cast<unsigned char>('w')] = tok_word;
        escaped[static_cast<unsigned char>('W')] = tok_not_word;
        escaped[static_cast<unsigned char>('A')] = tok_text_start;
        escaped[static_cast<unsigned char>('Z')] = tok_text_end_or_final_newline;
        escaped[static_cast<unsigned char>('z')] = tok_text_end;
        escaped[static_cast<unsigned char>('b')] = tok_word_boundary;
        escaped[static_cast<unsigned char>('B')] = tok_not_word_boundary;
        escaped[static_cast<unsigned char>('Q')] = tok_quote_start;
        escaped[static_cast<unsigned char>('E')] = tok_quote_end;
    }
};
const tables tbl;

const wchar_t* const class_names[24] = {
    L"[:alnum:]", L"[:^alnum:]", L"[:alpha:]", L"[:^alpha:]", L"[:blank:]", L"[:^blank:]",
    L"[:cntrl:]", L"[:^cntrl:]", L"[:digit:]", L"[:^digit:]", L"[:graph:]", L"[:^graph:]",
    L"[:lower:]", L"[:^lower:]", L"[:print:]", L"[:^print:]", L"[:punct:]", L"[:^punct:]",
    L"[:space:]", L"[:^space:]", L"[:upper:]", L"[:^upper:]", L"[:xdigit:]", L"[:^xdigit:]"};

const uint16_t class_masks[12] = {detail::CT_ALNUM, detail::CT_ALPHA, detail::CT_BLANK, detail::CT_CNTRL,
                                  detail::CT_DIGIT, detail::CT_GRAPH, detail::CT_LOWER, detail::CT_PRINT,
                                  detail::CT_PUNCT, detail::CT_SPACE, detail::CT_UPPER, detail::CT_XDIGIT};

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

uint16_t perl_syntax<wchar_t>::class_of_token(unsigned tok) { return class_masks[(tok - tok_set_class) / 2]; }

void perl_syntax<wchar_t>::skip_extended(iterator& cur, iterator end) const {
    if (!(m_flags & EXTENDED)) return;
    while (cur != end) {
        if (*cur == L'#') {
            while (cur != end && *cur != L'\n') ++cur;
            if (cur != end) ++cur;
        } else if (is_space(static_cast<uint32_t>(*cur))) {
            ++cur;
        } else {
            break;
        }
    }
}

TOKEN perl_syntax<wchar_t>::next_token(iterator& cur, iterator end) {
    skip_extended(cur, end);
    if (cur == end) return NO_TOKEN;
    uint32_t c = static_cast<uint32_t>(*cur);
    if (c > 255 || !tbl.plain[c]) return NO_TOKEN;
    ++cur;
    if (c == '\\' && cur != end) {
        uint32_t d = static_cast<uint32_t>(*cur);
        if (d <= 255 && tbl.escaped[d]) {
            ++cur;
            return static_cast<TOKEN>(tbl.escaped[d]);
        }
    }
    return static_cast<TOKEN>(tbl.plain[c]);
}

TOKEN perl_syntax<wchar_t>::next_quantifier(iterator& cur, iterator end) {
    skip_extended(cur, end);
    if (cur == end) return NO_TOKEN;
    TOKEN t;
    switch (*cur) {
        case L'*': t = tok_star; break;
        case L'+': t = tok_plus; break;
        case L'?': t = tok_question; break;
        case L'{': ++cur; return tok_repeat_open;
        case L',': ++cur; return tok_repeat_comma;
        case L'}': {
            ++cur;
            iterator save = cur;
            skip_extended(cur, end);
            if (cur != end && *cur == L'?') {
                ++cur;
                return tok_repeat_close_lazy;
            }
            cur = save;
            return tok_repeat_close;
        }
        default: return NO_TOKEN;
    }
    ++cur;
    iterator save = cur;
    skip_extended(cur, end);
    if (cur != end && *cur == L'?') {
        ++cur;
        return static_cast<TOKEN>(t == tok_star ? tok_star_lazy : t == tok_plus ? tok_plus_lazy : tok_question_lazy);
    }
    cur = save;
    return t;
}

TOKEN perl_syntax<wchar_t>::next_extension(iterator& cur, iterator end) {
    skip_extended(cur, end);
    if (cur == end || *cur != L'?') return NO_TOKEN;
    ++cur;
    auto skip_ws = [&] {
        if (m_flags & EXTENDED)
            while (cur != end && is_space(static_cast<uint32_t>(*cur))) ++cur;
    };
    skip_ws();
    if (cur == end) return tok_ext_unknown;
    switch (*cur) {
        case L':': ++cur; return tok_ext_plain;
        case L'=': ++cur; return tok_ext_ahead;
        case L'!': ++cur; return tok_ext_not_ahead;
        case L'>': ++cur; return tok_ext_atomic;
        case L'#': ++cur; return tok_ext_comment;
        case L'(': ++cur; return tok_ext_condition;
        case L'R': ++cur; return tok_ext_recurse;
        case L'<': {
            ++cur;
            skip_extended(cur, end);
            if (cur == end) return tok_ext_unknown;
            if (*cur == L'=') { ++cur; return tok_ext_behind; }
            if (*cur == L'!') { ++cur; return tok_ext_not_behind; }
            return tok_ext_unknown;
        }
        default: break;
    }
    bool negative = false;
    for (;;) {
        if (cur == end) return tok_ext_unknown;
        unsigned bit;
        switch (*cur) {
            case L':': ++cur; return tok_ext_plain;
            case L')': return tok_ext_plain;
            case L'-':
                if (negative) return tok_ext_unknown;
                negative = true;
                ++cur;
                skip_extended(cur, end);
                continue;
            case L'i': bit = NOCASE; break;
            case L'm': bit = MULTILINE; break;
            case L's': bit = SINGLELINE; break;
            case L'x': bit = EXTENDED; break;
            default: return tok_ext_unknown;
        }
        if (negative)
            m_flags &= ~bit;
        else
            m_flags |= bit;
        ++cur;
        skip_extended(cur, end);
    }
}

TOKEN perl_syntax<wchar_t>::next_set_token(iterator& cur, iterator end) {
    switch (*cur) {
        case L'^': ++cur; return tok_set_negate;
        case L'-': ++cur; return tok_set_range;
        case L']': ++cur; return tok_set_close;
        case L'\\': {
            ++cur;
            if (cur == end) return tok_set_escape;
            switch (*cur) {
                case L'b': ++cur; return tok_set_backspace;
                case L'd': ++cur; return tok_digit;
                case L'D': ++cur; return tok_not_digit;
                case L's': ++cur; return tok_space;
                case L'S': ++cur; return tok_not_space;
                case L'w': ++cur; return tok_word;
                case L'W': ++cur; return tok_not_word;
                default: return tok_set_escape;
            }
        }
        case L'[': {
            size_t avail = static_cast<size_t>(end - cur);
            for (unsigned i = 0; i < 24; ++i) {
                size_t len = std::wcslen(class_names[i]);
                if (len <= avail && std::equal(cur, cur + static_cast<std::ptrdiff_t>(len), class_names[i])) {
                    cur += static_cast<std::ptrdiff_t>(len);
                    return static_cast<TOKEN>(tok_set_class + i);
                }
            }
            return NO_TOKEN;
        }
        default: return NO_TOKEN;
    }
}

TOKEN perl_syntax<wchar_t>::next_substitution_token(iterator& cur, iterator end) {
    if (cur == end) return NO_TOKEN;
    if (*cur == L'$') {
        ++cur;
        if (cur != end) {
            switch (*cur) {
                case L'&': ++cur; return tok_subst_match;
                case L'`': ++cur; return tok_subst_before;
                case L'\'': ++cur; return tok_subst_after;
                default: break;
            }
        }
        return tok_subst_group;
    }
    if (*cur == L'\\') {
        ++cur;
        if (cur != end) {
            switch (*cur) {
                case L'Q': ++cur; return tok_subst_quote;
                case L'U': ++cur; return tok_subst_upper;
                case L'u': ++cur; return tok_subst_upper_next;
                case L'L': ++cur; return tok_subst_lower;
                case L'l': ++cur; return tok_subst_lower_next;
                case L'E': ++cur; return tok_subst_case_end;
                default: break;
            }
        }
        return tok_subst_escape;
    }
    return NO_TOKEN;
}

unsigned perl_syntax<wchar_t>::read_number(iterator& cur, iterator end, unsigned limit) {
    uint64_t v = 0;
    while (cur != end && *cur >= L'0' && *cur <= L'9' && v < limit) {
        v = v * 10 + static_cast<unsigned>(*cur - L'0');
        ++cur;
        if (v > limit) {
            --cur;
            v /= 10;
            break;
        }
    }
    return static_cast<unsigned>(v);
}

uint32_t perl_syntax<wchar_t>::read_set_escape(iterator& cur, iterator end, bool translate) {
    auto need = [&] {
        if (cur == end) throw bad_regexpr("expecting end of character set");
    };
    need();
    wchar_t c = *cur;
    if (c >= L'0' && c <= L'7') {
        uint32_t v = 0;
        while (cur != end && *cur >= L'0' && *cur <= L'7') {
            v = v * 8 + static_cast<uint32_t>(*cur - L'0');
            if (v > 0x10FFFF) v = 0x10FFFF;
            ++cur;
        }
        return v;
    }
    ++cur;
    switch (c) {
        case L'a': return translate ? 7 : 'a';
        case L'f': return translate ? 12 : 'f';
        case L'n': return translate ? 10 : 'n';
        case L'r': return translate ? 13 : 'r';
        case L't': return translate ? 9 : 't';
        case L'v': return translate ? 11 : 'v';
        case L'e': return 27;
        case L'c': {
            need();
            wchar_t x = *cur++;
            if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - 32);
            return static_cast<uint32_t>(x) ^ 0x40u;
        }
        case L'x': {
            uint32_t v = 0;
            int d;
            while (cur != end && (d = hex_value(*cur)) >= 0) {
                v = v * 16 + static_cast<uint32_t>(d);
                if (v > 0x10FFFF) v = 0x10FFFF;
                ++cur;
            }
            return v;
        }
        default: return static_cast<uint32_t>(c);
    }
}

}  // namespace regex
