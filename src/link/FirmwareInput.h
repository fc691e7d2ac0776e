#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

// Outcome of programming or verifying one firmware record.
enum RecordResult : int {
    kRecordFailed = 0,
    kRecordNothingToProgram = 1, // empty line or end record
    kRecordProgrammed = 2,
};

inline constexpr std::uint8_t kRecordTypeEnd = 0x01;

// A whole image of 255-character tokens for the 8 KB code memory stays well
// below this; a larger file is not read at all.
inline constexpr std::size_t kMaxImageFileBytes = 1 << 20;

// The number of whitespace-separated tokens in the firmware file, header
// token included, which is the number of lines the writers take; nothing
// when it cannot be opened or is not a regular file of at most
// kMaxImageFileBytes.
std::optional<int> CountFileTokens(const std::string& path);

struct OperationContext;

// The start both firmware writers share: calibrates the delay, counts the
// file's tokens into the line count and refuses an image `writable` turns
// down, before any register of the port is touched; then shows the firmware
// texts. Returns the line count, or nothing when the write must not start.
std::optional<int> BeginFirmwareWrite(OperationContext& ctx,
                                      bool (*writable)(std::string_view text, int lineCount));

// Hands out the lines of the firmware text one at a time, without their line
// feed, and empty lines once the text is exhausted.
class FirmwareLines {
public:
    explicit FirmwareLines(std::string_view text) : text_(text) {}
    std::string_view Next();

private:
    std::string_view text_;
    std::size_t next_ = 0;
};

// The four bytes that follow the ':' of a record.
struct RecordHeader {
    std::uint8_t count = 0;
    std::uint8_t addressHigh = 0;
    std::uint8_t addressLow = 0;
    std::uint8_t type = 0;
    std::uint32_t Address() const { return addressHigh * 256u + addressLow; }
};

// Reads the header of a record line that begins with ':'; leaves the cursor
// at the first data byte.
RecordHeader ReadRecordHeader(std::string_view line, std::size_t& cursor);

// Characters a record line needs to hold all its bytes, checksum included.
inline std::size_t RecordLineLength(std::uint8_t count) {
    return 1 + 2 * (4u + count + 1u);
}

} // namespace kelvo
