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
    t.Text("Firing Mode:", {6, 8, 64, 8});
    firingMode_ = t.DropList({72, 6, 80, 14}, 1029, FiringModeTexts);
    t.Text("Rate of Fire (ROF):", {6, 26, 64, 8});
    rateOfFire_ = t.DropList({72, 24, 80, 14}, 1030, RofTexts);
    t.Text("AE Bypass ROF:", {6, 44, 64, 8});
    aeBypassRof_ = t.DropList({72, 42, 80, 14}, 1032, AeBypassRofTexts);

    t.Group("Operation Mode:", {6, 62, 146, 28});
    standard_ = t.Radio("Standard", {12, 74, 52, 12}, 1042);
    testMaxCps_ = t.Radio("Test Max CPS", {68, 74, 70, 12}, 1043);

    t.Group("Trigger Debounce:", {158, 62, 86, 28});
    debounce_ = t.Edit({164, 74, 24, 13}, 1002);
    debounceSpin_ = t.Spin({188, 74, 10, 13}, 1037, debounce_);
    t.Text("Mult.", {202, 76, 24, 8});

    t.Group("Solenoid Dwell:", {158, 4, 86, 28});
    dwell_ = t.Edit({164, 16, 28, 13}, 1001);
    dwellSpin_ = t.Spin({192, 16, 10, 13}, 1036, dwell_);
    t.Text("ms", {206, 18, 16, 8});

    t.Group("ABS Dwell:", {158, 33, 86, 28}, 1082);
    absDwell_ = t.Edit({164, 45, 28, 13}, 1083);
    absDwellSpin_ = t.Spin({192, 45, 10, 13}, 1085, absDwell_);
    t.Text("ms", {206, 47, 16, 8}, 1084);

    t.Group("Mechanical Debounce:", {6, 93, 146, 27}, 1086);
    mechanicalDebounce_ = t.Edit({12, 105, 24, 13}, 1087);
    mechanicalDebounceSpin_ = t.Spin({36, 105, 10, 13}, 1089, mechanicalDebounce_);
    t.Text("Mult.", {50, 107, 24, 8}, 1088);

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

    shown_ = FillFiringPage(state().settingsImage);
    const FiringPageValues& v = shown_;
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
    CollectFiringPage(shown_, v, variant, state().settingsImage);
    shown_ = v;
}

} // namespace kelvo
