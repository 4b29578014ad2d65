// BSTR allocation rules, _bstr_t sharing and conversions, GUID text.
#include <gtest/gtest.h>

#include "platform/com/com.h"

TEST(Bstr, LengthPrefixAndNullMeansEmpty) {
  BSTR s = SysAllocString(L"abc");
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 3u * sizeof(OLECHAR));
  EXPECT_EQ(s[3], L'\0');
  SysFreeString(s);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);

  // Embedded nulls survive: the length comes from the prefix.
  BSTR z = SysAllocStringLen(L"a\0b", 3);
  EXPECT_EQ(SysStringLen(z), 3u);
  EXPECT_EQ(z[2], L'b');
  // Uninitialised content of the requested length, always terminated.
  BSTR blank = SysAllocStringLen(nullptr, 4);
  EXPECT_EQ(SysStringLen(blank), 4u);
  EXPECT_EQ(blank[4], L'\0');
  EXPECT_TRUE(SysReAllocString(&z, L"xy"));
  EXPECT_EQ(SysStringLen(z), 2u);
  SysFreeString(z);
  SysFreeString(blank);

  // Byte strings: odd lengths keep their exact byte count.
  BSTR bytes = SysAllocStringByteLen("hello", 5);
  EXPECT_EQ(SysStringByteLen(bytes), 5u);
  EXPECT_EQ(std::memcmp(bytes, "hello", 5), 0);
  SysFreeString(bytes);
}

TEST(BstrT, SharingCopyAttachDetach) {
  _bstr_t a(L"Zażółć");
  _bstr_t b = a;  // shares the same BSTR
  EXPECT_EQ(static_cast<const wchar_t*>(a), static_cast<const wchar_t*>(b));
  b += L"!";
  EXPECT_EQ(a, _bstr_t(L"Zażółć"));
  EXPECT_EQ(b, _bstr_t(L"Zażółć!"));
  EXPECT_EQ(b.length(), 7u);

  BSTR copy = a.copy();
  EXPECT_NE(copy, static_cast<const wchar_t*>(a));
  EXPECT_EQ(std::wcscmp(copy, L"Zażółć"), 0);
  SysFreeString(copy);

  _bstr_t owner;
  owner.Attach(SysAllocString(L"own"));
  BSTR raw = owner.Detach();
  EXPECT_EQ(owner.length(), 0u);
  EXPECT_TRUE(!owner);
  SysFreeString(raw);

  // Detach of a shared string leaves the other holder intact.
  _bstr_t first(L"shared");
  _bstr_t second = first;
  BSTR detached = second.Detach();
  EXPECT_EQ(first, _bstr_t(L"shared"));
  EXPECT_EQ(std::wcscmp(detached, L"shared"), 0);
  SysFreeString(detached);

  _bstr_t out(L"old");
  *out.GetAddress() = SysAllocString(L"new");
  EXPECT_EQ(out, _bstr_t(L"new"));
}

TEST(BstrT, NarrowFormIsUtf8AndComparisonsUseLength) {
  _bstr_t pl("Łódź");
  EXPECT_EQ(pl.length(), 4u);
  EXPECT_STREQ(static_cast<const wchar_t*>(pl), L"Łódź");
  EXPECT_STREQ(static_cast<const char*>(pl), "Łódź");
  // Invalid UTF-8 becomes the replacement character instead of being lost.
  _bstr_t bad("a\xff" "b");
  EXPECT_EQ(bad.length(), 3u);
  EXPECT_EQ(static_cast<const wchar_t*>(bad)[1], L'\xFFFD');
  // One replacement per broken sequence, the byte that broke it is read again.
  EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t("\xE2\x82x\xF0\x9F\x98")), L"\xFFFDx\xFFFD");
  // A surrogate pair held in two wide characters is one character in UTF-8; a lone one is not kept.
  const wchar_t pair[] = {L'a', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xDC00), 0};
  EXPECT_STREQ(static_cast<const char*>(_bstr_t(pair)), "a\xF0\x9F\x98\x80\xEF\xBF\xBD");

  _bstr_t empty;
  _bstr_t emptyText(L"");
  EXPECT_TRUE(empty == emptyText);  // null and "" compare equal
  EXPECT_EQ(static_cast<const wchar_t*>(empty), nullptr);
  EXPECT_FALSE(!emptyText);  // a non-null empty string is not "null"
  EXPECT_TRUE(_bstr_t(L"ab") < _bstr_t(L"abc"));
  EXPECT_TRUE(_bstr_t(L"b") > _bstr_t(L"abc"));
  EXPECT_TRUE(_bstr_t(L"x") == L"x");
  EXPECT_EQ(_bstr_t(L"a") + _bstr_t(L"b"), _bstr_t(L"ab"));
  EXPECT_EQ(L"<" + _bstr_t(L"b"), _bstr_t(L"<b"));
}

TEST(GuidText, RoundTripAndMalformedText) {
  constexpr GUID g = platform::com::GuidFromText("{A89E69A2-9AE6-4B97-9C59-098172FEBB4B}");
  OLECHAR buf[39];
  ASSERT_EQ(StringFromGUID2(g, buf, 39), 39);
  EXPECT_STREQ(buf, L"{A89E69A2-9AE6-4B97-9C59-098172FEBB4B}");
  EXPECT_EQ(StringFromGUID2(g, buf, 38), 0);

  GUID back;
  ASSERT_EQ(CLSIDFromString(L"{a89e69a2-9ae6-4b97-9c59-098172febb4b}", &back), S_OK);
  EXPECT_EQ(back, g);
  EXPECT_EQ(IIDFromString(L"{A89E69A2-9AE6-4B97-9C59-098172FEBB4}", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(IIDFromString(L"A89E69A2-9AE6-4B97-9C59-098172FEBB4B", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(IIDFromString(L"{A89E69A2-9AE6-4B97-9C59-098172FEBB4G}", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(L"No.Such.ProgId", &back), CO_E_CLASSSTRING);

  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(g, &text), S_OK);
  EXPECT_STREQ(text, L"{A89E69A2-9AE6-4B97-9C59-098172FEBB4B}");
  CoTaskMemFree(text);

  GUID a, b;
  CoCreateGuid(&a);
  CoCreateGuid(&b);
  EXPECT_NE(a, b);
}

namespace uuid_tests {
struct IThing;
VANTOR_UUIDOF(IThing, "11111111-2222-3333-4444-555555555555");
}  // namespace uuid_tests

TEST(GuidText, UuidofWorksInAnyNamespaceAndAsConstant) {
  static_assert(__uuidof(uuid_tests::IThing).Data1 == 0x11111111);
  constexpr const GUID* address = &__uuidof(uuid_tests::IThing);
  EXPECT_EQ(address->Data4[7], 0x55);
  EXPECT_EQ(__uuidof(IUnknown), platform::com::GuidFromText("00000000-0000-0000-C000-000000000046"));
  EXPECT_EQ(&__uuidof(uuid_tests::IThing), &__uuidof(uuid_tests::IThing*));
}
