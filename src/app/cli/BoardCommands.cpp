#include "app/cli/BoardCommands.h"

#include "app/cli/CliFlowHost.h"
#include "files/ConnectionSettings.h"
#include "files/SettingsFile.h"
#include "ops/Download.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/SettingsFileFlows.h"
#include "ops/Upload.h"

#include <filesystem>
#include <functional>
#include <ostream>

namespace kelvo {

namespace {

// One command's run: the process state, the chosen board connection and the
// terminal host, wired into a flow context.
class CliSession {
    CliContext& cli_;

public:
    explicit CliSession(CliContext& cli) : cli_(cli), host(cli) {}

    bool Open() {
        state.runOptions = cli_.options;
        if (cli_.boardTypeName)
            state.boardInfo.boardTypeName = *cli_.boardTypeName;
        std::error_code ec;
        state.startDirectory = std::filesystem::current_path(ec).string();
        std::string customAddress;
        LoadConnectionSettings(state.startDirectory, state.link.portBase, customAddress);
        if (cli_.portOverride)
            state.link.portBase = *cli_.portOverride;
        std::string error;
        connection_ = OpenBoardConnection(cli_.connection,
                                          static_cast<std::uint16_t>(state.link.portBase), error);
        if (!connection_) {
            cli_.err << "kelvo-cli: " << error << "\n";
            return false;
        }
        ctx_.emplace(FlowContext{state, host, connection_->port(), connection_->clock()});
        return true;
    }

    FlowContext& ctx() { return *ctx_; }

    // Closes the connection (a simulated board is saved) and turns the
    // command's outcome into the exit code.
    int Finish(bool succeeded) {
        std::string error;
        if (!connection_->Close(error)) {
            cli_.err << "kelvo-cli: " << error << "\n";
            return 1;
        }
        return succeeded ? 0 : 1;
    }

    AppState state;
    CliFlowHost host;

private:
    std::unique_ptr<BoardConnection> connection_;
    std::optional<FlowContext> ctx_;
};

bool Download(CliSession& s) {
    DownloadConfiguration(s.ctx());
    return s.state.operationSucceeded == 1 && s.state.boardInfo.boardLoaded == 1;
}

void PrintBoard(const CliSession& s, std::ostream& out) {
    const BoardInfo& info = s.state.boardInfo;
    out << "Board Type: " << info.boardTypeName << "\n"
        << "Firmware Revision: " << info.firmwareRevisionText << "\n"
        << "Battery Voltage: " << info.batteryVoltageText << "\n";
    for (std::size_t i = 0; i < kImageEntries; ++i)
        out << "Entry " << i << ": " << s.state.settingsImage[i] << "\n";
}

// Upload Configuration is disabled for a board whose firmware is older than
// 3.0; a command that writes settings obeys that like the button does.
bool UploadAllowed(const CliSession& s, CliContext& cli) {
    if (!s.state.uploadEnabled)
        cli.err << "kelvo-cli: Upload Configuration is disabled for this board: its firmware "
                   "must be updated first.\n";
    return s.state.uploadEnabled;
}

// Values the desktop program's pages never produce load and are written as
// they are; a script should still hear about them.
void WarnAboutValuesOutsidePages(const CliSession& s, CliContext& cli, const std::string& file) {
    for (const KeyOutsidePageRange& k : KeysOutsidePageRanges(s.state.settingsImage))
        cli.err << "kelvo-cli: warning: key " << k.key << " of " << file << " is " << k.value
                << ", which the desktop program's page does not offer (" << k.offered << ")\n";
}

bool ExpectArguments(CliContext& cli, std::size_t count, const char* usage) {
    if (cli.args.size() == count)
        return true;
    cli.err << "kelvo-cli: usage: kelvo-cli [options] " << usage << "\n";
    return false;
}

// Opens the board, runs one command's flows on it and closes it again.
int WithSession(CliContext& cli, const std::function<bool(CliSession&)>& body) {
    CliSession s(cli);
    if (!s.Open())
        return 1;
    return s.Finish(body(s));
}

} // namespace

int RunDownloadCommand(CliContext& cli) {
    std::optional<std::string> output;
    for (std::size_t i = 0; i < cli.args.size(); ++i) {
        if (cli.args[i] == "-o" && i + 1 < cli.args.size()) {
            output = cli.args[++i];
        } else {
            cli.err << "kelvo-cli: usage: kelvo-cli [options] download [-o FILE.esf]\n";
            return 2;
        }
    }
    return WithSession(cli, [&](CliSession& s) {
        bool ok = Download(s);
        if (ok) {
            PrintBoard(s, cli.out);
            if (output) {
                s.host.saveFile = output;
                ok = SaveConfiguration(s.ctx());
            }
        }
        return ok;
    });
}

int RunUploadCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 1, "upload FILE.esf"))
        return 2;
    return WithSession(cli, [&](CliSession& s) {
        if (!Download(s) || !UploadAllowed(s, cli))
            return false;
        s.host.openFile = cli.args[0];
        if (!OpenConfiguration(s.ctx()))
            return false;
        WarnAboutValuesOutsidePages(s, cli, cli.args[0]);
        return UploadConfiguration(s.ctx()) == 1;
    });
}

int RunUpdateFirmwareCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 1, "update-firmware FILE.efw"))
        return 2;
    return WithSession(cli, [&](CliSession& s) {
        // The board is read first so the firmware can be checked against it and
        // its settings written back afterwards.
        if (!s.state.runOptions.initProgramming)
            Download(s);
        s.host.openFile = cli.args[0];
        const bool ok = UpdateFirmware(s.ctx());
        if (s.host.downloadRequested)
            Download(s);
        return ok;
    });
}

int RunFactoryDefaultsCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 0, "factory-defaults"))
        return 2;
    return WithSession(cli, [&](CliSession& s) {
        const bool ok = FactoryDefaults(s.ctx());
        if (ok)
            PrintBoard(s, cli.out);
        return ok;
    });
}

int RunPresetCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 1, "preset conservative|normal|fast|extreme"))
        return 2;
    const std::optional<Preset> preset = PresetFromName(cli.args[0]);
    if (!preset) {
        cli.err << "kelvo-cli: unknown preset \"" << cli.args[0]
                << "\" (use conservative, normal, fast or extreme)\n";
        return 2;
    }
    return WithSession(cli, [&](CliSession& s) {
        if (!Download(s) || !UploadAllowed(s, cli))
            return false;
        ApplyPreset(*preset, s.state.settingsImage, s.state.boardInfo);
        return UploadConfiguration(s.ctx()) == 1;
    });
}

int RunPinTestCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 0, "pintest"))
        return 2;
    cli.options.pinTest = 1;
    return WithSession(cli, [&](CliSession& s) {
        s.host.waitForEnter = !cli.noWait;
        DownloadConfiguration(s.ctx());
        return true;
    });
}

} // namespace kelvo
