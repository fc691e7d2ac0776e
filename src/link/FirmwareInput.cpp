#include "link/FirmwareInput.h"

#include "link/HexPair.h"
#include "link/OperationContext.h"

#include <filesystem>
#include <fstream>

namespace kelvo {

std::optional<int> CountFileTokens(const std::string& path) {
    // Never a device or a FIFO: one would never end, the other block.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) ||
        std::filesystem::file_size(path, ec) > kMaxImageFileBytes || ec)
        return std::nullopt;
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    int count = 0;
    std::string token;
    while (in >> token)
        ++count;
    return count;
}

std::optional<int> BeginFirmwareWrite(OperationContext& ctx,
                                      bool (*writable)(std::string_view text, int lineCount)) {
    ctx.bus.CalibrateDelay(ctx.delayMultiplier, ctx.calibrationClock);
    const std::optional<int> lines = CountFileTokens(ctx.firmwarePath);
    // Refused before the port is touched, so the board keeps its firmware.
    if (!lines || !writable(ctx.firmwareImageText, *lines))
        return std::nullopt;
    ctx.progress.SetStatus(kTextUploadingFirmware);
    ctx.progress.SetTimeLeft(kTextTimeLeftCalculating);
    return lines;
}

std::string_view FirmwareLines::Next() {
    if (next_ >= text_.size())
        return {};
    const std::size_t end = text_.find('\n', next_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    const std::string_view line = text_.substr(next_, stop - next_);
    next_ = stop + 1;
    return line;
}

RecordHeader ReadRecordHeader(std::string_view line, std::size_t& cursor) {
    RecordHeader h;
    h.count = ReadHexPair(line, cursor);
    h.addressHigh = ReadHexPair(line, cursor);
    h.addressLow = ReadHexPair(line, cursor);
    h.type = ReadHexPair(line, cursor);
    return h;
}

} // namespace kelvo
