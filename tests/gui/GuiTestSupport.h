#pragma once

#include "FlowTestSupport.h"
#include "ui/BoardAccess.h"
#include "ui/CKelvoAppDlg.h"
#include "ui/CStatusDlg.h"
#include "ui/ControlId.h"
#include "ui/ModalRun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kelvo {

// The main window's board: a simulated board in memory, reached through the
// parallel port or a simulated USB programmer, or a port that cannot be
// opened.
class SimBoardAccess final : public BoardAccess {
public:
    explicit SimBoardAccess(SimBoardState state) : board(std::move(state)) {}

    bool Prepare(std::int32_t, std::string& error) override {
        if (!unavailable.empty()) {
            error = unavailable;
            return false;
        }
        return true;
    }
    Port& port() override { return board; }
    Clock& clock() override { return board; }
    IspBus* usbProgrammer() override { return via ? via->bus() : nullptr; }
    bool Save(std::string&) override {
        ++saves;
        return true;
    }
    ProgrammerChoice programmer() const override { return chosen; }
    bool ChooseProgrammer(const ProgrammerChoice& choice, std::string&) override {
        chosen = choice;
        return true;
    }

    // Entry i of the settings block as the board holds it.
    int Entry(std::size_t i) const {
        const SimBoardState& s = board.state();
        return s.family == Family::Avr ? s.data[i] : s.data[i - 1];
    }

    SimBoard board;
    std::unique_ptr<SimProgrammer> via; // none: the parallel port
    std::string unavailable;
    int saves = 0; // flows run on the board
    ProgrammerChoice chosen;
};

struct RecordingHelp final : HelpService {
    int opened = 0;
    std::vector<int> asked; // control ids
    void OpenHelpFile() override { ++opened; }
    void ShowContextHelp(QWidget* control, const ContextHelpTable&, const QPoint&) override {
        asked.push_back(ControlIdOf(control));
    }
};

// Answers every modal window the way a user would, from a list of expected
// windows (caption, then what to press). A window that was not expected, or
// comes with another caption, fails the test and is closed; expectations
// left over fail it too. Progress windows are not scripted: each is handed
// to onProgress. A watchdog closes anything still modal after 60 seconds so
// a broken test fails instead of hanging.
class ModalScript final : public ModalObserver {
public:
    ModalScript() : previous_(SetModalObserver(this)) {
        watchdog_.setSingleShot(true);
        watchdog_.setInterval(60000);
        QObject::connect(&watchdog_, &QTimer::timeout, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<QDialog*>(w);
                if (d && d->isVisible() && d->isModal() && !qobject_cast<CStatusDlg*>(d)) {
                    ADD_FAILURE() << "still open after 60 s: " << d->windowTitle().toStdString();
                    d->done(QDialog::Rejected);
                }
            }
        });
        watchdog_.start();
    }
    ~ModalScript() override {
        SetModalObserver(previous_);
        for (const Step& s : steps_)
            ADD_FAILURE() << "expected window never opened: " << s.caption;
    }

    // A message box with this caption, answered with `button`.
    ModalScript& Press(const std::string& caption,
                       QMessageBox::StandardButton button = QMessageBox::Ok) {
        return Then(caption, [button](QDialog& d) {
            auto& box = static_cast<QMessageBox&>(d);
            if (QAbstractButton* b = box.button(button))
                b->click();
            else {
                ADD_FAILURE() << "no such button in " << box.windowTitle().toStdString();
                box.done(0);
            }
        });
    }
    // A file dialog with this caption ("Open", "Save As"): `path` is chosen,
    // or the dialog is cancelled when there is none.
    ModalScript& Choose(const std::string& caption, std::optional<std::string> path) {
        return Then(caption, [this, path](QDialog& d) {
            auto& dialog = static_cast<QFileDialog&>(d);
            fileFilters.push_back(dialog.nameFilters().join(";").toStdString());
            fileSuffixes.push_back(dialog.defaultSuffix().toStdString());
            proposed.push_back(
                dialog.selectedFiles().isEmpty()
                    ? std::string()
                    : QFileInfo(dialog.selectedFiles().constFirst()).fileName().toStdString());
            if (!path) {
                dialog.reject();
                return;
            }
            dialog.selectFile(QString::fromStdString(*path));
            static_cast<QDialog&>(dialog).accept(); // QFileDialog hides it
        });
    }
    ModalScript& Then(const std::string& caption, std::function<void(QDialog&)> answer) {
        steps_.push_back({caption, std::move(answer)});
        return *this;
    }

    void ModalOpening(QDialog& dialog) override {
        const std::string caption = dialog.windowTitle().toStdString();
        captions.push_back(caption);
        if (auto* progress = qobject_cast<CStatusDlg*>(&dialog)) {
            ++progressWindows;
            if (onProgress)
                onProgress(*progress);
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            texts.push_back(box->text().toStdString());
            icons.push_back(box->icon());
        }
        if (steps_.empty() || steps_.front().caption != caption) {
            ADD_FAILURE() << "unexpected window \"" << caption << "\""
                          << (steps_.empty() ? std::string()
                                             : ", expected \"" + steps_.front().caption + "\"");
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.done(QDialog::Rejected); });
            return;
        }
        std::function<void(QDialog&)> answer = std::move(steps_.front().answer);
        steps_.pop_front();
        QTimer::singleShot(0, &dialog, [&dialog, answer] { answer(dialog); });
    }

    // Captions of the windows other than progress windows, in order.
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const std::string& c : captions)
            if (c != "Communication In Progress...")
                out.push_back(c);
        return out;
    }
    bool Done() const { return steps_.empty(); }

    std::vector<std::string> captions;
    std::vector<std::string> texts;
    std::vector<QMessageBox::Icon> icons;
    std::vector<std::string> fileFilters, fileSuffixes, proposed;
    int progressWindows = 0;
    std::function<void(CStatusDlg&)> onProgress;

private:
    struct Step {
        std::string caption;
        std::function<void(QDialog&)> answer;
    };
    ModalObserver* previous_;
    std::deque<Step> steps_;
    QTimer watchdog_;
};

// Runs the event loop until `done` holds (false after 30 s).
inline bool SpinUntil(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 30000);
}

inline QString TextOf(const QWidget* root, int id) {
    const QWidget* w = FindControl(root, id);
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    return QStringLiteral("<no text control %1>").arg(id);
}

} // namespace kelvo
