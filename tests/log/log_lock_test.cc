// The bounded wait for the log's append lock, over a lock that is free after
// a number of attempts (or never) and a pause that only counts.
#include "platform/lock_wait.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Attempt {
  int busy;          // attempts that find the lock taken; -1: taken for good
  unsigned pauses;   // pause calls expected
  bool locked;       // Acquire's answer expected
};

TEST(LockWaitTest, WaitsABoundedTimeOnceThenTriesOnlyOnceUntilItLocksAgain) {
  const unsigned kFullWait = brx::platform::LockWait::kBudgetMs / brx::platform::LockWait::kStepMs;
  struct Case {
    const char* name;
    std::vector<Attempt> writes;  // successive Acquire calls on one file
  };
  const Case cases[] = {
      {"free", {{0, 0, true}}},
      {"briefly taken", {{3, 3, true}, {0, 0, true}}},
      {"taken for good: one bounded wait, then single tries",
       {{-1, kFullWait, false}, {-1, 0, false}, {-1, 0, false}}},
      {"released after a vain wait: waiting resumes",
       {{-1, kFullWait, false}, {0, 0, true}, {-1, kFullWait, false}}},
      {"freed just within the wait", {{static_cast<int>(kFullWait), kFullWait, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    brx::platform::LockWait wait;
    for (const Attempt& a : c.writes) {
      int busy = a.busy;
      unsigned pauses = 0, paused_ms = 0;
      bool locked = wait.Acquire(
          [&] {
            if (busy == 0) return true;
            if (busy > 0) --busy;
            return false;
          },
                                 [&](unsigned ms) {
                                   ++pauses;
                                   paused_ms += ms;
                                 });
      EXPECT_EQ(a.locked, locked);
      EXPECT_EQ(a.pauses, pauses);
      EXPECT_LE(paused_ms, brx::platform::LockWait::kBudgetMs);
      EXPECT_EQ(!a.locked, wait.gave_up());
    }
  }
}

}  // namespace
