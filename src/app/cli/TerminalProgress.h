#pragma once

#include "link/ProgressSink.h"

#include <cstdio>
#include <iosfwd>
#include <string>

namespace kelvo {

// kelvo-cli's progress window: the status line, a bar with its percentage,
// the time-left line and the warning. On a terminal the block is redrawn in
// place; otherwise (a pipe, a log file) each change is printed once as a
// plain line, the bar only every 10 percent, so logs stay short.
class TerminalProgress final : public ProgressSink {
public:
    TerminalProgress(std::ostream& out, bool interactive) : out_(out), interactive_(interactive) {}

    void SetRange(int max) override;
    void SetPosition(int position) override;
    void SetStatus(const std::string& text) override;
    void SetTimeLeft(const std::string& text) override;
    void SetWarning(const std::string& text) override;

    // The bar as drawn, e.g. "[##########----------]  50%".
    std::string BarText() const;

private:
    int Percent() const;
    void Changed();

    std::ostream& out_;
    const bool interactive_;
    int max_ = 0;
    int position_ = 0;
    std::string status_;
    std::string timeLeft_;
    std::string warning_;

    // Terminal: lines drawn last time and the percentage they showed.
    int drawnLines_ = 0;
    int drawnPercent_ = -1;
    // Plain output: what has been printed already.
    int printedStep_ = -1;
};

// Whether the stream is a terminal that understands cursor movement.
bool IsTerminal(std::FILE* stream);

} // namespace kelvo
