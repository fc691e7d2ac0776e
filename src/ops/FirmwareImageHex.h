#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// Both board families carry 8 KB of code memory.
inline constexpr std::size_t kCodeMemorySize = 8192;
// The firmware writers program 16-byte records, four to a 64-byte AVR page.
inline constexpr std::size_t kImageRecordBytes = 16;
inline constexpr std::size_t kImagePageBytes = 64;
// Longest line an Intel HEX record can need (255 data bytes), plus slack for
// trailing blanks.
inline constexpr std::size_t kIntelHexLineLimit = 600;

// Code memory as an Intel HEX file describes it.
struct HexImage {
    // From address 0 up to the last byte the file gives; 0xFF where it
    // gives nothing.
    std::vector<std::uint8_t> memory;
    // Why the file was refused ("line 7: ..."); empty when it was read.
    std::string error;
    bool ok() const { return error.empty(); }
};

// Reads and checks an Intel HEX file: record syntax, byte counts, checksums,
// record types, ascending addresses, the end record, and that everything
// fits the code memory.
HexImage ReadIntelHex(std::istream& in);
// The same of the file at `path`, which must be a regular file of at most
// kMaxImageFileBytes; its `error` then names what is wrong with the file.
HexImage ReadIntelHexFile(const std::filesystem::path& path);

// One record as text: ':', count, address, type, data, checksum, upper case.
std::string FormatIntelHexRecord(std::uint16_t address, std::uint8_t type,
                                 std::span<const std::uint8_t> data);

// The records the firmware writers need: 16-byte data records contiguous
// from address 0, the memory padded with 0xFF to whole 64-byte pages (the
// AVR writer commits a page only after its fourth record), then the end
// record.
std::vector<std::string> CutIntoRecords(std::span<const std::uint8_t> memory);

// A whole image file: the header carrying `boardCode`, then one encoded
// record token per line.
std::string FormatFirmwareImage(std::int32_t boardCode, const std::vector<std::string>& records);

} // namespace kelvo
