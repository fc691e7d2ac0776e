#include "link/Clock.h"

#include <chrono>
#include <thread>

namespace kelvo {

std::int64_t SystemClock::NowSeconds() {
    // Counted from 1: the time-left estimate takes 0 for "no window yet",
    // and the monotonic clock may start at 0 when the machine boots.
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(since).count() + 1;
}

std::int64_t SystemClock::NowMicroseconds() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count() + 1'000'000;
}

void SystemClock::SleepMs(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace kelvo
