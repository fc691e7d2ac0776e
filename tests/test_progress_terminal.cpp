#include "app/cli/TerminalProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <sstream>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A firmware-sized run: texts first, then a thousand steps, with an
// estimate of 1 h 23 min 20 s halfway.
void Drive(TerminalProgress& p) {
    p.SetStatus("Searching for a board on port 0x378, please wait...");
    p.SetWarning("Do not turn off the power or disconnect the programming cable.");
    p.SetTimeLeft("");
    p.SetPosition(0);
    p.SetStatus("Uploading firmware to your board, please wait...");
    p.SetTimeLeft("Time Left: Calculating...");
    p.SetRange(1000);
    for (int i = 0; i <= 1000; ++i) {
        p.SetPosition(i);
        if (i == 500)
            p.SetTimeLeftSeconds(5000);
    }
}

const std::string kFullBar = "[##############################] 100%";

} // namespace

TEST(TerminalProgress, PlainOutputIsTheStatusAndOneBarGrowingToItsEnd) {
    std::ostringstream out;
    TerminalProgress p(out, ProgressStyle::Plain);
    Drive(p);
    p.Finish(true);
    EXPECT_EQ(out.str(), "Uploading firmware to your board, please wait...\n" + kFullBar + "\n");

    // A bar that stops short says where; a status change starts a new bar
    // under the new status, as far as the old one got.
    std::ostringstream cut;
    TerminalProgress q(cut, ProgressStyle::Plain);
    q.SetStatus("Downloading settings from your board, please wait...");
    q.SetRange(100);
    q.SetPosition(1); // the first step shows the board has answered
    EXPECT_TRUE(q.Started());
    q.SetPosition(20);
    q.SetStatus("Verifying");
    q.SetPosition(40);
    q.Finish(false);
    EXPECT_EQ(cut.str(), "Downloading settings from your board, please wait...\n[######\n"
                         "Verifying\n[############------------------]  40%\n");
}

TEST(TerminalProgress, AnAttemptThatNeverMovesTheBarLeavesNothing) {
    for (ProgressStyle style : {ProgressStyle::Plain, ProgressStyle::Terminal}) {
        std::ostringstream out;
        TerminalProgress p(out, style);
        p.SetStatus("Searching for a board on port 0x378, please wait...");
        p.SetRange(36);
        p.SetPosition(0);
        p.SetTimeLeft("Time Left: 00:03");
        EXPECT_FALSE(p.Started());
        p.Finish(false);
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream silent;
    TerminalProgress q(silent, ProgressStyle::Silent);
    Drive(q);
    q.Finish(true);
    EXPECT_EQ(silent.str(), "");
    EXPECT_TRUE(q.Started());
    EXPECT_EQ(q.Percent(), 100);
}

TEST(TerminalProgress, PositionsOutsideTheRangeAreClamped) {
    std::ostringstream out;
    TerminalProgress p(out, ProgressStyle::Plain);
    EXPECT_EQ(p.BarText(), "[------------------------------]   0%") << "no range yet";
    p.SetRange(36);
    p.SetPosition(37);
    EXPECT_EQ(p.BarText(), kFullBar);
    p.SetPosition(-5);
    EXPECT_EQ(p.BarText(), "[------------------------------]   0%");
    p.SetRange(2);
    p.SetPosition(1);
    EXPECT_EQ(p.BarText(), "[###############---------------]  50%");
}

TEST(TerminalProgress, TimeLeftBeyondAnHourIsShownInFull) {
    EXPECT_EQ(FormatTimeLeftInFull(3599), "Time Left: 59:59");
    EXPECT_EQ(FormatTimeLeftInFull(3600), "Time Left: 1:00:00");
    EXPECT_EQ(FormatTimeLeftInFull(7384), "Time Left: 2:03:04");
    EXPECT_EQ(FormatTimeLeftInFull(36000 + 61), "Time Left: 10:01:01");
}

TEST(TerminalProgress, TerminalRedrawsTheBlockInPlaceAndLeavesTheFullBar) {
    std::ostringstream out;
    TerminalProgress p(out, ProgressStyle::Terminal);
    Drive(p);
    const std::string text = out.str();
    // Each redraw clears and rewrites the four lines after moving up to them.
    const std::size_t draws = Count(text, "\x1b[2K") / 4;
    EXPECT_EQ(Count(text, "\x1b[4F"), draws - 1);
    // 100 distinct percentages past 0 plus the time-left change, not 1000 steps.
    EXPECT_LE(draws, 101u + 2u);
    EXPECT_GE(draws, 100u);
    const std::string last = text.substr(text.rfind("\x1b[4F"));
    EXPECT_EQ(last, "\x1b[4F\x1b[2KUploading firmware to your board, please wait...\n"
                    "\x1b[2K" +
                        kFullBar +
                        "\n"
                        "\x1b[2KTime Left: 1:23:20\n"
                        "\x1b[2KDo not turn off the power or disconnect the programming cable.\n");
    p.Finish(true);
    EXPECT_EQ(out.str().substr(text.size()), "\x1b[4F\x1b[J"
                                             "Uploading firmware to your board, please wait...\n" +
                                                 kFullBar + "\n");

    std::ostringstream failed;
    TerminalProgress q(failed, ProgressStyle::Terminal);
    q.SetRange(10);
    q.SetPosition(3);
    const std::size_t drawn = failed.str().size();
    q.Finish(false);
    EXPECT_EQ(failed.str().substr(drawn), "\x1b[4F\x1b[J") << "the block is taken away";
}

#ifndef _WIN32
// A terminal is one only when TERM does not say it cannot move the cursor.
TEST(TerminalProgress, TermDumbIsNoTerminal) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::FILE* slave = std::fopen(ptsname(master), "w");
    ASSERT_NE(slave, nullptr);
    const char* before = std::getenv("TERM");
    const std::string saved = before ? before : "";
    setenv("TERM", "xterm", 1);
    EXPECT_TRUE(IsTerminal(slave));
    setenv("TERM", "dumb", 1);
    EXPECT_FALSE(IsTerminal(slave));
    if (before)
        setenv("TERM", saved.c_str(), 1);
    else
        unsetenv("TERM");
    std::FILE* file = std::tmpfile();
    EXPECT_FALSE(IsTerminal(file));
    std::fclose(file);
    std::fclose(slave);
    close(master);
}
#endif
