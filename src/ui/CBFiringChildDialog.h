#pragma once

#include "ui/CRHGenericChildDialog.h"

class QLineEdit;

namespace kelvo {

class UpDownControl;

// Closed Bolt Options: the four closed-bolt timings.
class CBFiringChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 147; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    // What the controls held when the image last took them in (the fill,
    // then each collection); collecting reads back only what differs.
    ClosedBoltPageValues shown_;
    QLineEdit* boltDelayOffset_ = nullptr;
    UpDownControl* boltDelayOffsetSpin_ = nullptr;
    QLineEdit* asDelay_ = nullptr;
    UpDownControl* asDelaySpin_ = nullptr;
    QLineEdit* minBoltOpen_ = nullptr;
    UpDownControl* minBoltOpenSpin_ = nullptr;
    QLineEdit* ebMinBoltOpen_ = nullptr;
    UpDownControl* ebMinBoltOpenSpin_ = nullptr;
};

} // namespace kelvo
