#include "link/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace kelvo {

std::int64_t SystemClock::NowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

void SystemClock::SleepMs(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace kelvo
