#include "shared/hxhelpers.h"

#include <cstring>
#include <string>

#include "platform/strings/strings.h"
#include "shared/resstrings.h"

IStreamPtr hxStreamFromResource(HINSTANCE module, const wchar_t* name, const wchar_t* type) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return nullptr;
  const DWORD size = SizeofResource(module, found);
  const void* bytes = LockResource(LoadResource(module, found));
  if (!bytes) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return nullptr;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory);
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &raw)) || !raw) {
    GlobalFree(memory);
    return nullptr;
  }
  return IStreamPtr(raw, false);
}

IStreamPtr GetEmptyStream() {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 0);
  if (!memory) return nullptr;
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &raw)) || !raw) {
    GlobalFree(memory);
    return nullptr;
  }
  return IStreamPtr(raw, false);
}

_bstr_t GetBodyFromHTML(const _bstr_t& html) {
  const wchar_t* text = static_cast<const wchar_t*>(html);
  if (!text) return html;
  std::wstring lower(text, html.length());
  for (wchar_t& c : lower) c = platform::ToLowerChar(c);
  const size_t open = lower.find(L"<body>");
  const size_t close = lower.find(L"</body>");
  if (open == std::wstring::npos || close == std::wstring::npos || open >= close) return html;
  const size_t start = open + 6;
  return _bstr_t(std::wstring(text + start, close - start).c_str());
}

// --- questions and texts

namespace {

bool AskYesNo(const CString& text) {
  return AfxMessageBox(text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

bool hxNaPewnoUsunac() {
  CString text;
  hxLoadString(text, 1023);
  return AskYesNo(text);
}

bool hxNaPewno(const wchar_t* what) {
  CString text;
  text.Format(L"Czy na pewno %s?", what ? what : L"");
  return AskYesNo(text);
}

int hxIntMessageBox(const wchar_t* format, int value) {
  CString text;
  text.Format(format ? format : L"", value);
  return AfxMessageBox(text, MB_OK);
}

CString hxMessageWithLong(const wchar_t* format, LONG value) {
  CString text;
  text.Format(format ? format : L"", value);
  return text;
}

CString hxFileSizeString(UINT bytes) {
  CString text;
  if (bytes < 1024) {
    text.Format(L"%d B", static_cast<int>(bytes));
    return text;
  }
  if (bytes < 1048576) {
    text.Format(L"%d KB", static_cast<int>(bytes / 1024));
    return text;
  }
  CString value;
  value.Format(L"%f", static_cast<double>(bytes) / 1048576.0);
  wchar_t number[64] = {0};
  if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, value, nullptr, number, 64) > 0) value = number;
  return value + L" MB";
}
