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

// What a ppdev port does for an access to `port` when its data register is at
// `base`. The status register cannot be written and port 0x80 is not the
// port's: such writes exist for their bus time, so they become a status read.
enum class PpdevAccess { WriteData, WriteControl, ReadStatus, ReadData, ReadControl, Nothing };
PpdevAccess PpdevWriteAccess(std::uint16_t base, std::uint16_t port);
PpdevAccess PpdevReadAccess(std::uint16_t base, std::uint16_t port); // Nothing reads 0xFF

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
// What to tell the user when ioperm fails with `error`: without root, that
// root is needed; as root, that the kernel itself refuses (lockdown, a
// missing capability), since running as root again would not help.
std::string DirectIoRefusal(int error, bool root);

// Windows: inpout32.dll, loaded at run time and imported by ordinal.
std::unique_ptr<Port> OpenInpoutPort(std::string& error);

} // namespace kelvo
