#include "link/UsbaspProgrammer.h"

#include <algorithm>

namespace kelvo {

namespace {
// The firmware's own limit for one flash read or write request.
constexpr std::size_t kBlockBytes = 200;
} // namespace

int UsbaspProgrammer::Request(bool in, std::uint8_t request, std::uint16_t value,
                              std::uint16_t index, std::uint8_t* data, std::uint16_t length) {
    if (gone_)
        return -1;
    UsbFailure failure = UsbFailure::None;
    ++roundTrips_;
    const int n = device_.Control(in, request, value, index, data, length, failure);
    if (n < 0) {
        // Refused or vanished, the programmer can no longer be trusted with
        // a write: the run ends as if stopped.
        gone_ = true;
        return -1;
    }
    bytesMoved_ += 8 + static_cast<std::uint64_t>(n); // the setup packet and the data
    return n;
}

void UsbaspProgrammer::Connect() {
    std::uint8_t answer = 0;
    Request(true, kUsbaspSetIspSck, kUsbaspSck187k, 0, &answer, 1);
    Request(true, kUsbaspConnect, 0, 0, nullptr, 0);
}

void UsbaspProgrammer::Disconnect() {
    Request(true, kUsbaspDisconnect, 0, 0, nullptr, 0);
}

std::array<std::uint8_t, 4> UsbaspProgrammer::Transmit(const std::array<std::uint8_t, 4>& out) {
    std::array<std::uint8_t, 4> in = {0xFF, 0xFF, 0xFF, 0xFF};
    const int n = Request(true, kUsbaspTransmit, static_cast<std::uint16_t>(out[1] << 8 | out[0]),
                          static_cast<std::uint16_t>(out[3] << 8 | out[2]), in.data(), 4);
    if (n != 4)
        in.fill(0xFF);
    return in;
}

void UsbaspProgrammer::WriteFlashPage(std::uint32_t address, std::uint16_t pageBytes,
                                      std::span<const std::uint8_t> data) {
    for (std::size_t done = 0; done < data.size(); done += kBlockBytes) {
        const std::size_t n = std::min(kBlockBytes, data.size() - done);
        const std::uint8_t flags =
            (done == 0 ? kUsbaspBlockFirst : 0) | (done + n == data.size() ? kUsbaspBlockLast : 0);
        std::array<std::uint8_t, kBlockBytes> block{};
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(done), n, block.begin());
        Request(false, kUsbaspWriteFlash, static_cast<std::uint16_t>(address + done),
                static_cast<std::uint16_t>(((flags | ((pageBytes >> 4) & 0xF0)) << 8) |
                                           (pageBytes & 0xFF)),
                block.data(), static_cast<std::uint16_t>(n));
    }
}

void UsbaspProgrammer::ReadFlash(std::uint32_t address, std::span<std::uint8_t> out) {
    for (std::size_t done = 0; done < out.size(); done += kBlockBytes) {
        const std::size_t n = std::min(kBlockBytes, out.size() - done);
        std::uint8_t* at = out.data() + done;
        if (Request(true, kUsbaspReadFlash, static_cast<std::uint16_t>(address + done), 0, at,
                    static_cast<std::uint16_t>(n)) != static_cast<int>(n))
            std::fill_n(at, n, 0xFF);
    }
}

} // namespace kelvo
