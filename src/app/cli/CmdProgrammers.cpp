#include "app/cli/BoardCommands.h"
#include "app/cli/Cli.h"

#include <ostream>

namespace kelvo {

std::string ProgrammerListing(const std::vector<UsbProgrammerFound>& found) {
    std::string out;
    auto row = [&](const std::string& name, const std::string& what) {
        out += name + std::string(name.size() < 16 ? 16 - name.size() : 1, ' ') + what + "\n";
    };
    row("parallel", "the cable on the parallel port (a port cannot tell whether it is there)");
    for (const UsbProgrammerFound& f : found) {
        const std::string kind = f.kind == UsbProgrammerFound::Kind::Usbasp ? "usbasp" : "ft232r";
        row(f.serial.empty() ? kind : kind + ":" + f.serial,
            f.model + " on " + f.where +
                (f.denied           ? ": permission denied (see docs/programmers.md)"
                 : f.serial.empty() ? ", no serial"
                                    : ""));
    }
    if (found.empty())
        out += "No USB programmer found.\n";
    return out;
}

int RunProgrammersCommand(CliContext& cli) {
    if (!cli.args.empty()) {
        cli.err << "kelvo-cli: usage: kelvo-cli [options] programmers\n";
        return kExitUsage;
    }
    std::vector<UsbProgrammerFound> found;
    std::string error;
    if (!ListUsbProgrammers(found, error))
        cli.err << "kelvo-cli: " << error << "\n";
    cli.out << ProgrammerListing(found);
    return kExitDone;
}

} // namespace kelvo
