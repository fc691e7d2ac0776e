#pragma once

#include "settings/PageRules.h"
#include "ui/CRHGenericChildDialog.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace kelvo {

class UpDownControl;

// Timer Options: what starts the game timer, its time and its direction.
class TimerChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 141; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    // What the controls held when the image last took them in (the fill,
    // then each collection); collecting reads back only what differs.
    TimerPageValues shown_;
    // Remembers the last minutes shown for the page object's whole life.
    MinutesSpinMapping minutesMapping_;

    QComboBox* timerInit_ = nullptr;
    QLineEdit* minutes_ = nullptr;
    UpDownControl* minutesSpin_ = nullptr;
    QLineEdit* seconds_ = nullptr;
    UpDownControl* secondsSpin_ = nullptr;
    QRadioButton* countsDown_ = nullptr;
    QRadioButton* countsUp_ = nullptr;
};

} // namespace kelvo
