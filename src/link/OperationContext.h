#pragma once

#include "link/IspBus.h"
#include "link/ProgressSink.h"
#include "link/StopRequest.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

inline constexpr char kTextDownloadingSettings[] =
    "Downloading settings from your board, please wait...";
inline constexpr char kTextUploadingSettings[] = "Uploading settings to your board, please wait...";
inline constexpr char kTextUploadingFirmware[] = "Uploading firmware to your board, please wait...";
inline constexpr char kTextReadingFirmware[] =
    "Reading the firmware from your board, please wait...";
inline constexpr char kTextTimeLeftCalculating[] = "Time Left: Calculating...";
inline constexpr char kTextOperationWarning[] =
    "Do not turn off the power or disconnect the programming cable.";

// "Time Left: MM:SS" for an estimate in seconds; whole hours are dropped, so
// the line only ever shows minutes of the hour.
std::string FormatTimeLeft(std::int32_t seconds);

// What a code memory read found: the whole memory, or that the part's lock
// bits forbid reading it.
struct CodeRead {
    std::vector<std::uint8_t> memory;
    bool locked = false;
};

// Every entry of the settings image, as a mask of entry numbers.
inline constexpr std::uint64_t kEveryImageEntry = (std::uint64_t{1} << 37) - 1;

// What one board operation works with: the programmer's bus, the window it reports to,
// the settings image (entries 0..36, the same type as BoardSettingsImage),
// the firmware text and file, and the run options the operations read.
// One context serves one operation, like the window it stands for.
struct OperationContext {
    OperationContext(IspBus& b, ProgressSink& p, std::array<std::int32_t, 37>& img,
                     const std::string& firmwareText, float& steps)
        : bus(b), progress(p), image(img), firmwareImageText(firmwareText), stepsRemaining(steps) {}

    IspBus& bus;
    ProgressSink& progress;
    std::array<std::int32_t, 37>& image;
    // Read only: the next attempt of a flow must find it as it was.
    const std::string& firmwareImageText;
    float& stepsRemaining;
    std::string firmwarePath; // its whitespace-separated tokens give the line count
    int bypassReadCheck = 0;
    // Set when a board answered (its signature right) but failed the read
    // check, which no cable problem explains.
    bool failedReadCheck = false;
    // Passes a settings or code read may make after its first until two in
    // a row agree (0: one pass); readsDisagreed tells that none did, and
    // the image or codeRead then holds the last pass.
    int extraReads = 0;
    bool readsDisagreed = false;
    float delayMultiplier = 1.0f;
    CalibrationClock calibrationClock = CalibrationClock::Microseconds;
    // Entries a settings write sends, bit i for entry i; the board keeps its
    // own bytes at the others. The progress bar moves over every address.
    std::uint64_t entriesToWrite = kEveryImageEntry;

    bool WritesEntry(std::size_t entry) const { return (entriesToWrite >> entry) & 1u; }

    // Where the code memory reads put what they read; null for the others.
    CodeRead* codeRead = nullptr;

    // Checked between steps; null when nothing can ask for a stop. A
    // programmer that stopped answering ends the operation the same way.
    StopRequest* stop = nullptr;
    bool StopRequested() const { return (stop && stop->requested.load()) || !bus.Fault().empty(); }

    // Called once per firmware step, before the step's work. Measures the
    // step rate over windows of at least 5 seconds and, when a window
    // closes, shows stepsRemaining at that rate on the time-left line. The
    // first call only opens the first window.
    void UpdateTimeLeft();

private:
    std::int64_t lastEstimateTime_ = 0; // start of the current window in µs; 0 = none yet
    float stepsInWindow_ = 0.0f;
};

} // namespace kelvo
