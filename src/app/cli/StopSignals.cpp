#include "app/cli/StopSignals.h"

#include <csignal>
#include <cstring>

#include <unistd.h>

namespace kelvo {

namespace {

StopRequest* g_stop = nullptr;
int g_messageFd = 2;
volatile std::sig_atomic_t g_warned = 0;
volatile std::sig_atomic_t g_stoppedBy = 0;
struct sigaction g_previousInt, g_previousTerm;

constexpr char kFirmwareWarning[] =
    "\nkelvo-cli: the board's firmware is being written; stopping now would leave the board "
    "without complete firmware. Interrupt again to stop anyway; otherwise the write goes on.\n";
constexpr char kSettingsWarning[] =
    "\nkelvo-cli: the board's settings are being written; stopping now would leave the board "
    "without complete settings. Interrupt again to stop anyway; otherwise the write goes on.\n";
constexpr char kStopping[] = "\nkelvo-cli: stopping: the board is left running as it is now.\n";

void Say(const char* text, std::size_t size) {
    // Nothing to be done about a failed write here.
    [[maybe_unused]] const ssize_t ignored = ::write(g_messageFd, text, size);
}

extern "C" void OnStopSignal(int signal) {
    const BoardWrite writing = g_stop->writing.load();
    if (writing != BoardWrite::None && !g_warned) {
        g_warned = 1;
        if (writing == BoardWrite::Firmware)
            Say(kFirmwareWarning, sizeof kFirmwareWarning - 1);
        else
            Say(kSettingsWarning, sizeof kSettingsWarning - 1);
        return;
    }
    if (!g_stoppedBy) {
        g_stoppedBy = signal;
        Say(kStopping, sizeof kStopping - 1);
    }
    g_stop->requested = true;
}

} // namespace

StopSignals::StopSignals(StopRequest& stop, int messageFd) {
    g_stop = &stop;
    g_messageFd = messageFd;
    g_warned = 0;
    g_stoppedBy = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART a wait for Enter returns at once instead of
    // holding the stop back.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &g_previousInt);
    sigaction(SIGTERM, &action, &g_previousTerm);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    g_stop = nullptr;
}

int StopSignals::StoppedBy() const {
    return g_stoppedBy;
}

} // namespace kelvo
