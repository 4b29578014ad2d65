#pragma once
// Equality indexes of a row store. An index of one field tells which rows hold a value that
// may compare equal to a given value as filters and finds compare them (CompareValues, after the
// criteria's conversion of the literal to the field's type): NULL with NULL, numbers and dates
// by value, numbers with texts that read as numbers, texts without case and trailing blanks.
// An index may name more rows than match, never fewer: a row written since keeps its old entry
// beside the new one, rows whose keys share a hash are named together (keys are kept as their
// hashes only), and values that compare in odd ways (blobs, NaN, infinities) are named for every
// lookup. Whoever asks checks each row named.
//
// The index is flat: one array of entries (row, key hash, the entry before it in its bucket) and
// one of buckets (their latest entry and how many they hold), both in the layer's large blocks, so
// filing a row allocates nothing but the arrays' growth, and a whole index is a few pages.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ado/memory.h"
#include "platform/ado/value.h"

namespace platform::ado {

class EqualityIndex {
 public:
  // Room for `rows` rows filed under one key each.
  void Reserve(std::size_t rows);
  // Files row `row` under what `v` may equal (a row may be filed under several keys).
  void Add(std::size_t row, const Value& v);
  // Appends to `out` the rows that may hold a value equal to `literal` (unsorted, possibly
  // repeated). Returns false when the index cannot tell for such a literal: the caller scans.
  bool Candidates(const Value& literal, std::vector<std::size_t>& out) const;
  // At least as many rows as Candidates would append (the rows of the literal's buckets, which
  // are its key's rows but where keys share a bucket), or SIZE_MAX when it cannot tell: which of
  // several indexes names the fewest.
  std::size_t CandidateCount(const Value& literal) const;
  // Entries filed, stale ones included.
  std::size_t Entries() const { return entries_.size() + odd_.size(); }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  struct Entry {
    std::uint32_t row;
    std::uint32_t next;  // the entry filed before it in its bucket
    std::uint32_t hash;  // of its key
  };
  struct Bucket {
    std::uint32_t head = kNone;  // its latest entry
    std::uint32_t count = 0;
  };
  template <class T>
  using Array = std::vector<T, BlockAllocator<T>>;
  void File(std::size_t row, std::uint32_t hash);
  void Rehash(std::size_t buckets);
  // The hashes a value equal to `literal` is filed under; false when they cannot be told.
  static bool LookupHashes(const Value& literal, std::uint32_t (&hashes)[3], int& count);

  Array<Bucket> buckets_;  // a power of two of them
  Array<Entry> entries_;
  std::vector<std::size_t> odd_;  // rows named for every lookup
};

}  // namespace platform::ado
