#include "ui/CSettingsDlg.h"

#include "files/ConnectionSettings.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/ModalRun.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kelvo {

namespace {

const ContextHelpTable kSettingsHelp{"SettingsDialog.txt",
                                     {{1046, 1}, {1049, 2}, {1047, 3}, {1048, 4}, {1, 5}, {2, 6}}};

} // namespace

QValidator::State UpperCaseValidator::validate(QString& input, int&) const {
    input = input.toUpper();
    return Acceptable;
}

// The programmers offered, in the order of ProgrammerKind.
const char* const kProgrammerNames[] = {"Parallel port cable", "FTDI FT232R (USB)",
                                        "USBasp (USB, AVR boards only)"};
// The programmer box sits between the port box and the buttons.
constexpr int kProgrammerHeight = 42;

CSettingsDlg::CSettingsDlg(AppState& state, HelpService& help, QWidget* parent, BoardAccess* board)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      state_(state), board_(board) {
    setWindowTitle(QStringLiteral("Connection Settings"));
    const QFont& f = font();
    const int extra = board_ ? kProgrammerHeight : 0;
    setFixedSize(DluToPixels(f, 196, 126 + extra));
    auto place = [&](QWidget* w, int x, int y, int width, int height, int id = -1) {
        w->setGeometry(DluToPixels(f, x, y, width, height));
        if (id >= 0)
            SetControlId(w, id);
    };

    auto* intro = new QLabel(
        QStringLiteral("Select the port you wish to use to connect to your board. If you use a "
                       "non-standard address, you can enter the Hex address in the text box."),
        this);
    intro->setWordWrap(true);
    intro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(intro, 7, 6, 182, 30);
    place(new QGroupBox(QStringLiteral("Parallel Port:"), this), 7, 38, 182, 62);
    lpt1_ = new QRadioButton(QStringLiteral("LPT1 (Port Address 0x378)"), this);
    place(lpt1_, 15, 50, 160, 11, 1046);
    lpt2_ = new QRadioButton(QStringLiteral("LPT2 (Port Address 0x278)"), this);
    place(lpt2_, 15, 64, 160, 11, 1049);
    custom_ = new QRadioButton(QStringLiteral("Custom Address:"), this);
    place(custom_, 15, 80, 76, 11, 1047);
    place(new QLabel(QStringLiteral("0x"), this), 93, 81, 10, 10);
    address_ = new QLineEdit(this);
    place(address_, 104, 79, 70, 13, 1048);
    address_->setValidator(new UpperCaseValidator(address_));

    if (board_)
        AddProgrammerChoice(place);

    auto* save = new QPushButton(QStringLiteral("Save"), this);
    place(save, 46, 106 + extra, 50, 14, 1);
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    place(cancel, 102, 106 + extra, 50, 14, 2);
    cancel->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &CSettingsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSettingsDlg::reject);
    for (QRadioButton* radio : {lpt1_, lpt2_, custom_})
        connect(radio, &QRadioButton::clicked, this, &CSettingsDlg::UpdateCustomEnabling);

    // F1 does nothing here; right-clicks still offer the controls' topics.
    InstallHelp(this, help, kSettingsHelp, false);

    // The dialog's initialisation.
    LoadConnectionSettings();
    address_->setText(QString::fromStdString(m_strCustomAddress));
    switch (PortChoiceFor(state_.link.portBase)) {
    case PortChoice::Lpt2:
        lpt2_->setChecked(true);
        break;
    case PortChoice::Lpt1:
        lpt1_->setChecked(true);
        break;
    case PortChoice::Custom:
        custom_->setChecked(true);
        break;
    }
    UpdateCustomEnabling();
}

void CSettingsDlg::AddProgrammerChoice(
    const std::function<void(QWidget*, int, int, int, int, int)>& place) {
    place(new QGroupBox(QStringLiteral("Programmer:"), this), 7, 102, 182, 38, -1);
    programmer_ = new QComboBox(this);
    for (const char* name : kProgrammerNames)
        programmer_->addItem(QString::fromLatin1(name));
    place(programmer_, 15, 114, 100, 13, 1050);
    place(new QLabel(QStringLiteral("Serial:"), this), 120, 116, 24, 10, -1);
    serial_ = new QLineEdit(this);
    place(serial_, 145, 114, 38, 13, 1051);
    serial_->setPlaceholderText(QStringLiteral("any"));
    auto* note = new QLabel(QStringLiteral("USB: Linux only. USBasp: AVR boards only."), this);
    place(note, 15, 128, 170, 10, -1);
    const ProgrammerChoice chosen = board_->programmer();
    programmer_->setCurrentIndex(static_cast<int>(chosen.kind));
    serial_->setText(QString::fromStdString(chosen.serial));
    auto enableSerial = [this] { serial_->setEnabled(programmer_->currentIndex() != 0); };
    connect(programmer_, &QComboBox::currentIndexChanged, this, enableSerial);
    enableSerial();
}

void CSettingsDlg::SaveProgrammer() {
    ProgrammerChoice choice = board_->programmer();
    choice.kind = static_cast<ProgrammerKind>(programmer_->currentIndex());
    choice.serial = choice.kind == ProgrammerKind::Parallel
                        ? std::string()
                        : serial_->text().trimmed().toStdString();
    std::string error;
    if (!board_->ChooseProgrammer(choice, error))
        ShowMessageBox(this, error, "Connection Settings", MessageIcon::Exclamation,
                       MessageButtons::Ok);
}

void CSettingsDlg::LoadConnectionSettings() {
    kelvo::LoadConnectionSettings(state_.startDirectory, state_.link.portBase, m_strCustomAddress);
}

void CSettingsDlg::UpdateCustomEnabling() {
    const bool custom = custom_->isChecked();
    address_->setEnabled(custom);
    if (custom) {
        m_strCustomAddress = address_->text().toStdString();
    } else {
        m_strCustomAddress.clear();
        address_->clear();
    }
}

void CSettingsDlg::accept() {
    const PortChoice choice = lpt2_->isChecked()     ? PortChoice::Lpt2
                              : custom_->isChecked() ? PortChoice::Custom
                                                     : PortChoice::Lpt1;
    if (choice == PortChoice::Custom)
        m_strCustomAddress = address_->text().toStdString();
    const ConnectionSaveResult result = SaveConnectionSettings(
        state_.startDirectory, choice, m_strCustomAddress, state_.link.portBase);
    switch (result.status) {
    case ConnectionSaveResult::Status::EmptyAddress:
        ShowMessageBox(this, "Empty port address found. Please enter a valid address.",
                       "Empty Address Found", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    case ConnectionSaveResult::Status::InvalidAddress:
        ShowMessageBox(this,
                       "The port address \"" + m_strCustomAddress +
                           "\" is not a hexadecimal number of 1 to 4 digits. Please enter a "
                           "valid address, such as 3BC.",
                       "Invalid Address Found", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    case ConnectionSaveResult::Status::NotWritten:
        ShowMessageBox(this, result.error, "Connection Settings", MessageIcon::Exclamation,
                       MessageButtons::Ok);
        break;
    case ConnectionSaveResult::Status::Saved:
        break;
    }
    if (board_)
        SaveProgrammer();
    // Saving ends the dialog like Cancel; nobody reads the result.
    QDialog::reject();
}

} // namespace kelvo
