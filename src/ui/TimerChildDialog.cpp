#include "ui/TimerChildDialog.h"

#include "settings/EditText.h"
#include "settings/Tables.h"
#include "ui/PageTemplate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace kelvo {

const ContextHelpTable& TimerChildDialog::HelpTable() const {
    static const ContextHelpTable table{"TimerDialog.txt",
                                        {{1031, 1}, {1056, 2}, {1057, 3}, {1049, 4}, {1048, 5}}};
    return table;
}

void TimerChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Group("Timer Init:", {6, 4, 238, 30});
    timerInit_ = t.DropList({12, 15, 120, 14}, 1031, TimerInitTexts);

    t.Group("Timer Time:", {6, 40, 110, 30});
    minutes_ = t.Edit({12, 52, 20, 13}, 1004);
    minutesSpin_ = t.Spin({32, 52, 10, 13}, 1056, minutes_);
    t.Text(":", {46, 54, 6, 8});
    seconds_ = t.Edit({54, 52, 20, 13}, 1012);
    secondsSpin_ = t.Spin({74, 52, 10, 13}, 1057, seconds_);

    t.Group("Timer Mode:", {122, 40, 122, 42});
    countsDown_ = t.Radio("Timer Counts Down", {128, 52, 110, 12}, 1048);
    countsUp_ = t.Radio("Timer Counts Up", {128, 66, 110, 12}, 1049);

    // The spins step positions; the edits show only the allowed values.
    QObject::connect(minutesSpin_, &UpDownControl::positionNotified, minutes_, [this](int p) {
        minutes_->setText(PageText(FormatTwoDigits(minutesMapping_.Map(p))));
    });
    QObject::connect(secondsSpin_, &UpDownControl::positionNotified, seconds_,
                     [this](int p) { seconds_->setText(PageText(SecondsSpinText(p))); });
}

void TimerChildDialog::OnInitDialog() {
    minutesSpin_->setRange(1, 15);
    minutesSpin_->setStep(1);
    secondsSpin_->setRange(0, 59);
    secondsSpin_->setStep(5);

    shown_ = FillTimerPage(state().settingsImage);
    const TimerPageValues& v = shown_;
    countsDown_->setChecked(v.countsDown);
    countsUp_->setChecked(v.countsUp);
    timerInit_->setCurrentIndex(v.timerInit);
    minutes_->setText(PageText(v.minutesText));
    seconds_->setText(PageText(v.secondsText));
}

void TimerChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    TimerPageValues v;
    v.countsDown = countsDown_->isChecked();
    v.countsUp = countsUp_->isChecked();
    v.timerInit = timerInit_->currentIndex();
    v.minutesText = minutes_->text().toStdString();
    v.secondsText = seconds_->text().toStdString();
    CollectTimerPage(shown_, v, state().settingsImage);
    shown_ = v;
}

} // namespace kelvo
