#pragma once

#include "link/Link.h"
#include "link/OperationContext.h"
#include "ops/RunOptions.h"
#include "settings/BoardSettingsImage.h"

#include <string>

namespace kelvo {

// What the program knows about the board it read last.
struct BoardInfo {
    std::string boardTypeName;
    std::string firmwareRevisionText;
    std::string batteryVoltageText;
    float batteryVoltage = 0.0f;
    int hasBatteryReading = 0;
    int dialogMode = 0; // 1 = closed-bolt options, anything else open-bolt
    int boardLoaded = 0;
};

// The process-wide values, created once by start-up (fresh per test case).
// Lower layers get only the parts they use.
struct AppState {
    RunOptions runOptions;
    LinkParams link;
    BoardSettingsImage settingsImage{};
    BoardInfo boardInfo;
    int operationSucceeded = 0;
    // The last operation met a board that answered (its signature right) but
    // failed the read check: not a cable or power problem.
    bool failedReadCheck = false;
    // The last operation read a board whose passes never agreed twice.
    bool readsDisagreed = false;
    float stepsRemaining = 0.0f;
    std::string FirmwareImageText;
    CodeRead codeRead; // the code memory read last (a firmware backup)
    std::string startDirectory;
    // The "Upload Configuration" button: a board with too old firmware
    // disables it until a download of a newer one.
    bool uploadEnabled = true;
    // The page on screen (-1: none), kept by the main window's page switch;
    // Upload and Save collect this page.
    int currentPageNumber = -1;
    // Initial programming writes every board from the file chosen first.
    std::string rememberedFirmwarePath;
    int firmwarePathRemembered = 0;
    // Where a firmware update keeps a copy of the settings it is about to
    // erase (empty: nowhere, so such an update is refused), and the copy
    // kept by the last update that did not finish.
    std::string recoveryFolder;
    std::string recoverySettingsFile;
};

} // namespace kelvo
