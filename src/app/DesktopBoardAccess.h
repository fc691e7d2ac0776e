#pragma once

#include "app/BoardConnection.h"
#include "ui/BoardAccess.h"

#include <filesystem>
#include <memory>

namespace kelvo {

// The desktop program's board: the connection chosen on the command line,
// opened when a flow first needs it and again when the port address has
// changed (a simulated board answers at its own address and stays open).
class DesktopBoardAccess final : public BoardAccess {
public:
    // `programmerFile` keeps the programmer chosen in the connection dialog.
    DesktopBoardAccess(ConnectionRequest request, std::filesystem::path programmerFile)
        : request_(std::move(request)), programmerFile_(std::move(programmerFile)) {}

    bool Prepare(std::int32_t portBase, std::string& error) override;
    Port& port() override { return connection_->port(); }
    Clock& clock() override { return connection_->clock(); }
    IspBus* usbProgrammer() override { return connection_->programmer(); }
    bool Save(std::string& error) override;
    ProgrammerChoice programmer() const override { return request_.programmer; }
    bool ChooseProgrammer(const ProgrammerChoice& choice, std::string& error) override;
    // At exit: a simulated board writes its state file back.
    bool Close(std::string& error);

private:
    ConnectionRequest request_;
    std::filesystem::path programmerFile_;
    std::unique_ptr<BoardConnection> connection_;
    std::int32_t openedFor_ = -1;
};

} // namespace kelvo
