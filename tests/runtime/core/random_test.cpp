#include "runtime/core/random.h"

#include <gtest/gtest.h>

namespace {

using runtime::RandomUpTo;

class RandomTest : public testing::Test {
 protected:
  void SetUp() override { runtime::ResetRandom(); }
  void TearDown() override { runtime::ResetRandom(); }
};

TEST_F(RandomTest, TheClassicSeedGivesTheReferenceOutput) {
  runtime::SeedRandom(4357);
  runtime::RegenerateRandom();
  EXPECT_EQ(runtime::RandomBlockWord(0), 2867219139u);
  EXPECT_EQ(runtime::RandomBlockWord(1), 1585203162u);
  EXPECT_EQ(runtime::RandomBlockWord(2), 3113124129u);
  EXPECT_EQ(RandomUpTo(9), 6);
  EXPECT_EQ(RandomUpTo(9), 3);
  EXPECT_EQ(RandomUpTo(9), 7);
}

TEST_F(RandomTest, AnUnseededGeneratorSeedsItselfWith4357) {
  EXPECT_EQ(RandomUpTo(9), 6);
  EXPECT_EQ(RandomUpTo(9), 3);
  EXPECT_EQ(RandomUpTo(9), 7);
}

TEST_F(RandomTest, TheDrawAfterABlockRegeneratesOnceAndTakesWordZero) {
  // The second block, made by hand: two regenerations after the seed.
  runtime::SeedRandom(4357);
  runtime::RegenerateRandom();
  runtime::RegenerateRandom();
  const uint32_t second_block_word0 = runtime::RandomBlockWord(0);
  const uint32_t second_block_word1 = runtime::RandomBlockWord(1);

  runtime::ResetRandom();
  runtime::SeedRandom(4357);
  runtime::RegenerateRandom();
  for (int i = 0; i < 624; ++i) RandomUpTo(0);
  // With max = 2^31 - 1 a draw is the word shifted right by one.
  EXPECT_EQ(static_cast<uint32_t>(RandomUpTo(0x7FFFFFFF)), second_block_word0 >> 1);
  EXPECT_EQ(static_cast<uint32_t>(RandomUpTo(0x7FFFFFFF)), second_block_word1 >> 1);
}

TEST_F(RandomTest, RangesReachBothEndsAndNoFurther) {
  runtime::SeedRandom(1);
  runtime::RegenerateRandom();
  bool saw_zero = false;
  bool saw_max = false;
  for (int i = 0; i < 5000; ++i) {
    const int value = RandomUpTo(3);
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 3);
    saw_zero |= value == 0;
    saw_max |= value == 3;
    ASSERT_EQ(RandomUpTo(0), 0);
  }
  EXPECT_TRUE(saw_zero);
  EXPECT_TRUE(saw_max);
  EXPECT_EQ(RandomUpTo(-1), 0);
}

TEST_F(RandomTest, OneIsDecidedByTheTopBitOfTheWord) {
  runtime::SeedRandom(99);
  runtime::RegenerateRandom();
  for (int i = 0; i < 100; ++i) {
    const uint32_t word = runtime::RandomBlockWord(i);
    EXPECT_EQ(RandomUpTo(1), word >= 0x80000000u ? 1 : 0);
  }
}

}  // namespace
