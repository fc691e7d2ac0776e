#pragma once

#include <atomic>

namespace kelvo {

// What a board operation is writing while it runs; Update: a flow between
// the chip erase and the end of the settings write that follows it.
enum class BoardWrite { None, Settings, Firmware, Update };

// Asks the running board operation to stop at its next step. Set from
// another thread or a signal handler, so both fields are lock-free atomics.
// A stopped operation leaves the port as its own ending does (programming
// mode left, the board running) and fails; a flow starts no further one.
// The request stays until its owner clears it.
struct StopRequest {
    std::atomic<bool> requested{false};
    // Set by the running operation (or flow), for whoever decides whether
    // to stop.
    std::atomic<BoardWrite> writing{BoardWrite::None};
};

static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<BoardWrite>::is_always_lock_free);

} // namespace kelvo
