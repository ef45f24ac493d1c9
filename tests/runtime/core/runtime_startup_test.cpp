#include "runtime/core/runtime_startup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "runtime/core/app_log.h"
#include "runtime/core/input.h"
#include "runtime/core/main_window.h"
#include "runtime/core/runtime_state.h"
#include "runtime/core/system_report.h"
#include "runtime/platform/instance_lock.h"
#include "runtime/platform/sdl_window.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/sound/sound_device.h"
#include "test_support/scoped_hooks.h"
#include "test_support/scratch_directory.h"

namespace {

// When started as the second copy of RuntimeStartupTest, the program starts the runtime in the
// folder it is given and never reaches the tests: start-up itself must end the process.
class SecondCopy : public testing::Environment {
 public:
  void SetUp() override {
    const char* folder = std::getenv("RUNTIME_TEST_SECOND_COPY");
    if (!folder) return;
    if (chdir(folder) != 0) _exit(3);
    platform::SetInstanceLockSuffixForTesting(std::getenv("RUNTIME_TEST_LOCK_SUFFIX"));
    runtime::RuntimeStartup();
    _exit(2);  // start-up came back: the first copy was not found
  }
};
testing::Environment* const kSecondCopy = testing::AddGlobalTestEnvironment(new SecondCopy);

using test_support::CurrentDirectoryScope;
using test_support::ScratchDirectory;

// Start-up and shut-down in this process, with SDL's offscreen video and dummy audio, the log on.
class RuntimeStartupTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetAll();
    // Test processes must not find each other as running copies.
    platform::SetInstanceLockSuffixForTesting(("-test-" + std::to_string(getpid())).c_str());
    here_ = std::make_unique<CurrentDirectoryScope>(dir_.path());
    runtime::ChangeWindowMode(1);
  }
  void TearDown() override {
    ResetAll();
    here_.reset();
  }
  static void ResetAll() {
    runtime::ResetInput();
    runtime::ResetSoundDevice();
    runtime::ResetMainWindow();
    runtime::ResetAppLog();
    runtime::ResetRuntimeState();
    runtime::ResetSystemFindings();
    platform::ReleaseInstanceLock();
  }
  // The log's lines without their time prefix, in UTF-8.
  std::vector<std::string> LogLines() const {
    std::istringstream in(
        platform::Cp932ToUtf8(test_support::ReadWholeFile(dir_.Join("AppLog.txt"))));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      lines.push_back(std::regex_replace(line, std::regex("^[0-9]+:\t*"), ""));
    return lines;
  }

  ScratchDirectory dir_;
  std::unique_ptr<CurrentDirectoryScope> here_;
};

// Each expected pattern must match a line, in this order.
void ExpectInOrder(const std::vector<std::string>& lines,
                   const std::vector<std::string>& patterns) {
  size_t at = 0;
  for (const std::string& pattern : patterns) {
    const std::regex re(pattern);
    while (at < lines.size() && !std::regex_search(lines[at], re)) ++at;
    ASSERT_LT(at, lines.size()) << "missing, or out of order: " << pattern;
    ++at;
  }
}

TEST_F(RuntimeStartupTest, StartUpAndShutDownLogTheirStepsInOrder) {
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  EXPECT_EQ(runtime::GetRuntimeState().RuntimeInitialised, 1);
  EXPECT_TRUE(runtime::GetMainWindow());
  EXPECT_EQ(runtime::RuntimeShutdown(), 0);
  EXPECT_EQ(runtime::GetRuntimeState().RuntimeInitialised, 0);
  ExpectInOrder(LogLines(), {
    "^システムの情報を出力します$", "^ＲＴライブラリ Ver2\\.10$",
        "^ＯＳ  \\S+ .* \\( Build [0-9]+ .* \\)$", "^ＤｉｒｅｃｔＸ　Ver7\\.0以上$",
#if defined(__x86_64__) || defined(__i386__)
        "^ＣＰＵベンダ：",
#else
          "^ＣＰＵＩＤ命令は使えません$",  // no CPUID on this processor
#endif
        "^ＣＯＭの初期化\\.\\.\\. 成功しました$",
        "^ソフトの２重起動検査\\.\\.\\. ２重起動はされていませんでした$",
        "^メモリ総量:[0-9.]+MB  空きメモリ領域:[0-9.]+MB $", "^ソフトの実行優先レベルを上げました$",
        "^ウインドウクラスを登録します\\.\\.\\. 登録に成功しました$",
        "^ウインドウモード起動用のウインドウを作成します$", "^ＩＭＥを無効にしました$",
        "^タイマーの精度を検査します$",
        "^精度結果 更新回数 マルチメディアタイマー：[0-9]+  パフォーマンスカウンター：[0-9]+$",
        "を使用します タイマー分解能 : ",
        "^ウインドウスタイルをウインドウモード用に変更します\\.\\.\\. 完了$",
        "^DirectInput関係初期化処理$", "^DirectInput 関連の初期化は正常に終了しました$",
        "^DirectSound の初期化を行います$", "^DirectSound の初期化は正常に終了しました$",
        "^文字コードバッファの初期化を行います\\.\\.\\. 完了しました$",
        "^DirectInput 関連の終了処理\\.\\.\\. 完了$", "^サウンド出力の遅れ（音切れ）: [0-9]+ 回$",
        "^DirectSound の終了処理は正常に終了しました$", "^ウインドウを閉じようとしています$",
        "^ウインドウが破棄されようとしています$", "^ソフトを終了する準備が整いました$",
        "^ＣＯＭを終了\\.\\.\\. 完了$",
  });
}

TEST_F(RuntimeStartupTest, ShutDownRestoresTheWorkingDirectory) {
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  ScratchDirectory elsewhere;
  ASSERT_EQ(chdir(elsewhere.path().c_str()), 0);
  runtime::RuntimeShutdown();
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir_.path()));
}

TEST_F(RuntimeStartupTest, StartingTwiceTakesTheFailurePath) {
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  EXPECT_EQ(runtime::RuntimeStartup(), -1);
  EXPECT_EQ(runtime::GetRuntimeState().RuntimeInitialised, 0);
  EXPECT_FALSE(runtime::GetMainWindow());
  EXPECT_EQ(runtime::GetSoundDevice(), nullptr);
}

TEST_F(RuntimeStartupTest, WithTheLogOffNoFileIsCreated) {
  runtime::SetAppLogEnabled(0);
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  runtime::RuntimeShutdown();
  EXPECT_FALSE(std::filesystem::exists(dir_.Join("AppLog.txt")));
}

TEST_F(RuntimeStartupTest, ASecondCopyEndsWithExitCodeZeroBeforeAnyWindow) {
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  // The second copy is this test program started again as a plain second process (see
  // RunAsSecondCopy), in its own folder so that the two logs stay apart.
  ScratchDirectory second;
  const std::string suffix = "-test-" + std::to_string(getpid());
  setenv("RUNTIME_TEST_SECOND_COPY", second.path().c_str(), 1);
  setenv("RUNTIME_TEST_LOCK_SUFFIX", suffix.c_str(), 1);
  const pid_t child = fork();
  if (child == 0) {
    if (TEST_EMULATOR[0] == '\0') {
      execl("/proc/self/exe", "second-copy", static_cast<char*>(nullptr));
    } else {
      // Cross-built: this program runs under its emulator, and so must its second copy.
      char self[4096] = {};
      if (readlink("/proc/self/exe", self, sizeof self - 1) > 0)
        execl("/bin/sh", "sh", "-c", (std::string("exec ") + TEST_EMULATOR + self).c_str(),
              static_cast<char*>(nullptr));
    }
    _exit(3);
  }
  unsetenv("RUNTIME_TEST_SECOND_COPY");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string log =
      platform::Cp932ToUtf8(test_support::ReadWholeFile(second.Join("AppLog.txt")));
  EXPECT_NE(log.find("２重起動されています、ソフトを終了します\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ＣＯＭの初期化... 成功しました"), std::string::npos);
  EXPECT_EQ(log.find("ウインドウクラスを登録します"), std::string::npos);  // no window
  runtime::RuntimeShutdown();
}

TEST_F(RuntimeStartupTest, AFatalErrorShutsDownAndExitsWithMinusOne) {
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  {
    const test_support::ScratchSharedWithDeathTest shared(dir_);
    EXPECT_EXIT(runtime::FatalErrorExitFormat("broken %d", 7), testing::ExitedWithCode(255), "");
  }
  const std::vector<std::string> lines = LogLines();
  ExpectInOrder(lines, {"^broken 7$", "^DirectSound の終了処理は正常に終了しました$",
                        "^ＣＯＭを終了\\.\\.\\. 完了$"});
  const std::string log =
      platform::Cp932ToUtf8(test_support::ReadWholeFile(dir_.Join("AppLog.txt")));
  EXPECT_EQ(log.substr(log.size() - std::string("ソフトをエラー終了します").size()),
            "ソフトをエラー終了します");
  runtime::RuntimeShutdown();
}

TEST_F(RuntimeStartupTest, TextInputIsOffAfterStartUp) {
  // An input method in kana mode would otherwise take letters and Space from the keys.
  ASSERT_EQ(runtime::RuntimeStartup(), 0);
  EXPECT_FALSE(platform::SdlWindow::TextInputActive());
  runtime::RuntimeShutdown();
}

int BindRefusedByASandbox(int, const sockaddr*, socklen_t) {
  errno = EACCES;
  return -1;
}
int BindFindsTheNameInUse(int, const sockaddr*, socklen_t) {
  errno = EADDRINUSE;
  return -1;
}

TEST_F(RuntimeStartupTest, ALockThatCannotBeMadeLetsThisCopyRunAndSaysSo) {
  platform::SetInstanceLockBindForTesting(&BindRefusedByASandbox);
  const test_support::OnScopeExit restore([] { platform::SetInstanceLockBindForTesting(nullptr); });
  testing::internal::CaptureStderr();
  const int started = runtime::RuntimeStartup();
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_EQ(started, 0);
  EXPECT_TRUE(runtime::GetMainWindow());
  EXPECT_NE(said.find("cannot check for another running copy"), std::string::npos) << said;
  runtime::RuntimeShutdown();
}

TEST_F(RuntimeStartupTest, ANameInUseIsASecondCopyThatEndsWithExitCodeZero) {
  platform::SetInstanceLockBindForTesting(&BindFindsTheNameInUse);
  const test_support::OnScopeExit restore([] { platform::SetInstanceLockBindForTesting(nullptr); });
  {
    const test_support::ScratchSharedWithDeathTest shared(dir_);
    EXPECT_EXIT(runtime::RuntimeStartup(), testing::ExitedWithCode(0), "");
  }
  EXPECT_NE(LogLines().back().find("２重起動されています、ソフトを終了します"), std::string::npos);
}

TEST_F(RuntimeStartupTest, AMissingServiceRefusesTheStartInsteadOfRecordingAnOlderVersion) {
  runtime::PlatformServicesOverride no_input;
  no_input.input = false;
  runtime::SetPlatformServicesForTesting(&no_input);
  EXPECT_EXIT(runtime::RuntimeStartup(), testing::ExitedWithCode(255),
              "DirectX バージョン 7 以前なのでソフトを起動することが出来ません");
  runtime::PlatformServicesOverride none;
  none.display = none.audio = none.input = false;
  runtime::SetPlatformServicesForTesting(&none);
  EXPECT_EXIT(runtime::RuntimeStartup(), testing::ExitedWithCode(255),
              "DirectX がインストールされていないのでここで終了します");
}

TEST(SystemReportTest, ThePlatformVersionFollowsItsServices) {
  EXPECT_EQ(runtime::PlatformVersionFor(true, true, true), 0x70000);
  EXPECT_EQ(runtime::PlatformVersionFor(false, true, true), 0);
  EXPECT_LT(runtime::PlatformVersionFor(true, false, true), 0x70000);
  EXPECT_LT(runtime::PlatformVersionFor(true, true, false), 0x70000);
}

}  // namespace
