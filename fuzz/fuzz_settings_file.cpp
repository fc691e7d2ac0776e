// Settings file reader: any bytes must load without a crash, never touch the
// entries the file does not carry, and whatever loads must save and load
// back to the same values.
#include "files/SettingsFile.h"

#include <cstdlib>
#include <sstream>
#include <string>

using namespace kelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream versionIn(text);
    CheckSettingsVersion(versionIn);

    constexpr std::int32_t kMarker = 0x5A5A;
    BoardSettingsImage image;
    image.fill(kMarker);
    std::int32_t dialogMode = kMarker;
    std::istringstream in(text);
    ReadSettingsFile(in, image, dialogMode);
    for (std::size_t e : {0, 15, 20, 21, 22, 26, 30, 31, 33, 36})
        if (image[e] != kMarker)
            std::abort();

    BoardSettingsImage again = image;
    std::int32_t dialogModeAgain = ~dialogMode;
    std::istringstream saved(FormatSettingsFile(image, dialogMode));
    ReadSettingsFile(saved, again, dialogModeAgain);
    if (again != image || dialogModeAgain != dialogMode)
        std::abort();
    return 0;
}
