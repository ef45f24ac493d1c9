#include "app/desktop/settings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/jukebox_model.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/user_folders.h"

namespace app {
namespace {

constexpr const char* kFolder = "orvalinde-jukebox";
constexpr size_t kMaxSettingsBytes = 64 * 1024;

// A whole number of at most six digits within [low, high].
bool ReadValue(const std::string& text, int low, int high, int* value) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const int number = std::atoi(text.c_str());
  if (number < low || number > high) return false;
  *value = number;
  return true;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

Settings ParseSettings(const std::string& text, std::vector<std::string>* problems) {
  Settings settings;
  std::istringstream lines(text.substr(0, kMaxSettingsBytes));
  const auto out_of_range = [problems](const std::string& key, const std::string& value,
                                       const std::string& wanted, const std::string& standing) {
    if (problems)
      problems->push_back(key + "=" + value + " is not " + wanted + ": " + standing + " stands");
  };
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    int number = 0;
    if (key == "scale") {
      if (ReadValue(value, 1, kMaxScale, &number)) {
        settings.scale = number;
      } else {
        out_of_range(key, value, "a scale from 1 to " + std::to_string(kMaxScale), "1");
      }
    } else if (key == "fullscreen" || key == "fade_to_silence") {
      bool& flag = key == "fullscreen" ? settings.fullscreen : settings.fade_to_silence;
      if (ReadValue(value, 0, 1, &number)) {
        flag = number == 1;
      } else {
        out_of_range(key, value, "0 or 1", "0");
      }
    } else if (key == "volume_step") {
      if (ReadValue(value, 0, kVolumeSilent, &number)) {
        settings.volume_step = number;
      } else {
        out_of_range(key, value, "a step from 0 to " + std::to_string(kVolumeSilent), "0 (0 dB)");
      }
    }
  }
  return settings;
}

std::string FormatSettings(const Settings& settings) {
  return "# Orvalinde JUKEBOX: what it remembers between runs\n"
         "scale=" +
         std::to_string(settings.scale) +
         "\n"
         "fullscreen=" +
         std::to_string(settings.fullscreen ? 1 : 0) +
         "\n"
         "volume_step=" +
         std::to_string(settings.volume_step) +
         "\n"
         "fade_to_silence=" +
         std::to_string(settings.fade_to_silence ? 1 : 0) + "\n";
}

std::string SettingsPath() {
  const std::string folder = platform::UserSettingsFolder();
  if (folder.empty()) return {};
  return folder + "/" + kFolder + "/settings.ini";
}

Settings LoadSettings(const std::string& path) {
  if (path.empty()) return {};
  std::error_code error;
  const std::filesystem::path file = platform::NativePath(path);
  if (!std::filesystem::exists(file, error)) return {};  // the first run
  std::ifstream in(file, std::ios::binary);
  if (!std::filesystem::is_regular_file(file, error) || !in) {
    std::fprintf(stderr, "jukebox: cannot read the settings file %s%s: the defaults stand\n",
                 path.c_str(),
                 std::filesystem::is_directory(file, error) ? " (it is a folder)" : "");
    return {};
  }
  std::string text;
  text.resize(kMaxSettingsBytes);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  std::vector<std::string> problems;
  const Settings settings = ParseSettings(text, &problems);
  for (const std::string& problem : problems)
    std::fprintf(stderr, "jukebox: %s: %s\n", path.c_str(), problem.c_str());
  return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string* why) {
  const auto fail = [why](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  if (path.empty()) return fail(platform::UserSettingsFolderVariables());
  std::error_code error;
  const std::filesystem::path file = platform::NativePath(path);
  if (std::filesystem::is_directory(file, error)) return fail("it is a folder");
  std::filesystem::create_directories(file.parent_path(), error);
  const std::filesystem::path temporary =
      platform::NativePath(path + ".new-" + std::to_string(getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatSettings(settings);
    if (!out.flush()) {
      const std::string reason = std::strerror(errno);
      std::filesystem::remove(temporary, error);
      return fail(reason);
    }
  }
  // Over the old file in one step (on Windows too: MoveFileEx replaces it).
  std::filesystem::rename(temporary, file, error);
  if (error) {
    const std::string reason = error.message();
    std::filesystem::remove(temporary, error);
    return fail(reason);
  }
  return true;
}

}  // namespace app
