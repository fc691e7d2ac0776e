#include "files/ConnectionSettings.h"

#include "files/InputFile.h"
#include "files/SafeWrite.h"
#include "files/TextParsing.h"
#include "link/Link.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <istream>
#include <sstream>

namespace kelvo {

namespace {
constexpr std::int32_t kLpt1 = 0x378;
constexpr std::int32_t kLpt2 = 0x278;
// An I/O port address is 16 bits wide; anything wider cannot name a port.
constexpr std::int64_t kHighestPort = 0xFFFF;
constexpr std::size_t kTokenLimit = 255;
// One token; white space around it has no business being this long.
constexpr std::size_t kFileLimit = 64 * 1024;
} // namespace

std::filesystem::path ConnectionSettingsPath(const std::filesystem::path& startDirectory) {
    return startDirectory / kConnectionSettingsFileName;
}

std::optional<std::int32_t> PortAddressFromToken(std::string_view token) {
    const std::int64_t value = ParseLeadingHex(token);
    if (value <= 0 || value > kHighestPort)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool IsPortAddressText(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'X' || text[1] == 'x'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4)
        return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return PortAddressFromToken(text).has_value();
}

std::string ReadConnectionToken(std::istream& in) {
    std::string token;
    ReadLimitedToken(in, token, kTokenLimit);
    return token;
}

std::string LoadConnectionSettings(const std::filesystem::path& startDirectory,
                                   std::int32_t& portBase, std::string& customAddress) {
    const std::filesystem::path path = ConnectionSettingsPath(startDirectory);
    std::error_code ec;
    const bool present = std::filesystem::exists(path, ec);
    std::string why;
    const std::optional<std::string> text =
        present ? ReadInputFile(path, kFileLimit, why) : std::nullopt;
    if (!text) {
        portBase = kDefaultPortBase;
        return present ? path.string() + ": " + why + "; the port address 0x378 is used" : "";
    }
    std::istringstream in(*text);
    const std::string token = ReadConnectionToken(in);
    if (const auto address = PortAddressFromToken(token))
        portBase = *address;
    customAddress = token;
    return {};
}

PortChoice PortChoiceFor(std::int32_t portBase) {
    if (portBase == kLpt2)
        return PortChoice::Lpt2;
    if (portBase == kLpt1)
        return PortChoice::Lpt1;
    return PortChoice::Custom;
}

ConnectionSaveResult SaveConnectionSettings(const std::filesystem::path& startDirectory,
                                            PortChoice choice, std::string& customAddress,
                                            std::int32_t& portBase) {
    std::int32_t address = kDefaultPortBase;
    std::string token;
    switch (choice) {
    case PortChoice::Lpt1:
        address = kLpt1;
        token = "378";
        break;
    case PortChoice::Lpt2:
        address = kLpt2;
        token = "278";
        break;
    case PortChoice::Custom:
        std::transform(customAddress.begin(), customAddress.end(), customAddress.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
        if (customAddress.empty())
            return {ConnectionSaveResult::Status::EmptyAddress, {}};
        if (!IsPortAddressText(customAddress))
            return {ConnectionSaveResult::Status::InvalidAddress, {}};
        token = customAddress;
        address = *PortAddressFromToken(token);
        break;
    }

    // The chosen address holds for this run even when the file cannot be
    // written; the next start then falls back to what the file says.
    portBase = address;
    const FileResult written = WriteFileReplacing(ConnectionSettingsPath(startDirectory), token);
    if (!written) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(address));
        return {ConnectionSaveResult::Status::NotWritten,
                "Unable to save the port address in " + std::string(kConnectionSettingsFileName) +
                    " (" + written.error + ").\nThe address " + hex +
                    " will be used until Kelvo is closed."};
    }
    return {};
}

} // namespace kelvo
