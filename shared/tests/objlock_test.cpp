// The object lock between workstations, on a real product database.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

#include "host/schema.h"
#include "platform/resources/resources.h"
#include "shared/objlock.h"
#include "shared/tests/fixture.h"
#include "testing/support/waits.h"

namespace {

constexpr HRESULT kLocked = static_cast<HRESULT>(0x80040F19u);

class ObjectLock : public testutil::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::UpgradeSchema(cn);
  }
  IFlgDataFactory* Factory() { return static_cast<IFlgDataFactory*>(host->instance); }
  LONG Rows(const wchar_t* where = L"1 = 1") {
    _RecordsetPtr rs;
    std::wstring sql = std::wstring(L"SELECT COUNT(*) FROM kd_blokada WHERE ") + where;
    EXPECT_EQ(OpenRS(rs, cn, sql.c_str()), S_OK);
    return rs ? static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()) : -1;
  }
  std::wstring Column(const wchar_t* column) {
    _RecordsetPtr rs;
    std::wstring sql = std::wstring(L"SELECT ") + column + L" FROM kd_blokada";
    EXPECT_EQ(OpenRS(rs, cn, sql.c_str()), S_OK);
    if (!rs || rs->GetadoEOF()) return L"<none>";
    return static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()));
  }
};

TEST_F(ObjectLock, TakesTheKeyOnceAndReleasesItWithTheObject) {
  {
    CHxObjectLock lock(kLocked);
    EXPECT_EQ(lock.GetErrorMessage(), CString(L"Nie można zablokować obiektu."));
    ASSERT_EQ(lock.Acquire(Factory(), 726, 11, 0), S_OK);
    EXPECT_TRUE(lock.IsHeld());
    // A second Acquire on the same object inserts nothing and succeeds.
    EXPECT_EQ(lock.Acquire(Factory(), 726, 11, 0), S_OK);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Rows(L"obtype = 726 AND obid = 11 AND obextra = 0"), 1);
    EXPECT_EQ(Column(L"username"), L"Szef");
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &size));
    EXPECT_EQ(Column(L"workstation"), computer);
    EXPECT_LE(Column(L"workstation").size(), 15u);
  }
  EXPECT_EQ(Rows(), 0);  // the destructor deleted the row
}

TEST_F(ObjectLock, SecondHolderIsRefusedWithTheDatabaseExplanation) {
  auto first = std::make_unique<CHxObjectLock>(kLocked);
  ASSERT_EQ(first->Acquire(Factory(), 5, 42, 0), S_OK);
  CHxObjectLock second(kLocked);
  EXPECT_EQ(second.Acquire(Factory(), 5, 42, 0), kLocked);
  EXPECT_FALSE(second.IsHeld());
  const CString message = second.GetErrorMessage();
  EXPECT_FALSE(message.IsEmpty());
  EXPECT_NE(message, CString(L"Nie można zablokować obiektu."));
  // The refused object never deletes the holder's row.
  EXPECT_EQ(second.Release(), S_OK);
  EXPECT_EQ(Rows(L"obid = 42"), 1);
  // Other keys are free: the extra id and the type are part of the key.
  CHxObjectLock extra(kLocked), type(kLocked);
  EXPECT_EQ(extra.Acquire(Factory(), 5, 42, 1), S_OK);
  EXPECT_EQ(type.Acquire(Factory(), 6, 42, 0), S_OK);
  first.reset();
  EXPECT_EQ(second.Acquire(Factory(), 5, 42, 0), S_OK);
  EXPECT_EQ(Rows(L"obid = 42"), 3);
}

TEST_F(ObjectLock, ReleaseWithoutAcquireDoesNothing) {
  CHxObjectLock lock(kLocked);
  EXPECT_EQ(lock.Release(), S_OK);
  EXPECT_FALSE(lock.IsHeld());
  EXPECT_EQ(Rows(), 0);
}

TEST_F(ObjectLock, UnrelatedFailureKeepsItsCodeAndTheDefaultMessage) {
  testutil::Exec(cn, L"DROP TABLE kd_blokada");
  CHxObjectLock lock(kLocked);
  EXPECT_EQ(lock.Acquire(Factory(), 726, 1, 0), DB_E_NOTABLE);
  EXPECT_FALSE(lock.IsHeld());
  EXPECT_EQ(lock.GetErrorMessage(), CString(L"Nie można zablokować obiektu."));
  // A refusal code other than the usual one is what a refusal gives, not other failures.
  CHxObjectLock other(E_ACCESSDENIED);
  EXPECT_EQ(other.LockRow(nullptr, L"A", L"B", 1, 2, 3), E_POINTER);
}

TEST_F(ObjectLock, FailedDeleteStaysHeldAndTheDestructorRetries) {
  {
    CHxObjectLock lock(kLocked);
    ASSERT_EQ(lock.Acquire(Factory(), 726, 10, 0), S_OK);
    testutil::Exec(cn, L"ALTER TABLE kd_blokada RENAME TO kd_blokada_aside");
    EXPECT_EQ(lock.Release(), DB_E_NOTABLE);
    EXPECT_TRUE(lock.IsHeld());
    testutil::Exec(cn, L"ALTER TABLE kd_blokada_aside RENAME TO kd_blokada");
    EXPECT_EQ(Rows(), 1);
  }
  EXPECT_EQ(Rows(), 0);
}

TEST_F(ObjectLock, ApostrophesInNamesAreStoredNotRefused) {
  host->instance->userName = L"O'Brien";
  CHxObjectLock byUser(kLocked);
  ASSERT_EQ(byUser.Acquire(Factory(), 1, 1, 0), S_OK);
  EXPECT_EQ(Column(L"username"), L"O'Brien");
  ASSERT_EQ(byUser.Release(), S_OK);

  CHxObjectLock byBoth(kLocked);
  ASSERT_EQ(byBoth.LockRow(cn, L"KASA'1", L"d'Artagnan ''x", 1, 2, 0), S_OK);
  EXPECT_EQ(Column(L"workstation"), L"KASA'1");
  EXPECT_EQ(Column(L"username"), L"d'Artagnan ''x");
  // The same names on the same key are a real refusal, not a statement error.
  CHxObjectLock again(kLocked);
  EXPECT_EQ(again.LockRow(cn, L"KASA'1", L"d'Artagnan ''x", 1, 2, 0), kLocked);
}

TEST_F(ObjectLock, BadFactoryRaisesAndInsertsNothing) {
  CHxObjectLock lock(kLocked);
  try {
    lock.Acquire(nullptr, 1, 1, 0);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
  }
  host->recorder->FailOn(L"IFlgDataFactory::GetConnectionObject", E_FAIL, 1);
  EXPECT_THROW(lock.Acquire(Factory(), 1, 1, 0), _com_error);
  host->recorder->FailOn(L"IHxUser::GetUserName", E_OUTOFMEMORY, 1);
  EXPECT_THROW(lock.Acquire(Factory(), 1, 1, 0), _com_error);
  EXPECT_EQ(Rows(), 0);
  EXPECT_FALSE(lock.IsHeld());
  // A factory without the user interface locks with an empty user name.
  host->instance->hidden.insert(L"IHxUser");
  ASSERT_EQ(lock.Acquire(Factory(), 1, 1, 0), S_OK);
  EXPECT_EQ(Column(L"username"), L"");
}

// Two processes take and release one key many times; the database's key keeps them apart.
TEST_F(ObjectLock, TwoProcessesNeverHoldOneKeyTogether) {
  struct Shared {
    std::atomic<int> holders;
    std::atomic<int> overlaps;
    std::atomic<int> errors;
    std::atomic<int> taken[2];
  };
  void* memory = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  auto* shared = new (memory) Shared{};
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = ::fork();
    ASSERT_GE(children[child], 0);
    if (children[child] != 0) continue;
    ::close(ready[0]);
    ::close(go[1]);
    int status = 0;
    try {
      _ConnectionPtr own = db.Open();
      doubles::HostDoubles doubles;
      doubles.instance->connection = own;
      doubles.instance->userName = child == 0 ? L"pierwszy" : L"drugi";
      auto* factory = static_cast<IFlgDataFactory*>(doubles.instance);
      // Both start together (each says it is ready and is told to go once both are); each goes
      // on until it took the lock 50 times.
      char word = 'r';
      if (::write(ready[1], &word, 1) != 1 || !testutil::ReadFor(go[0], &word, 1, 60000)) ::_exit(4);
      for (int round = 0; round < 20000 && shared->taken[child].load() < 50; ++round) {
        CHxObjectLock lock(kLocked);
        const HRESULT hr = lock.Acquire(factory, 726, 11, 0);
        if (hr == S_OK) {
          if (shared->holders.fetch_add(1) != 0) ++shared->overlaps;
          ::usleep(200);
          shared->holders.fetch_sub(1);
          if (lock.Release() != S_OK) ++shared->errors;
          ++shared->taken[child];
          ::usleep(100);
        } else if (hr != kLocked) {
          ++shared->errors;
        }
      }
    } catch (...) {
      status = 3;
    }
    ::_exit(status);
  }
  ::close(ready[1]);
  ::close(go[0]);
  char words[2];
  EXPECT_TRUE(testutil::ReadFor(ready[0], words, 2, 60000)) << "a process did not get ready";
  EXPECT_EQ(::write(go[1], "gg", 2), 2);
  ::close(ready[0]);
  ::close(go[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(shared->overlaps.load(), 0);
  EXPECT_EQ(shared->errors.load(), 0);
  EXPECT_EQ(shared->taken[0].load(), 50);
  EXPECT_EQ(shared->taken[1].load(), 50);
  EXPECT_EQ(Rows(), 0);
  ::munmap(memory, sizeof(Shared));
}

}  // namespace
