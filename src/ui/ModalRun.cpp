#include "ui/ModalRun.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>

namespace kelvo {

namespace {
ModalObserver* g_observer = nullptr;

// The texts carry their own line breaks. QMessageBox wraps any line wider
// than about 500 pixels again, leaving a word or two alone on a line; this
// box is made wide enough for the longest line instead, as long as that
// fits on the screen.
class DesignLinesBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label || !label->wordWrap())
            return;
        label->setWordWrap(false);
        layout()->activate();
        const QSize wanted = layout()->totalMinimumSize().expandedTo(layout()->totalSizeHint());
        if (screen() && wanted.width() > screen()->availableGeometry().width() - 32) {
            label->setWordWrap(true);
            return;
        }
        setFixedSize(wanted);
    }
};

} // namespace

ModalObserver* SetModalObserver(ModalObserver* observer) {
    ModalObserver* previous = g_observer;
    g_observer = observer;
    return previous;
}

void AnnounceModal(QDialog& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    if (g_observer)
        g_observer->ModalOpening(dialog);
}

int RunModal(QDialog& dialog) {
    AnnounceModal(dialog);
    return dialog.exec();
}

MessageAnswer ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                             MessageIcon icon, MessageButtons buttons) {
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    if (icon == MessageIcon::Exclamation)
        boxIcon = QMessageBox::Warning;
    else if (icon == MessageIcon::Error)
        boxIcon = QMessageBox::Critical;
    DesignLinesBox box(boxIcon, QString::fromStdString(caption), QString::fromStdString(text),
                       buttons == MessageButtons::Ok ? QMessageBox::Ok
                                                     : QMessageBox::Yes | QMessageBox::No,
                       owner);
    if (buttons == MessageButtons::YesNoDefaultNo)
        box.setDefaultButton(QMessageBox::No);
    // The texts are plain: the raw memory view's runs of blanks and any "<"
    // must show as they are.
    box.setTextFormat(Qt::PlainText);
    RunModal(box);
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? MessageAnswer::Yes
                                                               : MessageAnswer::No;
}

} // namespace kelvo
