// The Windows command line as GetCommandLineA gives it, through the rules that turn it into a
// mode and a folder.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(WindowsCommandLine, GivesTheModeAndTheUpperCasedFolder) {
    struct {
        const char* commandLine;
        const char* expected; // mode|folder, "usage", or "wizard" for no command line
    } const cases[] = {
        {"kwastor.exe", "wizard"},
        {"\"C:\\Program Files\\Kwastor\\kwastor.exe\"", "wizard"},
        {"\"C:\\Program Files\\Kwastor\\kwastor.exe\" ", "wizard"},
        {"kwastor.exe Bestanden c:\\pict", "BESTANDEN|C:\\PICT\\"},
        {"\"C:\\a b\\kwastor.exe\" database   d:\\data\\  ", "DATABASE|D:\\DATA\\"},
        {"kwastor.exe bestanden c:\\program files\\pict", "BESTANDEN|C:\\PROGRAM FILES\\PICT\\"},
        {"kwastor.exe bestanden \"c:\\a b\"", "BESTANDEN|\"C:\\A B\"\\"},
        {"\"kwastor.exe\"bestanden z:\\tmp\\x\\", "BESTANDEN|Z:\\TMP\\X\\"},
        {"kwastor.exe\tdatabase c:\\x", "DATABASE|C:\\X\\"},
        {"kwastor.exe   ", "usage"},
        {"kwastor.exe bestanden", "usage"},
        {"kwastor.exe bestanden\tc:\\x", "usage"},
        {"kwastor.exe install c:\\x", "INSTALL|C:\\X\\"}, // the word is judged by the caller
        {"kwastor.exe bestanden c:\\caf\xC3\xA9", "BESTANDEN|C:\\CAF\xC3\x89\\"},
    };
    for (const auto& c : cases) {
        std::string got = "wizard";
        if (const std::optional<std::string> tail = WindowsCommandTail(c.commandLine)) {
            const std::optional<CommandLine> cl = SplitCommandLine(Trim(*tail));
            got = cl ? cl->mode + "|" + cl->folder : "usage";
        }
        EXPECT_EQ(got, c.expected) << c.commandLine;
    }
}

} // namespace
} // namespace kw
