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
    t.Group("Presets:", {6, 24, 238, 30});
    struct Entry {
        const char* text;
        DluRect rect;
        int id;
        Preset preset;
    };
    const Entry entries[] = {{"Conservative", {12, 36, 62, 12}, 1052, Preset::Conservative},
                             {"Normal", {78, 36, 46, 12}, 1053, Preset::Normal},
                             {"Fast", {128, 36, 36, 12}, 1054, Preset::Fast},
                             {"Extreme", {168, 36, 50, 12}, 1055, Preset::Extreme}};
    for (const Entry& e : entries) {
        QRadioButton* radio = t.Radio(e.text, e.rect, e.id);
        QObject::connect(radio, &QRadioButton::clicked, page, [this, preset = e.preset] {
            ApplyPreset(preset, state().settingsImage, state().boardInfo);
        });
    }
    t.Text("Clicking the \"Factory Defaults\" button will load the board and dialogs with the "
           "default factory settings. ",
           {6, 60, 238, 26});
    QPushButton* factory = t.Button("Factory Defaults", {6, 90, 74, 14}, 1077);
    QObject::connect(factory, &QPushButton::clicked, page,
                     [this] { env().runFlow([](FlowContext& ctx) { FactoryDefaults(ctx); }); });
}

} // namespace kelvo
