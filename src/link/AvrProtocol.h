#pragma once

#include "link/FirmwareInput.h"
#include "link/IspBus.h"
#include "link/OperationContext.h"
#include "link/ReadBackCheck.h"

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

// ATmega8 serial programming: the shortest waits the datasheet allows, which
// programmers with a clock of their own wait instead of calibrated delays.
inline constexpr std::uint32_t kAvrEnableAfterResetUs = 20'000; // Programming Enable after RESET
inline constexpr std::uint32_t kAvrEepromWriteUs = 9'000;       // tWD_EEPROM
inline constexpr std::uint32_t kAvrPageWriteUs = 4'500;         // tWD_FLASH
inline constexpr std::uint32_t kAvrChipEraseUs = 9'000;         // tWD_ERASE

// Serial programming instructions. All of them run inside a board operation,
// after the delay has been calibrated.
void IspAvrEnable(IspBus& bus);
std::uint32_t IspAvrReadSignature(IspBus& bus);
std::uint8_t IspAvrReadDataByte(IspBus& bus, std::uint8_t address);
// 2 when the byte reads back as written; 0 (reset released) otherwise.
int IspAvrWriteDataByte(IspBus& bus, std::uint8_t address, std::uint8_t value);
RecordResult IspAvrLoadRecord(IspBus& bus, std::string_view line);
// Queues the record's reads into `check` and fails once a byte known so far
// differs; the bytes still open are compared by check.AllMatch. The form
// without a check compares them all before it returns.
RecordResult IspAvrVerifyRecord(IspBus& bus, std::string_view line, ReadBackCheck& check);
RecordResult IspAvrVerifyRecord(IspBus& bus, std::string_view line);
void IspAvrWritePage(IspBus& bus, int page);

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

// Board operation 8: reads the whole flash into ctx.codeRead, word by word
// with the instructions the verification uses, after the signature check;
// a part locked against reading is left unread. 1 when a part answered.
// With ctx.extraReads the lock bits and the words are read in passes until
// two agree.
int ReadAvrCode(OperationContext& ctx);

} // namespace kelvo
