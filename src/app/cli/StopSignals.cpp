#include "app/cli/StopSignals.h"

#include <atomic>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelvo {

namespace {

StopRequest* g_stop = nullptr;
int g_messageFd = 2;
// Atomic, not just sig_atomic_t: on Windows Ctrl-C is handled on a thread of
// its own.
std::atomic<int> g_warned = 0;
std::atomic<int> g_stoppedBy = 0;
#ifdef _WIN32
using Handler = void (*)(int);
Handler g_previousInt, g_previousTerm;
#else
struct sigaction g_previousInt, g_previousTerm, g_previousHup;
#endif

constexpr char kFirmwareWarning[] =
    "\nkelvo-cli: the board's firmware is being written; stopping now would leave the board "
    "without complete firmware. Interrupt again to stop anyway; otherwise the write goes on.\n";
constexpr char kSettingsWarning[] =
    "\nkelvo-cli: the board's settings are being written; stopping now would leave the board "
    "without complete settings. Interrupt again to stop anyway; otherwise the write goes on.\n";
constexpr char kUpdateWarning[] =
    "\nkelvo-cli: the board's firmware is being updated; stopping now could leave the board "
    "without complete firmware or without its settings. Interrupt again to stop anyway; "
    "otherwise the update goes on.\n";
constexpr char kStopping[] = "\nkelvo-cli: stopping: the board is left running as it is now.\n";

void Say(const char* text, std::size_t size) {
    // Nothing to be done about a failed write here.
#ifdef _WIN32
    [[maybe_unused]] const int ignored = ::_write(g_messageFd, text, static_cast<unsigned>(size));
#else
    [[maybe_unused]] const ssize_t ignored = ::write(g_messageFd, text, size);
#endif
}

extern "C" void OnStopSignal(int signal) {
#ifdef _WIN32
    // Windows puts the default handler back before calling this one.
    std::signal(signal, OnStopSignal);
#endif
    const BoardWrite writing = g_stop->writing.load();
    if (writing != BoardWrite::None && !g_warned.exchange(1)) {
        if (writing == BoardWrite::Firmware)
            Say(kFirmwareWarning, sizeof kFirmwareWarning - 1);
        else if (writing == BoardWrite::Update)
            Say(kUpdateWarning, sizeof kUpdateWarning - 1);
        else
            Say(kSettingsWarning, sizeof kSettingsWarning - 1);
        return;
    }
    int none = 0;
    if (g_stoppedBy.compare_exchange_strong(none, signal)) {
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
#ifdef _WIN32
    // Ctrl-C in the console arrives as SIGINT.
    g_previousInt = std::signal(SIGINT, OnStopSignal);
    g_previousTerm = std::signal(SIGTERM, OnStopSignal);
#else
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART a wait for Enter returns at once instead of
    // holding the stop back.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &g_previousInt);
    sigaction(SIGTERM, &action, &g_previousTerm);
    // A closed terminal asks for a stop like any other; it does not cut a
    // write short.
    sigaction(SIGHUP, &action, &g_previousHup);
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
    std::signal(SIGINT, g_previousInt);
    std::signal(SIGTERM, g_previousTerm);
#else
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGHUP, &g_previousHup, nullptr);
#endif
    g_stop = nullptr;
}

int StopSignals::StoppedBy() const {
    return g_stoppedBy;
}

} // namespace kelvo
