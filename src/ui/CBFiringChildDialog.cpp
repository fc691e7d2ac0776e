#include "ui/CBFiringChildDialog.h"

#include "ui/PageTemplate.h"

#include <QLineEdit>

namespace kelvo {

const ContextHelpTable& CBFiringChildDialog::HelpTable() const {
    static const ContextHelpTable table{"CBFiringDialog.txt",
                                        {{1039, 1}, {1046, 2}, {1047, 3}, {1048, 4}}};
    return table;
}

void CBFiringChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Group("Bolt Delay Offset:", {6, 4, 115, 30}, 1069);
    boltDelayOffset_ = t.Edit({12, 16, 28, 13}, 1013);
    boltDelayOffsetSpin_ = t.Spin({40, 16, 10, 13}, 1039, boltDelayOffset_);
    t.Text("ms", {54, 18, 16, 8}, 1072);

    t.Group("AS Delay:", {129, 4, 115, 30}, 1070);
    asDelay_ = t.Edit({135, 16, 28, 13}, 1014);
    asDelaySpin_ = t.Spin({163, 16, 10, 13}, 1046, asDelay_);
    t.Text("ms", {177, 18, 16, 8}, 1073);

    t.Group("Min. Bolt Open:", {6, 40, 115, 30}, 1071);
    minBoltOpen_ = t.Edit({12, 52, 28, 13}, 1015);
    minBoltOpenSpin_ = t.Spin({40, 52, 10, 13}, 1047, minBoltOpen_);
    t.Text("ms", {54, 54, 16, 8}, 1074);

    t.Group("E.B. Min. Bolt Open:", {129, 40, 115, 30}, 1075);
    ebMinBoltOpen_ = t.Edit({135, 52, 28, 13}, 1016);
    ebMinBoltOpenSpin_ = t.Spin({163, 52, 10, 13}, 1048, ebMinBoltOpen_);
    t.Text("ms", {177, 54, 16, 8}, 1076);
}

void CBFiringChildDialog::OnInitDialog() {
    const std::pair<UpDownControl*, int> ranges[] = {{boltDelayOffsetSpin_, 14},
                                                     {asDelaySpin_, 30},
                                                     {minBoltOpenSpin_, 60},
                                                     {ebMinBoltOpenSpin_, 60}};
    for (const auto& [spin, upper] : ranges) {
        spin->setRange(0, upper);
        spin->setStep(1);
    }

    shown_ = FillClosedBoltPage(state().settingsImage);
    const ClosedBoltPageValues& v = shown_;
    boltDelayOffset_->setText(PageText(v.boltDelayOffsetText));
    asDelay_->setText(PageText(v.asDelayText));
    minBoltOpen_->setText(PageText(v.minBoltOpenText));
    ebMinBoltOpen_->setText(PageText(v.ebMinBoltOpenText));
}

void CBFiringChildDialog::Collect(CollectVariant) {
    if (!window())
        return;
    ClosedBoltPageValues v;
    v.boltDelayOffsetText = boltDelayOffset_->text().toStdString();
    v.asDelayText = asDelay_->text().toStdString();
    v.minBoltOpenText = minBoltOpen_->text().toStdString();
    v.ebMinBoltOpenText = ebMinBoltOpen_->text().toStdString();
    CollectClosedBoltPage(shown_, v, state().settingsImage);
    shown_ = v;
}

} // namespace kelvo
