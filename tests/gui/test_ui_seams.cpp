#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/HelpHooks.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(DialogUnits, FourHorizontalAndEightVerticalUnitsAreOneBase) {
    QFont font = QApplication::font();
    const DialogBaseUnits base = DialogBaseUnitsFor(font);
    ASSERT_GT(base.x, 0);
    EXPECT_EQ(base.y, QFontMetrics(font).height());
    EXPECT_EQ(DluToPixels(font, 4, 8), QSize(base.x, base.y));
    EXPECT_EQ(DluToPixels(font, 400, 800), QSize(100 * base.x, 100 * base.y));
    // Positions round to the nearest pixel, as MulDiv does.
    const QRect r = DluToPixels(font, 1, 1, 2, 3);
    EXPECT_EQ(r.x(), (base.x + 2) / 4);
    EXPECT_EQ(r.height(), (3 * base.y + 4) / 8);
}

struct RecordingHelp final : HelpService {
    int opened = 0;
    std::vector<int> topicsAskedFor; // control ids
    void OpenHelpFile() override { ++opened; }
    void ShowContextHelp(QWidget* control, const ContextHelpTable&, const QPoint&) override {
        topicsAskedFor.push_back(ControlIdOf(control));
    }
};

TEST(HelpHooks, F1OpensHelpAndRightClicksAskOnlyForControlsWithIds) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* button = new QPushButton("Save", &window);
    SetControlId(button, 1009);
    auto* group = new QGroupBox("Options", &window);
    auto* inGroup = new QLineEdit(group);
    SetControlId(inGroup, 1001);
    auto* plain = new QLineEdit(&window); // no id
    layout->addWidget(button);
    layout->addWidget(group);
    layout->addWidget(plain);
    RecordingHelp help;
    const ContextHelpTable table{"KelvoDialog.txt", {{1009, 1}}};
    InstallHelp(&window, help, table);

    auto rightClick = [](QWidget* w) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(1, 1), w->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(w, &e);
    };
    rightClick(button);
    rightClick(inGroup);
    rightClick(plain);
    rightClick(group);
    rightClick(&window);
    EXPECT_EQ(help.topicsAskedFor, (std::vector<int>{1009, 1001}));

    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(plain, &f1);
    EXPECT_EQ(help.opened, 1);
    EXPECT_EQ(FindControl(&window, 1001), inGroup);
    EXPECT_EQ(FindControl(&window, 4242), nullptr);
}

TEST(HelpHooks, WindowThatSwallowsF1OpensNothing) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    RecordingHelp help;
    const ContextHelpTable table{"SettingsDialog.txt", {}};
    InstallHelp(&window, help, table, false);
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(edit, &f1);
    EXPECT_EQ(help.opened, 0);
}

} // namespace
} // namespace kelvo
