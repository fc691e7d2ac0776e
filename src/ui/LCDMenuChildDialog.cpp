#include "ui/LCDMenuChildDialog.h"

#include "ui/PageTemplate.h"

#include <QTreeWidget>

namespace kelvo {

namespace {

int ItemBit(const QTreeWidgetItem* item) {
    return item->data(0, Qt::UserRole).toInt();
}

} // namespace

const ContextHelpTable& LCDMenuChildDialog::HelpTable() const {
    static const ContextHelpTable table{"LCDMenuDialog.txt", {{1063, 1}}};
    return table;
}

void LCDMenuChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    tree_ = t.CheckTree({6, 4, 238, 114}, 1063);
}

void LCDMenuChildDialog::OnInitDialog() {
    m_menuMask = FillLcdMenuPage(state().settingsImage, state().boardInfo.dialogMode);
    for (const LcdMenuItem& entry : m_menuMask.items) {
        auto* item = new QTreeWidgetItem(tree_, {PageText(entry.text)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setData(0, Qt::UserRole, entry.bit);
        // Without a state an item shows no box at all.
        item->setCheckState(0, Qt::Unchecked);
    }
    // The checks go on once the tree has finished setting itself up.
    checksPending_ = true;
    QMetaObject::invokeMethod(
        tree_, [this] { ApplyChecks(); }, Qt::QueuedConnection);
}

void LCDMenuChildDialog::ApplyChecks() {
    if (!checksPending_)
        return;
    checksPending_ = false;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree_->topLevelItem(i);
        for (const LcdMenuItem& entry : m_menuMask.items)
            if (entry.bit == ItemBit(item))
                item->setCheckState(0, entry.checked ? Qt::Checked : Qt::Unchecked);
    }
}

void LCDMenuChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    // Collected before the posted checks ran, the tree would read as all
    // unchecked and clear the board's menu.
    ApplyChecks();
    LcdMenuPageValues v;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree_->topLevelItem(i);
        v.items.push_back({{}, ItemBit(item), item->checkState(0) == Qt::Checked});
    }
    CollectLcdMenuPage(m_menuMask, v, state().settingsImage);
    m_menuMask = v;
}

} // namespace kelvo
