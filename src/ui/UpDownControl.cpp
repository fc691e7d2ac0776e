#include "ui/UpDownControl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <limits>

namespace kelvo {

namespace {

// Holding an arrow steps once at once, again after half a second, then
// every 50 ms, as the dialog framework's up-down control does.
constexpr int kFirstRepeatMs = 500;
constexpr int kRepeatMs = 50;

bool InRange(long long value, UpDownRange range) {
    return value >= range.lower && value <= range.upper;
}

} // namespace

const std::vector<UpDownAccel>& DefaultUpDownAccels() {
    static const std::vector<UpDownAccel> accels = {{0, 1}, {2, 5}, {5, 20}};
    return accels;
}

std::optional<int> BuddyTextPosition(QStringView text, UpDownRange range) {
    // strtol's reading, then the whole text must have been used.
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    const qsizetype digits = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    if (i == digits) {
        // No digits: only an empty text converts (to 0).
        if (!text.isEmpty())
            return std::nullopt;
    } else if (i != text.size()) {
        return std::nullopt;
    }
    if (negative)
        value = -value;
    if (!InRange(value, range))
        return std::nullopt;
    return static_cast<int>(value);
}

int UpDownStep(int position, int delta, QStringView buddyText, UpDownRange range) {
    const int from = BuddyTextPosition(buddyText, range).value_or(position);
    const long long next = static_cast<long long>(from) + delta;
    if (InRange(next, range))
        return static_cast<int>(next);
    return delta > 0 ? range.lower : range.upper;
}

int AccelerationStep(const std::vector<UpDownAccel>& accels, qint64 heldMs) {
    int step = 1;
    for (const UpDownAccel& accel : accels)
        if (heldMs >= qint64{accel.seconds} * 1000)
            step = accel.step;
    return step;
}

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent), accels_(DefaultUpDownAccels()) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    connect(&repeatTimer_, &QTimer::timeout, this, &UpDownControl::repeat);
}

void UpDownControl::setBuddy(QLineEdit* buddy) {
    if (buddy_)
        buddy_->removeEventFilter(this);
    buddy_ = buddy;
    if (buddy_)
        buddy_->installEventFilter(this);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
    // The event type first: the buddy is sent events while it is being
    // destroyed, when it is no longer a QLineEdit to compare with.
    if (event->type() != QEvent::KeyPress || watched != buddy_ || !isEnabled())
        return QWidget::eventFilter(watched, event);
    // Up and Page Up are the upper arrow, Down and Page Down the lower one.
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        click(+1);
        return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        click(-1);
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void UpDownControl::setRange(int lower, int upper) {
    range_ = {lower, upper};
}

void UpDownControl::setStep(int step) {
    accels_ = {{0, step}};
}

void UpDownControl::setPosition(int position) {
    position_ = std::clamp(position, range_.lower, range_.upper);
}

void UpDownControl::click(int direction) {
    const int delta = direction * AccelerationStep(accels_, pressed_ ? held_.elapsed() : 0);
    const QString text = buddy_ ? buddy_->text() : QString();
    const int from = BuddyTextPosition(text, range_).value_or(position_);
    position_ = UpDownStep(position_, delta, text, range_);
    if (position_ != from && buddy_)
        buddy_->setText(QString::number(position_));
    emit positionNotified(position_);
}

QSize UpDownControl::sizeHint() const {
    const int h = fontMetrics().height() + 6;
    return {h * 2 / 3, h};
}

QRect UpDownControl::arrowRect(int direction) const {
    const int half = height() / 2;
    return direction > 0 ? QRect(0, 0, width(), half) : QRect(0, half, width(), height() - half);
}

void UpDownControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const int direction : {1, -1}) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = arrowRect(direction);
        button.state |= pressed_ == direction ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = button.rect.adjusted(2, 1, -2, -1);
        style()->drawPrimitive(direction > 0 ? QStyle::PE_IndicatorArrowUp
                                             : QStyle::PE_IndicatorArrowDown,
                               &arrow, &painter, this);
    }
}

void UpDownControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = arrowRect(1).contains(event->position().toPoint()) ? 1 : -1;
    held_.start();
    update();
    // A page's handler may take the window down; then stop here.
    QPointer<UpDownControl> guard(this);
    click(pressed_);
    if (guard && pressed_)
        repeatTimer_.start(kFirstRepeatMs);
}

void UpDownControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    pressed_ = 0;
    repeatTimer_.stop();
    update();
}

void UpDownControl::repeat() {
    repeatTimer_.start(kRepeatMs);
    click(pressed_);
}

} // namespace kelvo
