#include "app/UserFolder.h"
#include "app/cli/Cli.h"

#include <csignal>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using namespace kelvo;
    std::vector<std::string> arguments(argv + 1, argv + argc);
#ifdef SIGPIPE
    // A reader that went away (| head) makes a write fail, which is
    // reported like any failed write; it must not end a board write.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // No input may end the program in an abort: whatever escapes is a
    // failure with a message.
    try {
        // The programmer chosen in the desktop program, unless the command
        // line chooses another.
        ConnectionRequest connection;
        std::string error;
        const std::filesystem::path folder = UserFolder(ProcessEnvironment, error);
        if (!folder.empty() &&
            !LoadProgrammerSettings(folder / kProgrammerSettingsFile, connection.programmer, error))
            std::cerr << "kelvo-cli: warning: " << error << "\n";
        return RunCli(arguments, std::cout, std::cerr, connection);
    } catch (const std::exception& e) {
        std::cerr << "kelvo-cli: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "kelvo-cli: unexpected failure\n";
    }
    return kExitFailed;
}
