#include "ui/PowerChildDialog.h"

#include "ui/PageTemplate.h"

#include <QLineEdit>

namespace kelvo {

const ContextHelpTable& PowerChildDialog::HelpTable() const {
    static const ContextHelpTable table{"PowerDialog.txt", {{1039, 1}}};
    return table;
}

void PowerChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Group("Powersave Time:", {6, 4, 120, 30});
    powersave_ = t.Edit({12, 16, 28, 13}, 1014);
    powersaveSpin_ = t.Spin({40, 16, 10, 13}, 1039, powersave_);
    t.Text("Minutes", {54, 18, 40, 8});
}

void PowerChildDialog::OnInitDialog() {
    powersaveSpin_->setRange(1, 250);
    powersaveSpin_->setStep(1);
    shown_ = FillPowerPage(state().settingsImage);
    powersave_->setText(PageText(shown_.powersaveText));
}

void PowerChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    const PowerPageValues v{powersave_->text().toStdString()};
    CollectPowerPage(shown_, v, state().settingsImage);
    shown_ = v;
}

} // namespace kelvo
