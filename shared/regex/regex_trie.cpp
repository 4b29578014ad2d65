#include "shared/regex/regex_trie.h"

#include <algorithm>

namespace regex {
namespace detail {

const literal_trie* literal_trie::build(const std::vector<literal>& literals, node_arena& arena) {
    struct building {
        std::vector<edge> edges;
        wchar_t a = 0, b = 0;  // the forms that lead here
        unsigned alt = none;
    };
    std::vector<building> nodes(1);
    unsigned depth = 0;
    for (unsigned i = 0; i < literals.size(); ++i) {
        const literal& l = literals[i];
        unsigned n = 0;
        for (size_t k = 0; k < l.len; ++k) {
            wchar_t a = l.forms[k], b = l.other ? l.other[k] : a;
            if (b < a) std::swap(a, b);
            auto find = [&](wchar_t c) {
                for (const edge& e : nodes[n].edges)
                    if (e.c == c) return e.child;
                return none;
            };
            const unsigned ca = find(a), cb = find(b);
            if (ca == none && cb == none) {
                const unsigned c = static_cast<unsigned>(nodes.size());
                nodes.emplace_back();
                nodes[c].a = a;
                nodes[c].b = b;
                nodes[n].edges.push_back({a, c});
                if (b != a) nodes[n].edges.push_back({b, c});
                n = c;
            } else if (ca == cb && nodes[ca].a == a && nodes[ca].b == b) {
                n = ca;
            } else {
                return nullptr;  // the same character leads to two different sets of forms
            }
        }
        if (nodes[n].alt == none) nodes[n].alt = i;
        depth = std::max(depth, static_cast<unsigned>(l.len));
    }
    size_t total = 0;
    for (const building& b : nodes) total += b.edges.size();
    node* flat = arena.make_array<node>(nodes.size());
    edge* edges = arena.make_array<edge>(total);
    auto* t = arena.make<literal_trie>();
    unsigned at = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::vector<edge>& e = nodes[i].edges;
        std::sort(e.begin(), e.end(), [](const edge& x, const edge& y) { return x.c < y.c; });
        flat[i] = node{at, static_cast<unsigned>(e.size()), nodes[i].alt};
        std::copy(e.begin(), e.end(), edges + at);
        at += static_cast<unsigned>(e.size());
    }
    std::fill(std::begin(t->m_root), std::end(t->m_root), none);
    for (const edge& e : nodes[0].edges)
        if (static_cast<uint32_t>(e.c) < 256) t->m_root[static_cast<uint32_t>(e.c)] = e.child;
    t->m_nodes = flat;
    t->m_edges = edges;
    t->m_depth = depth;
    return t;
}

}  // namespace detail
}  // namespace regex
