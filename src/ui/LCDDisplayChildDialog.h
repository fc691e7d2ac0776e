#pragma once

#include "ui/CRHGenericChildDialog.h"

#include <array>

class QComboBox;

namespace kelvo {

// LCD Display Options: what each of the four LCD sections shows.
class LCDDisplayChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 143; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    // What the controls held when the image last took them in (the fill,
    // then each collection); collecting reads back only what differs.
    LcdDisplayPageValues shown_;
    std::array<QComboBox*, 4> sections_{};
};

} // namespace kelvo
