#pragma once

#include "link/FirmwareInput.h"
#include "link/Link.h"
#include "link/OperationContext.h"

#include <cstdint>
#include <string_view>

namespace kelvo {

// The ATmega8 the boards carry.
inline constexpr std::uint32_t kAvrSignature = 0x1E9307;
inline constexpr int kAvrPageWords = 32;
inline constexpr std::uint32_t kAvrCodeBytes = 8192;
// Firmware revisions an AVR board may report at data address 20.
inline constexpr int kAvrRevisionMin = 1;
inline constexpr int kAvrRevisionMax = 6;

// Serial programming instructions. All of them run inside a board operation,
// after the delay has been calibrated.
void IspAvrEnable(Link& link);
std::uint32_t IspAvrReadSignature(Link& link);
std::uint8_t IspAvrReadDataByte(Link& link, std::uint8_t address);
// 2 when the byte reads back as written; 0 (reset released) otherwise.
int IspAvrWriteDataByte(Link& link, std::uint8_t address, std::uint8_t value);
RecordResult IspAvrLoadRecord(Link& link, std::string_view line);
RecordResult IspAvrVerifyRecord(Link& link, std::string_view line);
void IspAvrWritePage(Link& link, int page);

// Whether the first `lineCount` lines of `text` are something the page writer
// can program and verify whole: 16-byte data records from address 0 upward
// without gaps, inside code memory, then the end record and nothing but
// empty lines. Anything else would leave an erased board behind.
bool AvrImageIsWritable(std::string_view text, int lineCount);

// Board operations 4, 5 and 6; each returns 1 on success and 0 on failure.
int ReadAvrSettings(OperationContext& ctx);
int WriteAvrSettings(OperationContext& ctx);
int WriteAvrFirmware(OperationContext& ctx);

// Lock bit LB2 programmed (lock mode 3): the part refuses to be read.
inline constexpr std::uint8_t kAvrLockBitLb2 = 0x02;
std::uint8_t IspAvrReadLockBits(Link& link);

// Board operation 8: reads the whole flash into ctx.codeRead, word by word
// with the instructions the verification uses, after the signature check;
// a part locked against reading is left unread. 1 when a part answered.
int ReadAvrCode(OperationContext& ctx);

} // namespace kelvo
