#pragma once

#include "link/Clock.h"
#include "link/Port.h"
#include "link/StopRequest.h"
#include "ops/AppState.h"
#include "ops/FlowHost.h"

#include <string>

namespace kelvo {

// Everything a flow works with.
struct FlowContext {
    AppState& state;
    FlowHost& host;
    Port& port;
    Clock& clock;
    // Lets the surroundings stop the board work; null when nothing can.
    StopRequest* stop = nullptr;
};

inline constexpr char kFlowWarning[] =
    "Do not turn off the power or disconnect the programming cable. ";

// "Searching for a board on port 0x378, please wait..." (the AVR form ends
// in a blank).
std::string SearchStatusText(int portBase, bool avr);

// Which entries a settings write sends. Only the page entries, so that a
// board never gets a firmware revision, board type or battery bytes that did
// not come from it (a board swapped after its download, or a file written to
// a board that was never read); factory defaults send 0xFF everywhere.
enum class SettingsEntries { PageOnly, Every };

// Runs one board operation in a progress window; the outcome is left in
// operationSucceeded.
void RunBoardOperation(FlowContext& ctx, const OperationRequest& request,
                       SettingsEntries entries = SettingsEntries::PageOnly);

enum class AttemptResult { Failed, Mcs51, Avr };

// Tries the flow's 8051 and AVR operations in the order 8051, AVR, 8051,
// AVR and stops at the first success; attempts of a family the run options
// exclude count as failures. Once a stop is requested no attempt starts.
AttemptResult BoardAttemptSequence(FlowContext& ctx, int operation8051, int operationAvr,
                                   const std::string& firmwarePath = {},
                                   SettingsEntries entries = SettingsEntries::PageOnly);

} // namespace kelvo
