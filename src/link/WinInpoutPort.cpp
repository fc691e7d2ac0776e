#include "link/PortBackends.h"

#include <windows.h>

#include <string>

namespace kelvo {

namespace {

using PortWriteFn = void(__stdcall*)(short port, short value);
using PortReadFn = short(__stdcall*)(short port);

class InpoutPort final : public Port {
public:
    InpoutPort(HMODULE dll, PortWriteFn write, PortReadFn read)
        : dll_(dll), write_(write), read_(read) {}
    ~InpoutPort() override { FreeLibrary(dll_); }

    void PortWrite(std::uint16_t port, std::uint8_t value) override {
        write_(static_cast<short>(port), value);
    }
    std::uint8_t PortRead(std::uint16_t port) override {
        return static_cast<std::uint8_t>(read_(static_cast<short>(port)));
    }

private:
    HMODULE dll_;
    PortWriteFn write_;
    PortReadFn read_;
};

} // namespace

std::unique_ptr<Port> OpenInpoutPort(std::string& error) {
    HMODULE dll = LoadLibraryA("inpout32.dll");
    if (!dll) {
        if (GetLastError() == ERROR_BAD_EXE_FORMAT)
            error = "inpout32.dll is a 32-bit DLL and this Kelvo is a " +
                    std::to_string(8 * sizeof(void*)) +
                    "-bit program, which cannot load it. Use the 32-bit kelvo-cli.exe for the "
                    "real port.";
        else
            error = "inpout32.dll could not be loaded. Put inpout32.dll (and its driver) beside "
                    "kelvo.exe or on the PATH.";
        return nullptr;
    }
    // Imported by ordinal: 2 writes a port, 1 reads one.
    auto write = reinterpret_cast<PortWriteFn>(GetProcAddress(dll, MAKEINTRESOURCEA(2)));
    auto read = reinterpret_cast<PortReadFn>(GetProcAddress(dll, MAKEINTRESOURCEA(1)));
    if (!write || !read) {
        FreeLibrary(dll);
        error = "inpout32.dll lacks the port functions (ordinals 1 and 2).";
        return nullptr;
    }
    return std::make_unique<InpoutPort>(dll, write, read);
}

} // namespace kelvo
