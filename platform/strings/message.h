#pragma once
// The Windows FormatMessage call over the platform's message formatting, and the few memory
// calls its ALLOCATE_BUFFER form needs.
#include <cstdarg>
#include <string>

#include "platform/base/wintypes.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define LANG_POLISH 0x15
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#ifndef MAKELANGID
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#endif

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

using HLOCAL = HANDLE;

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL mem);  // returns null on success

// Formats a message from a string (FROM_STRING), a module's message table (FROM_HMODULE, as
// registered with the module's resources) or the system's table (FROM_SYSTEM: the common
// Win32 and HRESULT codes). `arguments` is a va_list*, or with ARGUMENT_ARRAY a DWORD_PTR array.
// With the width field at FORMAT_MESSAGE_MAX_WIDTH_MASK, line breaks of the message text become
// spaces (%n still breaks); other widths are not applied.
// Returns the number of characters written (without the terminator), 0 on failure.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     va_list* arguments);

namespace platform {

// Message-table lookup for FROM_HMODULE, installed by the resources component.
using MessageLoader = bool (*)(HINSTANCE module, DWORD id, std::wstring& out);
void SetMessageLoader(MessageLoader loader);

// Adds or replaces a system message text (used by FROM_SYSTEM).
void RegisterSystemMessage(DWORD id, const wchar_t* text);
// The system text for a code, without the trailing line break; empty when unknown.
std::wstring SystemMessageText(DWORD id);

}  // namespace platform
