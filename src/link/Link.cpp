#include "link/Link.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace kelvo {

namespace {
// About a tenth of a second of bus writes even on the fastest ports.
constexpr std::uint32_t kMaxAlignmentPauses = 100'000'000;
// A batch has to last longer than one hundredth of a second to be measured.
constexpr std::int64_t kShortestBatchUs = 10'000;
// Parts a batch is timed in on the fine clock.
constexpr std::uint32_t kBatchParts = 10;

std::int64_t WholeSecondBatchUs(Link& link, std::uint32_t n) {
    const std::int64_t t0 = link.clock().NowSeconds();
    link.IoPauses(n);
    return (link.clock().NowSeconds() - t0) * 1'000'000;
}

// The batch's time as its shortest part times the number of parts. Being
// preempted can only lengthen a part, and a batch taken as longer than it
// was would give a delay too short for the parts' self-timed writes; the
// shortest part is the port's own pace.
std::int64_t FineBatchUs(Link& link, std::uint32_t n) {
    const std::uint32_t part = n / kBatchParts;
    std::int64_t shortest = std::numeric_limits<std::int64_t>::max();
    std::int64_t t0 = link.clock().NowMicroseconds();
    for (std::uint32_t i = 0; i < kBatchParts; ++i) {
        // The last part takes what the division leaves (only the batch
        // where the growth wraps has any).
        link.IoPauses(i + 1 < kBatchParts ? part : n - part * (kBatchParts - 1));
        const std::int64_t t1 = link.clock().NowMicroseconds();
        shortest = std::min(shortest, t1 - t0);
        t0 = t1;
    }
    return shortest * kBatchParts;
}
} // namespace

namespace {
// value x 2^exponent rounded to the 24 significant bits of a float, ties to
// even.
void RoundToFloat(std::uint64_t& value, int& exponent) {
    if (const int drop = std::bit_width(value) - 24; drop > 0) {
        const std::uint64_t rest = value & ((std::uint64_t{1} << drop) - 1);
        const std::uint64_t half = std::uint64_t{1} << (drop - 1);
        value >>= drop;
        if (rest > half || (rest == half && (value & 1)))
            ++value;
        exponent += drop;
    }
}
} // namespace

std::uint32_t ScaleDelayCount(std::uint32_t count, float multiplier) {
    constexpr std::uint32_t kLargest = std::numeric_limits<std::uint32_t>::max();
    // The options never give anything but a finite factor above 0; anything
    // else is taken as the option's own fallback, 1.0, or as the longest.
    if (!(multiplier > 0.0f))
        return count;
    const auto bits = std::bit_cast<std::uint32_t>(multiplier);
    const int field = static_cast<int>((bits >> 23) & 0xFF);
    if (field == 0xFF)
        return kLargest;
    // multiplier = significand x 2^exponent
    std::uint64_t significand = bits & 0x7FFFFF;
    int exponent = std::max(field, 1) - 150; // subnormals share the smallest exponent
    if (field != 0)
        significand |= 0x800000;
    // The count as a float, then the product of the two floats.
    std::uint64_t product = count;
    RoundToFloat(product, exponent);
    product *= significand; // exact: below 2^48
    RoundToFloat(product, exponent);
    if (exponent < 0)
        return exponent <= -64 ? 0 : static_cast<std::uint32_t>(product >> -exponent);
    // product is below 2^25 here, so a shift under 32 cannot overflow.
    if (exponent >= 32 || (product << exponent) > kLargest)
        return kLargest;
    return static_cast<std::uint32_t>(product << exponent);
}

void Link::CalibratedDelay() {
    IoPauses(params_.delayCount);
}

void Link::CalibrateDelay(float delayMultiplier, CalibrationClock clock) {
    const bool wholeSeconds = clock == CalibrationClock::WholeSeconds;
    if (wholeSeconds) {
        // Start on a second boundary. A batch that merely straddles one
        // would be taken for a whole second, and a calibration begun late in
        // a second would come out 10 or 100 times short: short enough for
        // self-timed writes to be cut off. A clock that never moves is given
        // up on.
        const std::int64_t start = clock_.NowSeconds();
        for (std::uint32_t i = 0; i < kMaxAlignmentPauses && clock_.NowSeconds() == start; ++i)
            IoPause();
    }

    std::uint32_t n = 100;
    std::int64_t elapsedUs = 0;
    for (;;) {
        elapsedUs = wholeSeconds ? WholeSecondBatchUs(*this, n) : FineBatchUs(*this, n);
        if (elapsedUs > kShortestBatchUs)
            break;
        const std::uint32_t grown = n * 10u; // wraps like the 32-bit original
        if (grown < n) {
            // Even the largest batch was too quick for the clock: the port is
            // faster than the clock can tell. Take the shortest time the
            // measurement accepts, one hundredth, so the delay comes out long
            // rather than short.
            elapsedUs = kShortestBatchUs;
            break;
        }
        n = grown;
    }
    // 0.3 x n / elapsed hundredths, exactly and truncated toward zero; never
    // more than 0.3 x n, so it fits.
    const auto count =
        static_cast<std::uint32_t>(std::uint64_t{3000} * n / static_cast<std::uint64_t>(elapsedUs));
    params_.delayCount = ScaleDelayCount(count, delayMultiplier);
}

void Link::SendByte(Family family, std::uint8_t value) {
    const std::uint8_t s = Shadow(family);
    for (int bit = 7; bit >= 0; --bit) {
        const std::uint8_t b = ((value >> bit) & 1) ? kLineMosi : 0x00;
        WriteData(s | b);
        IoPause();
        IoPause();
        WriteData(s | b | kLineSck);
        for (int i = 0; i < 4; ++i)
            IoPause();
        WriteData(s | b);
        IoPause();
        WriteData(s);
        for (int i = 0; i < 3; ++i)
            IoPause();
    }
}

std::uint8_t Link::ReceiveByte(Family family) {
    const std::uint8_t s = Shadow(family);
    std::uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        WriteData(family == Family::Avr ? kLineSck : static_cast<std::uint8_t>(s | kLineSck));
        IoPause();
        const std::uint8_t status = ReadStatus();
        result = static_cast<std::uint8_t>((result << 1) | ((status & kLineMiso) ? 1 : 0));
        for (int i = 0; i < 3; ++i)
            IoPause();
        WriteData(s);
        for (int i = 0; i < 3; ++i)
            IoPause();
    }
    return result;
}

void Link::HoldResetAvr() {
    WriteData(0x00);
    params_.dataShadowAvr = 0x00;
}

void Link::ReleaseResetAvr() {
    WriteData(kLineReset);
    params_.dataShadowAvr = 0x00;
}

} // namespace kelvo
