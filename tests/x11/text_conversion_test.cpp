#include "platform/x11/text_conversion.h"

#include <gtest/gtest.h>

namespace skorva::x11 {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(TextConversion, RepairUtf8KeepsValidTextAndReplacesEachBrokenByte) {
    const std::string valid = "Webcam for Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB7";
    EXPECT_EQ(repairUtf8(valid), valid);
    EXPECT_EQ(repairUtf8(""), "");
    // A stray continuation byte, a Latin-1 byte, a lead byte cut off at the end.
    EXPECT_EQ(repairUtf8("a\x80z"), "a" + kFffd + "z");
    EXPECT_EQ(repairUtf8("Zo\xEB"), "Zo" + kFffd);
    EXPECT_EQ(repairUtf8("x\xE6\x97"), "x" + kFffd + kFffd);
    // Overlong forms, a UTF-16 surrogate, a code point above U+10FFFF, bytes that never occur.
    EXPECT_EQ(repairUtf8("\xC0\xAF"), kFffd + kFffd);
    EXPECT_EQ(repairUtf8("\xE0\x80\xAF"), kFffd + kFffd + kFffd);
    EXPECT_EQ(repairUtf8("\xED\xA0\x80"), kFffd + kFffd + kFffd);
    EXPECT_EQ(repairUtf8("\xF4\x90\x80\x80"), kFffd + kFffd + kFffd + kFffd);
    EXPECT_EQ(repairUtf8("\xFE\xFF"), kFffd + kFffd);
    // A broken lead does not swallow the valid character after it.
    EXPECT_EQ(repairUtf8("\xC3\xC3\xAB"), kFffd + "\xC3\xAB");
}

TEST(TextConversion, Latin1BecomesUtf8) {
    EXPECT_EQ(latin1ToUtf8("Webcam for bob"), "Webcam for bob");
    EXPECT_EQ(latin1ToUtf8("Zo\xEB \xA9\xFF"), "Zo\xC3\xAB \xC2\xA9\xC3\xBF");
}

TEST(TextConversion, CompoundTextReadsAsciiLatin1AndUtf8Segments) {
    // Plain bytes: ASCII on the left, Latin-1 on the right.
    EXPECT_EQ(compoundTextToUtf8("Webcam for Zo\xEB"), "Webcam for Zo\xC3\xAB");
    // A UTF-8 segment, closed and unclosed.
    EXPECT_EQ(compoundTextToUtf8("Webcam for \x1B%G\xE6\x97\xA5\x1B%@!"), "Webcam for \xE6\x97\xA5!");
    EXPECT_EQ(compoundTextToUtf8("a\x1B%G\xC3\xAB"), "a\xC3\xAB");
    // An explicit Latin-1 designation, and text in a set we do not read (JIS X 0208 on the left),
    // after which ASCII is designated again.
    EXPECT_EQ(compoundTextToUtf8("\x1B-A\xE9"), "\xC3\xA9");
    EXPECT_EQ(compoundTextToUtf8("x\x1B$(B\x30\x21\x1B(By"), "x" + kFffd + kFffd + "y");
    // Control bytes other than tab and newline are not text.
    EXPECT_EQ(compoundTextToUtf8("a\x01"
                                 "b"),
              "a" + kFffd + "b");
}

}  // namespace
}  // namespace skorva::x11
