#include "ui/ModalRun.h"

#include <QDialog>
#include <QMessageBox>

namespace kelvo {

namespace {
ModalObserver* g_observer = nullptr;
}

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
    QMessageBox box(boxIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
                    owner);
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
