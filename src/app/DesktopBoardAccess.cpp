#include "app/DesktopBoardAccess.h"

namespace kelvo {

bool DesktopBoardAccess::Prepare(std::int32_t portBase, std::string& error) {
    // A programmer that stopped answering is looked for afresh.
    const IspBus* bus = connection_ ? connection_->programmer() : nullptr;
    if (connection_ && (!bus || bus->Fault().empty()) &&
        (request_.driver == PortDriver::Simulated || openedFor_ == portBase))
        return true;
    if (connection_) {
        std::string ignored; // a real port has nothing to write back
        connection_->Close(ignored);
        connection_.reset();
    }
    connection_ = OpenBoardConnection(request_, static_cast<std::uint16_t>(portBase), error);
    if (!connection_)
        return false;
    openedFor_ = portBase;
    return true;
}

bool DesktopBoardAccess::ChooseProgrammer(const ProgrammerChoice& choice, std::string& error) {
    if (choice == request_.programmer)
        return true;
    std::error_code ec;
    if (!programmerFile_.empty())
        std::filesystem::create_directories(programmerFile_.parent_path(), ec);
    if (programmerFile_.empty() || !SaveProgrammerSettings(programmerFile_, choice, error)) {
        if (programmerFile_.empty())
            error = "There is no per-user folder to keep the programmer in.";
        return false;
    }
    // The next flow opens the board again through the new programmer; a
    // simulated board is written back first.
    if (connection_ && !connection_->Close(error))
        return false;
    connection_.reset();
    request_.programmer = choice;
    return true;
}

bool DesktopBoardAccess::Save(std::string& error) {
    return !connection_ || connection_->Save(error);
}

bool DesktopBoardAccess::Close(std::string& error) {
    return !connection_ || connection_->Close(error);
}

} // namespace kelvo
