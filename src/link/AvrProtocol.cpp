#include "link/AvrProtocol.h"

#include "link/HexPair.h"

namespace kelvo {

namespace {

constexpr Family kAvr = Family::Avr;

void Delays(Link& link, int count) {
    for (int i = 0; i < count; ++i)
        link.CalibratedDelay();
}

void Send(Link& link, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    link.SendByte(kAvr, b0);
    link.SendByte(kAvr, b1);
    link.SendByte(kAvr, b2);
    link.SendByte(kAvr, b3);
}

std::uint8_t ReadSignatureByte(Link& link, std::uint8_t index) {
    link.SendByte(kAvr, 0x30);
    link.SendByte(kAvr, 0x00);
    link.SendByte(kAvr, index);
    link.CalibratedDelay();
    return link.ReceiveByte(kAvr);
}

std::uint8_t ReadCodeByte(Link& link, std::uint8_t instruction, std::uint32_t word) {
    link.SendByte(kAvr, instruction);
    link.SendByte(kAvr, static_cast<std::uint8_t>(word >> 8));
    link.SendByte(kAvr, static_cast<std::uint8_t>(word & 0xFF));
    return link.ReceiveByte(kAvr);
}

bool StartsWithDataRecordOf16(std::string_view line) {
    return line.substr(0, 3) == ":10";
}

// Operations 4 and 5 begin alike: bar, port registers, delay, status line,
// then programming mode with the reset line held low.
void StartSettingsOperation(OperationContext& ctx, const char* status) {
    Link& link = ctx.link;
    ctx.progress.SetRange(36);
    ctx.progress.SetPosition(0);
    link.WriteControl(0x00);
    link.WriteStatus(0x00);
    link.CalibrateDelay(ctx.delayMultiplier, ctx.calibrationClock);
    ctx.progress.SetStatus(status);
    link.WriteControl(kControlProgramming);
    link.ReleaseResetAvr();
    link.HoldResetAvr();
    IspAvrEnable(link);
}

bool RevisionIsValid(int revision) {
    return revision >= kAvrRevisionMin && revision <= kAvrRevisionMax;
}

// Both reads are always made, so the cable sees the same instructions
// whatever the answers.
bool BoardIsAcceptable(OperationContext& ctx) {
    const bool signatureOk = IspAvrReadSignature(ctx.link) == kAvrSignature;
    const bool revisionOk = RevisionIsValid(IspAvrReadDataByte(ctx.link, 20));
    ctx.failedReadCheck = signatureOk && !revisionOk;
    return signatureOk && revisionOk;
}

// How a settings read leaves the port, at its end or when stopped.
void EndSettingsRead(Link& link) {
    link.ReleaseResetAvr();
    link.ReleaseResetAvr();
    link.WriteControl(0x00);
    link.WriteStatus(0x00);
}

} // namespace

void IspAvrEnable(Link& link) {
    link.WriteControl(kControlProgramming);
    // The part takes Programming Enable only 20 ms after its RESET pulse:
    // eight delays are 21.6 ms even when a calibration comes out at its
    // shortest (2.7 ms); six were 16.2 ms.
    Delays(link, 8);
    Send(link, 0xAC, 0x53, 0xFF, 0xFF);
    Delays(link, 3);
}

std::uint32_t IspAvrReadSignature(Link& link) {
    const std::uint32_t b2 = ReadSignatureByte(link, 2);
    const std::uint32_t b1 = ReadSignatureByte(link, 1);
    const std::uint32_t b0 = ReadSignatureByte(link, 0);
    return (b0 << 16) | (b1 << 8) | b2;
}

std::uint8_t IspAvrReadDataByte(Link& link, std::uint8_t address) {
    link.SendByte(kAvr, 0xA0);
    link.SendByte(kAvr, 0x00);
    link.SendByte(kAvr, address);
    link.CalibratedDelay();
    return link.ReceiveByte(kAvr);
}

int IspAvrWriteDataByte(Link& link, std::uint8_t address, std::uint8_t value) {
    Send(link, 0xC0, 0x00, address, value);
    Delays(link, 5);
    if (IspAvrReadDataByte(link, address) != value) {
        link.ReleaseResetAvr();
        return 0;
    }
    Delays(link, 4);
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

RecordResult IspAvrLoadRecord(Link& link, std::string_view line) {
    return ForEachRecordWord(line, [&](std::uint32_t word, std::uint8_t lo, std::uint8_t hi) {
        const auto w = static_cast<std::uint8_t>(word & 0xFF);
        Send(link, 0x40, 0x0F, w, lo);
        Send(link, 0x48, 0x0F, w, hi);
        return true;
    });
}

RecordResult IspAvrVerifyRecord(Link& link, std::string_view line) {
    return ForEachRecordWord(line, [&](std::uint32_t word, std::uint8_t lo, std::uint8_t hi) {
        const std::uint8_t readLo = ReadCodeByte(link, 0x20, word);
        const std::uint8_t readHi = ReadCodeByte(link, 0x28, word);
        return readLo == lo && readHi == hi;
    });
}

void IspAvrWritePage(Link& link, int page) {
    Send(link, 0x4C, static_cast<std::uint8_t>(page >> 3),
         static_cast<std::uint8_t>((page & 7) << 5), 0xFF);
    Delays(link, 2);
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
    Link& link = ctx.link;
    StartSettingsOperation(ctx, kTextDownloadingSettings);
    if (!ctx.bypassReadCheck && !BoardIsAcceptable(ctx)) {
        link.ReleaseResetAvr();
        return 0;
    }
    ctx.progress.SetPosition(0);
    for (std::uint8_t a = 0; a <= 36; ++a) {
        if (ctx.StopRequested()) {
            EndSettingsRead(link);
            return 0;
        }
        ctx.progress.SetPosition(a + 1);
        ctx.image[a] = IspAvrReadDataByte(link, a);
    }
    EndSettingsRead(link);
    return 1;
}

int WriteAvrSettings(OperationContext& ctx) {
    Link& link = ctx.link;
    StartSettingsOperation(ctx, kTextUploadingSettings);
    if (!BoardIsAcceptable(ctx)) {
        link.ReleaseResetAvr();
        return 0;
    }
    for (std::uint8_t a = 0; a <= 36; ++a) {
        if (ctx.StopRequested()) {
            link.ReleaseResetAvr();
            return 0;
        }
        ctx.progress.SetPosition(a);
        if (ctx.WritesEntry(a) &&
            IspAvrWriteDataByte(link, a, static_cast<std::uint8_t>(ctx.image[a] & 0xFF)) == 0)
            return 0;
    }
    link.ReleaseResetAvr();
    return 1;
}

int WriteAvrFirmware(OperationContext& ctx) {
    Link& link = ctx.link;
    const std::optional<int> lineCount = BeginFirmwareWrite(ctx, AvrImageIsWritable);
    if (!lineCount || ctx.StopRequested())
        return 0;
    const int n = *lineCount;
    link.WriteControl(0x00);
    link.WriteStatus(0x00);
    link.ReleaseResetAvr();
    link.HoldResetAvr();
    ctx.progress.SetRange(2 * n);
    ctx.progress.SetPosition(0);
    ctx.stepsRemaining = static_cast<float>(2 * n);

    IspAvrEnable(link);
    if (IspAvrReadSignature(link) != kAvrSignature) {
        link.ReleaseResetAvr();
        return 0;
    }

    // Chip erase, then programming mode again.
    link.WriteControl(kControlProgramming);
    Delays(link, 4);
    Send(link, 0xAC, 0x80, 0xFF, 0xFF);
    // Releasing reset cuts a running erase short: four delays (10.8 ms at the
    // shortest calibration) outlast its 9 ms; three (8.1 ms) did not.
    Delays(link, 4);
    link.ReleaseResetAvr();
    link.HoldResetAvr();
    link.CalibratedDelay();
    IspAvrEnable(link);

    // Four 16-byte records fill one page.
    FirmwareLines lines(ctx.firmwareImageText);
    int page = 0;
    bool pageLoaded = false;
    for (int i = 0; i < n; ++i) {
        // Stopped, the board keeps what is programmed so far and runs.
        if (ctx.StopRequested()) {
            link.ReleaseResetAvr();
            return 0;
        }
        const std::string_view line = lines.Next();
        ctx.progress.SetPosition(i);
        ctx.UpdateTimeLeft();
        ctx.stepsRemaining -= 1.0f;
        const RecordResult r = IspAvrLoadRecord(link, line);
        if (r == kRecordFailed) {
            link.ReleaseResetAvr();
            return 0;
        }
        if (r == kRecordProgrammed)
            pageLoaded = true;
        if (i % 4 == 3) {
            IspAvrWritePage(link, page);
            ++page;
            pageLoaded = false;
        }
    }
    // A last page the records do not fill gets no write point of its own.
    if (pageLoaded)
        IspAvrWritePage(link, page);
    Delays(link, 2);

    FirmwareLines again(ctx.firmwareImageText);
    for (int j = 0; j < n; ++j) {
        if (ctx.StopRequested()) {
            link.ReleaseResetAvr();
            return 0;
        }
        const std::string_view line = again.Next();
        ctx.progress.SetPosition(n + j);
        ctx.UpdateTimeLeft();
        ctx.stepsRemaining -= 1.0f;
        // The first record that is not a full data record, normally the end
        // record, ends the verification.
        if (!StartsWithDataRecordOf16(line)) {
            link.ReleaseResetAvr();
            return 1;
        }
        if (IspAvrVerifyRecord(link, line) == kRecordFailed) {
            link.ReleaseResetAvr();
            return 0;
        }
    }
    link.ReleaseResetAvr();
    return 1;
}

std::uint8_t IspAvrReadLockBits(Link& link) {
    link.SendByte(kAvr, 0x58);
    link.SendByte(kAvr, 0x00);
    link.SendByte(kAvr, 0x00);
    return link.ReceiveByte(kAvr);
}

int ReadAvrCode(OperationContext& ctx) {
    Link& link = ctx.link;
    StartSettingsOperation(ctx, kTextReadingFirmware);
    if (!ctx.codeRead || IspAvrReadSignature(link) != kAvrSignature) {
        link.ReleaseResetAvr();
        return 0;
    }
    CodeRead& read = *ctx.codeRead;
    read.memory.clear();
    read.locked = (IspAvrReadLockBits(link) & kAvrLockBitLb2) == 0;
    if (read.locked) {
        EndSettingsRead(link);
        return 1;
    }
    constexpr std::uint32_t kWords = kAvrCodeBytes / 2;
    ctx.progress.SetRange(static_cast<int>(kWords));
    for (std::uint32_t word = 0; word < kWords; ++word) {
        if (ctx.StopRequested()) {
            EndSettingsRead(link);
            return 0;
        }
        read.memory.push_back(ReadCodeByte(link, 0x20, word));
        read.memory.push_back(ReadCodeByte(link, 0x28, word));
        ctx.progress.SetPosition(static_cast<int>(word + 1));
    }
    EndSettingsRead(link);
    return 1;
}

} // namespace kelvo
