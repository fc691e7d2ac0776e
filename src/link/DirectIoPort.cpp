#include "link/PortBackends.h"

#include "link/Link.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#define KELVO_HAVE_DIRECT_IO 1
#include <sys/io.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace kelvo {

std::string DirectIoRefusal(int error, bool root) {
    constexpr const char* kPpdev =
        "use --port-driver ppdev, which needs only access to /dev/parportN.";
    if (error == EPERM && !root)
        return std::string("Direct port access needs root (the CAP_SYS_RAWIO capability). Run "
                           "as root, or ") +
               kPpdev;
    if (error == EPERM)
        return std::string("The kernel refuses direct port access even to root: it is locked "
                           "down (as under Secure Boot), or this process lacks the "
                           "CAP_SYS_RAWIO capability (as in a container). Instead, ") +
               kPpdev;
    return std::string("Direct port access was refused: ") + std::strerror(error) + ". Instead, " +
           kPpdev;
}

#ifdef KELVO_HAVE_DIRECT_IO

namespace {

// outb/inb straight on the bus: every write takes its real ISA-style bus
// cycle, which is the timing the cable protocols were designed around.
class DirectIoPort final : public Port {
public:
    void PortWrite(std::uint16_t port, std::uint8_t value) override { outb(value, port); }
    std::uint8_t PortRead(std::uint16_t port) override { return inb(port); }
};

} // namespace

std::unique_ptr<Port> OpenDirectIoPort(std::uint16_t portBase, std::string& error) {
    if (ioperm(portBase, 3, 1) != 0 || ioperm(kPausePort, 1, 1) != 0) {
        error = DirectIoRefusal(errno, geteuid() == 0);
        return nullptr;
    }
    return std::make_unique<DirectIoPort>();
}

#else

std::unique_ptr<Port> OpenDirectIoPort(std::uint16_t, std::string& error) {
    error = "Direct port access exists on Linux on x86 only; use --port-driver ppdev.";
    return nullptr;
}

#endif

} // namespace kelvo
