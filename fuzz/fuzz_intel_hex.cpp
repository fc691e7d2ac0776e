// Intel HEX reader and the packer: any bytes are refused with a line number,
// or pack into an image whose records read back into the same memory.
#include "ops/FirmwareImage.h"
#include "ops/FirmwareImageHex.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace kelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const HexImage image = ReadIntelHex(in);
    if (!image.ok()) {
        if (image.error.rfind("line ", 0) != 0)
            std::abort();
        return 0;
    }
    if (image.memory.empty() || image.memory.size() > kCodeMemorySize)
        std::abort();

    std::istringstream packed(FormatFirmwareImage(3, CutIntoRecords(image.memory)));
    const auto decoded = ReadFirmwareImage(packed);
    if (!decoded)
        std::abort();
    std::istringstream records(*decoded);
    const HexImage back = ReadIntelHex(records);
    if (!back.ok() || back.memory.size() % kImagePageBytes != 0 ||
        !std::equal(image.memory.begin(), image.memory.end(), back.memory.begin()) ||
        !std::all_of(back.memory.begin() + static_cast<long>(image.memory.size()),
                     back.memory.end(), [](std::uint8_t b) { return b == 0xFF; }))
        std::abort();
    return 0;
}
