#include "ops/FirmwareBackup.h"

#include "ops/ConfirmedRead.h"
#include "ops/FirmwareImageHex.h"

#include <algorithm>

namespace kelvo {

FirmwareRead ReadFirmware(FlowContext& ctx) {
    CodeRead& read = ctx.state.codeRead;
    read = {};
    const AttemptResult found = ReadCodeConfirmed(ctx);
    if (!Succeeded(found)) {
        if (found == AttemptResult::Failed)
            ctx.host.ShowMessage("Unable to read the firmware from the board. Make sure the "
                                 "programming cable is plugged in, and the power is on.",
                                 "Firmware Read Failed", MessageIcon::Exclamation,
                                 MessageButtons::Ok);
        return FirmwareRead::Failed;
    }
    if (read.locked) {
        ctx.host.ShowMessage("The board's lock bits forbid reading its firmware, so no copy of "
                             "it can be made.\n\nA chip erase, which every firmware update "
                             "makes, clears the lock bits together with the firmware.",
                             "Firmware Read Refused", MessageIcon::Error, MessageButtons::Ok);
        return FirmwareRead::Refused;
    }
    if (std::all_of(read.memory.begin(), read.memory.end(),
                    [](std::uint8_t b) { return b == 0xFF; })) {
        ctx.host.ShowMessage(
            "The board's code memory reads blank: it holds no firmware, or its lock bits forbid "
            "reading it (an 8051-family part cannot report its lock bits and reads blank when "
            "locked). No copy has been made.",
            "Firmware Read Refused", MessageIcon::Error, MessageButtons::Ok);
        return FirmwareRead::Refused;
    }
    return FirmwareRead::Read;
}

std::string FormatFirmwareBackup(std::span<const std::uint8_t> memory, std::int32_t boardCode,
                                 BackupFormat format) {
    std::size_t used = memory.size();
    while (used > 0 && memory[used - 1] == 0xFF)
        --used;
    const std::vector<std::string> records = CutIntoRecords(memory.first(used));
    if (format == BackupFormat::FirmwareImage)
        return FormatFirmwareImage(boardCode, records);
    std::string text;
    for (const std::string& record : records)
        text += record + "\n";
    return text;
}

} // namespace kelvo
