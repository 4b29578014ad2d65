// File handles, reads with their read-ahead, sizes and positions, the temporary folder.
#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantor-files-XXXXXX";
    folder = mkdtemp(pattern);
  }
  void TearDown() override {
    platform::files::ClearReadErrors();
    platform::files::SetTempFolder(L"");
    fs::remove_all(folder);
  }
  std::wstring W(const std::string& s) const { return std::wstring(s.begin(), s.end()); }
  std::string folder;
};

TEST_F(Files, SmallReadsSeeTheWholeFileInOrder) {
  std::string bytes(200000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
  std::ofstream(folder + "/f.bin", std::ios::binary) << bytes;
  // The folder texts of the system use backslashes.
  const std::wstring path = W(folder) + L"\\f.bin";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size{};
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, 200000);
  DWORD high = 1;
  EXPECT_EQ(GetFileSize(h, &high), 200000u);
  EXPECT_EQ(high, 0u);
  std::string read;
  char block[512];
  DWORD n = 0;
  while (ReadFile(h, block, 500, &n, nullptr) && n > 0) read.append(block, n);
  EXPECT_EQ(read, bytes);
  // A seek forgets what was read ahead.
  LARGE_INTEGER at{};
  at.QuadPart = 1000;
  ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
  ASSERT_TRUE(ReadFile(h, block, 10, &n, nullptr));
  EXPECT_EQ(std::string(block, n), bytes.substr(1000, 10));
  at.QuadPart = -5;
  LARGE_INTEGER now{};
  ASSERT_TRUE(SetFilePointerEx(h, at, &now, FILE_CURRENT));
  EXPECT_EQ(now.QuadPart, 1005);
  at.QuadPart = -20000;
  EXPECT_FALSE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_FALSE(ReadFile(h, block, 10, &n, nullptr));
}

TEST_F(Files, WritingCreatingAndDeleting) {
  const std::wstring path = W(folder + "/nowy.txt");
  EXPECT_EQ(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "zażółć", 10, &written, nullptr));
  EXPECT_EQ(written, 10u);
  CloseHandle(h);
  EXPECT_EQ(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(fs::file_size(folder + "/nowy.txt"), 10u);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  // A folder, a null or an empty path is no file.
  EXPECT_EQ(CreateFileW(W(folder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileW(L"", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(Files, AnInjectedReadErrorFailsAtItsOffset) {
  std::ofstream(folder + "/f.bin", std::ios::binary) << std::string(100000, 'x');
  const std::wstring path = W(folder + "/f.bin");
  platform::files::InjectReadError(path, 70000);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<char> buffer(50000);
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, buffer.data(), 50000, &n, nullptr));
  EXPECT_EQ(n, 50000u);
  EXPECT_FALSE(ReadFile(h, buffer.data(), 50000, &n, nullptr));
  EXPECT_EQ(n, 20000u);
  CloseHandle(h);
}

TEST_F(Files, TheTemporaryFolderFollowsAFixedRule) {
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(GetTempPathW(MAX_PATH, buffer), 5u);
  EXPECT_STREQ(buffer, L"/tmp/");
  platform::files::SetTempFolder(W(folder));
  const DWORD n = GetTempPathW(MAX_PATH, buffer);
  EXPECT_EQ(std::wstring(buffer), W(folder) + L"/");
  EXPECT_EQ(n, folder.size() + 1);
  wchar_t small[4];
  EXPECT_EQ(GetTempPathW(4, small), n + 1);   // the length needed
  EXPECT_EQ(platform::files::NativePath(L"a\\b/c"), "a/b/c");
}

}  // namespace
