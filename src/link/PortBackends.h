#pragma once

#include "link/Port.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kelvo {

// Where the Linux kernel lists parallel ports and their device nodes;
// replaceable so the lookup can be tested without a port.
struct PpdevPaths {
    std::string procRoot = "/proc/sys/dev/parport";
    std::string devDir = "/dev";
};

// Finds the /dev/parportN whose base address is portBase. Returns the device
// path, or an empty string and a message saying what to do.
std::string FindParportDevice(std::uint16_t portBase, const PpdevPaths& paths, std::string& error);

// Linux ppdev: no root needed, only access to the device node. Returns null
// and a message naming the fix when the port cannot be used.
std::unique_ptr<Port> OpenPpdevPort(std::uint16_t portBase, std::string& error,
                                    const PpdevPaths& paths = {});

// The same for a device named directly; the link addresses its registers
// from portBase.
std::unique_ptr<Port> OpenPpdevDevice(const std::string& device, std::uint16_t portBase,
                                      std::string& error);

// The base address the kernel lists for a /dev/parportN, when it lists one.
std::optional<std::uint16_t> ParportDeviceBase(const std::string& device, const PpdevPaths& paths);

// Linux direct I/O through ioperm and outb/inb: the exact bus timing of the
// cable protocols, root only.
std::unique_ptr<Port> OpenDirectIoPort(std::uint16_t portBase, std::string& error);

// Windows: inpout32.dll, loaded at run time and imported by ordinal.
std::unique_ptr<Port> OpenInpoutPort(std::string& error);

} // namespace kelvo
