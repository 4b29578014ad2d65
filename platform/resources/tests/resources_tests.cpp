#include <gtest/gtest.h>

#include <cstring>

#include "platform/resources/resources.h"

// The test program is the application module.
VANTOR_RESOURCE_MODULE(g_app, L"ResTests", platform::ModuleKind::Application,
                       {{1, L"jeden"}, {100, L"z aplikacji"}, {300, L"tylko w aplikacji"}},
                       {{RT_RCDATA, L"Config", "abc", 3}, {RT_HTML, MAKEINTRESOURCEW(5), "<p>", 3}},
                       {{0x1001, L"Konto %1 ma %2!d! aukcji"}})

namespace {

std::vector<std::uint16_t> BlockUnits(HMODULE h, UINT block) {
  HRSRC r = FindResourceW(h, MAKEINTRESOURCEW(block), RT_STRING);
  if (r == nullptr) return {};
  const auto* p = static_cast<const BYTE*>(LockResource(LoadResource(h, r)));
  DWORD size = SizeofResource(h, r);
  std::vector<std::uint16_t> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  return units;
}

// Reads entry `index` of a block the way the string loaders walk it.
std::u16string Entry(const std::vector<std::uint16_t>& units, UINT index) {
  size_t pos = 0;
  for (UINT i = 0; i < index; ++i) pos += 1 + units.at(pos);
  std::u16string out;
  for (size_t k = 0; k < units.at(pos); ++k) out.push_back(static_cast<char16_t>(units.at(pos + 1 + k)));
  return out;
}

}  // namespace

TEST(StringBlocks, SixteenEntriesPerBlockNamedIdOver16PlusOne) {
  platform::ResourceModule mod(L"Blocks", platform::ModuleKind::Library,
                               {{15, L"last of block 1"}, {16, L"first of block 2"}, {18, L""}, {31, L"ż"}});
  HMODULE h = mod.Handle();
  auto block1 = BlockUnits(h, 1);
  ASSERT_FALSE(block1.empty());
  EXPECT_EQ(Entry(block1, 15), u"last of block 1");
  for (UINT i = 0; i < 15; ++i) EXPECT_EQ(Entry(block1, i), u"") << i;
  EXPECT_EQ(block1.size(), 16u + 15u);  // 16 lengths + the text
  auto block2 = BlockUnits(h, 2);
  EXPECT_EQ(Entry(block2, 0), u"first of block 2");
  EXPECT_EQ(Entry(block2, 2), u"");
  EXPECT_EQ(Entry(block2, 15), u"ż");
  EXPECT_EQ(FindResourceW(h, MAKEINTRESOURCEW(3), RT_STRING), nullptr);

  wchar_t buf[64];
  EXPECT_EQ(LoadStringW(h, 15, buf, 64), 15);
  EXPECT_STREQ(buf, L"last of block 1");
  EXPECT_EQ(LoadStringW(h, 16, buf, 64), 16);
  EXPECT_STREQ(buf, L"first of block 2");
  EXPECT_EQ(LoadStringW(h, 18, buf, 64), 0);  // an empty entry is no string
  EXPECT_STREQ(buf, L"");
  EXPECT_EQ(LoadStringW(h, 17, buf, 64), 0);
  EXPECT_EQ(LoadStringW(h, 47, buf, 64), 0);  // a block that does not exist
}

TEST(StringBlocks, CharactersAboveBmpAreStoredAsSurrogatePairs) {
  platform::ResourceModule mod(L"Astral", platform::ModuleKind::Library, {{40, L"a\U0001D11Eb"}});
  auto block = BlockUnits(mod.Handle(), 3);
  std::u16string e = Entry(block, 8);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[1], 0xD834);
  EXPECT_EQ(e[2], 0xDD1E);
  wchar_t buf[8];
  EXPECT_EQ(LoadStringW(mod.Handle(), 40, buf, 8), 3);
  EXPECT_STREQ(buf, L"a\U0001D11Eb");
}

TEST(StringBlocks, WalkerRefusesEntriesThatLeaveTheBlock) {
  std::wstring out;
  // Entry 0 claims 5 units but only 2 follow.
  const BYTE truncated[] = {5, 0, 'a', 0, 'b', 0};
  EXPECT_FALSE(platform::ReadStringBlockEntry(truncated, sizeof truncated, 0, out));
  EXPECT_FALSE(platform::ReadStringBlockEntry(truncated, sizeof truncated, 3, out));
  const BYTE ok[] = {0, 0, 2, 0, 'o', 0, 'k', 0};
  EXPECT_FALSE(platform::ReadStringBlockEntry(ok, sizeof ok, 0, out));
  ASSERT_TRUE(platform::ReadStringBlockEntry(ok, sizeof ok, 1, out));
  EXPECT_EQ(out, L"ok");
  EXPECT_FALSE(platform::ReadStringBlockEntry(ok, sizeof ok, 16, out));
  EXPECT_FALSE(platform::ReadStringBlockEntry(nullptr, 0, 0, out));
}

TEST(LoadStringW, TruncatesAndOffersThePointerForm) {
  HMODULE h = g_app.Handle();
  wchar_t small[4];
  EXPECT_EQ(LoadStringW(h, 100, small, 4), 3);
  EXPECT_STREQ(small, L"z a");
  const wchar_t* p = nullptr;
  int n = LoadStringW(h, 100, reinterpret_cast<LPWSTR>(&p), 0);
  ASSERT_EQ(n, 11);
  EXPECT_EQ(std::wstring(p, static_cast<size_t>(n)), L"z aplikacji");
  const wchar_t* again = nullptr;
  LoadStringW(h, 100, reinterpret_cast<LPWSTR>(&again), 0);
  EXPECT_EQ(p, again);  // stable while the module lives
  EXPECT_EQ(LoadStringW(h, 9999, reinterpret_cast<LPWSTR>(&p), 0), 0);
  EXPECT_EQ(LoadStringW(nullptr, 1, small, 4), 3);  // null is the application
  EXPECT_EQ(LoadStringW(reinterpret_cast<HINSTANCE>(0x1234), 1, small, 4), 0);  // unknown handle
  EXPECT_EQ(LoadString(h, 300, small, 4), 3);  // the generic name
  CString viaMember;
  EXPECT_TRUE(viaMember.LoadString(h, 300));
  EXPECT_EQ(viaMember, L"tylko w aplikacji");
}

TEST(Resources, NamedAndNumberedResourcesOfOtherTypes) {
  HMODULE h = g_app.Handle();
  HRSRC r = FindResourceW(h, L"CONFIG", RT_RCDATA);  // names are case-insensitive
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(SizeofResource(h, r), 3u);
  EXPECT_EQ(std::memcmp(LockResource(LoadResource(h, r)), "abc", 3), 0);
  EXPECT_FALSE(FreeResource(LoadResource(h, r)));
  EXPECT_NE(FindResourceW(h, L"#5", RT_HTML), nullptr);
  EXPECT_NE(FindResourceW(h, MAKEINTRESOURCEW(5), RT_HTML), nullptr);
  EXPECT_EQ(FindResourceW(h, L"config", RT_HTML), nullptr);
  EXPECT_EQ(FindResourceW(h, L"missing", RT_RCDATA), nullptr);
  EXPECT_EQ(SizeofResource(h, nullptr), 0u);
  EXPECT_EQ(LoadResource(h, nullptr), nullptr);
}

TEST(Modules, HandlesByNameAndFileNames) {
  EXPECT_EQ(GetModuleHandleW(nullptr), g_app.Handle());
  HMODULE lib = GetModuleHandleW(L"ResTestMod.dll");
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(GetModuleHandleW(L"restestmod"), lib);
  EXPECT_EQ(GetModuleHandleW(L"/some/dir/libResTestMod.so"), lib);
  EXPECT_EQ(GetModuleHandleW(L"NoSuchModule"), nullptr);

  wchar_t path[4096];
  DWORD n = GetModuleFileNameW(lib, path, 4096);
  ASSERT_GT(n, 0u);
  EXPECT_NE(std::wstring(path).find(L"platform_resources_testmod"), std::wstring::npos);
  wchar_t tiny[5];
  EXPECT_EQ(GetModuleFileNameW(lib, tiny, 5), 5u);
  EXPECT_EQ(std::wcslen(tiny), 4u);
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x10), path, 4096), 0u);

  // The executable's full path names the application module, a library's full path the library.
  ASSERT_GT(GetModuleFileNameW(nullptr, path, 4096), 0u);
  EXPECT_EQ(GetModuleHandleW(path), g_app.Handle());
  ASSERT_GT(GetModuleFileNameW(lib, path, 4096), 0u);
  EXPECT_EQ(GetModuleHandleW(path), lib);
}

TEST(Modules, ResourceAddresses) {
  wchar_t exe[4096];
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, 4096), 0u);
  const std::wstring base = L"res://" + std::wstring(exe);
  std::vector<BYTE> bytes;
  ASSERT_TRUE(platform::ReadResourceUrl(base + L"/#10/config", bytes));  // RT_RCDATA, names without case
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abc");
  ASSERT_TRUE(platform::ReadResourceUrl(base + L"/#5", bytes));  // no type: an HTML resource
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<p>");
  EXPECT_FALSE(platform::ReadResourceUrl(base + L"/#10/Missing", bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(platform::ReadResourceUrl(L"res:///no/such/program/#10/Config", bytes));
  EXPECT_FALSE(platform::ReadResourceUrl(L"http://example.com/#10/Config", bytes));
  EXPECT_FALSE(platform::ReadResourceUrl(L"res://", bytes));
}

TEST(Modules, MessageTablesFeedFormatMessage) {
  wchar_t buf[128];
  DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(L"jan"), 7};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, g_app.Handle(), 0x1001, 0, buf, 128,
                           reinterpret_cast<va_list*>(args));
  ASSERT_GT(n, 0u);
  EXPECT_STREQ(buf, L"Konto jan ma 7 aukcji");
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, g_app.Handle(), 0x1002, 0, buf, 128, nullptr),
            0u);
}
