#include "app/SimConnection.h"

#include "files/InputFile.h"
#include "files/SafeWrite.h"
#include "link/FtdiIspBus.h"
#include "link/UsbaspBus.h"
#include "settings/Tables.h"
#include "sim/SimBoard.h"
#include "sim/SimFtdiDevice.h"
#include "sim/SimStateFile.h"
#include "sim/SimUsbasp.h"

#include <filesystem>
#include <utility>

namespace kelvo {

SimProgrammer::SimProgrammer(ProgrammerKind kind, SimBoard& board, std::string& error,
                             const FtdiPins& pins) {
    if (kind == ProgrammerKind::Usbasp) {
        usbasp_ = std::make_unique<SimUsbasp>(board, board, board.state().address);
        usbaspBus_ = std::make_unique<UsbaspBus>(*usbasp_, board);
    } else if (kind == ProgrammerKind::Ft232r) {
        auto device = std::make_unique<SimFtdiDevice>(board, FtdiChip::Ft232r, pins);
        SimFtdiDevice* ftdi = device.get();
        ftdiBus_ = MakeFtdiBus(std::move(device), board, pins, error);
        ftdi_ = ftdiBus_ ? ftdi : nullptr;
    }
}

SimProgrammer::~SimProgrammer() = default;

IspBus* SimProgrammer::bus() const {
    if (usbaspBus_)
        return usbaspBus_.get();
    return ftdiBus_.get();
}

std::uint64_t SimProgrammer::RoundTrips() const {
    return ftdi_ ? ftdi_->roundTrips() : usbaspBus_ ? usbaspBus_->programmer().roundTrips() : 0;
}

std::uint64_t SimProgrammer::BytesMoved() const {
    return ftdi_ ? ftdi_->bytesMoved() : usbaspBus_ ? usbaspBus_->programmer().bytesMoved() : 0;
}

void SimProgrammer::Unplug() {
    if (ftdi_)
        ftdi_->Unplug();
    if (usbasp_)
        usbasp_->UnplugAfter(0);
}

namespace {

// The board of one run. A board from a state file keeps the file locked
// from open to Close(), so no other run works on it meanwhile and a save
// never overwrites what another run wrote.
class SimConnection final : public BoardConnection {
public:
    SimConnection(SimBoardState state, std::unique_ptr<LockedFile> file,
                  const ProgrammerChoice& programmer, std::string& error)
        : board_(std::move(state)), file_(std::move(file)), fromFile_(file_ != nullptr),
          programmer_(programmer.kind, board_, error, programmer.pins) {}

    Port& port() override { return board_; }
    Clock& clock() override { return board_; }
    std::uint64_t BusTimeNs() override { return board_.nowNs(); }
    IspBus* programmer() override { return programmer_.bus(); }

    bool Save(std::string& error) override {
        if (!fromFile_)
            return true;
        if (!file_) {
            error = "the simulated board's file was closed already";
            return false;
        }
        board_.Settle(); // a write still running finishes, as on a powered board
        const FileResult written = file_->Replace(FormatSimState(board_.state()));
        if (!written)
            error = written.error;
        return written.ok;
    }

    bool Close(std::string& error) override {
        const bool saved = Save(error);
        file_.reset();
        return saved;
    }

private:
    SimBoard board_;
    std::unique_ptr<LockedFile> file_;
    const bool fromFile_;
    SimProgrammer programmer_;
};

// The board through the chosen simulated programmer; none, and why, when
// that programmer cannot be made.
std::unique_ptr<BoardConnection> Connect(SimBoardState state, std::unique_ptr<LockedFile> file,
                                         const ProgrammerChoice& programmer, std::string& error) {
    std::string why;
    auto connection =
        std::make_unique<SimConnection>(std::move(state), std::move(file), programmer, why);
    if (why.empty())
        return connection;
    error = why;
    return nullptr;
}

} // namespace

BoardSettingsImage FactorySettingsImage(const NewSimBoard& board) {
    BoardSettingsImage image{};
    image[entry::unused] = 0;
    image[entry::firingMode] = 0;                // "Semi Auto"
    image[entry::rofPeriod] = RofPeriodTable[7]; // 15 bps
    image[entry::dwell] = 15;                    // 7.5 ms
    image[entry::debounce] = 10;
    image[entry::afterEyeDelay] = 1;    // delay of 0 ms
    image[entry::timerMode] = 1;        // counts down
    image[entry::timerStart] = 2;       // "Button 1 Only"
    image[entry::timerMinutesCode] = 5; // 10 minutes
    image[entry::timerSecondsFives] = 0;
    image[entry::lcdSection1] = 0;
    image[entry::lcdSection1B] = 1;
    image[entry::lcdSection2] = 2;
    image[entry::lcdSection2B] = 8;
    image[entry::eyeMode] = 3;
    image[entry::eyeBypass] = 0;
    image[entry::operationMode] = 0;
    image[entry::boltDelayOffset] = 5;
    image[entry::minBoltOpen] = 20;
    image[entry::asDelay] = 10;
    image[entry::firmwareMajor] = board.firmwareMajor;
    image[entry::firmwareMinor] = board.firmwareMinor;
    image[entry::boardTypeCode] = board.boardTypeCode;
    image[entry::aeBypassRofPeriod] = RofPeriodTable[7];
    image[entry::lcdMenuMask0] = 0xFF;
    image[entry::lcdMenuMask1] = 0xFF;
    image[entry::lcdMenuMask2] = 0x07;
    image[entry::powersaveMinutes] = 30;
    image[entry::eyeSensitivity] = 50;
    image[entry::absDwell] = 0;
    image[entry::batteryFraction] = board.batteryFraction;
    image[entry::batteryVolts] = board.batteryVolts;
    image[entry::ebMinBoltOpen] = 20;
    image[entry::halcyraMode] = board.halcyraMode;
    image[entry::mechanicalDebounce] = 5;
    image[entry::boltTimerWait] = 30; // 10 ms wait
    image[entry::untouched] = 0;
    return image;
}

SimBoardState MakeSimBoardWithSettings(Family family, const BoardSettingsImage& settings) {
    SimBoardState state = MakeErasedSimBoard(family);
    // Entry 0 has no home on an 8051-family board: entry i sits at i - 1.
    const std::size_t first = family == Family::Avr ? 0 : 1;
    for (std::size_t i = first; i < kImageEntries; ++i)
        state.factorySettings.push_back(static_cast<std::uint8_t>(settings[i] & 0xFF));
    std::copy(state.factorySettings.begin(), state.factorySettings.end(), state.data.begin());
    const std::vector<std::uint8_t> firmware = SimIdleFirmware(family);
    std::copy(firmware.begin(), firmware.end(), state.code.begin());
    return state;
}

SimBoardState MakeNewSimBoard(const NewSimBoard& board) {
    return MakeSimBoardWithSettings(board.family, FactorySettingsImage(board));
}

std::unique_ptr<BoardConnection> OpenSimulatedConnection(const ConnectionRequest& request,
                                                         std::uint16_t /*portBase*/,
                                                         std::string& error) {
    if (!request.simFile)
        return Connect(MakeNewSimBoard(NewSimBoard{}), nullptr, request.programmer, error);
    const std::string& path = *request.simFile;
    SimBoardState state;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        LoadSimState(path, state, error); // its message says how to make one
        return nullptr;
    }
    FileResult locked;
    std::unique_ptr<LockedFile> file = LockedFile::Open(path, locked);
    if (!file) {
        error = locked.error;
        return nullptr;
    }
    if (!LoadSimState(path, state, error))
        return nullptr;
    return Connect(std::move(state), std::move(file), request.programmer, error);
}

bool LoadSimState(const std::string& path, SimBoardState& state, std::string& error) {
    // Two memories in hexadecimal come to some 40 KB.
    constexpr std::size_t kLimit = 1 << 20;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        error =
            path + ": no such file (make one with kelvo-cli sim-create " + path + " --family avr)";
        return false;
    }
    std::string why;
    const std::optional<std::string> text = ReadInputFile(path, kLimit, why);
    if (!text) {
        error = path + ": " + why;
        return false;
    }
    return ParseSimState(*text, path, state, error);
}

bool WriteSimStateFile(const std::string& path, const SimBoardState& state, std::string& error) {
    // Not replaced under a run that has the board open.
    const FileResult written = WriteFileReplacing(path, FormatSimState(state));
    if (!written)
        error = written.error;
    return written.ok;
}

} // namespace kelvo
