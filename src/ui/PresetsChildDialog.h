#pragma once

#include "ui/CRHGenericChildDialog.h"

namespace kelvo {

// Presets: four sets of firing, eye and closed-bolt values loaded into the
// image, and the board's factory defaults. The page holds no setting.
class PresetsChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 140; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant) override {}

protected:
    void BuildTemplate(QWidget* page) override;
    // Nothing to fill: every showing builds the radios anew, so no preset
    // shows as chosen when the page comes back.
    void OnInitDialog() override {}
};

} // namespace kelvo
