#include "platform/ado/row_index.h"

#include <cmath>
#include <cstring>
#include <functional>
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

std::size_t EqualityIndex::KeyHash::operator()(const Key& k) const {
  switch (k.tag) {
    case Key::Null: return 0x9e3779b9u;
    case Key::Number: {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &k.number, sizeof bits);
      return std::hash<std::uint64_t>()(bits) ^ 0x51ed27u;
    }
    default: return std::hash<std::wstring>()(k.text);
  }
}

EqualityIndex::Key EqualityIndex::TextKey(std::wstring_view text) {
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  Key k;
  k.tag = Key::Text;
  k.text.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) k.text[i] = static_cast<wchar_t>(CollationWeight(text[i]));
  return k;
}

EqualityIndex::Key EqualityIndex::NumberKey(double d) {
  Key k;
  k.tag = Key::Number;
  k.number = d == 0 ? 0.0 : d;  // -0 and 0 are one value
  return k;
}

void EqualityIndex::File(std::size_t row, Key&& key) {
  std::vector<std::size_t>& bucket = buckets_[std::move(key)];
  if (!bucket.empty() && bucket.back() == row) return;  // filed there just before
  bucket.push_back(row);
  ++entries_;
}

void EqualityIndex::Add(std::size_t row, const Value& v) {
  if (v.IsNull() || v.IsEmpty()) {
    File(row, Key{});
    return;
  }
  if (v.kind == VKind::Text) {
    File(row, TextKey(v.s));
    Value n;
    if (CoerceToType(v, adDouble, 0, n)) File(row, NumberKey(n.d));
    if (CoerceToType(v, adDate, 0, n)) {
      if (!std::isfinite(n.d)) {
        odd_.push_back(row);
        ++entries_;
      } else {
        File(row, NumberKey(n.d));
      }
    }
    return;
  }
  if (v.IsNumeric() || v.kind == VKind::Date) {
    const double d = v.AsDouble();
    if (!std::isfinite(d)) {
      odd_.push_back(row);
      ++entries_;
      return;
    }
    File(row, NumberKey(d));
    if (v.kind == VKind::Bool || v.kind == VKind::Date) File(row, TextKey(ValueText(v)));
    return;
  }
  odd_.push_back(row);  // blobs
  ++entries_;
}

bool EqualityIndex::LookupKeys(const Value& literal, std::vector<Key>& keys) {
  if (literal.IsNull() || literal.IsEmpty()) {
    keys.emplace_back();
    return true;
  }
  if (literal.kind == VKind::Text) {
    keys.push_back(TextKey(literal.s));
    Value n;
    if (CoerceToType(literal, adDouble, 0, n)) keys.push_back(NumberKey(n.d));
    if (CoerceToType(literal, adDate, 0, n)) {
      if (!std::isfinite(n.d)) return false;
      keys.push_back(NumberKey(n.d));
    }
    return true;
  }
  if (literal.IsNumeric() || literal.kind == VKind::Date) {
    const double d = literal.AsDouble();
    if (!std::isfinite(d)) return false;
    keys.push_back(NumberKey(d));
    keys.push_back(TextKey(ValueText(literal)));  // texts that do not read as numbers
    return true;
  }
  return false;
}

bool EqualityIndex::Candidates(const Value& literal, std::vector<std::size_t>& out) const {
  std::vector<Key> keys;
  if (!LookupKeys(literal, keys)) return false;
  for (const Key& k : keys) {
    auto it = buckets_.find(k);
    if (it != buckets_.end()) out.insert(out.end(), it->second.begin(), it->second.end());
  }
  out.insert(out.end(), odd_.begin(), odd_.end());
  return true;
}

std::size_t EqualityIndex::CandidateCount(const Value& literal) const {
  std::vector<Key> keys;
  if (!LookupKeys(literal, keys)) return std::numeric_limits<std::size_t>::max();
  std::size_t n = odd_.size();
  for (const Key& k : keys) {
    auto it = buckets_.find(k);
    if (it != buckets_.end()) n += it->second.size();
  }
  return n;
}

}  // namespace platform::ado
