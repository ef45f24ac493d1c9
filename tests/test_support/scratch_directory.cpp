#include "test_support/scratch_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace test_support {

namespace {
constexpr const char* kSharedScratch = "JUKEBOX_TEST_SCRATCH_OF_DEATH_TEST";
}  // namespace

ScratchDirectory::ScratchDirectory() {
  if (const char* shared = std::getenv(kSharedScratch)) {
    path_ = shared;
    owned_ = false;
    unsetenv(kSharedScratch);  // only the first directory of the child is the parent's
    return;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "jukebox-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  if (!owned_) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScratchSharedWithDeathTest::ScratchSharedWithDeathTest(const ScratchDirectory& directory) {
  setenv(kSharedScratch, directory.path().c_str(), 1);
}

ScratchSharedWithDeathTest::~ScratchSharedWithDeathTest() { unsetenv(kSharedScratch); }

void ScratchDirectory::WriteFile(const std::string& relative, const std::string& bytes) const {
  const std::filesystem::path full = Join(relative);
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary);
  out << bytes;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::string& directory)
    : previous_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(directory);
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

}  // namespace test_support
