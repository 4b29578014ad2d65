// The registry store: a tree of keys and values kept in one text file.
//
// File form (UTF-8, one record a line):
//   vantor-registry 1
//   K HKEY_CURRENT_USER\Software\Vantor        a key (components escaped)
//   V <type> =<name> s:<text> | d:<number> | x:<hex>   a value of the key above
// Bytes below 0x21, 0x7F, '%' and '\' in names and texts are written as %XX.
#include "platform/registry/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/base/casefold.h"
#include "platform/base/utf8.h"

namespace {

// ---- names ----

std::wstring Fold(std::wstring_view s) {
  std::wstring out(s);
  for (auto& c : out) c = platform::casefold::Fold(c);
  return out;
}

struct Value {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::wstring name;
  std::map<std::wstring, std::unique_ptr<Key>> subkeys;  // by folded name
  std::vector<Value> values;                             // in the order first set

  Key* Sub(const std::wstring& n) {
    auto it = subkeys.find(Fold(n));
    return it == subkeys.end() ? nullptr : it->second.get();
  }
  Value* FindValue(const std::wstring& n) {
    std::wstring f = Fold(n);
    for (auto& v : values) {
      if (Fold(v.name) == f) return &v;
    }
    return nullptr;
  }
};

constexpr int kRoots = 6;
const wchar_t* const kRootNames[kRoots] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                           L"HKEY_USERS", nullptr, L"HKEY_CURRENT_CONFIG"};

struct Tree {
  Key roots[kRoots];
};

// An open key: a root and a path, resolved on every call.
struct OpenKey {
  int root;
  std::vector<std::wstring> path;
};

// ---- escaping ----

std::string Escape(std::wstring_view text) {
  std::string utf8 = platform::utf8::FromWide(text);
  std::string out;
  for (unsigned char c : utf8) {
    if (c < 0x21 || c == 0x7F || c == '%' || c == '\\') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool Unescape(std::string_view text, std::wstring* out) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      if (i + 2 >= text.size()) return false;
      auto hex = [](char h) { return h >= '0' && h <= '9' ? h - '0' : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1; };
      int hi = hex(text[i + 1]), lo = hex(text[i + 2]);
      if (hi < 0 || lo < 0) return false;
      bytes.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      bytes.push_back(text[i]);
    }
  }
  *out = platform::utf8::ToWide(bytes);
  return true;
}

// REG_SZ-like data that is a whole number of valid characters is written as text.
bool DataAsText(const Value& v, std::wstring* text) {
  if (v.type != REG_SZ && v.type != REG_EXPAND_SZ && v.type != REG_MULTI_SZ) return false;
  if (v.data.size() % sizeof(wchar_t)) return false;
  text->resize(v.data.size() / sizeof(wchar_t));
  if (!v.data.empty()) std::memcpy(text->data(), v.data.data(), v.data.size());
  for (wchar_t c : *text) {
    auto cp = static_cast<std::uint32_t>(c);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  }
  return true;
}

void WriteKey(std::ostream& out, const Key& key, const std::string& path) {
  if (!key.values.empty() || path.find('\\') != std::string::npos) out << "K " << path << '\n';
  for (const auto& v : key.values) {
    out << "V " << v.type << " =" << Escape(v.name) << ' ';
    std::wstring text;
    if (DataAsText(v, &text)) {
      out << "s:" << Escape(text);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      DWORD d;
      std::memcpy(&d, v.data.data(), 4);
      out << "d:" << d;
    } else {
      out << "x:";
      char buf[3];
      for (BYTE b : v.data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out << buf;
      }
    }
    out << '\n';
  }
  for (const auto& [folded, sub] : key.subkeys) WriteKey(out, *sub, path + "\\" + Escape(sub->name));
}

std::string Serialize(const Tree& tree) {
  std::ostringstream out;
  out << "vantor-registry 1\n";
  for (int r = 0; r < kRoots; ++r) {
    if (kRootNames[r]) WriteKey(out, tree.roots[r], platform::utf8::FromWide(kRootNames[r]));
  }
  return out.str();
}

bool ParseValue(const std::string& line, Value* v) {
  // V <type> =<name> <kind>:<payload>
  std::size_t p1 = line.find(' ', 2);
  if (p1 == std::string::npos || line.size() < p1 + 2 || line[p1 + 1] != '=') return false;
  std::size_t p2 = line.find(' ', p1 + 1);
  if (p2 == std::string::npos || line.size() < p2 + 3 || line[p2 + 2] != ':') return false;
  char* end = nullptr;
  std::string typeText = line.substr(2, p1 - 2);
  unsigned long type = std::strtoul(typeText.c_str(), &end, 10);
  if (typeText.empty() || *end) return false;
  v->type = static_cast<DWORD>(type);
  if (!Unescape(std::string_view(line).substr(p1 + 2, p2 - p1 - 2), &v->name)) return false;
  char kind = line[p2 + 1];
  std::string_view payload = std::string_view(line).substr(p2 + 3);
  v->data.clear();
  if (kind == 's') {
    std::wstring text;
    if (!Unescape(payload, &text)) return false;
    v->data.resize(text.size() * sizeof(wchar_t));
    if (!text.empty()) std::memcpy(v->data.data(), text.data(), v->data.size());
  } else if (kind == 'd') {
    std::string num(payload);
    unsigned long long d = std::strtoull(num.c_str(), &end, 10);
    if (num.empty() || *end || d > 0xFFFFFFFFull) return false;
    auto dw = static_cast<DWORD>(d);
    v->data.resize(4);
    std::memcpy(v->data.data(), &dw, 4);
  } else if (kind == 'x') {
    if (payload.size() % 2) return false;
    for (std::size_t i = 0; i < payload.size(); i += 2) {
      std::string byte(payload.substr(i, 2));
      unsigned long b = std::strtoul(byte.c_str(), &end, 16);
      if (*end || !std::isxdigit(static_cast<unsigned char>(byte[0])) || !std::isxdigit(static_cast<unsigned char>(byte[1]))) return false;
      v->data.push_back(static_cast<BYTE>(b));
    }
  } else {
    return false;
  }
  return true;
}

bool Parse(const std::string& text, Tree* tree) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != "vantor-registry 1") return false;
  Key* current = nullptr;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line.rfind("K ", 0) == 0) {
      std::string path = line.substr(2);
      std::vector<std::string> parts;
      std::size_t start = 0;
      for (;;) {
        std::size_t bs = path.find('\\', start);
        parts.push_back(path.substr(start, bs == std::string::npos ? std::string::npos : bs - start));
        if (bs == std::string::npos) break;
        start = bs + 1;
      }
      int root = -1;
      for (int r = 0; r < kRoots; ++r) {
        if (kRootNames[r] && platform::utf8::FromWide(kRootNames[r]) == parts[0]) root = r;
      }
      if (root < 0) return false;
      current = &tree->roots[root];
      for (std::size_t i = 1; i < parts.size(); ++i) {
        std::wstring name;
        // Only names the API can open again: not empty, at most 255 characters, no separator
        // and no NUL.
        if (!Unescape(parts[i], &name) || name.empty() || name.size() > 255 ||
            name.find_first_of(std::wstring_view(L"\\\0", 2)) != std::wstring::npos)
          return false;
        auto& slot = current->subkeys[Fold(name)];
        if (!slot) {
          slot = std::make_unique<Key>();
          slot->name = name;
        }
        current = slot.get();
      }
    } else if (line.rfind("V ", 0) == 0) {
      if (!current) return false;
      Value v;
      if (!ParseValue(line, &v)) return false;
      if (Value* existing = current->FindValue(v.name)) {
        *existing = std::move(v);
      } else {
        current->values.push_back(std::move(v));
      }
    } else {
      return false;
    }
  }
  return true;
}

// ---- the store ----

struct Signature {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};
  bool operator==(const Signature& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

Signature SignatureOf(const std::string& path) {
  Signature s;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime = st.st_mtim;
  s.ctime = st.st_ctim;
  return s;
}

bool MakeDirectories(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) return false;
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

class Store {
 public:
  std::recursive_mutex mutex;
  std::set<OpenKey*> handles;

  void SetFile(const std::string& path) {
    std::lock_guard lock(mutex);
    CloseLock();
    memory_ = false;
    file_ = path.empty() ? platform::registry::DefaultStoreFile() : path;
    loaded_ = false;
    tree_ = std::make_unique<Tree>();
  }
  void SetMemory() {
    std::lock_guard lock(mutex);
    CloseLock();
    memory_ = true;
    file_.clear();
    loaded_ = true;
    tree_ = std::make_unique<Tree>();
  }
  std::string File() {
    std::lock_guard lock(mutex);
    EnsureConfigured();
    return memory_ ? std::string() : file_;
  }

  // Runs f(tree) under the shared lock with the newest contents.
  template <class F>
  LSTATUS Read(F f) {
    std::lock_guard lock(mutex);
    EnsureConfigured();
    if (memory_) return f(*tree_);
    // A save replaces the file whole (a rename): while the file is the one read last, the copy in
    // memory is its contents, without taking the lock.
    if (loaded_ && SignatureOf(file_) == sig_) return f(*tree_);
    FileLock fl(this, LOCK_SH);
    Refresh(false);
    return f(*tree_);
  }

  // Runs f(tree, changed) under the exclusive lock and saves when f changed something.
  template <class F>
  LSTATUS Write(F f) {
    std::lock_guard lock(mutex);
    EnsureConfigured();
    bool changed = false;
    if (memory_) return f(*tree_, changed);
    if (!MakeDirectories(DirectoryOf(file_))) return ERROR_CANTWRITE;
    FileLock fl(this, LOCK_EX);
    Refresh(true);
    LSTATUS st = f(*tree_, changed);
    if (changed && !Save()) {
      loaded_ = false;  // drop the unsaved change: the next call re-reads the file
      return ERROR_CANTWRITE;
    }
    return st;
  }

 private:
  struct FileLock {
    FileLock(Store* s, int op) : store(s) {
      // A descriptor inherited through fork shares its lock with the parent: open our own.
      if (store->lockFd_ >= 0 && store->lockPid_ != ::getpid()) store->CloseLock();
      if (store->lockFd_ < 0) {
        std::string lockPath = store->file_ + ".lock";
        store->lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        store->lockPid_ = ::getpid();
      }
      if (store->lockFd_ >= 0) {
        while (::flock(store->lockFd_, op) != 0 && errno == EINTR) {
        }
      }
    }
    ~FileLock() {
      if (store->lockFd_ >= 0) ::flock(store->lockFd_, LOCK_UN);
    }
    Store* store;
  };

  void EnsureConfigured() {
    if (!tree_) {
      file_ = platform::registry::DefaultStoreFile();
      tree_ = std::make_unique<Tree>();
    }
  }
  void CloseLock() {
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
  }

  void Refresh(bool writing) {
    Signature now = SignatureOf(file_);
    if (loaded_ && now == sig_) return;
    auto fresh = std::make_unique<Tree>();
    if (now.exists) {
      std::ifstream in(file_, std::ios::binary);
      std::stringstream buf;
      buf << in.rdbuf();
      if (!in.good() && !in.eof()) {
        return;  // unreadable for now: keep what we had
      }
      if (!Parse(buf.str(), fresh.get())) {
        // A damaged store is kept beside the new one, never overwritten.
        if (writing) {
          // An earlier damaged copy is not replaced: the next free name is taken.
          std::string aside = file_ + ".bad";
          struct stat taken;
          for (int n = 1; ::stat(aside.c_str(), &taken) == 0; ++n) aside = file_ + ".bad." + std::to_string(n);
          std::fprintf(stderr, "registry: %s is damaged; kept as %s, starting a new store\n", file_.c_str(),
                       aside.c_str());
          ::rename(file_.c_str(), aside.c_str());
          now = SignatureOf(file_);
        } else {
          if (!reportedBad_) {
            std::fprintf(stderr, "registry: %s is damaged; reading it as empty\n", file_.c_str());
            reportedBad_ = true;
          }
          // Not marked loaded: the next write sees the damage again and moves the file aside.
          tree_ = std::make_unique<Tree>();
          loaded_ = false;
          return;
        }
        fresh = std::make_unique<Tree>();
      }
    }
    tree_ = std::move(fresh);
    sig_ = now;
    loaded_ = true;
  }

  bool Save() {
    std::string text = Serialize(*tree_);
    std::string tmp = file_ + ".tmp." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const char* p = text.data();
    std::size_t left = text.size();
    bool ok = true;
    while (left) {
      ssize_t n = ::write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    if (!ok || ::rename(tmp.c_str(), file_.c_str()) != 0) {
      ::unlink(tmp.c_str());
      return false;
    }
    sig_ = SignatureOf(file_);
    return true;
  }

  bool memory_ = false;
  bool loaded_ = false;
  bool reportedBad_ = false;
  std::string file_;
  std::unique_ptr<Tree> tree_;
  Signature sig_;
  int lockFd_ = -1;
  pid_t lockPid_ = 0;
};

Store& TheStore() {
  static auto* store = new Store;
  return *store;
}

// ---- handles and paths ----

int RootIndex(HKEY h) {
  auto v = reinterpret_cast<ULONG_PTR>(h);
  auto base = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
  if (v >= base && v < base + kRoots && kRootNames[v - base]) return static_cast<int>(v - base);
  return -1;
}

constexpr int kClassesRoot = 0;
constexpr int kLocalMachine = 2;

// The open key behind a handle (predefined roots included); false for a bad handle.
// HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes: those path parts go to *prefix.
bool Describe(HKEY h, OpenKey* out, std::vector<std::wstring>* prefix) {
  prefix->clear();
  int root = RootIndex(h);
  if (root >= 0) {
    out->root = root;
    out->path.clear();
    if (root == kClassesRoot) {
      out->root = kLocalMachine;
      *prefix = {L"Software", L"Classes"};
    }
    return true;
  }
  auto* k = reinterpret_cast<OpenKey*>(h);
  auto& handles = TheStore().handles;
  if (!h || handles.find(k) == handles.end()) return false;
  *out = *k;
  return true;
}

bool Split(LPCWSTR sub, std::vector<std::wstring>* parts) {
  if (!sub) return true;
  std::wstring_view s(sub);
  std::size_t start = 0;
  while (start <= s.size()) {
    std::size_t bs = s.find(L'\\', start);
    std::wstring_view part = s.substr(start, bs == std::wstring_view::npos ? std::wstring_view::npos : bs - start);
    if (!part.empty()) {
      if (part.size() > 255) return false;
      parts->emplace_back(part);
    }
    if (bs == std::wstring_view::npos) break;
    start = bs + 1;
  }
  return true;
}

Key* Resolve(Tree& tree, const OpenKey& k) {
  Key* cur = &tree.roots[k.root];
  for (const auto& p : k.path) {
    cur = cur->Sub(p);
    if (!cur) return nullptr;
  }
  return cur;
}

// Looks up (and with create, makes) hKey\sub. Returns the status; *created tells if new.
LSTATUS Locate(Tree& tree, HKEY hKey, LPCWSTR sub, bool create, Key** key, OpenKey* where, bool* created) {
  std::vector<std::wstring> parts;
  if (!Describe(hKey, where, &parts)) return ERROR_INVALID_HANDLE;
  Key* cur = Resolve(tree, *where);
  if (!cur) return ERROR_KEY_DELETED;
  if (!Split(sub, &parts)) return ERROR_INVALID_PARAMETER;
  if (created) *created = false;
  for (const auto& p : parts) {
    Key* next = cur->Sub(p);
    if (!next) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      auto fresh = std::make_unique<Key>();
      fresh->name = p;
      next = fresh.get();
      cur->subkeys[Fold(p)] = std::move(fresh);
      if (created) *created = true;
    }
    cur = next;
    where->path.push_back(p);
  }
  *key = cur;
  return ERROR_SUCCESS;
}

// Runs f(key) on the existing key hKey\sub with the newest contents, under the shared lock.
template <class F>
LSTATUS ReadKey(HKEY hKey, LPCWSTR sub, F f) {
  return TheStore().Read([&](Tree& tree) -> LSTATUS {
    Key* key;
    OpenKey where;
    LSTATUS st = Locate(tree, hKey, sub, false, &key, &where, nullptr);
    return st != ERROR_SUCCESS ? st : f(*key);
  });
}

// Runs f(key, changed) on the existing key hKey under the exclusive lock; saved when changed.
template <class F>
LSTATUS ChangeKey(HKEY hKey, F f) {
  return TheStore().Write([&](Tree& tree, bool& changed) -> LSTATUS {
    Key* key;
    OpenKey where;
    LSTATUS st = Locate(tree, hKey, nullptr, false, &key, &where, nullptr);
    return st != ERROR_SUCCESS ? st : f(*key, changed);
  });
}

HKEY NewHandle(const OpenKey& k) {
  auto* h = new OpenKey(k);
  TheStore().handles.insert(h);
  return reinterpret_cast<HKEY>(h);
}

LSTATUS CopyOut(const std::vector<BYTE>& data, LPBYTE out, DWORD* cb) {
  if (out && !cb) return ERROR_INVALID_PARAMETER;
  if (!cb) return ERROR_SUCCESS;
  auto size = static_cast<DWORD>(data.size());
  if (out) {
    if (*cb < size) {
      *cb = size;
      return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(out, data.data(), size);
  }
  *cb = size;
  return ERROR_SUCCESS;
}

DWORD TypeFlag(DWORD type) {
  switch (type) {
    case REG_NONE: return RRF_RT_REG_NONE;
    case REG_SZ: return RRF_RT_REG_SZ;
    case REG_EXPAND_SZ: return RRF_RT_REG_EXPAND_SZ;
    case REG_BINARY: return RRF_RT_REG_BINARY;
    case REG_DWORD: return RRF_RT_REG_DWORD;
    case REG_MULTI_SZ: return RRF_RT_REG_MULTI_SZ;
    case REG_QWORD: return RRF_RT_REG_QWORD;
    default: return 0;
  }
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

LSTATUS CopyName(const std::wstring& name, LPWSTR out, DWORD* cch) {
  if (!out || !cch) return ERROR_INVALID_PARAMETER;
  if (*cch <= name.size()) {
    *cch = static_cast<DWORD>(name.size());
    return ERROR_MORE_DATA;
  }
  std::wmemcpy(out, name.c_str(), name.size() + 1);
  *cch = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

// ---- the API ----

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return TheStore().Read([&](Tree& tree) -> LSTATUS {
    Key* key;
    OpenKey where;
    LSTATUS st = Locate(tree, hKey, lpSubKey, false, &key, &where, nullptr);
    if (st == ERROR_SUCCESS) *phkResult = NewHandle(where);
    return st;
  });
}

LSTATUS RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
  return RegOpenKeyExW(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
}

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM, const SECURITY_ATTRIBUTES*,
                        PHKEY phkResult, DWORD* lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return TheStore().Write([&](Tree& tree, bool& changed) -> LSTATUS {
    Key* key;
    OpenKey where;
    bool created = false;
    LSTATUS st = Locate(tree, hKey, lpSubKey, true, &key, &where, &created);
    if (st != ERROR_SUCCESS) return st;
    changed = created;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(where);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
  return RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, phkResult, nullptr);
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (RootIndex(hKey) >= 0) return ERROR_SUCCESS;
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  auto* k = reinterpret_cast<OpenKey*>(hKey);
  if (!hKey || s.handles.erase(k) == 0) return ERROR_INVALID_HANDLE;
  delete k;
  return ERROR_SUCCESS;
}

LSTATUS RegFlushKey(HKEY hKey) {
  OpenKey k;
  std::vector<std::wstring> prefix;
  std::lock_guard lock(TheStore().mutex);
  return Describe(hKey, &k, &prefix) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  return ChangeKey(hKey, [&](Key& key, bool& changed) -> LSTATUS {
    std::wstring name = lpValueName ? lpValueName : L"";
    Value* v = key.FindValue(name);
    if (!v) {
      key.values.push_back(Value{name, REG_NONE, {}});
      v = &key.values.back();
    }
    v->type = dwType;
    v->data.assign(lpData, lpData + cbData);
    changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD*, DWORD* lpType, LPBYTE lpData, DWORD* lpcbData) {
  return ReadKey(hKey, nullptr, [&](Key& key) -> LSTATUS {
    Value* v = key.FindValue(lpValueName ? lpValueName : L"");
    if (!v) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    if (lpType) *lpType = v->type;
    return CopyOut(v->data, lpData, lpcbData);
  });
}

LSTATUS RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags, DWORD* pdwType, PVOID pvData,
                     DWORD* pcbData) {
  if (pvData && !pcbData) return ERROR_INVALID_PARAMETER;
  return ReadKey(hkey, lpSubKey, [&](Key& key) -> LSTATUS {
    Value* v = key.FindValue(lpValue ? lpValue : L"");
    if (!v) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    if (!(TypeFlag(v->type) & dwFlags)) return static_cast<LSTATUS>(ERROR_UNSUPPORTED_TYPE);
    if (pdwType) *pdwType = v->type;
    std::vector<BYTE> data = v->data;
    if (IsStringType(v->type)) {
      // Always hand back a terminated string.
      data.resize((data.size() + sizeof(wchar_t) - 1) / sizeof(wchar_t) * sizeof(wchar_t));
      wchar_t last = 1;
      if (data.size() >= sizeof(wchar_t)) std::memcpy(&last, data.data() + data.size() - sizeof(wchar_t), sizeof last);
      if (last != 0) data.resize(data.size() + sizeof(wchar_t), 0);
    }
    return CopyOut(data, static_cast<LPBYTE>(pvData), pcbData);
  });
}

LSTATUS RegSetValueW(HKEY hKey, LPCWSTR lpSubKey, DWORD dwType, LPCWSTR lpData, DWORD) {
  if (dwType != REG_SZ || !lpData) return ERROR_INVALID_PARAMETER;
  return SHSetValueW(hKey, lpSubKey, nullptr, REG_SZ, lpData,
                     static_cast<DWORD>((std::wcslen(lpData) + 1) * sizeof(wchar_t)));
}

LSTATUS RegQueryValueW(HKEY hKey, LPCWSTR lpSubKey, LPWSTR lpData, LONG* lpcbData) {
  DWORD cb = lpcbData ? static_cast<DWORD>(*lpcbData) : 0;
  DWORD type = 0;
  LSTATUS st = RegGetValueW(hKey, lpSubKey, nullptr, RRF_RT_REG_SZ, &type, lpData, lpcbData ? &cb : nullptr);
  if (st == ERROR_FILE_NOT_FOUND) {
    // A key without a default value reads as an empty string.
    HKEY probe;
    if (RegOpenKeyExW(hKey, lpSubKey, 0, KEY_READ, &probe) != ERROR_SUCCESS) return st;
    RegCloseKey(probe);
    cb = sizeof(wchar_t);
    if (lpData) {
      if (!lpcbData || *lpcbData < static_cast<LONG>(sizeof(wchar_t))) {
        if (lpcbData) *lpcbData = sizeof(wchar_t);
        return ERROR_MORE_DATA;
      }
      lpData[0] = L'\0';
    }
    st = ERROR_SUCCESS;
  }
  if (lpcbData && (st == ERROR_SUCCESS || st == ERROR_MORE_DATA)) *lpcbData = static_cast<LONG>(cb);
  return st;
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return ChangeKey(hKey, [&](Key& key, bool& changed) -> LSTATUS {
    Value* v = key.FindValue(lpValueName ? lpValueName : L"");
    if (!v) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    key.values.erase(key.values.begin() + (v - key.values.data()));
    changed = true;
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  });
}

namespace {
// Removes hKey\sub (which must name a subkey) when allowed.
LSTATUS DeleteSubkey(HKEY hKey, LPCWSTR sub, bool recursive) {
  std::vector<std::wstring> parts;
  if (!Split(sub, &parts) || parts.empty()) return ERROR_INVALID_PARAMETER;
  return TheStore().Write([&](Tree& tree, bool& changed) -> LSTATUS {
    Key* key;
    OpenKey where;
    LSTATUS st = Locate(tree, hKey, sub, false, &key, &where, nullptr);
    if (st != ERROR_SUCCESS) return st;
    if (!recursive && !key->subkeys.empty()) return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
    where.path.pop_back();
    Key* parent = Resolve(tree, where);
    parent->subkeys.erase(Fold(parts.back()));
    changed = true;
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  });
}

LSTATUS ClearKey(HKEY hKey) {
  return ChangeKey(hKey, [&](Key& key, bool& changed) -> LSTATUS {
    changed = !key.subkeys.empty() || !key.values.empty();
    key.subkeys.clear();
    key.values.clear();
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  });
}

bool EmptyPath(LPCWSTR sub) {
  std::vector<std::wstring> parts;
  return Split(sub, &parts) && parts.empty();
}
}  // namespace

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return DeleteSubkey(hKey, lpSubKey, false);
}

LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM, DWORD) { return RegDeleteKeyW(hKey, lpSubKey); }

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  if (EmptyPath(lpSubKey)) return ClearKey(hKey);
  return DeleteSubkey(hKey, lpSubKey, true);
}

LSTATUS SHDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey) { return RegDeleteTreeW(hKey, pszSubKey); }

LSTATUS SHDeleteValueW(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValue) {
  HKEY sub;
  LSTATUS st = RegOpenKeyExW(hKey, pszSubKey, 0, KEY_SET_VALUE, &sub);
  if (st != ERROR_SUCCESS) return st;
  st = RegDeleteValueW(sub, pszValue);
  RegCloseKey(sub);
  return st;
}

LSTATUS SHGetValueW(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD* pdwType, void* pvData, DWORD* pcbData) {
  return RegGetValueW(hKey, pszSubKey, pszValue, RRF_RT_ANY, pdwType, pvData, pcbData);
}

LSTATUS SHSetValueW(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD dwType, LPCVOID pvData, DWORD cbData) {
  HKEY sub;
  LSTATUS st = RegCreateKeyExW(hKey, pszSubKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &sub, nullptr);
  if (st != ERROR_SUCCESS) return st;
  st = RegSetValueExW(sub, pszValue, 0, dwType, static_cast<const BYTE*>(pvData), cbData);
  RegCloseKey(sub);
  return st;
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD*, LPWSTR lpClass,
                      DWORD* lpcchClass, PFILETIME lpftLastWriteTime) {
  return ReadKey(hKey, nullptr, [&](Key& key) -> LSTATUS {
    if (dwIndex >= key.subkeys.size()) return static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS);
    auto it = key.subkeys.begin();
    std::advance(it, dwIndex);
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return CopyName(it->second->name, lpName, lpcchName);
  });
}

LSTATUS RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName) {
  return RegEnumKeyExW(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, DWORD* lpcchValueName, DWORD*, DWORD* lpType,
                      LPBYTE lpData, DWORD* lpcbData) {
  return ReadKey(hKey, nullptr, [&](Key& key) -> LSTATUS {
    if (dwIndex >= key.values.size()) return static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS);
    const Value& v = key.values[dwIndex];
    LSTATUS st = CopyName(v.name, lpValueName, lpcchValueName);
    if (st != ERROR_SUCCESS) return st;
    if (lpType) *lpType = v.type;
    return CopyOut(v.data, lpData, lpcbData);
  });
}

LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, DWORD* lpcchClass, DWORD*, DWORD* lpcSubKeys,
                         DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                         DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime) {
  return ReadKey(hKey, nullptr, [&](Key& key) -> LSTATUS {
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& [f, sub] : key.subkeys) maxSub = std::max(maxSub, static_cast<DWORD>(sub->name.size()));
    for (const auto& v : key.values) {
      maxName = std::max(maxName, static_cast<DWORD>(v.name.size()));
      maxData = std::max(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return static_cast<LSTATUS>(ERROR_SUCCESS);
  });
}

namespace platform::registry {

void SetStoreFile(const std::string& path) { TheStore().SetFile(path); }
void UseMemoryStore() { TheStore().SetMemory(); }
std::string StoreFile() { return TheStore().File(); }

std::string DefaultStoreFile() {
  std::string home;
  if (struct passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  if (home.empty()) home = "/tmp";
  return home + "/.config/vantor/registry";
}

}  // namespace platform::registry
