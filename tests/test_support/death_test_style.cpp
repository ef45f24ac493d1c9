// Every test program's death tests run in the thread-safe style: the child is the program started
// again, running the test up to the statement that must end it, instead of a fork of a process
// whose runtime may already have started threads.
#include <gtest/gtest.h>

namespace {

const bool kThreadSafeDeathTests = [] {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return true;
}();

}  // namespace
