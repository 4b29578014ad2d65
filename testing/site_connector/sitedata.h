#pragma once
// The reference site's data: one JSON document read from a data file (or given as text), whose
// top-level object holds one member per section. The layout is described in
// reference_connector.h; a section this build does not know is kept and never read.
//
// A site kept in a data file is shared by every process that uses the file, as a real site is
// shared by its users: each use reads the file as it stands (again only when another writer
// replaced it) under a shared lock of the file, and each change reads it, changes it and
// replaces it atomically (a new file renamed over it) under the exclusive lock, so that no
// writer loses another's change and no reader sees half a file. A file that cannot be read fails
// every use until it can be. The lock is `flock` on "<file>.lock" beside it. Within a process,
// every session shares one object, whose Read and Change run under its mutex.
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/base/wintypes.h"

struct stat;

namespace reference {

using Json = nlohmann::json;

// A malformed data file or entry; the text (UTF-8) names the file and the place.
class SiteDataError : public std::runtime_error {
 public:
  explicit SiteDataError(const std::string& text) : std::runtime_error(text) {}
};

class SiteData {
 public:
  // The largest data file read, and the deepest nesting accepted.
  static constexpr std::size_t kMaxBytes = 64u << 20;
  static constexpr int kMaxDepth = 64;

  // Parses a document; `origin` names it in errors. Throws SiteDataError.
  static std::shared_ptr<SiteData> Parse(std::string_view text, const std::string& origin);
  // The site kept in a data file, read now (at most kMaxBytes); throws SiteDataError when it
  // cannot be read.
  static std::shared_ptr<SiteData> Load(const std::string& path);
  // The site kept in a data file, not read yet: its first use reads it (or fails).
  static std::shared_ptr<SiteData> AtFile(const std::string& path);

  // Runs `read` on the document as it stands. Throws SiteDataError when the file cannot be read.
  template <class F>
  auto Read(F&& read) const {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked(nullptr);
    return read(static_cast<const Json&>(doc_));
  }
  // Changes the document and, for a site kept in a file, replaces the file with it; the file is
  // held locked from its reading to its replacement. Throws SiteDataError when the file cannot
  // be read or written: the change is then not made.
  template <class F>
  void Change(F&& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    highest_.clear();
    if (path_.empty()) {
      change(doc_);
      return;
    }
    const FileLock exclusive = LockFile(true);
    RefreshLocked(&exclusive);
    Json changed = doc_;
    change(changed);
    SaveLocked(changed);
    doc_ = std::move(changed);
  }
  // The highest number of a member in a section's entries (an integer, or a text of digits), kept
  // beside the document: found by one scan of the section, then raised by each entry appended
  // through it, and found anew once the document is read again or changed by Change.
  class Numbers {
   public:
    long long Highest(const char* section, const char* key);
    // Appends the entry to the section (made an array when it is none).
    void Append(const char* section, Json entry);

   private:
    friend class SiteData;
    Numbers(Json& doc, std::map<std::pair<std::string, std::string>, long long> highest)
        : doc_(doc), highest_(std::move(highest)) {}
    Json& doc_;
    std::map<std::pair<std::string, std::string>, long long> highest_;
  };
  // Change for a change that only appends entries, through `numbers`: `change(doc, numbers)`,
  // where `doc` is for reading. Numbering an entry costs no scan of the entries before it.
  template <class F>
  void Append(F&& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      if (path_.empty()) {
        Numbers numbers(doc_, std::move(highest_));
        change(static_cast<const Json&>(doc_), numbers);
        highest_ = std::move(numbers.highest_);
        return;
      }
      const FileLock exclusive = LockFile(true);
      RefreshLocked(&exclusive);
      Json changed = doc_;
      Numbers numbers(changed, std::move(highest_));
      change(static_cast<const Json&>(changed), numbers);
      SaveLocked(changed);
      doc_ = std::move(changed);
      highest_ = std::move(numbers.highest_);
    } catch (...) {
      highest_.clear();
      throw;
    }
  }
  const std::string& Path() const { return path_; }

 private:
  // A held `flock` of the data file's lock file (none for a reader when no writer made one yet).
  class FileLock {
   public:
    FileLock() = default;
    explicit FileLock(int fd) : fd_(fd) {}
    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock& operator=(FileLock&& other) noexcept {
      std::swap(fd_, other.fd_);
      return *this;
    }
    ~FileLock();
    bool Held() const { return fd_ >= 0; }

   private:
    int fd_ = -1;
  };
  // What tells one version of the file from another.
  struct Stamp {
    unsigned long long device = 0, inode = 0, size = 0, modified = 0, changed = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Stamp StampOf(const struct stat& st);
  FileLock LockFile(bool exclusive) const;
  // Reads the file again when it is not the version read last (under `held`, else under a shared
  // lock of its own). Throws SiteDataError; the document is then unusable until a read succeeds.
  void RefreshLocked(const FileLock* held) const;
  void SaveLocked(const Json& doc);

  mutable std::mutex mutex_;
  mutable Json doc_;
  mutable Stamp stamp_;
  mutable bool current_ = false;  // doc_ is the file's version stamp_
  mutable std::map<std::pair<std::string, std::string>, long long> highest_;  // of Numbers, for doc_
  std::string path_;
};

// A section of the document: its value, or null when the document has none.
const Json& Section(const Json& doc, const char* name);

// Typed readers of an entry's members; `where` names the entry in errors ("auctions[2]"). A
// missing member gives the fallback when there is one, else an error; a member of another type
// is always an error.
LONG EntryLong(const Json& entry, const char* key, const std::string& where);
LONG EntryLong(const Json& entry, const char* key, const std::string& where, LONG fallback);
LONGLONG EntryLongLong(const Json& entry, const char* key, const std::string& where, LONGLONG fallback);
double EntryNumber(const Json& entry, const char* key, const std::string& where, double fallback);
bool EntryFlag(const Json& entry, const char* key, const std::string& where, bool fallback);
std::wstring EntryText(const Json& entry, const char* key, const std::string& where);
std::wstring EntryText(const Json& entry, const char* key, const std::string& where, const std::wstring& fallback);

}  // namespace reference
