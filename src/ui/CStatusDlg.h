#pragma once

#include "link/ProgressSink.h"
#include "ops/FlowHost.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QProgressBar;

namespace kelvo {

class ProgressQueue;

// The progress window, "Communication In Progress...": a status line, a
// bar, a time-left line and the fixed warning; no close box.
//
// The operation runs on a worker thread while this window's own modal loop
// keeps the program painting and answering the desktop (a 40-second firmware
// write would otherwise be marked "not responding"). The worker never calls
// Qt: it appends each progress change to a mutex-guarded queue that a 15 ms
// timer here drains in order, so every change reaches the screen and the
// only things shared between the threads are that queue and the data the
// operation was given, which nothing else touches until the worker is
// joined. While the operation runs, no window takes input and this one
// refuses Escape, Alt+F4 and close requests.
class CStatusDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CStatusDlg(const OperationRequest& request, QWidget* parent = nullptr);
    ~CStatusDlg() override;

    // Runs the window modally; `operation` starts once the window has been
    // painted with the flow's status text, and the window closes itself when
    // it has ended.
    void Run(const std::function<void(ProgressSink&)>& operation);

    bool OperationRunning() const { return worker_.joinable(); }

signals:
    void operationStarted();
    // A change the operation made (bar, status, time left, warning) has been
    // put on screen; one signal per change, in the operation's order.
    void progressShown();
    // The operation has ended and its worker is joined; the window is about
    // to close.
    void operationEnded();

public slots:
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void StartOperation();
    void Drain();
    // An estimate ("Time Left: 01:20") starts the countdown; any other text
    // stops it.
    void ShowTimeLeft(const QString& text);
    void CountDown();

    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* timeLeft_ = nullptr;
    QLabel* warning_ = nullptr;
    std::string initialStatus_;
    bool startPending_ = false;
    std::function<void(ProgressSink&)> operation_;
    std::unique_ptr<ProgressQueue> queue_;
    std::unique_ptr<QObject> inputBlocker_;
    std::thread worker_;
    QTimer drainTimer_;
    QTimer startFallback_;
    QTimer countdown_;
    QElapsedTimer sinceEstimate_;
    int estimateSeconds_ = 0;
    int rangeMax_ = 100;
    bool counting_ = false; // a step has been counted: the bar shows the range
};

} // namespace kelvo
