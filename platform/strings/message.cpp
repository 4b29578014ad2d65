#include "platform/strings/message.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>

#include "platform/strings/format.h"

namespace platform {
namespace {

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}

std::map<DWORD, std::wstring>& SystemTable() {
  static std::map<DWORD, std::wstring> table = {
      {ERROR_SUCCESS, L"Operacja ukończona pomyślnie."},
      {ERROR_FILE_NOT_FOUND, L"Nie można odnaleźć określonego pliku."},
      {ERROR_ACCESS_DENIED, L"Odmowa dostępu."},
      {ERROR_INVALID_HANDLE, L"Nieprawidłowe dojście."},
      {ERROR_NOT_ENOUGH_MEMORY, L"Za mało pamięci do przetworzenia tego polecenia."},
      {ERROR_INVALID_PARAMETER, L"Parametr jest niepoprawny."},
      {ERROR_INSUFFICIENT_BUFFER, L"Obszar danych przekazany do wywołania systemowego jest za mały."},
      {ERROR_MORE_DATA, L"Więcej danych jest dostępnych."},
      {ERROR_NO_MORE_ITEMS, L"Brak dalszych danych."},
      {ERROR_CANCELLED, L"Operacja została anulowana przez użytkownika."},
      {static_cast<DWORD>(E_FAIL), L"Nieokreślony błąd"},
      {static_cast<DWORD>(E_UNEXPECTED), L"Błąd katastrofalny"},
      {static_cast<DWORD>(E_NOTIMPL), L"Nie zaimplementowano"},
      {static_cast<DWORD>(E_OUTOFMEMORY), L"Za mało pamięci do ukończenia tej operacji."},
      {static_cast<DWORD>(E_INVALIDARG), L"Parametr jest niepoprawny."},
      {static_cast<DWORD>(E_NOINTERFACE), L"Ten interfejs nie jest obsługiwany"},
      {static_cast<DWORD>(E_POINTER), L"Nieprawidłowy wskaźnik"},
      {static_cast<DWORD>(E_HANDLE), L"Nieprawidłowe dojście."},
      {static_cast<DWORD>(E_ABORT), L"Operacja przerwana"},
      {static_cast<DWORD>(E_ACCESSDENIED), L"Odmowa dostępu."},
      {static_cast<DWORD>(REGDB_E_CLASSNOTREG), L"Klasa nie jest zarejestrowana"},
      {static_cast<DWORD>(CO_E_CLASSSTRING), L"Nieprawidłowy ciąg klasy"},
      {static_cast<DWORD>(DISP_E_TYPEMISMATCH), L"Niezgodność typów."},
      {static_cast<DWORD>(DISP_E_OVERFLOW), L"Przepełnienie."},
      {static_cast<DWORD>(DISP_E_MEMBERNOTFOUND), L"Nie znaleziono elementu członkowskiego."},
      {static_cast<DWORD>(DISP_E_EXCEPTION), L"Wystąpił wyjątek."},
  };
  return table;
}

MessageLoader g_messageLoader = nullptr;

}  // namespace

void SetMessageLoader(MessageLoader loader) {
  std::lock_guard<std::mutex> lock(TableMutex());
  g_messageLoader = loader;
}

void RegisterSystemMessage(DWORD id, const wchar_t* text) {
  std::lock_guard<std::mutex> lock(TableMutex());
  if (text) SystemTable()[id] = text;
  else SystemTable().erase(id);
}

std::wstring SystemMessageText(DWORD id) {
  std::lock_guard<std::mutex> lock(TableMutex());
  auto& table = SystemTable();
  auto it = table.find(id);
  if (it == table.end() && HRESULT_FACILITY(id) == FACILITY_WIN32 && (id & 0x80000000u))
    it = table.find(HRESULT_CODE(id));  // HRESULT_FROM_WIN32 codes share the Win32 text
  return it == table.end() ? std::wstring() : it->second;
}

}  // namespace platform

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  void* p = std::malloc(bytes ? bytes : 1);
  if (p && (flags & LMEM_ZEROINIT)) std::memset(p, 0, bytes ? bytes : 1);
  return p;
}

HLOCAL LocalFree(HLOCAL mem) {
  std::free(mem);
  return nullptr;
}

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     va_list* arguments) {
  std::wstring text;
  if (flags & FORMAT_MESSAGE_FROM_STRING) {
    if (source == nullptr) return 0;
    text = static_cast<const wchar_t*>(source);
  } else if (flags & FORMAT_MESSAGE_FROM_HMODULE) {
    platform::MessageLoader loader;
    {
      std::lock_guard<std::mutex> lock(platform::TableMutex());
      loader = platform::g_messageLoader;
    }
    bool found = loader && loader(static_cast<HINSTANCE>(const_cast<void*>(source)), messageId, text);
    if (!found && (flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
      text = platform::SystemMessageText(messageId);
      found = !text.empty();
      if (found) text += L"\r\n";
    }
    if (!found) return 0;
  } else if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
    text = platform::SystemMessageText(messageId);
    if (text.empty()) return 0;
    text += L"\r\n";
  } else {
    return 0;
  }

  if ((flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK) {
    // Line breaks of the message text become single spaces; %n still breaks the line.
    std::wstring joined;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'\r' || text[i] == L'\n') {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        joined.push_back(L' ');
      } else {
        joined.push_back(text[i]);
      }
    }
    text.swap(joined);
  }

  std::wstring out;
  if (flags & FORMAT_MESSAGE_IGNORE_INSERTS) {
    out = text;
  } else if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) {
    auto* array = reinterpret_cast<const DWORD_PTR*>(arguments);
    if (!platform::FormatMessageArray(text.c_str(), array, static_cast<size_t>(-1), out)) return 0;
  } else {
    if (!platform::FormatMessageV(text.c_str(), arguments, out)) return 0;
  }

  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    if (buffer == nullptr) return 0;
    size_t units = out.size() + 1;
    if (units < size) units = size;
    auto* mem = static_cast<wchar_t*>(LocalAlloc(LPTR, units * sizeof(wchar_t)));
    if (mem == nullptr) return 0;
    std::wmemcpy(mem, out.c_str(), out.size() + 1);
    *reinterpret_cast<LPWSTR*>(buffer) = mem;
    return static_cast<DWORD>(out.size());
  }
  if (buffer == nullptr || out.size() + 1 > size) return 0;
  std::wmemcpy(buffer, out.c_str(), out.size() + 1);
  return static_cast<DWORD>(out.size());
}
