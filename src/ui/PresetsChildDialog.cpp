#include "ui/PresetsChildDialog.h"

#include "ops/Presets.h"
#include "ui/PageTemplate.h"

#include <QPushButton>
#include <QRadioButton>

namespace kelvo {

const ContextHelpTable& PresetsChildDialog::HelpTable() const {
    static const ContextHelpTable table{"PresetsDialog.txt",
                                        {{1052, 1}, {1053, 2}, {1054, 3}, {1055, 4}, {1077, 5}}};
    return table;
}

void PresetsChildDialog::BuildTemplate(QWidget* page) {
    PageTemplate t(page);
    t.Text("Selecting a preset will load the appropriate options into the dialogs. ",
           {6, 4, 238, 18});
    t.Group("Presets:", {6, 24, 238, 28});
    struct Entry {
        const char* text;
        DluRect rect;
        int id;
        Preset preset;
    };
    const Entry entries[] = {{"Conservative", {12, 36, 60, 10}, 1052, Preset::Conservative},
                             {"Normal", {76, 36, 46, 10}, 1053, Preset::Normal},
                             {"Fast", {126, 36, 40, 10}, 1054, Preset::Fast},
                             {"Extreme", {170, 36, 50, 10}, 1055, Preset::Extreme}};
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        const Entry& e = entries[i];
        presets_[i] = t.Radio(e.text, e.rect, e.id);
        QObject::connect(presets_[i], &QRadioButton::clicked, page, [this, preset = e.preset] {
            ApplyPreset(preset, state().settingsImage, state().boardInfo);
        });
    }
    t.Text("Clicking the \"Factory Defaults\" button will load the board and dialogs with the "
           "default factory settings. ",
           {6, 58, 238, 26});
    QPushButton* factory = t.Button("Factory Defaults", {6, 88, 74, 14}, 1077);
    QObject::connect(factory, &QPushButton::clicked, page,
                     [this] { env().runFlow([](FlowContext& ctx) { FactoryDefaults(ctx); }); });
}

void PresetsChildDialog::OnInitDialog() {
    // No preset shows as chosen when the page comes back.
    for (QRadioButton* radio : presets_) {
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(true);
    }
}

} // namespace kelvo
