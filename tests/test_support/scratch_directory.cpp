#include "test_support/scratch_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/platform/native_file.h"
#include "test_support/environment.h"

namespace test_support {

namespace {
constexpr const char* kSharedScratch = "JUKEBOX_TEST_SCRATCH_OF_DEATH_TEST";

// A new directory under the temporary folder (Windows has no mkdtemp: the process's id and a
// count name it, and creating it fails where the name is taken).
std::string MakeFreshDirectory() {
  const std::string base = (std::filesystem::temp_directory_path() / "jukebox-test-").string();
#ifdef _WIN32
  for (unsigned count = 0; count < 100000; ++count) {
    const std::string name = base + std::to_string(getpid()) + "-" + std::to_string(count);
    std::error_code error;
    if (std::filesystem::create_directory(name, error)) return name;
  }
  std::abort();
#else
  std::string pattern = base + "XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  return pattern;
#endif
}

}  // namespace

ScratchDirectory::ScratchDirectory() {
  if (const char* shared = std::getenv(kSharedScratch)) {
    path_ = shared;
    owned_ = false;
    UnsetEnvironment(kSharedScratch);  // only the first directory of the child is the parent's
    return;
  }
  path_ = MakeFreshDirectory();
}

ScratchDirectory::~ScratchDirectory() {
  if (!owned_) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScratchSharedWithDeathTest::ScratchSharedWithDeathTest(const ScratchDirectory& directory) {
  SetEnvironment(kSharedScratch, directory.path().c_str(), true);
}

ScratchSharedWithDeathTest::~ScratchSharedWithDeathTest() { UnsetEnvironment(kSharedScratch); }

void ScratchDirectory::WriteFile(const std::string& relative, const std::string& bytes) const {
  const std::filesystem::path full = platform::NativePath(Join(relative));
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary);
  out << bytes;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(platform::NativePath(path), std::ios::binary);
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
