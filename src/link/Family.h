#pragma once

namespace kelvo {

// The two microcontroller families the boards carry.
enum class Family { Mcs51, Avr };

} // namespace kelvo
