#pragma once

#include "link/OperationContext.h"

#include <cstdint>
#include <string>

namespace kelvo {

// The board operations a runner can be asked for. Code 2 is unassigned; it
// and any other code outside the table run nothing, so codes travel as plain
// integers.
enum OperationCode : std::int32_t {
    kOpRead8051Settings = 0,
    kOpWrite8051Settings = 1,
    kOpWrite8051Firmware = 3,
    kOpReadAvrSettings = 4,
    kOpWriteAvrSettings = 5,
    kOpWriteAvrFirmware = 6,
    kOpRead8051Code = 7,
    kOpReadAvrCode = 8,
};

// Runs the operation and records its outcome in operationSucceeded: 1 when it
// returned 1, 0 otherwise; an operation for a family the bus cannot program
// fails without touching the lines. A code that names no operation leaves the
// flag as it was.
void RunOperation(std::int32_t code, OperationContext& ctx, std::int32_t& operationSucceeded);

// What a progress window does once it is on screen: shows the flow's status
// line, the fixed warning and an empty time-left line, then runs the
// operation. Whatever warning the flow supplied is replaced.
void StartOperation(std::int32_t code, const std::string& initialStatus, OperationContext& ctx,
                    std::int32_t& operationSucceeded);

} // namespace kelvo
