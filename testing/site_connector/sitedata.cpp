#include "testing/site_connector/sitedata.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>

#include "platform/strings/convert.h"

namespace reference {
namespace {

// The sections this connector knows, with the JSON type each must have. Entries of an array
// section are objects.
struct Known {
  const char* name;
  Json::value_t type;
};
constexpr Known kSections[] = {
    {"sites", Json::value_t::array},        {"accounts", Json::value_t::array},
    {"auctions", Json::value_t::array},     {"transactions", Json::value_t::array},
    {"customers", Json::value_t::array},    {"comments", Json::value_t::array},
    {"comment_sent", Json::value_t::array}, {"auctions_sent", Json::value_t::array},
    {"categories", Json::value_t::array},   {"category_fields", Json::value_t::array},
    {"dictionaries", Json::value_t::object}, {"versions", Json::value_t::object},
};

const char* TypeName(Json::value_t type) {
  switch (type) {
    case Json::value_t::array: return "tablicą";
    case Json::value_t::object: return "obiektem";
    default: return "wartością";
  }
}

[[noreturn]] void Fail(const std::string& origin, const std::string& text) {
  throw SiteDataError("Plik danych serwisu wzorcowego " + origin + ": " + text);
}

// The checks every document passes: the sections' types, their entries objects, the sites
// with their numbers and names.
void Check(const Json& doc, const std::string& origin) {
  if (!doc.is_object()) Fail(origin, "oczekiwano obiektu z sekcjami");
  for (const Known& known : kSections) {
    const auto it = doc.find(known.name);
    if (it == doc.end()) continue;
    if (it->type() != known.type)
      Fail(origin, std::string("sekcja \"") + known.name + "\" powinna być " + TypeName(known.type));
    if (!it->is_array()) continue;
    for (std::size_t i = 0; i < it->size(); ++i)
      if (!(*it)[i].is_object())
        Fail(origin, std::string(known.name) + "[" + std::to_string(i) + "]: oczekiwano obiektu");
  }
  try {
    const Json& sites = Section(doc, "sites");
    for (std::size_t i = 0; sites.is_array() && i < sites.size(); ++i) {
      const std::string where = "sites[" + std::to_string(i) + "]";
      EntryLong(sites[i], "number", where);
      EntryText(sites[i], "name", where);
    }
  } catch (const SiteDataError& e) {
    Fail(origin, e.what());
  }
}

[[noreturn]] void WrongMember(const std::string& where, const char* key, const char* expected) {
  throw SiteDataError(where + "." + key + ": oczekiwano " + expected);
}

// The number a member of an entry gives to numbering: an integer, or a text of digits.
std::optional<long long> NumberOf(const Json& entry, const char* key) {
  if (!entry.is_object()) return std::nullopt;
  const auto it = entry.find(key);
  if (it == entry.end()) return std::nullopt;
  if (it->is_number_integer()) return it->get<long long>();
  if (!it->is_string()) return std::nullopt;
  const std::string& text = it->get_ref<const std::string&>();
  if (text.empty() || text.size() >= 19 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoll(text);
}

const Json* Member(const Json& entry, const char* key) {
  if (!entry.is_object()) return nullptr;
  const auto it = entry.find(key);
  return it == entry.end() || it->is_null() ? nullptr : &*it;
}

}  // namespace

std::shared_ptr<SiteData> SiteData::Parse(std::string_view text, const std::string& origin) {
  auto data = std::make_shared<SiteData>();
  try {
    data->doc_ = Json::parse(text.begin(), text.end(), [&](int depth, Json::parse_event_t, Json&) {
      if (depth > kMaxDepth) Fail(origin, "zagnieżdżenie głębsze niż " + std::to_string(kMaxDepth));
      return true;
    });
  } catch (const Json::parse_error& e) {
    Fail(origin, "błąd składni JSON w bajcie " + std::to_string(e.byte) + " (" + e.what() + ")");
  }
  Check(data->doc_, origin);
  return data;
}

long long SiteData::Numbers::Highest(const char* section, const char* key) {
  const auto [it, added] = highest_.try_emplace({section, key}, 0);
  if (added) {
    const Json& entries = Section(doc_, section);
    if (entries.is_array())
      for (const Json& entry : entries)
        if (const auto number = NumberOf(entry, key)) it->second = std::max(it->second, *number);
  }
  return it->second;
}

void SiteData::Numbers::Append(const char* section, Json entry) {
  if (!doc_.contains(section) || !doc_[section].is_array()) {
    doc_[section] = Json::array();
    for (auto it = highest_.begin(); it != highest_.end();)
      it = it->first.first == section ? highest_.erase(it) : std::next(it);
  }
  for (auto& [which, highest] : highest_)
    if (which.first == section)
      if (const auto number = NumberOf(entry, which.second.c_str())) highest = std::max(highest, *number);
  doc_[section].push_back(std::move(entry));
}

SiteData::Stamp SiteData::StampOf(const struct stat& st) {
  auto nanoseconds = [](const timespec& t) {
    return static_cast<unsigned long long>(t.tv_sec) * 1000000000ull + static_cast<unsigned long long>(t.tv_nsec);
  };
  return Stamp{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
               static_cast<unsigned long long>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

std::shared_ptr<SiteData> SiteData::AtFile(const std::string& path) {
  auto data = std::make_shared<SiteData>();
  data->path_ = path;
  return data;
}

std::shared_ptr<SiteData> SiteData::Load(const std::string& path) {
  std::shared_ptr<SiteData> data = AtFile(path);
  std::lock_guard<std::mutex> lock(data->mutex_);
  data->RefreshLocked(nullptr);
  return data;
}

SiteData::FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

SiteData::FileLock SiteData::LockFile(bool exclusive) const {
  // Only a writer makes the lock file: a file no one changed yet is read without it (a reader
  // sees a whole file anyway, since a writer replaces it whole).
  const std::string name = path_ + ".lock";
  const int fd = exclusive ? ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)
                           : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (exclusive) Fail(path_, "nie można zablokować pliku");
    return FileLock();
  }
  FileLock held(fd);
  int rc;
  do {
    rc = ::flock(fd, exclusive ? LOCK_EX : LOCK_SH);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) Fail(path_, "nie można zablokować pliku");
  return held;
}

void SiteData::RefreshLocked(const FileLock* held) const {
  if (path_.empty()) return;
  FileLock own;
  if (!held) own = LockFile(false);
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    current_ = false;
    Fail(path_, "nie można otworzyć pliku");
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    current_ = false;
    Fail(path_, "nie można odczytać pliku");
  }
  const Stamp stamp = StampOf(st);
  if (current_ && stamp == stamp_) return;
  current_ = false;
  if (static_cast<unsigned long long>(st.st_size) > kMaxBytes)
    Fail(path_, "plik większy niż " + std::to_string(kMaxBytes) + " bajtów");
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail(path_, "nie można odczytać pliku");
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > kMaxBytes) Fail(path_, "plik większy niż " + std::to_string(kMaxBytes) + " bajtów");
  }
  highest_.clear();
  std::shared_ptr<SiteData> parsed = Parse(text, path_);
  doc_ = std::move(parsed->doc_);
  stamp_ = stamp;
  current_ = true;
}

void SiteData::SaveLocked(const Json& doc) {
  std::string text;
  try {
    text = doc.dump(2) + "\n";
  } catch (const Json::exception& e) {
    Fail(path_, std::string("nie można zapisać danych (") + e.what() + ")");
  }
  // A new file renamed over the old one: a reader sees the old document or the new one, whole.
  const std::string temporary = path_ + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) Fail(path_, "nie można zapisać pliku");
  bool written = true;
  for (std::size_t done = 0; written && done < text.size();) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) written = false;
    else done += static_cast<std::size_t>(put);
  }
  if (::close(fd) != 0) written = false;
  if (!written || std::rename(temporary.c_str(), path_.c_str()) != 0) {
    std::remove(temporary.c_str());
    Fail(path_, "nie można zapisać pliku");
  }
  // The document is the file now (the caller keeps it); a file another process replaces later
  // has another stamp.
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    stamp_ = StampOf(st);
    current_ = true;
  } else {
    current_ = false;
  }
}

const Json& Section(const Json& doc, const char* name) {
  static const Json kNone;
  if (!doc.is_object()) return kNone;
  const auto it = doc.find(name);
  return it == doc.end() ? kNone : *it;
}

LONG EntryLong(const Json& entry, const char* key, const std::string& where) {
  const Json* value = Member(entry, key);
  if (!value) WrongMember(where, key, "liczby całkowitej");
  return EntryLong(entry, key, where, 0);
}

LONG EntryLong(const Json& entry, const char* key, const std::string& where, LONG fallback) {
  const LONGLONG value = EntryLongLong(entry, key, where, fallback);
  if (value < std::numeric_limits<LONG>::min() || value > std::numeric_limits<LONG>::max())
    WrongMember(where, key, "liczby całkowitej 32-bitowej");
  return static_cast<LONG>(value);
}

LONGLONG EntryLongLong(const Json& entry, const char* key, const std::string& where, LONGLONG fallback) {
  const Json* value = Member(entry, key);
  if (!value) return fallback;
  if (value->is_number_unsigned()) {
    const auto u = value->get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max()))
      WrongMember(where, key, "liczby całkowitej 64-bitowej");
    return static_cast<LONGLONG>(u);
  }
  if (!value->is_number_integer()) WrongMember(where, key, "liczby całkowitej");
  return value->get<LONGLONG>();
}

double EntryNumber(const Json& entry, const char* key, const std::string& where, double fallback) {
  const Json* value = Member(entry, key);
  if (!value) return fallback;
  if (!value->is_number()) WrongMember(where, key, "liczby");
  return value->get<double>();
}

bool EntryFlag(const Json& entry, const char* key, const std::string& where, bool fallback) {
  const Json* value = Member(entry, key);
  if (!value) return fallback;
  if (!value->is_boolean()) WrongMember(where, key, "true albo false");
  return value->get<bool>();
}

std::wstring EntryText(const Json& entry, const char* key, const std::string& where) {
  if (!Member(entry, key)) WrongMember(where, key, "tekstu");
  return EntryText(entry, key, where, std::wstring());
}

std::wstring EntryText(const Json& entry, const char* key, const std::string& where, const std::wstring& fallback) {
  const Json* value = Member(entry, key);
  if (!value) return fallback;
  if (!value->is_string()) WrongMember(where, key, "tekstu");
  return platform::Utf8ToWide(value->get_ref<const std::string&>());
}

}  // namespace reference
