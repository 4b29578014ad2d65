// Kernel objects, threads and the platform clock, in real time and on the manual clock.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/threads/clock.h"
#include "platform/threads/threads.h"

namespace {

class ManualClock : public ::testing::Test {
 protected:
  void SetUp() override { platform::clock::UseManual(1000); }
  void TearDown() override { platform::clock::UseReal(); }
};

struct Ticker {
  std::atomic<int> ticks{0};
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Ticker() { CloseHandle(stop); }
};

DWORD Tick(LPVOID p) {
  auto* t = static_cast<Ticker*>(p);
  for (int i = 0; i < 5; ++i) {
    if (WaitForSingleObject(t->stop, 20) == WAIT_OBJECT_0) return 7;
    ++t->ticks;
  }
  return 5;
}

TEST(KernelObjects, MutexIsRecursiveForItsOwnerAndRefusedToOthers) {
  HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ReleaseMutex(m), FALSE);   // not owned
  EXPECT_EQ(WaitForSingleObject(m, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  struct Probe {
    HANDLE m;
    DWORD got = 0;
  } probe{m};
  HANDLE t = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
    auto* probe = static_cast<Probe*>(p);
    probe->got = WaitForSingleObject(probe->m, 0);
    return ReleaseMutex(probe->m);
  }, &probe, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 99;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 0u);   // another thread cannot release it
  EXPECT_EQ(probe.got, static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_FALSE(ReleaseMutex(m));
  EXPECT_TRUE(CloseHandle(t));
  EXPECT_TRUE(CloseHandle(m));
  EXPECT_FALSE(CloseHandle(m));
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_FAILED);
  EXPECT_EQ(CreateMutexW(nullptr, FALSE, L"shared"), nullptr);
}

TEST(KernelObjects, AMutexLeftByAnEndedThreadIsAbandoned) {
  HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
  HANDLE t = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD { return WaitForSingleObject(p, INFINITE); }, m, 0, nullptr);
  WaitForSingleObject(t, INFINITE);
  EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_ABANDONED));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ReleaseMutex(m);
  CloseHandle(t);
  CloseHandle(m);
}

TEST(KernelObjects, EventsResetByThemselvesOrByHand) {
  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 1), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(SetEvent(nullptr));
  CloseHandle(automatic);
  CloseHandle(manual);
}

TEST(KernelObjects, ARealTimeThreadRunsItsTicksAndEnds) {
  Ticker ticker;
  HANDLE t = CreateThread(nullptr, 0, Tick, &ticker, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 5u);
  EXPECT_EQ(ticker.ticks, 5);
  EXPECT_EQ(platform::clock::RunningThreads(), 0);
  CloseHandle(t);
}

TEST_F(ManualClock, AThreadWaitsForTheClockAndEachStepReleasesOneTick) {
  Ticker ticker;
  HANDLE t = CreateThread(nullptr, 0, Tick, &ticker, 0, nullptr);
  ASSERT_TRUE(platform::clock::WaitIdle());
  EXPECT_EQ(ticker.ticks, 0);
  ASSERT_TRUE(platform::clock::Step(19));
  EXPECT_EQ(ticker.ticks, 0);
  ASSERT_TRUE(platform::clock::Step(1));
  EXPECT_EQ(ticker.ticks, 1);
  ASSERT_TRUE(platform::clock::Step(20));
  EXPECT_EQ(ticker.ticks, 2);
  EXPECT_EQ(GetTickCount(), 1040u);
  // A signalled object ends the wait without the clock.
  SetEvent(ticker.stop);
  ASSERT_EQ(WaitForSingleObject(t, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(ticker.ticks, 2);
  CloseHandle(t);
}

TEST_F(ManualClock, TheTestsOwnSleepsAndTimedWaitsMoveTheClock) {
  EXPECT_EQ(GetTickCount(), 1000u);
  Sleep(50);
  EXPECT_EQ(GetTickCount(), 1050u);
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 30), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(GetTickCount64(), 1080u);
  CloseHandle(e);
}

TEST(KernelObjects, BadCallsAreRefused) {
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, CREATE_SUSPENDED, nullptr), nullptr);
  DWORD code;
  EXPECT_FALSE(GetExitCodeThread(nullptr, &code));
  EXPECT_FALSE(ResetEvent(reinterpret_cast<HANDLE>(12345)));
  EXPECT_FALSE(platform::clock::IsPlatformThread());
}

}  // namespace
