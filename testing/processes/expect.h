#pragma once
// The checks of DrawUnderHeldLock's report that every test of a counter under a held lock makes
// (GoogleTest; tests only).
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "testing/processes/processes.h"

namespace testproc {

// Whether operations that each waited for the lock waited once rather than twice: the median of
// their times over one plain wait taken just before each (so that a process that the machine
// happened to keep waiting does not count) stays well below two.
inline void ExpectOneWaitEach(std::vector<std::pair<double, double>> secondsAndOneWait) {
  ASSERT_FALSE(secondsAndOneWait.empty());
  std::vector<double> ratios;
  for (const auto& [seconds, oneWait] : secondsAndOneWait) {
    ASSERT_GT(oneWait, 0.0) << "the lock was not held";
    ratios.push_back(seconds / oneWait);
  }
  std::sort(ratios.begin(), ratios.end());
  EXPECT_LT(ratios[ratios.size() / 2], 1.5) << "they waited twice (the median of their times over one wait)";
}

// Each draw tried while the lock was held was refused with the database's lock timeout after
// one wait of `busyMs`, not two; the draws afterwards got every number from 1 once, no gap.
inline void ExpectOneWaitAndEveryNumberOnce(const Draws& draws, int rounds, int drawers, int perDrawer, int busyMs) {
  ASSERT_FALSE(draws.childrenFailed);
  ASSERT_FALSE(draws.drawnWhileHeld);
  ASSERT_EQ(draws.refusals.size(), static_cast<size_t>(rounds * drawers));
  std::vector<std::pair<double, double>> times;
  for (const Draws::Refusal& refusal : draws.refusals) {
    EXPECT_EQ(refusal.hr, DB_E_ABORTLIMITREACHED);
    EXPECT_GE(refusal.seconds, 0.9 * busyMs / 1000.0);
    times.emplace_back(refusal.seconds, refusal.oneWait);
  }
  ExpectOneWaitEach(times);
  ASSERT_EQ(draws.numbers.size(), static_cast<size_t>(rounds * drawers * perDrawer));
  for (size_t i = 0; i < draws.numbers.size(); ++i)
    ASSERT_EQ(draws.numbers[i], static_cast<LONG>(i + 1)) << "a number twice, or a gap";
}

}  // namespace testproc
