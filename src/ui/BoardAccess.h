#pragma once

#include "files/ProgrammerChoice.h"
#include "link/Clock.h"
#include "link/IspBus.h"
#include "link/Port.h"

#include <cstdint>
#include <string>

namespace kelvo {

// Where the main window's flows reach the board: the real port or a
// simulated board, chosen at start-up.
class BoardAccess {
public:
    virtual ~BoardAccess() = default;
    // Makes the port at `portBase` ready for a flow (opening it again when the
    // address changed). False, with what is wrong and how to fix it, when it
    // cannot be used.
    virtual bool Prepare(std::int32_t portBase, std::string& error) = 0;
    // Valid after a successful Prepare.
    virtual Port& port() = 0;
    virtual Clock& clock() = 0;
    // The USB programmer board operations go through; null: port().
    virtual IspBus* usbProgrammer() = 0;
    // After every flow: a simulated board writes its state file back.
    virtual bool Save(std::string& error) = 0;
    // The programmer the flows go through. Another chosen in the connection
    // dialog is kept for later runs and used from the next flow on; false,
    // with the reason, when it cannot be kept.
    virtual ProgrammerChoice programmer() const = 0;
    virtual bool ChooseProgrammer(const ProgrammerChoice& choice, std::string& error) = 0;
};

} // namespace kelvo
