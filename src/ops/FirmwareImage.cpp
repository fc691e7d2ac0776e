#include "ops/FirmwareImage.h"

#include "files/InputFile.h"
#include "files/TextParsing.h"
#include "link/FirmwareInput.h"
#include "ops/FirmwareImageHex.h"

#include <istream>
#include <sstream>
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

FirmwareImageCheck CheckFirmwareImage(std::istream& in) {
    FirmwareImageCheck check;
    const auto refuse = [&](std::string reason) {
        check.reason = std::move(reason);
        return check;
    };
    std::string token;
    bool tooLong = false;
    check.line = 1;
    if (!ReadLimitedToken(in, token, kMaxImageTokenLength, &tooLong))
        return refuse("the file is empty: no header");
    if (tooLong)
        return refuse("the header is longer than 255 characters");

    // Both writers rely on one shape: 16-byte data records contiguous from
    // address 0 inside code memory, then the end record, then nothing. Every
    // record is checked here, before any board is erased. Tokens are counted
    // as lines: the format puts one on each.
    std::string text;
    std::size_t dataRecords = 0;
    bool ended = false;
    while (ReadLimitedToken(in, token, kMaxImageTokenLength, &tooLong)) {
        ++check.line;
        if (ended)
            return refuse("a record follows the end record");
        if (tooLong)
            return refuse("the record is longer than 255 characters");
        if (token.size() <= kRecordTokenPrefix || token[kRecordTokenPrefix] != kEncodedRecordMark)
            return refuse("not an encoded record: its fourth character is not the record mark");
        std::string record;
        for (std::size_t i = kRecordTokenPrefix; i < token.size(); ++i)
            record.push_back(DecodeRecordCharacter(token[i]));
        const std::optional<std::vector<std::uint8_t>> bytes = RecordBytes(record);
        if (!bytes)
            return refuse("the record " + record +
                          " is damaged (digits, byte count or checksum do not agree)");
        const std::uint8_t count = (*bytes)[0];
        const std::size_t address = (*bytes)[1] * 256u + (*bytes)[2];
        const std::uint8_t type = (*bytes)[3];
        if (type == kTypeEnd && count == 0 && dataRecords > 0) {
            ended = true;
        } else if (type == kTypeEnd && count == 0) {
            return refuse("the end record comes before any data");
        } else if (type != kTypeData || count != kImageRecordBytes) {
            return refuse("the record " + record +
                          " is not a 16-byte data record, the only kind the board's writers take");
        } else if (address != dataRecords * kImageRecordBytes) {
            return refuse("the record " + record + " is out of order: expected address " +
                          std::to_string(dataRecords * kImageRecordBytes));
        } else if (address + kImageRecordBytes > kCodeMemorySize) {
            return refuse("the record " + record + " lies beyond the 8 KB code memory");
        } else {
            ++dataRecords;
        }
        text += record;
        text.push_back('\n');
    }
    if (!ended) {
        check.line = 0;
        return refuse(dataRecords == 0 ? "the file holds no records" : "the end record is missing");
    }
    check.line = 0;
    check.text = std::move(text);
    return check;
}

std::optional<std::string> ReadFirmwareImage(std::istream& in) {
    return CheckFirmwareImage(in).text;
}

FirmwareImageCheck CheckFirmwareImageFile(const std::filesystem::path& path) {
    // The writers count the file's tokens again, so it must read the same
    // twice: a pipe or device would not.
    FirmwareImageCheck check;
    std::string why;
    const std::optional<std::string> text = ReadInputFile(path, kMaxImageFileBytes, why);
    if (!text) {
        check.unreadable = true;
        check.reason = why;
        return check;
    }
    std::istringstream in(*text);
    return CheckFirmwareImage(in);
}

bool FirmwareImageReader(const std::filesystem::path& path, std::string& firmwareImageText) {
    FirmwareImageCheck check = CheckFirmwareImageFile(path);
    if (!check.text)
        return false;
    firmwareImageText = std::move(*check.text);
    return true;
}

std::int32_t HeaderBoardCode(std::string_view headerToken) {
    if (headerToken.size() <= kHeaderPrefix)
        return 0;
    return ParseLeadingDecimal(headerToken.substr(kHeaderPrefix));
}

std::int32_t ReadHeaderBoardCode(const std::filesystem::path& path) {
    std::string why, header;
    const std::optional<std::string> text = ReadInputFile(path, kMaxImageFileBytes, why);
    if (!text)
        return 0;
    std::istringstream in(*text);
    return ReadLimitedToken(in, header, kMaxImageTokenLength) ? HeaderBoardCode(header) : 0;
}

std::string EncodeRecordToken(std::string_view prefix, std::string_view record) {
    std::string token(prefix);
    for (char c : record)
        token.push_back(EncodeRecordCharacter(c));
    return token;
}

} // namespace kelvo
