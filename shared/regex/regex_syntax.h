// The tokenizer of the Perl-like pattern syntax.
#pragma once

#include <string>

#include "shared/regex/regex_core.h"

namespace regex {

enum TOKEN : unsigned {
    NO_TOKEN = 0,
    tok_group_open = 1,
    tok_group_close = 2,
    tok_alternation = 3,
    tok_line_start = 4,
    tok_line_end = 5,
    tok_set_open = 6,
    tok_any = 7,
    tok_escape = 8,
    tok_plus = 9,
    tok_star = 10,
    tok_question = 11,
    tok_plus_lazy = 12,
    tok_star_lazy = 13,
    tok_question_lazy = 14,
    tok_repeat_open = 15,
    tok_repeat_comma = 16,
    tok_repeat_close = 17,
    tok_repeat_close_lazy = 18,
    tok_digit = 19,
    tok_not_digit = 20,
    tok_space = 21,
    tok_not_space = 22,
    tok_word = 23,
    tok_not_word = 24,
    tok_text_start = 25,
    tok_text_end_or_final_newline = 26,
    tok_text_end = 27,
    tok_word_boundary = 28,
    tok_not_word_boundary = 29,
    tok_quote_start = 32,
    tok_quote_end = 33,
    tok_subst_group = 34,
    tok_subst_before = 35,
    tok_subst_after = 36,
    tok_subst_match = 37,
    tok_subst_escape = 38,
    tok_subst_quote = 39,
    tok_subst_upper = 40,
    tok_subst_upper_next = 41,
    tok_subst_lower = 42,
    tok_subst_lower_next = 43,
    tok_subst_case_end = 44,
    tok_set_negate = 45,
    tok_set_escape = 46,
    tok_set_range = 47,
    tok_set_backspace = 48,
    tok_set_close = 49,
    tok_set_class = 50,  // 50..73: the POSIX class names, plain and negated, in name order
    tok_set_class_last = 73,
    tok_ext_plain = 74,
    tok_ext_ahead = 75,
    tok_ext_not_ahead = 76,
    tok_ext_behind = 77,
    tok_ext_not_behind = 78,
    tok_ext_atomic = 79,
    tok_ext_comment = 80,
    tok_ext_condition = 81,
    tok_ext_recurse = 82,
    tok_ext_unknown = 83,
};

template <class CharT>
class perl_syntax;

// Cuts pattern text into tokens; carries the flag word, which inline modifiers change.
template <>
class perl_syntax<wchar_t> {
public:
    using char_type = wchar_t;
    using iterator = std::wstring::const_iterator;

    explicit perl_syntax(unsigned flags = 0) : m_flags(flags) {}
    unsigned get_flags() const { return m_flags; }
    void set_flags(unsigned f) { m_flags = f; }

    TOKEN next_token(iterator& cur, iterator end);
    TOKEN next_quantifier(iterator& cur, iterator end);
    TOKEN next_extension(iterator& cur, iterator end);
    TOKEN next_set_token(iterator& cur, iterator end);
    TOKEN next_substitution_token(iterator& cur, iterator end);
    void skip_extended(iterator& cur, iterator end) const;

    // Unsigned decimal number; stops before the digit that would take the value above limit.
    static unsigned read_number(iterator& cur, iterator end, unsigned limit);
    // Value of an escape inside a set, the cursor just after the backslash.
    static uint32_t read_set_escape(iterator& cur, iterator end, bool translate);

    // Class mask of a tok_set_class token (the plain name of the pair).
    static uint16_t class_of_token(unsigned tok);

private:
    unsigned m_flags;
};

}  // namespace regex
