#pragma once

#include "GuiTestSupport.h"
#include "ProbePages.h"

#include <QListWidget>
#include <QPushButton>

#include <filesystem>
#include <memory>

namespace kelvo {

// One main window per test, in a fresh start directory (ConnSettings.dat
// and settings files go there), answered by a ModalScript.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        previousDirectory_ = std::filesystem::current_path();
        directory = std::filesystem::temp_directory_path() / "kelvo-gui-tests" /
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        std::filesystem::current_path(directory);
        state.recoveryFolder = (directory / "recovery").string();
    }
    ~MainWindowTest() override {
        window.reset();
        std::filesystem::current_path(previousDirectory_);
    }

    // A Fennick board (type 1, firmware 3.10, 9.4 volts) on the AVR part.
    static SimBoardState Fennick() {
        return BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10));
    }
    static SimBoardState NoBoard() {
        SimBoardState s = Fennick();
        s.faults.noBoard = true;
        return s;
    }

    // Opens the main window on `board` with the probe pages, or with the
    // real ones when `pages` is given.
    void Open(SimBoardState boardState, const MainWindowOptions& options = {},
              PageFactory pages = {}) {
        board = std::make_unique<SimBoardAccess>(std::move(boardState));
        if (!pages)
            pages = [this](PageEnvironment& env) { return MakeProbePages(env, probes); };
        window = std::make_unique<CKelvoAppDlg>(state, *board, help, options, pages);
        window->show();
    }
    // Waits until `flows` flows have run on the board and no window is modal.
    void WaitForFlows(int flows) {
        ASSERT_TRUE(SpinUntil([&] {
            return board->saves >= flows && QApplication::activeModalWidget() == nullptr;
        })) << "flows run: "
            << board->saves;
    }
    void Click(int controlId) {
        QWidget* control = FindControl(window.get(), controlId);
        ASSERT_NE(control, nullptr) << controlId;
        QTest::mouseClick(control, Qt::LeftButton);
    }
    QListWidget* List() const { return static_cast<QListWidget*>(FindControl(window.get(), 1065)); }
    std::vector<std::pair<std::string, int>> ListEntries() const {
        std::vector<std::pair<std::string, int>> out;
        for (int i = 0; i < List()->count(); ++i)
            out.emplace_back(List()->item(i)->text().toStdString(),
                             List()->item(i)->data(Qt::UserRole).toInt());
        return out;
    }
    std::vector<std::string> Panel() const {
        return {TextOf(window.get(), 1005).toStdString(), TextOf(window.get(), 1006).toStdString(),
                TextOf(window.get(), 1013).toStdString()};
    }
    ProbePage& Probe(int page) { return static_cast<ProbePage&>(window->page(page)); }

    std::filesystem::path directory;
    AppState state;
    RecordingHelp help;
    ModalScript script;
    ProbeLog probes;
    std::unique_ptr<SimBoardAccess> board;
    std::unique_ptr<CKelvoAppDlg> window;

private:
    std::filesystem::path previousDirectory_;
};

} // namespace kelvo
