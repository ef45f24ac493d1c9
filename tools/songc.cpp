// songc: compiles a text score (the language described in tools/assets/score_compiler.h) into an
// Org song file. Usage: songc SCORE OUT.org
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/assets/score_compiler.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: songc SCORE OUT.org\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "songc: %s: cannot read the file\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  assets::CompiledScore score;
  std::string error;
  if (!assets::CompileScore(text.str(), &score, &error)) {
    std::fprintf(stderr, "songc: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = org::SerializeOrgSong(score.song);
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "songc: %s: cannot write the file\n", argv[2]);
    return 1;
  }
  return 0;
}
