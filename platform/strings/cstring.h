#pragma once
// The class library's string: CStringW over wchar_t (CString), CStringA over char (UTF-8).
// Construction from the other character width converts (narrow text is UTF-8). Indexes and
// lengths are ints, as the class library's are; out-of-range arguments are clamped rather than
// trusted. Format uses the Windows-rule formatter (see format.h), never the C library's printf.
#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/base/wintypes.h"
#include "platform/strings/casemap.h"
#include "platform/strings/convert.h"
#include "platform/strings/format.h"

#if defined(VANTOR_STRINGS_HAVE_COM)
#include "platform/com/com.h"
#endif

#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#endif

namespace platform {

// Resource string lookup used by CString::LoadString. The resources component installs the
// real loader when it is loaded; until then every id is "not found". A null module means "the
// current resource module, then the chain of extension libraries".
using StringLoader = bool (*)(HINSTANCE module, UINT id, std::wstring& out);
void SetStringLoader(StringLoader loader);
bool LoadResourceString(HINSTANCE module, UINT id, std::wstring& out);

namespace detail {
template <class To>
struct Recode;
template <>
struct Recode<wchar_t> {
  static std::wstring From(const char* s) { return Utf8ToWide(s); }
  static std::wstring From(const char* s, size_t n) { return Utf8ToWide(std::string_view(s, n)); }
  static std::wstring From(const std::wstring& w) { return w; }
};
template <>
struct Recode<char> {
  static std::string From(const wchar_t* s) { return WideToUtf8(s); }
  static std::string From(const wchar_t* s, size_t n) { return WideToUtf8(std::wstring_view(s, n)); }
  static std::string From(const std::wstring& w) { return WideToUtf8(w); }
};
}  // namespace detail

}  // namespace platform

template <class XCHAR>
class CStringT {
  static_assert(std::is_same_v<XCHAR, wchar_t> || std::is_same_v<XCHAR, char>);

 public:
  using XCHAR_TYPE = XCHAR;
  using YCHAR = std::conditional_t<std::is_same_v<XCHAR, wchar_t>, char, wchar_t>;
  using PXSTR = XCHAR*;
  using PCXSTR = const XCHAR*;
  using PCYSTR = const YCHAR*;
  using StringType = std::basic_string<XCHAR>;
  static constexpr bool kWide = std::is_same_v<XCHAR, wchar_t>;

  CStringT() = default;
  CStringT(const CStringT&) = default;
  CStringT(CStringT&&) noexcept = default;
  CStringT& operator=(const CStringT&) = default;
  CStringT& operator=(CStringT&&) noexcept = default;
  ~CStringT() = default;

  // A pointer whose value is a resource id (MAKEINTRESOURCE) loads that string.
  CStringT(PCXSTR s) {  // NOLINT(google-explicit-constructor)
    if (s != nullptr && IS_INTRESOURCE(s)) LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(s)));
    else if (s != nullptr) m_str = s;
  }
  CStringT(PCYSTR s) {  // NOLINT(google-explicit-constructor)
    if (s != nullptr) m_str = platform::detail::Recode<XCHAR>::From(s);
  }
  CStringT(PCXSTR s, int length) {
    if (s != nullptr && length > 0) m_str.assign(s, static_cast<size_t>(length));
  }
  CStringT(PCYSTR s, int length) {
    if (s != nullptr && length > 0) m_str = platform::detail::Recode<XCHAR>::From(s, static_cast<size_t>(length));
  }
  explicit CStringT(XCHAR ch, int repeat = 1) {
    if (repeat > 0) m_str.assign(static_cast<size_t>(repeat), ch);
  }
  explicit CStringT(const StringType& s) : m_str(s) {}
  explicit CStringT(StringType&& s) : m_str(std::move(s)) {}
  explicit CStringT(std::basic_string_view<XCHAR> s) : m_str(s) {}
  CStringT(const CStringT<YCHAR>& other)  // NOLINT(google-explicit-constructor)
      : m_str(platform::detail::Recode<XCHAR>::From(other.GetString(), static_cast<size_t>(other.GetLength()))) {}

  CStringT& operator=(PCXSTR s) {
    if (s == nullptr) m_str.clear();
    else if (IS_INTRESOURCE(s)) LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(s)));
    else m_str = s;
    return *this;
  }
  CStringT& operator=(PCYSTR s) {
    m_str = s ? platform::detail::Recode<XCHAR>::From(s) : StringType();
    return *this;
  }
  CStringT& operator=(XCHAR ch) {
    m_str.assign(1, ch);
    return *this;
  }
  CStringT& operator=(const CStringT<YCHAR>& other) { return *this = CStringT(other); }

  // --- size and access
  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  XCHAR GetAt(int i) const { return InRange(i) ? m_str[static_cast<size_t>(i)] : XCHAR(0); }
  void SetAt(int i, XCHAR ch) {
    if (InRange(i)) m_str[static_cast<size_t>(i)] = ch;
  }
  XCHAR operator[](int i) const { return GetAt(i); }
  operator PCXSTR() const { return m_str.c_str(); }  // NOLINT(google-explicit-constructor)
  PCXSTR GetString() const { return m_str.c_str(); }
  const StringType& str() const { return m_str; }
  int GetAllocLength() const { return static_cast<int>(m_str.capacity()); }
  void Preallocate(int length) {
    if (length > 0) m_str.reserve(static_cast<size_t>(length));
  }
  void FreeExtra() { m_str.shrink_to_fit(); }
  void Truncate(int length) {
    if (length >= 0 && length < GetLength()) m_str.resize(static_cast<size_t>(length));
  }

  // --- direct buffer access: the buffer holds at least minLength characters plus a terminator
  // until ReleaseBuffer, which takes the given length or the length up to the first NUL.
  PXSTR GetBuffer() { return m_str.data(); }
  PXSTR GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return m_str.data();
  }
  PXSTR GetBufferSetLength(int length) {
    m_str.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return m_str.data();
  }
  // A length beyond the buffer is not trusted: the text then ends at the first NUL.
  void ReleaseBuffer(int newLength = -1) {
    if (newLength < 0 || static_cast<size_t>(newLength) > m_str.size()) {
      size_t n = m_str.find(XCHAR(0));
      if (n != StringType::npos) m_str.resize(n);
    } else {
      m_str.resize(static_cast<size_t>(newLength));
    }
  }
  void ReleaseBufferSetLength(int newLength) { ReleaseBuffer(newLength < 0 ? 0 : newLength); }

  // --- concatenation
  CStringT& operator+=(const CStringT& s) {
    m_str += s.m_str;
    return *this;
  }
  CStringT& operator+=(PCXSTR s) {
    if (s) m_str += s;
    return *this;
  }
  CStringT& operator+=(PCYSTR s) {
    if (s) m_str += platform::detail::Recode<XCHAR>::From(s);
    return *this;
  }
  CStringT& operator+=(XCHAR ch) {
    m_str.push_back(ch);
    return *this;
  }
  void Append(PCXSTR s) { *this += s; }
  void Append(PCXSTR s, int n) {
    if (s && n > 0) m_str.append(s, static_cast<size_t>(n));
  }
  void Append(const CStringT& s) { *this += s; }
  void AppendChar(XCHAR ch) { m_str.push_back(ch); }

  friend CStringT operator+(const CStringT& a, const CStringT& b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(const CStringT& a, PCXSTR b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(PCXSTR a, const CStringT& b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(const CStringT& a, XCHAR b) {
    CStringT r(a);
    r += b;
    return r;
  }
  friend CStringT operator+(XCHAR a, const CStringT& b) {
    CStringT r(a);
    r += b;
    return r;
  }

  // --- comparison: Compare is ordinal, CompareNoCase folds case with the fixed table, Collate
  // uses the dictionary order (Polish letters after their base letters).
  int Compare(PCXSTR s) const { return Sign(m_str.compare(s ? s : EmptyText())); }
  int CompareNoCase(PCXSTR s) const { return platform::CompareNoCase(Wide(m_str), Wide(s ? s : EmptyText())); }
  int Collate(PCXSTR s) const { return platform::CollateCompare(Wide(m_str), Wide(s ? s : EmptyText()), false); }
  int CollateNoCase(PCXSTR s) const { return platform::CollateCompare(Wide(m_str), Wide(s ? s : EmptyText()), true); }

  friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CStringT& a, PCXSTR b) { return a.Compare(b) == 0; }
  friend bool operator==(PCXSTR a, const CStringT& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CStringT& a, const CStringT& b) { return !(a == b); }
  friend bool operator!=(const CStringT& a, PCXSTR b) { return !(a == b); }
  friend bool operator!=(PCXSTR a, const CStringT& b) { return !(b == a); }
  friend bool operator<(const CStringT& a, const CStringT& b) { return a.m_str < b.m_str; }
  friend bool operator<(const CStringT& a, PCXSTR b) { return a.Compare(b) < 0; }
  friend bool operator<(PCXSTR a, const CStringT& b) { return b.Compare(a) > 0; }
  friend bool operator>(const CStringT& a, const CStringT& b) { return b < a; }
  friend bool operator>(const CStringT& a, PCXSTR b) { return a.Compare(b) > 0; }
  friend bool operator>(PCXSTR a, const CStringT& b) { return b.Compare(a) < 0; }
  friend bool operator<=(const CStringT& a, const CStringT& b) { return !(b < a); }
  friend bool operator<=(const CStringT& a, PCXSTR b) { return a.Compare(b) <= 0; }
  friend bool operator>=(const CStringT& a, const CStringT& b) { return !(a < b); }
  friend bool operator>=(const CStringT& a, PCXSTR b) { return a.Compare(b) >= 0; }

  // --- extraction
  CStringT Mid(int first) const { return Mid(first, GetLength()); }
  CStringT Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first >= GetLength()) return CStringT();
    if (count > GetLength() - first) count = GetLength() - first;
    return CStringT(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
  }
  CStringT Left(int count) const { return Mid(0, count); }
  CStringT Right(int count) const {
    if (count <= 0) return CStringT();
    if (count >= GetLength()) return *this;
    return CStringT(m_str.substr(m_str.size() - static_cast<size_t>(count)));
  }
  CStringT SpanIncluding(PCXSTR set) const {
    if (set == nullptr) return CStringT();
    size_t n = m_str.find_first_not_of(set);
    return n == StringType::npos ? *this : CStringT(m_str.substr(0, n));
  }
  CStringT SpanExcluding(PCXSTR set) const {
    if (set == nullptr) return *this;
    size_t n = m_str.find_first_of(set);
    return n == StringType::npos ? *this : CStringT(m_str.substr(0, n));
  }

  // --- searching: -1 when not found or when start is past the end
  int Find(XCHAR ch, int start = 0) const {
    if (start < 0) start = 0;
    if (start >= GetLength()) return -1;
    return Pos(m_str.find(ch, static_cast<size_t>(start)));
  }
  int Find(PCXSTR sub, int start = 0) const {
    if (sub == nullptr) return -1;
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    return Pos(m_str.find(sub, static_cast<size_t>(start)));
  }
  int ReverseFind(XCHAR ch) const { return Pos(m_str.rfind(ch)); }
  int FindOneOf(PCXSTR set) const { return set ? Pos(m_str.find_first_of(set)) : -1; }

  // --- modification
  int Replace(XCHAR oldCh, XCHAR newCh) {
    int n = 0;
    for (auto& c : m_str)
      if (c == oldCh) {
        c = newCh;
        ++n;
      }
    return n;
  }
  int Replace(PCXSTR oldText, PCXSTR newText) {
    if (oldText == nullptr || *oldText == 0) return 0;
    StringType from(oldText), to(newText ? newText : EmptyText());
    StringType out;
    int n = 0;
    size_t pos = 0;
    for (size_t hit; (hit = m_str.find(from, pos)) != StringType::npos; pos = hit + from.size(), ++n) {
      out.append(m_str, pos, hit - pos);
      out += to;
    }
    if (n == 0) return 0;
    out.append(m_str, pos, StringType::npos);
    m_str.swap(out);
    return n;
  }
  int Remove(XCHAR ch) {
    size_t before = m_str.size();
    std::erase(m_str, ch);
    return static_cast<int>(before - m_str.size());
  }
  int Insert(int index, XCHAR ch) { return Insert(index, CStringT(ch).GetString()); }
  int Insert(int index, PCXSTR s) {
    if (index < 0) index = 0;
    if (index > GetLength()) index = GetLength();
    if (s) m_str.insert(static_cast<size_t>(index), s);
    return GetLength();
  }
  int Delete(int index, int count = 1) {
    if (index < 0) index = 0;
    if (count > 0 && index < GetLength()) m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
  }

  CStringT& TrimRight() {
    size_t n = m_str.size();
    while (n > 0 && IsSpace(m_str[n - 1])) --n;
    m_str.resize(n);
    return *this;
  }
  CStringT& TrimRight(XCHAR ch) {
    size_t n = m_str.size();
    while (n > 0 && m_str[n - 1] == ch) --n;
    m_str.resize(n);
    return *this;
  }
  CStringT& TrimRight(PCXSTR set) {
    if (set == nullptr) return *this;
    size_t n = m_str.find_last_not_of(set);
    m_str.resize(n == StringType::npos ? 0 : n + 1);
    return *this;
  }
  CStringT& TrimLeft() {
    size_t n = 0;
    while (n < m_str.size() && IsSpace(m_str[n])) ++n;
    m_str.erase(0, n);
    return *this;
  }
  CStringT& TrimLeft(XCHAR ch) {
    size_t n = 0;
    while (n < m_str.size() && m_str[n] == ch) ++n;
    m_str.erase(0, n);
    return *this;
  }
  CStringT& TrimLeft(PCXSTR set) {
    if (set == nullptr) return *this;
    size_t n = m_str.find_first_not_of(set);
    m_str.erase(0, n == StringType::npos ? m_str.size() : n);
    return *this;
  }
  CStringT& Trim() { return TrimRight().TrimLeft(); }
  CStringT& Trim(XCHAR ch) { return TrimRight(ch).TrimLeft(ch); }
  CStringT& Trim(PCXSTR set) { return TrimRight(set).TrimLeft(set); }

  CStringT& MakeUpper() { return MapCase(&platform::ToUpperChar); }
  CStringT& MakeLower() { return MapCase(&platform::ToLowerChar); }
  CStringT& MakeReverse() {
    if constexpr (kWide) {
      std::reverse(m_str.begin(), m_str.end());
    } else {
      std::wstring w = platform::Utf8ToWide(m_str);
      std::reverse(w.begin(), w.end());
      m_str = platform::WideToUtf8(w);
    }
    return *this;
  }

  // Next token after `start` separated by any of `tokens`; leading separators are skipped. At
  // the end it returns an empty string and sets start to -1.
  CStringT Tokenize(PCXSTR tokens, int& start) const {
    if (start < 0 || start >= GetLength()) {
      start = -1;
      return CStringT();
    }
    if (tokens == nullptr || *tokens == 0) {
      CStringT r = Mid(start);
      start = GetLength();
      return r;
    }
    size_t from = m_str.find_first_not_of(tokens, static_cast<size_t>(start));
    if (from == StringType::npos) {
      start = -1;
      return CStringT();
    }
    size_t to = m_str.find_first_of(tokens, from);
    if (to == StringType::npos) to = m_str.size();
    start = static_cast<int>(to) + 1;
    return CStringT(m_str.substr(from, to - from));
  }

  // --- formatting. The arguments are what platform::FormatArgument allows: a CString's text is
  // passed with GetString(), a CString itself is refused at compile time.
  template <platform::FormatArgument... Args>
  void Format(PCXSTR format, const Args&... args) {
    m_str = RunArgs(format, args...);
  }
  template <platform::FormatArgument... Args>
  void Format(UINT formatId, const Args&... args) {
    CStringT format;
    format.LoadString(formatId);
    m_str = RunArgs(format.GetString(), args...);
  }
  void FormatV(PCXSTR format, va_list args) { m_str = Run(format, args); }
  template <platform::FormatArgument... Args>
  void AppendFormat(PCXSTR format, const Args&... args) {
    m_str += RunArgs(format, args...);
  }
  void AppendFormatV(PCXSTR format, va_list args) { m_str += Run(format, args); }

  // Message-style formatting (%1, %2!ld!, %n ...). An insert with no argument leaves the
  // string unchanged and returns false.
  template <platform::FormatArgument... Args>
  bool FormatMessage(PCXSTR format, const Args&... args) {
    MessageCall call{this, format};
    return platform::detail::CallWithVaList(&MessageTrampoline, &call, platform::detail::VarArg(args)...) != 0;
  }
  template <platform::FormatArgument... Args>
  bool FormatMessage(UINT formatId, const Args&... args) {
    CStringT format;
    format.LoadString(formatId);
    return FormatMessage(format.GetString(), args...);
  }
  bool FormatMessageV(PCXSTR format, va_list* args) {
    std::wstring out;
    if (!platform::FormatMessageV(Wide(format ? format : EmptyText()).c_str(), args, out)) return false;
    m_str = platform::detail::Recode<XCHAR>::From(out);
    return true;
  }

  // --- resources: the current resource module first, then the extension-library chain.
  BOOL LoadString(UINT id) {
    std::wstring text;
    if (!platform::LoadResourceString(nullptr, id, text)) return FALSE;
    m_str = platform::detail::Recode<XCHAR>::From(text);
    return TRUE;
  }
  BOOL LoadString(HINSTANCE module, UINT id) {
    std::wstring text;
    if (!platform::LoadResourceString(module, id, text)) return FALSE;
    m_str = platform::detail::Recode<XCHAR>::From(text);
    return TRUE;
  }

  // The same under the wide API name.
  BOOL LoadStringW(UINT id) { return LoadString(id); }
  BOOL LoadStringW(HINSTANCE module, UINT id) { return LoadString(module, id); }

#if defined(VANTOR_STRINGS_HAVE_COM)
  // --- automation strings
  BSTR AllocSysString() const {
    std::wstring w = Wide(m_str);
    return ::SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  }
  BSTR SetSysString(BSTR* target) const {
    if (target == nullptr) return nullptr;
    std::wstring w = Wide(m_str);
    ::SysFreeString(*target);
    *target = ::SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    return *target;
  }
#endif

 private:
  static PCXSTR EmptyText() {
    if constexpr (kWide) return L"";
    else return "";
  }
  static int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }
  static int Pos(size_t p) { return p == StringType::npos ? -1 : static_cast<int>(p); }
  static bool IsSpace(XCHAR c) {
    if constexpr (kWide) return platform::IsSpaceChar(c);
    else return c == ' ' || (c >= 9 && c <= 13);
  }
  static std::wstring Wide(const StringType& s) {
    if constexpr (kWide) return s;
    else return platform::Utf8ToWide(s);
  }
  static std::wstring Wide(PCXSTR s) {
    if constexpr (kWide) return s;
    else return platform::Utf8ToWide(s);
  }
  static StringType Run(PCXSTR format, va_list args) {
    if constexpr (kWide) return platform::FormatW(format, args);
    else return platform::FormatA(format, args);
  }
  template <class... Args>
  static StringType RunArgs(PCXSTR format, const Args&... args) {
    if constexpr (kWide) return platform::FormatW(format, args...);
    else return platform::FormatA(format, args...);
  }
  struct MessageCall {
    CStringT* self;
    PCXSTR format;
  };
  static int MessageTrampoline(void* context, va_list args) {
    auto* call = static_cast<MessageCall*>(context);
    va_list copy;
    va_copy(copy, args);
    bool ok = call->self->FormatMessageV(call->format, &copy);
    va_end(copy);
    return ok ? 1 : 0;
  }
  bool InRange(int i) const { return i >= 0 && i < GetLength(); }
  CStringT& MapCase(wchar_t (*map)(wchar_t)) {
    if constexpr (kWide) {
      for (auto& c : m_str) c = map(c);
    } else {
      std::wstring w = platform::Utf8ToWide(m_str);
      for (auto& c : w) c = map(c);
      m_str = platform::WideToUtf8(w);
    }
    return *this;
  }

  StringType m_str;
};

using CStringW = CStringT<wchar_t>;
using CStringA = CStringT<char>;
using CString = CStringW;

// The class library's helpers around resource strings.
// Part `index` of `full` split at `separator`; FALSE (and an empty string) past the last part.
inline BOOL AfxExtractSubString(CString& out, LPCWSTR full, int index, wchar_t separator = L'\n') {
  out.Empty();
  if (full == nullptr || index < 0) return FALSE;
  const wchar_t* p = full;
  for (; index > 0; --index) {
    p = std::wcschr(p, separator);
    if (p == nullptr) return FALSE;
    ++p;
  }
  const wchar_t* end = std::wcschr(p, separator);
  out = end ? CString(p, static_cast<int>(end - p)) : CString(p);
  return TRUE;
}

// Replaces %1..%9 in `format` with the given texts (plain text, no printf specs); a missing
// text leaves the marker out.
void AfxFormatStrings(CString& out, LPCWSTR format, LPCWSTR const* texts, int count);
void AfxFormatString1(CString& out, UINT formatId, LPCWSTR text1);
void AfxFormatString2(CString& out, UINT formatId, LPCWSTR text1, LPCWSTR text2);

inline std::ostream& operator<<(std::ostream& os, const CStringW& s) { return os << platform::WideToUtf8(s.str()); }
inline std::ostream& operator<<(std::ostream& os, const CStringA& s) { return os << s.str(); }

template <class XCHAR>
struct std::hash<CStringT<XCHAR>> {
  size_t operator()(const CStringT<XCHAR>& s) const noexcept { return std::hash<std::basic_string<XCHAR>>()(s.str()); }
};
