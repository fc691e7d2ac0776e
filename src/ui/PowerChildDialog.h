#pragma once

#include "ui/CRHGenericChildDialog.h"

class QLineEdit;

namespace kelvo {

class UpDownControl;

// Power Options: the powersave time.
class PowerChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 146; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    // What the controls held when the image last took them in (the fill,
    // then each collection); collecting reads back only what differs.
    PowerPageValues shown_;
    QLineEdit* powersave_ = nullptr;
    UpDownControl* powersaveSpin_ = nullptr;
};

} // namespace kelvo
