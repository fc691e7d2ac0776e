#include "ui/UpDownControl.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace kelvo {
namespace {

struct StepCase {
    int position;
    int delta;
    const char* buddy;
    UpDownRange range;
    int expected;
};

TEST(UpDownStep, ReReadsTheBuddyThenStepsAndWrapsToTheOtherEnd) {
    const StepCase cases[] = {
        {37, +1, "18.5", {5, 37}, 5}, // a dwell text never parses: own position, wrap
        {5, -1, "2.5", {5, 37}, 37},  // and the other way
        {0, -5, "00", {0, 59}, 59},   // seconds 00 down wraps to the top, not 55
        {0, +5, "55", {0, 59}, 0},    // the rewritten 55 is read back: 60 wraps to 0
        {0, +5, "57", {0, 59}, 0},    // wrapping lands on the end, not past it
        {2, -1, "05", {1, 15}, 4},    // "05" reads 5
        {1, -1, "01", {1, 15}, 15},   // minutes wrap down
        {15, +1, "15", {1, 15}, 1},   // and up
        {3, +1, "", {0, 13}, 1},      // an empty text reads 0
        {7, +1, "", {1, 15}, 8},      // 0 outside the range keeps the position
        {7, +1, "  ", {1, 15}, 8},    // a blank marker does not parse
        {7, +1, " 3", {1, 15}, 4},    // leading blanks are allowed
        {7, +1, "3 ", {1, 15}, 8},    // trailing ones are not
        {7, +1, "+3", {1, 15}, 4},    // a sign is
        {0, -1, "-2", {-5, 5}, -3},   //
        {7, -1, "99", {1, 15}, 6},    // out of range keeps the position
        {7, -1, "99999999999999", {1, 15}, 6},
        {250, +1, "250", {1, 250}, 1}, // powersave
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(UpDownStep(c.position, c.delta, QString::fromLatin1(c.buddy), c.range),
                  c.expected)
            << '"' << c.buddy << "\" from " << c.position << " by " << c.delta;
}

TEST(UpDownStep, AccelerationFollowsHowLongTheArrowIsHeld) {
    const auto& defaults = DefaultUpDownAccels();
    EXPECT_EQ(AccelerationStep(defaults, 0), 1);
    EXPECT_EQ(AccelerationStep(defaults, 1999), 1);
    EXPECT_EQ(AccelerationStep(defaults, 2000), 5);
    EXPECT_EQ(AccelerationStep(defaults, 4999), 5);
    EXPECT_EQ(AccelerationStep(defaults, 5000), 20);
    EXPECT_EQ(AccelerationStep({{0, 5}}, 60000), 5);
}

// An up-down control and its buddy as a page places them.
struct SpinBench {
    SpinBench() {
        window.resize(200, 60);
        edit->setGeometry(10, 10, 60, 24);
        edit->setReadOnly(true);
        spin->setGeometry(70, 10, 16, 24);
        spin->setBuddy(edit);
        QObject::connect(spin, &UpDownControl::positionNotified, [this](int p) {
            notified.push_back(p);
            textWhenNotified.push_back(edit->text());
        });
        window.show();
    }
    void ClickArrow(int direction) {
        const QRect r = spin->rect();
        const QPoint at(r.center().x(), direction > 0 ? r.top() + 3 : r.bottom() - 3);
        QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, at);
    }

    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    UpDownControl* spin = new UpDownControl(&window);
    std::vector<int> notified;
    std::vector<QString> textWhenNotified;
};

TEST(UpDownControl, ClicksWriteTheBuddyThenNotifyOnce) {
    SpinBench b;
    b.spin->setRange(0, 59);
    b.spin->setStep(5);
    b.edit->setText("00");
    b.ClickArrow(-1);
    EXPECT_EQ(b.edit->text(), "59");
    EXPECT_EQ(b.spin->position(), 59);
    b.edit->setText("55"); // what a page's handler would write
    b.ClickArrow(+1);
    EXPECT_EQ(b.edit->text(), "0");
    b.ClickArrow(+1);
    EXPECT_EQ(b.edit->text(), "5");
    EXPECT_EQ(b.notified, (std::vector<int>{59, 0, 5}));
    EXPECT_EQ(b.textWhenNotified, (std::vector<QString>{"59", "0", "5"}));

    // A disabled control does not step.
    b.spin->setEnabled(false);
    b.ClickArrow(+1);
    EXPECT_EQ(b.edit->text(), "5");
    EXPECT_EQ(b.notified.size(), 3u);
}

TEST(UpDownControl, HoldingAnArrowRepeatsUntilReleased) {
    SpinBench b;
    b.spin->setRange(0, 100);
    b.spin->setStep(1);
    b.edit->setText("10");
    const QPoint upper(b.spin->rect().center().x(), 3);
    QTest::mousePress(b.spin, Qt::LeftButton, Qt::NoModifier, upper);
    EXPECT_EQ(b.notified, std::vector<int>{11}); // the press steps at once
    EXPECT_TRUE(b.spin->isRepeating());
    EXPECT_TRUE(QTest::qWaitFor([&b] { return b.notified.size() >= 3; }));
    EXPECT_EQ(b.notified, (std::vector<int>{11, 12, 13}));
    QTest::mouseRelease(b.spin, Qt::LeftButton, Qt::NoModifier, upper);
    EXPECT_FALSE(b.spin->isRepeating());
}

// The arrow and page keys in the buddy are clicks on the arrows (wrapping,
// one notification each); typing and the wheel change nothing.
TEST(UpDownControl, ArrowAndPageKeysInTheBuddyStepLikeClicks) {
    const struct {
        Qt::Key key;
        const char* from;
        const char* to;
    } cases[] = {
        {Qt::Key_Up, "12", "13"},      {Qt::Key_Down, "12", "11"}, {Qt::Key_PageUp, "30", "1"},
        {Qt::Key_PageDown, "1", "30"}, {Qt::Key_5, "12", "12"},    {Qt::Key_Backspace, "12", "12"},
    };
    for (const auto& c : cases) {
        SpinBench b;
        b.spin->setRange(1, 30);
        b.spin->setStep(1);
        b.edit->setText(c.from);
        b.edit->setFocus();
        QTest::keyClick(b.edit, c.key);
        EXPECT_EQ(b.edit->text(), c.to) << c.key;
        EXPECT_EQ(b.notified.size(), std::string_view(c.from) == c.to ? 0u : 1u) << c.key;
    }
    SpinBench b;
    b.spin->setRange(1, 30);
    b.edit->setText("12");
    const QPointF at = b.edit->rect().center();
    QWheelEvent wheel(at, b.edit->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(b.edit, &wheel);
    EXPECT_EQ(b.edit->text(), "12");
    EXPECT_TRUE(b.notified.empty());
    EXPECT_EQ(b.spin->focusPolicy(), Qt::NoFocus);
}

TEST(UpDownControl, SetPositionClampsAndLeavesTheBuddyAlone) {
    SpinBench b;
    b.spin->setRange(5, 37);
    b.edit->setText(" ");
    b.spin->setPosition(-1); // an Unset entry
    EXPECT_EQ(b.spin->position(), 5);
    EXPECT_EQ(b.edit->text(), " ");
    b.spin->setPosition(40);
    EXPECT_EQ(b.spin->position(), 37);
    b.ClickArrow(+1); // " " does not parse: the spin's own position steps
    EXPECT_EQ(b.edit->text(), "5");
}

} // namespace
} // namespace kelvo
