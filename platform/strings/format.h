#pragma once
// The platform's own printf-style formatter, following the Windows CRT rules rather than glibc's:
//   - in a wide format `%s`, `%ls`, `%ws` take a wide string and `%S`, `%hs` a narrow (UTF-8)
//     string; `%c`/`%lc` a wide character, `%C`/`%hc` a narrow one. In a narrow format `%s` and
//     `%c` are narrow, `%S`/`%ls` and `%C`/`%lc` wide.
//   - `l` is 32-bit (LONG), `ll` and `I64` 64-bit, `I32` 32-bit, `I`, `z`, `t`, `j` pointer-size.
//   - `%p` prints the pointer as upper-case hex with 16 digits.
//   - a null string argument prints "(null)".
//   - `%n` is refused: its pointer is consumed and nothing is written through it.
// Unknown conversions are copied to the output as they stand.
#include <cstdarg>
#include <string>
#include <type_traits>

#include "platform/base/wintypes.h"

template <class XCHAR>
class CStringT;  // platform/strings/cstring.h

namespace platform {

std::wstring FormatW(const wchar_t* format, va_list args);
std::string FormatA(const char* format, va_list args);  // narrow format and output, UTF-8

namespace detail {
std::wstring FormatWArgs(const wchar_t* format, ...);
std::string FormatAArgs(const char* format, ...);

// The class library's strings, and classes derived from them.
template <class T>
inline constexpr bool kIsCString = std::is_base_of_v<CStringT<wchar_t>, T> || std::is_base_of_v<CStringT<char>, T>;
// Standard strings, which pass their c_str().
template <class T>
concept StandardString = requires(const T& value) { value.c_str(); };
// Classes that convert to a wide character pointer, as automation-string wrappers do.
template <class T>
concept WideTextObject = std::is_class_v<T> && requires(const T& value) { static_cast<const wchar_t*>(value); };
}  // namespace detail

// What an argument of the variadic formatting calls may be: a plain value (trivially copyable:
// numbers, characters, pointers), a standard string (its c_str() is passed) or a class that
// converts to a wide character pointer (that pointer is passed). A CString itself is refused at
// compile time: pass its GetString() (or cast it to its pointer type), so that what the format
// reads is plain at the call. Any other class object is refused too, so that none reaches the
// formatter as bytes the format would misread.
template <class T>
concept FormatArgument = !detail::kIsCString<T> && (detail::StandardString<T> || detail::WideTextObject<T> ||
                                                    std::is_trivially_copyable_v<T>);

namespace detail {
// How one argument of the variadic forms travels.
template <FormatArgument T>
auto VarArg(const T& value) {
  if constexpr (StandardString<T>) {
    return value.c_str();
  } else if constexpr (WideTextObject<T>) {
    return static_cast<const wchar_t*>(value);
  } else {
    return value;
  }
}

// Calls fn with a va_list made of the remaining arguments.
using VaFormatter = int (*)(void* context, va_list args);
int CallWithVaList(VaFormatter fn, void* context, ...);
}  // namespace detail

// The variadic forms are templates so that a literal 0 argument is never taken for a va_list
// and standard strings and automation-string wrappers can be passed as they are.
template <FormatArgument... Args>
std::wstring FormatW(const wchar_t* format, const Args&... args) {
  return detail::FormatWArgs(format, detail::VarArg(args)...);
}
template <FormatArgument... Args>
std::string FormatA(const char* format, const Args&... args) {
  return detail::FormatAArgs(format, detail::VarArg(args)...);
}

// Message-style formatting (inserts %1..%99, optionally with a !printf-spec!, escapes %n %r %t
// %0 %% %. %! and "% "). Arguments are read either from a va_list (each insert's type decides how
// its argument is read; an insert without a spec is a wide string) or from an array of
// pointer-sized values. Returns false when an insert refers to a missing argument.
bool FormatMessageV(const wchar_t* format, va_list* args, std::wstring& out);
bool FormatMessageArray(const wchar_t* format, const DWORD_PTR* args, size_t count, std::wstring& out);

}  // namespace platform
