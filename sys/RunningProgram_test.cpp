// The running-program check against a real X server: a private Xvfb with helper windows.
#include "sys/RunningProgram.h"

#include "testsupport/xwindow/XTestServer.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

using test::TestWindow;
using test::XvfbServer;

constexpr std::string_view kClasses[] = {"ThunderRT6MDIForm", "vondelux.exe"};

class RunningProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        server_ = XvfbServer::Start(why);
        if (!server_)
            GTEST_SKIP() << "no X server for this test: " << why;
    }
    std::unique_ptr<XvfbServer> server_;
};

TEST_F(RunningProgramTest, ClassAndTitleTogetherMakeTheProgram) {
    EXPECT_EQ(FindProgramWindow(kClasses, "Vondelux"), 0u) << "an empty display";
    std::optional<TestWindow> titleOnly = TestWindow::Open("Notepad", "Vondelux");
    std::optional<TestWindow> classOnly = TestWindow::Open("ThunderRT6MDIForm", "Vondelux 2");
    std::optional<TestWindow> wineClassOnly = TestWindow::Open("vondelux.exe", "Over Vondelux");
    ASSERT_TRUE(titleOnly && classOnly && wineClassOnly);
    EXPECT_EQ(FindProgramWindow(kClasses, "Vondelux"), 0u);

    std::optional<TestWindow> program = TestWindow::Open("ThunderRT6MDIForm", "Vondelux");
    ASSERT_TRUE(program);
    EXPECT_EQ(FindProgramWindow(kClasses, "Vondelux"), program->Id());
}

TEST_F(RunningProgramTest, LetterCaseDoesNotMatterAndWineClassesCount) {
    std::optional<TestWindow> program = TestWindow::Open("VONDELUX.EXE", "vONDELUX");
    ASSERT_TRUE(program);
    EXPECT_EQ(FindProgramWindow(kClasses, "Vondelux"), program->Id());
}

TEST_F(RunningProgramTest, FlashSetsTheUrgencyHintOnThatWindowOnly) {
    std::optional<TestWindow> program = TestWindow::Open("ThunderRT6MDIForm", "Vondelux");
    std::optional<TestWindow> other = TestWindow::Open("Notepad", "Vondelux");
    ASSERT_TRUE(program && other);
    EXPECT_FALSE(program->Urgent());
    FlashWindow(FindProgramWindow(kClasses, "Vondelux"));
    EXPECT_TRUE(program->Urgent());
    EXPECT_FALSE(other->Urgent());
}

TEST(RunningProgramWithoutDisplay, NothingIsFound) {
    const char* old = std::getenv("DISPLAY");
    const std::string saved = old ? old : "";
    ::unsetenv("DISPLAY");
    EXPECT_EQ(FindProgramWindow(kClasses, "Vondelux"), 0u);
    FlashWindow(12345); // must not fail either
    if (old)
        ::setenv("DISPLAY", saved.c_str(), 1);
}

} // namespace
} // namespace kw
