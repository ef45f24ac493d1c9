// Every test program's death tests run in the thread-safe style: the child is the program started
// again, running the test up to the statement that must end it, instead of a fork of a process
// whose runtime may already have started threads. Set once the flags are read (a global
// environment), so that nothing of ours runs before Google Test's own flags exist.
#include <gtest/gtest.h>

namespace {

class ThreadSafeDeathTests : public testing::Environment {
 public:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

testing::Environment* const kThreadSafeDeathTests =
    testing::AddGlobalTestEnvironment(new ThreadSafeDeathTests);

}  // namespace
