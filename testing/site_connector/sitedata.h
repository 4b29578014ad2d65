#pragma once
// The reference site's data: one JSON document read from a data file (or given as text), whose
// top-level object holds one member per section. The layout is described in
// reference_connector.h; a section this build does not know is kept and never read.
//
// The document belongs to the process (every session shares it); Read and Change run under its
// lock, and Change writes the document back to its file when it came from one (the working copy
// beside the product database, never the file in the repository).
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/wintypes.h"

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
  // Reads and parses a data file (at most kMaxBytes) and remembers it for Change.
  static std::shared_ptr<SiteData> Load(const std::string& path);

  template <class F>
  auto Read(F&& read) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return read(static_cast<const Json&>(doc_));
  }
  // Changes the document, then writes it to its file (when it has one). Throws SiteDataError
  // when the file cannot be written; the document keeps the change.
  template <class F>
  void Change(F&& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(doc_);
    SaveLocked();
  }
  const std::string& Path() const { return path_; }

 private:
  void SaveLocked() const;

  mutable std::mutex mutex_;
  Json doc_;
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
