// The desktop program's help: the manual on F1, the per-control popups on a
// right-click, where the help is looked for, and the about box.

#include "GuiTestSupport.h"
#include "ui/CAboutDlg.h"
#include "ui/CSettingsDlg.h"
#include "ui/DesktopHelp.h"
#include "ui/OptionPages.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace kelvo {
namespace {

namespace fs = std::filesystem;

// The built help folder lives in this folder (copied there by the build).
const fs::path kBuiltHelpBase = KELVO_HELP_BASE;

struct RecordingDisplay final : HelpDisplay {
    std::vector<QUrl> opened;
    int offers = 0;
    bool chooseWhatsThis = true;
    std::vector<QString> shown;
    void OpenUrl(const QUrl& url) override { opened.push_back(url); }
    bool OfferWhatsThis(QWidget*, const QPoint&) override {
        ++offers;
        return chooseWhatsThis;
    }
    void ShowText(QWidget*, const QPoint&, const QString& text) override { shown.push_back(text); }
};

void RightClick(QWidget* w) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(w, &e);
}

void PressF1(QWidget* w) {
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(w, &f1);
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder of its own per test, which becomes the start directory.
class HelpTest : public ::testing::Test {
protected:
    HelpTest() {
        previous_ = fs::current_path();
        root = fs::temp_directory_path() / "kelvo-help-tests" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        fs::create_directories(root / "start");
        fs::current_path(root / "start");
        state.startDirectory = (root / "start").string();
        state.runOptions.initProgramming = 1; // no board search on opening
    }
    ~HelpTest() override { fs::current_path(previous_); }

    // A help folder under `base` holding the given files.
    static void MakeHelp(const fs::path& base, const std::map<std::string, std::string>& files) {
        fs::create_directories(base / kHelpFolderName);
        for (const auto& [name, content] : files)
            std::ofstream(base / kHelpFolderName / name, std::ios::binary) << content;
    }
    QString Manual(const fs::path& base) const {
        return QString::fromStdString((base / kHelpFolderName / kManualPage).string());
    }

    fs::path root;
    AppState state;
    RecordingDisplay display;

private:
    fs::path previous_;
};

TEST(TopicText, FindsTheNumberedTopicAndNothingElse) {
    const std::string file = "; comment before the first topic\n"
                             ".topic 1\r\nFirst line\r\n; a comment inside\r\nsecond line\r\n"
                             ".topic 10\nTen\n"
                             ".topicx 4\n"
                             ".topic 3\n\n  Three  \n\n"
                             ".topic 5";
    EXPECT_EQ(TopicText(file, 1), "First line\nsecond line");
    EXPECT_EQ(TopicText(file, 10), "Ten\n.topicx 4");
    EXPECT_EQ(TopicText(file, 3), "Three");
    EXPECT_EQ(TopicText(file, 2), ""); // a gap
    EXPECT_EQ(TopicText(file, 5), ""); // header without text
    EXPECT_EQ(TopicText(file, 0), "");
    EXPECT_EQ(TopicText("", 1), "");
    EXPECT_EQ(TopicText(".topic 1\nOne\n.topic 1\nAgain\n", 1), "One");
}

// The windows' context-help tables as the program's design gives them.
struct DesignTable {
    const char* window;
    const char* topicFile;
    std::vector<ContextHelpPair> pairs;
};
const std::vector<DesignTable> kPageTables = {
    {"Firing",
     "FiringDialog.txt",
     {{1042, 1},
      {1043, 2},
      {1029, 3},
      {1030, 4},
      {1037, 5},
      {1036, 6},
      {1032, 7},
      {1089, 9},
      {1085, 6}}},
    {"Closed Bolt", "CBFiringDialog.txt", {{1039, 1}, {1046, 2}, {1047, 3}, {1048, 4}}},
    {"Eye",
     "EyeDialog.txt",
     {{1038, 1}, {1040, 3}, {1041, 4}, {1080, 5}, {1077, 6}, {1049, 6}, {1048, 7}}},
    {"Timer", "TimerDialog.txt", {{1031, 1}, {1056, 2}, {1057, 3}, {1049, 4}, {1048, 5}}},
    {"LCD Display", "LCDDisplayDialog.txt", {{1021, 1}, {1022, 2}, {1023, 3}, {1024, 4}}},
    {"LCD Menu", "LCDMenuDialog.txt", {{1063, 1}}},
    {"Presets", "PresetsDialog.txt", {{1052, 1}, {1053, 2}, {1054, 3}, {1055, 4}, {1077, 5}}},
    {"Power", "PowerDialog.txt", {{1039, 1}}},
    {"Dialog Mode", "DialogModeDialog.txt", {{1058, 1}, {1059, 2}}},
};
const DesignTable kMainTable{
    "main window",
    "KelvoDialog.txt",
    {{1009, 1}, {1044, 2}, {1008, 3}, {1007, 4}, {1010, 5}, {1011, 6}, {1065, 7}}};
const DesignTable kSettingsTable{"Connection Settings",
                                 "SettingsDialog.txt",
                                 {{1046, 1}, {1049, 2}, {1047, 3}, {1048, 4}, {1, 5}, {2, 6}}};

// Right-clicks every control of `window` that carries an id: those in the
// table must pop up their topic's text from the built help, every other
// one (and the background) nothing.
void ExpectPopups(QWidget* window, const DesignTable& table, RecordingDisplay& display) {
    SCOPED_TRACE(table.window);
    const std::string topics = ReadAll(kBuiltHelpBase / kHelpFolderName / table.topicFile);
    ASSERT_FALSE(topics.empty()) << table.topicFile;
    std::map<int, int> topicOf;
    for (const ContextHelpPair& p : table.pairs)
        topicOf[p.controlId] = p.topic;
    std::set<int> seen;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const int id = ControlIdOf(control);
        if (id < 0 || ControlAt(window, control) != control)
            continue;
        display.shown.clear();
        RightClick(control);
        const auto pair = topicOf.find(id);
        if (pair == topicOf.end()) {
            EXPECT_TRUE(display.shown.empty()) << "control " << id << " has no topic";
            continue;
        }
        seen.insert(id);
        const std::string expected = TopicText(topics, pair->second);
        EXPECT_FALSE(expected.empty()) << "topic " << pair->second << " of control " << id;
        ASSERT_EQ(display.shown.size(), 1u) << "control " << id;
        EXPECT_EQ(display.shown[0].toStdString(), expected) << "control " << id;
    }
    for (const ContextHelpPair& p : table.pairs)
        EXPECT_TRUE(seen.count(p.controlId)) << "no control " << p.controlId;
    display.shown.clear();
    RightClick(window);
    EXPECT_TRUE(display.shown.empty()) << "background";
}

TEST_F(HelpTest, EveryPairOfEveryWindowPopsUpItsTopic) {
    DesktopHelp help(state.startDirectory, {kBuiltHelpBase}, display);
    SimBoardAccess board(BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10)));
    CKelvoAppDlg window(state, board, help);
    window.show();
    ExpectPopups(&window, kMainTable, display);

    CSettingsDlg settings(state, help, &window);
    ExpectPopups(&settings, kSettingsTable, display);

    for (int number = 0; number < 9; ++number) {
        QWidget host;
        QWidget placeholder(&host);
        CRHGenericChildDialog& page = window.page(number);
        page.CreatePage(&host, &placeholder);
        ASSERT_NE(page.window(), nullptr);
        EXPECT_EQ(page.HelpTable().topicFile, kPageTables[number].topicFile);
        ExpectPopups(page.window(), kPageTables[number], display);
        page.DestroyPage();
    }
    EXPECT_TRUE(display.opened.empty());
}

TEST_F(HelpTest, F1OpensTheManualExceptInTheConnectionDialog) {
    DesktopHelp help(state.startDirectory, {kBuiltHelpBase}, display);
    SimBoardAccess board(BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10)));
    CKelvoAppDlg window(state, board, help);
    window.show();
    const QUrl manual = QUrl::fromLocalFile(Manual(kBuiltHelpBase));

    PressF1(FindControl(&window, 1065));
    ASSERT_EQ(display.opened, std::vector<QUrl>{manual});
    ASSERT_TRUE(QFile::exists(manual.toLocalFile()));

    QWidget host;
    QWidget placeholder(&host);
    window.page(kPageTimer).CreatePage(&host, &placeholder);
    PressF1(FindControl(window.page(kPageTimer).window(), 1031));
    EXPECT_EQ(display.opened.size(), 2u);
    EXPECT_EQ(display.opened.back(), manual);

    CSettingsDlg settings(state, help, &window);
    PressF1(FindControl(&settings, 1046));
    EXPECT_EQ(display.opened.size(), 2u);
}

TEST_F(HelpTest, HelpIsLookedForInTheStartDirectoryThenTheOtherFoldersInOrder) {
    const fs::path installed = root / "installed", besideProgram = root / "program";
    MakeHelp(besideProgram, {{kManualPage, "<html>"}, {"PowerDialog.txt", ".topic 1\nbeside\n"}});
    DesktopHelp help(state.startDirectory, {installed, besideProgram}, display);
    QWidget window;
    auto* spin = new QWidget(&window);
    SetControlId(spin, 1039);
    const ContextHelpTable table{"PowerDialog.txt", {{1039, 1}}};

    auto popup = [&] {
        display.shown.clear();
        help.ShowContextHelp(spin, table, QPoint(5, 5));
        return display.shown.empty() ? std::string() : display.shown[0].toStdString();
    };
    EXPECT_EQ(help.ManualPath(), besideProgram / kHelpFolderName / kManualPage);
    EXPECT_EQ(popup(), "beside");

    MakeHelp(installed, {{kManualPage, "<html>"}, {"PowerDialog.txt", ".topic 1\ninstalled\n"}});
    EXPECT_EQ(help.ManualPath(), installed / kHelpFolderName / kManualPage);
    EXPECT_EQ(popup(), "installed");

    MakeHelp(state.startDirectory,
             {{kManualPage, "<html>"}, {"PowerDialog.txt", ".topic 1\nstart\n"}});
    EXPECT_EQ(popup(), "start");
    help.OpenHelpFile();
    EXPECT_EQ(display.opened, std::vector<QUrl>{QUrl::fromLocalFile(Manual(state.startDirectory))});

    // The start directory is read when asked, as the main window records it
    // only when it opens.
    state.startDirectory = (root / "elsewhere").string();
    EXPECT_EQ(popup(), "installed");
}

TEST_F(HelpTest, MissingHelpIsSilent) {
    // A start directory without help, and fallbacks that do not exist.
    DesktopHelp help(state.startDirectory, {root / "none", root / "nothing"}, display);
    ModalScript script; // any message box would fail the test
    SimBoardAccess board(BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10)));
    CKelvoAppDlg window(state, board, help);
    window.show();
    PressF1(&window);
    RightClick(FindControl(&window, 1009));
    EXPECT_TRUE(help.ManualPath().empty());
    EXPECT_TRUE(display.opened.empty());
    EXPECT_EQ(display.offers, 0);

    // A help folder whose topic file lacks the topic, or has no topic file.
    MakeHelp(state.startDirectory, {{kManualPage, "x"}, {"KelvoDialog.txt", ".topic 2\nOpen\n"}});
    RightClick(FindControl(&window, 1009)); // topic 1 missing
    RightClick(FindControl(&window, 1065)); // topic 7 missing
    EXPECT_EQ(display.offers, 0);
    RightClick(FindControl(&window, 1044));
    EXPECT_EQ(display.offers, 1);
    EXPECT_TRUE(script.Done());
}

TEST_F(HelpTest, DecliningTheMenuShowsNoText) {
    DesktopHelp help(state.startDirectory, {kBuiltHelpBase}, display);
    display.chooseWhatsThis = false;
    QWidget window;
    auto* button = new QPushButton(&window);
    SetControlId(button, 1009);
    help.ShowContextHelp(button, {"KelvoDialog.txt", {{1009, 1}}}, QPoint(1, 1));
    EXPECT_EQ(display.offers, 1);
    EXPECT_TRUE(display.shown.empty());
    help.ShowContextHelp(nullptr, {"KelvoDialog.txt", {{1009, 1}}}, QPoint(1, 1));
    EXPECT_EQ(display.offers, 1);
}

// The real menu: one item, "What's This?"; choosing it is what counts.
TEST(QtHelpDisplay, OffersOneWhatsThisItem) {
    QWidget window;
    window.show();
    QtHelpDisplay display;
    for (const bool choose : {true, false}) {
        QStringList items;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions())
                items << a->text();
            if (choose)
                menu->setActiveAction(menu->actions().front());
            QTest::keyClick(menu, choose ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(display.OfferWhatsThis(&window, window.mapToGlobal(QPoint(3, 3))), choose);
        EXPECT_EQ(items, QStringList{QStringLiteral("What's This?")});
    }
}

TEST_F(HelpTest, AboutBoxHelpAndWebsiteKeepItOpenOkClosesIt) {
    MakeHelp(state.startDirectory, {{kManualPage, "<html>"}});
    DesktopHelp help(state.startDirectory, {}, display);
    const AboutInfo info{"1.2.3", "Licence line", "https://kelvo.example.org/",
                         Manual(state.startDirectory)};
    CAboutDlg about(info, help, display);
    about.show();
    EXPECT_EQ(about.windowTitle(), "About Kelvo Application...");
    // Logo, title and the three lines stand one below the other.
    QLabel *logo = nullptr, *title = nullptr, *lines = nullptr;
    const QString text = AboutText(info);
    for (QLabel* l : about.findChildren<QLabel*>()) {
        if (!l->pixmap().isNull())
            logo = l;
        else if (l->text() == "Kelvo Application Version 3.0")
            title = l;
        else if (l->text() == text)
            lines = l;
    }
    ASSERT_TRUE(logo && title && lines);
    EXPECT_GT(title->geometry().top(), logo->geometry().bottom());
    EXPECT_GT(lines->geometry().top(), title->geometry().bottom());
    EXPECT_TRUE(lines->isVisible());
    EXPECT_EQ(text.split('\n'), (QStringList{"Version 1.2.3", "Licence line",
                                             "Help: " + Manual(state.startDirectory)}));
    EXPECT_EQ(AboutText({"1", "L", "w", ""}).split('\n').last(), "Help: not installed");

    auto* helpButton = qobject_cast<QPushButton*>(FindControl(&about, 4));
    auto* website = qobject_cast<QPushButton*>(FindControl(&about, 3));
    auto* ok = qobject_cast<QPushButton*>(FindControl(&about, 1));
    ASSERT_TRUE(helpButton && website && ok);
    EXPECT_EQ(helpButton->text(), "Help");
    EXPECT_EQ(website->text(), "Visit Website");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());

    QTest::mouseClick(helpButton, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    QTest::mouseClick(website, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(display.opened, (std::vector<QUrl>{QUrl::fromLocalFile(Manual(state.startDirectory)),
                                                 QUrl("https://kelvo.example.org/")}));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

#ifndef Q_OS_WIN
TEST_F(HelpTest, TheLogoIsTheAboutEntryByMouseAndKeyboard) {
    DesktopHelp help(state.startDirectory, {kBuiltHelpBase}, display);
    SimBoardAccess board(BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10)));
    int abouts = 0;
    QWidget* aboutParent = nullptr;
    MainWindowOptions options;
    options.showAbout = [&](QWidget* parent) {
        ++abouts;
        aboutParent = parent;
    };
    CKelvoAppDlg window(state, board, help, options);
    window.show();
    QWidget* logo = FindControl(&window, 135);
    ASSERT_NE(logo, nullptr);
    EXPECT_TRUE(logo->toolTip().contains("About Kelvo"));
    EXPECT_TRUE(logo->focusPolicy() & Qt::TabFocus);
    // Keys start in the options list: Enter and Space there open nothing.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(ControlIdOf(QApplication::focusWidget()), 1065);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(abouts, 0);
    // Wherever Tab takes the focus, it shows: each control looks different
    // with the focus than after Tab has moved it on.
    for (int step = 0; step < 40; ++step) {
        QWidget* w = QApplication::focusWidget();
        const QImage focused = w->grab().toImage();
        QTest::keyClick(w, Qt::Key_Tab);
        EXPECT_NE(w->grab().toImage(), focused) << ControlIdOf(w);
        if (ControlIdOf(QApplication::focusWidget()) == 1065)
            break;
    }
    EXPECT_EQ(ControlIdOf(QApplication::focusWidget()), 1065) << "Tab comes round";
    EXPECT_EQ(abouts, 0);

    QTest::mouseClick(logo, Qt::RightButton);
    RightClick(logo); // no topic and no about box
    EXPECT_EQ(abouts, 0);
    QTest::mouseClick(logo, Qt::LeftButton);
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(aboutParent, &window);
    QTest::keyClick(logo, Qt::Key_Space);
    EXPECT_EQ(abouts, 2);

    QStringList items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            items << a->text();
        menu->setActiveAction(menu->actions().front());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(logo, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(items, QStringList{"&About Kelvo..."});
    EXPECT_EQ(abouts, 3);
    EXPECT_EQ(display.offers, 0);

    // Other keys go on to the window: Escape on the logo closes it.
    QTest::keyClick(logo, Qt::Key_Escape);
    EXPECT_EQ(abouts, 3);
    EXPECT_FALSE(window.isVisible());
}
#endif

TEST_F(HelpTest, WithoutAnAboutBoxTheLogoDoesNothing) {
    DesktopHelp help(state.startDirectory, {kBuiltHelpBase}, display);
    SimBoardAccess board(BoardWithSettings(Family::Avr, ValidBoardSettings(1, 3, 10)));
    CKelvoAppDlg window(state, board, help);
    QWidget* logo = FindControl(&window, 135);
    ASSERT_NE(logo, nullptr);
    EXPECT_TRUE(logo->toolTip().isEmpty());
}

} // namespace
} // namespace kelvo
