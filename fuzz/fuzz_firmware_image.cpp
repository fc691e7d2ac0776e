// Firmware image reader: any bytes are refused or decode to lines that each
// begin with the record mark.
#include "ops/FirmwareImage.h"

#include <cstdlib>
#include <sstream>
#include <string>

using namespace kelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    HeaderBoardCode(bytes.substr(0, 300));
    std::istringstream in(bytes);
    const auto text = ReadFirmwareImage(in);
    if (!text)
        return 0;
    bool lineStart = true;
    for (char c : *text) {
        if (lineStart && c != ':')
            std::abort();
        lineStart = c == '\n';
    }
    if (!lineStart)
        std::abort();
    return 0;
}
