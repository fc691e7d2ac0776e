#include "app/cli/Cli.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return kelvo::RunCli(arguments, std::cout, std::cerr);
}
