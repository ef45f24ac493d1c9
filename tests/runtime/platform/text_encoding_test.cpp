#include "runtime/platform/text_encoding.h"

#include <gtest/gtest.h>

namespace {

using platform::Cp932ToUtf8;
using platform::Utf8ToCp932;

TEST(TextEncodingTest, JapaneseRoundTripsThroughShiftJis) {
  bool ok = false;
  const std::string sjis = Utf8ToCp932("が「JUKEBOX」ｱ", &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(sjis, std::string("\x82\xAA\x81\x75JUKEBOX\x81\x76\xB1"));
  EXPECT_EQ(Cp932ToUtf8(sjis, &ok), "が「JUKEBOX」ｱ");
  EXPECT_TRUE(ok);
}

TEST(TextEncodingTest, InvalidInputBecomesQuestionMarksAndIsReported) {
  bool ok = true;
  // 0x82 starts a two-byte character; 0x20 cannot be its second byte.
  EXPECT_EQ(Cp932ToUtf8(std::string("A\x82 B"), &ok).substr(0, 2), "A?");
  EXPECT_FALSE(ok);
  ok = true;
  EXPECT_EQ(Cp932ToUtf8(std::string("end\x82"), &ok), "end?");  // cut in half at the end
  EXPECT_FALSE(ok);
  ok = true;
  EXPECT_EQ(Utf8ToCp932("Ω€x", &ok).back(), 'x');  // Ω exists in CP932; conversion goes on
  ok = true;
  Utf8ToCp932("😀", &ok);  // no CP932 form
  EXPECT_FALSE(ok);
}

TEST(TextEncodingTest, LeadBytesAreRecognised) {
  EXPECT_TRUE(platform::IsCp932LeadByte(0x81));
  EXPECT_TRUE(platform::IsCp932LeadByte(0x9F));
  EXPECT_TRUE(platform::IsCp932LeadByte(0xE0));
  EXPECT_TRUE(platform::IsCp932LeadByte(0xFC));
  EXPECT_FALSE(platform::IsCp932LeadByte(0x5C));
  EXPECT_FALSE(platform::IsCp932LeadByte(0xA1));  // half-width katakana stand alone
  EXPECT_FALSE(platform::IsCp932LeadByte(0xFD));
}

TEST(TextEncodingTest, SourceLiteralsBecomeSystemText) {
  EXPECT_STREQ(SJIS("成功しました\n"), Utf8ToCp932("成功しました\n").c_str());
}

}  // namespace

namespace {

using platform::PrintableCp932;
using platform::PrintableText;

TEST(PrintableTextTest, ControlBytesAndInvalidBytesAreEscapedAndLongTextIsCut) {
  EXPECT_EQ(PrintableText("Org\\song ゆき.org"), "Org\\song ゆき.org");  // kept as it is
  EXPECT_EQ(PrintableText(std::string("Org\0a", 5)), "Org\\x00a");       // a NUL cuts nothing
  EXPECT_EQ(PrintableText("\x1b[31mred\x7f"), "\\x1B[31mred\\x7F");      // no escape sequence
  EXPECT_EQ(PrintableText("caf\xe9 \xc2\x85"), "caf\\xE9 \\xC2\\x85");   // Latin-1, a C1 control
  const std::string long_value(70000, 'x');
  const std::string shown = PrintableText(long_value, 64);
  EXPECT_EQ(shown, std::string(64, 'x') + "... (70000 bytes)");
  EXPECT_EQ(PrintableText("ゆき", 5), "ゆ... (6 bytes)");  // cut at a character, never inside one
}

TEST(PrintableTextTest, InvalidShiftJisIsShownEscapedNotRawNorAsAQuestionMark) {
  EXPECT_EQ(PrintableCp932("\x82\xE4\x82\xAB.org"), "ゆき.org");
  // 0x82 then a space: no character; 0xFD never starts one; a lead byte cut off at the end.
  EXPECT_EQ(PrintableCp932("A\x82 B\xFD"), "A\\x82 B\\xFD");
  EXPECT_EQ(PrintableCp932(std::string("Org\\\0a\x81", 7)), "Org\\\\x00a\\x81");
}

}  // namespace
