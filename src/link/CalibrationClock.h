#pragma once

namespace kelvo {

// How a calibration times its batches of pause writes.
enum class CalibrationClock {
    Microseconds, // the clock's fine reading, each batch timed in parts
    WholeSeconds, // whole seconds, from a second boundary (the earlier timing)
};

} // namespace kelvo
