// kelvo, the desktop program.
#include "app/DesktopBoardAccess.h"
#include "app/DesktopCommandLine.h"
#include "app/UserFolder.h"
#include "app/Version.h"
#include "ui/Artwork.h"
#include "ui/CAboutDlg.h"
#include "ui/CKelvoAppDlg.h"
#include "ui/DesktopHelp.h"
#include "ui/ModalRun.h"

#include <QApplication>

#include <filesystem>
#include <iostream>
#include <memory>

namespace kelvo {

// The application: parses the command line, runs the main window modally
// and releases the process state when it closes.
class CKelvoAppApp {
public:
    explicit CKelvoAppApp(const DesktopCommandLine& commandLine) : commandLine_(commandLine) {}

    int InitInstance() {
        const DesktopCommandLine& commandLine = commandLine_;
        std::string error;
        auto state = std::make_unique<AppState>();
        state->runOptions = commandLine.options;
        state->recoveryFolder = RecoveryFolder(ProcessEnvironment).string();
        if (commandLine.boardTypeName)
            state->boardInfo.boardTypeName = *commandLine.boardTypeName;
        std::string ignored; // reported once already, at start-up
        const std::filesystem::path folder = UserFolder(ProcessEnvironment, ignored);
        DesktopBoardAccess board(commandLine.connection,
                                 folder.empty() ? folder : folder / kProgrammerSettingsFile);
        const bool simulated = commandLine.connection.driver == PortDriver::Simulated;
        // A simulated board is chosen on purpose: a file that does not load
        // is an error before any window opens. A real port that cannot be
        // opened is reported by the first flow that needs it.
        if (simulated) {
            if (!board.Prepare(state->link.portBase, error)) {
                std::cerr << "kelvo: " << error << "\n";
                ShowMessageBox(nullptr, error, "Kelvo", MessageIcon::Error, MessageButtons::Ok);
                return 1;
            }
            std::cerr << "kelvo: " << SimulatedBoardNotice(*commandLine.connection.simFile) << "\n";
        }
        // Help is looked for in the start directory, then where it is
        // installed, then beside the program.
        QtHelpDisplay display;
        DesktopHelp help(state->startDirectory,
                         {kHelpDataDir, QCoreApplication::applicationDirPath().toStdString()},
                         display);
        int exitCode = 0;
        {
            MainWindowOptions options;
            options.simulatedBoard = simulated;
            options.portOverride = RequestedPortBase(commandLine.connection);
            options.showAbout = [&](QWidget* parent) {
                const AboutInfo info{QString::fromLatin1(kVersion), QString::fromUtf8(kLicenceText),
                                     QString::fromUtf8(kWebsite),
                                     QString::fromStdString(help.ManualPath().string())};
                CAboutDlg about(info, help, display, parent);
                RunModal(about);
            };
            CKelvoAppDlg window(*state, board, help, options);
            window.exec();
        }
        if (!board.Close(error)) {
            std::cerr << "kelvo: " << error << "\n";
            exitCode = 1;
        }
        state.reset();
        return exitCode;
    }

private:
    const DesktopCommandLine& commandLine_;
};

} // namespace kelvo

int main(int argc, char** argv) {
    using namespace kelvo;
    // Read before Qt starts, so --help works without a display; Qt's own
    // options (-platform ...) are unknown parameters here and ignored.
    DesktopCommandLine commandLine;
    std::string error;
    // The programmer kept from the connection dialog; the command line wins.
    const std::filesystem::path userFolder = UserFolder(ProcessEnvironment, error);
    if (!userFolder.empty() && !LoadProgrammerSettings(userFolder / kProgrammerSettingsFile,
                                                       commandLine.connection.programmer, error))
        std::cerr << "kelvo: warning: " << error << "\n";
    error.clear();
    if (!ParseDesktopCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine,
                                 error)) {
        std::cerr << "kelvo: " << error << "\n" << DesktopUsage();
        return 2;
    }
    if (commandLine.showHelp || commandLine.showVersion) {
        std::cout << "kelvo " << kVersion << "\n";
        if (commandLine.showHelp)
            std::cout << DesktopUsage();
        return 0;
    }
    if (const auto missing =
            MissingDisplay(std::vector<std::string>(argv + 1, argv + argc), ProcessEnvironment)) {
        std::cerr << *missing << "\n";
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvo"));
    QApplication::setWindowIcon(KelvoIcon());
    // Before the main window records its start directory.
    if (commandLine.userFolder) {
        const std::filesystem::path folder = UserFolder(ProcessEnvironment, error);
        if (folder.empty() || !EnterFolder(folder, error)) {
            std::cerr << "kelvo: " << error << "\n";
            ShowMessageBox(nullptr, error, "Kelvo", MessageIcon::Error, MessageButtons::Ok);
            return 1;
        }
    }
    CKelvoAppApp theApp(commandLine);
    return theApp.InitInstance();
}
