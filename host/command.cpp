#include "host/command.h"

#include <algorithm>
#include <cstdlib>

#include "host/host.h"
#include "platform/strings/cstring.h"
#include "platform/com/com.h"

namespace host {
namespace {

std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

}  // namespace

bool RegisterCommand(const Command& command) {
  Table().push_back(command);
  return true;
}

std::vector<Command> Commands() {
  std::vector<Command> sorted = Table();
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Command& a, const Command& b) { return a.order < b.order; });
  return sorted;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Table())
    if (name == command.name) return &command;
  return nullptr;
}

void Write(FILE* stream, const std::wstring& text) {
  std::fputs(static_cast<const char*>(_bstr_t(text.c_str())), stream);
  std::fflush(stream);
}

std::wstring Widen(const std::string& text) { return CString(text.c_str()).GetString(); }

std::wstring Count(unsigned long long n, const wchar_t* one, const wchar_t* few, const wchar_t* many) {
  const unsigned long long units = n % 10, tens = n % 100;
  const wchar_t* noun = n == 1 ? one : (units >= 2 && units <= 4 && !(tens >= 12 && tens <= 14)) ? few : many;
  return std::to_wstring(n) + L" " + noun;
}

bool ParseNumber(const std::string& text, long& value, long lowest) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && text[0] != ' ' && end && !*end && value >= lowest && value <= 0x7fffffff;
}

bool Ask(const std::wstring& question, bool yes, bool no) {
  if (yes || no) return yes;
  Write(stdout, question + L" [t/n] ");
  char line[64] = {};
  if (!std::fgets(line, sizeof line, stdin)) return false;
  return line[0] == 't' || line[0] == 'T' || line[0] == 'y' || line[0] == 'Y';
}

void Check(HRESULT hr) {
  if (FAILED(hr)) platform::com::RaiseWithThreadInfo(hr);
}

std::optional<LockHolder> FindLockHolder(const _ConnectionPtr& connection, const LockKey& key) {
  CString sql;
  sql.Format(L"SELECT workstation, username FROM kd_blokada WHERE obid=%ld AND obextra=%ld AND obtype=%ld", key.id,
             key.extra, key.type);
  _RecordsetPtr rs = connection->Execute(_bstr_t(sql.GetString()), nullptr, adCmdText);
  if (rs->GetadoEOF()) return std::nullopt;
  FieldsPtr fields = rs->GetFields();
  return LockHolder{ValueText(fields->GetItem(_variant_t(LONG{0}))->GetValue()),
                    ValueText(fields->GetItem(_variant_t(LONG{1}))->GetValue())};
}

void TellLockHolder(const LockKey& key, const std::optional<LockHolder>& holder) {
  if (!holder) {
    Write(stderr, L"Blokada jest już zwolniona; można spróbować ponownie.\n");
    return;
  }
  CString command;
  command.Format(L"vantor unlock %ld %ld", key.type, key.id);
  if (key.extra != 0) command.AppendFormat(L" %ld", key.extra);
  Write(stderr, L"Blokadę trzyma stanowisko " + holder->workstation + L", użytkownik " + holder->user +
                    L".\nJeśli program na tym stanowisku już nie działa (blokada została po jego przerwaniu), "
                    L"usuwa ją: " + command.GetString() + L"\n");
}

std::wstring ValueText(const VARIANT& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return std::wstring();
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR)) || !text.bstrVal) return std::wstring();
  return text.bstrVal;
}

int ReportFailure(const std::wstring& what, HRESULT hr, const std::wstring& description, const LockKey* lock) {
  const wchar_t* reason = nullptr;
  if (hr == DB_E_ABORTLIMITREACHED) reason = L"baza danych jest zajęta przez inny program";
  if (hr == static_cast<HRESULT>(0x80040E09)) reason = L"brak uprawnień do zmiany bazy danych";
  CString code;
  code.Format(L" (błąd 0x%08X)", static_cast<unsigned>(hr));
  std::wstring text = L"vantor: " + what + (reason ? std::wstring(L": ") + reason : L"") + code.GetString() + L"\n";
  CString lines(description.c_str());
  lines.Replace(L"\r\n", L"\n");
  lines.Trim();
  if (!lines.IsEmpty()) text += L"Szczegóły: " + std::wstring(lines.GetString()) + L"\n";
  Write(stderr, text);
  if (lock && hr == kLockRefused) {
    std::optional<LockHolder> holder;
    try {
      if (Host* host = Host::Current()) holder = FindLockHolder(host->Connection(), *lock);
      TellLockHolder(*lock, holder);
    } catch (const _com_error&) {
      // The lock table cannot be read: the failure is told as it is.
    }
  }
  return 1;
}

int ReportFailure(const std::wstring& what, HRESULT hr, const LockKey* lock) {
  std::wstring description;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text) description = text;
    SysFreeString(text);
    info->Release();
  }
  return ReportFailure(what, hr, description, lock);
}

}  // namespace host
