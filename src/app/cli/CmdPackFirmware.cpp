#include "app/cli/FileCommands.h"

#include "files/SafeWrite.h"
#include "ops/FirmwareImageHex.h"

#include <optional>
#include <ostream>
#include <string>

namespace kelvo {

namespace {

constexpr const char* kUsage = "usage: kelvo-cli pack-firmware IN.hex --board CODE -o OUT.efw|-\n";

// A board type code is one byte of the board's settings.
std::optional<std::int32_t> ParseBoardCode(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int code = std::stoi(text);
    if (code > 255)
        return std::nullopt;
    return code;
}

} // namespace

int CmdPackFirmware(CliContext& ctx) {
    std::optional<std::string> input, output;
    std::optional<std::int32_t> board;
    const std::vector<std::string>& args = ctx.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--board" || a == "-o") {
            if (i + 1 >= args.size()) {
                ctx.err << "kelvo-cli: pack-firmware: " << a << " needs a value\n" << kUsage;
                return 2;
            }
            if ((a == "-o" && output) || (a == "--board" && board)) {
                ctx.err << "kelvo-cli: pack-firmware: " << RepeatedOptionText(a) << "\n" << kUsage;
                return 2;
            }
            const std::string& value = args[++i];
            if (a == "-o") {
                output = value;
            } else if (!(board = ParseBoardCode(value))) {
                ctx.err << "kelvo-cli: pack-firmware: --board wants the board type code, a "
                           "number from 0 to 255; got \""
                        << value << "\"\n";
                return 2;
            }
        } else if (!input && !a.empty() && a[0] != '-') {
            input = a;
        } else {
            ctx.err << "kelvo-cli: pack-firmware: unexpected argument \"" << a << "\"\n" << kUsage;
            return 2;
        }
    }
    if (!input || !board || !output) {
        ctx.err << "kelvo-cli: pack-firmware: "
                << (!input   ? "no Intel HEX file given"
                    : !board ? "no --board given"
                             : "no -o given")
                << "\n"
                << kUsage;
        return 2;
    }

    if (*output != "-" && NamesSameFile(*input, *output)) {
        ctx.err << "kelvo-cli: pack-firmware: -o names the input file " << *input
                << "; choose another output\n";
        return 2;
    }
    const HexImage image = ReadIntelHexFile(*input);
    if (!image.ok()) {
        ctx.err << "kelvo-cli: pack-firmware: " << *input << ": " << image.error << "\n";
        return 1;
    }
    const std::vector<std::string> records = CutIntoRecords(image.memory);
    const std::string file = FormatFirmwareImage(*board, records);
    // With "-o -" the image alone goes to stdout.
    const bool toStdout = *output == "-";
    if (toStdout) {
        ctx.out << file;
    } else if (const FileResult written = WriteFileReplacing(*output, file); !written) {
        ctx.err << "kelvo-cli: pack-firmware: " << written.error << "\n";
        return 1;
    }
    (toStdout ? ctx.err : ctx.out)
        << "Wrote " << (toStdout ? "standard output" : *output) << ": " << image.memory.size()
        << " bytes of firmware in " << records.size() - 1 << " records, board code " << *board
        << "\n";
    return 0;
}

} // namespace kelvo
