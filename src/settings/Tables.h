#pragma once

#include <array>
#include <cstdint>

namespace kelvo {

// Rate-of-fire list position -> shot period in ms (1 = "Unlimited").
inline constexpr std::array<std::int32_t, 16> RofPeriodTable = {
    1, 45, 50, 53, 56, 59, 63, 67, 71, 77, 83, 91, 100, 111, 125, 167};

// timerMinutesCode -> minutes.
inline constexpr std::array<std::int32_t, 8> TimerMinutesTable = {1, 2, 3, 5, 7, 10, 12, 15};

} // namespace kelvo
