#pragma once

#include "ops/BoardSearch.h"

#include <cstdint>
#include <span>
#include <string>

namespace kelvo {

enum class FirmwareRead {
    Read,    // the whole code memory is in state.codeRead
    Failed,  // no board answered, or its reads never agreed (the user has been told)
    Refused, // the part cannot be read, or reads blank (the user has been told why)
};

// Reads the board's code memory, searching like every board flow, so that a
// firmware update can be undone. A part whose lock bits forbid reading it,
// and one that reads blank, are refused: a copy of either would be no
// firmware at all. The memory is read until two reads agree, so that
// neither the copy nor the locked or blank verdict rests on one pass.
FirmwareRead ReadFirmware(FlowContext& ctx);

enum class BackupFormat { FirmwareImage, IntelHex };

// The code memory as a file that gives it back: a firmware image for this
// board type, which Update Firmware writes, or plain Intel HEX. The erased
// tail is left out; the writers leave it erased.
std::string FormatFirmwareBackup(std::span<const std::uint8_t> memory, std::int32_t boardCode,
                                 BackupFormat format);

} // namespace kelvo
