// What the user does on the option pages, with real widgets: what each page
// shows and what it takes back into the image.
#include "FlowTestSupport.h"
#include "PageBench.h"

#include "ops/Presets.h"
#include "settings/Validation.h"
#include "ui/UpDownControl.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace kelvo {
namespace {

constexpr auto kSwitch = CollectVariant::SwitchPage;
constexpr auto kCurrent = CollectVariant::CollectCurrentPage;

// What a control shows: a list's text ("<none>" without a selection), an
// edit's text, a radio's check.
std::string Shown(QWidget* w) {
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentIndex() < 0 ? "<none>" : c->currentText().toStdString();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text().toStdString();
    if (auto* r = qobject_cast<QRadioButton*>(w))
        return r->isChecked() ? "on" : "off";
    return "?";
}

void ClickArrow(UpDownControl* spin, int direction) {
    const QRect r = spin->rect();
    LeftClick(spin, {r.center().x(), direction > 0 ? r.top() + 2 : r.bottom() - 2});
}

struct ShownCase {
    int page;
    int id;
    const char* shown;
};

TEST(PageFill, EveryControlShowsItsEntry) {
    const ShownCase cases[] = {
        {kPageFiring, 1029, "Full Auto"},
        {kPageFiring, 1030, "15 bps"},
        {kPageFiring, 1032, "09 bps"},
        {kPageFiring, 1042, "off"},
        {kPageFiring, 1043, "on"},
        {kPageFiring, 1001, "7.5"},
        {kPageFiring, 1002, "12"},
        {kPageFiring, 1083, "3"},
        {kPageFiring, 1087, "7"},
        {kPageClosedBolt, 1013, "5"},
        {kPageClosedBolt, 1014, "17"},
        {kPageClosedBolt, 1015, "44"},
        {kPageClosedBolt, 1016, "29"},
        {kPageEye, 1038, "off"},
        {kPageEye, 1040, "on"},
        {kPageEye, 1003, "5"},
        {kPageEye, 1076, "8"},
        {kPageEye, 1080, "Eye Monitored, VARNE Off, Fire After Timer"},
        {kPageEye, 1077, "13"},
        {kPageTimer, 1048, "on"},
        {kPageTimer, 1049, "off"},
        {kPageTimer, 1031, "Button 1 or Fire Only"},
        {kPageTimer, 1004, "05"},
        {kPageTimer, 1012, "35"},
        {kPageLcdDisplay, 1021, "ROF Setting"},
        {kPageLcdDisplay, 1022, "Blank (Empty)"},
        {kPageLcdDisplay, 1023, "Firing Mode"},
        {kPageLcdDisplay, 1024, "Timer"},
        {kPagePower, 1014, "90"},
        {kPageDialogMode, 1058, "on"},
        {kPageDialogMode, 1059, "off"},
    };
    PageBench b;
    for (const ShownCase& c : cases) {
        b.Show(c.page);
        EXPECT_EQ(Shown(b.Control(c.page, c.id)), c.shown) << "page " << c.page << " id " << c.id;
    }
}

// Shown and collected untouched, a page gives back every byte, also the
// ones it shows blank or not at all.
TEST(PageCollect, EveryPageGivesBackWhatItShowed) {
    BoardSettingsImage unset{};
    unset.fill(Unset);
    for (const BoardSettingsImage& image : {DistinctBoardImage(), unset}) {
        for (const CollectVariant variant : {kSwitch, kCurrent}) {
            for (const int mode : {0, 1}) {
                PageBench b("Quarle", mode);
                b.state.settingsImage = image;
                for (int page = 0; page < 9; ++page) {
                    b.Show(page);
                    QApplication::processEvents();
                    b.Page(page).Collect(variant);
                    EXPECT_EQ(b.state.settingsImage, image) << "page " << page << " mode " << mode;
                }
                EXPECT_EQ(b.state.boardInfo.dialogMode, mode);
            }
        }
    }
}

struct SpinCase {
    int page;
    int spin;
    int edit;
    std::size_t entry;
    std::int32_t stored;
    int direction;
    const char* shown;
    std::int32_t collected;
};

TEST(PageSpins, EachSpinStepsWrapsAndCollects) {
    const SpinCase cases[] = {
        {kPageFiring, 1036, 1001, entry::dwell, 37, +1, "2.5", 5}, // 18.5 wraps to 2.5
        {kPageFiring, 1036, 1001, entry::dwell, 5, -1, "18.5", 37},
        {kPageFiring, 1036, 1001, entry::dwell, 14, +1, "7.5", 15},
        {kPageFiring, 1037, 1002, entry::debounce, 30, +1, "1", 1},
        {kPageFiring, 1085, 1083, entry::absDwell, 10, +1, "0", 0},
        {kPageFiring, 1089, 1087, entry::mechanicalDebounce, 0, -1, "15", 15},
        {kPageFiring, 1089, 1087, entry::mechanicalDebounce, Unset, +1, "1", 1},
        // A value beyond the range (from a file) does not parse: the spin
        // steps from the position the fill clamped it to.
        {kPageFiring, 1089, 1087, entry::mechanicalDebounce, 20, +1, "0", 0},
        {kPageFiring, 1037, 1002, entry::debounce, 40, -1, "29", 29},
        {kPageFiring, 1085, 1083, entry::absDwell, 11, -1, "9", 9},
        {kPageClosedBolt, 1039, 1013, entry::boltDelayOffset, 14, +1, "0", 0},
        {kPageClosedBolt, 1046, 1014, entry::asDelay, 0, -1, "30", 30},
        {kPageClosedBolt, 1047, 1015, entry::minBoltOpen, 60, +1, "0", 0},
        {kPageClosedBolt, 1048, 1016, entry::ebMinBoltOpen, 0, -1, "60", 60},
        {kPageEye, 1041, 1003, entry::afterEyeDelay, 14, +1, "0", 1}, // 13 ms wraps to 0 ms
        {kPageEye, 1048, 1076, entry::eyeSensitivity, 250, +1, "2", 2},
        {kPageEye, 1049, 1077, entry::boltTimerWait, 20, -1, "40", 60},
        {kPageTimer, 1057, 1012, entry::timerSecondsFives, 0, -1, "55", 11},
        {kPageTimer, 1057, 1012, entry::timerSecondsFives, 11, +1, "00", 0},
        {kPageTimer, 1057, 1012, entry::timerSecondsFives, 1, +1, "10", 2},
        {kPagePower, 1039, 1014, entry::powersaveMinutes, 250, +1, "1", 1},
        {kPagePower, 1039, 1014, entry::powersaveMinutes, 1, -1, "250", 250},
    };
    for (const SpinCase& c : cases) {
        PageBench b;
        b.state.settingsImage[entry::eyeMode] = 0; // the wait field is enabled
        b.state.settingsImage[c.entry] = c.stored;
        b.Show(c.page);
        ClickArrow(b.Control<UpDownControl>(c.page, c.spin), c.direction);
        const std::string what = "spin " + std::to_string(c.spin) + " from " +
                                 std::to_string(c.stored) + " by " + std::to_string(c.direction);
        EXPECT_EQ(Shown(b.Control(c.page, c.edit)), c.shown) << what;
        b.Page(c.page).Collect(kSwitch);
        EXPECT_EQ(b.state.settingsImage[c.entry], c.collected) << what;
    }
}

std::vector<std::string> WalkMinutes(PageBench& b, int direction, int clicks) {
    std::vector<std::string> shown;
    for (int i = 0; i < clicks; ++i) {
        ClickArrow(b.Control<UpDownControl>(kPageTimer, 1056), direction);
        shown.push_back(Shown(b.Control(kPageTimer, 1004)));
    }
    return shown;
}

TEST(PageSpins, MinutesWalkTheTimerTableBothWays) {
    PageBench b;
    b.state.settingsImage[entry::timerMinutesCode] = 0; // "01"
    b.Show(kPageTimer);
    EXPECT_EQ(WalkMinutes(b, -1, 9),
              (std::vector<std::string>{"15", "12", "10", "07", "05", "03", "02", "01", "15"}));
    EXPECT_EQ(WalkMinutes(b, +1, 9),
              (std::vector<std::string>{"01", "02", "03", "05", "07", "10", "12", "15", "01"}));
    b.Page(kPageTimer).Collect(kSwitch);
    EXPECT_EQ(b.state.settingsImage[entry::timerMinutesCode], 0);
}

TEST(PageSpins, MinutesFirstStepFromAFilledValueAndMemoryAcrossShowings) {
    PageBench b;
    b.state.settingsImage[entry::timerMinutesCode] = 3; // "05", nothing mapped yet
    b.Show(kPageTimer);
    EXPECT_EQ(WalkMinutes(b, -1, 2), (std::vector<std::string>{"05", "03"}));

    // A fresh page object going down from 15 stays at 15 once; the page
    // that has mapped before remembers its last value across showings.
    b.state.settingsImage[entry::timerMinutesCode] = 7; // "15"
    b.Show(kPageTimer);
    EXPECT_EQ(WalkMinutes(b, -1, 1), (std::vector<std::string>{"12"}));
    PageBench fresh;
    fresh.state.settingsImage[entry::timerMinutesCode] = 7;
    fresh.Show(kPageTimer);
    EXPECT_EQ(WalkMinutes(fresh, -1, 2), (std::vector<std::string>{"15", "12"}));
}

TEST(EyePage, PickingAnEyeModeSwitchesTheBoltTimerWaitControls) {
    PageBench b; // an eye-monitored mode: the fill disables the wait field
    b.Show(kPageEye);
    auto* list = b.Control<QComboBox>(kPageEye, 1080);
    const auto waitEnabled = [&b] {
        std::vector<bool> enabled;
        for (const int id : {1077, 1049, 1081, 1046})
            enabled.push_back(b.Control(kPageEye, id)->isEnabled());
        return enabled;
    };
    EXPECT_EQ(waitEnabled(), std::vector<bool>(4, false));
    for (int position = 0; position < list->count(); ++position) {
        PickItem(list, position);
        EXPECT_EQ(list->currentIndex(), position);
        EXPECT_EQ(waitEnabled(), std::vector<bool>(4, position < 3)) << position;
    }
    PickItem(list, 1);
    b.Page(kPageEye).Collect(kSwitch);
    EXPECT_EQ(b.state.settingsImage[entry::eyeMode], 1);
}

TEST(PageLists, EveryListOffersItsTextsInOrder) {
    using Texts = std::vector<std::string>;
    const Texts rof = {"Unlimited", "22 bps", "20 bps", "19 bps", "18 bps", "17 bps",
                       "16 bps",    "15 bps", "14 bps", "13 bps", "12 bps", "11 bps",
                       "10 bps",    "09 bps", "08 bps", "06 bps"};
    const Texts sections = {"Timer",           "Shot Count",   "ROF Setting", "ROF Achieved",
                            "Firing Mode",     "Dwell",        "Eye Status",  "Version",
                            "Battery Voltage", "Blank (Empty)"};
    struct ListCase {
        int page, id;
        Texts texts;
    };
    const std::vector<ListCase> cases = {
        {kPageFiring,
         1029,
         {"Semi Auto", "Turbo", "Autoresponse", "Full Auto", "PSP Ramping", "NXL Ramping",
          "Snapshot Trainer"}},
        {kPageFiring, 1030, rof},
        {kPageFiring, 1032, Texts(rof.begin() + 2, rof.end())},
        {kPageEye,
         1080,
         {"Bolt Timer, VARNE Off, Drop Shot After Timer", "Bolt Timer, VARNE Off, Fire After Timer",
          "Bolt Timer, VARNE On, Drop Shot After Timer",
          "Eye Monitored, VARNE Off, Drop Shot After Timer",
          "Eye Monitored, VARNE Off, Fire After Timer",
          "Eye Monitored, VARNE On, Drop Shot After Timer"}},
        {kPageTimer, 1031, {"Button 1 Only", "Button 1 or Fire Only", "Turnon, B1, or Fire"}},
        {kPageLcdDisplay, 1021, sections},
        {kPageLcdDisplay, 1022, sections},
        {kPageLcdDisplay, 1023, sections},
        {kPageLcdDisplay, 1024, sections},
    };
    PageBench b;
    for (const ListCase& c : cases) {
        b.Show(c.page);
        auto* list = b.Control<QComboBox>(c.page, c.id);
        Texts shown;
        for (int i = 0; i < list->count(); ++i)
            shown.push_back(list->itemText(i).toStdString());
        EXPECT_EQ(shown, c.texts) << c.id;
    }
}

TEST(EyePage, EyeModeListIsSortedAndNeverTakesTypedText) {
    PageBench b;
    b.Show(kPageEye);
    auto* list = b.Control<QComboBox>(kPageEye, 1080);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    QStringList sorted = items;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(items, sorted);

    // Text that names no item is put back; a whole item name selects it.
    const auto type = [list](const char* text) {
        list->lineEdit()->selectAll();
        QTest::keyClicks(list->lineEdit(), text);
        QTest::keyClick(list->lineEdit(), Qt::Key_Return);
    };
    type("Semi Auto");
    EXPECT_EQ(list->count(), 6);
    EXPECT_EQ(list->currentIndex(), 4);
    EXPECT_EQ(list->currentText(), list->itemText(4));
    type("bolt timer, varne on, drop shot after timer");
    EXPECT_EQ(list->count(), 6);
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_TRUE(b.Control(kPageEye, 1077)->isEnabled());
}

TEST(EyePage, BypassThenDelayLeavesTheDelayAtZero) {
    PageBench b;
    b.state.settingsImage[entry::afterEyeDelay] = 0; // bypassed
    b.Show(kPageEye);
    auto* edit = b.Control<QLineEdit>(kPageEye, 1003);
    auto* spin = b.Control<UpDownControl>(kPageEye, 1041);
    const auto delayShown = [&b, edit] {
        std::string shown = Shown(b.Control(kPageEye, 1038)) + " \"" + Shown(edit) + "\"";
        for (const int id : {1003, 1041, 1045})
            shown += b.Control(kPageEye, id)->isEnabled() ? " on" : " off";
        b.Page(kPageEye).Collect(kSwitch);
        const BoardSettingsImage& image = b.state.settingsImage;
        return shown + " -> " + std::to_string(image[entry::afterEyeDelay]) + "/" +
               std::to_string(image[entry::eyeBypass]);
    };
    // Looked at, even a flag that disagrees with the delay stays.
    EXPECT_EQ(delayShown(), "on \"\" off off off -> 0/0");
    LeftClick(b.Control(kPageEye, 1040));
    EXPECT_EQ(delayShown(), "off \"0\" on on on -> 1/0");
    ClickArrow(spin, +1);
    LeftClick(b.Control(kPageEye, 1038));
    EXPECT_EQ(delayShown(), "on \"\" off off off -> 0/1");
    LeftClick(b.Control(kPageEye, 1040));
    EXPECT_EQ(delayShown(), "off \"0\" on on on -> 1/0");
    // Clicking Delay again keeps what the spin made of it.
    ClickArrow(spin, +1);
    LeftClick(b.Control(kPageEye, 1040));
    EXPECT_EQ(delayShown(), "off \"1\" on on on -> 2/0");
}

TEST(EyePage, EyeSensitivityShowsOnlyForItsBoardsInOpenBoltMode) {
    const struct {
        const char* board;
        int mode;
        bool visible;
    } cases[] = {{"Quarle", 0, true},   {"Tovar", 0, true},    {"Murrel", 0, true},
                 {"Halcyra", 0, false}, {"Unknown", 0, false}, {"Quarle", 1, false}};
    for (const auto& c : cases) {
        PageBench b(c.board, c.mode);
        QWidget* page = b.Show(kPageEye);
        for (const int id : {1075, 1076, 1048})
            EXPECT_EQ(FindControl(page, id)->isVisibleTo(page), c.visible)
                << c.board << " mode " << c.mode << " id " << id;
    }
}

TEST(EyePage, ClosedBoltPageOnScreenStillPassesValidation) {
    PageBench b("Halcyra", 1);
    b.Show(kPageEye);
    EXPECT_EQ(b.Control<QComboBox>(kPageEye, 1080)->currentIndex(), -1);
    EXPECT_EQ(Shown(b.Control(kPageEye, 1077)), "");
    b.Page(kPageEye).Collect(kCurrent);
    EXPECT_EQ(b.state.settingsImage, DistinctBoardImage()); // the unfilled fields keep theirs
    EXPECT_TRUE(ValidateSettings(b.state.settingsImage, 1, "Halcyra"));
}

std::vector<std::string> TreeTexts(QTreeWidget* tree) {
    std::vector<std::string> out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        out.push_back(tree->topLevelItem(i)->text(0).toStdString());
    return out;
}

std::int64_t CheckedMask(QTreeWidget* tree) {
    std::int64_t mask = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->checkState(0) == Qt::Checked)
            mask |= std::int64_t{1} << tree->topLevelItem(i)->data(0, Qt::UserRole).toInt();
    return mask;
}

TEST(LcdMenuPage, SixteenOrNineteenCheckableItemsCheckedFromTheMask) {
    for (const int mode : {0, 1}) {
        PageBench b("Quarle", mode);
        b.Show(kPageLcdMenu);
        auto* tree = b.Control<QTreeWidget>(kPageLcdMenu, 1063);
        const std::size_t count = mode == 1 ? 19 : 16;
        std::vector<std::string> texts = {
            "Firing Mode",       "Rate Of Fire",    "Solenoid Dwell",  "Debounce Mult",
            "After-Eye Delay",   "Timer Mode",      "Timer Start",     "Timer Minutes",
            "Timer Seconds",     "LCD Section 1",   "LCD Section 1B",  "LCD Section 2",
            "LCD Section 2B",    "Eye Timing Mode", "Operation Mode",  "V.A.R.N.E. Mode",
            "Bolt Delay Offset", "Min Bolt Open",   "After-Shot Delay"};
        texts.resize(count);
        EXPECT_EQ(TreeTexts(tree), texts);
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = tree->topLevelItem(i);
            EXPECT_TRUE(item->flags() & Qt::ItemIsUserCheckable) << i;
            EXPECT_TRUE(item->data(0, Qt::CheckStateRole).isValid()) << i; // shows a box
            EXPECT_EQ(item->data(0, Qt::UserRole).toInt(), i);
        }
        QApplication::processEvents(); // the checks come after the tree is set up
        EXPECT_EQ(CheckedMask(tree), mode == 1 ? 0x53CA5 : 0x3CA5) << mode;
    }
}

TEST(LcdMenuPage, TheUserTogglesAnItemWithTheKeyboardAndItIsCollected) {
    PageBench b("Quarle", 1);
    b.Show(kPageLcdMenu);
    QApplication::processEvents();
    auto* tree = b.Control<QTreeWidget>(kPageLcdMenu, 1063);
    for (const int row :
         {1, 17, 18}) { // "Rate Of Fire" and "Min Bolt Open" on, "After-Shot Delay" off
        QTreeWidgetItem* item = tree->topLevelItem(row);
        tree->scrollToItem(item);
        LeftClick(tree->viewport(), tree->visualItemRect(item).center());
        QTest::keyClick(tree, Qt::Key_Space);
    }
    b.Page(kPageLcdMenu).Collect(kSwitch);
    EXPECT_EQ(b.state.settingsImage[entry::lcdMenuMask0], 0xA7);
    EXPECT_EQ(b.state.settingsImage[entry::lcdMenuMask1], 0x3C);
    EXPECT_EQ(b.state.settingsImage[entry::lcdMenuMask2], 0x03);
}

TEST(LcdMenuPage, CollectedBeforeTheChecksArriveItKeepsTheMask) {
    PageBench b("Quarle", 1);
    const BoardSettingsImage before = b.state.settingsImage;
    b.Show(kPageLcdMenu);
    b.Page(kPageLcdMenu).Collect(kSwitch); // no event processed since the page was built
    EXPECT_EQ(b.state.settingsImage, before);
    // The posted call, when it comes, changes nothing more.
    QApplication::processEvents();
    EXPECT_EQ(CheckedMask(b.Control<QTreeWidget>(kPageLcdMenu, 1063)), 0x53CA5);
}

TEST(PresetsPage, EachRadioLoadsItsPresetAndNoneIsCheckedWhenShownAgain) {
    const std::pair<int, Preset> radios[] = {{1052, Preset::Conservative},
                                             {1053, Preset::Normal},
                                             {1054, Preset::Fast},
                                             {1055, Preset::Extreme}};
    for (const auto& [id, preset] : radios) {
        PageBench b("Halcyra", 1);
        BoardSettingsImage expected = b.state.settingsImage;
        ApplyPreset(preset, expected, b.state.boardInfo);
        b.Show(kPagePresets);
        LeftClick(b.Control(kPagePresets, id));
        EXPECT_EQ(b.state.settingsImage, expected) << id;
        EXPECT_EQ(Shown(b.Control(kPagePresets, id)), "on");

        b.Show(kPageFiring); // the other pages show the preset
        EXPECT_EQ(Shown(b.Control(kPageFiring, 1001)), "2.5");
        b.Show(kPagePresets);
        for (const int radio : {1052, 1053, 1054, 1055})
            EXPECT_EQ(Shown(b.Control(kPagePresets, radio)), "off") << radio;
    }
}

TEST(PresetsPage, FactoryDefaultsRunsTheFlowOnTheBoard) {
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        PageBench b;
        NewSimBoard made;
        made.boardTypeCode = 3;
        FlowBench board(MakeNewSimBoard(made));
        board.host.answers.push_back(answer);
        b.runFlow = [&](const std::function<void(FlowContext&)>& flow) {
            FlowContext ctx{b.state, board.host, board.board, board.board};
            flow(ctx);
        };
        const BoardSettingsImage before = b.state.settingsImage;
        b.Show(kPagePresets);
        LeftClick(b.Control(kPagePresets, 1077));
        EXPECT_EQ(b.flowRuns, 1);
        ASSERT_FALSE(board.host.Captions().empty());
        EXPECT_EQ(board.host.Captions().front(), "Confirm Factory Reset");
        if (answer == MessageAnswer::No) {
            EXPECT_EQ(b.state.settingsImage, before);
        } else {
            for (std::size_t i = 1; i < kImageEntries; ++i)
                EXPECT_EQ(b.state.settingsImage[i], board.BoardEntry(i)) << i;
            EXPECT_NE(b.state.settingsImage, before);
        }
    }
}

TEST(DialogModePage, ChoiceTakesEffectWhenThePageIsCollected) {
    PageBench b("Quarle", 0);
    b.Show(kPageDialogMode);
    LeftClick(b.Control(kPageDialogMode, 1059));
    EXPECT_EQ(b.state.boardInfo.dialogMode, 0); // clicking does nothing at once
    b.Page(kPageDialogMode).Collect(kSwitch);
    EXPECT_EQ(b.state.boardInfo.dialogMode, 1);

    // The other pages show the closed-bolt set when next created.
    b.Show(kPageLcdMenu);
    EXPECT_EQ(b.Control<QTreeWidget>(kPageLcdMenu, 1063)->topLevelItemCount(), 19);
    QWidget* eye = b.Show(kPageEye);
    EXPECT_FALSE(FindControl(eye, 1076)->isVisibleTo(eye));

    b.state.boardInfo.dialogMode = 7; // anything but 1 is the open-bolt set
    b.Show(kPageDialogMode);
    EXPECT_EQ(Shown(b.Control(kPageDialogMode, 1058)), "on");
    b.Page(kPageDialogMode).Collect(kCurrent);
    EXPECT_EQ(b.state.boardInfo.dialogMode, 0);
}

} // namespace
} // namespace kelvo
