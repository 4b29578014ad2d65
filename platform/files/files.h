#pragma once
// Files with the platform's names: handles from CreateFileW, reads and writes, sizes and
// positions, the temporary folder.
//
// - Paths are wide; at the file-system edge a "\\" becomes "/" (the system writes folder texts
//   such as "Skrypty\\Wzorzec\\") and the text becomes UTF-8.
// - Share modes are accepted and never refuse an open: files here are not locked against other
//   openers, so a file opened for reading is always opened shared.
// - A handle reads ahead into a buffer of its own, so that small sequential reads (512 bytes at a
//   time) cost no system call each. A read that fails answers FALSE; a read at the end gives 0
//   bytes and TRUE.
// - The temporary folder follows a fixed rule: "/tmp/", or the folder a program or test sets with
//   platform::files::SetTempFolder. No environment variable is read.
#include <string>

#include "platform/base/wintypes.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// A failed open answers INVALID_HANDLE_VALUE.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, void* security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void* overlapped);
BOOL CloseHandle(HANDLE file);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
// The low 32 bits; the high ones into *high when given. INVALID_FILE_SIZE for a bad handle.
DWORD GetFileSize(HANDLE file, LPDWORD high);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER move, LARGE_INTEGER* position, DWORD method);
BOOL DeleteFileW(LPCWSTR path);
// The temporary folder, ending with "/"; its length (0 when it does not fit `size`, with the
// length needed when `size` is too small, as the platform answers).
DWORD GetTempPathW(DWORD size, LPWSTR buffer);
inline HANDLE CreateFile(LPCWSTR p, DWORD a, DWORD s, void* sec, DWORD d, DWORD f, HANDLE t) {
  return CreateFileW(p, a, s, sec, d, f, t);
}
inline BOOL DeleteFile(LPCWSTR path) { return DeleteFileW(path); }
inline DWORD GetTempPath(DWORD size, LPWSTR buffer) { return GetTempPathW(size, buffer); }

namespace platform::files {

// The path as the file system takes it: "\\" turned into "/", UTF-8.
std::string NativePath(const wchar_t* path);
// Sets the temporary folder (a "/" is added at its end when missing); empty: the fixed rule.
void SetTempFolder(const std::wstring& folder);
std::wstring TempFolder();

// For tests of failing disks: reads of the file at `path` fail once `offset` bytes of it were
// read (by any handle opened afterwards). Cleared by ClearReadErrors.
void InjectReadError(const std::wstring& path, ULONGLONG offset);
void ClearReadErrors();

}  // namespace platform::files
