#include "tools/assets/demo_data.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "org/drum_kit.h"
#include "runtime/platform/text_encoding.h"
#include "tools/assets/score_compiler.h"
#include "tools/assets/screen_pictures.h"
#include "tools/assets/wave_bank_recipe.h"

namespace assets {

bool MakeDemoData(const std::string& scores_folder, std::vector<GeneratedFile>* files,
                  std::string* error) {
  files->clear();
  files->push_back({"Org/Wave100.dat", MakeWaveBank()});
  for (org::DrumSample& drum : org::MakeDrumKit())
    files->push_back({"Org/Org/" + drum.name, drum.wav});

  std::vector<std::filesystem::path> scores;
  for (const auto& entry : std::filesystem::directory_iterator(scores_folder))
    if (entry.path().extension() == ".score") scores.push_back(entry.path());
  std::sort(scores.begin(), scores.end());

  std::string playlist;
  int index = 0;
  for (const std::filesystem::path& path : scores) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    CompiledScore score;
    std::string message;
    if (!CompileScore(text.str(), &score, &message)) {
      *error = path.filename().string() + ": " + message;
      return false;
    }
    files->push_back({"Org/" + score.file, org::SerializeOrgSong(score.song)});
    bool converted = false;
    const std::string title = platform::Utf8ToCp932(score.title, &converted);
    if (!converted) {
      *error = path.filename().string() + ": the title has characters Shift-JIS cannot hold";
      return false;
    }
    playlist += std::to_string(index++) + "\t" + std::to_string(score.time_limit) + "\tOrg\\" +
                score.file + "\t" + title + "\n";
  }
  files->push_back({"Org/music.txt", std::vector<uint8_t>(playlist.begin(), playlist.end())});

  const std::vector<uint32_t> sheet = MakeFontSheet(kMisakiGothic, error);
  if (sheet.empty()) return false;
  files->push_back({"system/font_01.png", EncodeRgbPng(sheet, 208, 64)});
  files->push_back({"system/letter.bmp", EncodePaletteBmp(sheet, 208, 64)});
  files->push_back({"system/jukebg.png", EncodeRgbPng(MakeBackground(), 320, 240)});
  return true;
}

}  // namespace assets
