#include "link/PortBackends.h"

#include "link/Link.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef __linux__
#include <fcntl.h>
#include <grp.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelvo {

namespace fs = std::filesystem;

namespace {

std::string Hex(unsigned value) {
    std::ostringstream s;
    s << std::hex << std::uppercase << value;
    return s.str();
}

} // namespace

std::string FindParportDevice(std::uint16_t portBase, const PpdevPaths& paths, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(paths.procRoot, ec)) {
        error = "No parallel port is known to the kernel (" + paths.procRoot +
                " is missing), so there is no " + (fs::path(paths.devDir) / "parportN").string() +
                " to open. Load the driver with: sudo modprobe parport_pc ppdev";
        return {};
    }
    std::string found;
    std::string known;
    for (const fs::directory_entry& e : fs::directory_iterator(paths.procRoot, ec)) {
        const std::string name = e.path().filename().string();
        std::ifstream in(e.path() / "base-addr");
        unsigned long base = 0;
        if (name.rfind("parport", 0) != 0 || !(in >> base))
            continue;
        known += (known.empty() ? "" : ", ") + name + " at 0x" + Hex(static_cast<unsigned>(base));
        if (base == portBase)
            found = name;
    }
    if (found.empty()) {
        error = "No parallel port has the address 0x" + Hex(portBase) + " (" +
                (known.empty() ? std::string("the kernel lists none") : "found: " + known) +
                "). Choose the port's address with --port.";
        return {};
    }
    const std::string device = (fs::path(paths.devDir) / found).string();
    if (!fs::exists(device, ec)) {
        error = "The parallel port at 0x" + Hex(portBase) + " has no device node " + device +
                ". Load the ppdev driver with: sudo modprobe ppdev";
        return {};
    }
    return device;
}

std::optional<std::uint16_t> ParportDeviceBase(const std::string& device, const PpdevPaths& paths) {
    std::ifstream in(fs::path(paths.procRoot) / fs::path(device).filename() / "base-addr");
    unsigned long base = 0;
    if (!(in >> base) || base == 0 || base > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(base);
}

PpdevAccess PpdevWriteAccess(std::uint16_t base, std::uint16_t port) {
    if (port == base + kDataRegister)
        return PpdevAccess::WriteData;
    if (port == base + kControlRegister)
        return PpdevAccess::WriteControl;
    return PpdevAccess::ReadStatus; // one real port access instead
}

PpdevAccess PpdevReadAccess(std::uint16_t base, std::uint16_t port) {
    if (port == base + kStatusRegister)
        return PpdevAccess::ReadStatus;
    if (port == base + kDataRegister)
        return PpdevAccess::ReadData;
    if (port == base + kControlRegister)
        return PpdevAccess::ReadControl;
    return PpdevAccess::Nothing;
}

#ifdef __linux__

namespace {

class PpdevPort final : public Port {
public:
    PpdevPort(int fd, std::uint16_t base) : fd_(fd), base_(base) {}
    ~PpdevPort() override {
        ioctl(fd_, PPRELEASE);
        close(fd_);
    }

    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        Access(PpdevWriteAccess(base_, port), value);
    }

    std::uint8_t PortRead(std::uint16_t port) override {
        unsigned char value = 0xFF;
        Access(PpdevReadAccess(base_, port), value);
        return value;
    }

private:
    void Access(PpdevAccess access, unsigned char& value) {
        switch (access) {
        case PpdevAccess::WriteData:
            ioctl(fd_, PPWDATA, &value);
            break;
        case PpdevAccess::WriteControl:
            ioctl(fd_, PPWCONTROL, &value);
            break;
        case PpdevAccess::ReadStatus:
            ioctl(fd_, PPRSTATUS, &value);
            break;
        case PpdevAccess::ReadData:
            ioctl(fd_, PPRDATA, &value);
            break;
        case PpdevAccess::ReadControl:
            ioctl(fd_, PPRCONTROL, &value);
            break;
        case PpdevAccess::Nothing:
            break;
        }
    }

    int fd_;
    std::uint16_t base_;
};

std::string DeviceGroup(const std::string& device) {
    struct stat st {};
    if (stat(device.c_str(), &st) != 0)
        return "lp";
    const group* g = getgrgid(st.st_gid);
    return g ? g->gr_name : std::to_string(st.st_gid);
}

} // namespace

std::unique_ptr<Port> OpenPpdevPort(std::uint16_t portBase, std::string& error,
                                    const PpdevPaths& paths) {
    const std::string device = FindParportDevice(portBase, paths, error);
    if (device.empty())
        return nullptr;
    return OpenPpdevDevice(device, portBase, error);
}

std::unique_ptr<Port> OpenPpdevDevice(const std::string& device, std::uint16_t portBase,
                                      std::string& error) {
    const int fd = open(device.c_str(), O_RDWR);
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM) {
            const std::string group = DeviceGroup(device);
            error = "No permission to use " + device + ". Add yourself to its group with: sudo " +
                    "usermod -aG " + group + " $USER (then log in again).";
        } else {
            error = "Cannot open " + device + ": " + std::strerror(err) +
                    (err == ENOENT ? ". Load the ppdev driver with: sudo modprobe ppdev" : "");
        }
        return nullptr;
    }
    if (ioctl(fd, PPCLAIM) != 0) {
        error = "Cannot claim " + device + ": " + std::strerror(errno) +
                ". Another program (a printer daemon such as cups) may be using the port.";
        close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPort>(fd, portBase);
}

#else

std::unique_ptr<Port> OpenPpdevPort(std::uint16_t, std::string& error, const PpdevPaths&) {
    error = "The ppdev port driver exists on Linux only.";
    return nullptr;
}

std::unique_ptr<Port> OpenPpdevDevice(const std::string&, std::uint16_t, std::string& error) {
    error = "The ppdev port driver exists on Linux only.";
    return nullptr;
}

#endif

} // namespace kelvo
