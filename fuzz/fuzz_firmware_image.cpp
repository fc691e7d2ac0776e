// Firmware image reader: any bytes are refused, or decode to records that
// both firmware writers take whole: each ':' and upper-case hex pairs with a
// right count and checksum, 16-byte data records from address 0 upward
// inside code memory, then one end record.
#include "link/AvrProtocol.h"
#include "link/Mcs51Protocol.h"
#include "ops/FirmwareImage.h"
#include "ops/FirmwareImageHex.h"

#include <cstdlib>
#include <sstream>
#include <string>

using namespace kelvo;

namespace {

int Digit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    HeaderBoardCode(bytes.substr(0, 300));
    std::istringstream in(bytes);
    const auto text = ReadFirmwareImage(in);
    if (!text)
        return 0;

    std::istringstream lines(*text);
    std::string line;
    std::size_t records = 0;
    bool ended = false;
    while (std::getline(lines, line)) {
        Check(!ended && line.size() >= 11 && line.size() % 2 == 1 && line[0] == ':');
        unsigned sum = 0;
        std::string values;
        for (std::size_t i = 1; i < line.size(); i += 2) {
            Check(Digit(line[i]) >= 0 && Digit(line[i + 1]) >= 0);
            values.push_back(static_cast<char>(Digit(line[i]) * 16 + Digit(line[i + 1])));
            sum += static_cast<std::uint8_t>(values.back());
        }
        Check((sum & 0xFF) == 0);
        const auto count = static_cast<std::uint8_t>(values[0]);
        const unsigned address =
            static_cast<std::uint8_t>(values[1]) * 256u + static_cast<std::uint8_t>(values[2]);
        if (values[3] == 1) {
            Check(count == 0 && records > 0);
            ended = true;
        } else {
            Check(values[3] == 0 && count == 16 && address == 16 * records &&
                  address + 16 <= kCodeMemorySize);
            ++records;
        }
    }
    Check(ended && text->back() == '\n');
    // What the writers check again before they erase a board.
    const int tokens = static_cast<int>(records) + 2; // header and end record too
    Check(AvrImageIsWritable(*text, tokens) && Mcs51ImageIsWritable(*text, tokens));
    return 0;
}
