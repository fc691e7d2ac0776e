#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

// Rate-of-fire list position -> shot period in ms (1 = "Unlimited").
inline constexpr std::array<std::int32_t, 16> RofPeriodTable = {1,  45, 50, 53, 56,  59,  63,  67,
                                                                71, 77, 83, 91, 100, 111, 125, 167};

// timerMinutesCode -> minutes.
inline constexpr std::array<std::int32_t, 8> TimerMinutesTable = {1, 2, 3, 5, 7, 10, 12, 15};

// The AE bypass list is the rate-of-fire list without "Unlimited" and
// "22 bps": its position p stores RofPeriodTable[p + kAeBypassRofOffset].
inline constexpr std::size_t kAeBypassRofOffset = 2;
inline constexpr std::size_t kAeBypassRofCount = RofPeriodTable.size() - kAeBypassRofOffset;

// List texts in the order the pages show them; a list position is an index.
inline constexpr std::array<std::string_view, 7> FiringModeTexts = {
    "Semi Auto",   "Turbo",       "Autoresponse",    "Full Auto",
    "PSP Ramping", "NXL Ramping", "Snapshot Trainer"};

inline constexpr std::array<std::string_view, 16> RofTexts = {
    "Unlimited", "22 bps", "20 bps", "19 bps", "18 bps", "17 bps", "16 bps", "15 bps",
    "14 bps",    "13 bps", "12 bps", "11 bps", "10 bps", "09 bps", "08 bps", "06 bps"};

inline constexpr std::array<std::string_view, kAeBypassRofCount> AeBypassRofTexts = {
    "20 bps", "19 bps", "18 bps", "17 bps", "16 bps", "15 bps", "14 bps",
    "13 bps", "12 bps", "11 bps", "10 bps", "09 bps", "08 bps", "06 bps"};

// Alphabetical, as the sorted eye-mode box orders them: positions 0..2 are
// the bolt-timer modes, 3..5 the eye-monitored ones.
inline constexpr std::array<std::string_view, 6> EyeModeTexts = {
    "Bolt Timer, VARNE Off, Drop Shot After Timer",
    "Bolt Timer, VARNE Off, Fire After Timer",
    "Bolt Timer, VARNE On, Drop Shot After Timer",
    "Eye Monitored, VARNE Off, Drop Shot After Timer",
    "Eye Monitored, VARNE Off, Fire After Timer",
    "Eye Monitored, VARNE On, Drop Shot After Timer"};
inline constexpr int kBoltTimerEyeModes = 3;

// Timer Init list; position p stores timerStart 2 - p.
inline constexpr std::array<std::string_view, 3> TimerInitTexts = {
    "Button 1 Only", "Button 1 or Fire Only", "Turnon, B1, or Fire"};

// Minutes edit text for each timerMinutesCode.
inline constexpr std::array<std::string_view, 8> TimerMinutesTexts = {"01", "02", "03", "05",
                                                                      "07", "10", "12", "15"};

inline constexpr std::array<std::string_view, 10> LcdSectionTexts = {
    "Timer", "Shot Count", "ROF Setting", "ROF Achieved",    "Firing Mode",
    "Dwell", "Eye Status", "Version",     "Battery Voltage", "Blank (Empty)"};

// LCD menu items by bit number; the last three exist only in closed-bolt mode.
inline constexpr std::array<std::string_view, 19> LcdMenuItemTexts = {
    "Firing Mode",     "Rate Of Fire",      "Solenoid Dwell", "Debounce Mult",   "After-Eye Delay",
    "Timer Mode",      "Timer Start",       "Timer Minutes",  "Timer Seconds",   "LCD Section 1",
    "LCD Section 1B",  "LCD Section 2",     "LCD Section 2B", "Eye Timing Mode", "Operation Mode",
    "V.A.R.N.E. Mode", "Bolt Delay Offset", "Min Bolt Open",  "After-Shot Delay"};
inline constexpr std::size_t kOpenBoltLcdMenuItems = 16;

} // namespace kelvo
