#include "app/cli/TerminalProgress.h"

#include <algorithm>
#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelvo {

namespace {
constexpr int kBarWidth = 30;
constexpr int kPlainStepPercent = 10;
} // namespace

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
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
    if (interactive_)
        Changed();
}

void TerminalProgress::SetPosition(int position) {
    position_ = position;
    if (interactive_) {
        if (Percent() != drawnPercent_)
            Changed();
        return;
    }
    const int step = Percent() / kPlainStepPercent;
    if (step != printedStep_) {
        printedStep_ = step;
        out_ << BarText() << '\n' << std::flush;
    }
}

void TerminalProgress::SetStatus(const std::string& text) {
    if (text == status_)
        return;
    status_ = text;
    if (interactive_)
        Changed();
    else if (!text.empty())
        out_ << text << '\n' << std::flush;
}

void TerminalProgress::SetTimeLeft(const std::string& text) {
    if (text == timeLeft_)
        return;
    timeLeft_ = text;
    if (interactive_)
        Changed();
    else if (!text.empty())
        out_ << text << '\n' << std::flush;
}

void TerminalProgress::SetWarning(const std::string& text) {
    if (text == warning_)
        return;
    warning_ = text;
    if (interactive_)
        Changed();
    else if (!text.empty())
        out_ << text << '\n' << std::flush;
}

// Redraws the whole block over the previous one: cursor up to its first
// line, then each line cleared and written again.
void TerminalProgress::Changed() {
    if (drawnLines_ > 0)
        out_ << "\x1b[" << drawnLines_ << 'F';
    const std::string lines[] = {status_, BarText(), timeLeft_, warning_};
    for (const std::string& line : lines)
        out_ << "\x1b[2K" << line << '\n';
    out_ << std::flush;
    drawnLines_ = static_cast<int>(std::size(lines));
    drawnPercent_ = Percent();
}

} // namespace kelvo
