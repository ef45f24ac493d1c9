// A fresh empty directory under the system's temporary folder for one test, removed with its
// contents when the test ends.
#pragma once

#include <string>

namespace test_support {

class ScratchDirectory {
 public:
  // A new directory; or, in a death test's child (see ScratchSharedWithDeathTest), the first
  // one made is the parent's, kept when the child ends.
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  // `relative` joined to the directory.
  std::string Join(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes `bytes` to `relative`, creating parent folders.
  void WriteFile(const std::string& relative, const std::string& bytes) const;

 private:
  std::string path_;
  bool owned_ = true;
};

// Death tests run "threadsafe": the child is this program started again, running the test from
// its beginning up to the statement that must end it. For the statement to leave its traces
// where the parent looks, the child's first ScratchDirectory is the parent's `directory` while
// this scope lives (around EXPECT_EXIT).
class ScratchSharedWithDeathTest {
 public:
  explicit ScratchSharedWithDeathTest(const ScratchDirectory& directory);
  ~ScratchSharedWithDeathTest();
};

// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);

// Makes `directory` current for the life of the object, then restores the previous one.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::string& directory);
  ~CurrentDirectoryScope();

 private:
  std::string previous_;
};

}  // namespace test_support
