#include "runtime/platform/notice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "runtime/platform/text_encoding.h"
#include "test_support/scoped_hooks.h"

namespace {

TEST(NoticeTest, ARecorderReceivesTextAndCaption) {
  std::vector<std::pair<std::string, std::string>> seen;
  {
    const test_support::NoticeSinkScope sink(
        [&](const std::string& text, const std::string& caption) {
          seen.emplace_back(text, caption);
        });
    platform::ShowNotice(SJIS("このファイルは使えません"), "Error (Load)");
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, SJIS("このファイルは使えません"));
  EXPECT_EQ(seen[0].second, "Error (Load)");
}

TEST(NoticeTest, WithoutADisplayTheNoticeGoesToStandardErrorInUtf8) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  testing::internal::CaptureStderr();
  platform::ShowNotice(SJIS("このファイルは使えません"), "Error (Load)");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error (Load): このファイルは使えません\n");
}

}  // namespace
