// The running-program check of the Windows edition against real windows of another process.
#include "sys/RunningProgram.h"

#include "testsupport/standin/StandIn.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

constexpr std::string_view kClasses[] = {"ThunderRT6MDIForm"};

TEST(RunningProgramWindows, ClassAndTitleTogetherMakeTheProgramInAnyLetterCase) {
    EXPECT_EQ(FindProgramWindow(kClasses, "Vondelux"), 0u) << "no program is running yet";
    const struct {
        const char* className;
        const char* title;
        bool found;
    } cases[] = {
        {"Notepad", "Vondelux", false},          {"ThunderRT6MDIForm", "Vondelux 2", false},
        {"ThunderRT6MDIForm", "Vondelu", false}, {"ThunderRT6MDIForm", "Vondelux", true},
        {"THUNDERRT6MDIFORM", "vONDELUX", true},
    };
    for (const auto& c : cases) {
        std::unique_ptr<test::StandIn> program = test::StandIn::Start(c.className, c.title);
        ASSERT_TRUE(program) << "the stand-in did not start";
        const WindowId found = FindProgramWindow(kClasses, "Vondelux");
        EXPECT_EQ(found != 0, c.found) << c.className << " / " << c.title;
        FlashWindow(found); // a found window flashes; none (0) is ignored
    }
}

} // namespace
} // namespace kw
