// The lock that finds another running copy, and what a later copy hands over through it: items
// taken in order, and an honest answer when no copy runs or none takes them.
#include "runtime/platform/instance_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using platform::HandOver;

class InstanceLockTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::SetInstanceLockSuffixForTesting(("-lock-test-" + std::to_string(getpid())).c_str());
  }
  void TearDown() override {
    platform::ReleaseInstanceLock();
    platform::SetInstanceLockSuffixForTesting(nullptr);
  }
};

TEST_F(InstanceLockTest, ALaterCopyHandsItsItemsToTheRunningOne) {
  EXPECT_EQ(platform::HandToRunningCopy("LockTest", {"/a.org"}), HandOver::kNoCopy);
  ASSERT_EQ(platform::ClaimInstanceLock("LockTest"), platform::InstanceClaim::kClaimed);
  EXPECT_TRUE(platform::TakeHandedOver().empty());
  // The later copy waits for the answer; the running one takes items between its frames.
  std::future<HandOver> sent = std::async(std::launch::async, [] {
    return platform::HandToRunningCopy("LockTest", {"/music/é song.org", "/music/folder"});
  });
  std::vector<std::vector<std::string>> taken;
  for (int frame = 0; frame < 100 && taken.empty(); ++frame) {
    taken = platform::TakeHandedOver();
    std::this_thread::sleep_for(std::chrono::milliseconds(35));
  }
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0], (std::vector<std::string>{"/music/é song.org", "/music/folder"}));
  EXPECT_EQ(sent.get(), HandOver::kTaken);
}

TEST_F(InstanceLockTest, ACopyThatNeverTakesThemIsNoAnswer) {
  ASSERT_EQ(platform::ClaimInstanceLock("LockTest"), platform::InstanceClaim::kClaimed);
  // This copy never looks (as one whose message box waits): the later copy is told so.
  EXPECT_EQ(platform::HandToRunningCopy("LockTest", {"/a.org"}), HandOver::kNoAnswer);
}

}  // namespace
