#pragma once
// A folder of one test's own under /tmp, made afresh (mkdtemp) and removed with what it holds:
// tests running at once, and files left by a test that was killed, share nothing with it, whatever
// the process ids.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "testing/support/test_database.h"

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
    m_databases.clear();
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
    EXPECT_FALSE(error) << m_path << ": " << error.message();
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  // A file's path in the folder.
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  // The product database of the test (testing/support/test_database.h): the file `name` in the
  // folder, or a database of its own on the PostgreSQL server, gone with the folder. Answers what
  // --db and "Data Source=" take. (The test links test_database: vantor_add_test's DATABASE.)
  std::string Database(const std::string& name = "vantor.db") {
    auto database = std::make_shared<testdb::Database>(m_path, name);
    m_databases.push_back(database);
    return database->Source();
  }

 private:
  std::string m_path;
  std::vector<std::shared_ptr<void>> m_databases;
};

}  // namespace testtemp
