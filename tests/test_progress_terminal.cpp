#include "app/cli/TerminalProgress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A firmware-sized run: texts first, then a thousand steps.
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
            p.SetTimeLeft("Time Left: 00:42");
    }
}

} // namespace

TEST(TerminalProgress, PlainOutputIsOneLinePerChangeAndEveryTenPercent) {
    std::ostringstream out;
    TerminalProgress p(out, false);
    Drive(p);
    const std::string text = out.str();
    for (char c : text)
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 5u + 11u) << "five texts and a bar every 10 percent";
    EXPECT_EQ(lines[0], "Searching for a board on port 0x378, please wait...");
    EXPECT_EQ(lines[1], "Do not turn off the power or disconnect the programming cable.");
    EXPECT_EQ(lines[2], "[------------------------------]   0%");
    EXPECT_EQ(lines[3], "Uploading firmware to your board, please wait...");
    EXPECT_EQ(lines[4], "Time Left: Calculating...");
    EXPECT_EQ(lines[5], "[###---------------------------]  10%");
    EXPECT_EQ(Count(text, "Time Left: 00:42\n"), 1u);
    EXPECT_EQ(lines.back(), "[##############################] 100%");
}

TEST(TerminalProgress, PositionsOutsideTheRangeAreClamped) {
    std::ostringstream out;
    TerminalProgress p(out, false);
    EXPECT_EQ(p.BarText(), "[------------------------------]   0%") << "no range yet";
    p.SetRange(36);
    p.SetPosition(37);
    EXPECT_EQ(p.BarText(), "[##############################] 100%");
    p.SetPosition(-5);
    EXPECT_EQ(p.BarText(), "[------------------------------]   0%");
    p.SetRange(2);
    p.SetPosition(1);
    EXPECT_EQ(p.BarText(), "[###############---------------]  50%");
}

TEST(TerminalProgress, TerminalRedrawsTheBlockInPlaceOnlyWhenItChanges) {
    std::ostringstream out;
    TerminalProgress p(out, true);
    Drive(p);
    const std::string text = out.str();
    // Each redraw clears and rewrites the four lines after moving up to them.
    const std::size_t draws = Count(text, "\x1b[2K") / 4;
    EXPECT_EQ(Count(text, "\x1b[4F"), draws - 1);
    // 101 distinct percentages plus the text changes, not 1000 steps.
    EXPECT_LE(draws, 101u + 8u);
    EXPECT_GE(draws, 101u);
    const std::string last = text.substr(text.rfind("\x1b[4F"));
    EXPECT_EQ(last, "\x1b[4F\x1b[2KUploading firmware to your board, please wait...\n"
                    "\x1b[2K[##############################] 100%\n"
                    "\x1b[2KTime Left: 00:42\n"
                    "\x1b[2KDo not turn off the power or disconnect the programming cable.\n");
}
