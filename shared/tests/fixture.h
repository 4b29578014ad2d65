#pragma once
// A product database in a temporary file and the host doubles set into the gateway.
#include <gtest/gtest.h>

#include <string>

#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/support/temp_folder.h"

namespace testutil {

// A fresh product database of the test's own (testing/support/test_database.h), removed with the
// object.
class TempDatabase {
 public:
  TempDatabase();
  _ConnectionPtr Open() const;  // a new connection to the database
  const std::wstring& Path() const { return m_path; }  // the database's file or address
  // A file of the test's own beside it (in its folder).
  std::wstring File(const std::wstring& name) const;

 private:
  testtemp::TempFolder m_folder{"vantor-shared-test"};
  std::wstring m_path;
};

void Exec(const _ConnectionPtr& cn, const wchar_t* sql);

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::wstring Last(const wchar_t* method) const;

  TempDatabase db;
  _ConnectionPtr cn;
  std::unique_ptr<doubles::HostDoubles> host;
};

}  // namespace testutil
