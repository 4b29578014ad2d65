#include "platform/files/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/base/utf8.h"

namespace {

constexpr size_t kReadAhead = 64 * 1024;
// Reads at least this large go straight into the caller's buffer.
constexpr size_t kDirectRead = 16 * 1024;

struct File {
  int fd = -1;
  std::string path;
  std::vector<char> buffer;   // read ahead: [next, end) not yet handed out
  size_t next = 0;
  size_t end = 0;
  ULONGLONG position = 0;     // the caller's position in the file
  bool failAt = false;        // an injected read error
  ULONGLONG failOffset = 0;
};

std::mutex& Mutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::set<File*>& Open() {
  static auto* s = new std::set<File*>;
  return *s;
}
std::map<std::string, ULONGLONG>& ReadErrors() {
  static auto* m = new std::map<std::string, ULONGLONG>;
  return *m;
}
std::wstring& TempOverride() {
  static auto* t = new std::wstring;
  return *t;
}

File* Find(HANDLE handle) {
  auto* f = static_cast<File*>(handle);
  std::lock_guard<std::mutex> lock(Mutex());
  return Open().count(f) ? f : nullptr;
}

// Puts the descriptor back at the caller's position and forgets what was read ahead.
bool Drop(File& f) {
  if (f.next == f.end) return true;
  f.next = f.end = 0;
  return lseek(f.fd, static_cast<off_t>(f.position), SEEK_SET) >= 0;
}

// Reads from the descriptor, retrying interrupted calls; -1 on failure.
ssize_t RawRead(File& f, char* out, size_t size) {
  for (;;) {
    const ssize_t n = read(f.fd, out, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace

namespace platform::files {

std::string NativePath(const wchar_t* path) {
  if (!path) return std::string();
  std::wstring p(path);
  for (wchar_t& c : p)
    if (c == L'\\') c = L'/';
  return platform::utf8::FromWide(p);
}

void SetTempFolder(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(Mutex());
  TempOverride() = folder;
  if (!folder.empty() && folder.back() != L'/' && folder.back() != L'\\') TempOverride() += L'/';
}

std::wstring TempFolder() {
  std::lock_guard<std::mutex> lock(Mutex());
  return TempOverride().empty() ? std::wstring(L"/tmp/") : TempOverride();
}

void InjectReadError(const std::wstring& path, ULONGLONG offset) {
  std::lock_guard<std::mutex> lock(Mutex());
  ReadErrors()[NativePath(path.c_str())] = offset;
}

void ClearReadErrors() {
  std::lock_guard<std::mutex> lock(Mutex());
  ReadErrors().clear();
}

}  // namespace platform::files

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
  if (!path || !*path) return INVALID_HANDLE_VALUE;
  const std::string native = platform::files::NativePath(path);
  int flags = O_CLOEXEC;
  const bool reading = (access & GENERIC_READ) != 0;
  const bool writing = (access & GENERIC_WRITE) != 0;
  flags |= reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: return INVALID_HANDLE_VALUE;
  }
  const int fd = open(native.c_str(), flags, 0644);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  auto* f = new File;
  f->fd = fd;
  f->path = native;
  std::lock_guard<std::mutex> lock(Mutex());
  auto injected = ReadErrors().find(native);
  if (injected != ReadErrors().end()) {
    f->failAt = true;
    f->failOffset = injected->second;
  }
  Open().insert(f);
  return f;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
  if (read) *read = 0;
  File* f = Find(handle);
  if (!f || (!buffer && toRead > 0)) return FALSE;
  char* out = static_cast<char*>(buffer);
  DWORD done = 0;
  while (done < toRead) {
    if (f->failAt && f->position >= f->failOffset) {
      if (read) *read = done;
      return FALSE;
    }
    size_t want = toRead - done;
    if (f->failAt) want = std::min<ULONGLONG>(want, f->failOffset - f->position);
    if (f->next < f->end) {
      const size_t n = std::min(want, f->end - f->next);
      std::memcpy(out + done, f->buffer.data() + f->next, n);
      f->next += n;
      f->position += n;
      done += static_cast<DWORD>(n);
      continue;
    }
    if (want >= kDirectRead) {
      const ssize_t n = RawRead(*f, out + done, want);
      if (n < 0) {
        if (read) *read = done;
        return FALSE;
      }
      if (n == 0) break;
      f->position += static_cast<ULONGLONG>(n);
      done += static_cast<DWORD>(n);
      continue;
    }
    if (f->buffer.empty()) f->buffer.resize(kReadAhead);
    const ssize_t n = RawRead(*f, f->buffer.data(), kReadAhead);
    if (n < 0) {
      if (read) *read = done;
      return FALSE;
    }
    if (n == 0) break;
    f->next = 0;
    f->end = static_cast<size_t>(n);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) {
  if (written) *written = 0;
  File* f = Find(handle);
  if (!f || (!buffer && toWrite > 0) || !Drop(*f)) return FALSE;
  const char* in = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < toWrite) {
    const ssize_t n = write(f->fd, in + done, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = done;
      return FALSE;
    }
    done += static_cast<DWORD>(n);
    f->position += static_cast<ULONGLONG>(n);
  }
  if (written) *written = done;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  auto* f = static_cast<File*>(handle);
  {
    std::lock_guard<std::mutex> lock(Mutex());
    if (!Open().erase(f)) return FALSE;
  }
  close(f->fd);
  delete f;
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
  File* f = Find(handle);
  struct stat st {};
  if (!f || !size || fstat(f->fd, &st) != 0) return FALSE;
  size->QuadPart = static_cast<LONGLONG>(st.st_size);
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD high) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size)) return INVALID_FILE_SIZE;
  if (high) *high = static_cast<DWORD>(static_cast<ULONGLONG>(size.QuadPart) >> 32);
  return static_cast<DWORD>(static_cast<ULONGLONG>(size.QuadPart) & 0xFFFFFFFFu);
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER move, LARGE_INTEGER* position, DWORD method) {
  File* f = Find(handle);
  if (!f) return FALSE;
  LONGLONG base = 0;
  if (method == FILE_CURRENT) {
    base = static_cast<LONGLONG>(f->position);
  } else if (method == FILE_END) {
    struct stat st {};
    if (fstat(f->fd, &st) != 0) return FALSE;
    base = static_cast<LONGLONG>(st.st_size);
  } else if (method != FILE_BEGIN) {
    return FALSE;
  }
  const LONGLONG target = base + move.QuadPart;
  if (target < 0) return FALSE;
  f->next = f->end = 0;
  if (lseek(f->fd, static_cast<off_t>(target), SEEK_SET) < 0) return FALSE;
  f->position = static_cast<ULONGLONG>(target);
  if (position) position->QuadPart = target;
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (!path || !*path) return FALSE;
  return unlink(platform::files::NativePath(path).c_str()) == 0;
}

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
  const std::wstring folder = platform::files::TempFolder();
  const DWORD length = static_cast<DWORD>(folder.size());
  if (!buffer || size <= length) return length + 1;
  std::wmemcpy(buffer, folder.c_str(), folder.size() + 1);
  return length;
}
