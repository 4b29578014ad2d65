// Matching nodes: the node interface, the stack-safe driver, single-position nodes, group nodes
// and the quantifiers. Every node works in the recursive mode (match_rest) and through the
// stack-safe driver (step / retry).
#pragma once

#include <algorithm>
#include <type_traits>

#include "shared/regex/regex_charset.h"
#include "shared/regex/regex_core.h"
#include "shared/regex/regex_trie.h"

namespace regex {
namespace detail {

template <class It>
class match_group_base;

// Width context: the group table (null for a group while it is being measured).
template <class It>
struct width_ctx {
    std::vector<match_group_base<It>*> groups;
};

template <class It>
class sub_expr {
public:
    sub_expr* next = nullptr;

    virtual ~sub_expr() = default;
    virtual bool match_rest(match_state<It>& s, It p) const {
        stack_guard(s);
        if (!match_this(s, p)) return false;
        return next->match_rest(s, p);
    }
    virtual bool step(match_state<It>& s) const {
        s.next = next;
        return true;
    }
    virtual bool retry(match_state<It>&) const { return false; }
    virtual sub_expr* quantify(unsigned, unsigned, bool, node_arena&) {
        throw bad_regexpr("sub-expression cannot be quantified");
    }
    virtual bool match_this(match_state<It>&, It&) const { return true; }
    virtual bool is_assertion() const { return false; }
    virtual width_type width(width_ctx<It>& ctx) = 0;
    virtual bool leading_literal(lit_rec&) const { return false; }
    // Records in r a character that every match of this node must contain, if it knows one (a
    // later node of a chain overrides an earlier one).
    virtual void note_required(req_rec&) const {}
    // Adds to f every character that can begin a match of the chain from this node on (this
    // node and what follows it); false when that cannot be told (a match may be empty, or the
    // node does not say).
    virtual bool first_chars(start_set&) const { return false; }
    // For a node that takes only characters one at a time from a set (one-character atoms, their
    // quantifiers) or nothing (assertions): adds the set to f and the node's width to w.
    virtual bool single_chars(start_set&, width_type&) const { return false; }
    // For a node that matches a fixed literal: its characters, in one or two forms.
    virtual bool literal_text(const wchar_t*&, const wchar_t*&, size_t&) const { return false; }
    // For a positive look-behind of one literal: that literal.
    virtual bool behind_literal(const wchar_t*&, const wchar_t*&, size_t&) const { return false; }
    // Called once the pattern is linked: a node may note what can follow it.
    virtual void link_follow(node_arena&) {}
    // True for the nodes that end an alternative's chain inside a group or quantifier.
    virtual bool is_end() const { return false; }
    // True for an atom that always matches exactly one character and has no other effect;
    // match_this then tests one character.
    virtual bool is_one_char() const { return false; }
};

// Counts a node visited while a start set is computed; false once that has taken too long.
inline bool first_chars_visit(start_set& f) {
    compile_guard();
    return ++f.work <= 4096;
}

// The last character that every match of the chain from n up to its end node must contain.
template <class It>
void chain_required(const sub_expr<It>* n, req_rec& r) {
    compile_guard();
    for (; n && !n->is_end(); n = n->next) n->note_required(r);
}

// Width of a chain from n up to its end node.
template <class It>
width_type chain_width(sub_expr<It>* n, width_ctx<It>& ctx) {
    width_type w;
    for (; n && !n->is_end(); n = n->next) w = w + n->width(ctx);
    return w;
}

// The stack-safe driver: runs the chain from first at position p one node at a time, keeping the
// trail on the state's stack. Leaves the stack as it found it.
template <class It>
bool drive(match_state<It>& s, const sub_expr<It>* first, It p) {
    hetero_stack& stk = *s.stk;
    hetero_stack::mark_type mark = stk.mark();
    stack_guard(s);
    s.cur = p;
    try {
        if (!first->step(s)) {
            stk.unwind(mark);
            return false;
        }
        const sub_expr<It>* done = first;
        while (s.next) {
            if (--s.steps_left == 0) throw step_budget_exhausted();
            stk.push(done);
            const sub_expr<It>* n = s.next;
            if (n->step(s)) {
                done = n;
                continue;
            }
            for (;;) {
                if (stk.mark() == mark) return false;
                const sub_expr<It>* back = stk.template pop<const sub_expr<It>*>();
                if (back->retry(s)) {
                    done = back;
                    break;
                }
            }
        }
    } catch (...) {
        stk.unwind(mark);
        throw;
    }
    stk.unwind(mark);
    return true;
}

// ---------------------------------------------------------------- assertions

template <class It>
class assertion : public sub_expr<It> {
public:
    bool is_assertion() const override { return true; }
    width_type width(width_ctx<It>&) override { return {0, 0}; }
    bool leading_literal(lit_rec& r) const override {
        compile_guard();
        return this->next->leading_literal(r);
    }
    bool first_chars(start_set& f) const override { return first_chars_visit(f) && this->next->first_chars(f); }
    bool single_chars(start_set&, width_type&) const override { return true; }
    bool step(match_state<It>& s) const override {
        It p = s.cur;
        if (!this->match_this(s, p)) return false;
        s.next = this->next;
        return true;
    }
};

enum assert_kind { BOS, BOL, EOL, PEOS, EOS };

template <class It, assert_kind K>
class assert_op final : public assertion<It> {
public:
    bool match_this(match_state<It>& s, It& p) const override {
        switch (K) {
            case BOS: return p == s.begin;
            case BOL: return p == s.begin || p[-1] == L'\n';
            case EOS: return p == s.end;
            case EOL: return p == s.end || *p == L'\n';
            case PEOS: return p == s.end || (*p == L'\n' && p + 1 == s.end);
        }
        return false;
    }
};

template <class It>
class word_assertion_t final : public assertion<It> {
public:
    explicit word_assertion_t(bool boundary) : m_boundary(boundary), m_word(intrinsic_charset(IC_WORD)) {}
    bool match_this(match_state<It>& s, It& p) const override {
        bool after = p != s.end && m_word.test_char(static_cast<uint32_t>(*p));
        bool before = p != s.begin && m_word.test_char(static_cast<uint32_t>(p[-1]));
        return (before != after) == m_boundary;
    }

private:
    bool m_boundary;
    const charset& m_word;
};

// ---------------------------------------------------------------- atoms

// Each atom kind provides m (match once, advancing p), rep (characters of one repetition),
// the width and the leading literal; atom_node makes a node of it.
template <class It>
struct any_atom {
    bool single_line;
    bool m(const match_state<It>& s, It& p) const {
        if (p == s.end || (!single_line && *p == L'\n')) return false;
        ++p;
        return true;
    }
    size_t rep(const match_state<It>&) const { return 1; }
    width_type w(width_ctx<It>&) { return {1, 1}; }
    bool lit(lit_rec&) const { return false; }
    bool first(start_set& f) const {
        for (uint32_t c = 0; c < 256; ++c)
            if (single_line || c != L'\n') f.add(c);
        f.wide = true;
        return true;
    }
};

template <class It>
struct char_atom {
    wchar_t ch;
    bool m(const match_state<It>& s, It& p) const {
        if (p == s.end || *p != ch) return false;
        ++p;
        return true;
    }
    size_t rep(const match_state<It>&) const { return 1; }
    width_type w(width_ctx<It>&) { return {1, 1}; }
    bool lit(lit_rec& r) const {
        r.count = 1;
        r.cands[0] = ch;
        return true;
    }
    bool first(start_set& f) const {
        f.add(static_cast<uint32_t>(ch));
        return true;
    }
};

template <class It>
struct char_nocase_atom {
    wchar_t lo, up;
    bool m(const match_state<It>& s, It& p) const {
        if (p == s.end || (*p != lo && *p != up)) return false;
        ++p;
        return true;
    }
    size_t rep(const match_state<It>&) const { return 1; }
    width_type w(width_ctx<It>&) { return {1, 1}; }
    bool lit(lit_rec& r) const {
        r.count = 2;
        r.cands[0] = lo;
        r.cands[1] = up;
        return true;
    }
    bool first(start_set& f) const {
        f.add(static_cast<uint32_t>(lo));
        f.add(static_cast<uint32_t>(up));
        return true;
    }
};

template <class It>
struct literal_atom {
    const wchar_t* str;
    unsigned len;
    bool m(const match_state<It>& s, It& p) const {
        if (static_cast<size_t>(s.end - p) < len) return false;
        for (unsigned i = 0; i < len; ++i)
            if (p[i] != str[i]) return false;
        p += len;
        return true;
    }
    size_t rep(const match_state<It>&) const { return len; }
    width_type w(width_ctx<It>&) { return {len, len}; }
    bool lit(lit_rec& r) const {
        r.count = 1;
        r.cands[0] = str[0];
        r.has_literal = true;
        r.lit_begin = str;
        r.lit_end = str + len;
        r.lower = nullptr;
        return true;
    }
    bool first(start_set& f) const {
        f.add(static_cast<uint32_t>(str[0]));
        return true;
    }
};

template <class It>
struct literal_nocase_atom {
    const wchar_t* upper;
    const wchar_t* lower;
    unsigned len;
    bool m(const match_state<It>& s, It& p) const {
        if (static_cast<size_t>(s.end - p) < len) return false;
        for (unsigned i = 0; i < len; ++i)
            if (p[i] != upper[i] && p[i] != lower[i]) return false;
        p += len;
        return true;
    }
    size_t rep(const match_state<It>&) const { return len; }
    width_type w(width_ctx<It>&) { return {len, len}; }
    bool lit(lit_rec& r) const {
        r.count = upper[0] == lower[0] ? 1 : 2;
        r.cands[0] = upper[0];
        r.cands[1] = lower[0];
        r.has_literal = true;
        r.lit_begin = upper;
        r.lit_end = upper + len;
        r.lower = lower;
        return true;
    }
    bool first(start_set& f) const {
        f.add(static_cast<uint32_t>(upper[0]));
        f.add(static_cast<uint32_t>(lower[0]));
        return true;
    }
};

template <class It, bool CaseSensitive>
struct charset_atom {
    const charset* set;
    bool m(const match_state<It>& s, It& p) const {
        if (p == s.end) return false;
        uint32_t c = static_cast<uint32_t>(*p);
        if (!(CaseSensitive ? set->test_char(c) : set->test_char_nocase(c))) return false;
        ++p;
        return true;
    }
    size_t rep(const match_state<It>&) const { return 1; }
    width_type w(width_ctx<It>&) { return {1, 1}; }
    bool lit(lit_rec&) const { return false; }
    bool first(start_set& f) const {
        f.add(*set, !CaseSensitive);
        return true;
    }
};

template <class It>
width_type group_width(match_group_base<It>* g, width_ctx<It>& ctx);

template <class It, bool NoCase>
struct backref_atom {
    unsigned group;  // internal group number (renumbered once by the compiler)
    bool m(const match_state<It>& s, It& p) const {
        const backref_tag<It>& r = s.br[group];
        if (!r.matched) return false;
        size_t n = static_cast<size_t>(r.second - r.first);
        if (static_cast<size_t>(s.end - p) < n) return false;
        It a = r.first;
        for (size_t i = 0; i < n; ++i) {
            wchar_t x = a[static_cast<std::ptrdiff_t>(i)], y = p[static_cast<std::ptrdiff_t>(i)];
            if (x != y && (!NoCase || wupper(x) != wupper(y))) return false;
        }
        p += static_cast<std::ptrdiff_t>(n);
        return true;
    }
    size_t rep(const match_state<It>& s) const { return s.br[group].length(); }
    bool first(start_set&) const { return false; }  // the group's text may be empty
    width_type w(width_ctx<It>& ctx) {
        if (group >= ctx.groups.size()) throw bad_regexpr("reference to nonexistent group");
        match_group_base<It>* g = ctx.groups[group];
        if (!g) return {0, UNBOUNDED};
        return group_width(g, ctx);
    }
    bool lit(lit_rec&) const { return false; }
};

template <class It, class Atom>
class max_atom_quantifier;
template <class It, class Atom>
class min_atom_quantifier;

template <class It, class Atom>
class atom_node final : public sub_expr<It> {
public:
    explicit atom_node(const Atom& a) : atom(a) {}
    Atom atom;

    bool match_this(match_state<It>& s, It& p) const override { return atom.m(s, p); }
    bool is_one_char() const override {
        return std::is_same_v<Atom, any_atom<It>> || std::is_same_v<Atom, char_atom<It>> ||
               std::is_same_v<Atom, char_nocase_atom<It>> || std::is_same_v<Atom, charset_atom<It, true>> ||
               std::is_same_v<Atom, charset_atom<It, false>>;
    }
    bool match_rest(match_state<It>& s, It p) const override {
        count_step(s);
        if (!atom.m(s, p)) return false;
        frame_guard(s);
        return this->next->match_rest(s, p);
    }
    bool step(match_state<It>& s) const override {
        It p = s.cur;
        if (!atom.m(s, p)) return false;
        s.cur = p;
        s.next = this->next;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        s.cur -= static_cast<std::ptrdiff_t>(atom.rep(s));
        return false;
    }
    width_type width(width_ctx<It>& ctx) override { return atom.w(ctx); }
    bool leading_literal(lit_rec& r) const override { return atom.lit(r); }
    // Every atom but a back-reference takes at least one character: what follows cannot begin.
    bool first_chars(start_set& f) const override { return first_chars_visit(f) && atom.first(f); }
    bool single_chars(start_set& f, width_type& w) const override {
        if (!is_one_char()) return false;
        atom.first(f);
        w = w + width_type{1, 1};
        return true;
    }
    bool literal_text(const wchar_t*& forms, const wchar_t*& other, size_t& len) const override {
        if constexpr (std::is_same_v<Atom, char_atom<It>>) {
            forms = &atom.ch;
            other = nullptr;
            len = 1;
        } else if constexpr (std::is_same_v<Atom, char_nocase_atom<It>>) {
            forms = &atom.up;
            other = &atom.lo;
            len = 1;
        } else if constexpr (std::is_same_v<Atom, literal_atom<It>>) {
            forms = atom.str;
            other = nullptr;
            len = atom.len;
        } else if constexpr (std::is_same_v<Atom, literal_nocase_atom<It>>) {
            forms = atom.upper;
            other = atom.lower;
            len = atom.len;
        } else {
            return false;
        }
        return true;
    }
    void note_required(req_rec& r) const override {
        if constexpr (std::is_same_v<Atom, char_atom<It>>)
            r.set(atom.ch);
        else if constexpr (std::is_same_v<Atom, char_nocase_atom<It>>)
            r.set(atom.lo, atom.up);
        else if constexpr (std::is_same_v<Atom, literal_atom<It>>)
            r.set(atom.str[atom.len - 1]);
        else if constexpr (std::is_same_v<Atom, literal_nocase_atom<It>>)
            r.set(atom.lower[atom.len - 1], atom.upper[atom.len - 1]);
    }
    sub_expr<It>* quantify(unsigned lo, unsigned hi, bool greedy, node_arena& arena) override {
        if (greedy) return arena.make<max_atom_quantifier<It, Atom>>(this, lo, hi);
        return arena.make<min_atom_quantifier<It, Atom>>(this, lo, hi);
    }
};

// ---------------------------------------------------------------- end of pattern

template <class It>
class end_of_pattern final : public sub_expr<It> {
public:
    bool match_rest(match_state<It>& s, It p) const override { return !(s.prev_empty && p == s.empty_pos); }
    bool step(match_state<It>& s) const override {
        if (s.prev_empty && s.cur == s.empty_pos) return false;
        s.next = nullptr;
        return true;
    }
    width_type width(width_ctx<It>&) override { return {0, 0}; }
    bool is_end() const override { return true; }
};

// Succeeds at once; the successor of a condition's assertion.
template <class It>
class accept_node final : public sub_expr<It> {
public:
    bool match_rest(match_state<It>&, It) const override { return true; }
    bool step(match_state<It>& s) const override {
        s.next = nullptr;
        return true;
    }
    width_type width(width_ctx<It>&) override { return {0, 0}; }
    bool is_end() const override { return true; }
};

// ---------------------------------------------------------------- quantifier basics

template <class It>
inline width_type quantified_width(width_type w, unsigned lo, unsigned hi) {
    return {width_mult(w.m_min, lo), width_mult(w.m_max, hi)};
}

// The first characters of a quantified body and, when it may be taken no time, of what follows.
template <class It>
bool quantified_first_chars(start_set& f, const sub_expr<It>* body, unsigned lo, unsigned hi,
                            const sub_expr<It>* next) {
    if (!first_chars_visit(f)) return false;
    if (hi != 0 && !body->first_chars(f)) return false;
    return lo > 0 || next->first_chars(f);
}

template <class It>
struct pos_count {
    It p;
    unsigned n;
};

// What the greedy and the lazy atom quantifier share: the atom, the bounds, the width rule and
// the leading literal (only with a lower bound of at least 1).
template <class It, class Atom>
class atom_quantifier : public sub_expr<It> {
public:
    atom_quantifier(atom_node<It, Atom>* a, unsigned lo, unsigned hi) : m_atom(a), m_lo(lo), m_hi(hi) {}
    width_type width(width_ctx<It>& ctx) override {
        return quantified_width<It>(m_atom->width(ctx), m_lo, m_hi);
    }
    bool leading_literal(lit_rec& r) const override { return m_lo >= 1 && m_atom->leading_literal(r); }
    void note_required(req_rec& r) const override {
        if (m_lo >= 1) m_atom->note_required(r);
    }
    bool first_chars(start_set& f) const override { return quantified_first_chars(f, m_atom, m_lo, m_hi, this->next); }
    bool single_chars(start_set& f, width_type& w) const override {
        width_type one{0, 0};
        if (!m_atom->single_chars(f, one)) return false;
        w = w + quantified_width<It>(one, m_lo, m_hi);
        return true;
    }

    // The characters that can begin what follows, when known: a repeat count at whose end
    // position the next character is not among them cannot lead to a match and is not tried.
    void link_follow(node_arena& arena) override {
        start_set f;
        if (this->next->first_chars(f)) m_follow = arena.make<start_set>(f);
    }
    bool may_follow(const match_state<It>& s, It q) const {
        return !m_follow || (q != s.end && m_follow->test(static_cast<uint32_t>(*q)));
    }

protected:
    atom_node<It, Atom>* m_atom;
    unsigned m_lo, m_hi;
    const start_set* m_follow = nullptr;
};

template <class It, class Atom>
class max_atom_quantifier final : public atom_quantifier<It, Atom> {
    using atom_quantifier<It, Atom>::m_atom;
    using atom_quantifier<It, Atom>::m_lo;
    using atom_quantifier<It, Atom>::m_hi;

public:
    using atom_quantifier<It, Atom>::atom_quantifier;

    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        const Atom& a = m_atom->atom;
        unsigned n = 0;
        It q = p;
        std::ptrdiff_t w = 0;
        if (m_hi != 0 && a.m(s, q)) {
            w = q - p;
            if (w == 0) return this->next->match_rest(s, q);
            n = 1;
            while (n < m_hi && a.m(s, q)) ++n;
        }
        if (n < m_lo) return false;
        for (;;) {
            if (this->may_follow(s, q) && this->next->match_rest(s, q)) return true;
            if (n == m_lo) return false;
            q -= w;
            --n;
        }
    }
    bool step(match_state<It>& s) const override {
        const Atom& a = m_atom->atom;
        It p = s.cur, q = p;
        unsigned n = 0;
        if (m_hi != 0 && a.m(s, q)) {
            if (q != p) {
                n = 1;
                while (n < m_hi && a.m(s, q)) ++n;
            } else {
                n = m_lo;
            }
        }
        if (n < m_lo) {
            s.cur = p;
            return false;
        }
        s.stk->push(pos_count<It>{p, n});
        s.cur = q;
        s.next = this->next;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        pos_count<It>& t = s.stk->template top<pos_count<It>>();
        if (t.n == m_lo) {
            s.cur = t.p;
            s.stk->template pop<pos_count<It>>();
            return false;
        }
        --t.n;
        s.cur -= static_cast<std::ptrdiff_t>(m_atom->atom.rep(s));
        s.next = this->next;
        return true;
    }
};

template <class It, class Atom>
class min_atom_quantifier final : public atom_quantifier<It, Atom> {
    using atom_quantifier<It, Atom>::m_atom;
    using atom_quantifier<It, Atom>::m_lo;
    using atom_quantifier<It, Atom>::m_hi;

public:
    using atom_quantifier<It, Atom>::atom_quantifier;

    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        const Atom& a = m_atom->atom;
        It q = p;
        unsigned n;
        if (!a.m(s, q)) {
            if (m_lo > 0) return false;
            n = 0;
            q = p;
        } else if (q == p) {
            return this->next->match_rest(s, p);
        } else if (m_lo == 0) {
            n = 0;
            q = p;
        } else {
            n = 1;
            while (n < m_lo) {
                if (!a.m(s, q)) return false;
                ++n;
            }
        }
        for (;;) {
            if (this->may_follow(s, q) && this->next->match_rest(s, q)) return true;
            if (n >= m_hi) return false;
            if (!a.m(s, q)) return false;
            ++n;
        }
    }
    bool step(match_state<It>& s) const override {
        const Atom& a = m_atom->atom;
        It p = s.cur, q = p;
        unsigned n;
        if (!a.m(s, q)) {
            if (m_lo > 0) return false;
            n = 0;
            q = p;
        } else if (q == p) {
            n = m_hi;
        } else if (m_lo == 0) {
            n = 0;
            q = p;
        } else {
            n = 1;
            while (n < m_lo) {
                if (!a.m(s, q)) return false;
                ++n;
            }
        }
        s.stk->push(pos_count<It>{p, n});
        s.cur = q;
        s.next = this->next;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        pos_count<It>& t = s.stk->template top<pos_count<It>>();
        It q = s.cur;
        if (t.n < m_hi && m_atom->atom.m(s, q)) {
            ++t.n;
            s.cur = q;
            s.next = this->next;
            return true;
        }
        s.cur = t.p;
        s.stk->template pop<pos_count<It>>();
        return false;
    }
};

// ---------------------------------------------------------------- groups

template <class It>
struct old_backref {
    It first;
    It second;
    bool matched;
};

struct alt_index {
    unsigned i;
};
// How many alternatives that a trie found to match are still to be tried (stack-safe mode);
// their indices lie below it on the stack, the next first.
struct trie_left {
    unsigned n;
};

template <class It>
class match_group_base : public sub_expr<It> {
public:
    match_group_base(node_arena& arena, int gnum) : m_arena(&arena), gnum(gnum) {}

    // ---- building
    void add_node(sub_expr<It>* n) {
        if (m_tail)
            m_tail->next = n;
        else
            m_head = n;
        m_tail = n;
    }
    void close_alternative() {
        sub_expr<It>* first = m_head ? m_head : end_node();
        if (m_tail) m_tail->next = end_node();
        m_building = m_arena->template make<alt_link>(alt_link{first, m_building});
        ++m_closed;
        m_head = m_tail = nullptr;
    }
    unsigned alternatives_so_far() const { return m_closed + 1; }
    // Links the last alternative, places the list in the arena and builds the first-character
    // filter. Returns the literal part of the single alternative's first node, if any.
    bool finish(lit_rec& lit, bool allow_filter = true) {
        close_alternative();
        nalts = m_closed;
        alts = m_arena->template make_array<sub_expr<It>*>(nalts);
        unsigned k = nalts;
        for (alt_link* l = m_building; l; l = l->next) alts[--k] = l->first;
        std::vector<wchar_t> chars;
        bool all = allow_filter;
        lit_rec single;
        for (unsigned i = 0; all && i < nalts; ++i) {
            lit_rec r;
            if (!alts[i]->leading_literal(r)) {
                all = false;
                break;
            }
            for (unsigned k = 0; k < r.count; ++k) chars.push_back(*r.cand(k));
            if (i == 0) single = r;
        }
        if (all && !chars.empty()) {
            std::sort(chars.begin(), chars.end());
            chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
            wchar_t* f = static_cast<wchar_t*>(m_arena->allocate(chars.size() * sizeof(wchar_t)));
            std::copy(chars.begin(), chars.end(), f);
            filt_b = f;
            filt_e = f + chars.size();
            for (wchar_t c : chars) {
                uint32_t u = static_cast<uint32_t>(c);
                if (u < 256)
                    filt_bits[u >> 5] |= 1u << (u & 31);
                else
                    filt_wide = true;
            }
        }
        if (filt_b && nalts == 1 && single.has_literal) {
            lit = single;
            return true;
        }
        return false;
    }

    virtual sub_expr<It>* end_node() = 0;
    virtual void set_inner_groups(unsigned, unsigned) {}

    // When every alternative is one literal, they are looked up in a trie (see literal_trie).
    void build_trie() {
        if (nalts < 2) return;
        std::vector<literal_trie::literal> literals;
        for (unsigned i = 0; i < nalts; ++i) {
            literal_trie::literal l{};
            if (alts[i]->next != end_node() || !alts[i]->literal_text(l.forms, l.other, l.len)) return;
            literals.push_back(l);
        }
        trie = literal_trie::build(literals, *m_arena);
    }

    bool leading_literal(lit_rec& r) const override {
        compile_guard();
        if (!filt_b) return false;
        unsigned n = static_cast<unsigned>(filt_e - filt_b);
        r.count = n;
        if (n <= 2) {
            std::copy(filt_b, filt_e, r.cands);
            r.many = nullptr;
        } else {
            r.many = filt_b;
        }
        r.has_literal = false;
        if (nalts == 1) {
            lit_rec a;
            if (alts[0]->leading_literal(a) && a.has_literal) {
                r.has_literal = true;
                r.lit_begin = a.lit_begin;
                r.lit_end = a.lit_end;
                r.lower = a.lower;
            }
        }
        return true;
    }

    width_type width(width_ctx<It>& ctx) override { return group_width(this, ctx); }
    // Through every alternative; an alternative that reaches the group's end goes on with what
    // follows the group.
    bool alts_first_chars(start_set& f) const {
        if (!first_chars_visit(f)) return false;
        for (unsigned i = 0; i < nalts; ++i)
            if (!alts[i]->first_chars(f)) return false;
        return nalts > 0 || this->next->first_chars(f);
    }
    width_type measure(width_ctx<It>& ctx) {
        compile_guard();
        width_type w{UNBOUNDED, 0};
        match_group_base* saved = nullptr;
        if (gnum >= 0 && static_cast<size_t>(gnum) < ctx.groups.size()) {
            saved = ctx.groups[static_cast<size_t>(gnum)];
            ctx.groups[static_cast<size_t>(gnum)] = nullptr;
        }
        for (unsigned i = 0; i < nalts; ++i) {
            width_type a = chain_width(alts[i], ctx);
            w.m_min = std::min(w.m_min, a.m_min);
            w.m_max = std::max(w.m_max, a.m_max);
        }
        if (nalts == 0) w = {0, 0};
        if (gnum >= 0 && static_cast<size_t>(gnum) < ctx.groups.size()) ctx.groups[static_cast<size_t>(gnum)] = saved;
        return w;
    }

    bool in_filter(wchar_t c) const {
        uint32_t u = static_cast<uint32_t>(c);
        if (u < 256) return (filt_bits[u >> 5] >> (u & 31)) & 1u;
        return filt_wide && std::binary_search(filt_b, filt_e, c);
    }
    bool filter_ok(const match_state<It>& s, It p) const {
        if (!filt_b) return true;
        if (p == s.end) return false;
        return in_filter(*p);
    }

    // The alternatives that match at p, by the trie, in the order written; a small buffer takes
    // them unless the trie is deep.
    struct trie_hits {
        static constexpr unsigned small = 16;
        literal_trie::hit buf[small];
        std::vector<literal_trie::hit> big;
        literal_trie::hit* at = buf;
        unsigned n = 0;
        trie_hits(const literal_trie& t, It p, It end) {
            if (t.max_hits() > small) {
                big.resize(t.max_hits());
                at = big.data();
            }
            n = t.walk(p, end, at);
        }
    };

    // Alternatives in recursive mode (working start set for numbered groups).
    bool match_alts(match_state<It>& s, It p) const {
        if (!filter_ok(s, p)) return false;
        if (trie) return match_trie(s, p);
        if (gnum < 0) {
            for (unsigned i = 0; i < nalts; ++i)
                if (alts[i]->match_rest(s, p)) return true;
            return false;
        }
        backref_tag<It>& r = s.br[gnum];
        It old = r.wstart;
        r.wstart = p;
        for (unsigned i = 0; i < nalts; ++i)
            if (alts[i]->match_rest(s, p)) return true;
        s.br[gnum].wstart = old;
        return false;
    }
    // Only the alternatives the trie found are tried, each going on with what follows its literal.
    bool match_trie(match_state<It>& s, It p) const {
        const trie_hits hits(*trie, p, s.end);
        if (hits.n == 0) return false;
        It old{};
        if (gnum >= 0) {
            old = s.br[gnum].wstart;
            s.br[gnum].wstart = p;
        }
        for (unsigned k = 0; k < hits.n; ++k)
            if (alts[hits.at[k].alt]->next->match_rest(s, p + static_cast<std::ptrdiff_t>(hits.at[k].len))) return true;
        if (gnum >= 0) s.br[gnum].wstart = old;
        return false;
    }

    // Alternatives in stack-safe mode.
    bool enter_step(match_state<It>& s) const {
        if (!filter_ok(s, s.cur)) return false;
        if (trie) {
            const trie_hits hits(*trie, s.cur, s.end);
            if (hits.n == 0) return false;
            if (gnum >= 0) {
                s.stk->push(s.br[gnum].wstart);
                s.br[gnum].wstart = s.cur;
            }
            for (unsigned k = hits.n; k-- > 1;) s.stk->push(alt_index{hits.at[k].alt});
            s.stk->push(trie_left{hits.n - 1});
            s.next = alts[hits.at[0].alt];
            return true;
        }
        if (gnum >= 0) {
            s.stk->push(s.br[gnum].wstart);
            s.br[gnum].wstart = s.cur;
        }
        s.stk->push(alt_index{0});
        s.next = alts[0];
        return true;
    }
    bool alt_retry(match_state<It>& s) const {
        if (trie) {
            const unsigned left = s.stk->template pop<trie_left>().n;
            if (left == 0) {
                if (gnum >= 0) s.stk->pop(s.br[gnum].wstart);
                return false;
            }
            const unsigned next = s.stk->template pop<alt_index>().i;
            s.stk->push(trie_left{left - 1});
            s.next = alts[next];
            return true;
        }
        alt_index& i = s.stk->template top<alt_index>();
        if (++i.i < nalts) {
            s.next = alts[i.i];
            return true;
        }
        s.stk->template pop<alt_index>();
        if (gnum >= 0) s.stk->pop(s.br[gnum].wstart);
        return false;
    }

    node_arena* m_arena;
    int gnum;
    sub_expr<It>** alts = nullptr;
    unsigned nalts = 0;
    width_type cached{UNBOUNDED, UNBOUNDED};
    bool measured = false;
    const wchar_t* filt_b = nullptr;
    const wchar_t* filt_e = nullptr;
    uint32_t filt_bits[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    bool filt_wide = false;
    const literal_trie* trie = nullptr;

private:
    sub_expr<It>* m_head = nullptr;
    sub_expr<It>* m_tail = nullptr;
    struct alt_link {
        sub_expr<It>* first;
        alt_link* next;
    };
    alt_link* m_building = nullptr;  // closed alternatives, newest first (only while compiling)
    unsigned m_closed = 0;
};

// A group's width is cached once measured (a group's body does not change after compiling).
template <class It>
width_type group_width(match_group_base<It>* g, width_ctx<It>& ctx) {
    if (g->measured) return g->cached;
    width_type w = g->measure(ctx);
    g->cached = w;
    g->measured = true;
    return w;
}

template <class It>
class max_group_quantifier;
template <class It>
class min_group_quantifier;

template <class It>
class match_group : public match_group_base<It> {
public:
    match_group(node_arena& arena, int gnum) : match_group_base<It>(arena, gnum), m_end(this) {}

    class end_group final : public sub_expr<It> {
    public:
        explicit end_group(match_group* g) : m_group(g) {}
        bool match_rest(match_state<It>& s, It q) const override {
            stack_guard(s);
            backref_tag<It>& r = s.br[m_group->gnum];
            old_backref<It> old{r.first, r.second, r.matched};
            r.first = r.wstart;
            r.second = q;
            r.matched = true;
            if (m_group->next->match_rest(s, q)) return true;
            backref_tag<It>& r2 = s.br[m_group->gnum];
            r2.first = old.first;
            r2.second = old.second;
            r2.matched = old.matched;
            return false;
        }
        bool step(match_state<It>& s) const override {
            backref_tag<It>& r = s.br[m_group->gnum];
            s.stk->push(old_backref<It>{r.first, r.second, r.matched});
            r.first = r.wstart;
            r.second = s.cur;
            r.matched = true;
            s.next = m_group->next;
            return true;
        }
        bool retry(match_state<It>& s) const override {
            old_backref<It> old = s.stk->template pop<old_backref<It>>();
            backref_tag<It>& r = s.br[m_group->gnum];
            r.first = old.first;
            r.second = old.second;
            r.matched = old.matched;
            return false;
        }
        width_type width(width_ctx<It>&) override { return {0, 0}; }
        bool is_end() const override { return true; }
        bool first_chars(start_set& f) const override { return m_group->next->first_chars(f); }

    private:
        match_group* m_group;
    };

    sub_expr<It>* end_node() override { return &m_end; }
    void note_required(req_rec& r) const override {
        if (this->nalts == 1) chain_required(this->alts[0], r);
    }
    bool first_chars(start_set& f) const override { return this->alts_first_chars(f); }
    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        return this->match_alts(s, p);
    }
    bool step(match_state<It>& s) const override { return this->enter_step(s); }
    bool retry(match_state<It>& s) const override { return this->alt_retry(s); }
    sub_expr<It>* quantify(unsigned lo, unsigned hi, bool greedy, node_arena& arena) override;

private:
    end_group m_end;
};

// Runs a group's alternatives as a node of its own (for nested drivers).
template <class It>
class group_wrapper final : public sub_expr<It> {
public:
    explicit group_wrapper(const match_group_base<It>* g) : m_group(g) {}
    bool step(match_state<It>& s) const override { return m_group->enter_step(s); }
    bool retry(match_state<It>& s) const override { return m_group->alt_retry(s); }
    width_type width(width_ctx<It>&) override { return {0, 0}; }

private:
    const match_group_base<It>* m_group;
};

// Copies of the records of a group and the groups nested in it.
template <class It>
class saved_records {
    static_assert(std::is_trivially_copyable_v<backref_tag<It>>);

public:
    saved_records(const match_state<It>& s, unsigned first, unsigned count) : m_first(first), m_count(count) {
        const backref_tag<It>* src = s.br + first;
        if (count <= inline_n)
            std::memcpy(static_cast<void*>(m_inline), src, count * sizeof(backref_tag<It>));
        else
            m_heap.assign(src, src + count);
    }
    void restore(match_state<It>& s) const {
        if (m_count == 0) return;
        const void* src = m_count <= inline_n ? static_cast<const void*>(m_inline) : m_heap.data();
        std::memcpy(static_cast<void*>(s.br + m_first), src, m_count * sizeof(backref_tag<It>));
    }

private:
    static constexpr unsigned inline_n = 4;
    unsigned m_first, m_count;
    alignas(backref_tag<It>) unsigned char m_inline[inline_n * sizeof(backref_tag<It>)];
    std::vector<backref_tag<It>> m_heap;
};

template <class It>
class independent_group_base : public match_group_base<It> {
public:
    independent_group_base(node_arena& arena, int gnum, bool expected)
        : match_group_base<It>(arena, gnum), expected(expected) {}
    void set_inner_groups(unsigned first, unsigned count) override {
        inner_first = first;
        inner_count = count;
    }
    // The range of records that an attempt may change: the group's own and the nested ones.
    unsigned rec_first() const { return this->gnum >= 0 ? static_cast<unsigned>(this->gnum) : inner_first; }
    unsigned rec_count() const { return inner_count + (this->gnum >= 0 ? 1u : 0u); }
    void push_records(match_state<It>& s) const {
        for (unsigned i = 0; i < rec_count(); ++i) s.stk->push(s.br[rec_first() + i]);
    }
    void pop_records(match_state<It>& s) const {
        for (unsigned i = rec_count(); i-- > 0;) s.stk->pop(s.br[rec_first() + i]);
    }

    // Removes what a successful step left on the stack (a condition that is abandoned).
    virtual void discard(match_state<It>& s) const = 0;

    bool expected;
    unsigned inner_first = 0;
    unsigned inner_count = 0;
};

template <class It>
class independent_group : public independent_group_base<It> {
public:
    independent_group(node_arena& arena, int gnum, bool expected)
        : independent_group_base<It>(arena, gnum, expected), m_end(this) {}

    class end_group final : public sub_expr<It> {
    public:
        explicit end_group(independent_group* g) : m_group(g) {}
        bool match_rest(match_state<It>& s, It q) const override {
            record(s, q);
            return true;
        }
        bool step(match_state<It>& s) const override {
            record(s, s.cur);
            s.next = nullptr;
            return true;
        }
        width_type width(width_ctx<It>&) override { return {0, 0}; }
        bool is_end() const override { return true; }
        // Within the group nothing is tried after it: the group's match ends here, whatever
        // comes next (so no node inside may count on what follows the group).

    private:
        void record(match_state<It>& s, It q) const {
            if (m_group->gnum < 0) return;
            backref_tag<It>& r = s.br[m_group->gnum];
            r.first = r.wstart;
            r.second = q;
            r.matched = true;
        }
        independent_group* m_group;
    };

    sub_expr<It>* end_node() override { return &m_end; }

    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        saved_records<It> saved(s, this->rec_first(), this->rec_count());
        bool ok = this->match_alts(s, p);
        if (ok == this->expected) {
            It c = (ok && this->gnum >= 0) ? s.br[this->gnum].second : p;
            if (this->next->match_rest(s, c)) return true;
        }
        if (ok) saved.restore(s);
        return false;
    }
    bool step(match_state<It>& s) const override {
        It p = s.cur;
        this->push_records(s);
        s.stk->push(p);
        group_wrapper<It> w(this);
        bool ok = drive(s, &w, p);
        if (ok != this->expected) {
            s.stk->template pop<It>();
            this->pop_records(s);
            s.cur = p;
            return false;
        }
        if (!(ok && this->gnum >= 0)) s.cur = p;
        s.next = this->next;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        discard(s);
        return false;
    }
    void discard(match_state<It>& s) const override {
        s.stk->pop(s.cur);
        this->pop_records(s);
    }
    bool leading_literal(lit_rec& r) const override {
        return this->gnum >= 0 && match_group_base<It>::leading_literal(r);
    }
    void note_required(req_rec& r) const override {
        if (this->gnum >= 0 && this->nalts == 1) chain_required(this->alts[0], r);
    }
    bool first_chars(start_set& f) const override { return this->alts_first_chars(f); }
    sub_expr<It>* quantify(unsigned lo, unsigned hi, bool greedy, node_arena& arena) override;

private:
    end_group m_end;
};

template <class It>
class lookahead_assertion final : public independent_group<It> {
public:
    lookahead_assertion(node_arena& arena, bool positive) : independent_group<It>(arena, -1, positive) {}
    bool is_assertion() const override { return true; }
    width_type width(width_ctx<It>& ctx) override {
        group_width<It>(this, ctx);
        return {0, 0};
    }
    bool leading_literal(lit_rec& r) const override {
        compile_guard();
        return this->next->leading_literal(r);
    }
    bool first_chars(start_set& f) const override { return first_chars_visit(f) && this->next->first_chars(f); }
    bool single_chars(start_set&, width_type&) const override { return true; }
    sub_expr<It>* quantify(unsigned, unsigned, bool, node_arena&) override {
        throw bad_regexpr("look-ahead assertion cannot be quantified");
    }
};

template <class It>
class lookbehind_assertion final : public independent_group_base<It> {
public:
    lookbehind_assertion(node_arena& arena, bool positive) : independent_group_base<It>(arena, -1, positive) {}

    class end_group final : public sub_expr<It> {
    public:
        bool match_rest(match_state<It>& s, It q) const override { return q == s.end; }
        bool step(match_state<It>& s) const override {
            if (s.cur != s.end) return false;
            s.next = nullptr;
            return true;
        }
        width_type width(width_ctx<It>&) override { return {0, 0}; }
        bool is_end() const override { return true; }
    };

    sub_expr<It>* end_node() override { return &m_end; }
    bool is_assertion() const override { return true; }
    width_type width(width_ctx<It>& ctx) override {
        m_inner = group_width<It>(this, ctx);
        return {0, 0};
    }
    bool leading_literal(lit_rec& r) const override {
        compile_guard();
        return this->next->leading_literal(r);
    }
    bool first_chars(start_set& f) const override { return first_chars_visit(f) && this->next->first_chars(f); }
    bool single_chars(start_set&, width_type&) const override { return true; }
    bool behind_literal(const wchar_t*& forms, const wchar_t*& other, size_t& len) const override {
        return this->expected && this->nalts == 1 && this->alts[0]->next == &m_end &&
               this->alts[0]->literal_text(forms, other, len);
    }

    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        size_t avail = static_cast<size_t>(p - s.begin);
        if (avail < m_inner.m_min) return this->expected ? false : this->next->match_rest(s, p);
        saved_records<It> saved(s, this->rec_first(), this->rec_count());
        size_t back = std::min<size_t>(m_inner.m_max, avail);
        It start = p - static_cast<std::ptrdiff_t>(back);
        It last = p - static_cast<std::ptrdiff_t>(m_inner.m_min);
        It end = s.end;
        for (It st = start;; ++st) {
            s.end = p;
            bool ok;
            try {
                ok = this->match_alts(s, st);
            } catch (...) {
                s.end = end;
                throw;
            }
            s.end = end;
            if (this->expected) {
                if (ok) {
                    if (this->next->match_rest(s, p)) return true;
                    saved.restore(s);
                }
            } else if (ok) {
                // Fails as soon as any candidate start matches.
                saved.restore(s);
                return false;
            }
            if (st == last) break;
        }
        if (this->expected) return false;
        return this->next->match_rest(s, p);
    }

    // Stack-safe: the frame on the stack records where the next candidate start is; a positive
    // look-behind keeps the records of its inner groups below the frame.
    struct frame {
        It p;
        It next_start;
        bool has_records;
    };
    bool step(match_state<It>& s) const override {
        It p = s.cur;
        size_t avail = static_cast<size_t>(p - s.begin);
        if (avail < m_inner.m_min) {
            if (this->expected) return false;
            s.stk->push(frame{p, p, false});
            s.next = this->next;
            return true;
        }
        size_t back = std::min<size_t>(m_inner.m_max, avail);
        return search(s, p, p - static_cast<std::ptrdiff_t>(back));
    }
    bool retry(match_state<It>& s) const override {
        frame f = s.stk->template pop<frame>();
        if (f.has_records) this->pop_records(s);
        s.cur = f.p;
        if (!this->expected || f.next_start > f.p - static_cast<std::ptrdiff_t>(m_inner.m_min)) return false;
        return search(s, f.p, f.next_start);
    }
    void discard(match_state<It>& s) const override {
        frame f = s.stk->template pop<frame>();
        if (f.has_records) this->pop_records(s);
        s.cur = f.p;
    }

private:
    // Tries the candidate starts from st on, in increasing order.
    bool search(match_state<It>& s, It p, It st) const {
        It last = p - static_cast<std::ptrdiff_t>(m_inner.m_min);
        group_wrapper<It> w(this);
        It end = s.end;
        for (; st <= last; ++st) {
            this->push_records(s);
            s.end = p;
            bool ok;
            try {
                ok = drive(s, &w, st);
            } catch (...) {
                s.end = end;
                throw;
            }
            s.end = end;
            if (ok && this->expected) {
                s.stk->push(frame{p, st + 1, true});
                s.cur = p;
                s.next = this->next;
                return true;
            }
            this->pop_records(s);
            if (ok) {  // negative: any matching candidate makes it fail
                s.cur = p;
                return false;
            }
        }
        s.cur = p;
        if (this->expected) return false;
        s.stk->push(frame{p, p, false});
        s.next = this->next;
        return true;
    }

    end_group m_end;
    width_type m_inner{0, 0};
};

template <class It>
class match_conditional final : public match_group<It> {
public:
    // Numbered condition (cond_group > 0, written number until renumbered) or an assertion.
    match_conditional(node_arena& arena, int gnum) : match_group<It>(arena, gnum) {}
    unsigned cond_group = 0;
    independent_group_base<It>* cond = nullptr;

    bool holds(match_state<It>& s, It p) const {
        if (cond) return cond->match_rest(s, p);
        return cond_group < s.nbr && s.br[cond_group].matched;
    }
    const sub_expr<It>* branch(bool c) const {
        if (c) return this->alts[0];
        return this->nalts > 1 ? this->alts[1] : nullptr;
    }
    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        if (!this->filter_ok(s, p)) return false;
        bool c = holds(s, p);
        backref_tag<It>& r = s.br[this->gnum];
        It old = r.wstart;
        r.wstart = p;
        const sub_expr<It>* b = branch(c);
        bool ok = b ? b->match_rest(s, p) : this->next->match_rest(s, p);
        if (!ok) s.br[this->gnum].wstart = old;
        return ok;
    }
    bool step(match_state<It>& s) const override {
        It p = s.cur;
        if (!this->filter_ok(s, p)) return false;
        bool c, taken = false;
        if (cond) {
            c = taken = cond->step(s);
            s.cur = p;
        } else {
            c = cond_group < s.nbr && s.br[cond_group].matched;
        }
        s.stk->push(s.br[this->gnum].wstart);
        s.br[this->gnum].wstart = p;
        s.stk->push(taken);
        const sub_expr<It>* b = branch(c);
        s.next = b ? b : this->next;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        bool taken = s.stk->template pop<bool>();
        s.stk->pop(s.br[this->gnum].wstart);
        if (taken) cond->discard(s);
        return false;
    }
    void note_required(req_rec&) const override {}
    bool first_chars(start_set&) const override { return false; }
    width_type width(width_ctx<It>& ctx) override {
        if (cond) cond->width(ctx);
        width_type w = group_width<It>(this, ctx);
        if (this->nalts < 2) w.m_min = 0;
        return w;
    }
};

template <class It>
class match_recurse final : public sub_expr<It> {
public:
    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        if (p == s.br[0].wstart) return this->next->match_rest(s, p);
        std::vector<It> starts(s.nbr);
        for (size_t i = 0; i < s.nbr; ++i) starts[i] = s.br[i].wstart;
        bool ok = s.top->match_rest(s, p);
        for (size_t i = 0; i < s.nbr; ++i) s.br[i].wstart = starts[i];
        if (!ok) return false;
        return this->next->match_rest(s, s.br[0].second);
    }
    bool step(match_state<It>& s) const override {
        It p = s.cur;
        if (p != s.br[0].wstart) {
            std::vector<It> starts(s.nbr);
            for (size_t i = 0; i < s.nbr; ++i) starts[i] = s.br[i].wstart;
            bool ok = drive(s, s.top, p);
            for (size_t i = 0; i < s.nbr; ++i) s.br[i].wstart = starts[i];
            if (!ok) {
                s.cur = p;
                return false;
            }
            s.cur = s.br[0].second;
        }
        s.stk->push(p);
        s.next = this->next;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        s.stk->pop(s.cur);
        return false;
    }
    width_type width(width_ctx<It>&) override { return {0, UNBOUNDED}; }
    sub_expr<It>* quantify(unsigned, unsigned, bool, node_arena&) override {
        throw bad_regexpr("recursion sub-expression cannot be quantified");
    }
};

// ---------------------------------------------------------------- group quantifiers

template <class It>
struct old_quant {
    unsigned reps;
    unsigned char iflag;
    smart_iter<It> prev_iter;
    smart_iter<It> cur_iter;
};

template <class It, bool Greedy>
class group_quantifier final : public sub_expr<It> {
public:
    // one_char: the body is a plain group around one atom of one character, as in ([^>])*.
    group_quantifier(match_group_base<It>* body, unsigned lo, unsigned hi, bool one_char = false)
        : m_body(body), m_lo(lo), m_hi(hi), m_end(this), m_one_char(Greedy && one_char) {
        body->next = &m_end;
    }

    class end_quantifier final : public sub_expr<It> {
    public:
        explicit end_quantifier(group_quantifier* q) : m_q(q) {}
        bool match_rest(match_state<It>& s, It q) const override {
            stack_guard(s);
            backref_tag<It>& R = m_q->rec(s);
            smart_iter<It> old = R.prev_iter;
            if (old.valid && old.pos == q) return m_q->next->match_rest(s, q);
            R.prev_iter = R.cur_iter;
            R.cur_iter = {q, true};
            if (m_q->decide(s, q)) return true;
            backref_tag<It>& R2 = m_q->rec(s);
            R2.cur_iter = R2.prev_iter;
            R2.prev_iter = old;
            return false;
        }
        bool step(match_state<It>& s) const override {
            backref_tag<It>& R = m_q->rec(s);
            It q = s.cur;
            smart_iter<It> old = R.prev_iter;
            s.stk->push(old);
            R.prev_iter = R.cur_iter;
            R.cur_iter = {q, true};
            if (old.valid && old.pos == q) {
                s.next = m_q->next;
                return true;
            }
            if (Greedy) {
                if (R.reps == m_q->m_hi) {
                    R.iflag = 0;
                    s.next = m_q->next;
                } else {
                    R.iflag = 1;
                    ++R.reps;
                    s.next = m_q->m_body;
                }
            } else {
                if (R.reps < m_q->m_lo) {
                    ++R.reps;
                    s.next = m_q->m_body;
                } else {
                    R.iflag = 0;
                    s.next = m_q->next;
                }
            }
            return true;
        }
        bool retry(match_state<It>& s) const override {
            backref_tag<It>& R = m_q->rec(s);
            It q = s.cur;
            smart_iter<It>& top = s.stk->template top<smart_iter<It>>();
            if (!(top.valid && top.pos == q)) {
                if (Greedy) {
                    if (R.iflag == 1) {
                        --R.reps;
                        s.next = m_q->next;
                        if (R.reps >= m_q->m_lo) {
                            R.iflag = 0;
                            return true;
                        }
                    } else {
                        R.iflag = 1;
                    }
                } else {
                    if (R.iflag == 1) {
                        --R.reps;
                    } else {
                        R.iflag = 1;
                        if (R.reps < m_q->m_hi) {
                            ++R.reps;
                            s.next = m_q->m_body;
                            return true;
                        }
                    }
                }
            }
            R.cur_iter = R.prev_iter;
            s.stk->pop(R.prev_iter);
            return false;
        }
        width_type width(width_ctx<It>&) override { return {0, 0}; }
        bool is_end() const override { return true; }
        // What follows an iteration is another iteration or what follows the quantifier: not
        // told here (a body that can match nothing leaves the start set unknown).

    private:
        group_quantifier* m_q;
    };

    backref_tag<It>& rec(match_state<It>& s) const { return s.br[m_body->gnum]; }

    bool decide(match_state<It>& s, It q) const {
        backref_tag<It>& R = rec(s);
        if (Greedy) {
            if (R.reps == m_hi) return this->next->match_rest(s, q);
            ++R.reps;
            if (m_body->match_rest(s, q)) return true;
            backref_tag<It>& R2 = rec(s);
            --R2.reps;
            if (R2.reps < m_lo) return false;
            return this->next->match_rest(s, q);
        } else {
            if (R.reps >= m_lo && this->next->match_rest(s, q)) return true;
            backref_tag<It>& R2 = rec(s);
            if (R2.reps >= m_hi) return false;
            ++R2.reps;
            if (m_body->match_rest(s, q)) return true;
            --rec(s).reps;
            return false;
        }
    }

    // Greedy repeats of a one-character group without a frame per repeat: take as many as
    // match, then give them back one by one, the group holding the last one taken.
    bool match_one_char_repeats(match_state<It>& s, It p) const {
        const backref_tag<It> saved = rec(s);
        const sub_expr<It>* atom = m_body->alts[0];
        It q = p;
        unsigned k = 0;
        for (It t = q; k < m_hi && atom->match_this(s, t); t = q) {
            q = t;
            ++k;
        }
        for (; k >= m_lo; --k, --q) {
            backref_tag<It>& r = rec(s);
            r = saved;
            r.reps = k;
            if (k > 0) {
                r.first = r.wstart = q - 1;
                r.second = q;
                r.matched = true;
            }
            if (this->next->match_rest(s, q)) return true;
            if (k == 0) break;
        }
        rec(s) = saved;
        return false;
    }

    bool match_rest(match_state<It>& s, It p) const override {
        stack_guard(s);
        if (m_one_char) return match_one_char_repeats(s, p);
        backref_tag<It>& R = rec(s);
        smart_iter<It> sp = R.prev_iter, sc = R.cur_iter;
        unsigned sn = R.reps;
        R.prev_iter = {};
        R.cur_iter = {p, true};
        R.reps = 0;
        if (decide(s, p)) return true;
        backref_tag<It>& R2 = rec(s);
        R2.prev_iter = sp;
        R2.cur_iter = sc;
        R2.reps = sn;
        return false;
    }
    bool step(match_state<It>& s) const override {
        backref_tag<It>& R = rec(s);
        s.stk->push(old_quant<It>{R.reps, R.iflag, R.prev_iter, R.cur_iter});
        R.reps = 0;
        R.iflag = 1;
        R.prev_iter = {};
        R.cur_iter = {};
        s.next = &m_end;
        return true;
    }
    bool retry(match_state<It>& s) const override {
        old_quant<It> o = s.stk->template pop<old_quant<It>>();
        backref_tag<It>& R = rec(s);
        R.reps = o.reps;
        R.iflag = o.iflag;
        R.prev_iter = o.prev_iter;
        R.cur_iter = o.cur_iter;
        return false;
    }
    width_type width(width_ctx<It>& ctx) override {
        return quantified_width<It>(m_body->width(ctx), m_lo, m_hi);
    }
    bool leading_literal(lit_rec& r) const override { return m_lo >= 1 && m_body->leading_literal(r); }
    void note_required(req_rec& r) const override {
        if (m_lo >= 1) m_body->note_required(r);
    }
    bool first_chars(start_set& f) const override { return quantified_first_chars(f, m_body, m_lo, m_hi, this->next); }

private:
    match_group_base<It>* m_body;
    unsigned m_lo, m_hi;
    end_quantifier m_end;
    bool m_one_char;
};

template <class It>
sub_expr<It>* match_group<It>::quantify(unsigned lo, unsigned hi, bool greedy, node_arena& arena) {
    const bool one_char = this->nalts == 1 && this->gnum >= 0 && this->alts[0]->is_one_char() &&
                          this->alts[0]->next == &m_end && !dynamic_cast<const match_conditional<It>*>(this);
    if (greedy) return arena.make<group_quantifier<It, true>>(this, lo, hi, one_char);
    return arena.make<group_quantifier<It, false>>(this, lo, hi);
}

template <class It>
sub_expr<It>* independent_group<It>::quantify(unsigned lo, unsigned hi, bool greedy, node_arena& arena) {
    if (greedy) return arena.make<group_quantifier<It, true>>(this, lo, hi);
    return arena.make<group_quantifier<It, false>>(this, lo, hi);
}

}  // namespace detail
}  // namespace regex
