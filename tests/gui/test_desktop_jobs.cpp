// The jobs a person does in the desktop program, with the real option pages.
#include "MainWindowFixture.h"
#include "ops/FirmwareImageHex.h"
#include "ui/OptionPages.h"

#include <QScrollBar>
#include <QTreeWidget>
#include <QWheelEvent>

#include <fstream>

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
    // The start-up download and the reset: three reads each, two writes.
    EXPECT_EQ(script.progressWindows, 3 + 5);
}

// What cannot be undone is answered No by Enter: Yes must be chosen.
TEST_F(DesktopJobsTest, EnterAnswersNoWhereTheBoardWouldBeOverwritten) {
    const std::string file = (directory / "new.efw").string();
    std::ofstream(file) << FormatFirmwareImage(1, CutIntoRecords(std::vector<std::uint8_t>(64, 1)));
    const struct {
        const char* caption;
        bool boardAnswers;
        const char* page; // shown first, or none
        const char* fileDialog;
        int button;
    } cases[] = {
        {"Confirm Factory Reset", true, "Presets", nullptr, 1077},
        {"Board Not Checked", false, nullptr, "Open", 1011},
    };
    for (const auto& c : cases) {
        SimBoardState s = Fennick();
        s.faults.noBoard = !c.boardAnswers;
        if (!c.boardAnswers)
            script.Press("Board Read Failed");
        OpenWithPages(s);
        const SimBoardState before = board->board.state();
        const int flows = board->saves;
        if (c.page)
            ShowPage(c.page);
        if (c.fileDialog)
            script.Choose(c.fileDialog, file);
        script.Then(c.caption, [](QDialog& box) { QTest::keyClick(&box, Qt::Key_Return); });
        Click(c.button);
        EXPECT_TRUE(script.Done()) << c.caption;
        EXPECT_EQ(board->saves, flows + 1) << c.caption;
        EXPECT_EQ(board->board.state().data, before.data) << c.caption;
        EXPECT_EQ(board->board.state().code, before.code) << c.caption;
    }
    // The two start-up searches only: three reads of the board, four attempts.
    EXPECT_EQ(script.progressWindows, 3 + 4);
}

} // namespace
} // namespace kelvo

namespace kelvo {
namespace {

// Every item of the LCD menu (16, or 19 in closed-bolt mode) can be brought
// into view whole, and nothing of the tree is cut off by the frame around it.
TEST_F(DesktopJobsTest, EveryLcdMenuItemCanBeScrolledIntoView) {
    for (const int mode : {0, 1}) {
        OpenWithPages(Fennick());
        state.boardInfo.dialogMode = mode; // as a closed-bolt settings file leaves it
        ShowPage("LCD Menu Options");
        auto* tree = static_cast<QTreeWidget*>(FindControl(window.get(), 1063));
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(tree->topLevelItemCount(), mode == 1 ? 19 : 16);
        // No window around the tree cuts it off.
        QRect shownArea = tree->rect();
        for (QWidget* w = tree; w->parentWidget() && !w->isWindow(); w = w->parentWidget()) {
            shownArea.moveTopLeft(w->mapToParent(shownArea.topLeft()));
            EXPECT_TRUE(w->parentWidget()->rect().contains(shownArea))
                << mode << ": cut off by " << w->parentWidget()->metaObject()->className();
        }
        // The wheel scrolls it, as the keys and the scroll bar do.
        tree->scrollToTop();
        const QPointF at = tree->viewport()->rect().center();
        QWheelEvent wheel(at, tree->viewport()->mapToGlobal(at), {}, {0, -120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(tree->viewport(), &wheel);
        EXPECT_GT(tree->verticalScrollBar()->value(), 0) << mode;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            tree->scrollToItem(tree->topLevelItem(i));
            const QRect shown = tree->visualItemRect(tree->topLevelItem(i));
            EXPECT_TRUE(tree->viewport()->rect().contains(shown)) << mode << " item " << i;
        }
    }
}

} // namespace
} // namespace kelvo
