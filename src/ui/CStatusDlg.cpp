#include "ui/CStatusDlg.h"

#include "link/OperationContext.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/ModalRun.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>

#include <algorithm>
#include <mutex>
#include <vector>

namespace kelvo {

// The worker's side of the window: every call is queued for the window's
// thread, in order.
class ProgressQueue final : public ProgressSink {
public:
    using Event = RecordingProgressSink::Event;
    using Kind = RecordingProgressSink::Kind;

    void SetRange(int max) override { Push({Kind::Range, max, {}}); }
    void SetPosition(int position) override { Push({Kind::Position, position, {}}); }
    void SetStatus(const std::string& text) override { Push({Kind::Status, 0, text}); }
    void SetTimeLeft(const std::string& text) override { Push({Kind::TimeLeft, 0, text}); }
    void SetWarning(const std::string& text) override { Push({Kind::Warning, 0, text}); }

    void Finish() {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }

    // Moves the queued changes out; true once the operation has finished
    // and everything it queued is in `out`.
    bool Take(std::vector<Event>& out) {
        std::lock_guard lock(mutex_);
        out.swap(events_);
        events_.clear();
        return finished_;
    }

private:
    void Push(Event e) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
    }

    std::mutex mutex_;
    std::vector<Event> events_;
    bool finished_ = false;
};

namespace {

// Swallows every kind of user input to every window while an operation
// runs: the modal window already keeps the others from input, and this also
// keeps the progress window itself, and anything sent to a window directly,
// from acting on it.
class InputBlocker final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
        }
    }
};

QLabel* AddLabel(QWidget* parent, int id, const QRect& geometry) {
    auto* label = new QLabel(parent);
    SetControlId(label, id);
    label->setGeometry(geometry);
    return label;
}

} // namespace

CStatusDlg::CStatusDlg(const OperationRequest& request, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      initialStatus_(request.initialStatus) {
    setWindowTitle(QStringLiteral("Communication In Progress..."));
    const QFont& f = font();
    setFixedSize(DluToPixels(f, 229, 65));
    // The template's lines are sized for a narrow font: the time-left line
    // gets the full width, the warning may wrap.
    status_ = AddLabel(this, 1012, DluToPixels(f, 7, 5, 215, 10));
    progress_ = new QProgressBar(this);
    SetControlId(progress_, 1013);
    progress_->setGeometry(DluToPixels(f, 7, 18, 211, 14));
    progress_->setTextVisible(false);
    // Busy until the operation counts its first step: the search and the
    // delay calibration take seconds before that.
    progress_->setRange(0, 0);
    timeLeft_ = AddLabel(this, 1067, DluToPixels(f, 7, 34, 215, 9));
    // Two lines where the font is wider than the template's.
    warning_ = AddLabel(this, 1014, DluToPixels(f, 7, 44, 215, 19));
    warning_->setWordWrap(true);
    warning_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setText(QString::fromStdString(request.initialStatus));
    warning_->setText(QString::fromStdString(request.warning));

    // Between the estimates, which come every five seconds or so, the time
    // left counts down once a second.
    countdown_.setInterval(1000);
    connect(&countdown_, &QTimer::timeout, this, &CStatusDlg::CountDown);

    drainTimer_.setInterval(15);
    drainTimer_.setTimerType(Qt::PreciseTimer);
    connect(&drainTimer_, &QTimer::timeout, this, &CStatusDlg::Drain);
    // Should the platform never paint the window (it stays unexposed), the
    // operation still starts.
    startFallback_.setSingleShot(true);
    startFallback_.setInterval(500);
    connect(&startFallback_, &QTimer::timeout, this, [this] {
        if (startPending_) {
            startPending_ = false;
            StartOperation();
        }
    });
}

CStatusDlg::~CStatusDlg() {
    if (worker_.joinable())
        worker_.join();
}

void CStatusDlg::Run(const std::function<void(ProgressSink&)>& operation) {
    operation_ = operation;
    startPending_ = true;
    AnnounceModal(*this);
    exec();
}

void CStatusDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (startPending_)
        startFallback_.start();
}

void CStatusDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!startPending_)
        return;
    // Started from the queue, not from inside the paint: what was posted
    // before (the first page) runs first, and the paint completes.
    startPending_ = false;
    QMetaObject::invokeMethod(this, &CStatusDlg::StartOperation, Qt::QueuedConnection);
}

void CStatusDlg::StartOperation() {
    startFallback_.stop();
    // The operation's first calls put up the flow's status, the fixed
    // warning and an empty time-left line.
    queue_ = std::make_unique<ProgressQueue>();
    inputBlocker_ = std::make_unique<InputBlocker>();
    qApp->installEventFilter(inputBlocker_.get());
    ProgressQueue* queue = queue_.get();
    worker_ = std::thread([queue, operation = operation_] {
        operation(*queue);
        queue->Finish();
    });
    drainTimer_.start();
    emit operationStarted();
}

void CStatusDlg::Drain() {
    std::vector<ProgressQueue::Event> events;
    const bool finished = queue_->Take(events);
    for (const ProgressQueue::Event& e : events) {
        switch (e.kind) {
        case ProgressQueue::Kind::Range:
            rangeMax_ = std::max(e.value, 0);
            if (counting_)
                progress_->setRange(0, rangeMax_);
            break;
        case ProgressQueue::Kind::Position:
            if (!counting_ && e.value > 0) {
                counting_ = true;
                progress_->setRange(0, rangeMax_);
            }
            // QProgressBar ignores values outside its range; a progress
            // control shows them at the nearer end.
            if (counting_)
                progress_->setValue(std::clamp(e.value, 0, progress_->maximum()));
            break;
        case ProgressQueue::Kind::Status:
            status_->setText(QString::fromStdString(e.text));
            break;
        case ProgressQueue::Kind::TimeLeft:
            ShowTimeLeft(QString::fromStdString(e.text));
            break;
        case ProgressQueue::Kind::Warning:
            warning_->setText(QString::fromStdString(e.text));
            break;
        }
        emit progressShown();
    }
    if (!finished)
        return;
    drainTimer_.stop();
    countdown_.stop();
    worker_.join();
    qApp->removeEventFilter(inputBlocker_.get());
    inputBlocker_.reset();
    emit operationEnded();
    done(QDialog::Rejected);
}

void CStatusDlg::ShowTimeLeft(const QString& text) {
    timeLeft_->setText(text);
    static const QRegularExpression estimate(QStringLiteral("^Time Left: (\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch m = estimate.match(text);
    if (!m.hasMatch()) {
        countdown_.stop();
        return;
    }
    estimateSeconds_ = m.captured(1).toInt() * 60 + m.captured(2).toInt();
    sinceEstimate_.start();
    countdown_.start();
}

void CStatusDlg::CountDown() {
    const qint64 left = std::max<qint64>(estimateSeconds_ - sinceEstimate_.elapsed() / 1000, 0);
    timeLeft_->setText(QStringLiteral("Time Left: %1:%2")
                           .arg(left / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(left % 60, 2, 10, QLatin1Char('0')));
}

void CStatusDlg::reject() {
    // Escape: the window closes only when its operation has ended.
}

void CStatusDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

} // namespace kelvo
