#include "shared/regex/regex_compiler.h"

namespace regex {
namespace detail {

std::wstring translate_replacement(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0, n = text.size();
    while (i < n) {
        if (text[i] != L'\\' || i + 1 >= n) {
            out.push_back(text[i++]);
            continue;
        }
        wchar_t c = text[i + 1];
        wchar_t v = 0;
        switch (c) {
            case L'a': v = 7; break;
            case L'e': v = 27; break;
            case L'f': v = 12; break;
            case L'n': v = 10; break;
            case L'r': v = 13; break;
            case L't': v = 9; break;
            case L'v': v = 11; break;
            default: break;
        }
        if (v) {
            out.push_back(v);
            i += 2;
        } else if (c == L'\\') {
            if (i + 3 < n && text[i + 2] == L'\\' && text[i + 3] == L'\\') {
                out.append(L"\\\\");
                i += 4;
            } else {
                out.append(L"\\\\");
                i += 2;
            }
        } else {
            out.push_back(L'\\');
            out.push_back(c);
            i += 2;
        }
    }
    return out;
}

std::vector<subst_item> parse_replacement(const std::wstring& text, unsigned capture_count, bool& has_refs) {
    std::vector<subst_item> prog;
    has_refs = false;
    perl_syntax<wchar_t> syn;
    auto begin = text.begin(), cur = begin, end = text.end();
    auto literal = [&](size_t off, size_t len) {
        if (len == 0) return;
        if (!prog.empty() && prog.back().kind == subst_item::LITERAL &&
            prog.back().offset + prog.back().length == off) {
            prog.back().length += len;
            return;
        }
        subst_item it{subst_item::LITERAL};
        it.offset = off;
        it.length = len;
        prog.push_back(it);
    };
    auto new_literal = [&](size_t off, size_t len) {
        subst_item it{subst_item::LITERAL};
        it.offset = off;
        it.length = len;
        prog.push_back(it);
    };
    auto group = [&](int g) {
        subst_item it{subst_item::GROUP};
        it.group = g;
        prog.push_back(it);
        has_refs = true;
    };
    auto case_op = [&](int op) {
        subst_item it{subst_item::CASE_OP};
        it.case_op = op;
        prog.push_back(it);
    };
    while (cur != end) {
        auto at = cur;
        TOKEN t = syn.next_substitution_token(cur, end);
        switch (t) {
            case NO_TOKEN:
                literal(static_cast<size_t>(cur - begin), 1);
                ++cur;
                break;
            case tok_subst_match: group(0); break;
            case tok_subst_before: group(-1); break;
            case tok_subst_after: group(-2); break;
            case tok_subst_group: {
                unsigned limit = capture_count ? capture_count - 1 : 0;
                unsigned n = perl_syntax<wchar_t>::read_number(cur, end, limit);
                if (n == 0) throw bad_regexpr("invalid backreference in substitution");
                group(static_cast<int>(n));
                break;
            }
            case tok_subst_escape:
                if (cur == end) throw bad_regexpr("expecting escape sequence in substitution string");
                new_literal(static_cast<size_t>(cur - begin), 1);
                ++cur;
                break;
            case tok_subst_quote: {
                auto start = cur;
                while (cur != end && !(*cur == L'\\' && cur + 1 != end && cur[1] == L'E')) ++cur;
                new_literal(static_cast<size_t>(start - begin), static_cast<size_t>(cur - start));
                if (cur != end) {
                    cur += 2;
                    case_op(CASE_END);
                }
                break;
            }
            case tok_subst_upper: case_op(CASE_UPPER_ON); break;
            case tok_subst_upper_next: case_op(CASE_UPPER_NEXT); break;
            case tok_subst_lower: case_op(CASE_LOWER_ON); break;
            case tok_subst_lower_next: case_op(CASE_LOWER_NEXT); break;
            case tok_subst_case_end: case_op(CASE_END); break;
            default: cur = at + 1; break;
        }
    }
    return prog;
}

prefix_scanner::prefix_scanner(const wchar_t* lit, const wchar_t* lower, size_t len, node_arena& arena) {
    wchar_t* a = static_cast<wchar_t*>(arena.allocate(len * sizeof(wchar_t)));
    std::copy(lit, lit + len, a);
    wchar_t* b = nullptr;
    if (lower) {
        b = static_cast<wchar_t*>(arena.allocate(len * sizeof(wchar_t)));
        std::copy(lower, lower + len, b);
    }
    m_finder = literal_finder(a, b, len);
}

}  // namespace detail
}  // namespace regex
