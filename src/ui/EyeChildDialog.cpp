#include "ui/EyeChildDialog.h"

#include "settings/PageRules.h"
#include "settings/Tables.h"
#include "ui/PageTemplate.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace kelvo {

const ContextHelpTable& EyeChildDialog::HelpTable() const {
    static const ContextHelpTable table{
        "EyeDialog.txt",
        {{1038, 1}, {1040, 3}, {1041, 4}, {1080, 5}, {1077, 6}, {1049, 6}, {1048, 7}}};
    return table;
}

void EyeChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Group("After Eye Delay:", {6, 4, 164, 30});
    bypassEye_ = t.Radio("Bypass Eye", {12, 17, 56, 12}, 1038);
    delay_ = t.Radio("Delay", {72, 17, 36, 12}, 1040);
    delayEdit_ = t.Edit({112, 16, 24, 13}, 1003);
    delaySpin_ = t.Spin({136, 16, 10, 13}, 1041, delayEdit_);
    delayUnit_ = t.Text("ms", {150, 18, 16, 8}, 1045);

    sensitivityGroup_ = t.Group("Eye Sensitivity:", {174, 4, 70, 30}, 1075);
    sensitivity_ = t.Edit({180, 16, 28, 13}, 1076);
    sensitivitySpin_ = t.Spin({208, 16, 10, 13}, 1048, sensitivity_);

    t.Group("Eye Mode:", {6, 40, 238, 52}, 1067);
    eyeMode_ = t.SortedDropDown({12, 52, 226, 14}, 1080, EyeModeTexts);
    waitLabel_ = t.Text("Bolt Timer Wait Time:", {12, 74, 88, 8}, 1081);
    wait_ = t.Edit({102, 72, 24, 13}, 1077);
    waitSpin_ = t.Spin({126, 72, 10, 13}, 1049, wait_);
    waitUnit_ = t.Text("ms", {140, 74, 16, 8}, 1046);

    QObject::connect(bypassEye_, &QRadioButton::clicked, page, [this] { OnBypassEye(); });
    QObject::connect(delay_, &QRadioButton::clicked, page, [this] { OnDelay(); });
    QObject::connect(eyeMode_, &QComboBox::currentIndexChanged, page,
                     [this](int position) { OnEyeModeChanged(position); });
}

void EyeChildDialog::OnInitDialog() {
    delaySpin_->setRange(0, 13);
    sensitivitySpin_->setRange(2, 250);
    sensitivitySpin_->setStep(1);
    waitSpin_->setRange(0, 40);
    waitSpin_->setStep(1);

    const BoardInfo& board = state().boardInfo;
    values_ = FillEyePage(state().settingsImage, board.dialogMode, board.boardTypeName);
    shown_ = values_;
    bypassEye_->setChecked(values_.bypassEye);
    delay_->setChecked(values_.delay);
    ShowDelay();
    wait_->setText(PageText(values_.boltTimerWaitText));
    // In the closed-bolt set the list stays without a selection. The fill
    // has applied the eye-mode rule already.
    if (values_.eyeMode >= 0) {
        const QSignalBlocker quiet(eyeMode_);
        eyeMode_->setCurrentIndex(values_.eyeMode);
    }
    ShowBoltTimerWaitEnabled();
    sensitivity_->setText(PageText(values_.eyeSensitivityText));
    SetVisible({sensitivityGroup_, sensitivity_, sensitivitySpin_}, values_.eyeSensitivityVisible);
}

EyePageValues EyeChildDialog::Read() const {
    EyePageValues v = values_;
    v.bypassEye = bypassEye_->isChecked();
    v.delay = delay_->isChecked();
    v.delayText = delayEdit_->text().toStdString();
    v.eyeMode = eyeMode_->currentIndex();
    v.boltTimerWaitText = wait_->text().toStdString();
    v.eyeSensitivityText = sensitivity_->text().toStdString();
    return v;
}

void EyeChildDialog::ShowDelay() {
    delayEdit_->setText(PageText(values_.delayText));
    SetEnabled({delayEdit_, delaySpin_, delayUnit_}, values_.delayEnabled);
}

void EyeChildDialog::ShowBoltTimerWaitEnabled() {
    SetEnabled({wait_, waitSpin_, waitLabel_, waitUnit_}, values_.boltTimerWaitEnabled);
}

void EyeChildDialog::OnBypassEye() {
    values_ = Read();
    ClickBypassEye(values_);
    ShowDelay();
}

void EyeChildDialog::OnDelay() {
    values_ = Read();
    ClickDelay(values_);
    ShowDelay();
}

void EyeChildDialog::OnEyeModeChanged(int position) {
    SelectEyeMode(values_, position);
    ShowBoltTimerWaitEnabled();
}

void EyeChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    const EyePageValues v = Read();
    CollectEyePage(shown_, v, state().settingsImage);
    shown_ = v;
}

} // namespace kelvo
