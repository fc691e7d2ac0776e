#pragma once

// Firmware image files for the reader, flow and kelvo-cli tests: a sound one
// and one of every kind of malformed file a board must never be erased for.

#include "ops/FirmwareImageHex.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelvo::fwtest {

// Code bytes with every hex letter in them.
inline std::vector<std::uint8_t> PatternCode(std::size_t size) {
    std::vector<std::uint8_t> code(size);
    for (std::size_t i = 0; i < size; ++i)
        code[i] = static_cast<std::uint8_t>(0xA5 + 0x1D * i);
    return code;
}

// ':' and hex pairs without a checksum, sealed with the right one.
inline std::string Sealed(const std::string& body) {
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < body.size(); i += 2)
        sum += static_cast<unsigned>(std::stoi(body.substr(i, 2), nullptr, 16));
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const unsigned checksum = (0x100 - (sum & 0xFF)) & 0xFF;
    return body + kDigits[checksum >> 4] + kDigits[checksum & 0xF];
}

// Another hex digit in place of `c`.
inline char OtherDigit(char c) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i)
        if (kDigits[i] == c)
            return kDigits[(i + 1) % 16];
    return '0';
}

inline std::string ImageFile(const std::vector<std::string>& records, int board = 3) {
    return FormatFirmwareImage(board, records);
}

// Every kind of file the reader must refuse, by name. Each is the image of
// PatternCode(64) for board `board` with one fault.
inline std::vector<std::pair<std::string, std::string>> MalformedImageFiles(int board = 3) {
    const std::vector<std::string> good = CutIntoRecords(PatternCode(64)); // 4 data + end
    const std::string end = good.back();
    auto with = [&](auto change) {
        std::vector<std::string> r = good;
        change(r);
        return ImageFile(r, board);
    };
    auto data = [](std::uint16_t address, std::size_t size) {
        return FormatIntelHexRecord(address, 0x00, std::vector<std::uint8_t>(size, 0x3C));
    };
    std::vector<std::pair<std::string, std::string>> files = {
        {"checksum off in its low digit",
         with([](auto& r) { r[1].back() = OtherDigit(r[1].back()); })},
        {"checksum off in its high digit only", with([](auto& r) {
             char& c = r[1][r[1].size() - 2];
             c = OtherDigit(c);
         })},
        {"data byte changed, old checksum kept",
         with([](auto& r) { r[2][9] = OtherDigit(r[2][9]); })},
        {"non-hex digit", with([](auto& r) { r[1][12] = '#'; })},
        {"lower-case digits", with([](auto& r) {
             for (char& c : r[0])
                 if (c >= 'A' && c <= 'F')
                     c = static_cast<char>(c - 'A' + 'a');
         })},
        {"odd number of digits", with([](auto& r) { r[1].pop_back(); })},
        {"count larger than the data",
         with([](auto& r) { r[1] = Sealed(r[1].substr(0, r[1].size() - 2).replace(1, 2, "11")); })},
        {"count smaller than the data",
         with([](auto& r) { r[1] = Sealed(r[1].substr(0, r[1].size() - 2).replace(1, 2, "0F")); })},
        {"8-byte records", with([&](auto& r) {
             r = {data(0, 8), data(8, 8), data(16, 8), end};
         })},
        {"type 02 record", with([](auto& r) {
             r.insert(r.begin(), FormatIntelHexRecord(0, 0x02, std::vector<std::uint8_t>{0, 0}));
         })},
        {"type 04 record as data",
         with([](auto& r) { r[1] = Sealed(":10001004" + r[1].substr(9, 32)); })},
        {"gap between records", with([](auto& r) { r.erase(r.begin() + 1); })},
        {"records out of order", with([](auto& r) { std::swap(r[1], r[2]); })},
        {"first record not at 0", with([](auto& r) { r.erase(r.begin()); })},
        {"record at 0x2000", with([&](auto& r) {
             r = CutIntoRecords(PatternCode(kCodeMemorySize));
             r.insert(r.end() - 1, data(0x2000, 16));
         })},
        {"record crossing 8 KB", with([&](auto& r) {
             r = CutIntoRecords(PatternCode(kCodeMemorySize - 16));
             r.insert(r.end() - 1, data(0x1FF0, 32));
         })},
        {"data after the end record", with([&](auto& r) { r.push_back(data(0x40, 16)); })},
        {"two end records", with([&](auto& r) { r.push_back(end); })},
        {"no end record", with([](auto& r) { r.pop_back(); })},
        {"end record with data", with([](auto& r) {
             r.back() = FormatIntelHexRecord(0, 0x01, std::vector<std::uint8_t>{0});
         })},
        {"no data records", with([&](auto& r) { r = {end}; })},
        {"header only", with([](auto& r) { r.clear(); })},
        {"record without its mark", with([](auto& r) { r[1].erase(0, 1); })},
        {"record mark not encoded",
         [&] {
             // The decoded mark itself where the encoded one belongs.
             std::string file = ImageFile(good, board);
             file[file.find("\n002") + 4] = ':';
             return file;
         }()},
    };
    return files;
}

} // namespace kelvo::fwtest
