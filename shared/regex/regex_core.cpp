#include "shared/regex/regex_core.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace regex {
namespace detail {

void* node_arena::allocate(size_t n) {
    if (n == 0) n = 1;
    n = (n + 15) & ~size_t(15);
    if (!m_current || m_current->used + n > m_block_size) {
        size_t space = n > m_block_size ? n : m_block_size;
        size_t total = space + header;
        void* mem = ::operator new(total);
        block* b = static_cast<block*>(mem);
        b->used = 0;
        b->total = total;
        b->prev = m_current;
        m_current = b;
    }
    void* p = reinterpret_cast<char*>(m_current) + header + m_current->used;
    m_current->used += n;
    return p;
}

void node_arena::release() {
    while (m_current) {
        block* prev = m_current->prev;
        ::operator delete(m_current);
        m_current = prev;
    }
}

unsigned renumber(unsigned n, const std::vector<unsigned>& hidden) {
    for (unsigned h : hidden) {
        if (n < h) break;
        ++n;
    }
    return n;
}

namespace {
thread_local const char* t_compile_base = nullptr;
constexpr size_t compile_budget = 512 * 1024;
}  // namespace

void compile_guard() {
    const char* here = frame_address();
    if (t_compile_base && here < t_compile_base && size_t(t_compile_base - here) > compile_budget)
        throw bad_regexpr("regular expression too complex");
}

compile_guard_scope::compile_guard_scope() : saved(t_compile_base) {
    if (!t_compile_base) t_compile_base = frame_address();
}
compile_guard_scope::~compile_guard_scope() { t_compile_base = saved; }

}  // namespace detail

namespace {
std::string readable(const std::type_info& t) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> p(abi::__cxa_demangle(t.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && p ? std::string(p.get()) : std::string(t.name());
}
}  // namespace

hetero_stack::type_error::type_error(const std::type_info& req, const std::type_info& act)
    : std::logic_error("type error in hetero_stack (requested type: " + readable(req) +
                       ", actual type: " + readable(act) + ")"),
      requested(&req),
      actual(&act) {}

hetero_stack::~hetero_stack() {
    unwind(space(&m_first));
    block* b = m_first.next;
    while (b) {
        block* n = b->next;
        ::operator delete(b);
        b = n;
    }
}

size_t hetero_stack::blocks() const {
    size_t n = 0;
    for (block* b = m_first.next; b; b = b->next) ++n;
    return n;
}

void hetero_stack::grow(size_t need) {
    // Each new block is twice the size of the one before (4 KB to 1 MB), so that a deep match
    // asks the allocator for memory a few times, not once per few hundred entries.
    constexpr size_t min_space = 4096, max_space = 1 << 20;
    m_cur->saved_top = m_top;
    block* nb = m_cur->next;
    if (nb && size_t(nb->end - space(nb)) >= need) {
        // reuse the next block
    } else {
        size_t cur = m_cur == &m_first ? 0 : size_t(m_cur->end - space(m_cur));
        size_t sp = std::max(need, std::clamp(cur * 2, min_space, max_space));
        void* mem = ::operator new(sizeof(block) + sp);
        block* b = static_cast<block*>(mem);
        b->prev = m_cur;
        b->next = nb;
        if (nb) nb->prev = b;
        m_cur->next = b;
        b->end = space(b) + sp;
        nb = b;
    }
    m_cur = nb;
    m_begin = space(nb);
    m_top = m_begin;
    m_limit = nb->end;
    nb->saved_top = m_top;
}

void hetero_stack::step_back() {
    m_cur->saved_top = m_top;
    m_cur = m_cur->prev;
    m_begin = space(m_cur);
    m_top = m_cur->saved_top;
    m_limit = m_cur->end;
}

void hetero_stack::unwind(mark_type m) {
    while (m_top != m) {
        if (m_top == m_begin) {
            if (m_cur == &m_first) break;
            step_back();
            continue;
        }
        const desc* d;
        std::memcpy(&d, m_top - sizeof(void*), sizeof(d));
        m_top -= sizeof(void*) + d->stride;
        if (m_top == m_begin && m_top != m && m_cur != &m_first) step_back();
    }
}

}  // namespace regex
