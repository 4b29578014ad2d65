#include "platform/ado/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/ado/ado_enums.h"
#include "platform/ado/text.h"

namespace platform::ado {

double Value::AsDouble() const {
  switch (kind) {
    case VKind::R4:
    case VKind::R8:
    case VKind::Date:
      return d;
    case VKind::Cy:
      return static_cast<double>(i) / 10000.0;
    default:
      return static_cast<double>(i);
  }
}

bool Value::operator==(const Value& o) const {
  if (kind != o.kind) return false;
  switch (kind) {
    case VKind::Empty:
    case VKind::Null:
      return true;
    case VKind::R4:
    case VKind::R8:
    case VKind::Date:
      return d == o.d;
    case VKind::Text:
      return s == o.s;
    case VKind::Bytes:
      return s == o.s;
    default:
      return i == o.i;
  }
}

// ---- packed rows ----------------------------------------------------------------------------
// A value is its kind's tag and then: nothing (Empty, Null), 8 bytes (numbers and dates), or
// a 32-bit length and the characters (wide texts, bytes, UTF-8 texts).

namespace {
constexpr std::uint8_t kUtf8Tag = 0x80;

std::uint32_t ReadLength(const char*& p) {
  std::uint32_t n = 0;
  std::memcpy(&n, p, sizeof n);
  p += sizeof n;
  return n;
}
}  // namespace

PackedRows::Block::Block(std::size_t bytes) : data(nullptr), size(BlockCapacity(bytes)) {
  data = static_cast<char*>(AllocateBlock(size));
}

PackedRows::Block::~Block() { FreeBlock(data, size); }

void PackedRows::Clear() {
  std::vector<Block>().swap(blocks_);
  std::vector<Block>().swap(starts_);
  count_ = startsCapacity_ = 0;
  cur_ = end_ = nullptr;
}

void PackedRows::AddStartsChunk() {
  static constexpr std::size_t kRows[] = {512, 4096, 32768};
  std::size_t rows = starts_.size() < 3 ? kRows[starts_.size()] : kBigChunkRows;
  starts_.emplace_back(rows * sizeof(const char*));
  startsCapacity_ += rows;
}

void PackedRows::Truncate(std::size_t rows) {
  if (rows >= count_) return;
  const char* cut = Start(rows);
  count_ = rows;
  // Later rows are dropped with the blocks after the one that holds the first dropped row.
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    char* data = blocks_[b].data;
    if (cut >= data && cut <= data + blocks_[b].size) {
      blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, blocks_.end());
      cur_ = data + (cut - data);
      end_ = data + blocks_[b].size;
      return;
    }
  }
}

void PackedRows::Grow(std::size_t n) {
  // The row begun so far moves along, so that a row stays in one block.
  std::size_t carried = count_ == 0 ? 0 : static_cast<std::size_t>(cur_ - Start(count_ - 1));
  // Small results stay small; past half a megabyte the blocks are large ones (2 MB units).
  std::size_t size = blocks_.empty() ? std::size_t{4096} : std::min(blocks_.back().size * 2, kLargeBlock);
  size = std::max(size, (carried + n) * 2);
  Block block(size);
  char* data = block.data;
  if (count_ != 0) {
    if (carried) std::memcpy(data, Start(count_ - 1), carried);
    Start(count_ - 1) = data;
  }
  cur_ = data + carried;
  end_ = data + block.size;
  blocks_.push_back(std::move(block));
}

void PackedRows::PutLengthAndBytes(std::uint8_t tag, const void* p, std::uint32_t n, std::size_t bytes) {
  char* out = Room(1 + sizeof n + bytes);
  *out = static_cast<char>(tag);
  std::memcpy(out + 1, &n, sizeof n);
  if (bytes) std::memcpy(out + 1 + sizeof n, p, bytes);
  cur_ += 1 + sizeof n + bytes;
}

void PackedRows::Add(const Value& v) {
  switch (v.kind) {
    case VKind::Empty:
    case VKind::Null:
      PutTag(static_cast<std::uint8_t>(v.kind));
      break;
    case VKind::Text:
      PutLengthAndBytes(static_cast<std::uint8_t>(v.kind), v.s.data(), static_cast<std::uint32_t>(v.s.size()),
                        v.s.size() * sizeof(wchar_t));
      break;
    case VKind::Bytes: {
      std::string bytes = v.Bytes();
      PutLengthAndBytes(static_cast<std::uint8_t>(v.kind), bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                        bytes.size());
      break;
    }
    default:
      AddNumber(v.kind, v.i);  // the whole union: an integer or a double
      break;
  }
}

void PackedRows::AddUtf8Text(std::string_view utf8) {
  PutLengthAndBytes(kUtf8Tag, utf8.data(), static_cast<std::uint32_t>(utf8.size()), utf8.size());
}

void PackedRows::AddBytes(std::string_view bytes) {
  PutLengthAndBytes(static_cast<std::uint8_t>(VKind::Bytes), bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                    bytes.size());
}

void PackedRows::Decode(std::size_t row, std::size_t count, std::vector<Value>& out) const {
  out.resize(count);
  const char* p = Start(row);
  for (Value& v : out) {
    auto tag = static_cast<std::uint8_t>(*p++);
    v.i = 0;
    if (tag == kUtf8Tag) {
      std::uint32_t n = ReadLength(p);
      v.kind = VKind::Text;
      FromUtf8(std::string_view(p, n), v.s);
      p += n;
      continue;
    }
    v.kind = static_cast<VKind>(tag);
    switch (v.kind) {
      case VKind::Empty:
      case VKind::Null:
        v.s.clear();
        break;
      case VKind::Text: {
        std::uint32_t n = ReadLength(p);
        v.s.resize(n);
        std::memcpy(v.s.data(), p, n * sizeof(wchar_t));
        p += n * sizeof(wchar_t);
        break;
      }
      case VKind::Bytes: {
        std::uint32_t n = ReadLength(p);
        v.s.resize(n);
        for (std::uint32_t k = 0; k < n; ++k) v.s[k] = static_cast<wchar_t>(static_cast<unsigned char>(p[k]));
        p += n;
        break;
      }
      default:
        std::memcpy(&v.i, p, sizeof v.i);
        p += sizeof v.i;
        v.s.clear();
        break;
    }
  }
}

VKind KindOfType(LONG t) {
  switch (t) {
    case adBoolean: return VKind::Bool;
    case adUnsignedTinyInt:
    case adTinyInt: return VKind::UI1;
    case adSmallInt: return VKind::I2;
    case adInteger:
    case adUnsignedSmallInt: return VKind::I4;
    case adBigInt:
    case adUnsignedInt:
    case adUnsignedBigInt: return VKind::I8;
    case adSingle: return VKind::R4;
    case adDouble:
    case adDecimal:
    case adNumeric:
    case adVarNumeric: return VKind::R8;
    case adCurrency: return VKind::Cy;
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp: return VKind::Date;
    case adBinary:
    case adVarBinary:
    case adLongVarBinary: return VKind::Bytes;
    case adVariant: return VKind::Empty;  // holds any kind
    default: return VKind::Text;
  }
}

bool IsFixedTextType(LONG t) { return t == adChar || t == adWChar || t == adVarChar || t == adVarWChar; }
bool IsTextType(LONG t) {
  return t == adChar || t == adWChar || t == adVarChar || t == adVarWChar || t == adLongVarChar ||
         t == adLongVarWChar || t == adBSTR || t == adGUID;
}
bool IsLongType(LONG t) { return t == adLongVarChar || t == adLongVarWChar || t == adLongVarBinary; }

namespace {

bool ParseNumber(std::wstring_view text, double& out, bool& integral, std::int64_t& iout) {
  std::string a;
  for (wchar_t c : text) {
    if (c > 0x7F) return false;
    a.push_back(static_cast<char>(c));
  }
  std::size_t b = a.find_first_not_of(' '), e = a.find_last_not_of(' ');
  if (b == std::string::npos) return false;
  std::string_view s(a.data() + b, e - b + 1);
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  auto r = std::from_chars(s.data(), s.data() + s.size(), iout);
  if (r.ec == std::errc() && r.ptr == s.data() + s.size()) {
    integral = true;
    out = static_cast<double>(iout);
    return true;
  }
  auto rd = std::from_chars(s.data(), s.data() + s.size(), out);
  if (rd.ec != std::errc() || rd.ptr != s.data() + s.size() || !std::isfinite(out)) return false;
  integral = false;
  return true;
}

bool FitInt(double d, VKind k, std::int64_t& out) {
  double r = std::nearbyint(d);
  double lo, hi;
  switch (k) {
    case VKind::UI1: lo = 0; hi = 255; break;
    case VKind::I2: lo = -32768; hi = 32767; break;
    case VKind::I4: lo = -2147483648.0; hi = 2147483647.0; break;
    default: lo = -9.2233720368547758e18; hi = 9.2233720368547748e18; break;
  }
  if (!(r >= lo && r <= hi)) return false;
  out = static_cast<std::int64_t>(r);
  return true;
}

bool FitIntFromInt(std::int64_t v, VKind k) {
  switch (k) {
    case VKind::UI1: return v >= 0 && v <= 255;
    case VKind::I2: return v >= -32768 && v <= 32767;
    case VKind::I4: return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
    default: return true;
  }
}

std::wstring NumberText(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  std::wstring out;
  for (const char* p = buf; *p; ++p) out.push_back(static_cast<wchar_t>(*p));
  return out;
}

}  // namespace

std::wstring ValueText(const Value& v) {
  switch (v.kind) {
    case VKind::Empty:
    case VKind::Null:
      return {};
    case VKind::Bool:
      return v.i ? L"True" : L"False";
    case VKind::R4:
    case VKind::R8:
      return NumberText(v.d);
    case VKind::Cy:
      return NumberText(static_cast<double>(v.i) / 10000.0);
    case VKind::Date:
      return FromUtf8(DateTextFromOle(v.d));
    case VKind::Text:
      return v.s;
    case VKind::Bytes:
      return FromUtf8(v.Bytes());
    default:
      return std::to_wstring(v.i);
  }
}

bool CoerceToType(Value&& v, LONG adoType, LONG definedSize, Value& out) {
  // A text for a text field keeps its buffer (cut to the defined size as a copy would be).
  if (v.kind == VKind::Text && adoType != adVariant && KindOfType(adoType) == VKind::Text) {
    if (IsFixedTextType(adoType) && definedSize > 0 && v.s.size() > static_cast<std::size_t>(definedSize))
      v.s.resize(static_cast<std::size_t>(definedSize));
    if (&out != &v) out = std::move(v);
    return true;
  }
  // An integer for a field of its own kind is taken as it is (a flag as 0 or 1), in place.
  const VKind k = KindOfType(adoType);
  if (v.kind == k && v.IsInteger()) {
    const std::int64_t r = k == VKind::Bool ? (v.i != 0 ? 1 : 0) : v.i;
    if (k != VKind::Bool && !FitIntFromInt(r, k)) return false;
    out.kind = k;
    out.i = r;
    out.s.clear();
    return true;
  }
  return CoerceToType(static_cast<const Value&>(v), adoType, definedSize, out);
}

bool CoerceToType(const Value& v, LONG adoType, LONG definedSize, Value& out) {
  if (v.kind == VKind::Null || v.kind == VKind::Empty) {
    out = Value::Null();
    return true;
  }
  VKind k = KindOfType(adoType);
  if (adoType == adVariant) {
    out = v;
    return true;
  }
  switch (k) {
    case VKind::Text: {
      std::wstring t = ValueText(v);
      if (IsFixedTextType(adoType) && definedSize > 0 && t.size() > static_cast<std::size_t>(definedSize))
        t.resize(static_cast<std::size_t>(definedSize));
      out = Value::Text(std::move(t));
      return true;
    }
    case VKind::Bytes:
      if (v.kind == VKind::Bytes) {
        out = v;
      } else {
        out = Value::Blob(ToUtf8(ValueText(v)));
      }
      return true;
    case VKind::Bool: {
      if (v.kind == VKind::Text) {
        std::wstring t = ToLower(v.s);
        if (t == L"true" || t == L"-1" || t == L"1") {
          out = Value::Int(VKind::Bool, 1);
          return true;
        }
        if (t == L"false" || t == L"0") {
          out = Value::Int(VKind::Bool, 0);
          return true;
        }
        return false;
      }
      if (!v.IsNumeric()) return false;
      out = Value::Int(VKind::Bool, v.AsDouble() != 0 ? 1 : 0);
      return true;
    }
    case VKind::Date: {
      if (v.kind == VKind::Date) {
        out = v;
        return true;
      }
      if (v.kind == VKind::Text) {
        auto d = OleDateFromText(ToUtf8(v.s));
        if (!d) return false;
        out = Value::Real(VKind::Date, *d);
        return true;
      }
      if (!v.IsNumeric()) return false;
      out = Value::Real(VKind::Date, v.AsDouble());
      return true;
    }
    case VKind::R4:
    case VKind::R8: {
      double d = 0;
      if (v.kind == VKind::Text) {
        bool integral = false;
        std::int64_t iv = 0;
        if (!ParseNumber(v.s, d, integral, iv)) return false;
      } else if (v.IsNumeric() || v.kind == VKind::Date) {
        d = v.AsDouble();
      } else {
        return false;
      }
      if (k == VKind::R4 && !(std::fabs(d) <= static_cast<double>(std::numeric_limits<float>::max()))) return false;
      out = Value::Real(k, k == VKind::R4 ? static_cast<double>(static_cast<float>(d)) : d);
      return true;
    }
    case VKind::Cy: {
      double d = 0;
      if (v.kind == VKind::Cy) {
        out = v;
        return true;
      }
      if (v.kind == VKind::Text) {
        bool integral = false;
        std::int64_t iv = 0;
        if (!ParseNumber(v.s, d, integral, iv)) return false;
      } else if (v.IsNumeric()) {
        d = v.AsDouble();
      } else {
        return false;
      }
      if (!(std::fabs(d) < 922337203685477.0)) return false;
      out = Value::Int(VKind::Cy, std::llround(d * 10000.0));
      return true;
    }
    default: {  // integers
      std::int64_t r = 0;
      if (v.kind == VKind::Text) {
        double d = 0;
        bool integral = false;
        std::int64_t iv = 0;
        if (!ParseNumber(v.s, d, integral, iv)) return false;
        if (integral) {
          if (!FitIntFromInt(iv, k)) return false;
          r = iv;
        } else if (!FitInt(d, k, r)) {
          return false;
        }
      } else if (v.IsInteger()) {
        if (!FitIntFromInt(v.i, k)) return false;
        r = v.i;
      } else if (v.IsNumeric() || v.kind == VKind::Date) {
        if (!FitInt(v.AsDouble(), k, r)) return false;
      } else {
        return false;
      }
      out = Value::Int(k, r);
      return true;
    }
  }
}

int CompareValues(const Value& a, const Value& b) {
  bool an = a.IsNull() || a.IsEmpty(), bn = b.IsNull() || b.IsEmpty();
  if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
  bool aNum = a.IsNumeric() || a.kind == VKind::Date, bNum = b.IsNumeric() || b.kind == VKind::Date;
  if (aNum && bNum) {
    if (a.IsInteger() && b.IsInteger()) return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    double x = a.AsDouble(), y = b.AsDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (aNum != bNum) {
    // A number against a text: compare as numbers when the text is one.
    const Value& num = aNum ? a : b;
    const Value& txt = aNum ? b : a;
    Value conv;
    LONG type = num.kind == VKind::Date ? adDate : adDouble;
    if (CoerceToType(txt, type, 0, conv)) {
      double x = num.AsDouble(), y = conv.AsDouble();
      int r = x < y ? -1 : (x > y ? 1 : 0);
      return aNum ? r : -r;
    }
  }
  if (a.kind == VKind::Bytes && b.kind == VKind::Bytes) return a.s < b.s ? -1 : (a.s == b.s ? 0 : 1);
  int r = CompareNoCase(ValueText(a), ValueText(b));
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace platform::ado
