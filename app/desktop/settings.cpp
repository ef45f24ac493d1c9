#include "app/desktop/settings.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/jukebox_model.h"
#include "runtime/platform/file_reader.h"
#include "runtime/platform/native_file.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/platform/user_folders.h"

namespace app {
namespace {

constexpr const char* kFolder = "orvalinde-jukebox";
constexpr const char* kHeader = "# Orvalinde JUKEBOX: what it remembers between runs";
constexpr size_t kShownValueBytes = 64;

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
  std::istringstream lines(text);
  const auto out_of_range = [problems](const std::string& key, const std::string& value,
                                       const std::string& wanted, const std::string& standing) {
    if (problems)
      problems->push_back(key + "=" + platform::PrintableText(value, kShownValueBytes) +
                          " is not " + wanted + ": " + standing + " stands");
  };
  for (std::string line; std::getline(lines, line);) {
    if (Trim(line) == kHeader) continue;  // ours: written again first
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      settings.other_lines.push_back(line);
      continue;
    }
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
    } else {
      settings.other_lines.push_back(line);  // not ours: written back as it was
    }
  }
  return settings;
}

std::string FormatSettings(const Settings& settings) {
  std::string others;
  for (const std::string& line : settings.other_lines) others += line + "\n";
  return std::string(kHeader) +
         "\n"
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
         std::to_string(settings.fade_to_silence ? 1 : 0) + "\n" + others;
}

std::string SettingsPath() {
  const std::string folder = platform::UserSettingsFolder();
  if (folder.empty()) return {};
  return folder + "/" + kFolder + "/settings.ini";
}

Settings LoadSettings(const std::string& path) {
  if (path.empty()) return {};
  std::error_code error;
  if (!std::filesystem::exists(platform::NativePath(path), error)) return {};  // the first run
  const platform::FileContents file = platform::ReadFileUpTo(path, kMaxSettingsBytes);
  const std::string shown_path = platform::PrintableText(path);
  if (!file.ok()) {
    const std::string detail = file.error ? std::strerror(file.error) : "it " + file.why;
    std::fprintf(stderr, "jukebox: cannot read the settings file %s (%s): the defaults stand\n",
                 shown_path.c_str(), detail.c_str());
    Settings untouched;
    untouched.read_in_part = true;  // not ours to replace
    return untouched;
  }
  std::vector<std::string> problems;
  Settings settings = ParseSettings(
      std::string(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()), &problems);
  if (file.cut_short) {
    settings.read_in_part = true;
    std::fprintf(stderr,
                 "jukebox: the settings file %s is over %zu bytes: only its start is read, and "
                 "it is not rewritten\n",
                 shown_path.c_str(), kMaxSettingsBytes);
  }
  for (const std::string& problem : problems)
    std::fprintf(stderr, "jukebox: %s: %s\n", shown_path.c_str(), problem.c_str());
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
  if (std::filesystem::exists(file, error) && !std::filesystem::is_regular_file(file, error))
    return fail("it is not a regular file");
  if (settings.read_in_part) return fail("it could not be read whole: it is left as it was");
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
