#include "ops/RawMemory.h"

#include <cstdio>

namespace kelvo {

std::string RawMemoryText(const BoardSettingsImage& image, RawMemoryMode mode) {
    char text[160];
    std::snprintf(text, sizeof text,
                  mode == RawMemoryMode::Read
                      ? "Raw values read from data memory.\nFirst %d bytes are read only, and "
                        "first byte isn't used.\n\n"
                      : "Raw values that will be written to data memory.\nFirst %d bytes are "
                        "written only, and first byte isn't used.\n\n",
                  36);
    std::string out = text;
    for (std::size_t i = 0; i <= 35; ++i) {
        const bool lineEnd = i == 10 || i == 20 || i == 30;
        out += std::to_string(image[i]) + (lineEnd ? "\n" : "  ");
    }
    return out;
}

void ShowRawMemory(FlowContext& ctx, RawMemoryMode mode) {
    ctx.host.ShowMessage(RawMemoryText(ctx.state.settingsImage, mode), "Raw Memory Values",
                         MessageIcon::None, MessageButtons::Ok);
}

} // namespace kelvo
