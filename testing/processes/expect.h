#pragma once
// The checks of DrawUnderHeldLock's report that every test of a counter under a held lock makes
// (GoogleTest; tests only).
#include <gtest/gtest.h>

#include "testing/processes/processes.h"

namespace testproc {

// Each draw tried while the lock was held was refused with the database's lock timeout after
// one wait of `busyMs` (not two); the draws afterwards got every number from 1 once, no gap.
inline void ExpectOneWaitAndEveryNumberOnce(const Draws& draws, int rounds, int drawers, int perDrawer, int busyMs) {
  ASSERT_FALSE(draws.childrenFailed);
  ASSERT_FALSE(draws.drawnWhileHeld);
  ASSERT_EQ(draws.refusals.size(), static_cast<size_t>(rounds * drawers));
  for (const Draws::Refusal& refusal : draws.refusals) {
    EXPECT_EQ(refusal.hr, DB_E_ABORTLIMITREACHED);
    EXPECT_GE(refusal.seconds, 0.9 * busyMs / 1000.0);
    EXPECT_LT(refusal.seconds, 2 * busyMs / 1000.0) << "a refused draw waits once";
  }
  ASSERT_EQ(draws.numbers.size(), static_cast<size_t>(rounds * drawers * perDrawer));
  for (size_t i = 0; i < draws.numbers.size(); ++i)
    ASSERT_EQ(draws.numbers[i], static_cast<LONG>(i + 1)) << "a number twice, or a gap";
}

}  // namespace testproc
