#include <gtest/gtest.h>

#include "platform/strings/strings.h"

using platform::Cp1250ToWide;
using platform::Utf8ToWide;
using platform::WideToCp1250;
using platform::WideToUtf8;

TEST(Utf8, RoundTripsIncludingCharactersAboveBmp) {
  std::wstring text = L"Zażółć gęślą jaźń € \U0001F600 \U0010FFFF";
  std::string utf8 = WideToUtf8(text);
  EXPECT_EQ(utf8, "Zażółć gęślą jaźń € \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF");
  EXPECT_EQ(Utf8ToWide(utf8), text);
  EXPECT_EQ(Utf8ToWide(static_cast<const char*>(nullptr)), L"");
  EXPECT_EQ(WideToUtf8(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
  const std::wstring R(1, 0xFFFD);
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a" + R + L"b");
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), R + R);                    // overlong
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), R + R + R);            // encoded surrogate
  EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), R + R + R + R);    // above U+10FFFF
  EXPECT_EQ(Utf8ToWide("\xE2\x82"), R);                        // truncated sequence at the end
  EXPECT_EQ(Utf8ToWide("\xE2\x82x"), R + L"x");                // truncated, then ASCII survives
  EXPECT_EQ(Utf8ToWide("\x80\x80"), R + R);                    // stray continuation bytes
  EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(Utf8, SurrogatesInWideTextAreJoinedOrReplaced) {
  std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  EXPECT_EQ(WideToUtf8(pair), "\xF0\x9F\x98\x80");
  std::wstring lone = {L'a', static_cast<wchar_t>(0xDC00), L'b'};
  EXPECT_EQ(WideToUtf8(lone), "a\xEF\xBF\xBD" "b");
  std::wstring tooBig = {static_cast<wchar_t>(0x110000)};
  EXPECT_EQ(WideToUtf8(tooBig), "\xEF\xBF\xBD");
  std::u16string units = platform::WideToUtf16(L"a\U0001D11E");
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[1], 0xD834);
  EXPECT_EQ(units[2], 0xDD1E);
  std::uint16_t raw[] = {0x61, 0xD834, 0xDD1E, 0xD834};
  EXPECT_EQ(platform::Utf16ToWide(raw, 4), L"a\U0001D11E\xFFFD");
}

TEST(Cp1250, PolishLettersAndPunctuationBothWays) {
  const char bytes[] = "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF\x80\x84\x94\x96";
  std::wstring wide = L"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ€„”–";
  EXPECT_EQ(Cp1250ToWide(bytes), wide);
  EXPECT_EQ(WideToCp1250(wide), bytes);
  // Every byte survives a round trip, including the five the code page leaves undefined.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(WideToCp1250(Cp1250ToWide(all)), all);
}

TEST(Cp1250, UnmappableCharactersBecomeQuestionMarks) {
  bool usedDefault = false;
  EXPECT_EQ(WideToCp1250(L"a€\U0001F600ж", &usedDefault), "a\x80??");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideToCp1250(L"ok", &usedDefault), "ok");
  EXPECT_FALSE(usedDefault);
}

TEST(WindowsConversionCalls, SizesTerminatorsAndFailures) {
  // -1 includes the terminator; 0 asks for the size.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "żółw", -1, nullptr, 0), 5);
  wchar_t w[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "żółw", -1, w, 8), 5);
  EXPECT_STREQ(w, L"żółw");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", 2, w, 8), 2);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "żółw", -1, w, 3), 0);  // too small: nothing claimed
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, w, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, w, 8), 2);
  EXPECT_EQ(w[1], static_cast<wchar_t>(0xFFFD));
  EXPECT_EQ(MultiByteToWideChar(1250, 0, "\xB3", 1, w, 8), 1);
  EXPECT_EQ(w[0], L'ł');
  EXPECT_EQ(MultiByteToWideChar(932, 0, "a", 1, w, 8), 0);  // unsupported code page

  char a[16];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"łą", -1, nullptr, 0, nullptr, nullptr), 5);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"łą", -1, a, 16, nullptr, nullptr), 5);
  EXPECT_STREQ(a, "łą");
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(1250, 0, L"łж", 2, a, 16, "_", &used), 2);
  EXPECT_EQ(std::string(a, 2), "\xB3_");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, a, 2, nullptr, nullptr), 0);
}

TEST(ConversionClasses, CodePagesAndNull) {
  EXPECT_STREQ(static_cast<LPSTR>(CW2A(L"żółw")), "żółw");
  EXPECT_STREQ(static_cast<LPSTR>(CW2A(L"żółw", 1250)), "\xBF\xF3\xB3w");
  EXPECT_STREQ(static_cast<LPWSTR>(CA2W("\xBF\xF3\xB3w", 1250)), L"żółw");
  EXPECT_STREQ(static_cast<LPWSTR>(CA2T("żółw")), L"żółw");
  EXPECT_STREQ(static_cast<LPSTR>(CT2A(L"x")), "x");
  EXPECT_STREQ(static_cast<LPWSTR>(CW2T(L"y")), L"y");
  EXPECT_STREQ(static_cast<LPSTR>(CW2A(nullptr)), "");
  EXPECT_STREQ(W2A(L"ąę"), "ąę");
}
