#pragma once

#include "ui/CRHGenericChildDialog.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace kelvo {

class UpDownControl;

// Firing Options: firing mode, rates of fire, operation mode, debounces and
// dwells.
class FiringChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 139; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    // What the controls held when the image last took them in (the fill,
    // then each collection); collecting reads back only what differs.
    FiringPageValues shown_;
    QComboBox* firingMode_ = nullptr;
    QComboBox* rateOfFire_ = nullptr;
    QComboBox* aeBypassRof_ = nullptr;
    QRadioButton* standard_ = nullptr;
    QRadioButton* testMaxCps_ = nullptr;
    QLineEdit* debounce_ = nullptr;
    UpDownControl* debounceSpin_ = nullptr;
    QLineEdit* dwell_ = nullptr;
    UpDownControl* dwellSpin_ = nullptr;
    QLineEdit* absDwell_ = nullptr;
    UpDownControl* absDwellSpin_ = nullptr;
    QLineEdit* mechanicalDebounce_ = nullptr;
    UpDownControl* mechanicalDebounceSpin_ = nullptr;
};

} // namespace kelvo
