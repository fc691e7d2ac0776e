#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

inline constexpr std::string_view kConnectionSettingsFileName = "ConnSettings.dat";

// ConnSettings.dat inside `startDirectory`, joined with the platform's separator.
std::filesystem::path ConnectionSettingsPath(const std::filesystem::path& startDirectory);

// The port address a token names, read like strtol(token, nullptr, 16).
// Only 1..0xFFFF is an address: zero, negative and wider values give nothing.
std::optional<std::int32_t> PortAddressFromToken(std::string_view token);

// Whether a typed custom address is 1 to 4 hexadecimal digits, with an
// optional "0x" prefix, naming a port above 0.
bool IsPortAddressText(std::string_view text);

// The first white-space-delimited token of the file's text ("" when there is
// none), at most 255 characters of it.
std::string ReadConnectionToken(std::istream& in);

// Start-up and the connection dialog: a missing file sets `portBase` to
// 0x378; otherwise a usable address in the file becomes `portBase` (an
// unusable one leaves it alone) and `customAddress` takes the token. A file
// that is not a regular file of sensible size is not read: 0x378 is used,
// and the returned text says why (empty when the file was read or missing).
std::string LoadConnectionSettings(const std::filesystem::path& startDirectory,
                                   std::int32_t& portBase, std::string& customAddress);

enum class PortChoice { Lpt1, Lpt2, Custom };

// The radio button the dialog selects for an address.
PortChoice PortChoiceFor(std::int32_t portBase);

struct ConnectionSaveResult {
    enum class Status {
        Saved,
        EmptyAddress,   // custom address left empty: nothing changed
        InvalidAddress, // custom address not 1 to 4 hex digits: nothing changed
        NotWritten,     // the address holds for this run, the file was not written
    };
    Status status = Status::Saved;
    std::string error; // for NotWritten: what to tell the user
};

// The dialog's "Save": works out the address for `choice` (for Custom from
// `customAddress`, which is upper-cased as the dialog's box does), writes its
// token to ConnSettings.dat and sets `portBase`. A custom address must be 1
// to 4 hexadecimal digits (a "0X" prefix allowed) naming a port above 0;
// anything else is refused before the file is touched, as the next start
// would silently fall back to 0x378.
ConnectionSaveResult SaveConnectionSettings(const std::filesystem::path& startDirectory,
                                            PortChoice choice, std::string& customAddress,
                                            std::int32_t& portBase);

} // namespace kelvo
