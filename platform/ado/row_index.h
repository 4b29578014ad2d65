#pragma once
// Equality indexes of a row store. An index of one field tells which rows hold a value that
// may compare equal to a given value as filters and finds compare them (CompareValues, after the
// criteria's conversion of the literal to the field's type): NULL with NULL, numbers and dates
// by value, numbers with texts that read as numbers, texts without case and trailing blanks.
// An index may name more rows than match, never fewer: a row written since keeps its old entry
// beside the new one, and values that compare in odd ways (blobs, NaN, infinities) are named for
// every lookup. Whoever asks checks each row named.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ado/value.h"

namespace platform::ado {

class EqualityIndex {
 public:
  // Files row `row` under what `v` may equal (a row may be filed under several keys).
  void Add(std::size_t row, const Value& v);
  // Appends to `out` the rows that may hold a value equal to `literal` (unsorted, possibly
  // repeated). Returns false when the index cannot tell for such a literal: the caller scans.
  bool Candidates(const Value& literal, std::vector<std::size_t>& out) const;
  // How many rows Candidates would append, or SIZE_MAX when it cannot tell.
  std::size_t CandidateCount(const Value& literal) const;
  // Entries filed, stale ones included.
  std::size_t Entries() const { return entries_; }

 private:
  struct Key {
    enum Tag : std::uint8_t { Null, Number, Text } tag = Null;
    double number = 0;
    std::wstring text;  // collation weights
    bool operator==(const Key& o) const {
      return tag == o.tag && (tag == Null || (tag == Number ? number == o.number : text == o.text));
    }
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const;
  };
  void File(std::size_t row, Key&& key);
  // The keys a value equal to `literal` is filed under; false when they cannot be told.
  static bool LookupKeys(const Value& literal, std::vector<Key>& keys);
  static Key TextKey(std::wstring_view text);
  static Key NumberKey(double d);

  std::unordered_map<Key, std::vector<std::size_t>, KeyHash> buckets_;
  std::vector<std::size_t> odd_;  // rows named for every lookup
  std::size_t entries_ = 0;
};

}  // namespace platform::ado
