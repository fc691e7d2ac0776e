#include "link/AvrProtocol.h"

#include "link/HexPair.h"
#include "link/ReadPasses.h"

#include <vector>

namespace kelvo {

namespace {

constexpr Family kAvr = Family::Avr;

// Waits the design counts in calibrated delays, with the datasheet minimum a
// clocked programmer waits instead (0: none needed).
constexpr IspWait Delays(std::uint32_t count, std::uint32_t minimumUs = 0) {
    return {count, minimumUs};
}

void Send(IspBus& bus, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    bus.Send(kAvr, b0);
    bus.Send(kAvr, b1);
    bus.Send(kAvr, b2);
    bus.Send(kAvr, b3);
}

void HoldReset(IspBus& bus) {
    bus.DriveReset(kAvr, false);
}

void ReleaseReset(IspBus& bus) {
    bus.DriveReset(kAvr, true);
}

// A read instruction whose third byte is the address: signature byte
// (0x30) or data memory (0xA0).
IspBus::Reply ReadByteAt(IspBus& bus, std::uint8_t instruction, std::uint8_t address) {
    bus.Send(kAvr, instruction);
    bus.Send(kAvr, 0x00);
    bus.Send(kAvr, address);
    bus.Wait(Delays(1));
    return bus.Receive(kAvr);
}

IspBus::Reply ReadSignatureByte(IspBus& bus, std::uint8_t index) {
    return ReadByteAt(bus, 0x30, index);
}

IspBus::Reply ReadDataByte(IspBus& bus, std::uint8_t address) {
    return ReadByteAt(bus, 0xA0, address);
}

IspBus::Reply ReadCodeByte(IspBus& bus, std::uint8_t instruction, std::uint32_t word) {
    bus.Send(kAvr, instruction);
    bus.Send(kAvr, static_cast<std::uint8_t>(word >> 8));
    bus.Send(kAvr, static_cast<std::uint8_t>(word & 0xFF));
    return bus.Receive(kAvr);
}

IspBus::Reply ReadLockBits(IspBus& bus) {
    bus.Send(kAvr, 0x58);
    bus.Send(kAvr, 0x00);
    bus.Send(kAvr, 0x00);
    return bus.Receive(kAvr);
}

bool StartsWithDataRecordOf16(std::string_view line) {
    return line.substr(0, 3) == ":10";
}

// Operations 4 and 5 begin alike: bar, port registers, delay, status line,
// then programming mode with the reset line held low.
void StartSettingsOperation(OperationContext& ctx, const char* status) {
    IspBus& bus = ctx.bus;
    ctx.progress.SetRange(36);
    ctx.progress.SetPosition(0);
    bus.WriteControl(0x00);
    bus.WriteStatus(0x00);
    bus.CalibrateDelay(ctx.delayMultiplier, ctx.calibrationClock);
    ctx.progress.SetStatus(status);
    bus.WriteControl(kControlProgramming);
    ReleaseReset(bus);
    HoldReset(bus);
    IspAvrEnable(bus);
}

bool RevisionIsValid(int revision) {
    return revision >= kAvrRevisionMin && revision <= kAvrRevisionMax;
}

// Both reads are always made, so the cable sees the same instructions
// whatever the answers.
bool BoardIsAcceptable(OperationContext& ctx) {
    const bool signatureOk = IspAvrReadSignature(ctx.bus) == kAvrSignature;
    const bool revisionOk = RevisionIsValid(IspAvrReadDataByte(ctx.bus, 20));
    ctx.failedReadCheck = signatureOk && !revisionOk;
    return signatureOk && revisionOk;
}

// How a settings read leaves the port, at its end or when stopped.
void EndSettingsRead(IspBus& bus) {
    ReleaseReset(bus);
    ReleaseReset(bus);
    bus.WriteControl(0x00);
    bus.WriteStatus(0x00);
}

} // namespace

void IspAvrEnable(IspBus& bus) {
    bus.WriteControl(kControlProgramming);
    // The part takes Programming Enable only 20 ms after its RESET pulse:
    // eight delays are 21.6 ms even when a calibration comes out at its
    // shortest (2.7 ms); six were 16.2 ms.
    bus.Wait(Delays(8, kAvrEnableAfterResetUs));
    Send(bus, 0xAC, 0x53, 0xFF, 0xFF);
    bus.Wait(Delays(3));
}

std::uint32_t IspAvrReadSignature(IspBus& bus) {
    const IspBus::Reply b2 = ReadSignatureByte(bus, 2);
    const IspBus::Reply b1 = ReadSignatureByte(bus, 1);
    const IspBus::Reply b0 = ReadSignatureByte(bus, 0);
    return (std::uint32_t{bus.Value(b0)} << 16) | (std::uint32_t{bus.Value(b1)} << 8) |
           bus.Value(b2);
}

std::uint8_t IspAvrReadDataByte(IspBus& bus, std::uint8_t address) {
    return bus.Value(ReadDataByte(bus, address));
}

int IspAvrWriteDataByte(IspBus& bus, std::uint8_t address, std::uint8_t value) {
    Send(bus, 0xC0, 0x00, address, value);
    bus.Wait(Delays(5, kAvrEepromWriteUs));
    if (IspAvrReadDataByte(bus, address) != value) {
        ReleaseReset(bus);
        return 0;
    }
    bus.Wait(Delays(4));
    return 2;
}

namespace {

// What loading and verifying share: empty lines and the end record have
// nothing to program, a line without the record mark fails, and every other
// record hands its words (low byte first) to `onWord` until one is refused.
template <typename OnWord> RecordResult ForEachRecordWord(std::string_view line, OnWord onWord) {
    if (line.empty())
        return kRecordNothingToProgram;
    if (line[0] != ':')
        return kRecordFailed;
    std::size_t cursor = 1;
    const RecordHeader h = ReadRecordHeader(line, cursor);
    if (h.type == kRecordTypeEnd)
        return kRecordNothingToProgram;
    std::uint32_t word = h.Address() / 2;
    for (int i = 0; i < h.count / 2; ++i, ++word) {
        const std::uint8_t lo = ReadHexPair(line, cursor);
        const std::uint8_t hi = ReadHexPair(line, cursor);
        if (!onWord(word, lo, hi))
            return kRecordFailed;
    }
    return kRecordProgrammed;
}

} // namespace

RecordResult IspAvrLoadRecord(IspBus& bus, std::string_view line) {
    return ForEachRecordWord(line, [&](std::uint32_t word, std::uint8_t lo, std::uint8_t hi) {
        const auto w = static_cast<std::uint8_t>(word & 0xFF);
        Send(bus, 0x40, 0x0F, w, lo);
        Send(bus, 0x48, 0x0F, w, hi);
        return true;
    });
}

RecordResult IspAvrVerifyRecord(IspBus& bus, std::string_view line, ReadBackCheck& check) {
    return ForEachRecordWord(line, [&](std::uint32_t word, std::uint8_t lo, std::uint8_t hi) {
        check.Expect(ReadCodeByte(bus, 0x20, word), lo);
        check.Expect(ReadCodeByte(bus, 0x28, word), hi);
        return !check.Mismatch(bus);
    });
}

RecordResult IspAvrVerifyRecord(IspBus& bus, std::string_view line) {
    ReadBackCheck check;
    const RecordResult r = IspAvrVerifyRecord(bus, line, check);
    return r == kRecordProgrammed && !check.AllMatch(bus) ? kRecordFailed : r;
}

void IspAvrWritePage(IspBus& bus, int page) {
    Send(bus, 0x4C, static_cast<std::uint8_t>(page >> 3),
         static_cast<std::uint8_t>((page & 7) << 5), 0xFF);
    bus.Wait(Delays(2, kAvrPageWriteUs));
}

bool AvrImageIsWritable(std::string_view text, int lineCount) {
    FirmwareLines lines(text);
    std::uint32_t records = 0;
    bool ended = false;
    for (int i = 0; i < lineCount; ++i) {
        const std::string_view line = lines.Next();
        if (ended) {
            // A record after the end would be loaded but never verified.
            if (!line.empty())
                return false;
            continue;
        }
        // An empty line here would end the verification early.
        if (line.empty() || line[0] != ':')
            return false;
        std::size_t cursor = 1;
        const RecordHeader h = ReadRecordHeader(line, cursor);
        if (h.type == kRecordTypeEnd) {
            if (records == 0)
                return false;
            ended = true;
            continue;
        }
        // Pages are counted by line, so only full records in address order
        // land where their addresses say.
        if (!StartsWithDataRecordOf16(line) || line.size() < RecordLineLength(16) ||
            h.Address() != 16 * records || h.Address() + 16 > kAvrCodeBytes)
            return false;
        ++records;
    }
    return ended;
}

int ReadAvrSettings(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    StartSettingsOperation(ctx, kTextDownloadingSettings);
    if (!ctx.bypassReadCheck && !BoardIsAcceptable(ctx)) {
        ReleaseReset(bus);
        return 0;
    }
    ctx.progress.SetPosition(0);
    // Each pass queues its reads; their values land in the image at the end.
    const PassesRead read = ReadInPasses(ctx, [&](std::vector<IspBus::Reply>& replies) {
        for (std::uint8_t a = 0; a <= 36; ++a) {
            if (ctx.StopRequested())
                return false;
            ctx.progress.SetPosition(a + 1);
            replies.push_back(ReadDataByte(bus, a));
        }
        return true;
    });
    EndSettingsRead(bus);
    for (std::size_t a = 0; a < read.values.size(); ++a)
        ctx.image[a] = read.values[a];
    return read.whole ? 1 : 0;
}

int WriteAvrSettings(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    StartSettingsOperation(ctx, kTextUploadingSettings);
    if (!BoardIsAcceptable(ctx)) {
        ReleaseReset(bus);
        return 0;
    }
    for (std::uint8_t a = 0; a <= 36; ++a) {
        if (ctx.StopRequested()) {
            ReleaseReset(bus);
            return 0;
        }
        ctx.progress.SetPosition(a);
        if (ctx.WritesEntry(a) &&
            IspAvrWriteDataByte(bus, a, static_cast<std::uint8_t>(ctx.image[a] & 0xFF)) == 0)
            return 0;
    }
    ReleaseReset(bus);
    return 1;
}

int WriteAvrFirmware(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    const std::optional<int> lineCount = BeginFirmwareWrite(ctx, AvrImageIsWritable);
    if (!lineCount || ctx.StopRequested())
        return 0;
    const int n = *lineCount;
    bus.WriteControl(0x00);
    bus.WriteStatus(0x00);
    ReleaseReset(bus);
    HoldReset(bus);
    ctx.progress.SetRange(2 * n);
    ctx.progress.SetPosition(0);
    ctx.stepsRemaining = static_cast<float>(2 * n);

    IspAvrEnable(bus);
    if (IspAvrReadSignature(bus) != kAvrSignature) {
        ReleaseReset(bus);
        return 0;
    }

    // Chip erase, then programming mode again.
    bus.WriteControl(kControlProgramming);
    bus.Wait(Delays(4));
    Send(bus, 0xAC, 0x80, 0xFF, 0xFF);
    // Releasing reset cuts a running erase short: four delays (10.8 ms at the
    // shortest calibration) outlast its 9 ms; three (8.1 ms) did not.
    bus.Wait(Delays(4, kAvrChipEraseUs));
    ReleaseReset(bus);
    HoldReset(bus);
    bus.Wait(Delays(1));
    IspAvrEnable(bus);

    // Four 16-byte records fill one page.
    FirmwareLines lines(ctx.firmwareImageText);
    int page = 0;
    bool pageLoaded = false;
    for (int i = 0; i < n; ++i) {
        // Stopped, the board keeps what is programmed so far and runs.
        if (ctx.StopRequested()) {
            ReleaseReset(bus);
            return 0;
        }
        const std::string_view line = lines.Next();
        ctx.progress.SetPosition(i);
        ctx.UpdateTimeLeft();
        ctx.stepsRemaining -= 1.0f;
        const RecordResult r = IspAvrLoadRecord(bus, line);
        if (r == kRecordFailed) {
            ReleaseReset(bus);
            return 0;
        }
        if (r == kRecordProgrammed)
            pageLoaded = true;
        if (i % 4 == 3) {
            IspAvrWritePage(bus, page);
            ++page;
            pageLoaded = false;
        }
    }
    // A last page the records do not fill gets no write point of its own.
    if (pageLoaded)
        IspAvrWritePage(bus, page);
    bus.Wait(Delays(2, kAvrPageWriteUs));

    // The reads of the whole verification may be queued; a byte that differs
    // fails it as soon as it is known.
    ReadBackCheck check;
    const auto verified = [&] {
        const bool ok = check.AllMatch(bus);
        ReleaseReset(bus);
        return ok ? 1 : 0;
    };
    FirmwareLines again(ctx.firmwareImageText);
    for (int j = 0; j < n; ++j) {
        if (ctx.StopRequested()) {
            ReleaseReset(bus);
            return 0;
        }
        const std::string_view line = again.Next();
        ctx.progress.SetPosition(n + j);
        ctx.UpdateTimeLeft();
        ctx.stepsRemaining -= 1.0f;
        // The first record that is not a full data record, normally the end
        // record, ends the verification.
        if (!StartsWithDataRecordOf16(line))
            return verified();
        if (IspAvrVerifyRecord(bus, line, check) == kRecordFailed) {
            ReleaseReset(bus);
            return 0;
        }
    }
    return verified();
}

int ReadAvrCode(OperationContext& ctx) {
    IspBus& bus = ctx.bus;
    StartSettingsOperation(ctx, kTextReadingFirmware);
    if (!ctx.codeRead || IspAvrReadSignature(bus) != kAvrSignature) {
        ReleaseReset(bus);
        return 0;
    }
    constexpr std::uint32_t kWords = kAvrCodeBytes / 2;
    // Each pass reads the lock bits, then, when they allow it, every word,
    // low byte then high byte, queued and read out at the end.
    const PassesRead read = ReadInPasses(ctx, [&](std::vector<IspBus::Reply>& replies) {
        replies.push_back(ReadLockBits(bus));
        if ((bus.Value(replies.back()) & kAvrLockBitLb2) == 0)
            return true;
        ctx.progress.SetRange(static_cast<int>(kWords));
        for (std::uint32_t word = 0; word < kWords; ++word) {
            if (ctx.StopRequested())
                return false;
            replies.push_back(ReadCodeByte(bus, 0x20, word));
            replies.push_back(ReadCodeByte(bus, 0x28, word));
            ctx.progress.SetPosition(static_cast<int>(word + 1));
        }
        return true;
    });
    EndSettingsRead(bus);
    CodeRead& code = *ctx.codeRead;
    code.locked = !read.values.empty() && (read.values.front() & kAvrLockBitLb2) == 0;
    code.memory.assign(read.values.begin() + (read.values.empty() ? 0 : 1), read.values.end());
    return read.whole ? 1 : 0;
}

} // namespace kelvo
