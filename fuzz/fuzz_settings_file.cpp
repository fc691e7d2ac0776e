// Settings file reader: any bytes must load or be refused without a crash; a
// refused file changes nothing, a loaded one never touches the entries the
// file does not carry, holds only byte values, and saves and loads back to
// the same values.
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
    if (const auto problem = ReadSettingsFile(in, image, dialogMode)) {
        // A refused file changes nothing at all.
        for (std::int32_t e : image)
            if (e != kMarker)
                std::abort();
        if (dialogMode != kMarker || problem->key > 28)
            std::abort();
        return 0;
    }
    for (std::size_t e : {0, 15, 20, 21, 22, 26, 30, 31, 33, 36})
        if (image[e] != kMarker)
            std::abort();
    // Whatever loads fits the board's bytes.
    for (std::size_t e = 1; e < image.size(); ++e)
        if (image[e] != kMarker && (image[e] < -1 || image[e] > 255))
            std::abort();
    KeysOutsidePageRanges(image);

    BoardSettingsImage again = image;
    std::int32_t dialogModeAgain = ~dialogMode;
    std::istringstream saved(FormatSettingsFile(image, dialogMode));
    if (ReadSettingsFile(saved, again, dialogModeAgain) || again != image ||
        dialogModeAgain != dialogMode)
        std::abort();
    return 0;
}
