#include "link/Mcs51Protocol.h"

#include "link/HexPair.h"

namespace kelvo {

namespace {

constexpr Family k8051 = Family::Mcs51;

void Delays(Link& link, int count) {
    for (int i = 0; i < count; ++i)
        link.CalibratedDelay();
}

void Send(Link& link, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    link.SendByte(k8051, b0);
    link.SendByte(k8051, b1);
    link.SendByte(k8051, b2);
}

// First instruction byte: address bits 12..8 in bits 7..3, the instruction
// in bits 2..0.
std::uint8_t High(std::uint32_t address, std::uint8_t instruction) {
    return static_cast<std::uint8_t>(((address & 0x1F00) >> 5) | instruction);
}

std::uint8_t Low(std::uint32_t address) {
    return static_cast<std::uint8_t>(address & 0xFF);
}

// Reset line high: the part listens to the programming interface.
void RaiseReset(Link& link) {
    link.WriteData(kLineReset);
    link.params().dataShadow8051 = kLineReset;
}

// Reset line low: the board runs again.
void ReleaseBoard(Link& link) {
    link.WriteData(0x00);
}

void StartSettingsOperation(OperationContext& ctx, const char* status) {
    Link& link = ctx.link;
    ctx.progress.SetRange(36);
    ctx.progress.SetPosition(0);
    link.WriteControl(0x00);
    link.WriteData(0x00);
    link.WriteStatus(0x00);
    link.CalibrateDelay(ctx.delayMultiplier, ctx.calibrationClock);
    ctx.progress.SetStatus(status);
    link.WriteControl(kControlProgramming);
    RaiseReset(link);
    Isp8051Enable(link);
}

bool RevisionIsValid(Link& link) {
    const int revision = Isp8051ReadDataByte(link, 19);
    return revision >= k8051RevisionMin && revision <= k8051RevisionMax;
}

} // namespace

void Isp8051Enable(Link& link) {
    link.WriteControl(kControlProgramming);
    RaiseReset(link);
    Delays(link, 4);
    Send(link, 0xAC, 0x53, 0xFF);
    Delays(link, 3);
}

std::uint8_t Isp8051ReadDataByte(Link& link, std::uint32_t address) {
    link.SendByte(k8051, High(address, 0x05));
    link.SendByte(k8051, Low(address));
    Delays(link, 2);
    return link.ReceiveByte(k8051);
}

int Isp8051WriteDataByte(Link& link, std::uint32_t address, std::uint8_t value) {
    Send(link, High(address, 0x06), Low(address), value);
    Delays(link, 2);
    if (Isp8051ReadDataByte(link, address) != value) {
        ReleaseBoard(link);
        return 0;
    }
    return 2;
}

RecordResult Isp8051ProgramRecord(Link& link, std::string_view line) {
    if (line.empty())
        return kRecordNothingToProgram;
    if (line[0] != ':')
        return kRecordFailed;
    std::size_t cursor = 1;
    const RecordHeader h = ReadRecordHeader(line, cursor);
    std::uint32_t address = h.Address();
    unsigned sum = h.count + h.addressHigh + h.addressLow + h.type;
    if (h.type == kRecordTypeEnd)
        return kRecordNothingToProgram;
    for (int i = 0; i < h.count; ++i) {
        const std::uint8_t d = ReadHexPair(line, cursor);
        sum += d;
        Send(link, High(address, 0x02), Low(address), d);
        link.CalibratedDelay();
        if (Isp8051ReadCodeByte(link, address) != d) {
            ReleaseBoard(link);
            return kRecordFailed;
        }
        ++address;
    }
    const std::uint8_t checksum = ReadHexPair(line, cursor);
    return ((sum + checksum) & 0xFF) == 0 ? kRecordProgrammed : kRecordFailed;
}

void Isp8051Finish(Link& link) {
    link.WriteControl(kControlProgramming);
    RaiseReset(link);
    Delays(link, 3);
    Send(link, 0xAC, 0xFF, 0xFF);
    Delays(link, 3);
    ReleaseBoard(link);
}

bool Mcs51ImageIsWritable(std::string_view text, int lineCount) {
    FirmwareLines lines(text);
    bool hasData = false;
    for (int i = 0; i < lineCount; ++i) {
        const std::string_view line = lines.Next();
        if (line.empty())
            continue;
        if (line[0] != ':')
            return false;
        std::size_t cursor = 1;
        const RecordHeader h = ReadRecordHeader(line, cursor);
        if (h.type != kRecordTypeEnd && h.count > 0)
            hasData = true;
    }
    return hasData;
}

int Read8051Settings(OperationContext& ctx) {
    Link& link = ctx.link;
    StartSettingsOperation(ctx, kTextDownloadingSettings);
    if (!ctx.bypassReadCheck && !RevisionIsValid(link)) {
        ReleaseBoard(link);
        return 0;
    }
    // Data address a holds image entry a + 1; entry 0 has no place here.
    for (std::uint32_t a = 0; a <= 35; ++a) {
        if (ctx.StopRequested()) {
            ReleaseBoard(link);
            return 0;
        }
        ctx.image[a + 1] = Isp8051ReadDataByte(link, a);
        ctx.progress.SetPosition(static_cast<int>(a + 1));
    }
    ReleaseBoard(link);
    return 1;
}

int Write8051Settings(OperationContext& ctx) {
    Link& link = ctx.link;
    StartSettingsOperation(ctx, kTextUploadingSettings);
    if (!RevisionIsValid(link)) {
        ReleaseBoard(link);
        return 0;
    }
    for (std::uint32_t a = 0; a <= 35; ++a) {
        if (ctx.StopRequested()) {
            ReleaseBoard(link);
            Isp8051Finish(link);
            return 0;
        }
        ctx.progress.SetPosition(static_cast<int>(a));
        if (ctx.WritesEntry(a + 1) &&
            Isp8051WriteDataByte(link, a, static_cast<std::uint8_t>(ctx.image[a + 1] & 0xFF)) == 0)
            return 0;
    }
    ReleaseBoard(link);
    Isp8051Finish(link);
    return 1;
}

int Write8051Firmware(OperationContext& ctx) {
    Link& link = ctx.link;
    const std::optional<int> lineCount = BeginFirmwareWrite(ctx, Mcs51ImageIsWritable);
    if (!lineCount || ctx.StopRequested())
        return 0;
    const int n = *lineCount;
    link.WriteControl(0x00);
    link.WriteData(0x00);
    link.WriteStatus(0x00);
    ctx.progress.SetRange(n);
    ctx.progress.SetPosition(0);
    ctx.stepsRemaining = static_cast<float>(n);
    Isp8051Enable(link);

    // Chip erase, then programming mode again.
    link.WriteControl(kControlProgramming);
    RaiseReset(link);
    Delays(link, 4);
    Send(link, 0xAC, 0x04, 0xFF);
    // Dropping RST cuts a running erase short: six delays (16.2 ms at the
    // shortest calibration, 2.7 ms) outlast its 16 ms; three stopped it
    // half-way.
    Delays(link, 6);
    ReleaseBoard(link);
    ReleaseBoard(link);
    link.CalibratedDelay();
    Isp8051Enable(link);

    FirmwareLines lines(ctx.firmwareImageText);
    for (int i = 0; i < n; ++i) {
        // Stopped, the board keeps what is programmed so far and runs.
        if (ctx.StopRequested()) {
            Isp8051Finish(link);
            ReleaseBoard(link);
            return 0;
        }
        const std::string_view line = lines.Next();
        ctx.progress.SetPosition(i);
        ctx.UpdateTimeLeft();
        ctx.stepsRemaining -= 1.0f;
        if (Isp8051ProgramRecord(link, line) == kRecordFailed) {
            ReleaseBoard(link);
            return 0;
        }
    }
    Isp8051Finish(link);
    ReleaseBoard(link);
    return 1;
}

std::uint8_t Isp8051ReadCodeByte(Link& link, std::uint32_t address) {
    link.SendByte(k8051, High(address, 0x01));
    link.SendByte(k8051, Low(address));
    return link.ReceiveByte(k8051);
}

int Read8051Code(OperationContext& ctx) {
    Link& link = ctx.link;
    StartSettingsOperation(ctx, kTextReadingFirmware);
    if (!ctx.codeRead || !RevisionIsValid(link)) {
        ReleaseBoard(link);
        return 0;
    }
    CodeRead& read = *ctx.codeRead;
    read.memory.clear();
    read.locked = false;
    ctx.progress.SetRange(static_cast<int>(k8051CodeBytes));
    for (std::uint32_t a = 0; a < k8051CodeBytes; ++a) {
        if (ctx.StopRequested()) {
            ReleaseBoard(link);
            return 0;
        }
        read.memory.push_back(Isp8051ReadCodeByte(link, a));
        ctx.progress.SetPosition(static_cast<int>(a + 1));
    }
    ReleaseBoard(link);
    return 1;
}

} // namespace kelvo
