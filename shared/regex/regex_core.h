// Engine state and shared types of the regular-expression engine: flags, modes, the compile
// error, widths, the node arena, group records, the match state and the backtracking stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

namespace regex {

// Flag word of a pattern.
enum REGEX_FLAGS : unsigned {
    NOFLAGS = 0x000,
    NOCASE = 0x001,         // letters, sets and back-references compare case-insensitively
    GLOBAL = 0x002,         // substitution replaces every match
    MULTILINE = 0x004,      // ^ and $ match at line starts and ends
    SINGLELINE = 0x008,     // . also matches a line feed
    RIGHTMOST = 0x010,      // start positions are tried from the last to the first
    NOBACKREFS = 0x020,     // substitution keeps no group records
    FIRSTBACKREFS = 0x040,  // global substitution keeps the whole-match record of every match
    ALLBACKREFS = 0x080,    // global substitution keeps all records of every match
    NORMALIZE = 0x100,      // control-character escapes are recognised
    EXTENDED = 0x200,       // white space and # comments between tokens are skipped
};

// Matching modes.
enum REGEX_MODE : unsigned {
    MODE_DEFAULT = 0,  // recursive
    MODE_SAFE = 1,     // stack-safe driver over the backtracking stack
    MODE_MIXED = 2,    // recursive when the pattern is safe for recursion
};

// The error of compiling a pattern or a replacement text.
class bad_regexpr : public std::invalid_argument {
public:
    explicit bad_regexpr(const std::string& msg) : std::invalid_argument(msg) {}
};

// The error of a search that took more steps than its budget allows (see rpattern.h): the text
// may or may not hold a match. Never thrown for "no match".
class search_budget_exceeded : public std::runtime_error {
public:
    search_budget_exceeded() : std::runtime_error("regular expression search exceeded its step budget") {}
};

namespace detail {

constexpr unsigned UNBOUNDED = 0xFFFFFFFFu;

// (minimum, maximum) character counts; UNBOUNDED in either member means unbounded.
struct width_type {
    unsigned m_min = 0;
    unsigned m_max = 0;
};

inline unsigned width_add(unsigned a, unsigned b) {
    if (a == UNBOUNDED || b == UNBOUNDED) return UNBOUNDED;
    uint64_t s = uint64_t(a) + b;
    return s >= UNBOUNDED ? UNBOUNDED : unsigned(s);
}
inline width_type operator+(width_type a, width_type b) {
    return {width_add(a.m_min, b.m_min), width_add(a.m_max, b.m_max)};
}
inline unsigned width_mult(unsigned a, unsigned b) {
    if (a == 0 || b == 0) return 0;
    if (a == UNBOUNDED || b == UNBOUNDED) return UNBOUNDED;
    uint64_t p = uint64_t(a) * b;
    return p >= UNBOUNDED ? UNBOUNDED : unsigned(p);
}

// Node arena: every node of a compiled pattern and everything a node needs lives here and is
// released at once with the pattern.
class node_arena {
public:
    explicit node_arena(size_t block_size = 352) : m_block_size(block_size) {}
    node_arena(const node_arena&) = delete;
    node_arena& operator=(const node_arena&) = delete;
    ~node_arena() { release(); }

    void* allocate(size_t n);
    void release();
    void swap(node_arena& o) noexcept {
        std::swap(m_current, o.m_current);
        std::swap(m_block_size, o.m_block_size);
    }
    template <class T, class... A>
    T* make(A&&... a) {
        return new (allocate(sizeof(T))) T(static_cast<A&&>(a)...);
    }
    template <class T>
    T* make_array(size_t n) {
        T* p = static_cast<T*>(allocate(sizeof(T) * (n ? n : 1)));
        for (size_t i = 0; i < n; ++i) new (p + i) T();
        return p;
    }

private:
    struct block {
        size_t used;
        size_t total;
        block* prev;
    };
    static constexpr size_t header = (sizeof(block) + 15) & ~size_t(15);
    block* m_current = nullptr;
    size_t m_block_size;
};

// Allocator over the arena: deallocation does nothing.
template <class T>
struct arena_allocator {
    using value_type = T;
    node_arena* arena;
    explicit arena_allocator(node_arena* a) : arena(a) {}
    template <class U>
    arena_allocator(const arena_allocator<U>& o) : arena(o.arena) {}
    T* allocate(size_t n) { return static_cast<T*>(arena->allocate(n * sizeof(T))); }
    void deallocate(T*, size_t) {}
    template <class U>
    bool operator==(const arena_allocator<U>& o) const { return arena == o.arena; }
};

// Written (external) group number -> internal group number, given the ascending hidden numbers.
unsigned renumber(unsigned n, const std::vector<unsigned>& hidden);

// A position with a validity flag.
template <class It>
struct smart_iter {
    It pos{};
    bool valid = false;
};

}  // namespace detail

// Group record: one per internal group number during a search.
template <class It>
struct backref_tag {
    It first{};
    It second{};
    bool matched = false;
    It wstart{};
    unsigned reps = 0;
    unsigned char iflag = 0;
    detail::smart_iter<It> prev_iter;
    detail::smart_iter<It> cur_iter;

    void reset() { *this = backref_tag(); }
    size_t length() const { return matched ? size_t(second - first) : 0; }
    std::wstring str() const { return matched ? std::wstring(first, second) : std::wstring(); }
};

// Stack of entries of different types, type-checked on every read. Blocks are kept for reuse
// while the stack lives; popping never frees a block.
class hetero_stack {
public:
    class type_error : public std::logic_error {
    public:
        type_error(const std::type_info& req, const std::type_info& act);
        const std::type_info* requested;
        const std::type_info* actual;
    };

    hetero_stack() {
        m_first.prev = &m_first;
        m_first.next = nullptr;
        m_first.saved_top = space(&m_first);
        m_first.end = space(&m_first);
        m_cur = &m_first;
        m_begin = m_top = m_limit = space(&m_first);
    }
    hetero_stack(const hetero_stack&) = delete;
    hetero_stack& operator=(const hetero_stack&) = delete;
    ~hetero_stack();

    using mark_type = char*;
    mark_type mark() const { return m_top; }
    bool empty() const { return m_top == space(&m_first); }
    size_t blocks() const;

    template <class T>
    void push(const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        constexpr size_t need = stride<T>() + sizeof(void*);
        if (size_t(m_limit - m_top) < need) grow(need);
        std::memcpy(m_top, &v, sizeof(T));
        const desc* d = &desc_of<T>;
        std::memcpy(m_top + stride<T>(), &d, sizeof(d));
        m_top += need;
    }
    template <class T>
    T& top() {
        check(desc_of<T>);
        return *std::launder(reinterpret_cast<T*>(m_top - sizeof(void*) - stride<T>()));
    }
    template <class T>
    void pop(T& out) {
        check(desc_of<T>);
        constexpr size_t need = stride<T>() + sizeof(void*);
        std::memcpy(&out, m_top - need, sizeof(T));
        m_top -= need;
        if (m_top == m_begin && m_cur != &m_first) step_back();
    }
    template <class T>
    T pop() {
        T v;
        pop(v);
        return v;
    }
    void unwind(mark_type m);

private:
    struct desc {
        const std::type_info* type;
        size_t size;
        size_t stride;
    };
    struct block {
        block* prev;
        block* next;
        char* saved_top;
        char* end;
    };
    template <class T>
    static constexpr size_t stride() {
        return (sizeof(T) + alignof(void*) - 1) & ~(alignof(void*) - 1);
    }
    template <class T>
    static inline const desc desc_of{&typeid(T), sizeof(T), stride<T>()};
    static char* space(const block* b) {
        return reinterpret_cast<char*>(const_cast<block*>(b)) + sizeof(block);
    }
    void check(const desc& want) const {
        if (m_top == space(&m_first)) throw type_error(*want.type, typeid(void));
        const desc* d;
        std::memcpy(&d, m_top - sizeof(void*), sizeof(d));
        if (d != &want && *d->type != *want.type) throw type_error(*want.type, *d->type);
    }
    void grow(size_t need);
    void step_back();

    block m_first;
    block* m_cur;
    char* m_begin;
    char* m_top;
    char* m_limit;
};

namespace detail {

template <class It>
class sub_expr;

// Thrown when the call stack budget of a search runs out.
struct stack_budget_exhausted {};
// Thrown inside a search when its steps run out; the search turns it into search_budget_exceeded.
struct step_budget_exhausted {};

// State of one search.
template <class It>
struct match_state {
    backref_tag<It>* br = nullptr;
    It end{};
    It cur{};
    size_t nbr = 0;
    const sub_expr<It>* next = nullptr;
    It begin{};
    It empty_pos{};
    const sub_expr<It>* top = nullptr;
    hetero_stack* stk = nullptr;
    bool prev_empty = false;
    // Call-stack guard: address of the search's frame and the number of bytes the search may
    // use below it.
    const char* stack_base = nullptr;
    size_t stack_budget = 0;
    // Steps (node visits) left to the current attempt; see the step budget in rpattern.h.
    uint64_t steps_left = UINT64_MAX;
};

inline const char* frame_address() { return static_cast<const char*>(__builtin_frame_address(0)); }

// One step of a search: every node visit counts, whether the node matches or not.
template <class It>
inline void count_step(match_state<It>& s) {
    if (--s.steps_left == 0) throw step_budget_exhausted();
}

template <class It>
inline void frame_guard(match_state<It>& s) {
    const char* here = frame_address();
    if (here < s.stack_base && size_t(s.stack_base - here) > s.stack_budget) throw stack_budget_exhausted();
}

template <class It>
inline void stack_guard(match_state<It>& s) {
    count_step(s);
    frame_guard(s);
}

// Guard for the compiler's recursion (nesting, widths, leading literals).
void compile_guard();
struct compile_guard_scope {
    compile_guard_scope();
    ~compile_guard_scope();
    const char* saved;
};

// Leading-literal record.
struct lit_rec {
    unsigned count = 0;
    wchar_t cands[2] = {0, 0};
    const wchar_t* many = nullptr;
    bool has_literal = false;
    const wchar_t* lit_begin = nullptr;
    const wchar_t* lit_end = nullptr;
    const wchar_t* lower = nullptr;  // lower-case copy when case-insensitive (lit_begin holds upper)
    const wchar_t* cand(unsigned i) const { return many ? many + i : cands + i; }
};

// A character that every match must contain, in one or two forms (case-insensitive); none when
// count is 0.
struct req_rec {
    unsigned count = 0;
    wchar_t forms[2] = {0, 0};
    void set(wchar_t a) {
        count = 1;
        forms[0] = a;
    }
    void set(wchar_t a, wchar_t b) {
        if (a == b) return set(a);
        count = 2;
        forms[0] = a;
        forms[1] = b;
    }
};

}  // namespace detail
}  // namespace regex
