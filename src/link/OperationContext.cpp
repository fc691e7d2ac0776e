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
    if (lastEstimateTime_ <= 0) {
        lastEstimateTime_ = bus.clock().NowSeconds();
        return;
    }
    const std::int64_t now = bus.clock().NowSeconds();
    const std::int64_t elapsed = now - lastEstimateTime_;
    if (elapsed < 5) {
        stepsInWindow_ += 1.0f;
        return;
    }
    if (stepsInWindow_ > 0.0f) {
        const float rate = stepsInWindow_ / static_cast<float>(elapsed);
        const float estimate = std::trunc(stepsRemaining / rate);
        // An estimate beyond 32 bits cannot be shown honestly; leave the line.
        if (estimate >= 0.0f && estimate < 2147483648.0f)
            progress.SetTimeLeftSeconds(static_cast<std::int32_t>(estimate));
    }
    stepsInWindow_ = 0.0f;
    lastEstimateTime_ = now;
}

} // namespace kelvo
