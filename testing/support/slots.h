#pragma once
// The method-table slot of a virtual member function, for tests that check that callers reaching
// a method by its place in the table find it there.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace testutil {

// Itanium C++ ABI: a pointer to a virtual member function holds one plus the byte offset of
// its entry.
template <class M>
size_t Slot(M method) {
  struct Rep {
    std::uintptr_t ptr;
    std::ptrdiff_t adjust;
  };
  static_assert(sizeof(M) == sizeof(Rep));
  Rep rep;
  std::memcpy(&rep, &method, sizeof rep);
  EXPECT_EQ(rep.ptr % sizeof(void*), 1u) << "not a virtual member function";
  return (rep.ptr - 1) / sizeof(void*);
}

}  // namespace testutil
