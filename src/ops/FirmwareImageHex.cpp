#include "ops/FirmwareImageHex.h"

#include "files/InputFile.h"
#include "files/TextParsing.h"
#include "link/FirmwareInput.h"
#include "link/HexPair.h"
#include "ops/FirmwareImage.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <optional>
#include <sstream>

namespace kelvo {

namespace {

constexpr std::uint8_t kTypeData = 0x00;
constexpr std::uint8_t kTypeEnd = 0x01;
constexpr std::uint8_t kTypeSegmentBase = 0x02;
constexpr std::uint8_t kTypeSegmentStart = 0x03;
constexpr std::uint8_t kTypeLinearBase = 0x04;
constexpr std::uint8_t kTypeLinearStart = 0x05;

constexpr std::string_view kHeaderTag = "KelvoEFW:"; // nine characters, not interpreted
static_assert(kHeaderTag.size() == kHeaderPrefix);

std::string Hex(std::uint64_t value, int digits) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%0*llX", digits,
                  static_cast<unsigned long long>(value));
    return buffer;
}

struct Record {
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

// Checks one record line; returns the record or sets `error` (without the
// line number).
std::optional<Record> ParseRecord(std::string_view line, std::string& error) {
    if (line.front() != ':') {
        error = "a record must start with ':'";
        return std::nullopt;
    }
    const std::string_view digits = line.substr(1);
    for (std::size_t i = 0; i < digits.size(); ++i)
        if (HexDigitValue(digits[i]) < 0) {
            error = "character " + std::to_string(i + 2) + " is not a hexadecimal digit";
            return std::nullopt;
        }
    if (digits.size() % 2 != 0) {
        error = "odd number of hexadecimal digits";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(HexDigitValue(digits[i]) * 16 +
                                                  HexDigitValue(digits[i + 1])));
    if (bytes.size() < 5) {
        error = "too short for a record";
        return std::nullopt;
    }
    const std::size_t count = bytes[0];
    if (bytes.size() != count + 5) {
        error = "byte count says " + std::to_string(count) + " data bytes but the record holds " +
                std::to_string(bytes.size() - 5);
        return std::nullopt;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        sum += bytes[i];
    const auto expected = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    if (bytes.back() != expected) {
        error =
            "checksum is " + Hex(bytes.back(), 2) + ", the record's bytes need " + Hex(expected, 2);
        return std::nullopt;
    }
    Record record;
    record.address = static_cast<std::uint16_t>(bytes[1] * 256 + bytes[2]);
    record.type = bytes[3];
    record.data.assign(bytes.begin() + 4, bytes.end() - 1);
    return record;
}

} // namespace

HexImage ReadIntelHex(std::istream& in) {
    HexImage image;
    std::vector<std::uint8_t> memory(kCodeMemorySize, 0xFF);
    std::uint64_t base = 0;    // from type 02 and 04 records
    std::uint64_t dataEnd = 0; // one past the last data byte so far
    std::size_t endLine = 0;   // line of the end record, 0 before it
    std::size_t lineNumber = 0;
    std::string line;
    bool truncated = false;
    auto fail = [&](const std::string& why) {
        image.memory.clear();
        image.error = "line " + std::to_string(lineNumber) + ": " + why;
        return image;
    };

    while (ReadLimitedLine(in, line, kIntelHexLineLimit, &truncated)) {
        ++lineNumber;
        if (truncated)
            return fail("longer than any Intel HEX record can be");
        const std::string_view text = TrimTrailingSpace(line);
        if (text.empty())
            continue;
        if (endLine != 0)
            return fail("text after the end record of line " + std::to_string(endLine));
        std::string why;
        const std::optional<Record> record = ParseRecord(text, why);
        if (!record)
            return fail(why);

        const std::size_t count = record->data.size();
        auto value16 = [&] { return std::uint64_t{record->data[0]} * 256 + record->data[1]; };
        switch (record->type) {
        case kTypeData: {
            if (count == 0)
                break;
            const std::uint64_t start = base + record->address;
            if (start < dataEnd)
                return fail("data at " + Hex(start, 4) +
                            " goes back over data already given up to " + Hex(dataEnd - 1, 4) +
                            "; addresses must ascend");
            if (start + count > kCodeMemorySize)
                return fail("data at " + Hex(start, 4) + ".." + Hex(start + count - 1, 4) +
                            " lies beyond the " + std::to_string(kCodeMemorySize) +
                            " bytes (8 KB) of code memory");
            std::copy(record->data.begin(), record->data.end(), memory.begin() + start);
            dataEnd = start + count;
            break;
        }
        case kTypeEnd:
            if (count != 0)
                return fail("an end record (type 01) carries no data");
            endLine = lineNumber;
            break;
        case kTypeSegmentBase:
        case kTypeLinearBase:
            if (count != 2)
                return fail("a type " + Hex(record->type, 2).substr(2) +
                            " record carries 2 data bytes");
            base = record->type == kTypeSegmentBase ? value16() * 16 : value16() << 16;
            break;
        case kTypeSegmentStart:
        case kTypeLinearStart:
            // A start address means nothing to the boards: both start at 0.
            if (count != 4)
                return fail("a type " + Hex(record->type, 2).substr(2) +
                            " record carries 4 data bytes");
            break;
        default:
            return fail("record type " + Hex(record->type, 2).substr(2) +
                        " is not an Intel HEX record type (00 to 05)");
        }
    }
    ++lineNumber;
    if (endLine == 0)
        return fail("the file ends without an end record (:00000001FF)");
    if (dataEnd == 0)
        return fail("the file holds no data");
    memory.resize(dataEnd);
    image.memory = std::move(memory);
    return image;
}

HexImage ReadIntelHexFile(const std::filesystem::path& path) {
    std::string why;
    const std::optional<std::string> text = ReadInputFile(path, kMaxImageFileBytes, why);
    if (!text)
        return {{}, why};
    std::istringstream in(*text);
    return ReadIntelHex(in);
}

std::string FormatIntelHexRecord(std::uint16_t address, std::uint8_t type,
                                 std::span<const std::uint8_t> data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string record = ":";
    unsigned sum = 0;
    auto put = [&](std::uint8_t byte) {
        record.push_back(kDigits[byte >> 4]);
        record.push_back(kDigits[byte & 0x0F]);
        sum += byte;
    };
    put(static_cast<std::uint8_t>(data.size()));
    put(static_cast<std::uint8_t>(address >> 8));
    put(static_cast<std::uint8_t>(address & 0xFF));
    put(type);
    for (std::uint8_t byte : data)
        put(byte);
    put(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    return record;
}

std::vector<std::string> CutIntoRecords(std::span<const std::uint8_t> memory) {
    std::vector<std::uint8_t> padded(memory.begin(), memory.end());
    const std::size_t pages = (padded.size() + kImagePageBytes - 1) / kImagePageBytes;
    padded.resize(pages * kImagePageBytes, 0xFF);

    std::vector<std::string> records;
    for (std::size_t address = 0; address < padded.size(); address += kImageRecordBytes)
        records.push_back(FormatIntelHexRecord(
            static_cast<std::uint16_t>(address), kTypeData,
            std::span<const std::uint8_t>(padded).subspan(address, kImageRecordBytes)));
    records.push_back(FormatIntelHexRecord(0, kTypeEnd, {}));
    return records;
}

std::string FormatFirmwareImage(std::int32_t boardCode, const std::vector<std::string>& records) {
    std::string text = std::string(kHeaderTag) + std::to_string(boardCode) + "\n";
    // Each token starts with its line number (mod 1000) so a person can find
    // a record; the reader ignores those three characters.
    for (std::size_t i = 0; i < records.size(); ++i) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%03u", static_cast<unsigned>((i + 1) % 1000));
        text += EncodeRecordToken(prefix, records[i]) + "\n";
    }
    return text;
}

} // namespace kelvo
