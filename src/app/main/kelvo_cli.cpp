#include "app/cli/Cli.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    // No input may end the program in an abort: whatever escapes is a
    // failure with a message.
    try {
        return kelvo::RunCli(arguments, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "kelvo-cli: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "kelvo-cli: unexpected failure\n";
    }
    return kelvo::kExitFailed;
}
