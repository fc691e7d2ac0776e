#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelvo {

// What the desktop program's page control for one entry can produce.
struct PageControlRange {
    std::int32_t low = 0;
    std::int32_t high = 0;
    // The rate-of-fire lists store shot periods, not positions: only these.
    std::span<const std::int32_t> periods;

    bool Offers(std::int32_t value) const;
};

// The range of the page control that edits `entry`; nothing for entries no
// page control edits (the read-only ones).
std::optional<PageControlRange> PageControlRangeOf(std::size_t entry);

} // namespace kelvo
