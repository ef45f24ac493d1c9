#include "app/desktop/settings.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/jukebox_model.h"

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

Settings ParseSettings(const std::string& text) {
  Settings settings;
  std::istringstream lines(text.substr(0, kMaxSettingsBytes));
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    int number = 0;
    if (key == "scale" && ReadValue(value, 1, kMaxScale, &number)) {
      settings.scale = number;
    } else if (key == "fullscreen" && ReadValue(value, 0, 1, &number)) {
      settings.fullscreen = number == 1;
    } else if (key == "volume_step" && ReadValue(value, 0, kVolumeSilent, &number)) {
      settings.volume_step = number;
    } else if (key == "fade_to_silence" && ReadValue(value, 0, 1, &number)) {
      settings.fade_to_silence = number == 1;
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
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config && config[0] == '/') {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
    folder = std::string(home) + "/.config";
  } else {
    return {};
  }
  return folder + "/" + kFolder + "/settings.ini";
}

Settings LoadSettings(const std::string& path) {
  if (path.empty()) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text;
  text.resize(kMaxSettingsBytes);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return ParseSettings(text);
}

bool SaveSettings(const std::string& path, const Settings& settings) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  const std::string temporary = path + ".new-" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatSettings(settings);
    if (!out.flush()) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace app
