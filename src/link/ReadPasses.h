#pragma once

#include "link/OperationContext.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace kelvo {

// What reading a memory in passes gave: the values of the last pass, and
// whether it ran to its end.
struct PassesRead {
    std::vector<std::uint8_t> values;
    bool whole = false; // false: a stop cut the last pass short
};

// Reads a memory in passes, all inside the operation's programming session:
// once when the operation is not asked to confirm its reads, else until two
// passes in a row agree, at most 1 + ctx.extraReads passes. `pass` queues
// one pass's reads into the replies it is given and returns false when a
// stop cut it short. Over a noisy cable, a byte read wrong once reads right
// on the next pass; bytes that never read the same twice are not trusted,
// and ctx.readsDisagreed says so.
template <typename Pass> PassesRead ReadInPasses(OperationContext& ctx, Pass pass) {
    PassesRead read;
    ctx.readsDisagreed = false;
    for (int n = 0; n <= ctx.extraReads; ++n) {
        if (n > 0)
            ctx.progress.SetPosition(0); // the bar runs again for each pass
        std::vector<IspBus::Reply> replies;
        const bool whole = pass(replies);
        std::vector<std::uint8_t> values(replies.size());
        for (std::size_t i = 0; i < replies.size(); ++i)
            values[i] = ctx.bus.Value(replies[i]);
        const bool agrees = n > 0 && values == read.values;
        read.values = std::move(values);
        read.whole = whole;
        if (!whole || agrees || ctx.extraReads == 0)
            return read;
    }
    ctx.readsDisagreed = true;
    return read;
}

} // namespace kelvo
