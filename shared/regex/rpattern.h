// The regular-expression engine's public face: compiled patterns, search, substitution and the
// result objects, over std::wstring::const_iterator (rpattern) and const wchar_t* (rpattern_c).
//
//   regex::rpattern pat(L"<b>(.*?)</b>", L"[$1]", regex::NOCASE | regex::GLOBAL);
//   regex::subst_results res;
//   std::wstring text = ...;
//   size_t n = pat.substitute(text, res);
//
// Step budget. A step is one visit of a pattern node. Every attempt at a start position may take
// 10,000,000 steps plus 256 for each character from that position to the end of the text: far
// more than any pattern that does not backtrack without end needs, and few enough that one
// that does (as "(a+)+b" on a run of a's) is stopped within a fraction of a second. A pattern
// may also be given a bound on the steps of a whole search (set_step_limit). A search that
// reaches either bound throws search_budget_exceeded, which a caller can tell from "no match":
// match and count pass it on, and substitute passes it on leaving its subject unchanged.
#pragma once

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "shared/regex/regex_compiler.h"

namespace regex {

// Group records of the last match, numbered by capturing groups (0 = the whole match).
template <class It>
class basic_match_results {
public:
    using iterator = It;
    using backref_type = backref_tag<It>;
    using backref_vector = std::vector<backref_type>;

    virtual ~basic_match_results() = default;

    size_t cbackrefs() const { return m_rgbackrefs.size(); }
    const backref_type& backref(size_t n) const { return m_rgbackrefs.at(n); }
    bool matched(size_t n = 0) const { return n < m_rgbackrefs.size() && m_rgbackrefs[n].matched; }
    // Offset of group n from the start of the searched text; npos when the group did not match.
    size_t rstart(size_t n = 0) const {
        return matched(n) ? static_cast<size_t>(m_rgbackrefs[n].first - m_ibegin) : std::wstring::npos;
    }
    size_t rlength(size_t n = 0) const { return matched(n) ? m_rgbackrefs[n].length() : 0; }
    std::wstring str(size_t n = 0) const { return matched(n) ? m_rgbackrefs[n].str() : std::wstring(); }
    const backref_vector& all_backrefs() const { return m_rgbackrefs; }
    It ibegin() const { return m_ibegin; }
    // True when the last search gave up because a match went too deep for the call stack (it
    // then reports no match).
    bool cut_short() const { return m_cut_short; }
    // Steps the last search took (see the step budget above).
    uint64_t steps() const { return m_steps; }

protected:
    template <class, class>
    friend class basic_rpattern_base;
    backref_vector m_rgbackrefs;
    It m_ibegin{};
    bool m_cut_short = false;
    uint64_t m_steps = 0;
};

// Results of a substitution: the records point into a copy of the subject string.
template <class CharT>
class basic_subst_results : public basic_match_results<typename std::basic_string<CharT>::const_iterator> {
public:
    using string_type = std::basic_string<CharT>;
    const string_type& backref_str() const { return m_backref_str; }

protected:
    template <class, class>
    friend class basic_rpattern_base;
    string_type m_backref_str;
    const string_type* m_pstr = nullptr;
};

using match_results = basic_match_results<std::wstring::const_iterator>;
using match_results_c = basic_match_results<const wchar_t*>;
using subst_results = basic_subst_results<wchar_t>;

template <class It, class Syntax = perl_syntax<wchar_t>>
class basic_rpattern_base : protected detail::basic_rpattern_base_impl<It> {
    using impl = detail::basic_rpattern_base_impl<It>;

public:
    using iterator = It;
    using results_type = basic_match_results<It>;

    basic_rpattern_base(const std::wstring& pat, unsigned flags = 0, unsigned mode = 0) {
        build(pat, std::wstring(), flags, mode);
    }
    basic_rpattern_base(const std::wstring& pat, const std::wstring& subst, unsigned flags = 0, unsigned mode = 0) {
        build(pat, subst, flags, mode);
    }
    virtual ~basic_rpattern_base() = default;

    // Re-initialisation: on error this object is unchanged.
    void init(const std::wstring& pat, unsigned flags = 0, unsigned mode = 0) {
        basic_rpattern_base tmp(pat, flags, mode);
        impl::swap(tmp);
    }
    void init(const std::wstring& pat, const std::wstring& subst, unsigned flags = 0, unsigned mode = 0) {
        basic_rpattern_base tmp(pat, subst, flags, mode);
        impl::swap(tmp);
    }
    void set_substitution(const std::wstring& subst) {
        std::wstring text = (this->m_flags & NORMALIZE) ? detail::translate_replacement(subst) : subst;
        bool refs = false;
        std::vector<detail::subst_item> prog = detail::parse_replacement(text, this->capture_count, refs);
        this->replacement.swap(text);
        this->program.swap(prog);
        this->has_group_refs = refs;
    }

    unsigned flags() const { return impl::m_flags; }
    unsigned mode() const { return impl::m_mode; }
    size_t cgroups() const { return this->capture_count; }
    const std::wstring& get_pat() const { return this->pattern; }
    const std::wstring& get_subst() const { return this->replacement; }
    unsigned min_width() const { return this->width.m_min; }
    // Optional bound on the steps of one whole search, beside the budget of each attempt (see the
    // step budget above); 0, the default, means none.
    void set_step_limit(uint64_t steps) { m_step_limit = steps; }
    uint64_t step_limit() const { return m_step_limit; }
    unsigned max_width() const { return this->width.m_max; }

    // Leftmost match (rightmost with RIGHTMOST) in [begin, end).
    bool match(It begin, It end, results_type& res) const { return search(res, begin, begin, end, false, begin); }
    // A match that starts exactly at `at`, in the text [begin, end).
    bool match_at(It begin, It at, It end, results_type& res) const {
        return search(res, begin, at, end, false, begin, true);
    }
    // NUL-terminated text (pointer form).
    template <class I = It, class = std::enable_if_t<std::is_pointer_v<I>>>
    bool match(const wchar_t* sz, results_type& res) const {
        return match(sz, sz + std::wcslen(sz), res);
    }
    template <class I = It, class = std::enable_if_t<!std::is_pointer_v<I>>>
    bool match(const std::wstring& str, results_type& res) const {
        return match(str.begin(), str.end(), res);
    }
    // Number of non-overlapping matches.
    size_t count(It begin, It end) const {
        results_type res;
        size_t n = 0;
        It cur = begin;
        bool prev_empty = false;
        It empty_at = begin;
        while (search(res, begin, cur, end, prev_empty, empty_at)) {
            const auto& r = res.m_rgbackrefs[0];
            if (prev_empty && r.first == r.second && r.second == empty_at) {
                // the same empty match again (a rightmost search can return to it): move on
                if (cur == end) break;
                ++cur;
                continue;
            }
            ++n;
            prev_empty = r.first == r.second;
            empty_at = r.second;
            cur = r.second;
        }
        return n;
    }
    template <class I = It, class = std::enable_if_t<std::is_pointer_v<I>>>
    size_t count(const wchar_t* sz) const {
        return count(sz, sz + std::wcslen(sz));
    }
    template <class I = It, class = std::enable_if_t<!std::is_pointer_v<I>>>
    size_t count(const std::wstring& str) const {
        return count(str.begin(), str.end());
    }

    // Rewrites str in place over [pos, pos + len); returns the number of replacements.
    template <class I = It, class = std::enable_if_t<std::is_same_v<I, std::wstring::const_iterator>>>
    size_t substitute(std::wstring& str, basic_subst_results<wchar_t>& res, size_t pos = 0,
                      size_t len = std::wstring::npos) const {
        return do_substitute(str, res, pos, len);
    }

private:
    uint64_t m_step_limit = 0;

    void build(const std::wstring& pat, const std::wstring& subst, unsigned flags, unsigned mode) {
        this->m_flags = flags;
        this->m_mode = mode;
        this->pattern = pat;
        detail::compiler<It>(*this).compile();
        set_substitution(subst);
    }

    using state = detail::match_state<It>;
    static constexpr size_t recursive_budget = 256 * 1024;
    static constexpr size_t safe_budget = 1024 * 1024;
    static constexpr uint64_t attempt_steps = 10000000;
    static constexpr uint64_t attempt_steps_per_char = 256;

    // Steps of the search so far and what is left of its bound.
    struct step_account {
        uint64_t search_left;
        uint64_t taken = 0;
        uint64_t granted = 0;  // steps granted to the current attempt
    };

    // One attempt at p; throws stack_budget_exhausted when even the stack-safe driver runs out.
    bool attempt(state& s, step_account& acc, hetero_stack*& stk, std::vector<backref_tag<It>>& br, It p) const {
        acc.granted = std::min<uint64_t>(acc.search_left, attempt_steps + attempt_steps_per_char * uint64_t(s.end - p));
        s.steps_left = acc.granted + 1;
        bool ok = attempt_within(s, stk, br, p);
        uint64_t used = acc.granted + 1 - s.steps_left;
        acc.taken += used;
        acc.search_left -= used;
        return ok;
    }
    bool attempt_within(state& s, hetero_stack*& stk, std::vector<backref_tag<It>>& br, It p) const {
        if (this->has_recursion)
            for (auto& r : br) r.reset();
        if (!s.stk) {
            try {
                // Group 0 entered directly: the start positions are already those a match can
                // begin at, so its own first-character test is spared.
                const detail::match_group<It>& g = *this->root;
                if (g.trie) return g.match_trie(s, p);
                if (g.nalts != 1) return g.match_rest(s, p);
                s.br[0].wstart = p;
                return g.alts[0]->match_rest(s, p);
            } catch (const detail::stack_budget_exhausted&) {
                // The recursive mode ran out of its budget: the attempt is redone by the stack-safe
                // driver, which gives the same results.
                for (auto& r : br) r.reset();
                if (!stk) stk = new hetero_stack();
                s.stk = stk;
                s.stack_budget = safe_budget;
                bool ok = detail::drive(s, this->root, p);
                s.stk = nullptr;
                s.stack_budget = recursive_budget;
                return ok;
            }
        }
        return detail::drive(s, this->root, p);
    }

    bool search(results_type& res, It begin, It start, It end, bool prev_empty, It empty_pos,
                bool anchored = false) const {
        std::vector<backref_tag<It>>& br = res.m_rgbackrefs;
        br.assign(this->group_counter, backref_tag<It>());
        res.m_ibegin = begin;
        res.m_cut_short = false;
        res.m_steps = 0;
        bool found = false;
        if (static_cast<size_t>(end - start) >= this->width.m_min) {
            state s;
            s.br = br.data();
            s.nbr = br.size();
            s.begin = begin;
            s.end = end;
            s.top = this->root;
            s.prev_empty = prev_empty;
            s.empty_pos = empty_pos;
            s.stack_base = detail::frame_address();
            hetero_stack* own = nullptr;
            bool recursive = this->m_mode == MODE_DEFAULT || (this->m_mode == MODE_MIXED && this->safe_for_recursion);
            if (!recursive) {
                own = new hetero_stack();
                s.stk = own;
            }
            s.stack_budget = recursive ? recursive_budget : safe_budget;
            step_account acc{m_step_limit ? m_step_limit : UINT64_MAX};
            try {
                found = anchored ? attempt(s, acc, own, br, start) : run_starts(s, acc, own, br, start, end);
            } catch (const detail::stack_budget_exhausted&) {
                // Too deep even for the stack-safe driver: no match.
                found = false;
                res.m_cut_short = true;
            } catch (const detail::step_budget_exhausted&) {
                delete own;
                for (auto& r : br) r.reset();
                br.resize(this->capture_count);
                res.m_steps = acc.taken + acc.granted;
                throw search_budget_exceeded();
            } catch (...) {
                delete own;
                throw;
            }
            delete own;
            res.m_steps = acc.taken;
        }
        // Results are numbered by capturing groups only.
        if (found && !this->hidden.empty()) {
            size_t w = 0, h = 0;
            for (size_t i = 0; i < br.size(); ++i) {
                if (h < this->hidden.size() && this->hidden[h] == i) {
                    ++h;
                    continue;
                }
                br[w++] = br[i];
            }
        }
        br.resize(this->capture_count);
        if (!found)
            for (auto& r : br) r.reset();
        return found;
    }

    // The first position in [p, end) whose character can begin a match; one possible character
    // is looked for with the library's search over contiguous text.
    It skip_to_start(It p, It end) const {
        if constexpr (std::contiguous_iterator<It> && std::is_same_v<std::iter_value_t<It>, wchar_t>) {
            if (this->start_count == 1) {
                if (p == end) return end;
                const wchar_t* at = std::wmemchr(std::to_address(p), this->start_chars[0], static_cast<size_t>(end - p));
                return at ? p + (at - std::to_address(p)) : end;
            }
        }
        if (this->start_count == 2) {
            const wchar_t a = this->start_chars[0], b = this->start_chars[1];
            while (p != end && *p != a && *p != b) ++p;
            return p;
        }
        if constexpr (std::contiguous_iterator<It> && std::is_same_v<std::iter_value_t<It>, wchar_t>) {
            if (this->start_ranges.count) {
                const size_t n = static_cast<size_t>(end - p);
                return n ? p + static_cast<std::ptrdiff_t>(
                                   detail::scan_ranges(std::to_address(p), 0, n, this->start_ranges))
                         : end;
            }
        }
        const detail::start_set& f = this->starts;
        while (p != end && !f.test(static_cast<uint32_t>(*p))) ++p;
        return p;
    }

    // The first occurrence in [p, end) of the character every match contains, or end.
    It find_required(It p, It end) const {
        const detail::req_rec& r = this->required;
        if constexpr (std::contiguous_iterator<It> && std::is_same_v<std::iter_value_t<It>, wchar_t>) {
            if (r.count == 1) {
                if (p == end) return end;
                const wchar_t* at = std::wmemchr(std::to_address(p), r.forms[0], static_cast<size_t>(end - p));
                return at ? p + (at - std::to_address(p)) : end;
            }
        }
        while (p != end && *p != r.forms[0] && *p != r.forms[r.count - 1]) ++p;
        return p;
    }

    // Start positions from the occurrences of the literal every match holds (see
    // literal_prefilter): for each, the positions before it from which only characters the part
    // before the literal takes lead up to it, left to right, each tried once.
    bool run_prefiltered(state& s, step_account& acc, hetero_stack*& own, std::vector<backref_tag<It>>& br,
                         It start, It end) const {
        const detail::literal_prefilter& pf = *this->prefilter;
        const wchar_t* base = std::to_address(start);
        const size_t n = static_cast<size_t>(end - start);
        const size_t minw = pf.width.m_min, maxw = pf.width.m_max;
        size_t tried = 0;  // every position below has been tried
        for (size_t from = minw;; ) {
            const size_t at = pf.finder.find(base, from, n);
            if (at >= n) return false;
            size_t low = tried;
            if (maxw != detail::UNBOUNDED && at > maxw && at - maxw > low) low = at - maxw;
            size_t q = at;
            while (q > low && pf.chars.test(static_cast<uint32_t>(base[q - 1]))) --q;
            for (const size_t last = at - minw; q <= last; ++q) {
                if (this->has_starts && !this->starts.test(static_cast<uint32_t>(base[q]))) continue;
                if (attempt(s, acc, own, br, start + static_cast<std::ptrdiff_t>(q))) return true;
                s.prev_empty = false;
            }
            if (at - minw + 1 > tried) tried = at - minw + 1;
            from = at + 1;
        }
    }

    bool run_starts(state& s, step_account& acc, hetero_stack*& own, std::vector<backref_tag<It>>& br, It start,
                    It end) const {
        const std::ptrdiff_t minw = this->width.m_min;
        auto next_start = [&] { s.prev_empty = false; };
        // A match at p contains the required character at p or after it: where none is left, no
        // start position is left either.
        const bool required = this->required.count != 0;
        It req_at = start;
        if (required && (req_at = find_required(start, end)) == end) return false;
        auto required_after = [&](It p) {
            if (!required) return true;
            if (req_at < p) req_at = find_required(p, end);
            return req_at != end;
        };
        if (this->m_flags & RIGHTMOST) {
            if (end - start < minw) return false;
            for (It p = end - minw;; --p) {
                if (!(this->has_starts && p != end && !this->starts.test(static_cast<uint32_t>(*p)))) {
                    if (attempt(s, acc, own, br, p)) return true;
                    next_start();
                }
                if (p == start) return false;
            }
        }
        if constexpr (std::contiguous_iterator<It>) {
            if (this->behind && this->try_every_start && !this->scanner) {
                // a match starts right after each occurrence of the look-behind's literal
                const detail::literal_finder& f = *this->behind;
                const wchar_t* base = std::to_address(s.begin);
                const size_t from = static_cast<size_t>(start - s.begin), n = static_cast<size_t>(end - s.begin);
                for (size_t at = f.find(base, from >= f.length() ? from - f.length() : 0, n); at < n;
                     at = f.find(base, at + 1, n)) {
                    const size_t p = at + f.length();
                    if (p < from) continue;
                    if (n - p < static_cast<size_t>(minw)) return false;
                    if (!required_after(s.begin + static_cast<std::ptrdiff_t>(p))) return false;
                    if (attempt(s, acc, own, br, s.begin + static_cast<std::ptrdiff_t>(p))) return true;
                    next_start();
                }
                return false;
            }
            if (this->prefilter && this->try_every_start && !this->scanner)
                return run_prefiltered(s, acc, own, br, start, end);
        }
        if (this->scanner) {
            It p = this->scanner->find(start, end);
            while (p != end) {
                if (!required_after(p)) return false;
                if (attempt(s, acc, own, br, p)) return true;
                if (!this->try_every_start) return false;
                next_start();
                p = this->scanner->find(p + 1, end);
            }
            return false;
        }
        for (It p = start;; ++p) {
            if (this->has_starts && this->try_every_start) {
                // positions whose character cannot begin a match are skipped
                p = skip_to_start(p, end);
                if (p == end) return false;
            }
            if (!required_after(p)) return false;
            if (attempt(s, acc, own, br, p)) return true;
            if (!this->try_every_start) return false;
            next_start();
            if (end - p <= minw) return false;
        }
    }

    // Appends the replacement program's text for a match to out.
    void apply(std::wstring& out, const std::vector<backref_tag<It>>& rec, const std::wstring& searched) const {
        int range_case = 0, next_case = 0;
        for (const detail::subst_item& item : this->program) {
            const size_t at = out.size();
            switch (item.kind) {
                case detail::subst_item::LITERAL: out.append(this->replacement, item.offset, item.length); break;
                case detail::subst_item::GROUP:
                    if (item.group == -1)
                        out.append(searched.begin(), rec[0].first);
                    else if (item.group == -2)
                        out.append(rec[0].second, searched.end());
                    else if (static_cast<size_t>(item.group) < rec.size() && rec[item.group].matched)
                        out.append(rec[item.group].first, rec[item.group].second);
                    break;
                case detail::subst_item::CASE_OP:
                    switch (item.case_op) {
                        case detail::CASE_UPPER_ON: range_case = 1; break;
                        case detail::CASE_LOWER_ON: range_case = 2; break;
                        case detail::CASE_END: range_case = 0; break;
                        case detail::CASE_UPPER_NEXT: next_case = 1; break;
                        case detail::CASE_LOWER_NEXT: next_case = 2; break;
                    }
                    continue;
            }
            if (range_case)
                for (size_t i = at; i < out.size(); ++i)
                    out[i] = range_case == 1 ? detail::wupper(out[i]) : detail::wlower(out[i]);
            if (next_case) {
                if (out.size() > at) out[at] = next_case == 1 ? detail::wupper(out[at]) : detail::wlower(out[at]);
                next_case = 0;
            }
        }
    }

    // The subject is searched as it stands, in the results' string (where the kept records point);
    // the new text is built beside it in one sweep and becomes the subject at the end.
    size_t do_substitute(std::wstring& str, basic_subst_results<wchar_t>& res, size_t pos, size_t len) const {
        const unsigned fl = this->m_flags;
        const bool keep = !(fl & NOBACKREFS) || this->has_group_refs;
        std::wstring& searched = res.m_backref_str;
        searched.swap(str);
        str.clear();
        res.m_pstr = &searched;
        std::vector<backref_tag<It>> kept;
        const size_t size = searched.size();
        size_t start = pos < size ? pos : size;
        const size_t stop = (len == std::wstring::npos || len > size - start) ? size : start + len;
        size_t count = 0, copied = 0;
        bool prev_empty = false;
        size_t empty_at = 0;
        basic_match_results<It> one;
        try {
            for (;;) {
                It b = searched.begin();
                if (!search(one, b, b + static_cast<std::ptrdiff_t>(start), b + static_cast<std::ptrdiff_t>(stop),
                            prev_empty, b + static_cast<std::ptrdiff_t>(empty_at)))
                    break;
                size_t mstart = static_cast<size_t>(one.m_rgbackrefs[0].first - b);
                size_t mlen = one.m_rgbackrefs[0].length();
                if (prev_empty && mlen == 0 && mstart == empty_at) {
                    // the same empty match again (a rightmost search can return to it): move on
                    if (start >= stop) break;
                    ++start;
                    continue;
                }
                if (count++ == 0) str.reserve(size);
                if (keep) {
                    if (fl & FIRSTBACKREFS)
                        kept.push_back(one.m_rgbackrefs[0]);
                    else if (fl & ALLBACKREFS)
                        kept.insert(kept.end(), one.m_rgbackrefs.begin(), one.m_rgbackrefs.end());
                    else
                        kept = one.m_rgbackrefs;
                }
                str.append(searched, copied, mstart - copied);
                apply(str, one.m_rgbackrefs, searched);
                copied = mstart + mlen;
                if (!(fl & GLOBAL)) break;
                start = mstart + mlen;
                prev_empty = mlen == 0;
                empty_at = start;
                if (start > stop) break;
            }
        } catch (...) {
            str.swap(searched);
            searched.clear();
            res.m_rgbackrefs.clear();
            throw;
        }
        if (count)
            str.append(searched, copied, std::wstring::npos);
        else
            str.swap(searched);
        if (fl & NOBACKREFS) kept.clear();
        if (!keep) searched.clear();
        res.m_rgbackrefs.swap(kept);
        res.m_cut_short = one.m_cut_short;
        res.m_steps = one.m_steps;
        res.m_ibegin = searched.begin();
        return count;
    }
};

template <class It, class Syntax = perl_syntax<wchar_t>>
class basic_rpattern : public basic_rpattern_base<It, Syntax> {
public:
    using basic_rpattern_base<It, Syntax>::basic_rpattern_base;
};

using rpattern = basic_rpattern<std::wstring::const_iterator, perl_syntax<wchar_t>>;
using rpattern_c = basic_rpattern<const wchar_t*, perl_syntax<wchar_t>>;

}  // namespace regex
