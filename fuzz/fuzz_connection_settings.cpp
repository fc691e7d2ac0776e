// ConnSettings.dat reader: any bytes give a bounded token and either no
// address or one a port can have.
#include "files/ConnectionSettings.h"
#include "files/TextParsing.h"

#include <cstdlib>
#include <sstream>
#include <string>

using namespace kelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const std::string token = ReadConnectionToken(in);
    if (token.size() > 255)
        std::abort();
    for (char c : token)
        if (IsCSpace(c))
            std::abort();
    if (const auto address = PortAddressFromToken(token))
        if (*address < 1 || *address > 0xFFFF)
            std::abort();
    return 0;
}
