// The one file reader: at most the bound is read (a padded file costs no more than the bound), and
// what is not a regular file is refused at once with its reason (a FIFO without a writer would
// block open() for ever).
#include "runtime/platform/file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support/scratch_directory.h"

namespace {

using platform::FileContents;
using platform::ReadFileUpTo;

TEST(FileReaderTest, ReadsAtMostTheBoundAndSaysWhenTheFileHoldsMore) {
  test_support::ScratchDirectory dir;
  dir.WriteFile("small.bin", "abcdef");
  FileContents whole = ReadFileUpTo(dir.Join("small.bin"), 6);
  ASSERT_TRUE(whole.ok()) << whole.why;
  EXPECT_EQ(std::string(whole.bytes.begin(), whole.bytes.end()), "abcdef");
  EXPECT_FALSE(whole.cut_short);
  FileContents cut = ReadFileUpTo(dir.Join("small.bin"), 4);
  EXPECT_EQ(std::string(cut.bytes.begin(), cut.bytes.end()), "abcd");
  EXPECT_TRUE(cut.cut_short);
  // A sparse file of 300 MB: only the bound is ever allocated.
  dir.WriteFile("padded.bin", "head");
  ASSERT_EQ(truncate(dir.Join("padded.bin").c_str(), 300 << 20), 0);
  FileContents padded = ReadFileUpTo(dir.Join("padded.bin"), 1000);
  ASSERT_TRUE(padded.ok());
  EXPECT_EQ(padded.bytes.size(), 1000u);
  EXPECT_EQ(padded.bytes.capacity(), 1000u);
  EXPECT_TRUE(padded.cut_short);
  dir.WriteFile("empty.bin", "");
  EXPECT_TRUE(ReadFileUpTo(dir.Join("empty.bin"), 10).ok());
}

TEST(FileReaderTest, WhatIsNotARegularFileIsRefusedAtOnceWithItsReason) {
  test_support::ScratchDirectory dir;
  ASSERT_EQ(mkfifo(dir.Join("fifo").c_str(), 0600), 0);
  const FileContents fifo = ReadFileUpTo(dir.Join("fifo"), 100);  // no writer: would block
  EXPECT_EQ(fifo.why, "is a FIFO, not a file");
  EXPECT_EQ(fifo.error, 0);
  EXPECT_EQ(ReadFileUpTo(dir.path(), 100).why, "is a folder");
  EXPECT_EQ(ReadFileUpTo("/dev/null", 100).why, "is a device, not a file");
  const FileContents missing = ReadFileUpTo(dir.Join("missing"), 100);
  EXPECT_EQ(missing.why, "cannot be read (No such file or directory)");
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_TRUE(missing.bytes.empty());
}

}  // namespace
