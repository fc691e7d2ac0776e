#pragma once

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QStringView>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <vector>

namespace kelvo {

struct UpDownRange {
    int lower = 0;
    int upper = 100;
};

// One row of an acceleration table: from `seconds` of holding an arrow on,
// each step moves by `step`.
struct UpDownAccel {
    int seconds = 0;
    int step = 1;
    friend bool operator==(const UpDownAccel&, const UpDownAccel&) = default;
};

// The table a control has until a page sets its own: 1, then 5 after two
// seconds, then 20 after five.
const std::vector<UpDownAccel>& DefaultUpDownAccels();

// The position a buddy text stands for: the whole text must be a base-10
// integer inside the range (an empty text reads 0); anything else gives
// nothing, and the control keeps its own position.
std::optional<int> BuddyTextPosition(QStringView text, UpDownRange range);

// One click: re-read the position from the buddy text (or keep `position`),
// move it by `delta`, and wrap to the other end of the range when it leaves
// it (so 55 + 5 in 0..59 gives 0, and 0 - 5 gives 59).
int UpDownStep(int position, int delta, QStringView buddyText, UpDownRange range);

// The step of an acceleration table after holding an arrow for `heldMs`.
int AccelerationStep(const std::vector<UpDownAccel>& accels, qint64 heldMs);

// An up-down control beside a read-only buddy edit, with wrap-around and the
// buddy holding the position as "%d". QSpinBox owns its text, never re-reads
// text a page rewrote and clamps before it wraps, so the pages cannot use it.
// The control takes no focus; Up, Down, Page Up and Page Down in the buddy
// are clicks on its arrows, while typing and the wheel change nothing.
class UpDownControl final : public QWidget {
    Q_OBJECT

public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void setBuddy(QLineEdit* buddy);
    QLineEdit* buddy() const { return buddy_; }

    void setRange(int lower, int upper);
    UpDownRange range() const { return range_; }

    // A single row: every step moves by `step`, however long an arrow is held.
    void setStep(int step);
    const std::vector<UpDownAccel>& accelerations() const { return accels_; }

    int position() const { return position_; }
    // Clamps to the range; the buddy text is left to the caller.
    void setPosition(int position);

    // What a click on the upper (+1) or lower (-1) arrow does.
    void click(int direction);
    // Whether an arrow held down is stepping on its own.
    bool isRepeating() const { return repeatTimer_.isActive(); }

    QSize sizeHint() const override;

signals:
    // Sent after every click, once the new position is in the buddy; a page
    // may rewrite the buddy text here.
    void positionNotified(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect arrowRect(int direction) const;
    void repeat();

    QPointer<QLineEdit> buddy_;
    UpDownRange range_;
    std::vector<UpDownAccel> accels_;
    int position_ = 0;
    int pressed_ = 0; // direction of the arrow held down, 0 for none
    QElapsedTimer held_;
    QTimer repeatTimer_;
};

} // namespace kelvo
