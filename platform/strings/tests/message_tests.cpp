#include <gtest/gtest.h>

#include "platform/strings/strings.h"

namespace {

std::wstring FromString(const wchar_t* format, DWORD flags, ...) {
  va_list ap;
  va_start(ap, flags);
  wchar_t buf[256];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | flags, format, 0, 0, buf, 256, &ap);
  va_end(ap);
  return n == 0 ? L"<failed>" : std::wstring(buf, n);
}

std::wstring FromArray(const wchar_t* format, const DWORD_PTR* args) {
  wchar_t buf[256];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0, buf, 256,
                           reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
  return n == 0 ? L"<failed>" : std::wstring(buf, n);
}

}  // namespace

TEST(FormatMessage, InsertsAndTheirPrintfSpecs) {
  EXPECT_EQ(FromString(L"%1 i %2", 0, L"Ala", L"kot"), L"Ala i kot");
  EXPECT_EQ(FromString(L"%2 przed %1", 0, L"pierwszy", L"drugi"), L"drugi przed pierwszy");
  EXPECT_EQ(FromString(L"%1!ls!/%2!ld!/%3!d!", 0, L"x", -5, 7), L"x/-5/7");
  EXPECT_EQ(FromString(L"%1!S!", 0, "wąs"), L"wąs");
  EXPECT_EQ(FromString(L"%1!5d!|%1!-4d!|%1!04X!", 0, 42), L"   42|42  |002A");
  EXPECT_EQ(FromString(L"%1!I64d! %2", 0, 1LL << 40, L"ok"), L"1099511627776 ok");
  EXPECT_EQ(FromString(L"%1 %1", 0, L"dwa"), L"dwa dwa");  // the same argument twice
  EXPECT_EQ(FromString(L"%10", 0, L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"dziesiąty"), L"dziesiąty");
}

TEST(FormatMessage, EscapesAndTermination) {
  EXPECT_EQ(FromString(L"100%% pewne", 0), L"100% pewne");
  EXPECT_EQ(FromString(L"a%nb", 0), L"a\r\nb");
  EXPECT_EQ(FromString(L"a%rb%tc", 0), L"a\rb\tc");
  EXPECT_EQ(FromString(L"koniec%0 pominięte", 0), L"koniec");
  EXPECT_EQ(FromString(L"%.%!% x", 0), L".! x");
  EXPECT_EQ(FromString(L"zostaje %1 i %2!d!", FORMAT_MESSAGE_IGNORE_INSERTS), L"zostaje %1 i %2!d!");
  EXPECT_EQ(FromString(L"%1!d", 0, 5), L"<failed>");  // unterminated spec
}

TEST(FormatMessage, InsertSpecsThatWouldReadMoreArgumentsAreRefused) {
  // A message text is data (it may come from a translation or a server): a spec with two
  // conversions, a star width or %n would read arguments that were never passed.
  EXPECT_EQ(FromString(L"%1!d%s!", 0, 5), L"<failed>");
  EXPECT_EQ(FromString(L"%1!*d!", 0, 5), L"<failed>");
  EXPECT_EQ(FromString(L"%1!n!", 0, nullptr), L"<failed>");
  EXPECT_EQ(FromString(L"%1!!", 0, 5), L"<failed>");
  EXPECT_EQ(FromString(L"%1!Lf!", 0, 1.5), L"<failed>");
  EXPECT_EQ(FromString(L"%1!.1f!", 0, 1.25), L"1.2");
  EXPECT_EQ(FromString(L"%1!-08.3ld!", 0, 5), L"005     ");
}

TEST(FormatMessage, ArgumentArrayReadsOnlyWhatTheMessageUses) {
  DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(L"jan"), reinterpret_cast<DWORD_PTR>(L"serwis"), 12};
  EXPECT_EQ(FromArray(L"Konto %1 na %2 (%3!lu!)", args), L"Konto jan na serwis (12)");
  DWORD_PTR one[] = {reinterpret_cast<DWORD_PTR>(L"x")};
  EXPECT_EQ(FromArray(L"%1%1", one), L"xx");
  std::wstring out;
  EXPECT_FALSE(platform::FormatMessageArray(L"%2", one, 1, out));  // missing argument refused
  // A 32-bit spec keeps the low half of its slot, a 64-bit one the whole slot.
  DWORD_PTR wide[] = {reinterpret_cast<DWORD_PTR>(L"jan"), static_cast<DWORD_PTR>(0x100000007ULL)};
  EXPECT_TRUE(platform::FormatMessageArray(L"%1 %2!d! %2!I64d!", wide, 2, out));
  EXPECT_EQ(out, L"jan 7 4294967303");
}

TEST(FormatMessage, BuffersAllocationAndSystemTexts) {
  wchar_t small[4];
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING, L"za długie", 0, 0, small, 4, nullptr), 0u);
  LPWSTR allocated = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                           L"przydzielone %1", 0, 0, reinterpret_cast<LPWSTR>(&allocated), 0, nullptr);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(std::wstring(allocated, n), L"przydzielone %1");
  EXPECT_EQ(LocalFree(allocated), nullptr);

  wchar_t buf[256];
  n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, buf, 256, nullptr);
  ASSERT_GT(n, 2u);
  EXPECT_EQ(std::wstring(buf + n - 2), L"\r\n");
  EXPECT_EQ(platform::SystemMessageText(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))),
            platform::SystemMessageText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x12345678, 0, buf, 256, nullptr), 0u);
  platform::RegisterSystemMessage(0x12345678, L"własny komunikat %1");
  n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 0x12345678, 0, buf, 256, nullptr);
  EXPECT_EQ(std::wstring(buf, n), L"własny komunikat %1\r\n");
  n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
                     0x12345678, 0, buf, 256, nullptr);
  EXPECT_EQ(std::wstring(buf, n), L"własny komunikat %1 ");
  n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                     L"a\r\nb\nc", 0, 0, buf, 256, nullptr);
  EXPECT_EQ(std::wstring(buf, n), L"a b c");
  platform::RegisterSystemMessage(0x12345678, nullptr);
}
