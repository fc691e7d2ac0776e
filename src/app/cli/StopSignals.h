#pragma once

#include "link/StopRequest.h"

namespace kelvo {

// Turns SIGINT, SIGTERM and SIGHUP (a closed terminal) into a stop request for the board work of
// one kelvo-cli run, from construction to destruction (one at a time). While a board write runs,
// the first signal only warns that stopping would leave the board without complete firmware or
// settings, and a second one stops; otherwise the first one stops. The handler only sets flags and
// writes its line to `messageFd` with write(2). A firmware update marks the whole span from the
// chip erase to the end of the settings write as such a write. On Windows, Ctrl-C in the console is
// SIGINT, and there is no SIGHUP.
class StopSignals {
public:
    StopSignals(StopRequest& stop, int messageFd);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that stopped the run, or 0.
    int StoppedBy() const;
};

} // namespace kelvo
