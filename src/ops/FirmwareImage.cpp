#include "ops/FirmwareImage.h"

#include "files/TextParsing.h"

#include <fstream>
#include <istream>

namespace kelvo {

std::optional<std::string> ReadFirmwareImage(std::istream& in) {
    std::string token;
    bool tooLong = false;
    if (!ReadLimitedToken(in, token, kMaxImageTokenLength, &tooLong) || tooLong)
        return std::nullopt;

    std::string text;
    while (ReadLimitedToken(in, token, kMaxImageTokenLength, &tooLong)) {
        if (tooLong || token.size() <= kRecordTokenPrefix ||
            token[kRecordTokenPrefix] != kEncodedRecordMark)
            return std::nullopt;
        for (std::size_t i = kRecordTokenPrefix; i < token.size(); ++i)
            text.push_back(DecodeRecordCharacter(token[i]));
        text.push_back('\n');
    }
    return text;
}

bool FirmwareImageReader(const std::filesystem::path& path, std::string& firmwareImageText) {
    std::ifstream in;
    if (!OpenTextFile(path, in))
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
    std::ifstream in;
    std::string header;
    if (!OpenTextFile(path, in) || !ReadLimitedToken(in, header, kMaxImageTokenLength))
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
