#include "platform/ado/row_index.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/ado/ado_enums.h"
#include "platform/ado/text.h"

namespace platform::ado {

// What CompareValues makes of two values, as the keys below follow it:
// - NULL (or Empty) equals only NULL;
// - two numbers or dates compare by value (as doubles, or exactly as integers);
// - a number against a text: the text read as a number (as a date against a date) compares by
//   value; a text that does not read so compares as the number's text would, without case;
// - two texts compare without case and trailing blanks (equal collation weights).
// A finite number's text (ParseNumber trims blanks) always reads back as a number, so a text that
// does not read as one never equals it; only truth values and dates are filed under their texts
// too.

namespace {

constexpr std::uint32_t kNullHash = 0x9e3779b9u;

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  return h ^ (h >> 33);
}

std::uint32_t NumberHash(double d) {
  if (d == 0) d = 0.0;  // -0 and 0 are one value
  std::uint64_t bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  return static_cast<std::uint32_t>(Mix(bits ^ 0x51ed270b27a5f1d3ull));
}

// The collation weights of the text without its trailing blanks.
std::uint32_t TextHash(std::wstring_view text) {
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (wchar_t c : text) {
    h ^= CollationWeight(c);
    h *= 0x100000001b3ull;
  }
  return static_cast<std::uint32_t>(Mix(h ^ text.size()));
}

}  // namespace

void EqualityIndex::Reserve(std::size_t rows) {
  const std::size_t total = entries_.size() + rows;
  if (total > entries_.capacity()) entries_.reserve(total > 2 * entries_.capacity() ? total : 2 * entries_.capacity());
  std::size_t buckets = 16;
  while (buckets < total) buckets *= 2;
  if (buckets > buckets_.size()) Rehash(buckets);
}

void EqualityIndex::Rehash(std::size_t buckets) {
  buckets_.assign(buckets, Bucket{});
  const std::size_t mask = buckets - 1;
  for (std::size_t e = 0; e < entries_.size(); ++e) {
    Bucket& b = buckets_[entries_[e].hash & mask];
    entries_[e].next = b.head;
    b.head = static_cast<std::uint32_t>(e);
    ++b.count;
  }
}

void EqualityIndex::File(std::size_t row, std::uint32_t hash) {
  if (row >= kNone || entries_.size() >= kNone - 1) {
    odd_.push_back(row);  // beyond what an entry holds
    return;
  }
  if (entries_.size() >= buckets_.size()) Rehash(buckets_.empty() ? 16 : 2 * buckets_.size());
  Bucket& b = buckets_[hash & (buckets_.size() - 1)];
  if (b.head != kNone && entries_[b.head].row == row && entries_[b.head].hash == hash) return;  // filed just before
  entries_.push_back({static_cast<std::uint32_t>(row), b.head, hash});
  b.head = static_cast<std::uint32_t>(entries_.size() - 1);
  ++b.count;
}

void EqualityIndex::Add(std::size_t row, const Value& v) {
  if (v.IsNull() || v.IsEmpty()) {
    File(row, kNullHash);
    return;
  }
  if (v.kind == VKind::Text) {
    File(row, TextHash(v.s));
    Value n;
    if (CoerceToType(v, adDouble, 0, n)) File(row, NumberHash(n.d));
    if (CoerceToType(v, adDate, 0, n)) {
      if (!std::isfinite(n.d)) odd_.push_back(row);
      else File(row, NumberHash(n.d));
    }
    return;
  }
  if (v.IsNumeric() || v.kind == VKind::Date) {
    const double d = v.AsDouble();
    if (!std::isfinite(d)) {
      odd_.push_back(row);
      return;
    }
    File(row, NumberHash(d));
    if (v.kind == VKind::Bool || v.kind == VKind::Date) File(row, TextHash(ValueText(v)));
    return;
  }
  odd_.push_back(row);  // blobs
}

bool EqualityIndex::LookupHashes(const Value& literal, std::uint32_t (&hashes)[3], int& count) {
  count = 0;
  if (literal.IsNull() || literal.IsEmpty()) {
    hashes[count++] = kNullHash;
    return true;
  }
  if (literal.kind == VKind::Text) {
    hashes[count++] = TextHash(literal.s);
    Value n;
    if (CoerceToType(literal, adDouble, 0, n)) hashes[count++] = NumberHash(n.d);
    if (CoerceToType(literal, adDate, 0, n)) {
      if (!std::isfinite(n.d)) return false;
      hashes[count++] = NumberHash(n.d);
    }
    return true;
  }
  if (literal.IsNumeric() || literal.kind == VKind::Date) {
    const double d = literal.AsDouble();
    if (!std::isfinite(d)) return false;
    hashes[count++] = NumberHash(d);
    hashes[count++] = TextHash(ValueText(literal));  // texts that do not read as numbers
    return true;
  }
  return false;
}

bool EqualityIndex::Candidates(const Value& literal, std::vector<std::size_t>& out) const {
  std::uint32_t hashes[3];
  int count = 0;
  if (!LookupHashes(literal, hashes, count)) return false;
  for (int k = 0; k < count && !buckets_.empty(); ++k) {
    const std::uint32_t hash = hashes[k];
    if (k && (hash == hashes[0] || hash == hashes[k - 1])) continue;
    for (std::uint32_t e = buckets_[hash & (buckets_.size() - 1)].head; e != kNone; e = entries_[e].next)
      if (entries_[e].hash == hash) out.push_back(entries_[e].row);
  }
  out.insert(out.end(), odd_.begin(), odd_.end());
  return true;
}

std::size_t EqualityIndex::CandidateCount(const Value& literal) const {
  std::uint32_t hashes[3];
  int count = 0;
  if (!LookupHashes(literal, hashes, count)) return std::numeric_limits<std::size_t>::max();
  std::size_t n = odd_.size();
  for (int k = 0; k < count && !buckets_.empty(); ++k) {
    const std::uint32_t hash = hashes[k];
    if (k && (hash == hashes[0] || hash == hashes[k - 1])) continue;
    n += buckets_[hash & (buckets_.size() - 1)].count;
  }
  return n;
}

}  // namespace platform::ado
