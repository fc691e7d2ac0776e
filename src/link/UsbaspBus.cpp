#include "link/UsbaspBus.h"

namespace kelvo {

namespace {

constexpr std::size_t kPageBytes = 64;      // ATmega8: 32 words
constexpr std::size_t kReadsPerFlush = 200; // one flash read request

bool IsLoad(std::uint8_t op) {
    return op == 0x40 || op == 0x48;
}
bool IsCodeRead(std::uint8_t op) {
    return op == 0x20 || op == 0x28;
}

} // namespace

void UsbaspBus::DriveReset(Family, bool high) {
    // A reset change starts the part's framing afresh: a part-sent
    // instruction is dropped, its replies read as nothing on the line.
    if (frame_.length != 0) {
        Push(frame_);
        frame_ = Step{StepKind::Instruction};
    }
    Push({StepKind::Reset, high});
}

void UsbaspBus::Byte(std::uint8_t value, bool receive) {
    frame_.out[frame_.length] = value;
    if (receive)
        frame_.receives |= static_cast<std::uint8_t>(1u << frame_.length);
    if (++frame_.length < 4)
        return;
    const Step step = frame_;
    frame_ = Step{StepKind::Instruction};
    Push(step);
    // Progress stays true to the work: a written page, or a block of reads,
    // goes out as soon as it is complete.
    if (step.out[0] == 0x4C || (IsCodeRead(step.out[0]) && ++queuedReads_ >= kReadsPerFlush))
        Flush();
}

void UsbaspBus::Send(Family, std::uint8_t value) {
    Byte(value, false);
}

IspBus::Reply UsbaspBus::Receive(Family) {
    Byte(0x00, true);
    return replies_++;
}

void UsbaspBus::Wait(IspWait wait) {
    // Inside an instruction the wait comes before all of it: nothing
    // reaches the part before the wait has passed.
    if (wait.minimumUs != 0)
        Push({StepKind::Wait, false, wait.minimumUs});
}

void UsbaspBus::Push(const Step& step) {
    queue_.push_back(step);
}

std::uint8_t UsbaspBus::Value(Reply reply) {
    if (!Known(reply))
        Flush();
    return Known(reply) ? values_[reply] : std::uint8_t{0xFF};
}

std::string UsbaspBus::Fault() const {
    return programmer_.gone() ? "The USBasp stopped answering: it was unplugged, or its USB "
                                "connection failed."
                              : std::string();
}

void UsbaspBus::SendInstruction(const Step& step) {
    std::array<std::uint8_t, 4> in;
    in.fill(0xFF);
    if (step.length == 4 && !programmer_.gone())
        in = programmer_.Transmit(step.out);
    for (std::size_t i = 0; i < step.length; ++i)
        if ((step.receives >> i) & 1u)
            Resolve(in[i]);
}

std::size_t UsbaspBus::SendPage(std::size_t first) {
    // Loads of one page followed by its write: one flash write request, in
    // which the programmer loads the page, writes it and waits it out.
    std::size_t i = first;
    std::array<std::uint8_t, kPageBytes> page;
    page.fill(0xFF); // what an untouched page buffer holds
    for (; i < queue_.size() && queue_[i].kind == StepKind::Instruction &&
           IsLoad(queue_[i].out[0]) && queue_[i].receives == 0 && queue_[i].length == 4;
         ++i)
        page[(queue_[i].out[2] & 0x1Fu) * 2 + (queue_[i].out[0] == 0x48)] = queue_[i].out[3];
    if (i == queue_.size() || queue_[i].kind != StepKind::Instruction || queue_[i].out[0] != 0x4C ||
        queue_[i].receives != 0 || queue_[i].length != 4)
        return first; // not a page: sent one by one
    const Step& write = queue_[i];
    const std::uint32_t word = ((write.out[1] & 0x0Fu) << 8 | write.out[2]) & 0xFE0u;
    programmer_.WriteFlashPage(word * 2, kPageBytes, page);
    skipWait_ = true; // the programmer has waited the write out
    return i + 1;
}

std::size_t UsbaspBus::SendReads(std::size_t first) {
    // Consecutive code bytes answered in their fourth byte: flash reads.
    auto address = [&](const Step& s) {
        return (((s.out[1] & 0x0Fu) << 8) | s.out[2]) * 2 + (s.out[0] == 0x28);
    };
    std::size_t i = first;
    for (; i < queue_.size(); ++i) {
        const Step& s = queue_[i];
        if (s.kind != StepKind::Instruction || !IsCodeRead(s.out[0]) || s.receives != 0x08 ||
            s.length != 4 || address(s) != address(queue_[first]) + (i - first))
            break;
    }
    if (i - first < 2)
        return first;
    std::vector<std::uint8_t> bytes(i - first);
    programmer_.ReadFlash(address(queue_[first]), bytes);
    for (std::uint8_t b : bytes)
        Resolve(b);
    return i;
}

void UsbaspBus::Flush() {
    for (std::size_t i = 0; i < queue_.size();) {
        const Step& step = queue_[i];
        if (programmer_.gone()) {
            // Nothing more reaches the board; replies read as an open line.
            if (step.kind == StepKind::Instruction)
                SendInstruction(step);
            ++i;
            continue;
        }
        if (step.kind == StepKind::Reset) {
            if (step.high && connected_)
                programmer_.Disconnect();
            else if (!step.high && !connected_)
                programmer_.Connect();
            connected_ = !step.high;
            skipWait_ = false;
            ++i;
        } else if (step.kind == StepKind::Wait) {
            if (!skipWait_)
                clock_.SleepMs((step.us + 999) / 1000);
            ++i;
        } else {
            skipWait_ = false;
            std::size_t next = SendPage(i);
            if (next == i)
                next = SendReads(i);
            if (next == i) {
                SendInstruction(step);
                ++next;
            }
            i = next;
        }
    }
    queue_.clear();
    queuedReads_ = 0;
}

} // namespace kelvo
