// The jobs a person does in the desktop program, with the real option pages.
#include "MainWindowFixture.h"
#include "PageBench.h"
#include "files/SettingsFile.h"
#include "ops/BoardTypes.h"
#include "ops/FirmwareImageHex.h"
#include "ui/OptionPages.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTreeWidget>
#include <QWheelEvent>

#include <fstream>
#include <sstream>

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
    // The start-up download and the reset: two attempts each, two writes.
    EXPECT_EQ(script.progressWindows, 2 + 4);
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
    // The two start-up searches only: two attempts on the board, four on none.
    EXPECT_EQ(script.progressWindows, 2 + 4);
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

// Bytes a board or file brings. Set 0 is the factory block with the bytes
// that pages once rewrote when only looked at: menu bits 16..18, a
// mechanical debounce above its spin, an eye-monitored mode over a wait of
// 45 ms. Set 1 puts every page entry at an edge or outside what its control
// offers, as old firmware or another program may leave it.
BoardSettingsImage Bytes(int code, int set, int halcyraMode) {
    BoardSettingsImage b = ValidBoardSettings(code, 3, 10);
    b[entry::halcyraMode] = halcyraMode;
    b[entry::mechanicalDebounce] = 30;
    b[entry::boltTimerWait] = 45;
    if (set == 1) {
        const std::pair<std::size_t, std::int32_t> odd[] = {{entry::firingMode, 9},
                                                            {entry::rofPeriod, 60},
                                                            {entry::dwell, 4},
                                                            {entry::debounce, 0},
                                                            {entry::afterEyeDelay, 0},
                                                            {entry::eyeBypass, 0},
                                                            {entry::timerMode, 0},
                                                            {entry::timerStart, 7},
                                                            {entry::timerMinutesCode, 9},
                                                            {entry::timerSecondsFives, 40},
                                                            {entry::lcdSection1, 12},
                                                            {entry::lcdSection2B, 255},
                                                            {entry::eyeMode, 1},
                                                            {entry::operationMode, 1},
                                                            {entry::boltDelayOffset, 255},
                                                            {entry::minBoltOpen, 255},
                                                            {entry::asDelay, 255},
                                                            {entry::ebMinBoltOpen, 255},
                                                            {entry::aeBypassRofPeriod, 1},
                                                            {entry::lcdMenuMask0, 0},
                                                            {entry::lcdMenuMask2, 0xFA},
                                                            {entry::powersaveMinutes, 0},
                                                            {entry::eyeSensitivity, 0},
                                                            {entry::absDwell, 200},
                                                            {entry::boltTimerWait, 0}};
        for (const auto& [e, value] : odd)
            b[e] = value;
    }
    return b;
}

std::string FileText(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Looking is not editing: whatever a board or a file holds, for every board
// code from 0 to 11 (one test each, codes the board table lacks included)
// in both display modes, clicking through the pages in any order and writing
// back gives exactly the bytes that came in.
class DesktopJobsPerBoard : public DesktopJobsTest, public ::testing::WithParamInterface<int> {};

TEST_P(DesktopJobsPerBoard, VisitingPagesWritesBackExactlyTheBytesThatCameIn) {
    const int code = GetParam();
    const bool known = LookUpBoardType(code).has_value();
    const bool halcyra = known && LookUpBoardType(code)->dialogModeFromBoard;
    for (const int mode : {0, 1}) {
        for (const int set : {0, 1}) {
            const std::string where = "board " + std::to_string(code) + " mode " +
                                      std::to_string(mode) + " set " + std::to_string(set);
            const BoardSettingsImage bytes = Bytes(code, set, halcyra ? mode : 0);
            if (!known)
                script.Press("New Firmware Required");
            OpenWithPages(BoardWithSettings(halcyra ? Family::Mcs51 : Family::Avr, bytes));
            if (mode == 1 && !halcyra) { // the Dialog Mode page's choice
                state.boardInfo.dialogMode = 1;
                window->host().ReloadPageOnScreen();
            }
            std::vector<QString> entries;
            for (const auto& [text, page] : ListEntries())
                entries.push_back(QString::fromStdString(text));
            std::vector<QString> backwards(entries.rbegin(), entries.rend());
            std::vector<QString> toEye = entries;
            toEye.push_back("Eye Options");
            const std::vector<QString> orders[] = {entries, backwards, toEye};

            const std::filesystem::path opened = directory / "in.esf";
            BoardSettingsImage inFile = bytes;
            inFile[entry::boltTimerWait] = Unset; // a file may lack a key
            ASSERT_TRUE(SaveSettingsFile(opened, inFile, mode));
            for (const auto& order : orders) {
                for (const QString& page : order)
                    ShowPage(page);
                Click(1008);
                for (std::size_t e = halcyra ? 1 : 0; e < kImageEntries; ++e)
                    EXPECT_EQ(board->Entry(e), bytes[e]) << where << " entry " << e;

                script.Choose("Open", opened.string());
                Click(1044);
                for (const QString& page : order)
                    ShowPage(page);
                const std::filesystem::path saved = directory / "out.esf";
                std::filesystem::remove(saved);
                script.Choose("Save As", saved.string());
                Click(1009);
                EXPECT_EQ(FileText(saved), FileText(opened)) << where;
                state.settingsImage = bytes; // back to the board's bytes
                window->host().ReloadPageOnScreen();
            }
            EXPECT_TRUE(script.Done()) << where;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BoardTypes, DesktopJobsPerBoard, ::testing::Range(0, 12));

// One edit through one control changes its own entry on the board, and the
// entries the page derives from it (the bypass flag from the bypass
// choice), nothing else.
TEST_F(DesktopJobsTest, EachEditChangesOnlyItsOwnEntries) {
    enum Action { kSpinUp, kNextItem, kClick, kCheck };
    const struct {
        int code, mode;
        const char* page;
        int id;
        Action action;
        std::vector<std::size_t> changed;
    } cases[] = {
        {1, 0, "Firing Options", 1029, kNextItem, {entry::firingMode}},
        {1, 0, "Firing Options", 1030, kNextItem, {entry::rofPeriod}},
        {1, 0, "Firing Options", 1032, kNextItem, {entry::aeBypassRofPeriod}},
        {1, 0, "Firing Options", 1043, kClick, {entry::operationMode}},
        {1, 0, "Firing Options", 1037, kSpinUp, {entry::debounce}},
        {1, 0, "Firing Options", 1036, kSpinUp, {entry::dwell}},
        {1, 0, "Firing Options", 1085, kSpinUp, {entry::absDwell}},
        {1, 0, "Firing Options", 1089, kSpinUp, {entry::mechanicalDebounce}},
        {2, 1, "Closed Bolt Options", 1039, kSpinUp, {entry::boltDelayOffset}},
        {2, 1, "Closed Bolt Options", 1046, kSpinUp, {entry::asDelay}},
        {6, 0, "Closed Bolt Options", 1047, kSpinUp, {entry::minBoltOpen}},
        {6, 0, "Closed Bolt Options", 1048, kSpinUp, {entry::ebMinBoltOpen}},
        {4, 0, "Eye Options", 1038, kClick, {entry::afterEyeDelay, entry::eyeBypass}},
        {2, 1, "Eye Options", 1041, kSpinUp, {entry::afterEyeDelay}},
        {4, 0, "Eye Options", 1080, kNextItem, {entry::eyeMode}},
        {2, 1, "Eye Options", 1080, kNextItem, {entry::eyeMode}},
        {4, 0, "Eye Options", 1049, kSpinUp, {entry::boltTimerWait}},
        {2, 1, "Eye Options", 1049, kSpinUp, {entry::boltTimerWait}},
        {4, 0, "Eye Options", 1048, kSpinUp, {entry::eyeSensitivity}},
        {0, 0, "Timer Options", 1049, kClick, {entry::timerMode}},
        {0, 0, "Timer Options", 1031, kNextItem, {entry::timerStart}},
        {0, 0, "Timer Options", 1056, kSpinUp, {entry::timerMinutesCode}},
        {0, 0, "Timer Options", 1057, kSpinUp, {entry::timerSecondsFives}},
        {10, 0, "LCD Display Options", 1021, kNextItem, {entry::lcdSection1}},
        {10, 0, "LCD Display Options", 1022, kNextItem, {entry::lcdSection1B}},
        {10, 0, "LCD Display Options", 1023, kNextItem, {entry::lcdSection2}},
        {10, 0, "LCD Display Options", 1024, kNextItem, {entry::lcdSection2B}},
        {1, 0, "LCD Menu Options", 0, kCheck, {entry::lcdMenuMask0}},
        {1, 0, "LCD Menu Options", 8, kCheck, {entry::lcdMenuMask1}},
        {1, 1, "LCD Menu Options", 16, kCheck, {entry::lcdMenuMask2}},
        {7, 0, "Power Options", 1039, kSpinUp, {entry::powersaveMinutes}},
    };
    for (const auto& c : cases) {
        const std::string where = std::string(c.page) + " " + std::to_string(c.id) + " board " +
                                  std::to_string(c.code) + " mode " + std::to_string(c.mode);
        const bool halcyra = c.code == 2;
        BoardSettingsImage bytes = Bytes(c.code, 0, halcyra ? c.mode : 0);
        bytes[entry::eyeMode] = 1; // a bolt-timer mode: the wait can be set
        OpenWithPages(BoardWithSettings(halcyra ? Family::Mcs51 : Family::Avr, bytes));
        if (c.mode == 1 && !halcyra) {
            state.boardInfo.dialogMode = 1;
            window->host().ReloadPageOnScreen();
        }
        ShowPage(c.page);
        QApplication::processEvents(); // the menu's checks arrive
        switch (c.action) {
        case kSpinUp:
            Spin(c.id, +1);
            break;
        case kNextItem: {
            auto* list = qobject_cast<QComboBox*>(FindControl(window.get(), c.id));
            ASSERT_NE(list, nullptr) << where;
            PickItem(list, (list->currentIndex() + 1) % list->count());
            break;
        }
        case kClick:
            Click(c.id);
            break;
        case kCheck: {
            auto* tree = qobject_cast<QTreeWidget*>(FindControl(window.get(), 1063));
            ASSERT_NE(tree, nullptr) << where;
            QTreeWidgetItem* item = tree->topLevelItem(c.id);
            ASSERT_NE(item, nullptr) << where;
            item->setCheckState(0,
                                item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            break;
        }
        }
        ShowPage("Presets"); // leaving the page takes the edit in
        Click(1008);
        for (std::size_t e = halcyra ? 1 : 0; e < kImageEntries; ++e) {
            const bool own = std::find(c.changed.begin(), c.changed.end(), e) != c.changed.end();
            EXPECT_EQ(board->Entry(e) != bytes[e], own) << where << " entry " << e;
        }
    }
}

} // namespace
} // namespace kelvo
