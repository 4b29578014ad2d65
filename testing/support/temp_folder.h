#pragma once
// A folder of one test's own under /tmp, made afresh (mkdtemp) and removed with what it holds:
// tests running at once, and files left by a test that was killed, share nothing with it, whatever
// the process ids.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testtemp {

class TempFolder {
 public:
  // `prefix` names the tests in the folder's name ("/tmp/<prefix>-XXXXXX").
  explicit TempFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp " + pattern + " failed");
    m_path = pattern;
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
    EXPECT_FALSE(error) << m_path << ": " << error.message();
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  // A file's path in the folder.
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

}  // namespace testtemp
