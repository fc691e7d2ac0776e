// A stand-in for inpout32.dll, built for the Windows tests: it exports the
// port functions at ordinals 1 (read) and 2 (write) and records every call,
// so a test can check that the port backend loads it and calls it as the
// real DLL expects.

#include <algorithm>
#include <cstdint>

namespace {

struct Call {
    int ordinal;
    unsigned port;
    unsigned value;
};

constexpr int kMaxCalls = 64;
Call g_calls[kMaxCalls];
long long g_count = 0; // a calibration makes billions of calls

short g_readValue = 0;

void Record(int ordinal, short port, short value) {
    if (g_count < kMaxCalls)
        g_calls[g_count] = {ordinal, static_cast<std::uint16_t>(port),
                            static_cast<std::uint16_t>(value)};
    ++g_count;
}

} // namespace

extern "C" {

// Ordinal 1.
short __stdcall Inp32(short port) {
    Record(1, port, 0);
    return g_readValue;
}

// Ordinal 2.
void __stdcall Out32(short port, short value) {
    Record(2, port, value);
}

// For the test: how many calls, and call i (false past the end).
int __stdcall StandinCallCount() {
    return static_cast<int>(std::min<long long>(g_count, 0x7FFFFFFF));
}

int __stdcall StandinCall(int i, int* ordinal, unsigned* port, unsigned* value) {
    if (i < 0 || i >= g_count || i >= kMaxCalls)
        return 0;
    *ordinal = g_calls[i].ordinal;
    *port = g_calls[i].port;
    *value = g_calls[i].value;
    return 1;
}

// What Inp32 answers from now on.
void __stdcall StandinSetRead(short value) {
    g_readValue = value;
}
}
