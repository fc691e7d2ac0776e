#include "ui/DialogModeChildDialog.h"

#include "ui/PageTemplate.h"

#include <QRadioButton>

namespace kelvo {

const ContextHelpTable& DialogModeChildDialog::HelpTable() const {
    static const ContextHelpTable table{"DialogModeDialog.txt", {{1058, 1}, {1059, 2}}};
    return table;
}

void DialogModeChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Text("Select which set of options you want displayed in the menus. Changing this has no "
           "effect on the board.",
           {6, 4, 238, 26});
    t.Group("Dialog Mode:", {6, 34, 238, 44}, 1064);
    openBolt_ = t.Radio("Display Open Bolt Options", {12, 47, 160, 12}, 1058);
    closedBolt_ = t.Radio("Display Closed Bolt Options", {12, 61, 160, 12}, 1059);
}

void DialogModeChildDialog::OnInitDialog() {
    const DialogModePageValues v = FillDialogModePage(state().boardInfo.dialogMode);
    openBolt_->setChecked(v.openBolt);
    closedBolt_->setChecked(v.closedBolt);
}

void DialogModeChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    state().boardInfo.dialogMode =
        CollectDialogModePage({openBolt_->isChecked(), closedBolt_->isChecked()});
}

} // namespace kelvo
