#include "MainWindowFixture.h"
#include "ops/RawMemory.h"
#include "ui/DialogUnits.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QRegularExpression>

namespace kelvo {
namespace {

const std::vector<std::pair<std::string, int>> kAllEntries = {
    {"Firing Options", 0}, {"Closed Bolt Options", 1}, {"Eye Options", 2},
    {"Timer Options", 3},  {"LCD Display Options", 4}, {"LCD Menu Options", 5},
    {"Presets", 6},        {"Power Options", 7}};

TEST_F(MainWindowTest, StartUpReadsTheBoardThenShowsPageZeroInTheFrame) {
    state.boardInfo.boardTypeName = "Tovar"; // -boardtypeTovar
    Open(Fennick());
    EXPECT_EQ(Panel()[0], "Tovar"); // until the search replaces it
    EXPECT_EQ(window->windowTitle(), "Kelvo Application Version 3.0");
    WaitForFlows(1);

    EXPECT_EQ(Panel(), (std::vector<std::string>{"Fennick", "v3.10", "9.4 volts"}));
    // An AVR board: the 8051 attempt fails first, then the AVR read.
    EXPECT_EQ(script.progressWindows, 2);
    EXPECT_TRUE(script.Boxes().empty());
    EXPECT_EQ(ListEntries(), (std::vector<std::pair<std::string, int>>{{"Firing Options", 0},
                                                                       {"Eye Options", 2},
                                                                       {"Timer Options", 3},
                                                                       {"LCD Display Options", 4},
                                                                       {"LCD Menu Options", 5},
                                                                       {"Presets", 6}}));
    ASSERT_EQ(window->currentPage(), 0);
    EXPECT_EQ(state.currentPageNumber, 0);
    // Page 0 was shown from the first attempt's window, before the board was
    // read, then re-created from the image the download filled.
    EXPECT_EQ(probes.created, (std::vector<int>{0, 0}));
    EXPECT_TRUE(probes.collections.empty());
    EXPECT_EQ(Probe(0).edit()->text(),
              QString::number(ValidBoardSettings(1, 3, 10)[entry::debounce]));

    // The page sits in the frame at the margins, and the frame wraps it.
    QWidget* page = window->page(0).window();
    ASSERT_NE(page, nullptr);
    const QRect frame = FindControl(window.get(), 1066)->geometry();
    EXPECT_EQ(page->pos(), frame.topLeft() + QPoint(4, 15));
    EXPECT_EQ(frame.size(), page->size() + QSize(8, 21));
    EXPECT_TRUE(window->rect().contains(frame));
    // The first page marked the first entry; the download then rebuilt the
    // list, which leaves no mark and no selection.
    EXPECT_EQ(List()->currentRow(), -1);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    EXPECT_TRUE(FindControl(window.get(), 1008)->isEnabled());
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(FindControl(window.get(), 135)->property("pixmap").value<QPixmap>().isNull(), false);
}

TEST_F(MainWindowTest, EveryControlCarriesItsIdAndText) {
    state.runOptions.initProgramming = 1;
    Open(Fennick());
    const std::vector<std::pair<int, const char*>> buttons = {{1009, "Save Configuration"},
                                                              {1044, "Open Configuration"},
                                                              {1008, "Upload Configuration"},
                                                              {1007, "Download Configuration"},
                                                              {1011, "Update Firmware"},
                                                              {1010, "Connection..."},
                                                              {2, "Exit "}};
    for (const auto& [id, text] : buttons) {
        auto* b = qobject_cast<QPushButton*>(FindControl(window.get(), id));
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->text(), text);
        EXPECT_FALSE(b->autoDefault()) << text; // Enter presses nothing
    }
    auto* frame = qobject_cast<QGroupBox*>(FindControl(window.get(), 1066));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Options");
    std::vector<QString> labels;
    for (const QLabel* l : window->findChildren<QLabel*>())
        labels.push_back(l->text());
    for (const char* text : {"Board Type:", "Firmware Revision:", "Battery Voltage:", "Orrivane"})
        EXPECT_NE(std::find(labels.begin(), labels.end(), QString(text)), labels.end()) << text;
    std::vector<QString> groups;
    for (const QGroupBox* g : window->findChildren<QGroupBox*>())
        groups.push_back(g->title());
    EXPECT_NE(std::find(groups.begin(), groups.end(), QString("Board Information:")), groups.end());
    EXPECT_NE(qobject_cast<QListWidget*>(FindControl(window.get(), 1065)), nullptr);
    EXPECT_NE(qobject_cast<QLabel*>(FindControl(window.get(), 135)), nullptr);
}

TEST_F(MainWindowTest, RightClicksAskForEachControlsTopic) {
    Open(Fennick());
    WaitForFlows(1);
    struct TopicHelp final : HelpService {
        std::vector<std::pair<int, int>> asked; // control id, topic
        std::string file;
        void OpenHelpFile() override {}
        void ShowContextHelp(QWidget* control, const ContextHelpTable& table,
                             const QPoint&) override {
            file = table.topicFile;
            for (const ContextHelpPair& p : table.pairs)
                if (p.controlId == ControlIdOf(control))
                    asked.emplace_back(p.controlId, p.topic);
        }
    };
    // The window's own help table, through a window made with this service.
    TopicHelp topics;
    AppState other;
    other.runOptions.initProgramming = 1;
    CKelvoAppDlg second(other, *board, topics, {},
                        [this](PageEnvironment& env) { return MakeProbePages(env, probes); });
    const std::vector<std::pair<int, int>> expected = {{1009, 1}, {1044, 2}, {1008, 3}, {1007, 4},
                                                       {1010, 5}, {1011, 6}, {1065, 7}};
    for (const auto& [id, topic] : expected) {
        QWidget* control = FindControl(&second, id);
        ASSERT_NE(control, nullptr) << id;
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2),
                            control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &e);
    }
    EXPECT_EQ(topics.asked, expected);
    EXPECT_EQ(topics.file, "KelvoDialog.txt");
}

TEST_F(MainWindowTest, WithoutABoardTheSearchFailsOnceAndThePanelSaysUnknown) {
    Open(NoBoard());
    script.Press("Board Read Failed");
    WaitForFlows(1);
    EXPECT_EQ(script.progressWindows, 4);
    EXPECT_EQ(script.Boxes(), (std::vector<std::string>{"Board Read Failed"}));
    EXPECT_EQ(script.icons, (std::vector<QMessageBox::Icon>{QMessageBox::Warning}));
    EXPECT_EQ(Panel(), (std::vector<std::string>{"Unknown", "Unknown", "Unknown"}));
    EXPECT_EQ(window->currentPage(), 0);
    EXPECT_EQ(ListEntries(), kAllEntries);
    EXPECT_EQ(state.settingsImage[entry::debounce], Unset);
}

TEST_F(MainWindowTest, InitialProgrammingShowsEmptyBoardAndStartsNoSearch) {
    state.runOptions.initProgramming = 1;
    state.boardInfo.boardTypeName = "Quarle";
    Open(Fennick());
    ASSERT_TRUE(SpinUntil([&] { return window->currentPage() == 0; }));
    QApplication::processEvents();
    EXPECT_EQ(Panel(), (std::vector<std::string>{"Empty", "None", "N/A"}));
    EXPECT_EQ(script.progressWindows, 0);
    EXPECT_EQ(board->saves, 0);
    EXPECT_EQ(state.boardInfo.dialogMode, 0);
    EXPECT_EQ(state.settingsImage[entry::debounce], Unset);
    EXPECT_EQ(ListEntries(), kAllEntries);
    // The first page marks the first entry, without a visible selection.
    EXPECT_EQ(List()->currentRow(), 0);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
}

TEST_F(MainWindowTest, SimulatedBoardIsNamedInTheTitle) {
    MainWindowOptions options;
    options.simulatedBoard = true;
    Open(Fennick(), options);
    WaitForFlows(1);
    EXPECT_EQ(window->windowTitle(), "Kelvo Application Version 3.0 (simulated board)");
    // The fixed size from dialog units: 345 x 260.
    EXPECT_EQ(window->size(), DluToPixels(window->font(), 345, 260));
}

TEST_F(MainWindowTest, EnterNeverClosesTheWindowEscapeExitAndTheCloseBoxDo) {
    Open(Fennick());
    WaitForFlows(1);
    for (int id : {2, 1007, 1065, 5000}) {
        QWidget* control = FindControl(window.get(), id);
        ASSERT_NE(control, nullptr) << id;
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter);
    }
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(board->saves, 1); // Enter on "Download Configuration" ran nothing

    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);

    window->show();
    Click(2); // "Exit "
    EXPECT_FALSE(window->isVisible());

    window->show();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, ArrowKeysMoveTheMarkAMouseClickSwitchesPages) {
    Open(Fennick());
    WaitForFlows(1);
    QListWidget* list = List();
    list->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(window->currentPage(), 0);
    EXPECT_TRUE(probes.collections.empty());

    // Entries were removed for this board; the item data names the page.
    const QRect row = list->visualItemRect(list->item(1)); // "Eye Options", page 2
    Probe(0).edit()->setText("21");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(window->currentPage(), 2);
    EXPECT_EQ(state.currentPageNumber, 2);
    EXPECT_EQ(probes.collections,
              (std::vector<ProbeLog::Collection>{{0, CollectVariant::SwitchPage}}));
    EXPECT_EQ(state.settingsImage[entry::debounce], 21);
    EXPECT_EQ(window->page(0).window(), nullptr); // only the page on screen exists
    ASSERT_NE(window->page(2).window(), nullptr);

    // Clicking the page on screen collects and re-creates it.
    Probe(2).edit()->setText("33");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(probes.collections.back().page, 2);
    EXPECT_EQ(Probe(2).edit()->text(), "33");
    EXPECT_EQ(probes.created.back(), 2);

    // A click beside the entries changes nothing.
    const std::size_t before = probes.collections.size();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(row.center().x(), list->viewport()->height() - 2));
    EXPECT_EQ(probes.collections.size(), before);
    EXPECT_EQ(window->currentPage(), 2);
}

TEST_F(MainWindowTest, UploadWritesThePageOnScreenNotTheMarkedOne) {
    Open(Fennick());
    WaitForFlows(1);
    Probe(0).edit()->setText("17"); // debounce on page 0
    // Move the mark to "Eye Options" without switching pages.
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Down);
    ASSERT_EQ(window->currentPage(), 0);

    Click(1008);
    EXPECT_EQ(board->saves, 2);
    EXPECT_EQ(probes.collections,
              (std::vector<ProbeLog::Collection>{{0, CollectVariant::CollectCurrentPage}}));
    EXPECT_EQ(board->Entry(entry::debounce), 17);
    EXPECT_TRUE(script.Boxes().empty()); // a successful upload says nothing
}

TEST_F(MainWindowTest, SavedSettingsOpenAgainIntoThePageOnScreen) {
    Open(Fennick());
    WaitForFlows(1);
    Probe(0).edit()->setText("12");
    const std::string file = (directory / "bench.esf").string();
    script.Choose("Save As", file);
    Click(1009);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(script.fileFilters, (std::vector<std::string>{"Kelvo Config Files (*.esf)"}));
    EXPECT_EQ(script.fileSuffixes, (std::vector<std::string>{"esf"}));
    EXPECT_EQ(script.proposed, (std::vector<std::string>{"MySettings.esf"}));

    Probe(0).edit()->setText("29");
    script.Choose("Open", file);
    Click(1044);
    // Re-created from the file, without collecting the 29 first.
    EXPECT_EQ(Probe(0).edit()->text(), "12");
    EXPECT_EQ(state.settingsImage[entry::debounce], 12);
    EXPECT_EQ(script.proposed.back(), "");

    // Cancelling the dialog keeps what is on screen.
    Probe(0).edit()->setText("5");
    script.Choose("Open", std::nullopt);
    Click(1044);
    EXPECT_EQ(Probe(0).edit()->text(), "5");
    EXPECT_EQ(script.Boxes().size(), 3u);
}

TEST_F(MainWindowTest, RawMemoryIsShownAfterARead) {
    state.runOptions.displayDataMemRaw = 1;
    Open(Fennick());
    script.Press("Raw Memory Values");
    WaitForFlows(1);
    ASSERT_EQ(script.texts.size(), 1u);
    EXPECT_EQ(script.texts[0], RawMemoryText(state.settingsImage, RawMemoryMode::Read));
    EXPECT_EQ(script.icons[0], QMessageBox::NoIcon);
}

TEST_F(MainWindowTest, PinTestStepsThroughThirteenBoxesAnsweredWithKeys) {
    state.runOptions.pinTest = 1;
    state.boardInfo.boardTypeName = "Murrel";
    Open(Fennick());
    for (int pin = 1; pin <= 13; ++pin) {
        // A user closing each box with the keyboard: Enter, or Escape.
        script.Then("Kelvo", [pin](QDialog& d) {
            QTest::keyClick(&d, pin % 2 ? Qt::Key_Return : Qt::Key_Escape);
        });
    }
    WaitForFlows(1);
    ASSERT_EQ(script.texts.size(), 13u);
    for (int pin = 1; pin <= 13; ++pin) {
        const std::string& text = script.texts[static_cast<std::size_t>(pin - 1)];
        // Pins 2 to 9 are driven by the test; pins 10 to 13 are inputs whose
        // reported level the pin-test flow tests check.
        if (pin < 10)
            EXPECT_EQ(text, "Pin " + std::to_string(pin) + " is now high.");
        else
            EXPECT_EQ(text.rfind("Pin " + std::to_string(pin) + " reads ", 0), 0u) << text;
        EXPECT_EQ(script.icons[static_cast<std::size_t>(pin - 1)], QMessageBox::NoIcon);
    }
    EXPECT_EQ(script.progressWindows, 0);
    EXPECT_EQ(Panel()[0], "Murrel"); // no search replaced the name
}

} // namespace
} // namespace kelvo

namespace kelvo {
namespace {

TEST_F(MainWindowTest, AnUnusablePortIsExplainedOnceAndTheWindowStillOpens) {
    Open(Fennick());
    board->unavailable = "Cannot open /dev/parport0: Permission denied";
    script.Press("Parallel Port Unavailable");
    WaitForFlows(0);
    ASSERT_TRUE(SpinUntil([&] { return script.Done() && window->currentPage() == 0; }));
    EXPECT_EQ(script.Boxes(), (std::vector<std::string>{"Parallel Port Unavailable"}));
    EXPECT_NE(script.texts[0].find("/dev/parport0: Permission denied"), std::string::npos);
    // Speaks to the person at the window: no command-line advice.
    EXPECT_NE(script.texts[0].find("Help topic \"Using a real parallel port\""), std::string::npos);
    for (const char* cli : {"--sim", "kelvo-cli"})
        EXPECT_EQ(script.texts[0].find(cli), std::string::npos) << cli;
    EXPECT_EQ(script.progressWindows, 0);
    EXPECT_EQ(Panel(), (std::vector<std::string>{"Unknown", "Unknown", "Unknown"}));
    EXPECT_TRUE(window->isVisible());

    // Once the port can be opened, the same button reads the board.
    board->unavailable.clear();
    Click(1007);
    EXPECT_EQ(Panel(), (std::vector<std::string>{"Fennick", "v3.10", "9.4 volts"}));
}

} // namespace
} // namespace kelvo

namespace kelvo {
namespace {

// After every flow the line left of Exit says what was done, or why not,
// with the time; it never opens a window of its own. The last flow, a
// firmware update, goes through a USB programmer.
TEST_F(MainWindowTest, StatusLineSaysWhatEachFlowDidWithTheTime) {
    Open(Fennick());
    WaitForFlows(1);
    const std::string file = (directory / "MySettings.esf").string();
    const std::string firmware = (directory / "new.efw").string();
    const auto* line = window->findChild<QLabel*>(QStringLiteral("outcomeLine"));
    ASSERT_NE(line, nullptr);
    const struct {
        std::function<void()> act;
        const char* said;
    } steps[] = {
        {[] {}, "Settings read from the Fennick board"},
        {[&] { Click(1008); }, "Settings written to the Fennick board"},
        {[&] {
             script.Choose("Save As", file);
             Click(1009);
         },
         "Settings saved to MySettings.esf"},
        {[&] {
             script.Choose("Open", file);
             Click(1044);
         },
         "Settings loaded from MySettings.esf"},
        {[&] {
             state.link.portBase = 0x278; // the simulated board answers at 0x378 only
             script.Press("Settings Upload Failed");
             Click(1008);
         },
         "No board answered on port 0x278; settings not written"},
        {[&] {
             board->unavailable = "Cannot open /dev/parport0: Permission denied";
             script.Press("Parallel Port Unavailable");
             Click(1007);
         },
         "Port 0x278 could not be used"},
        {[&] {
             board->unavailable.clear();
             std::string error;
             board->via =
                 std::make_unique<SimProgrammer>(ProgrammerKind::Usbasp, board->board, error);
             std::ofstream(firmware) << FormatFirmwareImage(1, CutIntoRecords(RandomCode(512, 3)));
             Click(1007);
             script.Choose("Open", firmware).Press("Firmware Upload Complete");
             Click(1011);
         },
         "Firmware written and verified; settings restored"},
    };
    for (const auto& step : steps) {
        step.act();
        ASSERT_TRUE(SpinUntil([&] { return script.Done(); })) << step.said;
        const QRegularExpression expected(
            QStringLiteral("^%1 at \\d\\d:\\d\\d$")
                .arg(QRegularExpression::escape(QString::fromLatin1(step.said))));
        EXPECT_TRUE(expected.match(line->toolTip()).hasMatch()) << line->toolTip().toStdString();
        EXPECT_TRUE(line->isVisible());
        EXPECT_LE(line->geometry().right(), FindControl(window.get(), 2)->geometry().left());
    }
    EXPECT_GT(board->via->RoundTrips(), 0u) << "the update went through the USBasp";
}

} // namespace
} // namespace kelvo

namespace kelvo {
namespace {

// A box keeps the text's own line breaks: its longest line fits whole, so
// no word is left alone on a line of its own.
TEST_F(MainWindowTest, MessageBoxesKeepTheirOwnLineBreaks) {
    const char* texts[] = {
        "Unable to read settings from board. Make sure the programming cable is plugged in, "
        "and the power is on.    \n\nWhen you have verified the connections, press the "
        "\"Download Configuration\" button to try to again.",
        "The board firmware has been updated, but your settings could not be\nwritten to it due "
        "to a bad or empty value in one of the Kelvo options.\n\nOnce you correct the option, "
        "you can upload your settings.",
        "Short.",
    };
    for (const char* text : texts) {
        bool fits = false;
        script.Then("Kelvo", [&](QDialog& d) {
            const auto* label = d.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            int longest = 0;
            for (const QString& line : QString::fromLatin1(text).split('\n'))
                longest = std::max(longest, label->fontMetrics().horizontalAdvance(line));
            fits = label->contentsRect().width() >= longest &&
                   label->height() >= label->sizeHint().height() &&
                   d.rect().contains(label->geometry());
            d.done(0);
        });
        ShowMessageBox(nullptr, text, "Kelvo", MessageIcon::Exclamation, MessageButtons::Ok);
        EXPECT_TRUE(fits) << text;
    }
}

} // namespace
} // namespace kelvo
