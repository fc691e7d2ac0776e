#pragma once

namespace kelvo {

// Service switches from the command line; filled once at start-up.
struct RunOptions {
    int initProgramming = 0;
    int pinTest = 0;
    int displayDataMemRaw = 0;
    int bypassReadCheck = 0;
    int bypassFirmwareCheck = 0;
    int avrOnly = 0;
    int only8051 = 0;
    int bypassFwBoardCheck = 0;
    int wholeSecondCalibration = 0; // time the delay calibration in whole seconds
    float delayMultiplier = 1.0f;   // always > 0
};

} // namespace kelvo
