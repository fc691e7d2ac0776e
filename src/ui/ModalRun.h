#pragma once

#include "ops/FlowHost.h"

#include <string>

class QDialog;
class QWidget;

namespace kelvo {

// Every modal window of the program (message boxes, file dialogs, progress
// windows, the connection dialog) runs through RunModal, so a test can be
// told about each one as it opens and answer it the way a user would.
class ModalObserver {
public:
    virtual ~ModalObserver() = default;
    // Called just before the dialog's modal loop starts; the dialog is
    // configured but not yet shown.
    virtual void ModalOpening(QDialog& dialog) = 0;
};

// Installs the observer (null removes it); returns the previous one.
ModalObserver* SetModalObserver(ModalObserver* observer);

// Makes the dialog application-modal and tells the observer; the caller
// then runs its modal loop.
void AnnounceModal(QDialog& dialog);

// Shows the dialog modally and returns its result.
int RunModal(QDialog& dialog);

// A message box with the given caption, icon and buttons, owned by `owner`.
MessageAnswer ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                             MessageIcon icon, MessageButtons buttons);

} // namespace kelvo
