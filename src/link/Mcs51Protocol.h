#pragma once

#include "link/FirmwareInput.h"
#include "link/IspBus.h"
#include "link/OperationContext.h"

#include <cstdint>
#include <string_view>

namespace kelvo {

// Code memory is 8 KB; address bits 13 and up are dropped.
inline constexpr std::uint32_t k8051CodeBytes = 0x2000;
// Firmware revisions an 8051 board may report at data address 19.
inline constexpr int k8051RevisionMin = 1;
inline constexpr int k8051RevisionMax = 10;

// The part's serial programming timing: the shortest waits its datasheet
// allows, which programmers with a clock of their own wait instead of
// calibrated delays.
inline constexpr std::uint32_t k8051EnableAfterResetUs = 10'000; // RST high before the enable
inline constexpr std::uint32_t k8051ByteWriteUs = 2'500;         // code or data byte write
inline constexpr std::uint32_t k8051ChipEraseUs = 16'000;

// Serial programming instructions (three bytes each). All of them run inside
// a board operation, after the delay has been calibrated.
void Isp8051Enable(IspBus& bus);
std::uint8_t Isp8051ReadDataByte(IspBus& bus, std::uint32_t address);
// 2 when the byte reads back as written; 0 (board released) otherwise.
int Isp8051WriteDataByte(IspBus& bus, std::uint32_t address, std::uint8_t value);
// Programs and reads back each byte; the checksum (all eight bits of the
// record's sum) is tested afterwards.
RecordResult Isp8051ProgramRecord(IspBus& bus, std::string_view line);
void Isp8051Finish(IspBus& bus);

// Whether the first `lineCount` lines of `text` give the byte writer anything
// to do and nothing it must stop at: every line empty or a record, and at
// least one data byte among them.
bool Mcs51ImageIsWritable(std::string_view text, int lineCount);

// Board operations 0, 1 and 3; each returns 1 on success and 0 on failure.
int Read8051Settings(OperationContext& ctx);
int Write8051Settings(OperationContext& ctx);
int Write8051Firmware(OperationContext& ctx);

std::uint8_t Isp8051ReadCodeByte(IspBus& bus, std::uint32_t address);

// Board operation 7: reads the whole code memory into ctx.codeRead, byte by
// byte with the instruction the verification uses, once the revision byte
// shows a board answers. The part has no instruction that reads its lock
// bits: a part locked against verification reads as blank. 1 when a board
// answered.
int Read8051Code(OperationContext& ctx);

} // namespace kelvo
