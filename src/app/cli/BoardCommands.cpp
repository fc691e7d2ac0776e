#include "app/cli/BoardCommands.h"

#include "app/UserFolder.h"
#include "app/cli/CliFlowHost.h"
#include "app/cli/SettingNames.h"
#include "app/cli/SettingsListing.h"
#include "app/cli/StopSignals.h"
#include "files/ConnectionSettings.h"
#include "files/SafeWrite.h"
#include "files/SettingsFile.h"
#include "ops/Download.h"
#include "ops/FirmwareBackup.h"
#include "ops/FirmwareImage.h"
#include "ops/FirmwareImageHex.h"
#include "ops/FirmwareUpdate.h"
#include "ops/Presets.h"
#include "ops/RecoverySettings.h"
#include "ops/SettingsFileFlows.h"
#include "ops/Upload.h"
#include "settings/Validation.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

namespace {

std::string Seconds(std::uint64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ns) / 1e9);
    return text;
}

// One command's run: the process state, the chosen board connection and the
// terminal host, wired into a flow context, with SIGINT and SIGTERM asking
// the board work to stop.
class CliSession {
    CliContext& cli_;

public:
    explicit CliSession(CliContext& cli) : cli_(cli), host(cli), signals_(stop_, STDERR_FILENO) {
        host.stop = &stop_;
    }

    bool Open() {
        state.runOptions = cli_.options;
        state.recoveryFolder = RecoveryFolder(ProcessEnvironment).string();
        if (cli_.boardTypeName)
            state.boardInfo.boardTypeName = *cli_.boardTypeName;
        std::error_code ec;
        state.startDirectory = std::filesystem::current_path(ec).string();
        std::string customAddress;
        if (const std::string problem =
                LoadConnectionSettings(state.startDirectory, state.link.portBase, customAddress);
            !problem.empty())
            cli_.err << "kelvo-cli: warning: " << problem << "\n";
        if (const std::optional<std::int32_t> base = RequestedPortBase(cli_.connection))
            state.link.portBase = *base;
        std::string error;
        connection_ = OpenBoardConnection(cli_.connection,
                                          static_cast<std::uint16_t>(state.link.portBase), error);
        if (!connection_) {
            cli_.err << "kelvo-cli: " << error
                     << "\nTo try Kelvo without hardware, give --sim FILE: a simulated board "
                        "(kelvo-cli sim-create FILE --family avr makes one).\nA USB-to-parallel "
                        "printer adapter cannot drive the cable's lines; a motherboard, PCI or "
                        "PCIe parallel port (any base address) can.\n";
            return false;
        }
        // Never a believable board that is not there without saying so.
        if (cli_.connection.simFile)
            cli_.err << "kelvo-cli: " << SimulatedBoardNotice(*cli_.connection.simFile)
                     << (connection_->programmer() ? ", reached through a simulated " +
                                                         ProgrammerName(cli_.connection.programmer)
                                                   : std::string())
                     << "\n";
        const RunOptions& o = state.runOptions;
        if (o.bypassReadCheck && !o.avrOnly && !o.only8051)
            cli_.err << "kelvo-cli: warning: -bypassreadcheck without -AVRonly or -8051only: the "
                        "8051 read, tried first, then \"succeeds\" on any board, an AVR board or "
                        "none at all, and gives what the cable happens to read\n";
        startNs_ = connection_->BusTimeNs();
        counter_.emplace(connection_->port());
        host.board = {&state, &*counter_, connection_.get()};
        ctx_.emplace(FlowContext{state, host, *counter_, connection_->clock(), &stop_});
        ctx_->programmer = connection_->programmer();
        return true;
    }

    FlowContext& ctx() { return *ctx_; }
    // After a stop only the stop is reported (by Finish).
    bool Stopped() const { return stop_.requested; }

    // Closes the connection (a simulated board is saved as the board now
    // is, also after a stop) and gives the exit code.
    int Finish(int code) {
        std::string error;
        const bool closed = connection_->Close(error);
        if (!closed)
            cli_.err << "kelvo-cli: " << error << "\n";
        if (const int signal = signals_.StoppedBy()) {
            cli_.err << "kelvo-cli: stopped by signal " << signal
                     << "; what was being written to the board may be incomplete.\n";
            if (!state.recoverySettingsFile.empty())
                cli_.err << "kelvo-cli: " << RecoveryNote(state.recoverySettingsFile) << "\n";
            return 128 + signal;
        }
        // A programmer that vanished stopped the run like a signal would.
        if (const IspBus* bus = connection_->programmer(); bus && !bus->Fault().empty()) {
            cli_.err << "kelvo-cli: " << bus->Fault()
                     << " What was being written to the board may be incomplete.\n";
            return kExitFailed;
        }
        return closed ? code : kExitFailed;
    }

    // Bus time of the last successful operations of these codes.
    std::uint64_t BusNsOf(std::initializer_list<int> operations) const {
        for (auto r = host.operations.rbegin(); r != host.operations.rend(); ++r)
            if (r->succeeded &&
                std::find(operations.begin(), operations.end(), r->operation) != operations.end())
                return r->busNs;
        return 0;
    }

    // Bus time of every operation run so far.
    std::uint64_t TotalBusNs() const {
        std::uint64_t ns = 0;
        for (const OperationRecord& r : host.operations)
            ns += r.busNs;
        return ns;
    }

    // "9.9 s (26.4 s in all)": the bus time given, then the time since the
    // board was opened, which is what the person waited (on the simulated
    // board's own clock for a simulated board).
    std::string BusAndAllTime(std::uint64_t busNs) const {
        return Seconds(busNs) + " (" + Seconds(connection_->BusTimeNs() - startNs_) + " in all)";
    }

    AppState state;
    CliFlowHost host;

private:
    StopRequest stop_;
    StopSignals signals_;
    std::unique_ptr<BoardConnection> connection_;
    std::uint64_t startNs_ = 0;
    std::optional<CountingPort> counter_;
    std::optional<FlowContext> ctx_;
};

#ifdef _WIN32
constexpr char kNullDevice[] = "NUL";
#else
constexpr char kNullDevice[] = "/dev/null";
#endif

// Entries a settings write sends: every page entry, not the board's own.
std::size_t PageEntryCount() {
    return kImageEntries - std::size(kReadOnlyEntries);
}

bool Download(CliSession& s) {
    DownloadConfiguration(s.ctx());
    return s.state.operationSucceeded == 1 && s.state.boardInfo.boardLoaded == 1;
}

enum class Listing { Named, Raw };

// The board panel, then the settings by page (or, raw, the bytes as
// "Entry N: value").
void PrintBoard(const CliSession& s, std::ostream& out, Listing listing = Listing::Named) {
    const BoardInfo& info = s.state.boardInfo;
    out << "Board Type: " << info.boardTypeName << "\n"
        << "Firmware Revision: " << info.firmwareRevisionText << "\n"
        << "Battery Voltage: " << info.batteryVoltageText << "\n";
    if (listing == Listing::Raw) {
        for (std::size_t i = 0; i < kImageEntries; ++i)
            out << "Entry " << i << ": " << s.state.settingsImage[i] << "\n";
        return;
    }
    std::string page;
    for (const SettingLine& line : ListSettings(s.state.settingsImage, info)) {
        if (line.page != page) {
            page = line.page;
            out << "\n" << page << "\n";
        }
        out << "  " << line.name << ": " << line.value << "\n";
    }
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

// What validation found wanting, in the user's words: the setting and the
// file it came from.
void NameFailedSetting(const CliSession& s, CliContext& cli, const std::string& file) {
    const SettingsValidation result = ValidateSettings(
        s.state.settingsImage, s.state.boardInfo.dialogMode, s.state.boardInfo.boardTypeName);
    if (!result)
        cli.err << "kelvo-cli: " << file << ": " << SettingName(result.failedEntry) << " (entry "
                << result.failedEntry << ") is empty or out of range, so "
                << "the settings were not written\n";
}

// A copy on standard output counts once it has reached the file or pipe
// behind it and that has been closed, so that its reader has seen the end
// before anything is erased. Whatever is printed there afterwards goes
// nowhere, never into a file opened later under the same descriptor.
bool CloseStandardOutput(CliContext& cli) {
    cli.out.flush();
    if (!cli.out)
        return false;
    if (&cli.out != &std::cout) // a stream of the caller's own
        return true;
    if (std::fflush(stdout) != 0)
        return false;
#ifndef _WIN32
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(STDOUT_FILENO) != 0)
        return false;
#endif
    const bool closed = ::close(STDOUT_FILENO) == 0;
    const int null = ::open(kNullDevice, O_WRONLY);
    if (null >= 0 && null != STDOUT_FILENO) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    return closed;
}

// Reads the board's code memory and writes it to `output` ("-": stdout) in
// the format its name asks for. The board must have been read (its type
// goes into the file).
bool WriteFirmwareBackup(CliSession& s, CliContext& cli, const std::string& output) {
    if (ReadFirmware(s.ctx()) != FirmwareRead::Read)
        return false;
    const bool hex = output.size() > 4 && output.substr(output.size() - 4) == ".hex";
    const std::int32_t boardCode = s.state.settingsImage[entry::boardTypeCode];
    const std::string text =
        FormatFirmwareBackup(s.state.codeRead.memory, boardCode,
                             hex ? BackupFormat::IntelHex : BackupFormat::FirmwareImage);
    if (output == "-") {
        cli.out << text;
        if (!CloseStandardOutput(cli)) {
            cli.err << "kelvo-cli: writing the firmware copy to standard output failed\n";
            return false;
        }
    } else if (const FileResult written = WriteFileReplacing(output, text); !written) {
        cli.err << "kelvo-cli: " << written.error << "\n";
        return false;
    }
    s.host.Say(std::to_string(s.state.codeRead.memory.size()) + " bytes of code memory read in " +
               Seconds(s.BusNsOf({7, 8})) + " and written to " +
               (output == "-" ? "standard output" : output) +
               (hex ? " as Intel HEX"
                    : " as a firmware image for board type " + std::to_string(boardCode)));
    return true;
}

// Opens the board, runs one command's flows on it and closes it again; the
// body gives the exit code.
int WithSession(CliContext& cli, const std::function<int(CliSession&)>& body) {
    CliSession s(cli);
    if (!s.Open())
        return kExitFailed;
    return s.Finish(body(s));
}

} // namespace

int RunDownloadCommand(CliContext& cli) {
    const char* usage =
        "kelvo-cli: usage: kelvo-cli [options] download [--raw|--json] [-o FILE.esf|-]\n";
    std::optional<std::string> output;
    bool raw = false, json = false;
    for (std::size_t i = 0; i < cli.args.size(); ++i) {
        const std::string& a = cli.args[i];
        if ((a == "-o" && output) || (a == "--raw" && raw) || (a == "--json" && json)) {
            cli.err << "kelvo-cli: download: " << RepeatedOptionText(a) << "\n" << usage;
            return kExitUsage;
        }
        if (a == "-o" && i + 1 < cli.args.size()) {
            output = cli.args[++i];
        } else if (a == "--raw") {
            raw = true;
        } else if (a == "--json") {
            json = true;
        } else {
            cli.err << usage;
            return kExitUsage;
        }
    }
    if ((raw && json) || (json && output && *output == "-")) {
        cli.err << "kelvo-cli: download: --json is the whole of standard output; give it alone\n"
                << usage;
        return kExitUsage;
    }
    if (cli.options.pinTest) {
        // The pin test takes the download's place and reads no board.
        if (output) {
            cli.err << "kelvo-cli: -o: under -pintest no board is read, so there is nothing "
                       "to save\n";
            return kExitUsage;
        }
        return RunPinTestCommand(cli);
    }
    if (output && cli.connection.simFile && *output != "-" &&
        NamesSameFile(*output, *cli.connection.simFile)) {
        cli.err << "kelvo-cli: -o names the simulated board's own file " << *output
                << "; choose another\n";
        return kExitUsage;
    }
    return WithSession(cli, [&](CliSession& s) {
        if (!Download(s))
            return kExitFailed;
        // With "-o -" the settings file alone goes to stdout.
        const bool toStdout = output && *output == "-";
        if (json)
            cli.out << SettingsJson(s.state.settingsImage, s.state.boardInfo, s.host.answeredFamily,
                                    s.state.link.portBase);
        else
            PrintBoard(s, toStdout ? cli.err : cli.out, raw ? Listing::Raw : Listing::Named);
        if (toStdout) {
            if (!ReadyToSave(s.ctx()))
                return kExitFailed;
            cli.out << FormatSettingsFile(s.state.settingsImage, s.state.boardInfo.dialogMode);
        } else if (output) {
            s.host.saveFile = output;
            if (!SaveConfiguration(s.ctx()))
                return kExitFailed;
            s.host.Say("Settings saved to " + *output);
        }
        return kExitDone;
    });
}

int RunUploadCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 1, "upload FILE.esf"))
        return kExitUsage;
    const std::string& file = cli.args[0];
    // The file first: a board is not searched for a file that cannot be
    // read. It is read once, so standard input ("-" or /dev/stdin) serves.
    std::string why;
    const std::optional<std::string> text =
        ReadSettingsFileText(file, why, InputKinds::AlsoStreams);
    if (!text) {
        cli.err << "kelvo-cli: " << file << ": " << why << "\n";
        return kExitFailed;
    }
    return WithSession(cli, [&](CliSession& s) {
        if (!Download(s) || !UploadAllowed(s, cli))
            return kExitFailed;
        if (!OpenConfigurationText(s.ctx(), file, *text))
            return kExitFailed;
        WarnAboutValuesOutsidePages(s, cli, file);
        if (UploadConfiguration(s.ctx()) != 1) {
            NameFailedSetting(s, cli, file);
            return kExitFailed;
        }
        s.host.Say(std::to_string(PageEntryCount()) + " settings bytes from " + file +
                   " written and verified in " + s.BusAndAllTime(s.BusNsOf({1, 5})));
        return kExitDone;
    });
}

int RunReadFirmwareCommand(CliContext& cli) {
    if (cli.args.size() != 2 || cli.args[0] != "-o") {
        cli.err << "kelvo-cli: usage: kelvo-cli [options] read-firmware -o FILE.efw|FILE.hex|-\n";
        return kExitUsage;
    }
    const std::string& output = cli.args[1];
    if (cli.connection.simFile && output != "-" && NamesSameFile(output, *cli.connection.simFile)) {
        cli.err << "kelvo-cli: -o names the simulated board's own file " << output
                << "; choose another\n";
        return kExitUsage;
    }
    return WithSession(cli, [&](CliSession& s) {
        if (!Download(s))
            return kExitFailed;
        return WriteFirmwareBackup(s, cli, output) ? kExitDone : kExitFailed;
    });
}

int RunUpdateFirmwareCommand(CliContext& cli) {
    std::optional<std::string> backup;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < cli.args.size(); ++i) {
        if (cli.args[i] == "--backup" && backup) {
            cli.err << "kelvo-cli: update-firmware: " << RepeatedOptionText("--backup") << "\n";
            return kExitUsage;
        }
        if (cli.args[i] == "--backup" && i + 1 < cli.args.size())
            backup = cli.args[++i];
        else
            files.push_back(cli.args[i]);
    }
    if (files.size() != 1 || (files[0].size() > 1 && files[0][0] == '-')) {
        cli.err << "kelvo-cli: usage: kelvo-cli [options] update-firmware [--backup "
                   "BACKUP.efw] FILE.efw\n";
        return kExitUsage;
    }
    if (backup && cli.options.initProgramming) {
        cli.err << "kelvo-cli: --backup reads the board first, which -initprogramming does not; "
                   "take the backup with read-firmware\n";
        return kExitUsage;
    }
    const std::string& file = files[0];
    if (file == "-") {
        // The writers read the file again to count its records, which a
        // stream would not give twice.
        cli.err << "kelvo-cli: update-firmware: the firmware cannot come from standard input "
                   "(-); save it to a file and name that\n";
        return kExitUsage;
    }
    if (backup && (NamesSameFile(*backup, file) ||
                   (cli.connection.simFile && NamesSameFile(*backup, *cli.connection.simFile)))) {
        cli.err << "kelvo-cli: --backup names one of the command's own files, " << *backup
                << "; choose another\n";
        return kExitUsage;
    }
    // The file first, whole: a board is neither searched for nor read for a
    // file that could not be written.
    const FirmwareImageCheck check = CheckFirmwareImageFile(file);
    if (!check.text) {
        if (!check.unreadable) {
            CliFlowHost host(cli);
            ShowInvalidFirmware(host);
        }
        cli.err << "kelvo-cli: " << file << ": "
                << (check.line > 0 ? "line " + std::to_string(check.line) + ": " : "")
                << check.reason << "\n";
        return kExitFailed;
    }
    return WithSession(cli, [&](CliSession& s) {
        // The board is read first so the firmware can be checked against it and
        // its settings written back afterwards.
        const bool read = !s.state.runOptions.initProgramming && Download(s);
        // The old firmware is gone for good after the erase: without its
        // copy nothing is written.
        if (backup) {
            if (!read) {
                if (!s.Stopped())
                    cli.err << "kelvo-cli: --backup: the board could not be read, so no backup "
                               "was taken and nothing was written\n";
                return kExitFailed;
            }
            if (!WriteFirmwareBackup(s, cli, *backup)) {
                if (!s.Stopped())
                    cli.err << "kelvo-cli: --backup: no backup, so the firmware was not "
                               "replaced\n";
                return kExitFailed;
            }
        }
        s.host.openFile = file;
        const FirmwareUpdate result = UpdateFirmware(s.ctx());
        const bool readBack = !s.host.downloadRequested || Download(s);
        if (result == FirmwareUpdate::NotWritten)
            return kExitFailed;
        const bool initial = s.state.runOptions.initProgramming != 0;
        // Of the image written, which the flow read again: the file may
        // have changed while the board was read.
        const std::string& written = s.state.FirmwareImageText;
        const std::size_t firmwareBytes =
            static_cast<std::size_t>(std::count(written.begin(), written.end(), '\n') - 1) *
            kImageRecordBytes;
        s.host.Say(std::to_string(firmwareBytes) + " bytes of firmware written and verified in " +
                   s.BusAndAllTime(s.BusNsOf({3, 6})) +
                   (initial                                        ? ""
                    : result == FirmwareUpdate::SettingsNotWritten ? "; settings not written"
                    : readBack                                     ? "; settings restored"
                               : "; settings restored, the board not read again"));
        // Written firmware is never reported as a failed write.
        return result == FirmwareUpdate::Complete && readBack ? kExitDone : kExitFirmwareOnly;
    });
}

int RunFactoryDefaultsCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 0, "factory-defaults"))
        return kExitUsage;
    return WithSession(cli, [&](CliSession& s) {
        if (!FactoryDefaults(s.ctx()))
            return kExitFailed;
        // The board as it reads back after the reset.
        IdentifyBoard(s.state.settingsImage, s.state.boardInfo);
        PrintBoard(s, cli.out);
        s.host.Say("Factory settings restored on the board and read back in " +
                   s.BusAndAllTime(s.TotalBusNs()));
        return kExitDone;
    });
}

int RunPresetCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 1, "preset conservative|normal|fast|extreme"))
        return kExitUsage;
    const std::optional<Preset> preset = PresetFromName(cli.args[0]);
    if (!preset) {
        cli.err << "kelvo-cli: unknown preset \"" << cli.args[0]
                << "\" (use conservative, normal, fast or extreme)\n";
        return kExitUsage;
    }
    return WithSession(cli, [&](CliSession& s) {
        if (!Download(s) || !UploadAllowed(s, cli))
            return kExitFailed;
        ApplyPreset(*preset, s.state.settingsImage, s.state.boardInfo);
        if (UploadConfiguration(s.ctx()) != 1)
            return kExitFailed;
        s.host.Say("Preset " + cli.args[0] + ": " + std::to_string(PageEntryCount()) +
                   " settings bytes written and verified in " + s.BusAndAllTime(s.BusNsOf({1, 5})));
        return kExitDone;
    });
}

int RunPinTestCommand(CliContext& cli) {
    if (!ExpectArguments(cli, 0, "pintest"))
        return kExitUsage;
    cli.options.pinTest = 1;
    return WithSession(cli, [&](CliSession& s) {
        s.host.waitForEnter = !cli.noWait;
        DownloadConfiguration(s.ctx());
        return s.ctx().programmer ? kExitFailed : kExitDone; // no pins to walk
    });
}

} // namespace kelvo
