#pragma once

#include "link/IspBus.h"

#include <cstdint>
#include <deque>
#include <utility>

namespace kelvo {

// Bytes read back that must equal what was written, compared as soon as the
// bus knows them: at once on the parallel port, a batch later on a USB
// programmer, which meanwhile goes on queueing reads.
class ReadBackCheck {
public:
    void Expect(IspBus::Reply reply, std::uint8_t value) { pending_.emplace_back(reply, value); }

    // True once a byte known so far differs.
    bool Mismatch(IspBus& bus) {
        // Replies become known in the order they were queued.
        while (!pending_.empty() && bus.Known(pending_.front().first)) {
            const auto [reply, value] = pending_.front();
            pending_.pop_front();
            if (bus.Value(reply) != value)
                mismatch_ = true;
        }
        return mismatch_;
    }

    // Sends what is queued and compares every byte still open.
    bool AllMatch(IspBus& bus) {
        if (!pending_.empty())
            bus.Flush();
        return !Mismatch(bus);
    }

private:
    std::deque<std::pair<IspBus::Reply, std::uint8_t>> pending_;
    bool mismatch_ = false;
};

} // namespace kelvo
