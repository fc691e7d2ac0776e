#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

// One substitution of the record encoding: `encoded` stands in an image file
// where the Intel HEX record has `decoded`.
struct RecordCharacterPair {
    char encoded;
    char decoded;
};

// The substitution shared with whoever produces image files (see
// docs/firmware-image-format.md). Sixteen letters stand for the hexadecimal
// digits and one for the record mark; everything else passes unchanged.
inline constexpr std::array<RecordCharacterPair, 17> RecordCharacterTable = {{
    {'Q', ':'},
    {'M', '0'},
    {'X', '1'},
    {'G', '2'},
    {'T', '3'},
    {'J', '4'},
    {'W', '5'},
    {'H', '6'},
    {'R', '7'},
    {'N', '8'},
    {'Y', '9'},
    {'K', 'A'},
    {'U', 'B'},
    {'P', 'C'},
    {'Z', 'D'},
    {'L', 'E'},
    {'V', 'F'},
}};

// What every encoded record begins with (the fourth character of its token).
inline constexpr char kEncodedRecordMark = 'Q';

constexpr char DecodeRecordCharacter(char c) {
    for (const RecordCharacterPair& pair : RecordCharacterTable)
        if (pair.encoded == c)
            return pair.decoded;
    return c;
}

// The inverse on ':' and the upper-case hex digits; other characters pass.
constexpr char EncodeRecordCharacter(char c) {
    for (const RecordCharacterPair& pair : RecordCharacterTable)
        if (pair.decoded == c)
            return pair.encoded;
    return c;
}

// The format allows no longer token; a file with one is refused.
inline constexpr std::size_t kMaxImageTokenLength = 255;
// Characters before the encoded record in a record token, and before the
// board code in the header; neither is interpreted.
inline constexpr std::size_t kRecordTokenPrefix = 3;
inline constexpr std::size_t kHeaderPrefix = 9;

// Decodes an image: the header token, then one record per token. Returns the
// records, each followed by '\n', or nothing unless every record token
// carries the encoded record mark in its fourth position, is no longer than
// the format allows, and decodes to a sound record (upper-case hex pairs, a
// count byte that matches, a right checksum), and the records have the
// shape both firmware writers need: 16-byte data records contiguous from
// address 0 inside code memory, then one end record, then nothing.
std::optional<std::string> ReadFirmwareImage(std::istream& in);

// The same with the reason for a refusal.
struct FirmwareImageCheck {
    std::optional<std::string> text; // the decoded records when the image is sound
    int line = 0;                    // the refused line (1 is the header); 0 for the file
    std::string reason;              // why, in a user's words
    bool unreadable = false;         // the file itself: missing, a folder, not readable
};
FirmwareImageCheck CheckFirmwareImage(std::istream& in);
// Of the file at `path`, which must be a regular file.
FirmwareImageCheck CheckFirmwareImageFile(const std::filesystem::path& path);

// Reads the image in the regular file at `path`. Only a successful read
// replaces `firmwareImageText`; a failed one leaves it untouched.
bool FirmwareImageReader(const std::filesystem::path& path, std::string& firmwareImageText);

// The board type code of a header token: the characters from the tenth on,
// read as strtol base 10 reads them (no digits give 0).
std::int32_t HeaderBoardCode(std::string_view headerToken);

// The board code of the file's header; 0 when the file is not a regular
// file, cannot be opened or holds no token.
std::int32_t ReadHeaderBoardCode(const std::filesystem::path& path);

// Encodes one decoded record as a record token with the given three-character
// prefix (the prefix is not interpreted on reading).
std::string EncodeRecordToken(std::string_view prefix, std::string_view record);

} // namespace kelvo
