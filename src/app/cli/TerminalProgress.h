#pragma once

#include "link/ProgressSink.h"

#include <cstdio>
#include <iosfwd>
#include <string>

namespace kelvo {

enum class ProgressStyle {
    Silent,   // -q: nothing
    Plain,    // a pipe, a log file or TERM=dumb: lines only, no escape codes
    Terminal, // redrawn in place
};

// kelvo-cli's progress window for one board operation. Nothing shows until
// the bar first moves, that is until a board has answered, so an attempt
// that finds no board leaves no bar behind. Then the status line stands
// above its bar: on a terminal the block (status, bar, time left, warning)
// is redrawn in place; otherwise the status is printed once and the bar
// grows on one line. Finish() ends the operation: a success leaves the
// status and a full bar, a failure on a terminal leaves nothing.
class TerminalProgress final : public ProgressSink {
public:
    TerminalProgress(std::ostream& out, ProgressStyle style) : out_(out), style_(style) {}

    void SetRange(int max) override;
    void SetPosition(int position) override;
    void SetStatus(const std::string& text) override;
    void SetTimeLeft(const std::string& text) override;
    // Beyond an hour the terminal shows the hours too.
    void SetTimeLeftSeconds(std::int32_t seconds) override;
    void SetWarning(const std::string& text) override;

    void Finish(bool succeeded);

    // The bar as drawn, e.g. "[##########----------]  50%".
    std::string BarText() const;
    int Percent() const;
    // Whether the bar ever moved: a board answered.
    bool Started() const { return started_; }

private:
    void Changed();
    void Redraw();
    void GrowPlainBar();

    std::ostream& out_;
    const ProgressStyle style_;
    int max_ = 0;
    int position_ = 0;
    std::string status_;
    std::string timeLeft_;
    std::string warning_;
    bool started_ = false;

    // Terminal: lines drawn last time and the percentage they showed.
    int drawnLines_ = 0;
    int drawnPercent_ = -1;
    // Plain: marks of the bar printed so far.
    int drawnMarks_ = 0;
};

// "Time Left: H:MM:SS" beyond an hour, the window's "Time Left: MM:SS" below.
std::string FormatTimeLeftInFull(std::int32_t seconds);

// Whether the stream is a terminal that understands cursor movement: not
// when it is a pipe or a file, nor when TERM is "dumb".
bool IsTerminal(std::FILE* stream);

} // namespace kelvo
