// The jobs a person does in the desktop program, with the real option pages.
#include "MainWindowFixture.h"
#include "ui/OptionPages.h"

namespace kelvo {
namespace {

class DesktopJobsTest : public MainWindowTest {
protected:
    void OpenWithPages(SimBoardState boardState) {
        Open(std::move(boardState), {}, MakeOptionPages);
        WaitForFlows(1);
    }
    // A click on the upper (+1) or lower (-1) arrow of an up-down control.
    void Spin(int id, int direction) {
        QWidget* spin = FindControl(window.get(), id);
        ASSERT_NE(spin, nullptr) << id;
        QTest::mouseClick(
            spin, Qt::LeftButton, {},
            QPoint(spin->width() / 2, direction > 0 ? spin->height() / 4 : spin->height() * 3 / 4));
    }
    void ShowPage(const QString& entry) {
        const auto items = List()->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << entry.toStdString();
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          List()->visualItemRect(items[0]).center());
    }
};

TEST_F(DesktopJobsTest, EditedFiringPageIsUploadedToTheBoard) {
    OpenWithPages(Fennick());
    const BoardSettingsImage factory = ValidBoardSettings(1, 3, 10);
    EXPECT_EQ(TextOf(window.get(), 1002), QString::number(factory[entry::debounce]));
    Spin(1037, +1); // debounce
    Spin(1036, +1); // dwell, half-milliseconds
    EXPECT_EQ(TextOf(window.get(), 1002), QString::number(factory[entry::debounce] + 1));
    Click(1008);
    EXPECT_TRUE(script.Boxes().empty());
    EXPECT_EQ(board->Entry(entry::debounce), factory[entry::debounce] + 1);
    EXPECT_EQ(board->Entry(entry::dwell), factory[entry::dwell] + 1);
    EXPECT_EQ(board->Entry(entry::boardTypeCode), 1);
}

TEST_F(DesktopJobsTest, PresetFillsThePagesAndReachesTheBoardOnUpload) {
    OpenWithPages(Fennick());
    ShowPage("Presets");
    ASSERT_EQ(window->currentPage(), kPagePresets);
    Click(1055); // "Extreme"
    EXPECT_EQ(board->Entry(entry::debounce), ValidBoardSettings(1, 3, 10)[entry::debounce]);
    ShowPage("Firing Options");
    EXPECT_EQ(TextOf(window.get(), 1002), "10");
    EXPECT_EQ(TextOf(window.get(), 1001), "8.0"); // dwell 16 on every board but Halcyra
    Click(1008);
    EXPECT_EQ(board->Entry(entry::debounce), 10);
    EXPECT_EQ(board->Entry(entry::afterEyeDelay), 2);
    EXPECT_EQ(board->Entry(entry::minBoltOpen), 0);
}

TEST_F(DesktopJobsTest, FactoryDefaultsResetTheBoardAndTheNextPageShowsThem) {
    BoardSettingsImage changed = ValidBoardSettings(1, 3, 10);
    changed[entry::debounce] = 3;
    SimBoardState s = BoardWithSettings(Family::Avr, changed);
    s.factorySettings.assign(37, 0);
    const BoardSettingsImage factory = ValidBoardSettings(1, 3, 10);
    for (std::size_t i = 0; i < 37; ++i)
        s.factorySettings[i] = static_cast<std::uint8_t>(factory[i]);
    OpenWithPages(s);
    ShowPage("Presets");
    script.Press("Confirm Factory Reset", QMessageBox::Yes);
    Click(1077);
    EXPECT_EQ(script.Boxes(), (std::vector<std::string>{"Confirm Factory Reset"}));
    EXPECT_EQ(board->Entry(entry::debounce), factory[entry::debounce]);
    ShowPage("Firing Options");
    EXPECT_EQ(TextOf(window.get(), 1002), QString::number(factory[entry::debounce]));

    // Answering No changes nothing.
    ShowPage("Presets");
    script.Press("Confirm Factory Reset", QMessageBox::No);
    const int flows = board->saves;
    Click(1077);
    EXPECT_EQ(board->saves, flows + 1);
    // The start-up download and the reset: three reads each, two writes.
    EXPECT_EQ(script.progressWindows, 3 + 5);
}

} // namespace
} // namespace kelvo
