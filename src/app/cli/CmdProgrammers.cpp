#include "app/cli/BoardCommands.h"
#include "app/cli/Cli.h"
#include "link/UsbaspDevice.h"

#include <ostream>

namespace kelvo {

int RunProgrammersCommand(CliContext& cli) {
    if (!cli.args.empty()) {
        cli.err << "kelvo-cli: usage: kelvo-cli [options] programmers\n";
        return kExitUsage;
    }
    auto row = [&](const std::string& name, const std::string& what) {
        cli.out << name << std::string(name.size() < 16 ? 16 - name.size() : 1, ' ') << what
                << "\n";
    };
    row("parallel", "the cable on the parallel port (a port cannot tell whether it is there)");
    std::vector<UsbaspFound> usbasps;
    std::string error;
    if (!ListUsbasps(usbasps, error))
        cli.err << "kelvo-cli: USBasp: " << error << "\n";
    for (const UsbaspFound& f : usbasps)
        row(f.serial.empty() ? "usbasp" : "usbasp:" + f.serial,
            "USBasp on " + f.where +
                (f.denied           ? ": permission denied (see docs/programmers.md)"
                 : f.serial.empty() ? ", no serial"
                                    : ""));
    if (usbasps.empty())
        cli.out << "No USB programmer found.\n";
    return kExitDone;
}

} // namespace kelvo
