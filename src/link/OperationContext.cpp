#include "link/OperationContext.h"

#include <cmath>
#include <cstdio>

namespace kelvo {

std::string FormatTimeLeft(std::int32_t seconds) {
    char text[40];
    std::snprintf(text, sizeof text, "Time Left: %02d:%02d", static_cast<int>((seconds / 60) % 60),
                  static_cast<int>(seconds % 60));
    return text;
}

void ProgressSink::SetTimeLeftSeconds(std::int32_t seconds) {
    SetTimeLeft(FormatTimeLeft(seconds));
}

void OperationContext::UpdateTimeLeft() {
    constexpr std::int64_t kWindowUs = 5'000'000;
    if (lastEstimateTime_ <= 0) {
        lastEstimateTime_ = bus.clock().NowMicroseconds();
        return;
    }
    const std::int64_t now = bus.clock().NowMicroseconds();
    const std::int64_t elapsed = now - lastEstimateTime_;
    if (elapsed < kWindowUs) {
        stepsInWindow_ += 1.0f;
        return;
    }
    if (stepsInWindow_ > 0.0f) {
        // The steps left at the window's rate, in seconds.
        const double estimate =
            std::trunc(static_cast<double>(stepsRemaining) * static_cast<double>(elapsed) /
                       (static_cast<double>(stepsInWindow_) * 1e6));
        // An estimate beyond 32 bits cannot be shown honestly; leave the line.
        if (estimate >= 0.0 && estimate < 2147483648.0)
            progress.SetTimeLeftSeconds(static_cast<std::int32_t>(estimate));
    }
    stepsInWindow_ = 0.0f;
    lastEstimateTime_ = now;
}

} // namespace kelvo
