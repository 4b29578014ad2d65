// An alternation of literals ("Polska|Warszawa|Kraków") as a trie: one walk along the text finds
// every alternative that matches at a position, instead of trying them one after the other.
// The caller still tries what follows the group with the alternatives that matched, in the
// order they were written, so the answer is the one the plain alternation gives.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "shared/regex/regex_core.h"

namespace regex {
namespace detail {

class literal_trie {
public:
    // One alternative: its characters, in one form (`other` null) or two forms each.
    struct literal {
        const wchar_t* forms;
        const wchar_t* other;
        size_t len;
    };
    // An alternative that matches: its index and how many characters it takes.
    struct hit {
        unsigned alt;
        unsigned len;
    };

    // The trie of the literals in the arena, or null when it cannot stand for them: at a
    // position where one literal takes a character in two forms and another literal only one
    // of them (or a different second one).
    static const literal_trie* build(const std::vector<literal>& literals, node_arena& arena);

    // The most hits one walk can give.
    unsigned max_hits() const { return m_depth + 1; }

    // The alternatives that match at p (the text ending at end), in the order they were written;
    // returns how many, out holding at least max_hits() entries.
    template <class It>
    unsigned walk(It p, It end, hit* out) const {
        unsigned n = 0, node = 0, len = 0;
        for (;;) {
            if (m_nodes[node].alt != none) out[n++] = hit{m_nodes[node].alt, len};
            if (p == end) break;
            node = child(node, *p);
            if (node == none) break;
            ++p;
            ++len;
        }
        // insertion sort by alternative; there are few
        for (unsigned i = 1; i < n; ++i)
            for (unsigned k = i; k > 0 && out[k].alt < out[k - 1].alt; --k) std::swap(out[k], out[k - 1]);
        return n;
    }

private:
    static constexpr unsigned none = ~0u;
    struct node {
        unsigned first_edge;
        unsigned edges;
        unsigned alt;  // the first alternative that ends here, or none
    };
    struct edge {
        wchar_t c;
        unsigned child;
    };

    unsigned child(unsigned n, wchar_t c) const {
        if (n == 0) {
            const uint32_t u = static_cast<uint32_t>(c);
            if (u < 256) return m_root[u];
        }
        const edge* b = m_edges + m_nodes[n].first_edge;
        const edge* e = b + m_nodes[n].edges;
        const edge* at = std::lower_bound(b, e, c, [](const edge& x, wchar_t y) { return x.c < y; });
        return at != e && at->c == c ? at->child : none;
    }

    const node* m_nodes = nullptr;
    const edge* m_edges = nullptr;
    unsigned m_root[256];  // the root's children for characters below 256
    unsigned m_depth = 0;
};

}  // namespace detail
}  // namespace regex
