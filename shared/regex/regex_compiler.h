// The pattern compiler: pattern text -> node graph, replacement text -> replacement program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "shared/regex/regex_nodes.h"
#include "shared/regex/regex_scan.h"
#include "shared/regex/regex_syntax.h"

namespace regex {
namespace detail {

// One item of a replacement program.
struct subst_item {
    enum kind_type { LITERAL = 0, GROUP = 1, CASE_OP = 2 } kind;
    size_t offset = 0;  // literal: offset and length in the stored replacement text
    size_t length = 0;
    int group = 0;      // group reference: number; -1 text before the match, -2 text after it
    int case_op = 0;    // case operation
};
enum case_op_code { CASE_UPPER_ON = 1, CASE_UPPER_NEXT = 2, CASE_LOWER_ON = 3, CASE_LOWER_NEXT = 4, CASE_END = 5 };

// Escape translation of a replacement text (applied when NORMALIZE is set).
std::wstring translate_replacement(const std::wstring& text);
// Parses a replacement text; sets has_refs when it refers to a group or the match.
std::vector<subst_item> parse_replacement(const std::wstring& text, unsigned capture_count, bool& has_refs);

// Finds the literal that every match begins with.
class prefix_scanner {
public:
    prefix_scanner(const wchar_t* lit, const wchar_t* lower, size_t len, node_arena& arena);
    template <class It>
    It find(It from, It end) const {
        const size_t n = static_cast<size_t>(end - from);
        return from + static_cast<std::ptrdiff_t>(n ? m_finder.find(std::to_address(from), 0, n) : 0);
    }

private:
    literal_finder m_finder;
};

// For a pattern that is a run of single characters from a set (with assertions among them)
// followed by a literal, as "[a-z]+ing": a match starts at most `width` characters before an
// occurrence of the literal, all of them in `chars`.
struct literal_prefilter {
    start_set chars;
    width_type width{0, 0};
    literal_finder finder;
};

// Everything a compiled pattern holds.
template <class It>
struct basic_rpattern_base_impl {
    std::unique_ptr<node_arena> arena = std::make_unique<node_arena>(352);
    bool has_group_refs = false;
    bool try_every_start = true;
    bool safe_for_recursion = true;
    bool has_recursion = false;
    unsigned group_counter = 0;
    unsigned capture_count = 0;
    unsigned m_flags = 0;
    unsigned m_mode = 0;
    width_type width{0, 0};
    std::wstring pattern;
    std::wstring replacement;
    std::vector<subst_item> program;
    match_group<It>* root = nullptr;
    std::vector<unsigned> hidden;
    const prefix_scanner* scanner = nullptr;
    req_rec required;  // a character every match contains
    // The characters a match can begin with, when known: the whole set, and the characters
    // themselves when one or two characters below 256 are all there is.
    bool has_starts = false;
    start_set starts;
    unsigned start_count = 0;
    wchar_t start_chars[2] = {0, 0};
    char_ranges start_ranges;  // the set as a few runs of characters, when it is one (no wide ones)
    const literal_prefilter* prefilter = nullptr;
    const literal_finder* behind = nullptr;  // a look-behind's literal that ends where every match starts

    void swap(basic_rpattern_base_impl& o) noexcept {
        std::swap(arena, o.arena);
        std::swap(has_group_refs, o.has_group_refs);
        std::swap(try_every_start, o.try_every_start);
        std::swap(safe_for_recursion, o.safe_for_recursion);
        std::swap(has_recursion, o.has_recursion);
        std::swap(group_counter, o.group_counter);
        std::swap(capture_count, o.capture_count);
        std::swap(m_flags, o.m_flags);
        std::swap(m_mode, o.m_mode);
        std::swap(width, o.width);
        pattern.swap(o.pattern);
        replacement.swap(o.replacement);
        program.swap(o.program);
        std::swap(root, o.root);
        hidden.swap(o.hidden);
        std::swap(scanner, o.scanner);
        std::swap(required, o.required);
        std::swap(has_starts, o.has_starts);
        std::swap(starts, o.starts);
        std::swap(start_count, o.start_count);
        std::swap(start_chars, o.start_chars);
        std::swap(start_ranges, o.start_ranges);
        std::swap(prefilter, o.prefilter);
        std::swap(behind, o.behind);
    }
};

// Nesting deeper than this is refused (each level costs call stack while compiling).
constexpr unsigned max_nesting = 1000;

template <class It>
class compiler {
    using iter = std::wstring::const_iterator;

public:
    explicit compiler(basic_rpattern_base_impl<It>& p) : m_p(p), m_arena(*p.arena), m_syn(p.m_flags) {}

    void compile() {
        compile_guard_scope guard;
        const std::wstring& pat = m_p.pattern;
        m_cur = pat.begin();
        m_end = pat.end();
        m_p.group_counter = 0;
        m_p.capture_count = 0;
        lit_rec lit;
        bool has_lit = false;
        match_group<It>* g0 = m_arena.make<match_group<It>>(m_arena, 0);
        m_p.group_counter = 1;
        m_p.capture_count = 1;
        m_groups.assign(1, g0);
        if (m_syn.next_extension(m_cur, m_end) != NO_TOKEN) throw bad_regexpr("ill-formed regular expression");
        parse_alternatives(g0, true, false);
        has_lit = g0->finish(lit);
        g0->build_trie();
        g0->next = m_arena.make<end_of_pattern<It>>();
        m_p.root = g0;

        // Back-references and numbered conditions: renumbered exactly once, here.
        for (unsigned* ref : m_backrefs) {
            *ref = renumber(*ref, m_p.hidden);
            if (*ref >= m_p.group_counter) throw bad_regexpr("reference to nonexistent group");
        }
        for (unsigned* ref : m_conditions) *ref = renumber(*ref, m_p.hidden);

        width_ctx<It> ctx;
        ctx.groups.assign(m_p.group_counter, nullptr);
        for (size_t i = 0; i < m_groups.size(); ++i) ctx.groups[i] = m_groups[i];
        m_p.width = g0->width(ctx);

        // Start-position decisions.
        bool one_alt = g0->nalts == 1;
        if (!(m_p.m_flags & MULTILINE) && one_alt && !pat.empty() && pat[0] == L'^') {
            m_p.try_every_start = false;
            m_p.m_flags &= ~RIGHTMOST;
        }
        if (!(m_p.m_flags & RIGHTMOST) && (m_p.m_flags & SINGLELINE) && one_alt && pat.size() >= 2 && pat[0] == L'.' &&
            (pat[1] == L'*' || pat[1] == L'+'))
            m_p.try_every_start = false;
        if (one_alt) chain_required(g0->alts[0], m_p.required);
        m_p.has_starts = g0->first_chars(m_p.starts);
        if (m_p.has_starts) {
            m_p.start_count = m_p.starts.wide ? 3 : m_p.starts.low_chars(m_p.start_chars, 2);
            if (m_p.start_count == 0) m_p.has_starts = false;  // nothing can match: every search fails anyway
            if (!m_p.starts.wide) m_p.starts.low_ranges(m_p.start_ranges);
        }
        // (where one or two characters begin every match, looking for them is quicker)
        if (one_alt && !(m_p.has_starts && m_p.start_count <= 2)) m_p.prefilter = find_prefilter(g0->alts[0]);
        if (one_alt) {
            const wchar_t* forms = nullptr;
            const wchar_t* other = nullptr;
            size_t len = 0;
            if (g0->alts[0]->behind_literal(forms, other, len)) m_p.behind = m_arena.make<literal_finder>(forms, other, len);
        }
        for (sub_expr<It>* q : m_quantified) q->link_follow(m_arena);
        if (has_lit && lit.has_literal) {
            size_t len = static_cast<size_t>(lit.lit_end - lit.lit_begin);
            m_p.scanner = m_arena.make<prefix_scanner>(lit.lit_begin, lit.lower, len, m_arena);
        }
    }

private:
    // The literal prefilter of a chain, if it has the shape for one.
    const literal_prefilter* find_prefilter(const sub_expr<It>* n) {
        start_set chars;
        width_type width{0, 0};
        for (; n && !n->is_end(); n = n->next) {
            const wchar_t* forms = nullptr;
            const wchar_t* other = nullptr;
            size_t len = 0;
            if (width.m_max > 0 && n->literal_text(forms, other, len)) {
                auto* pf = m_arena.make<literal_prefilter>();
                pf->chars = chars;
                pf->width = width;
                pf->finder = literal_finder(forms, other, len);
                return pf;
            }
            if (!n->single_chars(chars, width)) return nullptr;
        }
        return nullptr;
    }

    bool nocase() const { return (m_syn.get_flags() & NOCASE) != 0; }
    bool at_end() {
        iter c = m_cur;
        m_syn.skip_extended(c, m_end);
        return c == m_end;
    }

    template <class Atom>
    sub_expr<It>* atom(const Atom& a) {
        return m_arena.make<atom_node<It, Atom>>(a);
    }
    sub_expr<It>* make_char(wchar_t c) {
        if (nocase()) {
            wchar_t lo = wlower(c), up = wupper(c);
            if (lo != up && (c == lo || c == up)) return atom(char_nocase_atom<It>{lo, up});
            if (lo != up) {  // a title-case letter: itself and both other forms
                charset_builder b;
                for (wchar_t x : {c, lo, up}) b.add_char(static_cast<uint32_t>(x), false);
                return atom(charset_atom<It, true>{b.finalize(&m_arena)});
            }
        }
        return atom(char_atom<It>{c});
    }
    sub_expr<It>* make_literal(const std::wstring& run) {
        if (run.size() == 1) return make_char(run[0]);
        unsigned len = static_cast<unsigned>(run.size());
        wchar_t* a = static_cast<wchar_t*>(m_arena.allocate(len * sizeof(wchar_t)));
        if (!nocase()) {
            std::copy(run.begin(), run.end(), a);
            return atom(literal_atom<It>{a, len});
        }
        wchar_t* b = static_cast<wchar_t*>(m_arena.allocate(len * sizeof(wchar_t)));
        for (unsigned i = 0; i < len; ++i) {
            a[i] = wupper(run[i]);
            b[i] = wlower(run[i]);
        }
        return atom(literal_nocase_atom<It>{a, b, len});
    }
    sub_expr<It>* make_set(const charset* set) {
        if (nocase()) return atom(charset_atom<It, false>{set});
        return atom(charset_atom<It, true>{set});
    }

    // Reads "{n}", "{n,}", "{n,m}" (and the lazy forms) from c; false when it is no bound.
    bool read_bound(iter& c, unsigned& lo, unsigned& hi, bool& greedy) {
        bool too_big = false;
        auto number = [&](unsigned& v) {
            bool digits = c != m_end && *c >= L'0' && *c <= L'9';
            v = perl_syntax<wchar_t>::read_number(c, m_end, UNBOUNDED);
            if (c != m_end && *c >= L'0' && *c <= L'9') {
                too_big = true;
                while (c != m_end && *c >= L'0' && *c <= L'9') ++c;
            }
            return digits;
        };
        number(lo);
        if (c == m_end) return false;
        TOKEN t = m_syn.next_quantifier(c, m_end);
        if (t == tok_repeat_comma) {
            if (c == m_end) return false;
            if (!number(hi)) hi = UNBOUNDED;
            if (c == m_end) return false;
            t = m_syn.next_quantifier(c, m_end);
        } else {
            hi = lo;
        }
        if (t == tok_repeat_close)
            greedy = true;
        else if (t == tok_repeat_close_lazy)
            greedy = false;
        else
            return false;
        // A bound that does not fit in 32 bits would wrap around: refuse it.
        if (too_big) throw bad_regexpr("repetition bound out of range");
        if (hi < lo) throw bad_regexpr("Can't do {n, m} with n > m");
        return lo != UNBOUNDED;
    }

    // Reads a quantifier at c; false when none is there.
    bool read_quantifier_at(iter& c, unsigned& lo, unsigned& hi, bool& greedy) {
        TOKEN t = m_syn.next_quantifier(c, m_end);
        greedy = true;
        switch (t) {
            case tok_star: lo = 0; hi = UNBOUNDED; return true;
            case tok_plus: lo = 1; hi = UNBOUNDED; return true;
            case tok_question: lo = 0; hi = 1; return true;
            case tok_star_lazy: lo = 0; hi = UNBOUNDED; greedy = false; return true;
            case tok_plus_lazy: lo = 1; hi = UNBOUNDED; greedy = false; return true;
            case tok_question_lazy: lo = 0; hi = 1; greedy = false; return true;
            case tok_repeat_open: return read_bound(c, lo, hi, greedy);
            default: return false;
        }
    }
    bool quantifier_follows() {
        iter c = m_cur;
        unsigned lo, hi;
        bool greedy;
        return read_quantifier_at(c, lo, hi, greedy);
    }

    sub_expr<It>* read_quantifier(sub_expr<It>* node) {
        if (m_cur == m_end || node->is_assertion()) return node;
        iter c = m_cur;
        unsigned lo, hi;
        bool greedy;
        if (!read_quantifier_at(c, lo, hi, greedy)) return node;
        if (dynamic_cast<match_group_base<It>*>(node) && hi > 16) m_p.safe_for_recursion = false;
        sub_expr<It>* q = node->quantify(lo, hi, greedy, m_arena);
        m_quantified.push_back(q);
        m_cur = c;
        return q;
    }
    void add(match_group_base<It>* g, sub_expr<It>* node) { g->add_node(read_quantifier(node)); }

    void parse_literal_run(match_group_base<It>* g) {
        std::wstring run;
        bool quant = false;
        for (;;) {
            if (quantifier_follows()) {
                quant = true;
                break;
            }
            iter c = m_cur;
            if (m_syn.next_token(c, m_end) != NO_TOKEN || c == m_end) break;
            run.push_back(*c);
            m_cur = c + 1;
        }
        if (run.empty()) throw bad_regexpr("quantifier not expected");
        if (!quant) {
            g->add_node(make_literal(run));
            return;
        }
        if (run.size() > 1) g->add_node(make_literal(run.substr(0, run.size() - 1)));
        add(g, make_char(run.back()));
    }

    sub_expr<It>* parse_escape() {
        if (m_cur == m_end) return make_char(L'\\');
        wchar_t c = *m_cur;
        if (c >= L'0' && c <= L'9') {
            iter d = m_cur;
            unsigned n = 0;
            for (int k = 0; k < 3 && d != m_end && *d >= L'0' && *d <= L'9'; ++k, ++d) n = n * 10 + unsigned(*d - L'0');
            if (c == L'0' || (n > 9 && n >= m_p.group_counter)) {
                unsigned v = 0;
                for (int k = 0; k < 3 && m_cur != m_end && *m_cur >= L'0' && *m_cur <= L'7'; ++k, ++m_cur)
                    v = v * 8 + unsigned(*m_cur - L'0');
                return make_char(static_cast<wchar_t>(v));
            }
            m_cur = d;
            sub_expr<It>* node;
            if (nocase()) {
                auto* a = m_arena.make<atom_node<It, backref_atom<It, true>>>(backref_atom<It, true>{n});
                m_backrefs.push_back(&a->atom.group);
                node = a;
            } else {
                auto* a = m_arena.make<atom_node<It, backref_atom<It, false>>>(backref_atom<It, false>{n});
                m_backrefs.push_back(&a->atom.group);
                node = a;
            }
            return node;
        }
        ++m_cur;
        bool norm = (m_syn.get_flags() & NORMALIZE) != 0;
        switch (c) {
            case L'e': return make_char(27);
            case L'x': {
                unsigned v = 0;
                for (int k = 0; k < 2 && m_cur != m_end && iswxdigit_ascii(*m_cur); ++k, ++m_cur) v = v * 16 + hexval(*m_cur);
                return make_char(static_cast<wchar_t>(v));
            }
            case L'c': {
                if (m_cur == m_end) throw bad_regexpr("incomplete escape sequence \\c");
                wchar_t x = *m_cur++;
                if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - 32);
                return make_char(static_cast<wchar_t>(x ^ 0x40));
            }
            case L'a': return make_char(norm ? 7 : L'a');
            case L'f': return make_char(norm ? 12 : L'f');
            case L'n': return make_char(norm ? 10 : L'n');
            case L'r': return make_char(norm ? 13 : L'r');
            case L't': return make_char(norm ? 9 : L't');
            default: return make_char(c);
        }
    }
    static bool iswxdigit_ascii(wchar_t c) {
        return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
    }
    static unsigned hexval(wchar_t c) {
        if (c <= L'9') return unsigned(c - L'0');
        if (c >= L'a') return unsigned(c - L'a' + 10);
        return unsigned(c - L'A' + 10);
    }

    sub_expr<It>* parse_set() {
        charset_builder b;
        bool nc = nocase();
        bool norm = (m_syn.get_flags() & NORMALIZE) != 0;
        auto need = [&] {
            if (m_cur == m_end) throw bad_regexpr("expecting end of character set");
        };
        need();
        if (*m_cur == L'^') {
            b.negated = true;
            ++m_cur;
        }
        bool first = true, has_pending = false;
        uint32_t pending = 0;
        auto flush = [&] {
            if (has_pending) b.add_char(pending, nc);
            has_pending = false;
        };
        auto add_class_token = [&](unsigned t) {
            if (t >= tok_digit && t <= tok_not_word) {
                static const intrinsic_kind kinds[6] = {IC_DIGIT, IC_NOT_DIGIT, IC_SPACE, IC_NOT_SPACE, IC_WORD, IC_NOT_WORD};
                b.merge(intrinsic_charset(kinds[t - tok_digit]));
                return;
            }
            uint16_t mask = perl_syntax<wchar_t>::class_of_token(t);
            if (nc && (mask == CT_LOWER || mask == CT_UPPER)) mask = CT_LOWER | CT_UPPER;
            if ((t - tok_set_class) & 1)
                b.add_negated_class(mask);
            else
                b.add_class(mask);
        };
        auto is_class = [](unsigned t) {
            return (t >= tok_digit && t <= tok_not_word) || (t >= tok_set_class && t <= tok_set_class_last);
        };
        for (;;) {
            need();
            uint32_t ch = 0;
            if (first && (*m_cur == L']' || *m_cur == L'-' || *m_cur == L'^')) {
                ch = static_cast<uint32_t>(*m_cur++);
            } else {
                TOKEN t = m_syn.next_set_token(m_cur, m_end);
                if (t == tok_set_close) break;
                if (is_class(t)) {
                    flush();
                    add_class_token(t);
                    first = false;
                    continue;
                }
                switch (t) {
                    case tok_set_negate: ch = L'^'; break;
                    case tok_set_backspace: ch = 8; break;
                    case tok_set_escape: ch = perl_syntax<wchar_t>::read_set_escape(m_cur, m_end, norm); break;
                    case tok_set_range: {
                        if (!has_pending) {
                            ch = L'-';
                            break;
                        }
                        need();
                        iter c = m_cur;
                        if (*c == L']') {
                            flush();
                            b.add_char(L'-', nc);
                            first = false;
                            continue;
                        }
                        TOKEN t2 = m_syn.next_set_token(c, m_end);
                        uint32_t hi;
                        if (is_class(t2)) {
                            flush();
                            b.add_char(L'-', nc);
                            first = false;
                            continue;  // the class is read by the next round
                        }
                        switch (t2) {
                            case tok_set_escape: hi = perl_syntax<wchar_t>::read_set_escape(c, m_end, norm); break;
                            case tok_set_backspace: hi = 8; break;
                            case tok_set_range: hi = L'-'; break;
                            case tok_set_negate: hi = L'^'; break;
                            default: hi = static_cast<uint32_t>(*c++); break;
                        }
                        m_cur = c;
                        b.add_range(pending, hi, nc);
                        has_pending = false;
                        first = false;
                        continue;
                    }
                    default: ch = static_cast<uint32_t>(*m_cur++); break;
                }
            }
            first = false;
            flush();
            pending = ch;
            has_pending = true;
        }
        flush();
        return make_set(b.finalize(&m_arena));
    }

    // Parses the alternatives of g up to its closing parenthesis (or the end for group 0).
    void parse_alternatives(match_group_base<It>* g, bool top, bool conditional) {
        for (;;) {
            iter before = m_cur;
            TOKEN t = m_syn.next_token(m_cur, m_end);
            if (t == NO_TOKEN && m_cur == m_end) {
                if (!top) throw bad_regexpr("mismatched parenthesis");
                return;
            }
            switch (t) {
                case tok_group_close:
                    if (top) throw bad_regexpr("mismatched parenthesis");
                    return;
                case tok_alternation:
                    if (conditional && g->alternatives_so_far() >= 2)
                        throw bad_regexpr("Too many alternates in conditional subexpression");
                    g->close_alternative();
                    break;
                case tok_group_open: {
                    sub_expr<It>* n = parse_group(g);
                    if (n) add(g, n);
                    break;
                }
                case tok_line_start:
                    if (m_syn.get_flags() & MULTILINE)
                        add(g, m_arena.make<assert_op<It, BOL>>());
                    else
                        add(g, m_arena.make<assert_op<It, BOS>>());
                    break;
                case tok_line_end:
                    if (m_syn.get_flags() & MULTILINE)
                        add(g, m_arena.make<assert_op<It, EOL>>());
                    else
                        add(g, m_arena.make<assert_op<It, PEOS>>());
                    break;
                case tok_text_start: add(g, m_arena.make<assert_op<It, BOS>>()); break;
                case tok_text_end_or_final_newline: add(g, m_arena.make<assert_op<It, PEOS>>()); break;
                case tok_text_end: add(g, m_arena.make<assert_op<It, EOS>>()); break;
                case tok_word_boundary: add(g, m_arena.make<word_assertion_t<It>>(true)); break;
                case tok_not_word_boundary: add(g, m_arena.make<word_assertion_t<It>>(false)); break;
                case tok_any: add(g, atom(any_atom<It>{(m_syn.get_flags() & SINGLELINE) != 0})); break;
                case tok_set_open: add(g, parse_set()); break;
                case tok_digit: add(g, make_set(&intrinsic_charset(IC_DIGIT))); break;
                case tok_not_digit: add(g, make_set(&intrinsic_charset(IC_NOT_DIGIT))); break;
                case tok_space: add(g, make_set(&intrinsic_charset(IC_SPACE))); break;
                case tok_not_space: add(g, make_set(&intrinsic_charset(IC_NOT_SPACE))); break;
                case tok_word: add(g, make_set(&intrinsic_charset(IC_WORD))); break;
                case tok_not_word: add(g, make_set(&intrinsic_charset(IC_NOT_WORD))); break;
                case tok_escape: add(g, parse_escape()); break;
                case tok_quote_start: {
                    std::wstring run;
                    while (m_cur != m_end) {
                        if (*m_cur == L'\\' && m_cur + 1 != m_end && m_cur[1] == L'E') {
                            m_cur += 2;
                            break;
                        }
                        run.push_back(*m_cur++);
                    }
                    if (!run.empty()) g->add_node(make_literal(run));
                    break;
                }
                case tok_quote_end: throw bad_regexpr("quotemeta turned off, but was never turned on");
                default:
                    m_cur = before;
                    parse_literal_run(g);
                    break;
            }
        }
    }

    template <class G>
    G* finish_group(G* g, unsigned saved_flags, unsigned first_inner, bool allow_filter = true) {
        lit_rec lit;
        g->finish(lit, allow_filter);
        g->set_inner_groups(first_inner, m_p.group_counter - first_inner);
        m_syn.set_flags(saved_flags);
        return g;
    }
    unsigned new_group(bool hidden) {
        unsigned n = m_p.group_counter++;
        if (hidden)
            m_p.hidden.push_back(n);
        else
            ++m_p.capture_count;
        return n;
    }
    void enter_table(unsigned n, match_group_base<It>* g) {
        if (m_groups.size() <= n) m_groups.resize(n + 1, nullptr);
        m_groups[n] = g;
    }

    // Parses the assertion group that follows an extension token.
    independent_group_base<It>* parse_lookaround(TOKEN ext, unsigned saved_flags) {
        unsigned first_inner = m_p.group_counter;
        independent_group_base<It>* g;
        if (ext == tok_ext_ahead || ext == tok_ext_not_ahead)
            g = m_arena.make<lookahead_assertion<It>>(m_arena, ext == tok_ext_ahead);
        else
            g = m_arena.make<lookbehind_assertion<It>>(m_arena, ext == tok_ext_behind);
        parse_alternatives(g, false, false);
        return finish_group(g, saved_flags, first_inner);
    }

    // Called after "(": returns the node to append, or null when the group builds nothing.
    sub_expr<It>* parse_group(match_group_base<It>* enclosing) {
        compile_guard();
        if (++m_depth > max_nesting) throw bad_regexpr("regular expression too complex");
        struct depth_scope {
            unsigned& d;
            ~depth_scope() { --d; }
        } ds{m_depth};
        unsigned saved_flags = m_syn.get_flags();
        TOKEN ext = m_syn.next_extension(m_cur, m_end);
        if (ext != NO_TOKEN && m_cur == m_end) throw bad_regexpr("ill-formed regular expression");
        switch (ext) {
            case NO_TOKEN: {
                unsigned first_inner = m_p.group_counter;
                unsigned n = new_group(false);
                auto* g = m_arena.make<match_group<It>>(m_arena, static_cast<int>(n));
                parse_alternatives(g, false, false);
                finish_group(g, saved_flags, first_inner + 1);
                g->build_trie();
                enter_table(n, g);
                return g;
            }
            case tok_ext_plain: {
                bool colon = m_cur[-1] == L':';
                iter c = m_cur;
                if (m_syn.next_token(c, m_end) == tok_group_close) {
                    m_cur = c;
                    if (colon) m_syn.set_flags(saved_flags);
                    return nullptr;  // "(?i)" keeps its flags for the rest of the enclosing group
                }
                unsigned n = new_group(true);
                auto* g = m_arena.make<match_group<It>>(m_arena, static_cast<int>(n));
                parse_alternatives(g, false, false);
                finish_group(g, saved_flags, n + 1);
                g->build_trie();
                enter_table(n, g);
                return g;
            }
            case tok_ext_ahead:
            case tok_ext_not_ahead:
            case tok_ext_behind:
            case tok_ext_not_behind: return parse_lookaround(ext, saved_flags);
            case tok_ext_atomic: {
                unsigned n = new_group(true);
                auto* g = m_arena.make<independent_group<It>>(m_arena, static_cast<int>(n), true);
                parse_alternatives(g, false, false);
                finish_group(g, saved_flags, n + 1);
                enter_table(n, g);
                return g;
            }
            case tok_ext_comment:
                while (m_cur != m_end && *m_cur != L')') ++m_cur;
                if (m_cur == m_end) throw bad_regexpr("Expecting end of comment");
                ++m_cur;
                return nullptr;
            case tok_ext_condition: {
                unsigned n = new_group(true);
                auto* g = m_arena.make<match_conditional<It>>(m_arena, static_cast<int>(n));
                if (*m_cur >= L'0' && *m_cur <= L'9') {
                    unsigned k = perl_syntax<wchar_t>::read_number(m_cur, m_end, 999);
                    if (k == 0 || m_cur == m_end || *m_cur != L')') throw bad_regexpr("bad extension sequence");
                    ++m_cur;
                    g->cond_group = k;
                    m_conditions.push_back(&g->cond_group);
                } else {
                    unsigned f = m_syn.get_flags();
                    TOKEN t = m_syn.next_extension(m_cur, m_end);
                    if (t < tok_ext_ahead || t > tok_ext_not_behind) throw bad_regexpr("bad extension sequence");
                    independent_group_base<It>* a = parse_lookaround(t, f);
                    a->next = m_arena.make<accept_node<It>>();
                    g->cond = a;
                }
                parse_alternatives(g, false, true);
                finish_group(g, saved_flags, n + 1, g->alternatives_so_far() == 2);
                enter_table(n, g);
                return g;
            }
            case tok_ext_recurse:
                if (*m_cur != L')') throw bad_regexpr("bad extension sequence");
                ++m_cur;
                m_p.safe_for_recursion = false;
                m_p.has_recursion = true;
                return m_arena.make<match_recurse<It>>();
            default: throw bad_regexpr("bad extension sequence");
        }
        (void)enclosing;
    }

    basic_rpattern_base_impl<It>& m_p;
    node_arena& m_arena;
    perl_syntax<wchar_t> m_syn;
    iter m_cur, m_end;
    unsigned m_depth = 0;
    std::vector<match_group_base<It>*> m_groups;
    std::vector<unsigned*> m_backrefs;
    std::vector<unsigned*> m_conditions;
    std::vector<sub_expr<It>*> m_quantified;
};

}  // namespace detail
}  // namespace regex
