#include "ui/FiringChildDialog.h"

#include "settings/PageRules.h"
#include "settings/Tables.h"
#include "ui/PageTemplate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace kelvo {

namespace {

void SetSpinPosition(UpDownControl* spin, const std::optional<std::int32_t>& position) {
    if (position)
        spin->setPosition(*position);
}

} // namespace

const ContextHelpTable& FiringChildDialog::HelpTable() const {
    static const ContextHelpTable table{"FiringDialog.txt",
                                        {{1042, 1},
                                         {1043, 2},
                                         {1029, 3},
                                         {1030, 4},
                                         {1037, 5},
                                         {1036, 6},
                                         {1032, 7},
                                         {1089, 9},
                                         {1085, 6}}};
    return table;
}

void FiringChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Text("Firing Mode:", {6, 8, 68, 8});
    firingMode_ = t.DropList({76, 6, 80, 14}, 1029, FiringModeTexts);
    t.Text("Rate of Fire (ROF):", {6, 26, 68, 8});
    rateOfFire_ = t.DropList({76, 24, 80, 14}, 1030, RofTexts);
    t.Text("AE Bypass ROF:", {6, 44, 68, 8});
    aeBypassRof_ = t.DropList({76, 42, 80, 14}, 1032, AeBypassRofTexts);

    t.Group("Operation Mode:", {6, 62, 150, 26});
    standard_ = t.Radio("Standard", {12, 73, 56, 10}, 1042);
    testMaxCps_ = t.Radio("Test Max CPS", {72, 73, 78, 10}, 1043);

    t.Group("Trigger Debounce:", {6, 92, 150, 26});
    debounce_ = t.Edit({12, 103, 24, 12}, 1002);
    debounceSpin_ = t.Spin({36, 103, 10, 12}, 1037, debounce_);
    t.Text("Mult.", {50, 105, 30, 8});

    t.Group("Solenoid Dwell:", {162, 4, 82, 26});
    dwell_ = t.Edit({168, 15, 28, 12}, 1001);
    dwellSpin_ = t.Spin({196, 15, 10, 12}, 1036, dwell_);
    t.Text("ms", {210, 17, 20, 8});

    t.Group("ABS Dwell:", {162, 34, 82, 26}, 1082);
    absDwell_ = t.Edit({168, 45, 28, 12}, 1083);
    absDwellSpin_ = t.Spin({196, 45, 10, 12}, 1085, absDwell_);
    t.Text("ms", {210, 47, 20, 8}, 1084);

    t.Group("Mechanical Debounce:", {162, 64, 82, 26}, 1086);
    mechanicalDebounce_ = t.Edit({168, 75, 28, 12}, 1087);
    mechanicalDebounceSpin_ = t.Spin({196, 75, 10, 12}, 1089, mechanicalDebounce_);
    t.Text("Mult.", {210, 77, 30, 8}, 1088);

    // The dwell spin counts half-milliseconds; its edit shows milliseconds.
    QObject::connect(dwellSpin_, &UpDownControl::positionNotified, dwell_,
                     [this](int position) { dwell_->setText(PageText(DwellSpinText(position))); });
}

void FiringChildDialog::OnInitDialog() {
    debounceSpin_->setRange(1, 30);
    debounceSpin_->setStep(1);
    mechanicalDebounceSpin_->setRange(0, 15);
    mechanicalDebounceSpin_->setStep(1);
    absDwellSpin_->setRange(0, 10);
    absDwellSpin_->setStep(1);
    dwellSpin_->setRange(5, 37);
    dwellSpin_->setStep(1);

    const FiringPageValues v = FillFiringPage(state().settingsImage);
    firingMode_->setCurrentIndex(v.firingMode);
    rateOfFire_->setCurrentIndex(v.rateOfFire);
    aeBypassRof_->setCurrentIndex(v.aeBypassRof);
    standard_->setChecked(v.standard);
    testMaxCps_->setChecked(v.testMaxCps);
    dwell_->setText(PageText(v.dwellText));
    debounce_->setText(PageText(v.debounceText));
    absDwell_->setText(PageText(v.absDwellText));
    mechanicalDebounce_->setText(PageText(v.mechanicalDebounceText));
    SetSpinPosition(debounceSpin_, v.debounceSpin);
    SetSpinPosition(mechanicalDebounceSpin_, v.mechanicalDebounceSpin);
    SetSpinPosition(absDwellSpin_, v.absDwellSpin);
    SetSpinPosition(dwellSpin_, v.dwellSpin);
}

void FiringChildDialog::Collect(CollectVariant variant) {
    if (!window())
        return;
    FiringPageValues v;
    v.firingMode = firingMode_->currentIndex();
    v.rateOfFire = rateOfFire_->currentIndex();
    v.aeBypassRof = aeBypassRof_->currentIndex();
    v.standard = standard_->isChecked();
    v.testMaxCps = testMaxCps_->isChecked();
    v.dwellText = dwell_->text().toStdString();
    v.debounceText = debounce_->text().toStdString();
    v.absDwellText = absDwell_->text().toStdString();
    v.mechanicalDebounceText = mechanicalDebounce_->text().toStdString();
    CollectFiringPage(v, variant, state().settingsImage);
}

} // namespace kelvo
