// kelvo-cli's argument parsers: any arguments (one per line of the input)
// are refused with a message or give options that hold together; nothing is
// run and no file is touched.
#include "app/CommandLineInfo.h"
#include "app/cli/Cli.h"
#include "app/cli/SimCommands.h"
#include "sim/SimStateFile.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckOptions(const RunOptions& o) {
    Check(!(o.avrOnly && o.only8051));
    Check(std::isfinite(o.delayMultiplier) && o.delayMultiplier > 0.0f &&
          o.delayMultiplier <= kMaxDelayMultiplier);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line; std::getline(in, line) && args.size() < 64;)
        args.push_back(line);

    RunOptions options;
    CommandLineInfo info(options);
    for (const std::string& a : args)
        info.ParseArgument(a);
    CheckOptions(options);

    std::ostringstream out, err;
    CliContext ctx(out, err);
    const CliInvocation what = ParseCliArguments(args, ctx);
    CheckOptions(ctx.options);
    Check(what.action != CliInvocation::Action::Run || what.command != nullptr);
    Check(what.action != CliInvocation::Action::Usage || !err.str().empty());
    Check(!ctx.portOverride || *ctx.portOverride != 0);

    // sim-create's own arguments: a board whose file would parse back.
    SimCreateRequest request;
    std::string problem;
    if (ParseSimCreateArguments(args, request, problem)) {
        SimBoardState back;
        std::string error;
        Check(ParseSimState(FormatSimState(request.state), "x.json", back, error) &&
              back == request.state);
    } else {
        Check(!problem.empty());
    }
    return 0;
}
