// The Windows platform services (built and run under Wine only): the instance lock as the
// game's named mutex and its hand-over pipe, files named with characters outside the ANSI code
// page, and the settings folder under %APPDATA%.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/platform/data_path.h"
#include "runtime/platform/instance_lock.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/user_folders.h"
#include "runtime/platform/wide_text.h"
#include "test_support/scratch_directory.h"

namespace {

// Hangul, a musical note and an emoji: none of them has a CP932 (or CP1252) form.
const std::string kOutsideCp932 = "\xEB\x85\xB8\xEB\x9E\x98 \xE2\x99\xAB \xF0\x9F\x8E\xB5";

class InstanceLockTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::SetInstanceLockSuffixForTesting(
        ("-windows-test-" + std::to_string(GetCurrentProcessId())).c_str());
  }
  void TearDown() override {
    platform::ReleaseInstanceLock();
    platform::SetInstanceLockSuffixForTesting(nullptr);
  }
  std::wstring MutexName() const {
    return L"Local\\RtLibTest-windows-test-" + std::to_wstring(GetCurrentProcessId());
  }
};

TEST_F(InstanceLockTest, TheGamesNamedMutexIsTheLock) {
  // Another copy holds the mutex named after the window class: this one is the second copy.
  HANDLE other = CreateMutexW(nullptr, FALSE, MutexName().c_str());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(platform::ClaimInstanceLock("RtLibTest"), platform::InstanceClaim::kHeldByAnother);
  CloseHandle(other);
  // Gone with its holder: the name is free again, and this copy holds it now.
  ASSERT_EQ(platform::ClaimInstanceLock("RtLibTest"), platform::InstanceClaim::kClaimed);
  EXPECT_EQ(platform::ClaimInstanceLock("RtLibTest"), platform::InstanceClaim::kClaimed);
  HANDLE probe = CreateMutexW(nullptr, FALSE, MutexName().c_str());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(probe);
  platform::ReleaseInstanceLock();
  probe = CreateMutexW(nullptr, FALSE, MutexName().c_str());
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(probe);
}

TEST_F(InstanceLockTest, SongsAreHandedToTheRunningCopyWhateverTheirNames) {
  EXPECT_EQ(platform::HandToRunningCopy("RtLibTest", {"a.org"}), platform::HandOver::kNoCopy);
  ASSERT_EQ(platform::ClaimInstanceLock("RtLibTest"), platform::InstanceClaim::kClaimed);
  EXPECT_TRUE(platform::TakeHandedOver().empty());
  // The running copy polls between frames, as the jukebox does.
  std::atomic<bool> stop{false};
  std::vector<std::vector<std::string>> handed;
  std::thread running([&] {
    while (!stop && handed.empty()) {
      handed = platform::TakeHandedOver();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const std::vector<std::string> items = {"C:/Music/" + kOutsideCp932 + "/Joy.org", "b.org"};
  const platform::HandOver result = platform::HandToRunningCopy("RtLibTest", items);
  stop = true;
  running.join();
  EXPECT_EQ(result, platform::HandOver::kTaken);
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0], items);
}

TEST_F(InstanceLockTest, ACopyThatNeverReadsDoesNotHoldTheSecondOne) {
  ASSERT_EQ(platform::ClaimInstanceLock("RtLibTest"), platform::InstanceClaim::kClaimed);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::HandToRunningCopy("RtLibTest", {"a.org"}), platform::HandOver::kNoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(NativeFileTest, NamesOutsideTheAnsiCodePageOpen) {
  test_support::ScratchDirectory scratch;
  const std::string folder = scratch.path() + "/" + kOutsideCp932;
  const std::string file = folder + "/song " + kOutsideCp932 + ".org";
  std::error_code error;
  ASSERT_TRUE(std::filesystem::create_directory(platform::NativePath(folder), error));
  std::FILE* out = platform::OpenNativeFile(file, "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("Org-02", out);
  std::fclose(out);
  // The system sees the name as written, in UTF-16.
  const std::wstring wide = platform::WideFromUtf8(file);
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(platform::ReadDataFile(file, 100, &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Org-02");
  EXPECT_EQ(platform::DataFileSize(file), 6);
  // Listing the folder gives the name back as UTF-8.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(platform::NativePath(folder)))
    names.push_back(platform::Utf8PathOf(entry.path().filename()));
  EXPECT_EQ(names, std::vector<std::string>{"song " + kOutsideCp932 + ".org"});
  // The current directory may be there too.
  test_support::CurrentDirectoryScope inside(scratch.path());
  ASSERT_TRUE(platform::ChangeDirectory(folder));
  EXPECT_EQ(std::filesystem::path(platform::NativePath(platform::CurrentDirectory())),
            std::filesystem::path(platform::NativePath(folder)));
}

TEST(UserFoldersTest, SettingsLiveUnderAppData) {
  const wchar_t* saved = _wgetenv(L"APPDATA");
  const std::wstring restore = saved ? saved : L"";
  const std::string roaming = "C:/Users/" + kOutsideCp932 + "/AppData/Roaming";
  _wputenv_s(L"APPDATA", platform::WideFromUtf8(roaming).c_str());
  EXPECT_EQ(platform::UserSettingsFolder(), roaming);
  _wputenv_s(L"APPDATA", L"");
  EXPECT_EQ(platform::UserSettingsFolder(), "");
  _wputenv_s(L"APPDATA", restore.c_str());
}

}  // namespace
