#include "platform/strings/format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string_view>

#include "platform/strings/convert.h"

namespace platform {
namespace {

enum class Size { Default, Char, Short, Int32, Int64, Ptr, LongDouble, Wide, Narrow };

struct Spec {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  int precision = -1;  // -1: not given
  Size size = Size::Default;
  char conv = 0;
};

// Output sink over the format's own character type.
template <class Ch>
struct Sink {
  std::basic_string<Ch> out;

  void Pad(size_t n, Ch c) { out.append(n, c); }

  // Appends an already converted piece honouring width and the left flag.
  void Field(std::basic_string_view<Ch> body, const Spec& spec) {
    size_t w = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    if (!spec.left && body.size() < w) Pad(w - body.size(), Ch(' '));
    out.append(body);
    if (spec.left && body.size() < w) Pad(w - body.size(), Ch(' '));
  }
};

template <class Ch>
std::basic_string<Ch> Widen(std::string_view ascii) {
  return std::basic_string<Ch>(ascii.begin(), ascii.end());
}

// Integer conversion: sign, prefix, precision digits and zero padding as the CRT does them.
template <class Ch>
void FormatInteger(Sink<Ch>& sink, const Spec& spec, unsigned long long magnitude, bool negative) {
  // The common case, a plain decimal, is written straight into the output.
  if (spec.conv != 'x' && spec.conv != 'X' && spec.conv != 'o' && spec.width <= 0 && spec.precision < 0 && !spec.plus &&
      !spec.space) {
    Ch digits[21];
    Ch* end = digits + sizeof digits / sizeof digits[0];
    Ch* first = end;
    unsigned long long v = magnitude;
    do *--first = static_cast<Ch>('0' + v % 10);
    while ((v /= 10) != 0);
    if (negative && (spec.conv == 'd' || spec.conv == 'i')) sink.out.push_back(Ch('-'));
    sink.out.append(first, static_cast<size_t>(end - first));
    return;
  }
  const char* digitsSet = spec.conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  unsigned base = 10;
  if (spec.conv == 'x' || spec.conv == 'X') base = 16;
  if (spec.conv == 'o') base = 8;

  char reversed[24];  // 64 bits in octal take 22 digits
  size_t count = 0;
  for (unsigned long long v = magnitude; v != 0; v /= base) reversed[count++] = digitsSet[v % base];
  std::string digits(std::make_reverse_iterator(reversed + count), std::make_reverse_iterator(reversed));
  if (spec.precision < 0 && digits.empty()) digits.push_back('0');
  if (spec.precision > 0 && digits.size() < static_cast<size_t>(spec.precision))
    digits.insert(0, static_cast<size_t>(spec.precision) - digits.size(), '0');

  std::string prefix;
  bool isSigned = spec.conv == 'd' || spec.conv == 'i';
  if (isSigned) {
    if (negative) prefix = "-";
    else if (spec.plus) prefix = "+";
    else if (spec.space) prefix = " ";
  }
  if (spec.alt && magnitude != 0) {
    if (base == 16) prefix += spec.conv == 'X' ? "0X" : "0x";
    else if (base == 8 && digits[0] != '0') digits.insert(0, 1, '0');
  }

  size_t len = prefix.size() + digits.size();
  size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  if (spec.zero && !spec.left && spec.precision < 0 && len < width) digits.insert(0, width - len, '0');
  sink.Field(Widen<Ch>(prefix + digits), spec);
}

template <class Ch>
void FormatPointer(Sink<Ch>& sink, const Spec& spec, const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(sizeof(void*) * 2),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
  sink.Field(Widen<Ch>(buf), spec);
}

// Floating point: a single conversion through snprintf with a spec rebuilt from parsed parts
// (never the caller's text), then the CRT's spellings of infinities and NaNs.
template <class Ch>
void FormatFloat(Sink<Ch>& sink, const Spec& spec, long double value, bool isLong) {
  if (std::isinf(value) || std::isnan(value)) {
    bool upper = spec.conv == 'E' || spec.conv == 'G' || spec.conv == 'F' || spec.conv == 'A';
    std::string text;
    if (std::signbit(value)) text = "-";
    else if (spec.plus) text = "+";
    else if (spec.space) text = " ";
    if (std::isinf(value)) text += upper ? "INF" : "inf";
    else text += std::signbit(value) ? (upper ? "NAN(IND)" : "nan(ind)") : (upper ? "NAN" : "nan");
    Spec plain = spec;
    sink.Field(Widen<Ch>(text), plain);
    return;
  }
  std::string fmt = "%";
  if (spec.left) fmt += '-';
  if (spec.plus) fmt += '+';
  if (spec.space) fmt += ' ';
  if (spec.zero) fmt += '0';
  if (spec.alt) fmt += '#';
  fmt += "*.*";
  if (isLong) fmt += 'L';
  fmt += spec.conv;
  int precision = spec.precision;
  if (precision < 0) precision = (spec.conv == 'a' || spec.conv == 'A') ? 13 : 6;
  if (precision > 400) precision = 400;
  int width = spec.width > 1000 ? 1000 : spec.width;
  char stackBuf[512];
  std::string heap;
  char* buf = stackBuf;
  int n = isLong ? std::snprintf(stackBuf, sizeof stackBuf, fmt.c_str(), width, precision, value)
                 : std::snprintf(stackBuf, sizeof stackBuf, fmt.c_str(), width, precision, static_cast<double>(value));
  if (n < 0) return;
  if (static_cast<size_t>(n) >= sizeof stackBuf) {
    heap.resize(static_cast<size_t>(n) + 1);
    if (isLong) std::snprintf(heap.data(), heap.size(), fmt.c_str(), width, precision, value);
    else std::snprintf(heap.data(), heap.size(), fmt.c_str(), width, precision, static_cast<double>(value));
    buf = heap.data();
  }
  sink.out.append(Widen<Ch>(std::string_view(buf, static_cast<size_t>(n))));
}

template <class Ch>
void FormatString(Sink<Ch>& sink, const Spec& spec, const void* arg, bool argWide) {
  std::basic_string<Ch> body;
  if (arg == nullptr) {
    body = Widen<Ch>("(null)");
    if (spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision)) body.resize(static_cast<size_t>(spec.precision));
  } else if (argWide) {
    const wchar_t* s = static_cast<const wchar_t*>(arg);
    size_t n = 0;
    while ((spec.precision < 0 || n < static_cast<size_t>(spec.precision)) && s[n] != 0) ++n;
    if constexpr (sizeof(Ch) == sizeof(wchar_t)) {
      sink.Field(std::basic_string_view<Ch>(reinterpret_cast<const Ch*>(s), n), spec);
      return;
    } else {
      body = WideToUtf8(std::wstring_view(s, n));
    }
  } else {
    const char* s = static_cast<const char*>(arg);
    if constexpr (sizeof(Ch) == 1) {
      size_t n = 0;
      while ((spec.precision < 0 || n < static_cast<size_t>(spec.precision)) && s[n] != 0) ++n;
      body.assign(s, n);
    } else {
      body = Utf8ToWide(s);
      if (spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision)) body.resize(static_cast<size_t>(spec.precision));
    }
  }
  sink.Field(body, spec);
}

template <class Ch>
void FormatChar(Sink<Ch>& sink, const Spec& spec, unsigned value, bool argWide) {
  std::basic_string<Ch> body;
  if constexpr (sizeof(Ch) == sizeof(wchar_t)) {
    if (argWide) body.assign(1, static_cast<Ch>(value));
    else {
      unsigned char b = static_cast<unsigned char>(value);
      body.assign(1, b < 0x80 ? static_cast<Ch>(b) : static_cast<Ch>(0xFFFD));
    }
  } else {
    if (argWide) {
      wchar_t w = static_cast<wchar_t>(value);
      body = WideToUtf8(std::wstring_view(&w, 1));
    } else {
      body.assign(1, static_cast<Ch>(static_cast<unsigned char>(value)));
    }
  }
  sink.Field(body, spec);
}

template <class Ch>
int ReadNumber(const Ch*& p) {
  long long v = 0;
  while (*p >= Ch('0') && *p <= Ch('9')) {
    if (v < 100000) v = v * 10 + (*p - Ch('0'));
    ++p;
  }
  return static_cast<int>(v);
}

// Parses the flags/width/precision/size part after '%' and before the conversion character.
// Star arguments are taken from args.
template <class Ch>
void ParseSpec(const Ch*& p, Spec& spec, va_list* args) {
  for (;; ++p) {
    if (*p == Ch('-')) spec.left = true;
    else if (*p == Ch('+')) spec.plus = true;
    else if (*p == Ch(' ')) spec.space = true;
    else if (*p == Ch('0')) spec.zero = true;
    else if (*p == Ch('#')) spec.alt = true;
    else break;
  }
  if (*p == Ch('*')) {
    ++p;
    int w = args ? va_arg(*args, int) : 0;
    if (w < 0) {
      spec.left = true;
      w = w == INT32_MIN ? 0 : -w;
    }
    spec.width = w;
  } else {
    spec.width = ReadNumber(p);
  }
  if (*p == Ch('.')) {
    ++p;
    if (*p == Ch('*')) {
      ++p;
      int pr = args ? va_arg(*args, int) : 0;
      spec.precision = pr < 0 ? -1 : pr;
    } else {
      spec.precision = ReadNumber(p);
    }
  }
  switch (*p) {
    case Ch('h'):
      ++p;
      if (*p == Ch('h')) {
        ++p;
        spec.size = Size::Char;
      } else {
        spec.size = Size::Short;
      }
      break;
    case Ch('l'):
      ++p;
      if (*p == Ch('l')) {
        ++p;
        spec.size = Size::Int64;
      } else {
        spec.size = Size::Int32;
      }
      break;
    case Ch('L'):
      ++p;
      spec.size = Size::LongDouble;
      break;
    case Ch('w'):
      ++p;
      spec.size = Size::Wide;
      break;
    case Ch('z'):
    case Ch('t'):
    case Ch('j'):
      ++p;
      spec.size = Size::Ptr;
      break;
    case Ch('I'):
      if (p[1] == Ch('6') && p[2] == Ch('4')) {
        p += 3;
        spec.size = Size::Int64;
      } else if (p[1] == Ch('3') && p[2] == Ch('2')) {
        p += 3;
        spec.size = Size::Int32;
      } else {
        ++p;
        spec.size = Size::Ptr;
      }
      break;
    default:
      break;
  }
}

bool Is64(Size s) { return s == Size::Int64 || (s == Size::Ptr && sizeof(void*) == 8); }

// Reads one integer argument of the given size; returns it as magnitude and sign.
void ReadInteger(va_list* args, const Spec& spec, bool isSigned, unsigned long long& magnitude, bool& negative) {
  negative = false;
  if (isSigned) {
    long long v;
    if (Is64(spec.size)) v = va_arg(*args, long long);
    else {
      int raw = va_arg(*args, int);
      if (spec.size == Size::Short) v = static_cast<short>(raw);
      else if (spec.size == Size::Char) v = static_cast<signed char>(raw);
      else v = raw;
    }
    negative = v < 0;
    magnitude = negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  } else {
    if (Is64(spec.size)) magnitude = va_arg(*args, unsigned long long);
    else {
      unsigned raw = va_arg(*args, unsigned);
      if (spec.size == Size::Short) magnitude = static_cast<unsigned short>(raw);
      else if (spec.size == Size::Char) magnitude = static_cast<unsigned char>(raw);
      else magnitude = raw;
    }
  }
}

// Converts one parsed spec, reading its argument. Returns false for an unknown conversion.
template <class Ch>
bool Convert(Sink<Ch>& sink, Spec& spec, va_list* args) {
  constexpr bool wideFormat = sizeof(Ch) == sizeof(wchar_t);
  switch (spec.conv) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
      unsigned long long magnitude;
      bool negative;
      ReadInteger(args, spec, spec.conv == 'd' || spec.conv == 'i', magnitude, negative);
      FormatInteger(sink, spec, magnitude, negative);
      return true;
    }
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A': {
      bool isLong = spec.size == Size::LongDouble;
      long double v = isLong ? va_arg(*args, long double) : va_arg(*args, double);
      FormatFloat(sink, spec, v, isLong);
      return true;
    }
    case 'p':
      FormatPointer(sink, spec, va_arg(*args, void*));
      return true;
    case 's':
    case 'S': {
      bool argWide;
      if (spec.size == Size::Int32 || spec.size == Size::Wide) argWide = true;
      else if (spec.size == Size::Short) argWide = false;
      else argWide = (spec.conv == 's') == wideFormat;
      FormatString(sink, spec, va_arg(*args, const void*), argWide);
      return true;
    }
    case 'c':
    case 'C': {
      bool argWide;
      if (spec.size == Size::Int32 || spec.size == Size::Wide) argWide = true;
      else if (spec.size == Size::Short) argWide = false;
      else argWide = (spec.conv == 'c') == wideFormat;
      spec.precision = -1;
      FormatChar(sink, spec, static_cast<unsigned>(va_arg(*args, int)), argWide);
      return true;
    }
    case 'n':
      (void)va_arg(*args, void*);  // refused: never written through
      return true;
    default:
      return false;
  }
}

template <class Ch>
std::basic_string<Ch> FormatImpl(const Ch* format, va_list args) {
  Sink<Ch> sink;
  if (format == nullptr) return sink.out;
  sink.out.reserve(std::char_traits<Ch>::length(format) + 32);
  va_list ap;
  va_copy(ap, args);
  const Ch* p = format;
  while (*p) {
    if (*p != Ch('%')) {
      const Ch* start = p;
      while (*p && *p != Ch('%')) ++p;
      sink.out.append(start, static_cast<size_t>(p - start));
      continue;
    }
    const Ch* specStart = p++;
    if (*p == Ch('%')) {
      sink.out.push_back(Ch('%'));
      ++p;
      continue;
    }
    Spec spec;
    ParseSpec(p, spec, &ap);
    if (*p == 0) {
      sink.out.append(specStart, static_cast<size_t>(p - specStart));
      break;
    }
    Ch c = *p++;
    spec.conv = (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    if (!Convert(sink, spec, &ap)) sink.out.append(specStart, static_cast<size_t>(p - specStart));
  }
  va_end(ap);
  return sink.out;
}

}  // namespace

std::wstring FormatW(const wchar_t* format, va_list args) { return FormatImpl<wchar_t>(format, args); }
std::string FormatA(const char* format, va_list args) { return FormatImpl<char>(format, args); }

std::wstring detail::FormatWArgs(const wchar_t* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::wstring r = FormatW(format, ap);
  va_end(ap);
  return r;
}

int detail::CallWithVaList(VaFormatter fn, void* context, ...) {
  va_list ap;
  va_start(ap, context);
  int r = fn(context, ap);
  va_end(ap);
  return r;
}

std::string detail::FormatAArgs(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string r = FormatA(format, ap);
  va_end(ap);
  return r;
}

// ---------------------------------------------------------------------------------------------
// Message-style formatting.

namespace {

constexpr int kMaxInsert = 99;

struct Insert {
  int index = 0;            // 1..99
  std::wstring spec;        // printf spec between the exclamation marks, without '%'; empty = "s"
};

// One argument as read from its source, and how the message asked for it.
struct ArgSlot {
  bool known = false;
  bool isDouble = false;
  std::uint64_t bits = 0;
  double dbl = 0;
};

// The type an insert's spec asks for, which decides how a va_list argument is read.
enum class ArgKind { Pointer, Int32, Int64, Double };

// An insert's spec must be exactly one conversion (flags, digits, size prefix, conversion
// character) so that formatting it reads exactly the one argument it was given. Star widths and
// %n are refused.
bool ValidInsertSpec(const std::wstring& spec) {
  if (spec.empty()) return true;
  if (spec.find(L'*') != std::wstring::npos) return false;
  const wchar_t* p = spec.c_str();
  Spec s;
  ParseSpec<wchar_t>(p, s, nullptr);
  if (s.size == Size::LongDouble) return false;  // values are passed as double at most
  return *p != 0 && p[1] == 0 && std::wcschr(L"diuxXoeEfFgGaAsScCp", *p) != nullptr;
}

ArgKind KindOf(const std::wstring& spec) {
  if (spec.empty()) return ArgKind::Pointer;
  const wchar_t* p = spec.c_str();
  Spec s;
  ParseSpec<wchar_t>(p, s, nullptr);
  switch (*p) {
    case L's':
    case L'S':
    case L'p':
      return ArgKind::Pointer;
    case L'e':
    case L'E':
    case L'f':
    case L'F':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
      return ArgKind::Double;
    default:
      return Is64(s.size) ? ArgKind::Int64 : ArgKind::Int32;
  }
}

// Walks the message once; `emit` receives literal text, `insert` receives each insert.
template <class Text, class Ins>
bool WalkMessage(const wchar_t* format, Text text, Ins insert) {
  const wchar_t* p = format;
  while (*p) {
    if (*p != L'%') {
      const wchar_t* start = p;
      while (*p && *p != L'%') ++p;
      text(std::wstring_view(start, static_cast<size_t>(p - start)));
      continue;
    }
    ++p;
    wchar_t c = *p;
    if (c == 0) break;
    if (c >= L'1' && c <= L'9') {
      Insert ins;
      ins.index = c - L'0';
      ++p;
      if (*p >= L'0' && *p <= L'9') {
        ins.index = ins.index * 10 + (*p - L'0');
        ++p;
      }
      if (*p == L'!') {
        const wchar_t* close = std::wcschr(p + 1, L'!');
        if (close == nullptr || close == p + 1) return false;
        ins.spec.assign(p + 1, close);
        if (!ValidInsertSpec(ins.spec)) return false;
        p = close + 1;
      }
      if (!insert(ins)) return false;
      continue;
    }
    ++p;
    switch (c) {
      case L'0':
        return true;
      case L'n':
        text(L"\r\n");
        break;
      case L'r':
        text(L"\r");
        break;
      case L't':
        text(L"\t");
        break;
      case L'b':
        text(L" ");
        break;
      default:
        text(std::wstring_view(&c, 1));  // %% %. %! "% " and any other escaped character
        break;
    }
  }
  return true;
}

// Formats one insert's value with its printf spec through the formatter.
void FormatInsert(const Insert& ins, const ArgSlot& slot, std::wstring& out) {
  std::wstring spec = L"%" + (ins.spec.empty() ? std::wstring(L"s") : ins.spec);
  // The value is passed back through a va_list of the right type by a tiny variadic helper.
  ArgKind kind = KindOf(ins.spec);
  switch (kind) {
    case ArgKind::Pointer:
      out += FormatW(spec.c_str(), reinterpret_cast<const void*>(static_cast<std::uintptr_t>(slot.bits)));
      break;
    case ArgKind::Int32:
      out += FormatW(spec.c_str(), static_cast<int>(static_cast<std::uint32_t>(slot.bits)));
      break;
    case ArgKind::Int64:
      out += FormatW(spec.c_str(), static_cast<long long>(slot.bits));
      break;
    case ArgKind::Double:
      out += FormatW(spec.c_str(), slot.isDouble ? slot.dbl : static_cast<double>(static_cast<std::int64_t>(slot.bits)));
      break;
  }
}

bool FormatMessageSlots(const wchar_t* format, const ArgSlot* slots, size_t count, std::wstring& out) {
  out.clear();
  return WalkMessage(
      format, [&](std::wstring_view t) { out.append(t); },
      [&](const Insert& ins) {
        size_t i = static_cast<size_t>(ins.index - 1);
        if (i >= count || !slots[i].known) return false;
        FormatInsert(ins, slots[i], out);
        return true;
      });
}

}  // namespace

bool FormatMessageV(const wchar_t* format, va_list* args, std::wstring& out) {
  out.clear();
  if (format == nullptr) return false;
  ArgKind kinds[kMaxInsert + 1];
  for (auto& k : kinds) k = ArgKind::Pointer;
  int maxIndex = 0;
  bool ok = WalkMessage(
      format, [](std::wstring_view) {},
      [&](const Insert& ins) {
        kinds[ins.index] = KindOf(ins.spec);
        if (ins.index > maxIndex) maxIndex = ins.index;
        return true;
      });
  if (!ok) return false;
  ArgSlot slots[kMaxInsert];
  if (maxIndex > 0 && args == nullptr) return false;
  for (int i = 1; i <= maxIndex; ++i) {
    ArgSlot& s = slots[i - 1];
    s.known = true;
    switch (kinds[i]) {
      case ArgKind::Pointer:
        s.bits = reinterpret_cast<std::uintptr_t>(va_arg(*args, void*));
        break;
      case ArgKind::Int32:
        s.bits = static_cast<std::uint32_t>(va_arg(*args, int));
        break;
      case ArgKind::Int64:
        s.bits = static_cast<std::uint64_t>(va_arg(*args, long long));
        break;
      case ArgKind::Double:
        s.isDouble = true;
        s.dbl = va_arg(*args, double);
        break;
    }
  }
  return FormatMessageSlots(format, slots, static_cast<size_t>(maxIndex), out);
}

bool FormatMessageArray(const wchar_t* format, const DWORD_PTR* args, size_t count, std::wstring& out) {
  out.clear();
  if (format == nullptr) return false;
  // Only the arguments the message refers to are read, so a short array is never overrun.
  size_t maxIndex = 0;
  WalkMessage(
      format, [](std::wstring_view) {},
      [&](const Insert& ins) {
        maxIndex = std::max(maxIndex, static_cast<size_t>(ins.index));
        return true;
      });
  size_t n = std::min(maxIndex, count);
  if (args == nullptr) n = 0;
  ArgSlot slots[kMaxInsert];
  for (size_t i = 0; i < n; ++i) {
    slots[i].known = true;
    slots[i].bits = args[i];
  }
  return FormatMessageSlots(format, slots, n, out);
}

}  // namespace platform
