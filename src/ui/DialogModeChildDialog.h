#pragma once

#include "ui/CRHGenericChildDialog.h"

class QRadioButton;

namespace kelvo {

// Dialog Mode: whether the pages show the open-bolt or the closed-bolt set
// of options. Changes nothing on the board.
class DialogModeChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 145; }
    const ContextHelpTable& HelpTable() const override;
    // Sets dialogMode; the other pages show the chosen set when next created.
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    QRadioButton* openBolt_ = nullptr;
    QRadioButton* closedBolt_ = nullptr;
};

} // namespace kelvo
