#include "link/Mcs51Protocol.h"

#include "link/HexPair.h"
#include "link/ReadPasses.h"

#include <vector>

namespace kelvo {

namespace {

constexpr Family k8051 = Family::Mcs51;

// Waits the design counts in calibrated delays, with the datasheet minimum a
// clocked programmer waits instead (0: none needed).
constexpr IspWait Delays(std::uint32_t count, std::uint32_t minimumUs = 0) {
    return {count, minimumUs};
}

void Send(IspBus& bus, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    bus.Send(k8051, b0);
    bus.Send(k8051, b1);
    bus.Send(k8051, b2);
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
void RaiseReset(IspBus& bus) {
    bus.DriveReset(k8051, true);
}

// Reset line low: the board runs again.
void ReleaseBoard(IspBus& bus) {
    bus.DriveReset(k8051, false);
}

IspBus::Reply ReadDataByte(IspBus& bus, std::uint32_t address) {
    bus.Send(k8051, High(address, 0x05));
    bus.Send(k8051, Low(address));
    bus.Wait(Delays(2));
    return bus.Receive(k8051);
}

IspBus::Reply ReadCodeByte(IspBus& bus, std::uint32_t address) {
    bus.Send(k8051, High(address, 0x01));
    bus.Send(k8051, Low(address));
    return bus.Receive(k8051);
}

void StartSettingsOperation(OperationContext& ctx, const char* status) {
    IspBus& bus = ctx.bus;
    ctx.progress.SetRange(36);
    ctx.progress.SetPosition(0);
    bus.WriteControl(0x00);
    ReleaseBoard(bus);
    bus.WriteStatus(0x00);
    bus.CalibrateDelay(ctx.delayMultiplier, ctx.calibrationClock);
    ctx.progress.SetStatus(status);
    bus.WriteControl(kControlProgramming);
    RaiseReset(bus);
    Isp8051Enable(bus);
}

// One pass of a whole read: addresses 0 to count - 1 with `read`, the bar
// following. False when a stop cut it short.
bool ReadPass(OperationContext& ctx, IspBus::Reply (*read)(IspBus&, std::uint32_t),
              std::uint32_t count, std::vector<IspBus::Reply>& replies) {
    for (std::uint32_t a = 0; a < count; ++a) {
        if (ctx.StopRequested())
            return false;
        replies.push_back(read(ctx.bus, a));
        ctx.progress.SetPosition(static_cast<int>(a + 1));
    }
    return true;
}

bool RevisionIsValid(IspBus& bus) {
    const int revision = Isp8051ReadDataByte(bus, 19);
    return revision >= k8051RevisionMin && revision <= k8051RevisionMax;
}

} // namespace

void Isp8051Enable(IspBus& bus) {
    bus.WriteControl(kControlProgramming);
    RaiseReset(bus);
    bus.Wait(Delays(4, k8051EnableAfterResetUs));
    Send(bus, 0xAC, 0x53, 0xFF);
    bus.Wait(Delays(3));
}

std::uint8_t Isp8051ReadDataByte(IspBus& bus, std::uint32_t address) {
    return bus.Value(ReadDataByte(bus, address));
}

int Isp8051WriteDataByte(IspBus& bus, std::uint32_t address, std::uint8_t value) {
    Send(bus, High(address, 0x06), Low(address), value);
    bus.Wait(Delays(2, k8051ByteWriteUs));
    if (Isp8051ReadDataByte(bus, address) != value) {
        ReleaseBoard(bus);
        return 0;
    }
    return 2;
}

RecordResult Isp8051ProgramRecord(IspBus& bus, std::string_view line) {
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
        Send(bus, High(address, 0x02), Low(address), d);
        bus.Wait(Delays(1, k8051ByteWriteUs));
        // Each byte is read back before the next is written, on every
        // programmer: a part that takes no writes gets no more of them.
        if (Isp8051ReadCodeByte(bus, address) != d) {
            ReleaseBoard(bus);
            return kRecordFailed;
        }
        ++address;
    }
    const std::uint8_t checksum = ReadHexPair(line, cursor);
    return ((sum + checksum) & 0xFF) == 0 ? kRecordProgrammed : kRecordFailed;
}

void Isp8051Finish(IspBus& bus) {
    bus.WriteControl(kControlProgramming);
    RaiseReset(bus);
    bus.Wait(Delays(3));
    Send(bus, 0xAC, 0xFF, 0xFF);
    bus.Wait(Delays(3));
    ReleaseBoard(bus);
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
    IspBus& bus = ctx.bus;
    StartSettingsOperation(ctx, kTextDownloadingSettings);
    if (!ctx.bypassReadCheck && !RevisionIsValid(bus)) {
        ReleaseBoard(bus);
        return 0;
    }
    // Each pass queues its reads; their values land in the image at the end.
    const PassesRead read = ReadInPasses(ctx, [&](std::vector<IspBus::Reply>& replies) {
        return ReadPass(ctx, ReadDataByte, 36, replies);
    });
    ReleaseBoard(bus);
    // Data address a holds image entry a + 1; entry 0 has no place here.
    for (std::size_t a = 0; a < read.values.size(); ++a)
        ctx.image[a + 1] = read.values[a];
    return read.whole ? 1 : 0;
}

int Write8051Settings(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    StartSettingsOperation(ctx, kTextUploadingSettings);
    if (!RevisionIsValid(bus)) {
        ReleaseBoard(bus);
        return 0;
    }
    for (std::uint32_t a = 0; a <= 35; ++a) {
        if (ctx.StopRequested()) {
            ReleaseBoard(bus);
            Isp8051Finish(bus);
            return 0;
        }
        ctx.progress.SetPosition(static_cast<int>(a));
        if (ctx.WritesEntry(a + 1) &&
            Isp8051WriteDataByte(bus, a, static_cast<std::uint8_t>(ctx.image[a + 1] & 0xFF)) == 0)
            return 0;
    }
    ReleaseBoard(bus);
    Isp8051Finish(bus);
    return 1;
}

int Write8051Firmware(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    const std::optional<int> lineCount = BeginFirmwareWrite(ctx, Mcs51ImageIsWritable);
    if (!lineCount || ctx.StopRequested())
        return 0;
    const int n = *lineCount;
    bus.WriteControl(0x00);
    ReleaseBoard(bus);
    bus.WriteStatus(0x00);
    ctx.progress.SetRange(n);
    ctx.progress.SetPosition(0);
    ctx.stepsRemaining = static_cast<float>(n);
    Isp8051Enable(bus);

    // Chip erase, then programming mode again.
    bus.WriteControl(kControlProgramming);
    RaiseReset(bus);
    bus.Wait(Delays(4));
    Send(bus, 0xAC, 0x04, 0xFF);
    // Dropping RST cuts a running erase short: six delays (16.2 ms at the
    // shortest calibration, 2.7 ms) outlast its 16 ms; three stopped it
    // half-way.
    bus.Wait(Delays(6, k8051ChipEraseUs));
    ReleaseBoard(bus);
    ReleaseBoard(bus);
    bus.Wait(Delays(1));
    Isp8051Enable(bus);

    FirmwareLines lines(ctx.firmwareImageText);
    for (int i = 0; i < n; ++i) {
        // Stopped, the board keeps what is programmed so far and runs.
        if (ctx.StopRequested()) {
            Isp8051Finish(bus);
            ReleaseBoard(bus);
            return 0;
        }
        const std::string_view line = lines.Next();
        ctx.progress.SetPosition(i);
        ctx.UpdateTimeLeft();
        ctx.stepsRemaining -= 1.0f;
        if (Isp8051ProgramRecord(bus, line) == kRecordFailed) {
            ReleaseBoard(bus);
            return 0;
        }
    }
    Isp8051Finish(bus);
    ReleaseBoard(bus);
    return 1;
}

std::uint8_t Isp8051ReadCodeByte(IspBus& bus, std::uint32_t address) {
    return bus.Value(ReadCodeByte(bus, address));
}

int Read8051Code(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    StartSettingsOperation(ctx, kTextReadingFirmware);
    if (!ctx.codeRead || !RevisionIsValid(bus)) {
        ReleaseBoard(bus);
        return 0;
    }
    ctx.progress.SetRange(static_cast<int>(k8051CodeBytes));
    // Each pass queues its reads; read out at the end.
    const PassesRead read = ReadInPasses(ctx, [&](std::vector<IspBus::Reply>& replies) {
        return ReadPass(ctx, ReadCodeByte, k8051CodeBytes, replies);
    });
    ReleaseBoard(bus);
    CodeRead& code = *ctx.codeRead;
    code.locked = false;
    code.memory = read.values;
    return read.whole ? 1 : 0;
}

} // namespace kelvo
