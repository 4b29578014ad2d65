#pragma once
// The value model of the database layer: one cell of a row, typed as the field's data type
// decides. The object model turns it into the VARIANT that ADO gives for that type.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ado/memory.h"
#include "platform/base/wintypes.h"

namespace platform::ado {

enum class VKind : std::uint8_t { Empty, Null, Bool, UI1, I2, I4, I8, R4, R8, Cy, Date, Text, Bytes };

struct Value {
  VKind kind = VKind::Empty;
  union {
    std::int64_t i;  // Bool (0/1), UI1, I2, I4, I8, Cy (scaled by 10,000)
    double d;        // R4, R8, Date (OLE date)
  };
  std::wstring s;  // Text; for Bytes one byte per character (see Bytes())

  Value() : i(0) {}
  static Value Null() {
    Value v;
    v.kind = VKind::Null;
    return v;
  }
  static Value Int(VKind k, std::int64_t x) {
    Value v;
    v.kind = k;
    v.i = x;
    return v;
  }
  static Value Real(VKind k, double x) {
    Value v;
    v.kind = k;
    v.d = x;
    return v;
  }
  static Value Text(std::wstring t) {
    Value v;
    v.kind = VKind::Text;
    v.s = std::move(t);
    return v;
  }
  static Value Blob(std::string_view bytes) {
    Value v;
    v.kind = VKind::Bytes;
    v.s.resize(bytes.size());
    for (std::size_t k = 0; k < bytes.size(); ++k) v.s[k] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[k]));
    return v;
  }
  std::string Bytes() const {
    std::string out(s.size(), '\0');
    for (std::size_t k = 0; k < s.size(); ++k) out[k] = static_cast<char>(s[k]);
    return out;
  }
  bool IsNull() const { return kind == VKind::Null; }
  bool IsEmpty() const { return kind == VKind::Empty; }
  bool IsNumeric() const {
    return kind == VKind::Bool || kind == VKind::UI1 || kind == VKind::I2 || kind == VKind::I4 ||
           kind == VKind::I8 || kind == VKind::R4 || kind == VKind::R8 || kind == VKind::Cy;
  }
  bool IsInteger() const {
    return kind == VKind::Bool || kind == VKind::UI1 || kind == VKind::I2 || kind == VKind::I4 || kind == VKind::I8;
  }
  double AsDouble() const;  // numeric kinds and dates
  bool operator==(const Value& o) const;
};

// Rows of values kept as they were read, each row decoded when it is asked for: a result
// walked once never holds every value as a separate object. The rows lie in blocks that never
// move (a full block is followed by a larger one, not copied into it); a row is never split
// between two blocks.
class PackedRows {
 public:
  PackedRows() = default;
  PackedRows(PackedRows&&) noexcept = default;
  PackedRows& operator=(PackedRows&&) noexcept = default;
  PackedRows(const PackedRows&) = delete;
  PackedRows& operator=(const PackedRows&) = delete;

  std::size_t Count() const { return count_; }
  void Clear();
  void Truncate(std::size_t rows);

  void BeginRow() {
    if (count_ == startsCapacity_) AddStartsChunk();
    Start(count_++) = cur_;
  }
  void Add(const Value& v);
  void AddNull() { PutTag(static_cast<std::uint8_t>(VKind::Null)); }
  // A number or date as Value::Int / Value::Real make it.
  void AddNumber(VKind k, std::int64_t x) {
    char* p = Room(1 + sizeof x);
    *p = static_cast<char>(k);
    std::memcpy(p + 1, &x, sizeof x);
    cur_ += 1 + sizeof x;
  }
  void AddNumber(VKind k, double x) {
    char* p = Room(1 + sizeof x);
    *p = static_cast<char>(k);
    std::memcpy(p + 1, &x, sizeof x);
    cur_ += 1 + sizeof x;
  }
  void AddUtf8Text(std::string_view utf8);  // decodes as Value::Text(FromUtf8(utf8))
  void AddBytes(std::string_view bytes);    // decodes as Value::Blob(bytes)

  // The `count` values of a row, into `out` (its texts' buffers are reused).
  void Decode(std::size_t row, std::size_t count, std::vector<Value>& out) const;

 private:
  struct Block {
    explicit Block(std::size_t bytes);
    Block(Block&& o) noexcept : data(o.data), size(o.size) { o.data = nullptr; }
    Block& operator=(Block&& o) noexcept {
      std::swap(data, o.data);
      std::swap(size, o.size);
      return *this;
    }
    ~Block();
    char* data;
    std::size_t size;
  };
  // Where the next `n` bytes of the current row go: the current block when they fit, else a
  // new block that the row begun so far moves into.
  char* Room(std::size_t n) {
    if (static_cast<std::size_t>(end_ - cur_) < n) Grow(n);
    return cur_;
  }
  void Grow(std::size_t n);
  void PutTag(std::uint8_t tag) {
    *Room(1) = static_cast<char>(tag);
    ++cur_;
  }
  void PutLengthAndBytes(std::uint8_t tag, const void* p, std::uint32_t n, std::size_t bytes);

  // Where each row begins, in chunks that never move: 512, 4,096 and 32,768 rows, then
  // 262,144 rows (2 MB) each.
  static constexpr std::size_t kBigChunkRows = (std::size_t{2} << 20) / sizeof(const char*);
  static constexpr std::size_t kSmallChunkRows = 512 + 4096 + 32768;
  const char*& Start(std::size_t row) const {
    std::size_t chunk, slot;
    if (row < 512) {
      chunk = 0, slot = row;
    } else if (row < 512 + 4096) {
      chunk = 1, slot = row - 512;
    } else if (row < kSmallChunkRows) {
      chunk = 2, slot = row - 512 - 4096;
    } else {
      chunk = 3 + (row - kSmallChunkRows) / kBigChunkRows, slot = (row - kSmallChunkRows) % kBigChunkRows;
    }
    return reinterpret_cast<const char**>(starts_[chunk].data)[slot];
  }
  void AddStartsChunk();

  std::vector<Block> blocks_;
  char* cur_ = nullptr;
  char* end_ = nullptr;
  std::vector<Block> starts_;
  std::size_t count_ = 0;
  std::size_t startsCapacity_ = 0;
};

// ADO data types (DataTypeEnum values) and what a field of each type holds.
VKind KindOfType(LONG adoType);
bool IsFixedTextType(LONG adoType);  // text cut to the defined size
bool IsTextType(LONG adoType);
bool IsLongType(LONG adoType);

// Converts `v` to what a field of `adoType` holds: the kind, and text cut to `definedSize`
// characters for the fixed-size text types. Returns false when the value cannot become that
// type (text that is no number, a number out of range...).
bool CoerceToType(const Value& v, LONG adoType, LONG definedSize, Value& out);
// The same, taking the value's text instead of copying it where it can.
bool CoerceToType(Value&& v, LONG adoType, LONG definedSize, Value& out);

// Text of a value as criteria and sorting see it.
std::wstring ValueText(const Value& v);
// Orders two values: NULL first, numbers by value, texts without case, dates by time.
int CompareValues(const Value& a, const Value& b);

}  // namespace platform::ado
