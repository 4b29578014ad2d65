#pragma once
// The commands of the `vantor` program. Each command lives in a file of its own under
// host/commands/ and registers itself with VANTOR_COMMAND; `vantor --help` lists them in the
// order of their `order` key.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/ado.h"
#include "platform/com/com.h"

namespace host {

class Host;

// What a command is given: the open host, the database file and the words after its name.
struct CommandContext {
  Host& host;
  std::wstring databasePath;
  std::vector<std::string> args;
};

struct Command {
  const char* name;      // the first word on the command line; "" for the program without one
  const wchar_t* usage;  // its lines in `vantor --help`, each ending with "\n"
  int order;             // place in `vantor --help`
  int (*run)(CommandContext& context);  // the exit status
  // The command only reads: the database is opened read-only (so it works on a file or in a
  // folder that cannot be written), is never created, and must have the current schema.
  bool readOnly = false;
  // The most words the command takes after its name; more are refused (exit 2) before the
  // database is opened. -1: the command checks its words itself.
  int maxArgs = -1;
  // The command's own options ("--log"), each followed by one value; null-terminated, or null for
  // none. They and their values reach the command among its words (maxArgs does not count them).
  const char* const* options = nullptr;
  // The command's own switches ("--exact"), which take no value; null-terminated, or null for
  // none. They reach the command among its words as the options do.
  const char* const* switches = nullptr;
  // For a command that only reads: whether these words change the database after all (it is
  // then opened to be changed). Null: never.
  bool (*writes)(const std::vector<std::string>& words) = nullptr;
};

// Adds a command to the program's table (at static initialisation).
bool RegisterCommand(const Command& command);
// Every registered command, in help order.
std::vector<Command> Commands();
// The command of that name, or null.
const Command* FindCommand(const std::string& name);

// Writes text to a stream as UTF-8.
void Write(FILE* stream, const std::wstring& text);
// A narrow command-line word as a wide string.
std::wstring Widen(const std::string& text);
// A command-line word that is a number from `lowest` to 2^31 - 1; false for any other word.
bool ParseNumber(const std::string& text, long& value, long lowest);
// A command-line word that is a number from 1 to 2^31 - 1; false for any other word.
inline bool ParsePositive(const std::string& text, long& value) { return ParseNumber(text, value, 1); }
// Asks a question on the terminal ("t" or "y" answers yes); `yes` or `no` (the switches --yes and
// --no) answer it without asking.
bool Ask(const std::wstring& question, bool yes, bool no);

// Raises a failed HRESULT with the thread's error information, so that the failure's report
// gives its description.
void Check(HRESULT hr);

// The key of an object lock between workstations (a row of kd_blokada).
struct LockKey {
  LONG type;
  LONG id;
  LONG extra;
};
// Who holds a lock: the workstation and the user its row names.
struct LockHolder {
  std::wstring workstation, user;
  bool operator==(const LockHolder&) const = default;
};
// A request refused with this code was refused by an object lock that another holds.
inline constexpr HRESULT kLockRefused = static_cast<HRESULT>(0x80040F19u);
// The locks that the system's requests take: the synchronisations' (object type 726), and an
// account's while it is opened for editing (its type, its id, 0).
inline constexpr LockKey kReceiveLock{726, 11, 0};
inline constexpr LockKey kParamsLock{726, 10, 0};
inline constexpr LockKey kSendLock{726, 12, 0};
inline constexpr LockKey kZoneSyncLock{726, 1, 0};
inline constexpr LONG kAccountObjectType = 701;
// The holder of the lock `key`, read back from its row; none when no row holds the key.
std::optional<LockHolder> FindLockHolder(const _ConnectionPtr& connection, const LockKey& key);
// Tells on the error stream, in the program's words, which workstation and user hold the lock
// `key` (or that it is free by now) and how a lock left behind by a program that ended without
// releasing it is removed.
void TellLockHolder(const LockKey& key, const std::optional<LockHolder>& holder);

// Tells a failure on the error stream: "vantor: " what failed (with the program's reason for the
// codes it knows) and its code, then "Szczegóły: " and the description. A request refused by the
// lock `lock` (kLockRefused) also names the lock's holder (TellLockHolder). The exit status 1.
int ReportFailure(const std::wstring& what, HRESULT hr, const std::wstring& description, const LockKey* lock = nullptr);
// The same with the thread's error information as the description.
int ReportFailure(const std::wstring& what, HRESULT hr, const LockKey* lock = nullptr);
// A count with its noun in the Polish form the count takes: `one` for 1 ("1 szablon"), `few` for
// counts ending in 2 to 4 but not 12 to 14 ("3 szablony", "22 szablony"), `many` for the rest
// ("0 szablonów", "5 szablonów", "12 szablonów").
std::wstring Count(unsigned long long n, const wchar_t* one, const wchar_t* few, const wchar_t* many);
// A value as the program shows it: empty for NULL and empty values, dates as YYYY-MM-DD HH:MM:SS.
std::wstring ValueText(const VARIANT& value);

}  // namespace host

#define VANTOR_COMMAND_CONCAT2(a, b) a##b
#define VANTOR_COMMAND_CONCAT(a, b) VANTOR_COMMAND_CONCAT2(a, b)
// VANTOR_COMMAND("log", L"  log [N]  ...\n", 20, RunLog);
// VANTOR_COMMAND(.name = "log", .usage = L"...", .order = 20, .run = RunLog, .readOnly = true, .maxArgs = 1);
#define VANTOR_COMMAND(...)                                                            \
  [[maybe_unused]] static const bool VANTOR_COMMAND_CONCAT(vantor_command_, __LINE__) = \
      ::host::RegisterCommand(::host::Command{__VA_ARGS__})
