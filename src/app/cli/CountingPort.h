#pragma once

#include "link/Port.h"

#include <cstdint>

namespace kelvo {

// Passes every access on to the real port and counts it, for -v.
class CountingPort final : public Port {
public:
    explicit CountingPort(Port& port) : port_(port) {}

    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        ++accesses;
        port_.PortWrite(port, value);
    }
    std::uint8_t PortRead(std::uint16_t port) override {
        ++accesses;
        return port_.PortRead(port);
    }
    void PortWriteRepeated(std::uint16_t port, std::uint8_t value, std::uint32_t count) override {
        accesses += count;
        port_.PortWriteRepeated(port, value, count);
    }

    std::uint64_t accesses = 0;

private:
    Port& port_;
};

} // namespace kelvo
