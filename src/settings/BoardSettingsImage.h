#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvo {

inline constexpr std::size_t kImageEntries = 37;
inline constexpr std::int32_t Unset = -1;

// One entry per byte of the board's settings block; a valid value is 0..255,
// Unset means no valid value is known. Only the low byte of an entry reaches
// the board. A plain array so the link layer can fill it without knowing
// anything about settings.
using BoardSettingsImage = std::array<std::int32_t, kImageEntries>;

// Entry numbers.
namespace entry {
inline constexpr std::size_t unused = 0; // "first byte isn't used"
inline constexpr std::size_t firingMode = 1;
inline constexpr std::size_t rofPeriod = 2;
inline constexpr std::size_t dwell = 3;
inline constexpr std::size_t debounce = 4;
inline constexpr std::size_t afterEyeDelay = 5;
inline constexpr std::size_t timerMode = 6;
inline constexpr std::size_t timerStart = 7;
inline constexpr std::size_t timerMinutesCode = 8;
inline constexpr std::size_t timerSecondsFives = 9;
inline constexpr std::size_t lcdSection1 = 10;
inline constexpr std::size_t lcdSection1B = 11;
inline constexpr std::size_t lcdSection2 = 12;
inline constexpr std::size_t lcdSection2B = 13;
inline constexpr std::size_t eyeMode = 14;
inline constexpr std::size_t eyeBypass = 15;
inline constexpr std::size_t operationMode = 16;
inline constexpr std::size_t boltDelayOffset = 17;
inline constexpr std::size_t minBoltOpen = 18;
inline constexpr std::size_t asDelay = 19;
inline constexpr std::size_t firmwareMajor = 20;
inline constexpr std::size_t firmwareMinor = 21;
inline constexpr std::size_t boardTypeCode = 22;
inline constexpr std::size_t aeBypassRofPeriod = 23;
inline constexpr std::size_t lcdMenuMask0 = 24;
inline constexpr std::size_t lcdMenuMask1 = 25;
inline constexpr std::size_t lcdMenuMask2 = 26;
inline constexpr std::size_t powersaveMinutes = 27;
inline constexpr std::size_t eyeSensitivity = 28;
inline constexpr std::size_t absDwell = 29;
inline constexpr std::size_t batteryFraction = 30;
inline constexpr std::size_t batteryVolts = 31;
inline constexpr std::size_t ebMinBoltOpen = 32;
inline constexpr std::size_t halcyraMode = 33;
inline constexpr std::size_t mechanicalDebounce = 34;
inline constexpr std::size_t boltTimerWait = 35;
inline constexpr std::size_t untouched = 36; // transferred, never interpreted
} // namespace entry

// Entries that no page, file, preset or validation changes: they hold what
// the last download read and go back to the board unchanged.
inline constexpr std::array<std::size_t, 8> kReadOnlyEntries = {
    entry::unused,          entry::firmwareMajor, entry::firmwareMinor, entry::boardTypeCode,
    entry::batteryFraction, entry::batteryVolts,  entry::halcyraMode,   entry::untouched};

constexpr bool IsReadOnlyEntry(std::size_t index) {
    for (std::size_t e : kReadOnlyEntries)
        if (e == index)
            return true;
    return false;
}

// Marks the entries the pages edit, except the LCD menu masks and the eye
// sensitivity, as Unset; everything else keeps its value.
void ResetSettingsImage(BoardSettingsImage& image);

} // namespace kelvo
