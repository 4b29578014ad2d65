#pragma once
// The value model of the database layer: one cell of a row, typed as the field's data type
// decides. The object model turns it into the VARIANT that ADO gives for that type.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Rows of values kept in one block as they were read, each row decoded when it is asked
// for: a result walked once never holds every value as a separate object.
class PackedRows {
 public:
  std::size_t Count() const { return starts_.size(); }
  void Clear();
  void Truncate(std::size_t rows);

  void BeginRow() { starts_.push_back(data_.size()); }
  void Add(const Value& v);
  void AddNull() { PutTag(static_cast<std::uint8_t>(VKind::Null)); }
  // A number or date as Value::Int / Value::Real make it.
  void AddNumber(VKind k, std::int64_t x) {
    PutTag(static_cast<std::uint8_t>(k));
    PutRaw(&x, sizeof x);
  }
  void AddNumber(VKind k, double x) {
    PutTag(static_cast<std::uint8_t>(k));
    PutRaw(&x, sizeof x);
  }
  void AddUtf8Text(std::string_view utf8);  // decodes as Value::Text(FromUtf8(utf8))
  void AddBytes(std::string_view bytes);    // decodes as Value::Blob(bytes)

  // The `count` values of a row, into `out` (its texts' buffers are reused).
  void Decode(std::size_t row, std::size_t count, std::vector<Value>& out) const;

 private:
  void PutTag(std::uint8_t tag) { data_.push_back(static_cast<char>(tag)); }
  void PutRaw(const void* p, std::size_t n) { data_.append(static_cast<const char*>(p), n); }
  std::string data_;
  std::vector<std::size_t> starts_;
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
