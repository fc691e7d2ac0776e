// What the firmware benchmarks share: a sink that shows nothing, and random
// code as the firmware text the writers take, with a file of its token count.
#pragma once

#include "link/ProgressSink.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace kelvo::bench {

class NullSink final : public ProgressSink {
public:
    void SetRange(int) override {}
    void SetPosition(int) override {}
    void SetStatus(const std::string&) override {}
    void SetTimeLeft(const std::string&) override {}
    void SetWarning(const std::string&) override {}
};

inline std::string Record(unsigned address, const std::uint8_t* bytes) {
    char text[64];
    unsigned sum = 16 + (address >> 8) + (address & 0xFF);
    int at = std::snprintf(text, sizeof text, ":10%04X00", address);
    for (int i = 0; i < 16; ++i) {
        at +=
            std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X", bytes[i]);
        sum += bytes[i];
    }
    std::snprintf(text + at, sizeof text - static_cast<std::size_t>(at), "%02X",
                  (0x100 - sum) & 0xFF);
    return text;
}

// `size` bytes of random code as the firmware text, and a file (named
// `name` in the temporary folder) holding its token count.
struct FirmwareJob {
    FirmwareJob(std::size_t size, const std::string& name)
        : code(size), tokens(std::filesystem::temp_directory_path() / name) {
        std::mt19937 rng(1);
        for (std::uint8_t& b : code)
            b = static_cast<std::uint8_t>(rng());
        for (unsigned a = 0; a < code.size(); a += 16)
            text += Record(a, &code[a]) + "\n";
        text += ":00000001FF\n";
        std::ofstream out(tokens);
        for (std::size_t i = 0; i < code.size() / 16 + 2; ++i)
            out << "t\n";
    }
    ~FirmwareJob() { std::filesystem::remove(tokens); }
    FirmwareJob(const FirmwareJob&) = delete;
    FirmwareJob& operator=(const FirmwareJob&) = delete;

    std::vector<std::uint8_t> code;
    std::string text;
    std::filesystem::path tokens;
};

} // namespace kelvo::bench
