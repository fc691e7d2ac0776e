#include "app/cli/TerminalProgress.h"

#include "link/OperationContext.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelvo {

namespace {
constexpr int kBarWidth = 30;
} // namespace

bool IsTerminal(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    if (term && std::string_view(term) == "dumb")
        return false;
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

std::string FormatTimeLeftInFull(std::int32_t seconds) {
    if (seconds < 3600)
        return FormatTimeLeft(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "Time Left: %d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60));
    return text;
}

int TerminalProgress::Percent() const {
    if (max_ <= 0)
        return 0;
    // The bar clamps positions outside its range, like the window's control.
    const long long position = std::clamp(position_, 0, max_);
    return static_cast<int>(position * 100 / max_);
}

std::string TerminalProgress::BarText() const {
    const int percent = Percent();
    const int filled = percent * kBarWidth / 100;
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] ";
    const std::string number = std::to_string(percent);
    return bar + std::string(3 - std::min<std::size_t>(3, number.size()), ' ') + number + "%";
}

void TerminalProgress::SetRange(int max) {
    max_ = max;
    Changed();
}

void TerminalProgress::SetPosition(int position) {
    position_ = position;
    if (!started_ && max_ > 0 && position > 0) {
        started_ = true;
        if (style_ == ProgressStyle::Plain)
            out_ << status_ << "\n[" << std::flush;
    }
    if (style_ == ProgressStyle::Terminal && Percent() == drawnPercent_)
        return;
    Changed();
}

void TerminalProgress::SetStatus(const std::string& text) {
    if (text == status_)
        return;
    status_ = text;
    if (started_ && style_ == ProgressStyle::Plain) {
        // The new status goes above a new bar that starts where the old one
        // stood.
        out_ << "\n"
             << status_ << "\n[" << std::string(static_cast<std::size_t>(drawnMarks_), '#')
             << std::flush;
        return;
    }
    Changed();
}

void TerminalProgress::SetTimeLeft(const std::string& text) {
    if (text == timeLeft_)
        return;
    timeLeft_ = text;
    Changed();
}

void TerminalProgress::SetTimeLeftSeconds(std::int32_t seconds) {
    SetTimeLeft(FormatTimeLeftInFull(seconds));
}

void TerminalProgress::SetWarning(const std::string& text) {
    if (text == warning_)
        return;
    warning_ = text;
    Changed();
}

void TerminalProgress::Changed() {
    if (!started_)
        return;
    if (style_ == ProgressStyle::Terminal)
        Redraw();
    else if (style_ == ProgressStyle::Plain)
        GrowPlainBar();
}

void TerminalProgress::GrowPlainBar() {
    const int marks = Percent() * kBarWidth / 100;
    if (marks > drawnMarks_) {
        out_ << std::string(static_cast<std::size_t>(marks - drawnMarks_), '#') << std::flush;
        drawnMarks_ = marks;
    }
}

// Redraws the whole block over the previous one: cursor up to its first
// line, then each line cleared and written again.
void TerminalProgress::Redraw() {
    if (drawnLines_ > 0)
        out_ << "\x1b[" << drawnLines_ << 'F';
    const std::string lines[] = {status_, BarText(), timeLeft_, warning_};
    for (const std::string& line : lines)
        out_ << "\x1b[2K" << line << '\n';
    out_ << std::flush;
    drawnLines_ = static_cast<int>(std::size(lines));
    drawnPercent_ = Percent();
}

void TerminalProgress::Finish(bool succeeded) {
    if (!started_)
        return;
    if (succeeded)
        position_ = std::max(max_, 1);
    if (style_ == ProgressStyle::Plain) {
        GrowPlainBar();
        out_ << std::string(static_cast<std::size_t>(kBarWidth - drawnMarks_), '-') << "] "
             << BarText().substr(kBarWidth + 3) << "\n"
             << std::flush;
    } else if (style_ == ProgressStyle::Terminal) {
        // The block goes; a success leaves its status and full bar.
        out_ << "\x1b[" << drawnLines_ << "F\x1b[J";
        if (succeeded)
            out_ << status_ << '\n' << BarText() << '\n';
        out_ << std::flush;
        drawnLines_ = 0;
    }
}

} // namespace kelvo
