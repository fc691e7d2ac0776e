#include "app/DesktopBoardAccess.h"

namespace kelvo {

bool DesktopBoardAccess::Prepare(std::int32_t portBase, std::string& error) {
    if (connection_ && (request_.driver == PortDriver::Simulated || openedFor_ == portBase))
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

bool DesktopBoardAccess::Save(std::string& error) {
    return !connection_ || connection_->Save(error);
}

bool DesktopBoardAccess::Close(std::string& error) {
    return !connection_ || connection_->Close(error);
}

} // namespace kelvo
