#pragma once

#include "link/Clock.h"
#include "link/IspBus.h"
#include "link/Port.h"
#include "link/StopRequest.h"
#include "ops/AppState.h"
#include "ops/FlowHost.h"

#include <cstdint>
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
    // Why the port cannot be used (what, why, how to fix it); empty when it
    // can. A flow then tells the user once instead of searching.
    std::string portUnavailable{};
    // The USB programmer board operations go through; null: the parallel
    // port above.
    IspBus* programmer = nullptr;
};

inline bool StopRequested(const FlowContext& ctx) {
    return ctx.stop && ctx.stop->requested.load();
}

inline constexpr char kFlowWarning[] =
    "Do not turn off the power or disconnect the programming cable. ";

// "Searching for a board on port 0x378, please wait..." (the AVR form ends
// in a blank).
std::string SearchStatusText(int portBase, bool avr);

// Which entries a settings write sends. Only the page entries that hold a
// value, so that a board never gets a firmware revision, board type or
// battery bytes that did not come from it (a board swapped after its
// download, or a file written to a board that was never read), nor 0xFF for
// an Unset entry; factory defaults send 0xFF everywhere.
enum class SettingsEntries { PageOnly, Every };

// Those entries of `image` as a mask, bit i for entry i.
std::uint64_t EntriesToWrite(SettingsEntries entries, const BoardSettingsImage& image);

// Passes after the first that a read may make before a board's answers are
// given up on: a cable that flips a bit now and then gets through, one that
// flips bits on every pass does not.
inline constexpr int kExtraReads = 3;

// Runs one board operation in a progress window; the outcome is left in
// operationSucceeded. Every read it makes is confirmed: read again in the
// same programming session until two passes agree (readsDisagreed when
// none did).
void RunBoardOperation(FlowContext& ctx, const OperationRequest& request,
                       SettingsEntries entries = SettingsEntries::PageOnly);

// NoPort: the port cannot be used; Disagreed: a board answered, but its
// reads never agreed twice. The user has been told why, so the flow ends as
// after failed attempts but says nothing more. Stopped: a stop was asked
// for; the flow ends as after failed attempts, saying nothing, since nothing
// it could say about the cable or the board would be true.
enum class AttemptResult { Failed, Mcs51, Avr, NoPort, Stopped, Disagreed };

inline bool Succeeded(AttemptResult r) {
    return r == AttemptResult::Mcs51 || r == AttemptResult::Avr;
}

// When the port cannot be used, tells the user what, why and how to fix it,
// and returns true.
bool ReportPortUnavailable(FlowContext& ctx);

// The outcome line of a search that found no board: none answered, or the
// port could not be used.
std::string NoBoardOutcome(const FlowContext& ctx, AttemptResult result);

// Tries the flow's 8051 and AVR operations in the order 8051, AVR, 8051,
// AVR and stops at the first success; attempts of a family the run options
// exclude count as failures. Without a usable port no attempt runs; once a
// stop is requested no attempt starts.
AttemptResult BoardAttemptSequence(FlowContext& ctx, int operation8051, int operationAvr,
                                   const std::string& firmwarePath = {},
                                   SettingsEntries entries = SettingsEntries::PageOnly);

} // namespace kelvo
