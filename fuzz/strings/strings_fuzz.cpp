// Fuzzes the string layer with arbitrary bytes. The first byte picks the area; the checks are
// properties that must hold for every input (no crash, round trips, bounds).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/strings/strings.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Conversions(std::string_view bytes) {
  std::wstring wide = platform::Utf8ToWide(bytes);
  std::string utf8 = platform::WideToUtf8(wide);
  Check(platform::Utf8ToWide(utf8) == wide);  // decoding is stable after one pass
  std::wstring from1250 = platform::Cp1250ToWide(bytes);
  Check(platform::WideToCp1250(from1250) == std::string(bytes));
  std::u16string units = platform::WideToUtf16(wide);
  std::vector<std::uint16_t> raw(units.begin(), units.end());
  Check(platform::Utf16ToWide(raw.data(), raw.size()) == wide);
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  Check(bytes.empty() ? n == 0 : n == static_cast<int>(wide.size()));
}

void Messages(std::string_view bytes) {
  std::wstring format = platform::Utf8ToWide(bytes);
  // Every slot is a valid string, so any insert spec the formatter accepts reads safely.
  static const wchar_t* texts[] = {L"a", L"żółw", L"", L"%1", L"x%%y"};
  DWORD_PTR args[99];
  for (size_t i = 0; i < 99; ++i) args[i] = reinterpret_cast<DWORD_PTR>(texts[i % 5]);
  std::wstring out;
  platform::FormatMessageArray(format.c_str(), args, 99, out);
  platform::FormatMessageArray(format.c_str(), args, 2, out);
  wchar_t buf[64];
  FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format.c_str(), 0, 0, buf, 64,
                 reinterpret_cast<va_list*>(args));
}

void Editing(std::string_view bytes) {
  CString s(std::string(bytes).c_str());
  CString copy = s;
  int pos = 0;
  int guard = 0;
  for (CString t = s.Tokenize(L";, ", pos); pos != -1 && guard < 10000; t = s.Tokenize(L";, ", pos), ++guard)
    Check(t.GetLength() <= s.GetLength());
  s.Replace(L"a", L"bb");
  s.Replace(L'ż', L'z');
  s.Trim();
  s.MakeUpper();
  s.MakeLower();
  s.MakeReverse();
  Check(copy.Mid(3, 5).GetLength() <= 5);
  Check(copy.Left(4).GetLength() <= 4);
  Check(copy.Right(4).GetLength() <= 4);
  copy.Insert(copy.GetLength() / 2, L"xx");
  copy.Delete(1, 3);
  (void)copy.CompareNoCase(s);
  (void)copy.Collate(s);
  CStringA narrow(copy);
  Check(CString(narrow).GetLength() >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0:
      Conversions(bytes);
      break;
    case 1:
      Messages(bytes);
      break;
    default:
      Editing(bytes);
      break;
  }
  return 0;
}
