#pragma once

#include "ui/CRHGenericChildDialog.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace kelvo {

class UpDownControl;

// Eye Options: after-eye delay or eye bypass, eye sensitivity, eye mode and
// bolt timer wait.
class EyeChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 142; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    // What the controls held when the image last took them in (the fill,
    // then each collection); collecting reads back only what differs.
    EyePageValues shown_;
    // The controls' state as the page record, m_delayText from the page.
    EyePageValues Read() const;
    void ShowDelay();
    void ShowBoltTimerWaitEnabled();
    void OnBypassEye();
    void OnDelay();
    void OnEyeModeChanged(int position);

    // Kept between showings; the fill sets m_delayText again.
    EyePageValues values_;

    QRadioButton* bypassEye_ = nullptr;
    QRadioButton* delay_ = nullptr;
    QLineEdit* delayEdit_ = nullptr;
    UpDownControl* delaySpin_ = nullptr;
    QLabel* delayUnit_ = nullptr;
    QGroupBox* sensitivityGroup_ = nullptr;
    QLineEdit* sensitivity_ = nullptr;
    UpDownControl* sensitivitySpin_ = nullptr;
    QComboBox* eyeMode_ = nullptr;
    QLabel* waitLabel_ = nullptr;
    QLineEdit* wait_ = nullptr;
    UpDownControl* waitSpin_ = nullptr;
    QLabel* waitUnit_ = nullptr;
};

} // namespace kelvo
