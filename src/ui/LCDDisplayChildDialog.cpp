#include "ui/LCDDisplayChildDialog.h"

#include "settings/Tables.h"
#include "ui/PageTemplate.h"

#include <QComboBox>

namespace kelvo {

const ContextHelpTable& LCDDisplayChildDialog::HelpTable() const {
    static const ContextHelpTable table{"LCDDisplayDialog.txt",
                                        {{1021, 1}, {1022, 2}, {1023, 3}, {1024, 4}}};
    return table;
}

void LCDDisplayChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    const char* const labels[] = {
        "Section 1 Display:", "Section 1-B Display:", "Section 2 Display:", "Section 2-B Display:"};
    for (int i = 0; i < 4; ++i) {
        const int y = 8 + 22 * i;
        t.Text(labels[i], {6, y + 2, 84, 8});
        sections_[static_cast<std::size_t>(i)] =
            t.DropList({92, y, 90, 14}, 1021 + i, LcdSectionTexts);
    }
}

void LCDDisplayChildDialog::OnInitDialog() {
    shown_ = FillLcdDisplayPage(state().settingsImage);
    const LcdDisplayPageValues& v = shown_;
    for (std::size_t i = 0; i < sections_.size(); ++i)
        sections_[i]->setCurrentIndex(v.sections[i]);
}

void LCDDisplayChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    LcdDisplayPageValues v;
    for (std::size_t i = 0; i < sections_.size(); ++i)
        v.sections[i] = sections_[i]->currentIndex();
    CollectLcdDisplayPage(shown_, v, state().settingsImage);
    shown_ = v;
}

} // namespace kelvo
