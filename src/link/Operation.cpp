#include "link/Operation.h"

#include "link/AvrProtocol.h"
#include "link/Mcs51Protocol.h"

namespace kelvo {

void RunOperation(std::int32_t code, OperationContext& ctx, std::int32_t& operationSucceeded) {
    int (*operation)(OperationContext&) = nullptr;
    switch (code) {
    case kOpRead8051Settings:
        operation = Read8051Settings;
        break;
    case kOpWrite8051Settings:
        operation = Write8051Settings;
        break;
    case kOpWrite8051Firmware:
        operation = Write8051Firmware;
        break;
    case kOpReadAvrSettings:
        operation = ReadAvrSettings;
        break;
    case kOpWriteAvrSettings:
        operation = WriteAvrSettings;
        break;
    case kOpWriteAvrFirmware:
        operation = WriteAvrFirmware;
        break;
    case kOpRead8051Code:
        operation = Read8051Code;
        break;
    case kOpReadAvrCode:
        operation = ReadAvrCode;
        break;
    }
    if (!operation)
        return;
    const bool avr = code == kOpReadAvrSettings || code == kOpWriteAvrSettings ||
                     code == kOpWriteAvrFirmware || code == kOpReadAvrCode;
    if (!ctx.bus.CanProgram(avr ? Family::Avr : Family::Mcs51)) {
        operationSucceeded = 0;
        return;
    }
    // Whoever may stop the operation learns what stopping would cut short.
    const BoardWrite writing =
        code == kOpWrite8051Firmware || code == kOpWriteAvrFirmware   ? BoardWrite::Firmware
        : code == kOpWrite8051Settings || code == kOpWriteAvrSettings ? BoardWrite::Settings
                                                                      : BoardWrite::None;
    // A flow that protects a longer span gets it back afterwards.
    const BoardWrite around = ctx.stop ? ctx.stop->writing.load() : BoardWrite::None;
    if (ctx.stop && writing != BoardWrite::None)
        ctx.stop->writing = writing;
    operationSucceeded = operation(ctx) == 1 ? 1 : 0;
    // A programmer that batches its work may still hold the last steps; one
    // that stopped answering has not done them.
    ctx.bus.Flush();
    if (!ctx.bus.Fault().empty())
        operationSucceeded = 0;
    if (ctx.stop)
        ctx.stop->writing = around;
}

void StartOperation(std::int32_t code, const std::string& initialStatus, OperationContext& ctx,
                    std::int32_t& operationSucceeded) {
    ctx.progress.SetPosition(0);
    ctx.progress.SetStatus(initialStatus);
    ctx.progress.SetWarning(kTextOperationWarning);
    ctx.progress.SetTimeLeft("");
    RunOperation(code, ctx, operationSucceeded);
}

} // namespace kelvo
