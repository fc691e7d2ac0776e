// The inpout32 port backend against the stand-in DLL built beside the tests:
// loaded at run time, port write at ordinal 2, port read at ordinal 1.

#include "link/PortBackends.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

using namespace kelvo;

namespace {

struct Call {
    int ordinal;
    unsigned port, value;
    bool operator==(const Call&) const = default;
};

// Keeps the stand-in loaded (and its record alive) while the backend loads
// and frees it.
class StandIn {
public:
    StandIn() : dll_(LoadLibraryA("inpout32.dll")) {}
    ~StandIn() {
        if (dll_)
            FreeLibrary(dll_);
    }
    bool loaded() const { return dll_ != nullptr; }

    std::vector<Call> Calls() const {
        auto count = Fn<int(__stdcall*)()>("StandinCallCount");
        auto call = Fn<int(__stdcall*)(int, int*, unsigned*, unsigned*)>("StandinCall");
        std::vector<Call> calls;
        for (int i = 0, n = count(); i < n; ++i) {
            Call c{};
            if (call(i, &c.ordinal, &c.port, &c.value))
                calls.push_back(c);
        }
        return calls;
    }
    void SetRead(short value) const { Fn<void(__stdcall*)(short)>("StandinSetRead")(value); }

private:
    template <typename F> F Fn(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    }
    HMODULE dll_;
};

} // namespace

TEST(InpoutPort, WritesAndReadsThroughOrdinalsTwoAndOne) {
    StandIn standIn;
    ASSERT_TRUE(standIn.loaded()) << "inpout32.dll stand-in not beside the tests";
    const std::size_t before = standIn.Calls().size();
    {
        std::string error;
        std::unique_ptr<Port> port = OpenInpoutPort(error);
        ASSERT_NE(port, nullptr) << error;
        port->PortWrite(0x378, 0xA5);
        port->PortWrite(0x80, 0xFF);
        standIn.SetRead(0x7F);
        EXPECT_EQ(port->PortRead(0x379), 0x7F);
        // Addresses above 0x7FFF (PCI Express cards) pass unchanged.
        port->PortWrite(0xE800, 0x01);
        standIn.SetRead(0x1DF); // only the low byte is the port's
        EXPECT_EQ(port->PortRead(0xE801), 0xDF);
    }
    const std::vector<Call> calls = standIn.Calls();
    ASSERT_GE(calls.size(), before);
    const std::vector<Call> made(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end());
    EXPECT_EQ(
        made,
        (std::vector<Call>{
            {2, 0x378, 0xA5}, {2, 0x80, 0xFF}, {1, 0x379, 0}, {2, 0xE800, 0x01}, {1, 0xE801, 0}}));
}
