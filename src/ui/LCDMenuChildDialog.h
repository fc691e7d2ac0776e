#pragma once

#include "ui/CRHGenericChildDialog.h"

class QTreeWidget;

namespace kelvo {

// LCD Menu Options: which items the board's LCD menu offers, as a tree of
// check boxes (16 items, 19 in the closed-bolt set).
class LCDMenuChildDialog final : public CRHGenericChildDialog {
public:
    using CRHGenericChildDialog::CRHGenericChildDialog;

    int GetTemplateId() const override { return 144; }
    const ContextHelpTable& HelpTable() const override;
    void Collect(CollectVariant variant) override;

protected:
    void BuildTemplate(QWidget* page) override;
    void OnInitDialog() override;

private:
    void ApplyChecks();

    // The page's working mask, as the items' check states to apply.
    LcdMenuPageValues m_menuMask;
    bool checksPending_ = false;
    QTreeWidget* tree_ = nullptr;
};

} // namespace kelvo
