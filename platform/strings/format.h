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

namespace platform {

std::wstring FormatW(const wchar_t* format, va_list args);
std::string FormatA(const char* format, va_list args);  // narrow format and output, UTF-8

namespace detail {
std::wstring FormatWArgs(const wchar_t* format, ...);
std::string FormatAArgs(const char* format, ...);

// How one argument of the variadic forms travels: string objects (anything with GetString(),
// such as CString, std::basic_string, and classes that convert to const wchar_t*) pass their
// character pointer, as the class library's strings do when handed to Format directly;
// everything else must be trivially copyable, so a class object can never reach the formatter
// as a reference the format would misread.
template <class T>
auto VarArg(const T& value) {
  if constexpr (requires { value.GetString(); }) {
    return value.GetString();
  } else if constexpr (requires { value.c_str(); }) {
    return value.c_str();
  } else if constexpr (std::is_class_v<T> && requires { static_cast<const wchar_t*>(value); }) {
    return static_cast<const wchar_t*>(value);  // automation-string wrappers pass their wide text
  } else {
    static_assert(std::is_trivially_copyable_v<T>,
                  "pass a string object's text pointer (or a plain value) to a formatting call");
    return value;
  }
}

// Calls fn with a va_list made of the remaining arguments.
using VaFormatter = int (*)(void* context, va_list args);
int CallWithVaList(VaFormatter fn, void* context, ...);
}  // namespace detail

// The variadic forms are templates so that a literal 0 argument is never taken for a va_list
// and string objects can be passed as they are.
template <class... Args>
std::wstring FormatW(const wchar_t* format, const Args&... args) {
  return detail::FormatWArgs(format, detail::VarArg(args)...);
}
template <class... Args>
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
