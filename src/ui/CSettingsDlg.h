#pragma once

#include "ops/AppState.h"
#include "ui/BoardAccess.h"
#include "ui/HelpHooks.h"

#include <QDialog>
#include <QValidator>

#include <functional>

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace kelvo {

// Turns letters to upper case as they are typed or pasted, like an edit box
// with the upper-case style.
class UpperCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// "Connection Settings": chooses the parallel port and remembers it in
// ConnSettings.dat in the start directory. Given the board, it also offers
// the programmer, which the board keeps in a file of its own.
class CSettingsDlg final : public QDialog {
    Q_OBJECT

public:
    CSettingsDlg(AppState& state, HelpService& help, QWidget* parent = nullptr,
                 BoardAccess* board = nullptr);

    // Reads ConnSettings.dat into portBase and the custom address.
    void LoadConnectionSettings();

public slots:
    // "Save": stores the choice, unless the custom address is empty.
    void accept() override;

private:
    void UpdateCustomEnabling();
    void AddProgrammerChoice(const std::function<void(QWidget*, int, int, int, int, int)>& place);
    void SaveProgrammer();

    AppState& state_;
    BoardAccess* board_;
    QComboBox* programmer_ = nullptr;
    QLineEdit* serial_ = nullptr;
    std::string m_strCustomAddress;
    QRadioButton* lpt1_ = nullptr;
    QRadioButton* lpt2_ = nullptr;
    QRadioButton* custom_ = nullptr;
    QLineEdit* address_ = nullptr;
};

} // namespace kelvo
