#include "link/Link.h"

#include <limits>

namespace kelvo {

namespace {
// About a tenth of a second of bus writes even on the fastest ports.
constexpr std::uint32_t kMaxAlignmentPauses = 100'000'000;
} // namespace

void Link::CalibratedDelay() {
    IoPauses(params_.delayCount);
}

void Link::CalibrateDelay(float delayMultiplier) {
    // Start on a second boundary. A batch that merely straddles one would be
    // taken for a whole second, and a calibration begun late in a second
    // would come out 10 or 100 times short: short enough for self-timed
    // writes to be cut off. A clock that never moves is given up on.
    const std::int64_t start = clock_.NowSeconds();
    for (std::uint32_t i = 0; i < kMaxAlignmentPauses && clock_.NowSeconds() == start; ++i)
        IoPause();

    std::uint32_t n = 100;
    std::int64_t elapsed = 0;
    for (;;) {
        const std::int64_t t0 = clock_.NowSeconds();
        IoPauses(n);
        const std::int64_t t1 = clock_.NowSeconds();
        elapsed = 100 * (t1 - t0); // hundredths of a second
        if (elapsed > 1)
            break;
        const std::uint32_t grown = n * 10u; // wraps like the 32-bit original
        if (grown < n) {
            // Even the largest batch finished inside one clock second: the
            // port is faster than the clock can tell. Take the shortest time
            // the clock could not see, one hundredth, so the delay comes out
            // long rather than short.
            elapsed = 1;
            break;
        }
        n = grown;
    }
    const auto count = static_cast<std::uint32_t>(0.3 * n / static_cast<double>(elapsed));
    // Scaled in single precision, like the factor itself: 10 x 0.7 gives 7.
    const float scaled = static_cast<float>(count) * delayMultiplier;
    params_.delayCount = scaled >= 4294967296.0f ? std::numeric_limits<std::uint32_t>::max()
                                                 : static_cast<std::uint32_t>(scaled);
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
