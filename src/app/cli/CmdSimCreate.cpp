#include "app/SimConnection.h"
#include "app/cli/SimCommands.h"
#include "ops/FirmwareImageHex.h"
#include "sim/SimStateFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <ostream>

namespace kelvo {

namespace {

bool ParseUnsigned(std::string_view text, std::uint64_t high, std::uint64_t& out, int base = 10) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > high)
        return false;
    out = value;
    return true;
}

bool ParseDouble(std::string_view text, double& out) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return false;
    out = value;
    return true;
}

// "3.10": major 3, minor 10, the way the board reports its revision.
bool ParseFirmware(std::string_view text, int& major, int& minor) {
    const std::size_t dot = text.find('.');
    std::uint64_t hi = 0, lo = 0;
    if (dot == std::string_view::npos || !ParseUnsigned(text.substr(0, dot), 255, hi) ||
        !ParseUnsigned(text.substr(dot + 1), 255, lo))
        return false;
    major = static_cast<int>(hi);
    minor = static_cast<int>(lo);
    return true;
}

// Whole volts in entry 31, the rest in 1/256 volt in entry 30.
bool ParseBattery(std::string_view text, int& volts, int& fraction) {
    double v = 0;
    if (!ParseDouble(text, v) || v < 0.0 || v >= 256.0)
        return false;
    int whole = static_cast<int>(std::floor(v));
    int part = static_cast<int>(std::lround((v - whole) * 256.0));
    if (part == 256) {
        if (whole == 255)
            part = 255; // the nearest the two bytes can hold
        else {
            ++whole;
            part = 0;
        }
    }
    volts = whole;
    fraction = part;
    return true;
}

bool ParseStuckBit(std::string_view text, SimFaults& faults, std::size_t dataSize) {
    const std::size_t a = text.find(':');
    const std::size_t b = a == std::string_view::npos ? a : text.find(':', a + 1);
    std::uint64_t address = 0, bit = 0, level = 0;
    if (b == std::string_view::npos || !ParseUnsigned(text.substr(0, a), dataSize - 1, address) ||
        !ParseUnsigned(text.substr(a + 1, b - a - 1), 7, bit) ||
        !ParseUnsigned(text.substr(b + 1), 1, level))
        return false;
    faults.stuckAddress = static_cast<int>(address);
    faults.stuckBit = static_cast<int>(bit);
    faults.stuckLevel = static_cast<int>(level);
    return true;
}

bool ParseBitErrors(std::string_view text, SimFaults& faults) {
    const std::size_t colon = text.find(':');
    double rate = 0;
    std::uint64_t seed = faults.bitErrorSeed;
    if (!ParseDouble(text.substr(0, colon), rate) || rate < 0.0 || rate > 1.0)
        return false;
    if (colon != std::string_view::npos && !ParseUnsigned(text.substr(colon + 1), UINT64_MAX, seed))
        return false;
    faults.bitErrorRate = rate;
    faults.bitErrorSeed = seed;
    return true;
}

} // namespace

bool ParseSimCreateArguments(const std::vector<std::string>& args, SimCreateRequest& request,
                             std::string& problem) {
    const auto fail = [&](const std::string& why) {
        problem = why;
        return false;
    };
    std::optional<std::string> file;
    std::optional<Family> family;
    NewSimBoard board;
    // Options that change the board after its memories are laid out.
    std::vector<std::pair<std::string, std::string>> later;

    std::vector<std::string> given; // options so far; none may come twice
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.starts_with("--")) {
            if (std::find(given.begin(), given.end(), a) != given.end())
                return fail(RepeatedOptionText(a));
            given.push_back(a);
        }
        const bool takesValue = a == "--family" || a == "--board" || a == "--firmware" ||
                                a == "--battery" || a == "--halcyra-mode" || a == "--address" ||
                                a == "--bus-cycle-ns" || a == "--floating-status" ||
                                a == "--signature" || a == "--stuck-bit" || a == "--answer-from" ||
                                a == "--bit-errors" || a == "--code" || a == "--pace" ||
                                a == "--lock-bits";
        if (takesValue && i + 1 >= args.size())
            return fail(a + " needs a value");
        const std::string value = takesValue ? args[++i] : std::string();
        std::uint64_t n = 0;
        if (a == "--family") {
            if (value == "avr")
                family = Family::Avr;
            else if (value == "8051")
                family = Family::Mcs51;
            else
                return fail("--family must be avr or 8051, not \"" + value + "\"");
        } else if (a == "--board") {
            if (!ParseUnsigned(value, 255, n))
                return fail("--board wants a board type code from 0 to 255");
            board.boardTypeCode = static_cast<int>(n);
        } else if (a == "--firmware") {
            if (!ParseFirmware(value, board.firmwareMajor, board.firmwareMinor))
                return fail("--firmware wants MAJOR.MINOR, each 0 to 255, such as 3.10");
        } else if (a == "--battery") {
            if (!ParseBattery(value, board.batteryVolts, board.batteryFraction))
                return fail("--battery wants volts from 0 to below 256, such as 9.4");
        } else if (a == "--halcyra-mode") {
            if (!ParseUnsigned(value, 1, n))
                return fail("--halcyra-mode wants 0 (open bolt) or 1 (closed bolt)");
            board.halcyraMode = static_cast<int>(n);
        } else if (a == "--code") {
            request.codeFile = value;
        } else if (takesValue || a == "--eesave" || a == "--no-board" || a == "--no-power") {
            later.emplace_back(a, value);
        } else if (a == "--force") {
            request.force = true;
        } else if (!file && !a.empty() && a[0] != '-') {
            file = a;
        } else {
            return fail("unexpected argument \"" + a + "\"");
        }
    }
    if (!file)
        return fail("name the state file to create");
    if (!family)
        return fail("--family avr or --family 8051 is required");
    board.family = *family;
    request.file = *file;
    request.board = board;

    SimBoardState& state = request.state;
    state = MakeNewSimBoard(board);
    for (const auto& [option, value] : later) {
        std::uint64_t n = 0;
        if (option == "--eesave") {
            state.eesave = true;
        } else if (option == "--no-board") {
            state.faults.noBoard = true;
        } else if (option == "--no-power") {
            state.faults.noPower = true;
        } else if (option == "--address") {
            if (!ParseUnsigned(value, 0xFFFF, n, 16) || n == 0)
                return fail("--address wants a hexadecimal I/O address from 1 to FFFF");
            state.address = static_cast<std::uint16_t>(n);
        } else if (option == "--bus-cycle-ns") {
            if (!ParseUnsigned(value, 1000000000, n) || n == 0)
                return fail("--bus-cycle-ns wants a whole number of nanoseconds, 1 or more");
            state.busCycleNs = static_cast<std::uint32_t>(n);
        } else if (option == "--pace") {
            double pace = 0;
            if (!ParseDouble(value, pace) || pace == 0.0 || !SimPaceAllowed(pace))
                return fail("--pace wants how many times faster than real time the board runs, "
                            "from 0.001 to 1000, such as 1 or 10");
            state.pace = pace;
        } else if (option == "--floating-status") {
            if (!ParseUnsigned(value, 0xFF, n, 16))
                return fail("--floating-status wants a hexadecimal byte such as FF");
            state.floatingStatus = static_cast<std::uint8_t>(n);
        } else if (option == "--lock-bits") {
            if (!ParseUnsigned(value, 0xFF, n, 16))
                return fail("--lock-bits wants the lock byte in hexadecimal, 0 programmed, such "
                            "as FC (LB1 and LB2: no programming, no reading)");
            state.lockBits = static_cast<std::uint8_t>(n);
        } else if (option == "--signature") {
            if (*family != Family::Avr)
                return fail("--signature is for AVR boards only");
            if (value.size() != 6 || !ParseUnsigned(value, 0xFFFFFF, n, 16))
                return fail("--signature wants six hexadecimal digits such as 1E9307");
            state.signature = {static_cast<std::uint8_t>(n >> 16),
                               static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
        } else if (option == "--stuck-bit") {
            if (!ParseStuckBit(value, state.faults, state.data.size()))
                return fail("--stuck-bit wants ADDRESS:BIT:LEVEL, such as 19:0:1");
        } else if (option == "--answer-from") {
            if (!ParseUnsigned(value, 1000000, n) || n == 0)
                return fail("--answer-from wants the number of the first programming enable "
                            "the board answers, 1 or more");
            state.faults.answerFromEnable = static_cast<std::uint32_t>(n);
        } else if (option == "--bit-errors") {
            if (!ParseBitErrors(value, state.faults))
                return fail("--bit-errors wants a rate from 0 to 1, optionally :SEED");
        }
    }
    return true;
}

int RunSimCreate(CliContext& ctx) {
    SimCreateRequest request;
    std::string problem;
    if (!ParseSimCreateArguments(ctx.args, request, problem)) {
        ctx.err << "kelvo-cli: sim-create: " << problem << "\n"
                << WrapText("Usage: kelvo-cli sim-create ", kSimCreateUsage, 6);
        return 2;
    }
    SimBoardState& state = request.state;
    if (request.codeFile) {
        const std::string& code = *request.codeFile;
        if (NamesSameFile(code, request.file)) {
            ctx.err << "kelvo-cli: sim-create: --code names the state file " << code
                    << " itself; choose another\n";
            return 2;
        }
        const HexImage image = ReadIntelHexFile(code);
        if (!image.ok()) {
            ctx.err << "kelvo-cli: sim-create: " << code << ": " << image.error << "\n";
            return 1;
        }
        // The file replaces the built-in firmware.
        state.code.assign(state.code.size(), 0xFF);
        const std::size_t n = std::min(image.memory.size(), state.code.size());
        std::copy_n(image.memory.begin(), n, state.code.begin());
    }

    std::error_code ec;
    if (!request.force && std::filesystem::exists(request.file, ec)) {
        ctx.err << "kelvo-cli: sim-create: " << request.file
                << " already exists; use --force to replace it\n";
        return 1;
    }
    std::string error;
    if (!WriteSimStateFile(request.file, state, error)) {
        ctx.err << "kelvo-cli: sim-create: " << error << "\n";
        return 1;
    }
    const NewSimBoard& board = request.board;
    ctx.out << "Created " << (board.family == Family::Avr ? "an AVR" : "an 8051-family")
            << " board in " << request.file << ": board type " << board.boardTypeCode
            << ", firmware " << board.firmwareMajor << "." << board.firmwareMinor << ", battery "
            << std::fixed << std::setprecision(2)
            << board.batteryVolts + board.batteryFraction / 256.0 << " V, at port 0x" << std::hex
            << std::uppercase << state.address << std::dec << "\n";
    return 0;
}

} // namespace kelvo
