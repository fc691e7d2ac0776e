#include "ops/FirmwareImage.h"

#include "files/TextParsing.h"
#include "ops/FirmwareImageHex.h"

#include <fstream>
#include <istream>
#include <vector>

namespace kelvo {

namespace {

constexpr std::uint8_t kTypeData = 0x00;
constexpr std::uint8_t kTypeEnd = 0x01;

// Upper-case digits only: the format's records are written that way, and a
// lower-case letter is not a digit to the writers' pair reader.
int UpperHexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes of a decoded record, checksum included, or nothing when it is
// not ':' and upper-case hex pairs whose count byte matches their number and
// whose bytes sum to 0 modulo 256.
std::optional<std::vector<std::uint8_t>> RecordBytes(std::string_view record) {
    if (record.size() < 11 || record.front() != ':' || record.size() % 2 == 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    unsigned sum = 0;
    for (std::size_t i = 1; i < record.size(); i += 2) {
        const int hi = UpperHexDigit(record[i]);
        const int lo = UpperHexDigit(record[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        sum += bytes.back();
    }
    if (bytes.size() != bytes[0] + 5u || (sum & 0xFF) != 0)
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<std::string> ReadFirmwareImage(std::istream& in) {
    std::string token;
    bool tooLong = false;
    if (!ReadLimitedToken(in, token, kMaxImageTokenLength, &tooLong) || tooLong)
        return std::nullopt;

    // Both writers rely on one shape: 16-byte data records contiguous from
    // address 0 inside code memory, then the end record, then nothing. Every
    // record is checked here, before any board is erased.
    std::string text;
    std::size_t dataRecords = 0;
    bool ended = false;
    while (ReadLimitedToken(in, token, kMaxImageTokenLength, &tooLong)) {
        if (ended || tooLong || token.size() <= kRecordTokenPrefix ||
            token[kRecordTokenPrefix] != kEncodedRecordMark)
            return std::nullopt;
        std::string record;
        for (std::size_t i = kRecordTokenPrefix; i < token.size(); ++i)
            record.push_back(DecodeRecordCharacter(token[i]));
        const std::optional<std::vector<std::uint8_t>> bytes = RecordBytes(record);
        if (!bytes)
            return std::nullopt;
        const std::uint8_t count = (*bytes)[0];
        const std::size_t address = (*bytes)[1] * 256u + (*bytes)[2];
        const std::uint8_t type = (*bytes)[3];
        if (type == kTypeEnd && count == 0 && dataRecords > 0) {
            ended = true;
        } else if (type == kTypeData && count == kImageRecordBytes &&
                   address == dataRecords * kImageRecordBytes &&
                   address + kImageRecordBytes <= kCodeMemorySize) {
            ++dataRecords;
        } else {
            return std::nullopt;
        }
        text += record;
        text.push_back('\n');
    }
    if (!ended)
        return std::nullopt;
    return text;
}

bool FirmwareImageReader(const std::filesystem::path& path, std::string& firmwareImageText) {
    // The writers count the file's tokens again, so it must read the same
    // twice: a pipe or device would not.
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_regular_file(path, ec) || !OpenTextFile(path, in))
        return false;
    std::optional<std::string> text = ReadFirmwareImage(in);
    if (!text)
        return false;
    firmwareImageText = std::move(*text);
    return true;
}

std::int32_t HeaderBoardCode(std::string_view headerToken) {
    if (headerToken.size() <= kHeaderPrefix)
        return 0;
    return ParseLeadingDecimal(headerToken.substr(kHeaderPrefix));
}

std::int32_t ReadHeaderBoardCode(const std::filesystem::path& path) {
    std::error_code ec;
    std::ifstream in;
    std::string header;
    if (!std::filesystem::is_regular_file(path, ec) || !OpenTextFile(path, in) ||
        !ReadLimitedToken(in, header, kMaxImageTokenLength))
        return 0;
    return HeaderBoardCode(header);
}

std::string EncodeRecordToken(std::string_view prefix, std::string_view record) {
    std::string token(prefix);
    for (char c : record)
        token.push_back(EncodeRecordCharacter(c));
    return token;
}

} // namespace kelvo
