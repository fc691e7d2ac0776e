#include "files/ProgrammerChoice.h"

#include "files/SafeWrite.h"

#include <fstream>
#include <sstream>

namespace kelvo {

namespace {

constexpr std::array<std::string_view, 8> kFtdiLineNames = {"TXD", "RXD", "RTS", "CTS",
                                                            "DTR", "DSR", "DCD", "RI"};

bool ParseFtdiLine(std::string_view name, std::uint8_t& line) {
    for (std::size_t i = 0; i < kFtdiLineNames.size(); ++i) {
        const std::string digit(1, static_cast<char>('0' + i));
        if (name == kFtdiLineNames[i] || name == digit || name == "D" + digit) {
            line = static_cast<std::uint8_t>(i);
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseProgrammer(std::string_view text, ProgrammerChoice& choice, std::string& error) {
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    ProgrammerChoice parsed = choice;
    parsed.serial.clear();
    if (name == "parallel")
        parsed.kind = ProgrammerKind::Parallel;
    else if (name == "ft232r")
        parsed.kind = ProgrammerKind::Ft232r;
    else if (name == "usbasp")
        parsed.kind = ProgrammerKind::Usbasp;
    else {
        error = "unknown programmer \"" + std::string(text) +
                "\" (use parallel, ft232r[:SERIAL] or usbasp[:SERIAL])";
        return false;
    }
    if (colon != std::string_view::npos) {
        parsed.serial = std::string(text.substr(colon + 1));
        if (parsed.kind == ProgrammerKind::Parallel || parsed.serial.empty()) {
            error = "\"" + std::string(text) + "\": only a USB programmer takes a serial";
            return false;
        }
    }
    choice = parsed;
    return true;
}

std::string ProgrammerName(const ProgrammerChoice& choice) {
    const char* name = choice.kind == ProgrammerKind::Usbasp   ? "usbasp"
                       : choice.kind == ProgrammerKind::Ft232r ? "ft232r"
                                                               : "parallel";
    return choice.serial.empty() ? name : std::string(name) + ":" + choice.serial;
}

bool ParseFtdiPins(std::string_view text, FtdiPins& pins, std::string& error) {
    FtdiPins parsed;
    unsigned named = 0; // bit per signal
    unsigned used = 0;  // bit per line
    std::stringstream items{std::string(text)};
    for (std::string item; std::getline(items, item, ',');) {
        const std::size_t eq = item.find('=');
        const std::string signal = item.substr(0, eq);
        std::uint8_t line = 0;
        int* target = signal == "mosi"    ? &parsed.mosi
                      : signal == "miso"  ? &parsed.miso
                      : signal == "sck"   ? &parsed.sck
                      : signal == "reset" ? &parsed.reset
                                          : nullptr;
        if (!target || eq == std::string::npos || !ParseFtdiLine(item.substr(eq + 1), line) ||
            (used >> line) & 1u) {
            error = "--ftdi-pins wants each of mosi, miso, sck and reset on its own line, such as "
                    "sck=TXD,miso=RTS,mosi=RXD,reset=CTS (lines TXD RXD RTS CTS DTR DSR DCD RI, "
                    "or D0 to D7); got \"" +
                    std::string(text) + "\"";
            return false;
        }
        *target = line;
        named |= 1u << (target - &parsed.sck);
        used |= 1u << line;
    }
    if (named != 0xF) {
        error = "--ftdi-pins names all four of mosi, miso, sck and reset; got \"" +
                std::string(text) + "\"";
        return false;
    }
    pins = parsed;
    return true;
}

std::string FtdiPinsText(const FtdiPins& pins) {
    auto line = [](int l) { return std::string(kFtdiLineNames[static_cast<std::size_t>(l & 7)]); };
    return "sck=" + line(pins.sck) + ",miso=" + line(pins.miso) + ",mosi=" + line(pins.mosi) +
           ",reset=" + line(pins.reset);
}

bool LoadProgrammerSettings(const std::filesystem::path& file, ProgrammerChoice& choice,
                            std::string& error) {
    std::ifstream in(file);
    if (!in)
        return true; // never saved: the parallel port
    ProgrammerChoice loaded;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
        std::string why;
        const bool ok = key == "programmer"  ? ParseProgrammer(value, loaded, why)
                        : key == "ftdi-pins" ? ParseFtdiPins(value, loaded.pins, why)
                                             : (why = "unknown setting \"" + key + "\"", false);
        if (!ok) {
            error = file.string() + ", line " + std::to_string(number) + ": " + why +
                    ". Correct or delete the file, or choose the programmer again.";
            return false;
        }
    }
    choice = loaded;
    return true;
}

bool SaveProgrammerSettings(const std::filesystem::path& file, const ProgrammerChoice& choice,
                            std::string& error) {
    const FileResult written = WriteFileReplacing(
        file, "# Kelvo's programmer, chosen in the connection dialog\n"
              "programmer=" +
                  ProgrammerName(choice) + "\nftdi-pins=" + FtdiPinsText(choice.pins) + "\n");
    if (!written)
        error = written.error;
    return written.ok;
}

} // namespace kelvo
