#pragma once

#include <cstdint>

namespace kelvo {

// The two I/O operations the cable needs. Every write must have reached the
// bus when PortWrite returns: the bus time of the writes is the only clock
// the programming protocols have, so nothing may be buffered.
class Port {
public:
    virtual ~Port() = default;
    virtual void PortWrite(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint8_t PortRead(std::uint16_t port) = 0;
    // `count` writes of `value` to `port`, one after another. Real ports make
    // every one of them; a backend that only keeps time (the simulated board,
    // test fakes) may account for a run of pauses at once.
    virtual void PortWriteRepeated(std::uint16_t port, std::uint8_t value, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i)
            PortWrite(port, value);
    }
};

} // namespace kelvo
