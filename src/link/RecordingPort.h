#pragma once

#include "link/Port.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kelvo {

// Records every access in order; reads answer from a programmable source.
class RecordingPort final : public Port {
public:
    struct Access {
        bool isWrite;
        std::uint16_t port;
        std::uint8_t value; // written, or returned by the read
        bool operator==(const Access&) const = default;
    };

    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        accesses.push_back({true, port, value});
    }
    std::uint8_t PortRead(std::uint16_t port) override {
        const std::uint8_t value = readSource ? readSource(port) : 0xFF;
        accesses.push_back({false, port, value});
        return value;
    }

    // Accesses other than the pause writes to port 0x80.
    std::vector<Access> WithoutPauses() const;

    std::vector<Access> accesses;
    std::function<std::uint8_t(std::uint16_t)> readSource;
};

} // namespace kelvo
