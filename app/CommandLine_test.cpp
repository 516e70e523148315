#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

std::string Describe(const std::string& line) {
    auto cl = SplitCommandLine(Trim(line));
    return cl ? cl->mode + "|" + cl->folder : "usage";
}

TEST(SplitCommandLine, ModeWordIgnoresCaseFolderKeepsIt) {
    EXPECT_EQ(Describe("Bestanden /mnt/Pict"), "BESTANDEN|/mnt/Pict/");
    EXPECT_EQ(Describe("database   /data/  "), "DATABASE|/data/");
    EXPECT_EQ(Describe("bestanden /program files/pict"), "BESTANDEN|/program files/pict/");
    EXPECT_EQ(Describe("install /x"), "INSTALL|/x/"); // the word is judged by the caller
}

TEST(SplitCommandLine, QuotesBelongToTheFolder) {
    EXPECT_EQ(Describe("bestanden \"/a b\""), "BESTANDEN|\"/a b\"/");
}

TEST(SplitCommandLine, GivesUsageWithoutBlankWordOrFolder) {
    EXPECT_EQ(Describe("   "), "usage");
    EXPECT_EQ(Describe("bestanden"), "usage");
    EXPECT_EQ(Describe("bestanden\t/x"), "usage"); // a tab is not a blank
    EXPECT_EQ(Describe(""), "usage");
}

TEST(CommandTail, JoinsArgumentsWithSingleBlanks) {
    char a0[] = "kwastor", a1[] = "bestanden", a2[] = "/a", a3[] = "b";
    char* argv[] = {a0, a1, a2, a3};
    EXPECT_EQ(CommandTail(4, argv), "bestanden /a b");
    EXPECT_EQ(CommandTail(1, argv), std::nullopt) << "no command line: the wizard";
}

} // namespace
} // namespace kw
