#include "log/Ansi.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(Utf8ToAnsi, MapsLatin1AndTheWindowsExtras) {
    EXPECT_EQ(Utf8ToAnsi("abc"), "abc");
    EXPECT_EQ(Utf8ToAnsi("\xC3\xB3"
                         "f"),
              "\xF3"
              "f");                                            // the usage text's accent
    EXPECT_EQ(Utf8ToAnsi("\xC2\xA0\xC3\xBF"), "\xA0\xFF");     // ends of Latin-1
    EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC\xC5\xB8"), "\x80\x9F"); // euro sign, Y with diaeresis
}

TEST(Utf8ToAnsi, ReplacesWhatTheCodePageLacksAndMalformedBytes) {
    EXPECT_EQ(Utf8ToAnsi("\xC2\x81"), "?");         // a C1 control that 1252 leaves unassigned
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "?"); // an emoji
    EXPECT_EQ(Utf8ToAnsi("a\xFF"
                         "b"),
              "a?b");
    EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");           // cut short at the end
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");      // overlong form of '/'
    EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???"); // a UTF-16 surrogate
}

} // namespace
} // namespace kw
