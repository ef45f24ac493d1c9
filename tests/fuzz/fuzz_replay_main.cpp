// Runs a fuzz target over files instead of under libFuzzer: every file named, and every file in
// every folder named (in name order). Built with any compiler, so the committed corpus and the
// inputs of past findings are replayed by the ordinary test run, with or without sanitizers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> InputsIn(const std::filesystem::path& where) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(where)) {
    for (const auto& entry : std::filesystem::directory_iterator(where))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
  } else if (std::filesystem::is_regular_file(where)) {
    files.push_back(where);
  }
  return files;
}

void RunOne(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  // A copy sized exactly, so a read past the end is caught as it would be under libFuzzer.
  auto* exact = new uint8_t[bytes.size() ? bytes.size() : 1];
  std::copy(bytes.begin(), bytes.end(), exact);
  LLVMFuzzerTestOneInput(exact, bytes.size());
  delete[] exact;
}

}  // namespace

int main(int argc, char** argv) {
  // Named before the target's set-up, which may change the working directory.
  std::vector<std::filesystem::path> places;
  for (int i = 1; i < argc; ++i) places.push_back(std::filesystem::absolute(argv[i]));
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  int inputs = 0;
  for (const auto& place : places) {
    for (const auto& file : InputsIn(place)) {
      RunOne(file);
      ++inputs;
    }
  }
  std::printf("replayed %d inputs\n", inputs);
  return inputs > 0 ? 0 : 1;
}
